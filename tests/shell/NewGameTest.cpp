#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Strings.h"
#include "data/GameDisplay.h"
#include "platform/Utf8.h"
#include "rules/Group.h"
#include "rules/Hero.h"
#include "script/Script.h"
#include "shell/Game.h"
#include "shell/ScriptGlobals.h"
#include "shell/ShellObjects.h"
#include "tests/shell/SampleGameFixture.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

using samplegame::Lines;
using samplegame::SampleGame;

// Item types: positions in the sample item table.
enum : uint16_t { kSword = 1, kBread = 2, kArrow = 5, kGoldwort = 7, kCoin = 9 };

int64_t Global(const wchar_t* name) {
    const CVariable* variable = Globals().GetDeclarations().FindVariable(name, false);
    EXPECT_NE(variable, nullptr) << platform::ToUtf8(name);
    return variable != nullptr ? variable->GetValue() : -1;
}

// The lines of the log from the first that begins with the text on.
Lines From(const Lines& log, const std::wstring& first) {
    const auto start =
        std::find_if(log.begin(), log.end(), [&](const std::wstring& line) { return line.starts_with(first); });
    return Lines(start, log.end());
}

std::vector<std::pair<uint16_t, uint32_t>> Pack(const CHero& hero) {
    std::vector<std::pair<uint16_t, uint32_t>> pack;
    for (const CItem& item : hero.backpack) {
        pack.emplace_back(item.type, item.count);
    }
    return pack;
}

TEST_F(SampleGame, NewGameOnTheSampleData) {
    CGame& game = MakeGame();
    const CWorld* setUpWorld = game.GetWorld();
    ASSERT_NE(setUpWorld, nullptr);
    game.New();

    EXPECT_EQ(From(m_log, L"Preparing a new game..."),
              (Lines{L"Preparing a new game...", L"Loading global declarations...", L"Creating world...",
                     L"Welcome to Morvheld.\r\nMay the roads be kind to you.", L"Launching the OnLoad commands...",
                     L"You have learned a new skill: First aid."}));
    // The world set-up read, not played before, is the game's.
    EXPECT_EQ(game.GetWorld(), setUpWorld);
    EXPECT_TRUE(game.HasGame());
    EXPECT_EQ(game.GetState(), kStateGame);

    // SetStartLoc("mill.map") and Reveal(0) of "_onload.u".
    const CLoc* mill = game.GetCurrentLoc();
    ASSERT_NE(mill, nullptr);
    EXPECT_EQ(mill->GetFileName(), L"mill.map");
    EXPECT_EQ(mill, game.GetWorld()->grid.At(1, 1).loc);
    EXPECT_NE(mill->GetFlags() & kLocEntered, 0);
    EXPECT_EQ(mill->GetExplored().At(0, 0), 255);
    EXPECT_EQ(mill->GetExplored().At(19, 14), 255);

    // The hero's first equipment: "_onload.u", then "_onload_c.u" (the
    // global StartSupplies is 1).
    const CHero& hero = *game.GetHero();
    EXPECT_EQ(hero.equipment[CHero::kSlotWeapon].type, kSword);
    EXPECT_EQ(hero.equipment[CHero::kSlotWeapon].count, 1u);
    EXPECT_EQ(Pack(hero),
              (std::vector<std::pair<uint16_t, uint32_t>>{{kBread, 3}, {kCoin, 25}, {kGoldwort, 2}, {kArrow, 10}}));
    const std::vector<std::wstring>& skills = game.GetSkillNames();
    const auto firstAid = std::find(skills.begin(), skills.end(), L"Pierwsza pomoc");
    ASSERT_NE(firstAid, skills.end());
    EXPECT_EQ(hero.GetSkillLevel(static_cast<uint32_t>(firstAid - skills.begin()) + 1), 1);

    // The bound variables, the sample brain (its "Init" run) and the
    // global script's "AfterStart".
    EXPECT_EQ(Global(L"ChosenItemSet"), 0);
    EXPECT_EQ(Global(L"CharacterCreated"), 0);
    EXPECT_EQ(Global(L"HerbsDelivered"), 0);
    ASSERT_EQ(BrainScripts().size(), 1u);
    EXPECT_EQ(BrainScripts()[0].name, L"monbase.u");
    CScript& brain = BrainScripts()[0].script;
    ASSERT_NE(brain.FindVariable(L"SightRange", false), nullptr);
    EXPECT_EQ(brain.FindVariable(L"SightRange", false)->GetValue(), 6);
    EXPECT_EQ(brain.FindVariable(L"FleeBelowPercent", false)->GetValue(), 25);
}

// Scripts of the test's own: what each step of a new game runs, in order.
TEST_F(SampleGame, NewGameRunsEachStepsScripts) {
    WriteScript("_global.u",
                "var Marker = 0\n"
                "var ChosenItemSet = 5\n"
                "var Seen = 0\n"
                "function AfterStart() {\n"
                "    Marker = 7\n"
                "}\n");
    // The bound variable is the game's field, at its width: 300 is 44 in a byte.
    WriteScript("_onload.u",
                "if (ChosenItemSet == 3) {\n"
                "    Seen = 3\n"
                "}\n"
                "CharacterCreated = 300\n"
                "incr Marker\n"
                "SetStartLoc(\"cellar.map\", 65535, 65535)\n");
    RemoveScript("_onload_c.u");
    RemoveScript("Brains/monbase.u");
    // Straight through: each command of "Init" once, whatever its jumps.
    WriteScript("Brains/b.u",
                "var Steps = 0\n"
                "function Init() {\n"
                "    if (Steps == 1) {\n"
                "        Steps = 5\n"
                "    }\n"
                "}\n");
    WriteScript("Brains/a.u", "var Broken = \n");
    WriteScript("Brains/notes.txt", "not a brain\n");
    CGame& game = MakeGame();
    // Character creation's choice, in the declared global: the new game
    // takes it although the declarations are read afresh (5 again).
    Globals().GetDeclarations().FindVariable(L"ChosenItemSet", false)->SetValue(3);
    game.New();

    EXPECT_EQ(game.GetChosenItemSet(), 3u);
    EXPECT_EQ(Global(L"Marker"), 8);
    EXPECT_EQ(Global(L"Seen"), 3);
    EXPECT_EQ(Global(L"ChosenItemSet"), 3);
    EXPECT_EQ(game.GetCharacterCreated(), 44);
    EXPECT_EQ(Global(L"CharacterCreated"), 44);
    game.SetChosenItemSet(12);
    EXPECT_EQ(Global(L"ChosenItemSet"), 12);
    ASSERT_NE(game.GetCurrentLoc(), nullptr);
    EXPECT_EQ(game.GetCurrentLoc()->GetFileName(), L"cellar.map");

    // The brain that does not parse is reported and left out.
    ASSERT_EQ(BrainScripts().size(), 1u);
    EXPECT_EQ(BrainScripts()[0].name, L"b.u");
    EXPECT_EQ(BrainScripts()[0].script.FindVariable(L"Steps", false)->GetValue(), 5);
    const auto reported = [&](const std::string& what) {
        return std::any_of(m_log.begin(), m_log.end(), [&](const std::wstring& line) {
            return platform::ToUtf8(line).find(what) != std::string::npos;
        });
    };
    EXPECT_TRUE(reported("Data/Scripts/Brains/a.u (1)"));
    // A start-up file that is not there is reported and passed over.
    EXPECT_TRUE(reported("Data/Scripts/_onload_c.u (0): Cannot open file"));
}

TEST_F(SampleGame, NewGameWithoutAStartLocationLeavesNoGame) {
    WriteScript("_onload.u", "AddInvItem(\"złota moneta\", 1)\n");
    CGame& game = MakeGame();
    try {
        game.New();
        ADD_FAILURE() << "nothing thrown";
    } catch (const vek::CException& e) {
        EXPECT_EQ(e.GetDetails(), L"No start location: the start-up commands entered none (SetStartLoc).");
    }
    EXPECT_FALSE(game.HasGame());
    EXPECT_EQ(game.GetHero(), nullptr);
    EXPECT_EQ(game.GetWorld(), nullptr);
    // The next new game reads the world afresh.
    WriteScript("_onload.u", "SetStartLoc(\"mill.map\", 65535, 65535)\n");
    game.New();
    EXPECT_TRUE(game.HasGame());
}

TEST_F(SampleGame, SecondNewGameStartsAfresh) {
    CGame& game = MakeGame();
    game.New();
    CWorld& world = *game.GetWorld();
    ASSERT_TRUE(world.ReadyLoc(L"cellar.map", 0, 0, 0, 0, kArriveRandom, L""));
    ASSERT_NE(world.grid.At(4, 0).loc, nullptr);
    game.SetClock(5000);
    g_groupList.Get().push_back(new CGroup(L"bandits"));
    game.GetQuestLog().Begin(TQuestLogEntry{L"herbs", L"Herbs", L"Bring herbs.", L"herbalist", 0});
    Globals().GetDeclarations().FindVariable(L"BanditsBeaten", false)->SetValue(4);

    game.New();
    EXPECT_EQ(game.GetWorld()->grid.At(4, 0).loc, nullptr);
    EXPECT_EQ(game.GetWorld()->GetLocationCount(), 1u);
    EXPECT_EQ(game.GetCurrentLoc()->GetFileName(), L"mill.map");
    EXPECT_EQ(game.GetClock(), 0u);
    EXPECT_TRUE(g_groupList.Get().empty());
    EXPECT_TRUE(game.GetQuestLog().GetEntries().empty());
    EXPECT_EQ(Global(L"BanditsBeaten"), 0);
    EXPECT_EQ(game.GetHero()->backpack.size(), 4u);
}

// The global declarations outlive the game object: its bound variables keep
// their values, no longer pointing into it.
TEST_F(SampleGame, GlobalsOutliveTheGameObject) {
    CGame& game = MakeGame();
    game.SetChosenItemSet(6);
    game.New();
    EXPECT_TRUE(Globals().GetDeclarations().FindVariable(L"ChosenItemSet", false)->IsBound());
    EXPECT_EQ(NewGameVariables().size(), 2u);
    m_game.reset();
    const CVariable* chosen = Globals().GetDeclarations().FindVariable(L"ChosenItemSet", false);
    ASSERT_NE(chosen, nullptr);
    EXPECT_FALSE(chosen->IsBound());
    EXPECT_EQ(chosen->GetValue(), 6);
    EXPECT_EQ(chosen->GetKind(), CVariable::kKindU32);
    EXPECT_TRUE(NewGameVariables().empty());
}

// A global that the declarations name in any letter case is the one a new
// game binds: set through the game, a script reads the new value, and it is
// declared once.
TEST_F(SampleGame, NewGameBindsTheDeclaredGlobalsInTheirOwnCase) {
    const struct {
        const char* declared;
        std::function<void(CGame&)> set;
    } cases[] = {
        {"ChosenItemSet", [](CGame& game) { game.SetChosenItemSet(12); }},
        {"chosenitemset", [](CGame& game) { game.SetChosenItemSet(12); }},
        {"CHARACTERcreated", [](CGame& game) { game.SetCharacterCreated(12); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.declared);
        WriteScript("_global.u", std::string("var ") + c.declared + " = 5\n");
        CGame& game = MakeGame();
        game.New();
        c.set(game);
        const std::wstring name = platform::FromUtf8(c.declared);
        EXPECT_EQ(Global(name.c_str()), 12);
        const std::vector<CVariable>& declared = Globals().GetDeclarations().GetParseResults().Variables();
        EXPECT_EQ(std::count_if(declared.begin(), declared.end(),
                                [&](const CVariable& variable) { return vek::equals(variable.GetName(), name); }),
                  1);
    }
}

// The location validator's cache reads a location once and keeps it.
TEST_F(SampleGame, LocationCacheReadsEachFileOnce) {
    MakeGame();
    CLocationCache cache;
    CLoc& mill = cache.Get(L"mill.map");
    EXPECT_EQ(mill.GetOwnName(), L"Mill by the river");
    EXPECT_EQ(&cache.Get(L"MILL.map"), &mill);
    EXPECT_TRUE(cache.Holds(L"Mill.Map"));
    cache.Get(L"cellar.map");
    EXPECT_THROW(cache.Get(L"nowhere.map"), vek::CFileException);
    EXPECT_FALSE(cache.Holds(L"nowhere.map"));
    EXPECT_EQ(cache.GetOrder(), (Lines{L"mill.map", L"cellar.map"}));
    cache.Clear();
    EXPECT_FALSE(cache.Holds(L"mill.map"));
    EXPECT_TRUE(cache.GetOrder().empty());
}

} // namespace
