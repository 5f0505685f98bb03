#pragma once
// The console of the original platform, as far as the game uses it: standard
// handles, text attributes (1 blue, 2 green, 4 red, 8 intensity) and writing.
// Attributes become ANSI colour codes, and only when the handle is a terminal.
#include <cstdint>
#include <string_view>

namespace platform {

using ConsoleHandle = int;
constexpr ConsoleHandle kInvalidHandle = -1;
// What a terminal reports as its attributes: "whatever it had", restored
// with a reset rather than a colour of ours.
constexpr uint16_t kTerminalDefaultAttributes = 0xFFFF;

// The console is an interface so tests can record what would be written.
class IConsole {
public:
    virtual ~IConsole() = default;
    // The standard output or error (fd 1 or 2) when it is a terminal, else kInvalidHandle.
    virtual ConsoleHandle GetStdHandle(int fd) = 0;
    virtual uint16_t GetTextAttributes(ConsoleHandle handle) = 0;
    virtual void SetTextAttributes(ConsoleHandle handle, uint16_t attributes) = 0;
    // Writes UTF-8 bytes to fd 1 or 2.
    virtual void Write(int fd, std::string_view utf8) = 0;
};

IConsole& Console();
// Installs a replacement (tests); null restores the real console.
void SetConsole(IConsole* console);

// The ANSI SGR sequence for a console attribute (foreground colour only).
std::string_view AnsiForAttributes(uint16_t attributes);

} // namespace platform
