#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Log.h"
#include "VEKLib/UnitTest.h"
#include "platform/Console.h"
#include "platform/Debug.h"

namespace {

// One timeline of attribute changes and text; consecutive writes are joined.
class FakeConsole : public platform::IConsole {
public:
    std::vector<std::string> events;
    platform::ConsoleHandle GetStdHandle(int fd) override { return fd; }
    uint16_t GetTextAttributes(platform::ConsoleHandle) override { return 7; }
    void SetTextAttributes(platform::ConsoleHandle, uint16_t attributes) override {
        events.push_back("attr " + std::to_string(attributes));
    }
    void Write(int fd, std::string_view utf8) override {
        if (fd != 1) {
            return;
        }
        if (events.empty() || events.back().rfind("attr ", 0) == 0) {
            events.emplace_back();
        }
        events.back() += utf8;
    }
};

class FakeDebugger : public platform::IDebugger {
public:
    int breaks = 0;
    bool IsAttached() override { return true; }
    void Output(std::string_view) override {}
    void Break() override { ++breaks; }
};

// Passes `passes` checks and fails `fails`, the failures at line 417.
class FakeTest : public vek::CTest {
public:
    FakeTest(const std::wstring& name, int passes, int fails, int* deleted = nullptr)
        : CTest(name), m_passes(passes), m_fails(fails), m_deleted(deleted) {}
    ~FakeTest() override {
        if (m_deleted) {
            ++*m_deleted;
        }
    }
    void Run() override {
        for (int i = 0; i < m_passes; ++i) {
            Check(true, "x == x", L"UnitTests", 1);
        }
        for (int i = 0; i < m_fails; ++i) {
            Check(false, "x == 1", L"UnitTests", 417);
        }
    }

private:
    int m_passes, m_fails;
    int* m_deleted;
};

template <class E>
class ThrowingTest : public vek::CTest {
public:
    ThrowingTest(E error) : CTest(L"Thrower"), m_error(error) {}
    void Run() override {
        Check(true, "1", L"UnitTests", 1);
        throw m_error;
    }

private:
    E m_error;
};

class UnitTestTest : public ::testing::Test {
protected:
    void SetUp() override {
        vek::ConsoleOut().flush();
        vek::ResetConsoleState();
        vek::EnableConsoleColors(true);
        platform::SetConsole(&console);
        platform::SetDebugger(&debugger);
        vek::LogSessionStart(log, L"", vek::kLogStdOut, false);
    }
    void TearDown() override {
        vek::ConsoleOut().flush();
        vek::ResetConsoleState();
        platform::SetConsole(nullptr);
        platform::SetDebugger(nullptr);
    }
    FakeConsole console;
    FakeDebugger debugger;
    vek::CLog log;
};

TEST_F(UnitTestTest, SuiteReportOfPassingAndFailingTest) {
    vek::CSuite suite(L"S", &log);
    suite.AddTest(new FakeTest(L"Good", 2, 0));
    suite.AddTest(new FakeTest(L"Bad", 1, 1));
    suite.Execute();
    EXPECT_EQ(suite.Run(), 1);
    const std::vector<std::string> expected = {
        "Bad failure: (x == 1) , UnitTests (line 417)\n\n",
        "attr 15",
        "\nSuite \"S\"\n",
        "attr 7",
        "===========\n"
        "Test \"Good\":\n\tPassed: 2\tFailed: 0\n"
        "Test \"Bad\":\n\tPassed: 1\tFailed: 1\n"
        "===========\n"
        "\"S\" Total:\n",
        "attr 14",
        "\tPassed: 3\tFailed: 1\n",
        "attr 7",
    };
    EXPECT_EQ(console.events, expected);
    suite.DeleteAll();
}

TEST_F(UnitTestTest, GrandTotalColourAndDebugBreak) {
    const struct {
        int fails;
        const char* colour;
        int breaks;
    } cases[] = {{0, "attr 10", 0}, {1, "attr 12", 1}};
    for (const auto& c : cases) {
        console.events.clear();
        debugger.breaks = 0;
        vek::CSuite all(L"All", &log);
        vek::CSuite sub(L"Sub", &log);
        sub.AddTest(new FakeTest(L"T", 3, c.fails));
        all.AddSuite(&sub);
        all.Execute();
        EXPECT_EQ(vek::RunAllSuites(all), c.fails);
        const std::string rule(40, '=');
        const std::vector<std::string> tail = {c.colour, "\tPassed: 3\tFailed: " + std::to_string(c.fails) + "\n",
                                               "attr 7"};
        ASSERT_GE(console.events.size(), 4u);
        EXPECT_EQ(std::vector<std::string>(console.events.end() - 3, console.events.end()), tail);
        const std::string& before = console.events[console.events.size() - 4];
        EXPECT_NE(before.find(rule + "\n" + rule + "\nAll Suites Total:\n"), std::string::npos) << before;
        EXPECT_EQ(debugger.breaks, c.breaks);
        all.DeleteAll();
    }
}

TEST_F(UnitTestTest, EmptySuiteAndRepeatedExecute) {
    vek::CSuite empty(L"E", &log);
    empty.Execute();
    EXPECT_EQ(empty.Run(), 0);
    EXPECT_EQ(console.events.back(), "attr 7");
    EXPECT_EQ(console.events[console.events.size() - 2], "\tPassed: 0\tFailed: 0\n");

    vek::CSuite suite(L"S", nullptr);
    vek::CSuite sub(L"Sub", nullptr);
    suite.AddSuite(&sub);
    sub.AddTest(new FakeTest(L"A", 2, 1));
    suite.AddTest(new FakeTest(L"B", 4, 0));
    for (int round = 0; round < 2; ++round) {
        suite.Execute();
        EXPECT_EQ(suite.GetPassedTotal(), 4);
        EXPECT_EQ(suite.GetFailedTotal(), 0);
        EXPECT_EQ(suite.PassedSum(), 6);
        EXPECT_EQ(suite.FailedSum(), 1);
        EXPECT_EQ(sub.GetFailedTotal(), 1);
    }
    suite.DeleteAll();
}

TEST_F(UnitTestTest, TestKeepsOwnLogOrTakesSuites) {
    vek::CLog own;
    vek::CSuite suite(L"S", &log);
    auto* withLog = new FakeTest(L"A", 0, 0);
    withLog->SetLog(&own);
    auto* withoutLog = new FakeTest(L"B", 0, 0);
    suite.AddTest(withLog);
    suite.AddTest(withoutLog);
    EXPECT_EQ(withLog->GetLog(), &own);
    EXPECT_EQ(withoutLog->GetLog(), &log);
    suite.DeleteAll();
}

TEST_F(UnitTestTest, NullTestRefused) {
    vek::CSuite suite(L"S", &log);
    try {
        suite.AddTest(nullptr);
        FAIL() << "no error";
    } catch (const vek::CTestSuiteError& e) {
        EXPECT_EQ(e.GetDetails(), L"Null test in CSuite::AddTest");
        EXPECT_EQ(e.GetFunction(), L"");
        EXPECT_EQ(e.GetSourceFile(), L"");
    }
    EXPECT_EQ(suite.GetTestCount(), 0u);
}

TEST_F(UnitTestTest, SuiteLoopRefused) {
    vek::CSuite a(L"A", nullptr), b(L"B", nullptr);
    a.AddSuite(&b);
    EXPECT_THROW(b.AddSuite(&a), vek::CTestSuiteError);
    EXPECT_THROW(a.AddSuite(&a), vek::CTestSuiteError);
    EXPECT_THROW(a.AddSuite(nullptr), vek::CTestSuiteError);
    EXPECT_EQ(b.GetSuites().size(), 0u);
}

TEST_F(UnitTestTest, ExceptionInRunIsOneFailureAndRunGoesOn) {
    vek::CSuite suite(L"S", &log);
    const vek::CException error(L"f", L"g", 3, L"broken");
    suite.AddTest(new ThrowingTest<vek::CException>(error));
    suite.AddTest(new ThrowingTest<std::runtime_error>(std::runtime_error("bad thing")));
    suite.AddTest(new ThrowingTest<int>(7));
    suite.AddTest(new FakeTest(L"After", 1, 0));
    suite.Execute();
    EXPECT_EQ(suite.GetPassedTotal(), 4);
    EXPECT_EQ(suite.GetFailedTotal(), 3);
    ASSERT_GE(console.events.size(), 1u);
    const std::string& text = console.events[0];
    const std::string cexception = "Thrower failure: (Details: broken\r\nSource file: g\r\nFunction: f\r\nLine: 3) , ";
    EXPECT_NE(text.find(cexception), std::string::npos) << text;
    EXPECT_NE(text.find("Thrower failure: (bad thing) , "), std::string::npos) << text;
    EXPECT_NE(text.find("Thrower failure: (unknown exception) , "), std::string::npos) << text;
    suite.DeleteAll();
}

TEST_F(UnitTestTest, DeleteAllDeletesTestsOfWholeTree) {
    int deleted = 0;
    vek::CSuite suite(L"S", nullptr);
    vek::CSuite sub(L"Sub", nullptr);
    suite.AddSuite(&sub);
    suite.AddTest(new FakeTest(L"A", 0, 0, &deleted));
    sub.AddTest(new FakeTest(L"B", 0, 0, &deleted));
    sub.AddTest(new FakeTest(L"C", 0, 0, &deleted));
    suite.DeleteAll();
    EXPECT_EQ(deleted, 3);
    EXPECT_EQ(suite.GetTestCount(), 0u);
    EXPECT_EQ(sub.GetTestCount(), 0u);
    EXPECT_EQ(suite.GetSuites().size(), 1u);
}

TEST_F(UnitTestTest, SilentWithoutLog) {
    vek::CSuite all(L"All", nullptr);
    vek::CSuite sub(L"Sub", nullptr);
    sub.AddTest(new FakeTest(L"T", 1, 2));
    all.AddSuite(&sub);
    all.Execute();
    EXPECT_EQ(sub.Run(), 2);
    EXPECT_EQ(vek::RunAllSuites(all), 2);
    EXPECT_TRUE(console.events.empty());
    all.DeleteAll();
}

// The library suite checks the Files, Strings and Date functions themselves,
// whatever the machine's time zone.
TEST_F(UnitTestTest, LibrarySuitePasses) {
    const char* before = std::getenv("TZ");
    const std::string saved = before ? before : "";
    setenv("TZ", "UTC0", 1);
    tzset();
    vek::CSuite all(L"All", &log);
    vek::CSuite library(L"", nullptr);
    vek::CreateLibrarySuite(library, &log);
    all.AddSuite(&library);
    all.Execute();
    EXPECT_STREQ(std::getenv("TZ"), "UTC0");
    EXPECT_EQ(library.GetName(), L"VEKLib");
    EXPECT_EQ(library.GetTestCount(), 3u);
    EXPECT_EQ(library.FailedSum(), 0);
    EXPECT_GE(library.PassedSum(), 45);
    EXPECT_EQ(vek::RunAllSuites(all), 0);
    const std::string report = console.events.size() > 3 ? console.events[3] : "";
    EXPECT_EQ(report.find("Test \"Files\""), 17u) << report;
    EXPECT_LT(report.find("Test \"Files\""), report.find("Test \"Strings\""));
    EXPECT_LT(report.find("Test \"Strings\""), report.find("Test \"Date\""));
    all.DeleteAll();
    if (before) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

} // namespace
