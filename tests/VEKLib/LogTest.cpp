#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "VEKLib/Console.h"
#include "VEKLib/Date.h"
#include "VEKLib/Log.h"
#include "VEKLib/Profiler.h"
#include "platform/Console.h"
#include "platform/Debug.h"
#include "platform/Time.h"
#include "support/TextConsole.h"

namespace {

// 30 January 2012 20:03:00 UTC, 21:03 in the home zone.
int64_t FixedTime() { return 1327953780; }

class FakeDebugger : public platform::IDebugger {
public:
    bool attached = false;
    std::string output;
    int breaks = 0;
    bool IsAttached() override { return attached; }
    void Output(std::string_view utf8) override { output += utf8; }
    void Break() override { ++breaks; }
};

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        vek::ConsoleOut().flush();
        vek::ConsoleErr().flush();
        platform::SetConsole(&console);
        platform::SetDebugger(&debugger);
        platform::SetTimeSource(FixedTime);
        // Tests may run as parallel processes: one file each.
        path = std::filesystem::path(testing::TempDir()) /
               ("morvheld_log_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
                std::to_string(getpid()) + ".log");
        std::filesystem::remove(path);
    }
    void TearDown() override {
        vek::ConsoleOut().flush();
        vek::ConsoleErr().flush();
        platform::SetConsole(nullptr);
        platform::SetDebugger(nullptr);
        platform::SetTimeSource(nullptr);
        std::filesystem::remove(path);
    }
    std::wstring FileName() const { return path.wstring(); }
    std::string FileBytes() const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    vek::CTimeZoneScope zone{vek::kHomeTimeZone};
    testsupport::CTextConsole console;
    FakeDebugger debugger;
    std::filesystem::path path;
};

// FF FE, then each character as its low and high byte.
std::string Utf16Record(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

TEST_F(LogTest, FileSessionEveryLineStartsWithByteOrderMark) {
    vek::CLog log;
    vek::LogSessionStart(log, FileName(), vek::kLogFile, true);
    EXPECT_EQ(log.m_sizeLimitKB, 100u);
    vek::LogWrite(log, L"100% done", true);
    vek::LogWrite(log, L"\x017C", false); // z with dot above
    vek::LogSessionEnd(log);
    const std::string expected = Utf16Record("*** Session started: 30.01.2012 21:03\r\n") +
                                 Utf16Record("21:03:00  100% done\r\n") + std::string("\xFF\xFE\x7C\x01\r\0\n\0", 8) +
                                 Utf16Record("*** Session closed.\r\n");
    EXPECT_EQ(FileBytes(), expected);
}

TEST_F(LogTest, FileRestartsWhenLineReachesLimit) {
    // 102,000 bytes plus a line of 400 characters reaches 102,400; one
    // character less still fits.
    const struct {
        size_t textLength;
        bool restarts;
    } cases[] = {{398, true}, {397, false}};
    for (const auto& c : cases) {
        std::ofstream(path, std::ios::binary) << std::string(102000, 'x');
        vek::CLog log;
        vek::LogSessionStart(log, FileName(), vek::kLogFile, false);
        vek::LogWrite(log, std::wstring(c.textLength, L'a'), false);
        const std::string record = Utf16Record(std::string(c.textLength, 'a') + "\r\n");
        const std::string bytes = FileBytes();
        if (c.restarts) {
            EXPECT_EQ(bytes, record);
        } else {
            EXPECT_EQ(bytes, std::string(102000, 'x') + record);
        }
    }
}

TEST_F(LogTest, UnopenableFileLosesLineQuietly) {
    vek::CLog log;
    vek::LogSessionStart(log, FileName() + L"/missing/x.log", vek::kLogFile, true);
    vek::LogWrite(log, L"lost", true);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(LogTest, TimestampPrefixRule) {
    const struct {
        bool timestamps, startEnd, wanted;
        const char* expected;
    } cases[] = {
        {true, true, true, "21:03:00  t\n"},  {false, false, true, "21:03:00  t\n"},
        {true, false, true, "21:03:00  t\n"}, {false, true, true, "t\n"},
        {true, true, false, "t\n"},
    };
    for (const auto& c : cases) {
        vek::CLog log;
        log.m_target = vek::kLogStdOut;
        log.m_timestamps = c.timestamps;
        log.m_startEndLines = c.startEnd;
        console.out.clear();
        vek::LogWrite(log, L"t", c.wanted);
        EXPECT_EQ(console.out, c.expected) << c.timestamps << c.startEnd << c.wanted;
    }
}

TEST_F(LogTest, TargetsSendLineToTheirPlace) {
    debugger.attached = true;
    for (uint32_t target = 0; target <= 5; ++target) {
        vek::CLog log;
        vek::LogSessionStart(log, FileName(), target, false);
        vek::LogWrite(log, L"%s \x0142", false);
    }
    EXPECT_EQ(console.out, "%s \xC5\x82\n");
    EXPECT_EQ(console.err, "%s \xC5\x82\n");
    EXPECT_EQ(debugger.output, "%s \xC5\x82\n");
    EXPECT_EQ(FileBytes(), std::string("\xFF\xFE%\0s\0 \0\x42\x01\r\0\n\0", 14));
}

TEST_F(LogTest, DebuggerTargetSilentWithoutDebugger) {
    vek::CLog log;
    vek::LogSessionStart(log, L"", vek::kLogDebugger, true);
    vek::LogWrite(log, L"x", true);
    EXPECT_EQ(debugger.output, "");
    EXPECT_EQ(console.err, "");
}

TEST_F(LogTest, ConsoleSessionLines) {
    vek::CLog log;
    vek::LogSessionStart(log, L"", vek::kLogStdErr, true);
    EXPECT_EQ(log.m_sizeLimitKB, 0u);
    vek::LogSessionEnd(log);
    EXPECT_EQ(console.err, "*** Session started: 30.01.2012 21:03\n*** Session closed.\n");
}

TEST_F(LogTest, BannerStartsWithLibraryName) {
    vek::PrintLibraryBanner();
    EXPECT_EQ(console.out.rfind("VEKLib", 0), 0u);
    const std::string tail = "\nDetecting memory leaks: disabled\n";
    ASSERT_GE(console.out.size(), tail.size());
    EXPECT_EQ(console.out.substr(console.out.size() - tail.size()), tail);
}

TEST_F(LogTest, DebugBreakOnlyWithDebuggerAndNotSuppressed) {
    EXPECT_TRUE(vek::DebugBreakIfDebugging());
    EXPECT_EQ(debugger.breaks, 0);
    debugger.attached = true;
    vek::SetDebugBreakSuppressed(true);
    EXPECT_TRUE(vek::DebugBreakIfDebugging());
    EXPECT_EQ(debugger.breaks, 0);
    vek::SetDebugBreakSuppressed(false);
    EXPECT_TRUE(vek::DebugBreakIfDebugging());
    EXPECT_EQ(debugger.breaks, 1);
}

TEST(DebugBreak, RealBreakDoesNotStopProgramWithoutDebugger) {
    if (platform::Debugger().IsAttached()) {
        GTEST_SKIP() << "running under a debugger";
    }
    EXPECT_TRUE(vek::DebugBreakIfDebugging()); // SIGTRAP would have ended the test
}

TEST(DebugBreak, TracerPidFromStatus) {
    const struct {
        const char* status;
        long pid;
    } cases[] = {
        {"Name:\tx\nTracerPid:\t0\nUid:\t1\n", 0},
        {"Name:\tx\nTracerPid:\t4711\nUid:\t1\n", 4711},
        {"TracerPid:\t12", 12},
        {"Name:\tx\n", 0},
        {"TracerPid:\n", 0},
        {"NotTracerPid:\t5\n", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::TracerPidFromStatus(c.status), c.pid) << c.status;
    }
}

TEST(Profiler, ReportIndentsChildrenAndSkipsRoot) {
    vek::CProfileNode root;
    root.m_children.resize(1);
    vek::CProfileNode& draw = root.m_children[0];
    draw.m_name = L"Draw";
    draw.m_totalTime = 0.5;
    draw.m_calls = 4;
    draw.m_children.resize(1);
    draw.m_children[0].m_name = L"Sprites"; // never called
    std::wstring report;
    vek::CProfiler::Report(report, root, 0);
    EXPECT_EQ(report,
              L"Draw                 : 125.00 ms, 4 calls\n"
              L"  Sprites              : 0.00 ms, 0 calls\n");
}

TEST(Profiler, ScopeCountsCallsAndResetForgetsChildren) {
    vek::CProfiler& profiler = vek::Profiler();
    profiler.Reset();
    for (int i = 0; i < 3; ++i) {
        vek::CProfileScope outer(L"Frame");
        vek::CProfileScope inner(L"Draw");
    }
    const vek::CProfileNode& root = profiler.GetRoot();
    ASSERT_EQ(root.m_children.size(), 1u);
    EXPECT_EQ(root.m_children[0].m_calls, 3.0);
    ASSERT_EQ(root.m_children[0].m_children.size(), 1u);
    EXPECT_EQ(root.m_children[0].m_children[0].m_calls, 3.0);
    EXPECT_GE(root.m_children[0].m_totalTime, 0.0);
    profiler.End(); // the root stays open
    profiler.Begin(L"Open");
    profiler.Reset();
    EXPECT_TRUE(profiler.GetRoot().m_children.empty());
    profiler.Begin(L"After");
    profiler.End();
    EXPECT_EQ(profiler.GetRoot().m_children.size(), 1u);
    profiler.Reset();
}

} // namespace
