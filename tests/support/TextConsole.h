#pragma once
// A console that is no terminal and keeps what is written to it, standard
// output and standard error apart.
#include <string>
#include <string_view>

#include "VEKLib/Console.h"
#include "platform/Console.h"

namespace testsupport {

class CTextConsole : public platform::IConsole {
public:
    std::string out;
    std::string err;
    platform::ConsoleHandle GetStdHandle(int) override { return platform::kInvalidHandle; }
    uint16_t GetTextAttributes(platform::ConsoleHandle) override { return 7; }
    void SetTextAttributes(platform::ConsoleHandle, uint16_t) override {}
    void Write(int fd, std::string_view utf8) override { (fd == 2 ? err : out) += utf8; }
};

// Puts a text console in the process console's place while it lives.
class CConsoleCapture {
public:
    CConsoleCapture() {
        vek::ConsoleOut().flush();
        platform::SetConsole(&m_console);
    }
    ~CConsoleCapture() {
        vek::ConsoleOut().flush();
        platform::SetConsole(nullptr);
    }
    CConsoleCapture(const CConsoleCapture&) = delete;
    CConsoleCapture& operator=(const CConsoleCapture&) = delete;
    // What reached standard output so far.
    const std::string& Text() {
        vek::ConsoleOut().flush();
        return m_console.out;
    }

private:
    CTextConsole m_console;
};

} // namespace testsupport
