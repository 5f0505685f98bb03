#pragma once
// A console that is no terminal and drops whatever is written to it: for
// the benchmarks and fuzzers, whose parse warnings are not what they look at.
#include <string_view>

#include "platform/Console.h"

namespace testsupport {

class CSilentConsole : public platform::IConsole {
public:
    platform::ConsoleHandle GetStdHandle(int) override { return platform::kInvalidHandle; }
    uint16_t GetTextAttributes(platform::ConsoleHandle) override { return 0; }
    void SetTextAttributes(platform::ConsoleHandle, uint16_t) override {}
    void Write(int, std::string_view) override {}
};

} // namespace testsupport
