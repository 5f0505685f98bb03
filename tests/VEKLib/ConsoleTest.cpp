#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "VEKLib/Console.h"
#include "platform/Console.h"

namespace {

// Records attribute changes and written bytes in one timeline.
class FakeConsole : public platform::IConsole {
public:
    bool terminal = true;
    uint16_t current = 7;
    std::vector<std::string> events;
    int handleRequests = 0;

    platform::ConsoleHandle GetStdHandle(int fd) override {
        ++handleRequests;
        return terminal ? fd : platform::kInvalidHandle;
    }
    uint16_t GetTextAttributes(platform::ConsoleHandle) override { return current; }
    void SetTextAttributes(platform::ConsoleHandle, uint16_t attributes) override {
        events.push_back("attr " + std::to_string(attributes));
    }
    void Write(int fd, std::string_view utf8) override {
        events.push_back("fd" + std::to_string(fd) + " " + std::string(utf8));
    }
};

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        vek::ConsoleOut().flush();
        vek::ResetConsoleState();
        platform::SetConsole(&fake);
    }
    void TearDown() override {
        vek::ConsoleOut().flush();
        vek::ResetConsoleState();
        vek::EnableConsoleColors(true);
        platform::SetConsole(nullptr);
    }
    FakeConsole fake;
};

TEST_F(ConsoleTest, ColourNumbersMapToAttributes) {
    const int expected[] = {7, 15, 4, 2, 1, 3, 5, 6, 12, 10, 9, 11, 13, 14, 7};
    for (int n = 0; n < 15; ++n) {
        vek::SetConsoleColor(n);
        EXPECT_EQ(fake.events.back(), "attr " + std::to_string(expected[n])) << n;
    }
    vek::SetConsoleColor(15);
    EXPECT_EQ(fake.events.back(), "attr 0");
    vek::SetConsoleColor(-1);
    EXPECT_EQ(fake.events.back(), "attr 0");
}

TEST_F(ConsoleTest, DefaultRestoresAttributesSeenAtFirstUse) {
    fake.current = 5;
    vek::SetConsoleColor(0); // first use: takes the handle, saves 5
    fake.current = 12;
    vek::SetConsoleColor(2);
    vek::SetConsoleColor(0);
    EXPECT_EQ(fake.events, (std::vector<std::string>{"attr 5", "attr 4", "attr 5"}));
    EXPECT_EQ(fake.handleRequests, 1);
}

TEST_F(ConsoleTest, NoTerminalNoColourAndRetriesLater) {
    fake.terminal = false;
    vek::SetConsoleColor(2);
    vek::ConsoleOut() << vek::ConsoleRed << L"x" << std::flush;
    EXPECT_EQ(fake.events, (std::vector<std::string>{"fd1 x"}));
    fake.terminal = true;
    vek::SetConsoleColor(2);
    EXPECT_EQ(fake.events.back(), "attr 4");
}

TEST_F(ConsoleTest, FlagOffSetsNothing) {
    vek::EnableConsoleColors(false);
    vek::SetConsoleColor(3);
    vek::ConsoleOut() << vek::ConsoleGreen;
    EXPECT_TRUE(fake.events.empty());
}

TEST_F(ConsoleTest, ManipulatorsFlushThenColour) {
    vek::ConsoleOut() << L"a" << vek::ConsoleRed << L"b" << vek::ConsoleGreen << vek::ConsoleYellow
                      << vek::ConsoleDarkYellow << vek::ConsoleCyan << L"c\n"
                      << vek::ConsoleDefault;
    EXPECT_EQ(fake.events, (std::vector<std::string>{"fd1 a", "attr 12", "fd1 b", "attr 10", "attr 14", "attr 6",
                                                     "attr 11", "fd1 c\n", "attr 7"}));
}

TEST_F(ConsoleTest, ManipulatorOnOtherStreamDoesNothing) {
    std::wostringstream os;
    os << L"a" << vek::ConsoleRed << vek::ConsoleDefault << L"b";
    EXPECT_EQ(os.str(), L"ab");
    EXPECT_TRUE(fake.events.empty());
}

TEST_F(ConsoleTest, WritesUtf8AndKeepsSurrogatePairsWhole) {
    std::wstring text = L"\u00e9\u20ac ";
    text += static_cast<wchar_t>(0xD83D);
    vek::ConsoleOut() << text << std::flush; // the high surrogate waits for its partner
    vek::ConsoleOut() << static_cast<wchar_t>(0xDE00) << L"\n";
    EXPECT_EQ(fake.events, (std::vector<std::string>{"fd1 \xC3\xA9\xE2\x82\xAC ", "fd1 \xF0\x9F\x98\x80\n"}));
}

TEST(AnsiCodes, AttributesBecomeForegroundColours) {
    EXPECT_EQ(platform::AnsiForAttributes(4), "\x1b[0;31m");  // red
    EXPECT_EQ(platform::AnsiForAttributes(2), "\x1b[0;32m");  // green
    EXPECT_EQ(platform::AnsiForAttributes(1), "\x1b[0;34m");  // blue
    EXPECT_EQ(platform::AnsiForAttributes(6), "\x1b[0;33m");  // red + green
    EXPECT_EQ(platform::AnsiForAttributes(11), "\x1b[0;96m"); // bright cyan
    EXPECT_EQ(platform::AnsiForAttributes(15), "\x1b[0;97m");
    EXPECT_EQ(platform::AnsiForAttributes(platform::kTerminalDefaultAttributes), "\x1b[0m");
}

} // namespace
