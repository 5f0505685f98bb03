// The special objects the hero uses: the kinds that do nothing, scripted
// objects, and passages to other locations and levels, with the fall down
// the stairs.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Random.h"
#include "script/Script.h"
#include "script/ScriptException.h"
#include "tests/support/GenerationTables.h"
#include "tests/world/Cases.h"
#include "tests/world/GenFixture.h"
#include "tests/world/PlayFixture.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

using worldtest::Lines;

const wchar_t kNoObject[] =
    L"CLoc::ExecuteSpecialObject: Incorrect function argument - CLoc::ExecuteSpecialObject, no special object at "
    L"specified position!";

uint32_t Cell(uint16_t x, uint16_t y) { return (static_cast<uint32_t>(y) << 16) | x; }

// A passage that is no staircase.
constexpr uint16_t kGate = 3;

// The barn at world cell (0, 0), where the hero stands at (3, 3) on the
// object used; the mill ("Mill", key "mill", a passage "gate" at (5, 5), a
// wall at (1, 1)) at (1, 1).
class LocSpecial : public worldtest::PlayFixture {
protected:
    void SetUp() override {
        PlayFixture::SetUp();
        WriteMap(L"mill.map", L"Mill");
        Place(1, 1, L"mill.map", L"mill");
        m_world.LoadLocNames(CWorld::GetLocNamesFileName(L"en"));
        m_game.GetStrings().AddPlaceName(L"TOWER1", L"Tower");
        m_game.GetStrings().AddPlaceName(L"DELVE", L"Delve");
        m_barn = &Grass(0, 0, L"barn");
        Stand(*m_barn, 3, 3);
        m_display->lines.clear();
    }

    // The barn made anew with the hero at (3, 3) on a passage of that
    // appearance, value and text; what the display showed is forgotten.
    void StandOnPassage(uint16_t appearance, uint32_t value, const std::wstring& text) {
        m_barn = &Grass(0, 0, L"barn");
        Stand(*m_barn, 3, 3);
        m_barn->SetSpecialObject(3, 3, kSpecialPassage, appearance, value, text);
        m_display->lines.clear();
    }
    // He uses it; what was thrown, "" when nothing.
    std::wstring UsePassage() {
        return worldtest::ThrownText([&] { m_barn->ExecuteSpecialObject(3, 3); });
    }

    // The key of the location the hero is in.
    std::wstring Here() const {
        const CLoc* loc = m_game.GetCurrentLoc();
        return loc != nullptr && loc->GetWorldCell() != nullptr ? loc->GetWorldCell()->nameKey : L"-";
    }

    CLoc* m_barn = nullptr;
};

// --- Kinds that are no passage -----------------------------------------------------------------------

TEST_F(LocSpecial, ObjectsThatDoNothingAndCellsWithout) {
    EXPECT_EQ(worldtest::ThrownText([&] { m_barn->ExecuteSpecialObject(6, 6); }), kNoObject);
    EXPECT_EQ(worldtest::ThrownText([&] { m_barn->ExecuteSpecialObject(20, 0); }), kNoObject);
    m_barn->SetSpecialObject(6, 6, kSpecialText, 1, 0, L"note");
    m_barn->GetSpecialObjects().At(6, 6).active = 0;
    EXPECT_EQ(worldtest::ThrownText([&] { m_barn->ExecuteSpecialObject(6, 6); }), kNoObject);
    const uint16_t kinds[] = {kSpecialParameter, kSpecialText,        kSpecialTransformer,
                              kSpecialSiteExit,  kSpecialGrowingSpot, 9};
    for (const uint16_t kind : kinds) {
        m_barn->SetSpecialObject(6, 6, kind, 1, 0, L"mill.map|a|b");
        m_barn->ExecuteSpecialObject(6, 6);
        EXPECT_TRUE(m_display->lines.empty()) << kind;
        EXPECT_EQ(m_game.GetCurrentLoc(), m_barn) << kind;
    }
}

TEST_F(LocSpecial, AScriptedObjectRunsItsScript) {
    std::istringstream input;
    std::wostringstream output;
    CStreamScriptConsole console{input, output};
    SetDefaultScriptConsole(&console);
    WriteText("Data/Scripts/lever.u", "var pulls = 1\nprint \"pulled \"\nprint pulls\n");
    WriteText("Data/Scripts/broken.u", "function Pull( {\n");
    m_barn->SetSpecialObject(6, 6, kSpecialScripted, 1, 0, L"lever.u");
    m_barn->ExecuteSpecialObject(6, 6);
    m_barn->ExecuteSpecialObject(6, 6);
    // A script of its own each time, from its first line.
    EXPECT_EQ(output.str(), L"pulled 1pulled 1");
    // A script that does not parse reaches the caller, and goes.
    m_barn->SetSpecialObject(6, 6, kSpecialScripted, 1, 0, L"broken.u");
    EXPECT_THROW(m_barn->ExecuteSpecialObject(6, 6), CScriptException);
    m_barn->SetSpecialObject(6, 6, kSpecialScripted, 1, 0, L"missing.u");
    EXPECT_THROW(m_barn->ExecuteSpecialObject(6, 6), vek::CFileException);
    SetDefaultScriptConsole(nullptr);
}

// --- Passages ------------------------------------------------------------------------------------------

TEST_F(LocSpecial, APassageLeadsWhereItsTextAndValueSay) {
    // A fixed level of a tower at (3, 0), a random one at (2, 0), a dungeon
    // site's entrance level at (0, 3). Unless a row says where he goes, the
    // hero stays in the barn at (3, 3).
    WriteMap(L"tower1.map", L"Tower");
    WriteMap(L"DungeonSite1.map", L"Delve");
    const struct {
        const char* what;
        uint16_t appearance = kGate;
        std::wstring text = L"";
        uint32_t value = 0;
        std::wstring error = L"";
        std::wstring here = L"barn";
        vek::TPoint cell = {3, 3};
        Lines logged = {};
        uint16_t levelCount = 0;
    } cases[] = {
        {.what = "a location file, at a cell",
         .text = L"mill.map|door|gate",
         .value = Cell(4, 7),
         .here = L"mill",
         .cell = {4, 7},
         .logged = {L"Up: Mill."}},
        {.what = "a name key, at the arrival passage",
         .text = L"mill|door|gate",
         .value = 0xFFFFFFFF,
         .here = L"mill",
         .cell = {5, 5},
         .logged = {L"Up: Mill."}},
        {.what = "half a cell is no cell",
         .text = L"mill|door|gate",
         .value = 0x0007FFFF,
         .here = L"mill",
         .cell = {5, 5},
         .logged = {L"Up: Mill."}},
        {.what = "the cell's other half",
         .text = L"mill|door|gate",
         .value = 0xFFFF0004,
         .here = L"mill",
         .cell = {5, 5},
         .logged = {L"Up: Mill."}},
        // Two fields: no arrival passage, so no cell is named at all and
        // the world's cell (0xFFFF, 0xFFFF) refuses him.
        {.what = "two fields and no cell", .text = L"mill|door", .value = 0xFFFFFFFF, .logged = {L"Bump."}},
        {.what = "stairs down",
         .appearance = kStairsDown,
         .text = L"mill.map",
         .value = Cell(4, 7),
         .here = L"mill",
         .cell = {4, 7},
         .logged = {L"Down: Mill."}},
        {.what = "old stairs down",
         .appearance = kOldStairsDown,
         .text = L"mill.map",
         .value = Cell(4, 7),
         .here = L"mill",
         .cell = {4, 7},
         .logged = {L"Down: Mill."}},
        {.what = "stairs up",
         .appearance = kStairsUp,
         .text = L"mill.map",
         .value = Cell(4, 7),
         .here = L"mill",
         .cell = {4, 7},
         .logged = {L"Up: Mill."}},
        {.what = "a cell he cannot stand on", .text = L"mill.map", .value = Cell(1, 1), .logged = {L"Bump."}},
        // He does not come back where he stands.
        {.what = "the cell he stands on", .text = L"barn.map", .value = Cell(3, 3), .logged = {L"Bump."}},
        {.what = "no target",
         .text = L"|door|gate",
         .value = Cell(4, 7),
         .error = L"CLoc::ExecuteSpecialObject: Target location not set."},
        {.what = "no text", .value = Cell(4, 7), .error = L"CLoc::ExecuteSpecialObject: Target location not set."},
        {.what = "a location the world lacks",
         .text = L"moor.map|door",
         .value = Cell(4, 7),
         .error = L"CWorld::ReadyLoc: Location not found: moor.map"},
        {.what = "a tower level the world lacks",
         .text = L"tower7|door",
         .value = Cell(4, 7),
         .error = L"CLoc::ExecuteSpecialObject: Location not found: tower7"},
        {.what = "a fixed tower level without a cell",
         .text = L"tower1|door",
         .value = 0xFFFFFFFF,
         .error = L"CLoc::ExecuteSpecialObject: Portal target to non-random location not set."},
        {.what = "a fixed tower level at a cell",
         .text = L"TOWER1|door",
         .value = Cell(4, 7),
         .here = L"tower1",
         .cell = {4, 7},
         .logged = {L"Up: Tower."}},
        {.what = "a site the world lacks",
         .text = L"DungeonSite9.map|door",
         .value = Cell(4, 7),
         .error = L"CLoc::ExecuteSpecialObject: Location not found: DungeonSite9.map"},
        {.what = "a dungeon site",
         .appearance = kStairsUp,
         .text = L"DungeonSite1.map|hatch",
         .value = Cell(4, 7),
         .here = L"delve",
         .cell = {4, 7},
         .logged = {L"Up: Delve."},
         .levelCount = 4},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        m_world.Init();
        Place(1, 1, L"mill.map", L"mill");
        Place(3, 0, L"tower1.map", L"tower1");
        Place(0, 3, L"DungeonSite1.map", L"delve");
        m_world.grid.At(0, 3).values16[0] = 4;
        m_game.SetLevelCount(0);
        StandOnPassage(c.appearance, c.value, c.text);
        EXPECT_EQ(UsePassage(), c.error);
        EXPECT_EQ(Here(), c.here);
        EXPECT_EQ(m_hero.x, static_cast<uint32_t>(c.cell.x));
        EXPECT_EQ(m_hero.y, static_cast<uint32_t>(c.cell.y));
        EXPECT_EQ(m_display->Logged(), c.logged);
        EXPECT_EQ(m_game.GetLevelCount(), c.levelCount);
        // The game waited, and waits no more, however the way ended.
        ASSERT_GE(m_display->lines.size(), 2u);
        EXPECT_EQ(m_display->lines.front(), L"mode 3");
        EXPECT_EQ(m_display->lines.back(), L"mode 1");
        if (c.here != L"barn") {
            EXPECT_EQ(m_barn->GetCreatureIds().At(3, 3), kNoCreature);
        }
    });
}

TEST_F(LocSpecial, TheWaitingModeAndAFrame) {
    const struct {
        const char* what;
        uint32_t state;
        bool window;
        Lines lines;
    } cases[] = {
        {"in the game", kStateGame, false, {L"mode 3", L"log Up: Mill.", L"mode 1"}},
        {"in the game, with a window", kStateGame, true, {L"mode 3", L"draw", L"log Up: Mill.", L"mode 1"}},
        {"in the editor", kStateEditor, false, {L"mode 1", L"log Up: Mill.", L"mode 1"}},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        m_game.SetState(c.state);
        m_display->window = c.window;
        StandOnPassage(kGate, Cell(4, 7), L"mill.map");
        EXPECT_EQ(UsePassage(), L"");
        EXPECT_EQ(m_display->lines, c.lines);
    });
    m_display->window = false;
    m_game.SetState(kStateGame);
}

// A hero of dexterity below 10 may fall going down: when draw mod (n + 1)
// <= 1, n = 1 + 2999 / 99 x (level - 1) truncated (243 at level 9, 1 at
// level 1). Then a leg is hurt (2 + draw mod 2) and so is he (1 + draw mod
// 6 hit points).
TEST_F(LocSpecial, FallingDownTheStairs) {
    const struct {
        const char* what;
        uint32_t dexterity;
        uint16_t appearance = kStairsDown;
        std::vector<int32_t> draws = {};
        bool falls = false;
        uint32_t limb = 0;
        uint16_t hitPoints = 50;
    } cases[] = {
        {.what = "sure-footed", .dexterity = 10},
        {.what = "falls on his left leg",
         .dexterity = 9,
         .draws = {1, 1, 4},
         .falls = true,
         .limb = CHero::kLeftLeg,
         .hitPoints = 45},
        {.what = "245 mod 244 = 1: falls",
         .dexterity = 9,
         .draws = {245, 0, 0},
         .falls = true,
         .limb = CHero::kRightLeg,
         .hitPoints = 49},
        {.what = "2 does not fall", .dexterity = 9, .draws = {2}},
        {.what = "243 does not fall", .dexterity = 9, .draws = {243}},
        {.what = "n = 1: every draw falls",
         .dexterity = 1,
         .draws = {7, 2, 5},
         .falls = true,
         .limb = CHero::kRightLeg,
         .hitPoints = 44},
        {.what = "no fall going up", .dexterity = 1, .appearance = kStairsUp},
        {.what = "no fall through a gate", .dexterity = 1, .appearance = kGate},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        StandOnPassage(c.appearance, Cell(4, 7), L"mill.map");
        m_hero.attributePoints[CHero::kDexterity] = worldtest::AttributePoints(c.dexterity);
        m_hero.hitPoints = 50;
        m_hero.limbs = {};
        m_draws.Set(c.draws);
        EXPECT_EQ(UsePassage(), L"");
        EXPECT_EQ(m_draws.Drawn(), c.draws.size());
        const Lines logged = m_display->Logged();
        ASSERT_FALSE(logged.empty());
        EXPECT_EQ(logged.back() == L"Falls.", c.falls);
        EXPECT_EQ(m_hero.hitPoints, c.hitPoints);
        for (uint32_t limb = 0; limb < CHero::kLimbCount; ++limb) {
            EXPECT_EQ(m_hero.limbs[limb], c.falls && limb == c.limb ? CHero::kLimbWounded : CHero::kLimbSound)
                << "limb " << limb;
        }
    });
}

// --- Levels of a location made of levels ---------------------------------------------------------------

// The delve at world cell (2, 2): three levels under the mill's cell (4, 7).
class LocLevels : public LocSpecial {
protected:
    void SetUp() override {
        LocSpecial::SetUp();
        testsupport::FillGenerationTables(m_game);
        // No creature groups: none stands by the stairs to follow the hero.
        m_game.GetGroupTable().clear();
        m_rand.Seed(kRandomSeed);
        vek::SetRandomGenerator(&m_rand);
        TWorldLocInfo& cell = m_world.grid.At(2, 2);
        cell.nameKey = L"delve";
        cell.randomKind = kWorldDungeonSite;
        cell.towerFlag = 1;
        cell.terrainType = 4;
        cell.values16[0] = 3;
        cell.values32[0] = Cell(4, 7);
        cell.text5 = L"mill";
        m_game.SetLevelCount(3);
        m_game.SetCurrentLevel(0);
        m_world.LoadLocAt(1, 1);
        m_delve = &m_world.MakeLocAt(2, 2);
        TSiteLevel level;
        level.width = 20;
        level.height = 15;
        level.levelCount = 3;
        level.siteLocation = L"mill";
        level.siteCell = {4, 7};
        const vek::TPoint up = m_delve->GenerateLocForSite(level);
        m_delve->SetFlags(m_delve->GetFlags() | kLocLayoutPresent);
        TScriptHandle script(new CScript());
        script->LoadText(
            L"var entered = 0\nvar left = 0\nfunction OnEnter() {\nincr entered\n}\n"
            L"function OnExit() {\nincr left\n}\n",
            L"delve.u");
        script->Parse();
        m_delve->SetScript(std::move(script));
        Stand(*m_delve, static_cast<uint16_t>(up.x), static_cast<uint16_t>(up.y));
    }

    // Where the passage of that appearance is.
    vek::TPoint Find(uint16_t appearance) const {
        const std::optional<vek::TPoint> cell = worldtest::PassageOf(*m_delve, appearance);
        EXPECT_TRUE(cell) << "no passage of appearance " << appearance;
        return cell.value_or(vek::TPoint{});
    }
    uint16_t Under() const {
        return m_delve->GetSpecialObjects()
            .At(static_cast<uint16_t>(m_hero.x), static_cast<uint16_t>(m_hero.y))
            .appearance;
    }
    int64_t Entered() const { return m_delve->GetScript()->FindVariable(L"entered", false)->GetValue(); }
    int64_t Left() const { return m_delve->GetScript()->FindVariable(L"left", false)->GetValue(); }

    worldtest::CSeedFromTest m_seed{2024};
    vek::CStdRand m_rand;
    CLoc* m_delve = nullptr;
};

TEST_F(LocLevels, DownAndUpTheStairsBetweenLevels) {
    CScript* script = m_delve->GetScript();
    // Down from level 0: level 1 is made in its place, the hero on its
    // stairs up.
    const vek::TPoint down = Find(kStairsDown);
    m_delve->SwapMonsters({static_cast<int32_t>(m_hero.x), static_cast<int32_t>(m_hero.y)}, down);
    m_game.SetClock(7000);
    m_delve->ExecuteSpecialObject(static_cast<uint16_t>(down.x), static_cast<uint16_t>(down.y));
    EXPECT_EQ(m_game.GetCurrentLevel(), 1);
    EXPECT_EQ(m_game.GetCurrentLoc(), m_delve);
    // The level he left is left: its exit time is now, nothing has passed.
    EXPECT_EQ(m_delve->GetExitTime(), 7000u);
    EXPECT_EQ(m_game.GetElapsedTime(), 0u);
    EXPECT_EQ(Left(), 1);
    EXPECT_EQ(m_delve->GetOwnName(), L"Delve 2");
    EXPECT_EQ(Under(), kStairsUp);
    // The messages name the location by its world cell.
    EXPECT_EQ(m_display->Logged(), Lines{L"Down: Delve."});
    // The location keeps its script.
    EXPECT_EQ(m_delve->GetScript(), script);
    EXPECT_EQ(Entered(), 1);
    // Level 1 is not the last: it has stairs down.
    Find(kStairsDown);

    // Up again: level 0 anew, the hero on its stairs down.
    m_display->lines.clear();
    m_delve->ExecuteSpecialObject(static_cast<uint16_t>(m_hero.x), static_cast<uint16_t>(m_hero.y));
    EXPECT_EQ(m_game.GetCurrentLevel(), 0);
    EXPECT_EQ(m_delve->GetOwnName(), L"Delve 1");
    EXPECT_EQ(Under(), kStairsDown);
    EXPECT_EQ(m_display->Logged(), Lines{L"Up: Delve."});
    EXPECT_EQ(Entered(), 2);
    EXPECT_EQ(Left(), 2);

    // Up from level 0: out to the mill's cell under which the levels lie.
    m_display->lines.clear();
    const vek::TPoint up = Find(kStairsUp);
    m_delve->SwapMonsters({static_cast<int32_t>(m_hero.x), static_cast<int32_t>(m_hero.y)}, up);
    m_delve->ExecuteSpecialObject(static_cast<uint16_t>(up.x), static_cast<uint16_t>(up.y));
    EXPECT_EQ(Here(), L"mill");
    EXPECT_EQ(m_hero.x, 4u);
    EXPECT_EQ(m_hero.y, 7u);
    EXPECT_EQ(m_game.GetCurrentLevel(), 0);
    EXPECT_EQ(m_display->Logged(), Lines{L"Up: Mill."});
    EXPECT_EQ(Left(), 3);
    EXPECT_EQ(Entered(), 2);
    EXPECT_EQ(m_delve->GetCreatureIds().At(static_cast<uint16_t>(up.x), static_cast<uint16_t>(up.y)), kNoCreature);
}

TEST_F(LocLevels, TheLastLevelHasNoStairsDown) {
    m_game.SetCurrentLevel(1);
    const vek::TPoint down = Find(kStairsDown);
    m_delve->SwapMonsters({static_cast<int32_t>(m_hero.x), static_cast<int32_t>(m_hero.y)}, down);
    m_delve->ExecuteSpecialObject(static_cast<uint16_t>(down.x), static_cast<uint16_t>(down.y));
    EXPECT_EQ(m_game.GetCurrentLevel(), 2);
    EXPECT_EQ(worldtest::SpecialCells(*m_delve, kSpecialPassage).size(), 1u);
    EXPECT_EQ(Under(), kStairsUp);
}

} // namespace
