#pragma once
// The crash-dump handler: on a fatal signal one line goes to "error.log" in
// the working directory (UTF-16 little-endian with a byte-order mark, like
// every line of that log), and then the process still dies by the same
// signal, so the shell and any debugger see the crash as it was.
#include <signal.h>

#include <cstddef>
#include <string_view>

namespace platform {

class CGlobalExceptionHandler {
public:
    // The fatal signals the handler reports, in the order of its tables.
    static constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
    static constexpr size_t kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);

    // Installs nothing yet.
    CGlobalExceptionHandler() noexcept;
    CGlobalExceptionHandler(const CGlobalExceptionHandler&) = delete;
    CGlobalExceptionHandler& operator=(const CGlobalExceptionHandler&) = delete;
    // Gives back the actions it replaced, where its own is still in place.
    ~CGlobalExceptionHandler();

    // Installs the report for each fatal signal whose action is still the
    // default one; a signal someone else handles (a sanitizer, a debugger
    // helper) is left to them. Also sets up a signal stack when there is
    // none, so a stack overflow can be reported. A second call does nothing.
    void Initialize();

    // Whether Initialize installed the report for that signal.
    bool IsInstalled(int signalNumber) const;

    // The bytes one crash by that signal appends to the log; empty for a
    // signal that is not reported.
    static std::string_view CrashLine(int signalNumber);

private:
    bool m_initialized = false;
    bool m_ownStack = false;
    bool m_installed[kSignalCount] = {};
    struct sigaction m_previous[kSignalCount] = {};
};

} // namespace platform
