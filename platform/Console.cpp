#include "platform/Console.h"

#include <unistd.h>
#include <cerrno>

namespace platform {

namespace {

class RealConsole final : public IConsole {
public:
    ConsoleHandle GetStdHandle(int fd) override { return (fd == 1 || fd == 2) && isatty(fd) ? fd : kInvalidHandle; }
    uint16_t GetTextAttributes(ConsoleHandle) override { return kTerminalDefaultAttributes; }
    void SetTextAttributes(ConsoleHandle handle, uint16_t attributes) override {
        if (handle != kInvalidHandle) {
            Write(handle, AnsiForAttributes(attributes));
        }
    }
    void Write(int fd, std::string_view utf8) override {
        while (!utf8.empty()) {
            const ssize_t n = ::write(fd, utf8.data(), utf8.size());
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return; // a closed console is not worth failing over
            }
            utf8.remove_prefix(static_cast<size_t>(n));
        }
    }
};

RealConsole g_real;
IConsole* g_console = nullptr;

} // namespace

IConsole& Console() { return g_console ? *g_console : g_real; }

void SetConsole(IConsole* console) { g_console = console; }

std::string_view AnsiForAttributes(uint16_t attributes) {
    if (attributes == kTerminalDefaultAttributes) {
        return "\x1b[0m";
    }
    // Index: bit 0 red, bit 1 green, bit 2 blue, as ANSI orders them.
    static constexpr std::string_view kNormal[8] = {"\x1b[0;30m", "\x1b[0;31m", "\x1b[0;32m", "\x1b[0;33m",
                                                    "\x1b[0;34m", "\x1b[0;35m", "\x1b[0;36m", "\x1b[0;37m"};
    static constexpr std::string_view kBright[8] = {"\x1b[0;90m", "\x1b[0;91m", "\x1b[0;92m", "\x1b[0;93m",
                                                    "\x1b[0;94m", "\x1b[0;95m", "\x1b[0;96m", "\x1b[0;97m"};
    const unsigned index = ((attributes & 4) ? 1u : 0u) | ((attributes & 2) ? 2u : 0u) | ((attributes & 1) ? 4u : 0u);
    return (attributes & 8) ? kBright[index] : kNormal[index];
}

} // namespace platform
