#pragma once
// A log of one line per write, optionally time-stamped, sent to one target.
// The log never raises errors: a line that cannot be written is lost.
#include <cstdint>
#include <string>

namespace vek {

enum : uint32_t {
    kLogStdOut = 0,
    kLogStdErr = 1,
    kLogFile = 2,
    kLogDebugger = 3,
    kLogOff = 4,
};

class CLog {
public:
    std::wstring m_fileName;     // target kLogFile only
    uint32_t m_target = kLogOff; // other numbers write nothing
    bool m_startEndLines = false;
    bool m_timestamps = false;
    uint32_t m_sizeLimitKB = 0; // 0: no limit
};

// Fills the log (the switch turns on both the start and end lines and the
// timestamps; files are limited to 100 KB) and writes the start line.
void LogSessionStart(CLog& log, const std::wstring& fileName, uint32_t target, bool startEndAndTimestamps);
// One line; the text is written as it is. A file that would reach its size
// limit starts anew with this line; every write to a file begins with a
// UTF-16 little-endian byte-order mark and ends with CR LF.
void LogWrite(const CLog& log, const std::wstring& text, bool timestamp);
void LogSessionEnd(const CLog& log);

// The library's start-up lines on standard output.
void PrintLibraryBanner();

// Stops in the debugger when one is attached and the suppression switch is
// off; never stops the program otherwise. Always true.
bool DebugBreakIfDebugging();
// The suppression switch (off at start).
void SetDebugBreakSuppressed(bool suppressed);
bool IsDebugBreakSuppressed();

} // namespace vek
