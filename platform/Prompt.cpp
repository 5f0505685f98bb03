#include "platform/Prompt.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/Utf8.h"

namespace platform {

namespace {

// Longest answer line kept; the rest of a longer line is read and dropped.
constexpr size_t kMaxAnswer = 256;

void WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<size_t>(n);
    }
}

// One line without its line end; false at the end of input or on an error.
bool ReadLine(int fd, std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return any;
        }
        any = true;
        if (c == '\n') {
            return true;
        }
        if (line.size() < kMaxAnswer) {
            line += c;
        }
    }
}

bool Parse(const std::string& line, PromptAnswer& answer) {
    for (char c : line) {
        switch (c) {
        case ' ':
        case '\t':
        case '\r':
            continue;
        case 'a':
        case 'A':
            answer = PromptAnswer::kAbort;
            return true;
        case 'r':
        case 'R':
            answer = PromptAnswer::kRetry;
            return true;
        case 'i':
        case 'I':
            answer = PromptAnswer::kIgnore;
            return true;
        default:
            return false;
        }
    }
    return false;
}

ConsolePrompt g_real(0, 1);
IPrompt* g_prompt = nullptr;

} // namespace

PromptAnswer ConsolePrompt::AbortRetryIgnore(std::wstring_view title, std::wstring_view text) {
    if (::isatty(m_inputFd) != 1 || ::isatty(m_outputFd) != 1) {
        return PromptAnswer::kIgnore;
    }
    WriteAll(m_outputFd, "\n*** " + ToUtf8(title) + " ***\n" + ToUtf8(text) + "\n");
    std::string line;
    for (;;) {
        WriteAll(m_outputFd, "[A]bort, [R]etry, [I]gnore? ");
        if (!ReadLine(m_inputFd, line)) {
            WriteAll(m_outputFd, "\n");
            return PromptAnswer::kIgnore;
        }
        PromptAnswer answer = PromptAnswer::kIgnore;
        if (Parse(line, answer)) {
            return answer;
        }
    }
}

IPrompt& Prompt() { return g_prompt ? *g_prompt : g_real; }

void SetPrompt(IPrompt* prompt) { g_prompt = prompt; }

} // namespace platform
