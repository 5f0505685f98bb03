#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <set>
#include <string>

#include "VEKLib/Console.h"
#include "VEKLib/Log.h"
#include "platform/Console.h"
#include "platform/Debug.h"
#include "platform/Prompt.h"
#include "script/ParserCore.h"
#include "script/ScriptException.h"
#include "support/TextConsole.h"

namespace {

// A scanner standing on the word "e" of line 12 of a.u.
CParserCore ParserOnLine12() {
    CParserCore parser;
    parser.LoadText(L"1\n2\r\n3\r4\n5\n6\n7\n8\n9\n10\n11\ne", L"a.u");
    while (parser.GetWord(0) && parser.GetToken() != L"e") {
    }
    return parser;
}

class FakePrompt : public platform::IPrompt {
public:
    platform::PromptAnswer answer = platform::PromptAnswer::kIgnore;
    std::wstring title, text;
    int asked = 0;
    platform::PromptAnswer AbortRetryIgnore(std::wstring_view t, std::wstring_view x) override {
        ++asked;
        title = t;
        text = x;
        return answer;
    }
};

class FakeDebugger : public platform::IDebugger {
public:
    int breaks = 0;
    bool IsAttached() override { return true; }
    void Output(std::string_view) override {}
    void Break() override { ++breaks; }
};

TEST(ScriptExceptionTest, MessageTable) {
    EXPECT_EQ(CScriptException::kMessageCount, 72u);
    EXPECT_STREQ(CScriptException::MessageFor(0), L"Cannot open file");
    EXPECT_STREQ(CScriptException::MessageFor(7), L"Assign expected");
    EXPECT_STREQ(CScriptException::MessageFor(8), L"The 'to' keyword expected");
    EXPECT_STREQ(CScriptException::MessageFor(26), L"Invalid characters in the function's argument");
    EXPECT_STREQ(CScriptException::MessageFor(36), L"'Else' without 'if'");
    EXPECT_STREQ(CScriptException::MessageFor(41), L"Unexpected character");
    EXPECT_STREQ(CScriptException::MessageFor(57), L"'Text' property only allowed inside an action");
    EXPECT_STREQ(CScriptException::MessageFor(64), L"Missing language(s) in a string");
    EXPECT_STREQ(CScriptException::MessageFor(71), L"Spell not found");
    EXPECT_STREQ(CScriptException::MessageFor(72), L"Unknown error");
    EXPECT_STREQ(CScriptException::MessageFor(0xFFFFFFFF), L"Unknown error");
    std::set<std::wstring> distinct;
    for (uint32_t code = 0; code < CScriptException::kMessageCount; ++code) {
        distinct.insert(CScriptException::MessageFor(code));
    }
    EXPECT_EQ(distinct.size(), 72u);
    EXPECT_EQ(distinct.count(L"Unknown error"), 0u);
}

TEST(ScriptExceptionTest, ConstructionLocatesTheError) {
    const CParserCore parser = ParserOnLine12();
    const CScriptException e(41, L"M_ParserCore", L"CParserCore::ExtractSingleArg", 321, parser);
    EXPECT_EQ(e.GetCode(), 41u);
    EXPECT_EQ(e.GetScriptLine(), 12u);
    EXPECT_EQ(e.GetScriptFile(), L"a.u");
    EXPECT_EQ(e.GetSourceLine(), 321u);
    EXPECT_EQ(e.GetSourceFile(), L"M_ParserCore");
    EXPECT_EQ(e.GetFunction(), L"CParserCore::ExtractSingleArg");
    EXPECT_EQ(e.GetMessage(), L"Unexpected character");

    CParserCore first;
    first.LoadText(L"word\nx", L"b.u");
    first.GetWord(0);
    EXPECT_EQ(CScriptException(1, L"M", L"f", 1, first).GetScriptLine(), 1u);
    CParserCore empty;
    EXPECT_EQ(CScriptException(1, L"M", L"f", 1, empty).GetScriptLine(), 0u);
    EXPECT_EQ(CScriptException(99, L"M", L"f", 1, empty).GetMessage(), L"Unknown error");
}

TEST(ScriptExceptionTest, GetText) {
    const CScriptException e(41, L"M_ParserCore", L"f", 1, ParserOnLine12());
    EXPECT_EQ(e.GetText(), L"a.u (12): Unexpected character");
    CScriptException limit(2, L"M_ScriptBase", L"f", 1, ParserOnLine12());
    EXPECT_EQ(limit.SetDetails(L"step budget of 9 commands ran out").GetText(),
              L"a.u (12): Execution error (step budget of 9 commands ran out)");
}

class ScriptExceptionConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        vek::ConsoleOut().flush();
        platform::SetConsole(&console);
        platform::SetPrompt(&prompt);
        platform::SetDebugger(&debugger);
    }
    void TearDown() override {
        vek::ConsoleOut().flush();
        platform::SetConsole(nullptr);
        platform::SetPrompt(nullptr);
        platform::SetDebugger(nullptr);
    }
    testsupport::CTextConsole console;
    FakePrompt prompt;
    FakeDebugger debugger;
};

TEST_F(ScriptExceptionConsoleTest, PrintPadsTheCode) {
    CScriptException(41, L"M", L"f", 1, ParserOnLine12()).Print();
    CScriptException(7, L"M", L"f", 1, ParserOnLine12()).Print();
    CScriptException(2, L"M", L"f", 1, ParserOnLine12()).SetDetails(L"call depth cap of 200 calls reached").Print();
    EXPECT_EQ(console.out,
              "12: error 0041: Unexpected character\n\n12: error 0007: Assign expected\n\n"
              "12: error 0002: Execution error (call depth cap of 200 calls reached)\n\n");
}

TEST_F(ScriptExceptionConsoleTest, IgnoreReturns) {
    vek::ConsoleOut() << L"pending";
    CScriptException(41, L"M", L"f", 1, ParserOnLine12()).ShowMessageBox();
    EXPECT_EQ(prompt.asked, 1);
    EXPECT_EQ(prompt.title, L"Script Error");
    EXPECT_EQ(prompt.text,
              L"Error in script file 'a.u'. Press Abort to terminate the program, Retry to debug "
              L"the script engine or Ignore to continue.\n\nUnexpected character");
    EXPECT_EQ(console.out, "pending"); // written out before the question
    EXPECT_EQ(debugger.breaks, 0);
}

TEST_F(ScriptExceptionConsoleTest, RetryBreaksEvenWhenBreaksAreSuppressed) {
    prompt.answer = platform::PromptAnswer::kRetry;
    vek::SetDebugBreakSuppressed(true);
    CScriptException(2, L"M", L"f", 1, ParserOnLine12()).ShowMessageBox();
    EXPECT_EQ(debugger.breaks, 1);
    EXPECT_TRUE(vek::IsDebugBreakSuppressed());
    vek::SetDebugBreakSuppressed(false);
}

struct LoudDestructor {
    ~LoudDestructor() { std::fputs("destructor ran", stderr); }
};

TEST_F(ScriptExceptionConsoleTest, AbortEndsTheProcessAtOnce) {
    prompt.answer = platform::PromptAnswer::kAbort;
    const CScriptException e(2, L"M", L"f", 1, ParserOnLine12());
    EXPECT_EXIT(
        {
            LoudDestructor loud;
            std::atexit([] { std::fputs("exit handler ran", stderr); });
            e.ShowMessageBox();
        },
        ::testing::ExitedWithCode(1), ::testing::Not(::testing::HasSubstr("ran")));
}

TEST(ConsolePromptTest, WithoutATerminalAnswersIgnoreAtOnce) {
    int input[2], output[2];
    ASSERT_EQ(pipe(input), 0);
    ASSERT_EQ(pipe(output), 0);
    auto answer = std::async(std::launch::async, [&] {
        platform::ConsolePrompt prompt(input[0], output[1]);
        return prompt.AbortRetryIgnore(L"Script Error", L"text");
    });
    // The input stays open and empty: a prompt that read it would wait.
    if (answer.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        close(input[1]);
        FAIL() << "the prompt waited for input";
    }
    EXPECT_EQ(answer.get(), platform::PromptAnswer::kIgnore);
    fcntl(output[0], F_SETFL, O_NONBLOCK);
    char c;
    EXPECT_EQ(read(output[0], &c, 1), -1); // nothing written
    for (int fd : {input[0], input[1], output[0], output[1]}) {
        close(fd);
    }
}

TEST(ConsolePromptTest, OnATerminalReadsTheAnswer) {
    const struct {
        const char* typed;
        platform::PromptAnswer answer;
    } cases[] = {
        {"r\n", platform::PromptAnswer::kRetry},
        {"  A\n", platform::PromptAnswer::kAbort},
        {"what\ni\n", platform::PromptAnswer::kIgnore},
    };
    for (const auto& c : cases) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            GTEST_SKIP() << "no pseudo terminals here";
        }
        const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave, 0);
        ASSERT_EQ(write(master, c.typed, std::strlen(c.typed)), static_cast<ssize_t>(std::strlen(c.typed)));
        platform::ConsolePrompt prompt(slave, slave);
        EXPECT_EQ(prompt.AbortRetryIgnore(L"Script Error", L"text"), c.answer) << c.typed;
        close(slave);
        close(master);
    }
}

} // namespace
