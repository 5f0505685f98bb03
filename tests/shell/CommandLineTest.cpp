#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/CommandLine.h"

namespace {

TEST(CommandLine, RequestsAndEveryArgumentThatDoesNothing) {
    using Texts = std::vector<std::wstring>;
    const struct {
        Texts args;
        bool selfTest;
        bool writeConfig;
        bool newGame;
        bool noAutosave;
        Texts scripts;
        Texts ignored;
    } cases[] = {
        {{}, false, false, false, false, {}, {}},
        {{L"-test"}, true, false, false, false, {}, {}},
        {{L"-writecfg", L"-test"}, true, true, false, false, {}, {}},
        {{L"-Test"}, false, false, false, false, {}, {L"Unknown option, ignored: -Test"}},
        {{L"-writecfgx", L"--test", L""},
         false,
         false,
         false,
         false,
         {},
         {L"Unknown option, ignored: -writecfgx", L"Unknown option, ignored: --test", L"Unknown option, ignored: "}},
        {{L"-new", L"@lp", L"-pause"}, false, false, true, false, {}, {L"Not supported yet, ignored: -pause"}},
        // Options match whole and in their case.
        {{L"-noautosave", L"-New", L"-new2", L"-noautosave"},
         false,
         false,
         false,
         true,
         {},
         {L"Unknown option, ignored: -New", L"Unknown option, ignored: -new2"}},
        // Scripts by their extension in any case, in order; a bare ".u" is
        // no file name.
        {{L"Data/Maps/town.map", L"Save/autosave.SAV", L"brain.u", L"notes.txt", L".u", L"Data/Scripts/A.U",
          L"x.u.txt"},
         false,
         false,
         false,
         false,
         {L"brain.u", L"Data/Scripts/A.U"},
         {L"Not supported yet, ignored: Data/Maps/town.map", L"Not supported yet, ignored: Save/autosave.SAV",
          L"Unknown option, ignored: notes.txt", L"Unknown option, ignored: .u", L"Unknown option, ignored: x.u.txt"}},
        {{L"-test", L"-bogus"}, true, false, false, false, {}, {L"Unknown option, ignored: -bogus"}},
    };
    for (const auto& c : cases) {
        const TCommandLine line = ReadCommandLine(c.args);
        EXPECT_EQ(line.moreArguments, std::find(c.args.begin(), c.args.end(), L"@lp") != c.args.end());
        EXPECT_EQ(line.selfTest, c.selfTest);
        EXPECT_EQ(line.writeConfig, c.writeConfig);
        EXPECT_EQ(line.newGame, c.newGame);
        EXPECT_EQ(line.noAutosave, c.noAutosave);
        EXPECT_EQ(line.scripts, c.scripts);
        EXPECT_EQ(line.ignored, c.ignored);
    }
}

// "@lp": the setting "cmd_line" in pieces, read after what the command line
// read.
TEST(CommandLine, MoreArgumentsFromTheSetting) {
    using Texts = std::vector<std::wstring>;
    const struct {
        std::wstring setting;
        Texts pieces;
    } cases[] = {
        {L"", {}},
        {L"   \t ", {}},
        {L"-test", {L"-test"}},
        {L"  -new\t\tbrain.u -noautosave ", {L"-new", L"brain.u", L"-noautosave"}},
        {L"a.u@lp", {L"a.u@lp"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitMoreArguments(c.setting), c.pieces);
    }
    TCommandLine line = ReadCommandLine({L"first.u", L"@lp", L"-odd"});
    ASSERT_TRUE(line.moreArguments);
    line.moreArguments = false;
    ReadArguments(line, SplitMoreArguments(L"second.u -new -odd2 @lp"));
    EXPECT_EQ(line.scripts, (Texts{L"first.u", L"second.u"}));
    EXPECT_TRUE(line.newGame);
    EXPECT_TRUE(line.moreArguments);
    EXPECT_EQ(line.ignored, (Texts{L"Unknown option, ignored: -odd", L"Unknown option, ignored: -odd2"}));
}

} // namespace
