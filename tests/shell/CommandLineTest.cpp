#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/CommandLine.h"

namespace {

TEST(CommandLine, EveryArgumentThatDoesNothingIsReported) {
    const struct {
        std::vector<std::wstring> args;
        bool selfTest;
        bool writeConfig;
        std::vector<std::wstring> ignored;
    } cases[] = {
        {{}, false, false, {}},
        {{L"-test"}, true, false, {}},
        {{L"-writecfg", L"-test"}, true, true, {}},
        {{L"-Test"}, false, false, {L"Unknown option, ignored: -Test"}},
        {{L"-writecfgx", L"--test", L""},
         false,
         false,
         {L"Unknown option, ignored: -writecfgx", L"Unknown option, ignored: --test", L"Unknown option, ignored: "}},
        {{L"-new", L"@lp", L"-pause"},
         false,
         false,
         {L"Not supported yet, ignored: -new", L"Not supported yet, ignored: @lp",
          L"Not supported yet, ignored: -pause"}},
        {{L"Data/Maps/town.map", L"Save/autosave.SAV", L"brain.u", L"notes.txt", L".u"},
         false,
         false,
         {L"Not supported yet, ignored: Data/Maps/town.map", L"Not supported yet, ignored: Save/autosave.SAV",
          L"Not supported yet, ignored: brain.u", L"Unknown option, ignored: notes.txt",
          L"Unknown option, ignored: .u"}},
        {{L"-test", L"-bogus"}, true, false, {L"Unknown option, ignored: -bogus"}},
    };
    for (const auto& c : cases) {
        const TCommandLine line = ReadCommandLine(c.args);
        EXPECT_EQ(line.selfTest, c.selfTest);
        EXPECT_EQ(line.writeConfig, c.writeConfig);
        EXPECT_EQ(line.ignored, c.ignored);
    }
}

} // namespace
