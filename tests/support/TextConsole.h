#pragma once
// Consoles that are no terminal and keep what is written to them.
#include <string>
#include <string_view>

#include "VEKLib/Console.h"
#include "platform/Console.h"

namespace testsupport {

// Standard output and standard error apart, colours dropped.
class CTextConsole : public platform::IConsole {
public:
    std::string out;
    std::string err;
    platform::ConsoleHandle GetStdHandle(int) override { return platform::kInvalidHandle; }
    uint16_t GetTextAttributes(platform::ConsoleHandle) override { return 7; }
    void SetTextAttributes(platform::ConsoleHandle, uint16_t) override {}
    void Write(int fd, std::string_view utf8) override { (fd == 2 ? err : out) += utf8; }
};

// A console that keeps what is written to it with every colour change as
// "<attributes>", standard output and standard error together.
class CColourConsole : public platform::IConsole {
public:
    std::string events;
    platform::ConsoleHandle GetStdHandle(int fd) override { return fd; }
    uint16_t GetTextAttributes(platform::ConsoleHandle) override { return 7; }
    void SetTextAttributes(platform::ConsoleHandle, uint16_t attributes) override {
        events += "<" + std::to_string(attributes) + ">";
    }
    void Write(int, std::string_view utf8) override { events += utf8; }
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
