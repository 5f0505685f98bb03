#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "platform/CrashHandler.h"

namespace {

namespace fs = std::filesystem;
using platform::CGlobalExceptionHandler;

// The log's line form, worked out here on its own: FF FE, UTF-16LE text, CR LF.
std::string LogLine(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (char c : text + "\r\n") {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

class CrashFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "morvheld_crash_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
    }
    void TearDown() override { fs::remove_all(m_folder); }

    // Runs body in a child process working in the folder; the wait status.
    // Exit codes 90 and up are the child's own set-up failures.
    int InChild(const std::function<void()>& body) {
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(m_folder.c_str()) != 0) {
                _exit(90);
            }
            body();
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return status;
    }

    std::string Log() const {
        std::ifstream in(m_folder / "error.log", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    fs::path m_folder;
};

// The child takes the signal's default action back first: under
// AddressSanitizer the sanitizer's own handler would otherwise keep it.
void InitializeFor(CGlobalExceptionHandler& handler, int signalNumber) {
    signal(signalNumber, SIG_DFL);
    handler.Initialize();
    if (!handler.IsInstalled(signalNumber)) {
        _exit(91);
    }
}

void TouchForbiddenPage() {
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) {
        _exit(92);
    }
    *static_cast<volatile char*>(page) = 1;
}

int Deep(volatile char* previous, int depth) {
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    if (previous == nullptr) {
        return 0;
    }
    return Deep(frame, depth + 1) + frame[0];
}

TEST_F(CrashFolder, CrashIsLoggedAndStillKillsTheProcess) {
    const struct {
        const char* name;
        int signalNumber;
        std::function<void()> crash;
        const char* text;
    } cases[] = {
        {"fault", SIGSEGV, TouchForbiddenPage, "Program crashed: SIGSEGV (invalid memory access)"},
        {"stack overflow", SIGSEGV,
         [] {
             static volatile char start;
             Deep(&start, 0);
         },
         "Program crashed: SIGSEGV (invalid memory access)"},
        {"raised SIGSEGV", SIGSEGV, [] { raise(SIGSEGV); }, "Program crashed: SIGSEGV (invalid memory access)"},
        {"abort", SIGABRT, [] { std::abort(); }, "Program crashed: SIGABRT (abnormal end)"},
        {"SIGBUS", SIGBUS, [] { raise(SIGBUS); }, "Program crashed: SIGBUS (bus error)"},
        {"SIGFPE", SIGFPE, [] { raise(SIGFPE); }, "Program crashed: SIGFPE (arithmetic error)"},
        {"SIGILL", SIGILL, [] { raise(SIGILL); }, "Program crashed: SIGILL (illegal instruction)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(m_folder / "error.log");
        const int status = InChild([&] {
            CGlobalExceptionHandler handler;
            InitializeFor(handler, c.signalNumber);
            c.crash();
        });
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit code " << WEXITSTATUS(status);
        EXPECT_EQ(WTERMSIG(status), c.signalNumber);
        EXPECT_EQ(Log(), LogLine(c.text));
        EXPECT_EQ(CGlobalExceptionHandler::CrashLine(c.signalNumber), LogLine(c.text));
    }
}

// Appended like every log line, and the log starts anew once it would reach
// 102,400 (its size in bytes plus the line's length in units, 41 here).
TEST_F(CrashFolder, LogIsAppendedUpToItsLimit) {
    const std::string line = LogLine("Program crashed: SIGABRT (abnormal end)");
    const struct {
        size_t oldSize;
        bool kept;
    } cases[] = {{4, true}, {102400 - 42, true}, {102400 - 41, false}, {200000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.oldSize);
        const std::string old(c.oldSize, 'x');
        std::ofstream(m_folder / "error.log", std::ios::binary) << old;
        const int status = InChild([] {
            CGlobalExceptionHandler handler;
            InitializeFor(handler, SIGABRT);
            std::abort();
        });
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT);
        EXPECT_TRUE(Log() == (c.kept ? old + line : line));
    }
}

void Foreign(int) {}

// A handler someone else set stays theirs, and what the handler installed is
// given back when it goes.
TEST_F(CrashFolder, LeavesForeignHandlersAndRestoresOnDestruction) {
    const int status = InChild([] {
        signal(SIGFPE, Foreign);
        signal(SIGILL, SIG_DFL);
        {
            CGlobalExceptionHandler handler;
            handler.Initialize();
            handler.Initialize();
            if (handler.IsInstalled(SIGFPE) || !handler.IsInstalled(SIGILL)) {
                _exit(1);
            }
            struct sigaction current {};
            sigaction(SIGFPE, nullptr, &current);
            if (current.sa_handler != Foreign) {
                _exit(2);
            }
            // A second handler finds the first one's in place and keeps off.
            CGlobalExceptionHandler second;
            second.Initialize();
            if (second.IsInstalled(SIGILL)) {
                _exit(3);
            }
        }
        struct sigaction current {};
        sigaction(SIGILL, nullptr, &current);
        _exit(current.sa_handler == SIG_DFL ? 0 : 4);
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
