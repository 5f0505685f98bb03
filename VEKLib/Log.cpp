#include "VEKLib/Log.h"

#include <cstdio>
#include <ostream>
#include <string>

#include "VEKLib/Console.h"
#include "VEKLib/Date.h"
#include "VEKLib/Files.h"
#include "platform/Debug.h"
#include "platform/File.h"

namespace vek {

namespace {

bool g_debugBreakSuppressed = false;

void WriteToFile(const CLog& log, const std::wstring& line) {
    const uint64_t size = GetFileSize(log.m_fileName);
    const uint64_t limit = static_cast<uint64_t>(log.m_sizeLimitKB) * 1024;
    const bool restart = limit != 0 && size + line.size() >= limit;
    std::FILE* file = platform::OpenFile(log.m_fileName, restart ? "wb" : "ab");
    if (!file) {
        return;
    }
    std::string bytes;
    bytes.reserve(2 + 2 * line.size());
    bytes += '\xFF';
    bytes += '\xFE';
    for (wchar_t unit : line) {
        const uint32_t u = static_cast<uint32_t>(unit);
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>((u >> 8) & 0xFF);
    }
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

} // namespace

void LogSessionStart(CLog& log, const std::wstring& fileName, uint32_t target, bool startEndAndTimestamps) {
    log.m_fileName = fileName;
    log.m_target = target;
    log.m_startEndLines = startEndAndTimestamps;
    log.m_timestamps = startEndAndTimestamps;
    log.m_sizeLimitKB = target == kLogFile ? 100 : 0;
    if (log.m_startEndLines) {
        const CDate now;
        LogWrite(log, L"*** Session started: " + now.GetDateString() + L" " + now.GetTimeString(true), false);
    }
}

void LogWrite(const CLog& log, const std::wstring& text, bool timestamp) {
    if (log.m_target == kLogOff) {
        return;
    }
    std::wstring line;
    if (timestamp && (log.m_timestamps || !log.m_startEndLines)) {
        line = CDate().GetTimeString(false) + L"  ";
    }
    line += text;
    switch (log.m_target) {
    case kLogFile:
        WriteToFile(log, line + L"\r\n");
        break;
    // The console and stderr are byte streams here: a line ends with LF
    // alone, as a text-mode stream would have made of CR LF.
    case kLogDebugger:
        platform::DebugOutput(line + L"\n");
        break;
    case kLogStdOut:
        ConsoleOut() << line << L'\n' << std::flush;
        break;
    case kLogStdErr:
        ConsoleErr() << line << L'\n' << std::flush;
        break;
    default:
        break;
    }
}

void LogSessionEnd(const CLog& log) {
    if (log.m_startEndLines) {
        LogWrite(log, L"*** Session closed.", false);
    }
}

void PrintLibraryBanner() {
    ConsoleOut() << L"VEKLib utility library" << L'\n' << L"Detecting memory leaks: " << L"disabled\n" << std::flush;
}

bool DebugBreakIfDebugging() {
    if (!g_debugBreakSuppressed) {
        platform::DebugBreakIfAttached();
    }
    return true;
}

void SetDebugBreakSuppressed(bool suppressed) { g_debugBreakSuppressed = suppressed; }

bool IsDebugBreakSuppressed() { return g_debugBreakSuppressed; }

} // namespace vek
