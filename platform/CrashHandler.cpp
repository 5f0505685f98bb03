#include "platform/CrashHandler.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace platform {

namespace {

constexpr char kLogFile[] = "error.log";
// Like the library's log writer: the file starts anew once its size in bytes
// plus the line's length in units would reach 100 KB.
constexpr off_t kLogLimit = 100 * 1024;

// One log line in the log's own form: FF FE, the text as UTF-16 little-endian,
// CR LF. Built at compile time, because the handler must not allocate.
template <size_t N>
struct TLine {
    char bytes[2 + 2 * (N - 1 + 2)];
};

template <size_t N>
constexpr TLine<N> MakeLine(const char (&text)[N]) {
    TLine<N> line{};
    size_t at = 0;
    line.bytes[at++] = static_cast<char>(0xFF);
    line.bytes[at++] = static_cast<char>(0xFE);
    auto put = [&](char c) {
        line.bytes[at++] = c; // ASCII only: the high byte stays zero
        line.bytes[at++] = 0;
    };
    for (size_t i = 0; i + 1 < N; ++i) {
        put(text[i]);
    }
    put('\r');
    put('\n');
    return line;
}

constexpr auto kSegvLine = MakeLine("Program crashed: SIGSEGV (invalid memory access)");
constexpr auto kBusLine = MakeLine("Program crashed: SIGBUS (bus error)");
constexpr auto kFpeLine = MakeLine("Program crashed: SIGFPE (arithmetic error)");
constexpr auto kIllLine = MakeLine("Program crashed: SIGILL (illegal instruction)");
constexpr auto kAbrtLine = MakeLine("Program crashed: SIGABRT (abnormal end)");

// In the order of CGlobalExceptionHandler::kSignals.
constexpr std::string_view kLines[] = {
    {kSegvLine.bytes, sizeof(kSegvLine.bytes)}, {kBusLine.bytes, sizeof(kBusLine.bytes)},
    {kFpeLine.bytes, sizeof(kFpeLine.bytes)},   {kIllLine.bytes, sizeof(kIllLine.bytes)},
    {kAbrtLine.bytes, sizeof(kAbrtLine.bytes)},
};
static_assert(sizeof(kLines) / sizeof(kLines[0]) == CGlobalExceptionHandler::kSignalCount);

// Room for the handler when the crash is a stack overflow.
alignas(16) char g_signalStack[64 * 1024];

int IndexOf(int signalNumber) {
    for (size_t i = 0; i < CGlobalExceptionHandler::kSignalCount; ++i) {
        if (CGlobalExceptionHandler::kSignals[i] == signalNumber) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Async-signal-safe: open, fstat, ftruncate, write and close only.
void AppendToLog(std::string_view line) {
    const int fd = open(kLogFile, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        return; // the log cannot be written; the crash itself still shows
    }
    struct stat info {};
    const off_t units = static_cast<off_t>((line.size() - 2) / 2);
    if (fstat(fd, &info) == 0 && info.st_size + units >= kLogLimit) {
        if (ftruncate(fd, 0) != 0) {
            // Appending to the full log is still better than losing the line.
        }
    }
    const char* next = line.data();
    size_t left = line.size();
    while (left > 0) {
        const ssize_t written = write(fd, next, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            break;
        }
        next += written;
        left -= static_cast<size_t>(written);
    }
    close(fd);
}

void OnFatalSignal(int signalNumber) {
    const int savedErrno = errno;
    const int index = IndexOf(signalNumber);
    if (index >= 0) {
        AppendToLog(kLines[index]);
    }
    // Never swallow the crash: with the default action back, the signal is
    // raised again. It is blocked while the handler runs, so it lands as soon
    // as the handler returns (before a faulting instruction could run again).
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    sigaction(signalNumber, &byDefault, nullptr);
    raise(signalNumber);
    errno = savedErrno;
}

bool IsDefault(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_DFL;
}

bool IsOurs(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == OnFatalSignal;
}

} // namespace

CGlobalExceptionHandler::CGlobalExceptionHandler() noexcept = default;

CGlobalExceptionHandler::~CGlobalExceptionHandler() {
    for (size_t i = 0; i < kSignalCount; ++i) {
        struct sigaction current {};
        if (m_installed[i] && sigaction(kSignals[i], nullptr, &current) == 0 && IsOurs(current)) {
            sigaction(kSignals[i], &m_previous[i], nullptr);
        }
    }
    stack_t current{};
    if (m_ownStack && sigaltstack(nullptr, &current) == 0 && current.ss_sp == g_signalStack &&
        (current.ss_flags & SS_ONSTACK) == 0) {
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
    }
}

void CGlobalExceptionHandler::Initialize() {
    if (m_initialized) {
        return;
    }
    m_initialized = true;

    // A sanitizer or another library may have its own signal stack; keep it.
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) != 0) {
        stack_t own{};
        own.ss_sp = g_signalStack;
        own.ss_size = sizeof(g_signalStack);
        m_ownStack = sigaltstack(&own, nullptr) == 0;
    }

    for (size_t i = 0; i < kSignalCount; ++i) {
        struct sigaction previous {};
        if (sigaction(kSignals[i], nullptr, &previous) != 0 || !IsDefault(previous)) {
            continue; // someone else reports this signal (AddressSanitizer does for SIGSEGV)
        }
        struct sigaction action {};
        action.sa_handler = OnFatalSignal;
        sigemptyset(&action.sa_mask);
        // One shot: a second fault inside the handler ends the process at once.
        action.sa_flags = SA_RESETHAND | SA_ONSTACK;
        if (sigaction(kSignals[i], &action, nullptr) == 0) {
            m_previous[i] = previous;
            m_installed[i] = true;
        }
    }
}

bool CGlobalExceptionHandler::IsInstalled(int signalNumber) const {
    const int index = IndexOf(signalNumber);
    return index >= 0 && m_installed[index];
}

std::string_view CGlobalExceptionHandler::CrashLine(int signalNumber) {
    const int index = IndexOf(signalNumber);
    return index >= 0 ? kLines[index] : std::string_view();
}

} // namespace platform
