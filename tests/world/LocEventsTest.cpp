// A location's script and the events it and the global script hear while the
// world prepares, enters and leaves locations; NPCs set up as their location
// is read.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Utf8.h"
#include "rules/Hero.h"
#include "script/Script.h"
#include "script/ScriptException.h"
#include "tests/support/Files.h"
#include "tests/support/RecordingPrompt.h"
#include "tests/world/Cases.h"
#include "tests/world/WorldFixture.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

// A 4 x 4 world: the mill at (1, 1) (key "mill"), the 2 x 2 hall at (2, 1)
// (key "hall"), the barn at (0, 3) (no key). The events print to the
// scripts' console.
class LocEvents : public worldtest::WorldFixture {
protected:
    void SetUp() override {
        WorldFixture::SetUp();
        WriteMap(L"mill.map", L"Mill");
        Place(1, 1, L"mill.map", L"mill");
        WriteMap(L"hall.map", L"Hall", 40, 30);
        Place(2, 1, L"hall.map", L"hall", 40, 30);
        WriteMap(L"barn.map", L"Barn");
        Place(0, 3, L"barn.map", L"");
        m_world.LoadLocNames(CWorld::GetLocNamesFileName(L"en"));
        m_game.SetHero(&m_hero);
        SetDefaultScriptConsole(&m_console);
        m_global.LoadText(
            L"var LocWorldX = 9\nvar LocWorldY = 9\n"
            L"function OnEnterLoc() {\nprint \"enter(\"\nprint LocWorldX\nprint \",\"\n"
            L"print LocWorldY\nprint \") \"\n}\n",
            L"_global.u");
        m_global.Parse();
        CScript::SetGlobalScript(&m_global);
    }
    void TearDown() override {
        CScript::SetGlobalScript(nullptr);
        SetDefaultScriptConsole(nullptr);
        m_game.SetHero(nullptr);
        WorldFixture::TearDown();
    }

    // What the events printed since the last look.
    std::wstring Trace() {
        const std::wstring text = m_output.str();
        m_output.str(std::wstring());
        return text;
    }

    // A location script whose events print their names and the key.
    static void WriteScript(const std::string& key) {
        std::string text = "alarm Watch {\nGroupMemberAttacked \"guards\", attack\n}\n";
        for (const char* event : {"OnInit", "OnEnter", "OnExit"}) {
            text += std::string("function ") + event + "() {\nprint \"" + event + ":" + key + " \"\n}\n";
        }
        WriteText("Data/Scripts/Locations/" + key + ".u", text);
    }

    CHero m_hero;
    CScript m_global;
    testsupport::CRecordingPrompt m_prompt;
    std::istringstream m_input;
    std::wostringstream m_output;
    CStreamScriptConsole m_console{m_input, m_output};
};

TEST_F(LocEvents, PreparingALocationReadsItsScriptAndRunsOnInit) {
    WriteScript("mill");
    // The hall's script declares an alarm, then fails to parse.
    WriteText("Data/Scripts/Locations/hall.u",
              "alarm Watch {\nGroupMemberAttacked \"guards\", attack\n}\nfunction OnInit( {\nprint \"x\"\n}\n");
    const struct {
        const char* what;
        uint16_t x, y;
        bool script;
        std::wstring trace;
        size_t alarms;
        size_t boxes;
    } cases[] = {
        {"a script of the name key", 1, 1, true, L"OnInit:mill ", 1, 0},
        // Kept with what it declared; a script that did not parse runs
        // nothing.
        {"a script that does not parse", 3, 2, true, L"", 1, 1},
        {"no name key", 0, 3, false, L"", 0, 0},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        m_prompt.shown.clear();
        CLoc& loc = m_world.LoadLocAt(c.x, c.y);
        EXPECT_EQ(loc.GetScript() != nullptr, c.script);
        EXPECT_EQ(Trace(), c.trace);
        EXPECT_EQ(loc.GetAlarms().size(), c.alarms);
        EXPECT_EQ(m_prompt.shown.size(), c.boxes);
        // Prepared once: "OnInit" does not run again.
        m_world.LoadLocAt(c.x, c.y);
        EXPECT_EQ(Trace(), L"");
    });
    // Without the file the script goes; with runOnInit off "OnInit" does
    // not run.
    std::filesystem::remove("Data/Scripts/Locations/mill.u");
    CLoc& mill = m_world.LoadLocAt(1, 1);
    mill.LoadScript(true);
    EXPECT_EQ(mill.GetScript(), nullptr);
    WriteScript("mill");
    mill.LoadScript(false);
    EXPECT_NE(mill.GetScript(), nullptr);
    EXPECT_EQ(Trace(), L"");
    mill.LoadScript(true);
    EXPECT_EQ(Trace(), L"OnInit:mill ");
}

TEST_F(LocEvents, EnteringAndLeavingRunTheEventsInOrder) {
    WriteScript("mill");
    WriteScript("hall");
    m_game.SetClock(1000);
    // Into the mill from nowhere: prepared, then the global event with the
    // mill's first cell (1, 1), then the mill's own.
    ASSERT_TRUE(m_world.ReadyLoc(L"mill.map", 0, 0, 2, 2, kArriveFromWorld, L""));
    EXPECT_EQ(Trace(), L"OnInit:mill enter(1,1) OnEnter:mill ");
    CLoc& mill = *m_game.GetCurrentLoc();
    // Never left: the time since is the whole clock.
    EXPECT_EQ(m_game.GetElapsedTime(), 1000u);

    // On into the hall's lower right cell: the mill is left at the clock,
    // the global event names the hall's first cell (2, 1).
    m_game.SetClock(1500);
    ASSERT_TRUE(m_world.ReadyLoc(L"", 3, 2, 2, 2, kArriveFromWorld, L""));
    EXPECT_EQ(Trace(), L"OnInit:hall OnExit:mill enter(2,1) OnEnter:hall ");
    EXPECT_EQ(mill.GetExitTime(), 1500u);

    // Back to the mill later: left 300 s ago.
    m_game.SetClock(1800);
    ASSERT_TRUE(m_world.ReadyLoc(L"mill", 0, 0, 3, 3, kArriveFromWorld, L""));
    EXPECT_EQ(Trace(), L"OnExit:hall enter(1,1) OnEnter:mill ");
    EXPECT_EQ(m_game.GetElapsedTime(), 300u);

    // A refused entry cell (the hall's wall) runs nothing.
    EXPECT_FALSE(m_world.ReadyLoc(L"hall", 0, 0, 1, 1, kArriveFromWorld, L""));
    EXPECT_EQ(Trace(), L"");
    EXPECT_EQ(m_game.GetCurrentLoc(), &mill);
}

// A passage to another cell of the same location leaves it and enters it
// again; a script that did not parse hears neither.
TEST_F(LocEvents, APassageWithinTheLocationLeavesItFirst) {
    WriteScript("mill");
    m_game.SetClock(1000);
    ASSERT_TRUE(m_world.ReadyLoc(L"mill.map", 0, 0, 2, 2, kArriveFromWorld, L""));
    CLoc& mill = *m_game.GetCurrentLoc();
    Trace();
    mill.SetSpecialObject(2, 2, kSpecialPassage, 3, (5u << 16) | 5u, L"mill.map|trapdoor");
    m_game.SetClock(1200);
    mill.ExecuteSpecialObject(2, 2);
    EXPECT_EQ(Trace(), L"OnExit:mill enter(1,1) OnEnter:mill ");
    EXPECT_EQ(m_hero.x, 5u);
    EXPECT_EQ(mill.GetExitTime(), 1200u);

    WriteText("Data/Scripts/Locations/mill.u", "function OnExit() {\nprint \"gone\"\n}\nfunction (\n");
    mill.LoadScript(true);
    ASSERT_NE(mill.GetScript(), nullptr);
    mill.SetSpecialObject(5, 5, kSpecialPassage, 3, (2u << 16) | 2u, L"mill.map|trapdoor");
    mill.ExecuteSpecialObject(5, 5);
    EXPECT_EQ(Trace(), L"enter(1,1) ");
    EXPECT_EQ(m_hero.x, 2u);
}

TEST_F(LocEvents, WithoutAGlobalScriptOnlyTheLocationHears) {
    CScript::SetGlobalScript(nullptr);
    WriteText("Data/Scripts/Locations/mill.u", "var heard = 0\nfunction OnEnter() {\nheard = 1\n}\n");
    ASSERT_TRUE(m_world.ReadyLoc(L"mill.map", 0, 0, 2, 2, kArriveFromWorld, L""));
    EXPECT_EQ(m_game.GetCurrentLoc()->GetScript()->FindVariable(L"heard", false)->GetValue(), 1);
    EXPECT_EQ(Trace(), L"");
}

// The first cell reaches "OnEnterLoc" also when the global script does not
// declare it; a script without the event is handed nothing.
TEST_F(LocEvents, TheEnteredCellReachesAnUndeclaringGlobalScript) {
    for (const bool event : {true, false}) {
        CScript global;
        const std::wstring probe = L"function Probe() {\nprint LocWorldX\n}\n";
        global.LoadText(event ? L"function OnEnterLoc() {\nprint \"enter(\"\nprint LocWorldX\nprint \",\"\n"
                                L"print LocWorldY\nprint \") \"\n}\n" +
                                    probe
                              : probe,
                        L"_global.u");
        global.Parse();
        CScript::SetGlobalScript(&global);
        ASSERT_TRUE(m_world.ReadyLoc(L"mill.map", 0, 0, 2, 2, kArriveFromWorld, L""));
        ASSERT_TRUE(m_world.ReadyLoc(L"", 3, 2, 2, 2, kArriveFromWorld, L""));
        EXPECT_EQ(Trace(), event ? L"enter(1,1) enter(2,1) " : L"") << event;
        // Nothing is left waiting for the next function.
        try {
            global.ExecuteUserFunction(L"Probe", 0, L"", true, true);
            ADD_FAILURE() << "a value was left waiting";
        } catch (const CScriptException& e) {
            EXPECT_EQ(e.GetCode(), 32u) << event;
        }
        CScript::SetGlobalScript(&m_global);
        Trace();
    }
}

TEST_F(LocEvents, LeavingTellsOfCompanionsLeftBehind) {
    m_game.GetStrings().LoadText(L"STR_GAME_MSG_COMP_LEFT_BEHIND Staying behind: %s.\n");
    ASSERT_TRUE(m_world.ReadyLoc(L"mill.map", 0, 0, 2, 2, kArriveFromWorld, L""));
    CLoc& mill = *m_game.GetCurrentLoc();
    CMonster& rat = worldtest::AddMonster(mill, worldtest::kRat, 8, 8);
    CMonster& dead = worldtest::AddMonster(mill, worldtest::kRat, 9, 9);
    dead.hitPoints = 0;
    // A companion here alive, one dead, and one of another location.
    m_hero.companions = {rat.globalId, dead.globalId, (7u << 16) | rat.localId};
    m_game.SetClock(77);
    mill.Exit();
    EXPECT_EQ(mill.GetExitTime(), 77u);
    const auto& lines = dynamic_cast<CConsoleDisplay&>(m_game.GetDisplay()).GetMessageLog().GetLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, L"Staying behind: rat.");
}

TEST_F(LocEvents, NpcsAreSetUpAsTheirLocationIsRead) {
    WriteText("Data/Scripts/stock.u", "DefineBuyCategory(4)\n");
    WriteText("Data/Scripts/miller.u", "LoadTradeProfile(\"stock.u\", 1.0, 2.0, 3, 4, 5)\n");
    {
        CLoc loc;
        loc.Init(L"Farm", 20, 15, 0, kLocLayoutPresent);
        loc.GetTerrain().Fill(0);
        worldtest::AddNpc(loc, L"Ada", 4, 4);
        loc.SaveToFile(L"Data/Locations/farm.map", true);
    }
    Place(0, 0, L"farm.map", L"farm");
    CLoc& farm = m_world.LoadLocAt(0, 0);
    ASSERT_EQ(farm.GetCreatures().size(), 1u);
    const auto& npc = static_cast<const CNpc&>(*farm.GetCreatures()[0]);
    ASSERT_NE(npc.script, nullptr);
    EXPECT_EQ(npc.trade.valid, 1);
    EXPECT_EQ(npc.trade.valueC, 5u);
    EXPECT_EQ(npc.trade.buyCategories, std::vector<uint16_t>{4});
}

} // namespace
