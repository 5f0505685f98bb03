#pragma once
// A console that is no terminal and keeps what is written to it, standard
// output and standard error apart.
#include <string>
#include <string_view>

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

} // namespace testsupport
