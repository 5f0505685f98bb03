// A journey through the sample world as the game finds it in its folder:
// into the mill, down to its cellar, through the hatch into the crypt, down
// a level and up again, and back out to the mill, the doors opened on the
// way. Every location's script and the global "OnEnterLoc" speak in order.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "VEKLib/Config.h"
#include "VEKLib/Random.h"
#include "data/DataArchive.h"
#include "platform/Utf8.h"
#include "rules/Hero.h"
#include "script/Script.h"
#include "tests/world/GameFolder.h"
#include "tests/world/GenFixture.h"
#include "tests/world/PlayFixture.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

using worldtest::Lines;

class SampleJourney : public worldtest::GameFolder {
protected:
    void SetUp() override {
        GameFolder::SetUp();
        SetArchiveInUse(false);
        m_game.GetConfig().SetFileName(L"Data/game.ini");
        m_game.GetConfig().Load();
        m_game.GetConfig().SetValue(L"lang", vek::CValue(L"en"));
        m_game.GetTableSet(kScriptTables).Load(L"en", false);
        m_game.GetStrings().LoadFile(L"Data/strings.en.txt");
        auto display = std::make_unique<worldtest::CRecordingDisplay>();
        m_display = display.get();
        m_game.SetDisplay(std::move(display));
        m_game.SetWorld(&m_world);
        m_world.Load(m_game.GetConfig().FindEntry(L"world").GetString());
        m_hero.hitPoints = 30;
        m_hero.attributePoints[CHero::kDexterity] = worldtest::AttributePoints(12);
        m_game.SetHero(&m_hero);
        m_random.Seed(kRandomSeed);
        vek::SetRandomGenerator(&m_random);
        m_global.LoadFile(L"Data/Scripts/_global.u");
        m_global.Parse();
        m_global.ExecuteScript(kScriptTypeDeclarations);
        CScript::SetGlobalScript(&m_global);
    }
    void TearDown() override {
        CScript::SetGlobalScript(nullptr);
        vek::SetRandomGenerator(nullptr);
        m_game.SetCurrentLoc(nullptr);
        m_game.SetHero(nullptr);
        m_game.SetWorld(nullptr);
        m_game.SetDisplay(nullptr);
        GameFolder::TearDown();
    }

    CLoc& Here() const { return *m_game.GetCurrentLoc(); }
    vek::TPoint HeroCell() const { return {static_cast<int32_t>(m_hero.x), static_cast<int32_t>(m_hero.y)}; }
    std::wstring HereKey() const { return Here().GetWorldCell()->nameKey; }
    int64_t Global(const wchar_t* name) { return m_global.FindVariable(name, false)->GetValue(); }

    // Step by step along a shortest way that the creatures leave free.
    void WalkTo(uint16_t x, uint16_t y) {
        CLoc& loc = Here();
        loc.InvalidatePassability();
        TPath path;
        ASSERT_TRUE(loc.FindWay(0, 0, {}, path, false, false, static_cast<int32_t>(m_hero.x),
                                static_cast<int32_t>(m_hero.y), x, y))
            << platform::ToUtf8(loc.GetName()) << " to " << x << "," << y;
        path.push_front({x, y});
        for (auto step = path.rbegin(); step != path.rend(); ++step) {
            if (*step == HeroCell()) {
                continue;
            }
            ASSERT_LE(std::abs(step->x - HeroCell().x), 1);
            ASSERT_LE(std::abs(step->y - HeroCell().y), 1);
            loc.SwapMonsters(HeroCell(), *step);
        }
        ASSERT_EQ(HeroCell(), (vek::TPoint{x, y}));
    }
    // Uses what lies on or beside him.
    void Use(uint16_t x, uint16_t y) { Here().ExecuteSpecialObject(x, y); }
    void UseUnderfoot() { Use(static_cast<uint16_t>(m_hero.x), static_cast<uint16_t>(m_hero.y)); }

    // The passage of that appearance in the current location.
    vek::TPoint FindPassage(uint16_t appearance) const {
        const std::optional<vek::TPoint> cell = worldtest::PassageOf(Here(), appearance);
        EXPECT_TRUE(cell) << "no passage of appearance " << appearance;
        return cell.value_or(vek::TPoint{});
    }
    uint16_t Underfoot() const {
        return Here()
            .GetSpecialObjects()
            .At(static_cast<uint16_t>(m_hero.x), static_cast<uint16_t>(m_hero.y))
            .appearance;
    }
    // The lines logged since the last look.
    Lines Logged() {
        Lines logged = m_display->Logged();
        m_display->lines.clear();
        return logged;
    }

    CWorld m_world;
    CHero m_hero;
    CScript m_global;
    vek::CStdRand m_random;
    worldtest::CSeedFromTest m_seed{7};
    worldtest::CRecordingDisplay* m_display = nullptr;
};

const wchar_t kMillInit[] = L"The millwheel creaks in the current of the ford.";
const wchar_t kMillEnter[] = L"The smell of flour and river mud greets you.";
const wchar_t kMillExit[] = L"The creak of the millwheel fades behind you.";
const wchar_t kCellarInit[] = L"Somewhere below, water drips on stone.";
const wchar_t kCellarEnter[] = L"Damp air and the squeak of rats fill the cellar.";
const wchar_t kCellarExit[] = L"You leave the damp of the cellar.";
const wchar_t kCryptInit[] = L"Cold air rises through the hatch.";
const wchar_t kCryptEnter[] = L"The crypt swallows the light around you.";
const wchar_t kCryptExit[] = L"You leave the crypt and its cold behind.";
const wchar_t kDoorOpens[] = L"The door opens.";

TEST_F(SampleJourney, IntoTheCryptAndBackOut) {
    // From the world into the mill, by the river.
    ASSERT_TRUE(m_world.ReadyLoc(L"mill", 0, 0, 3, 7, kArriveFromWorld, L""));
    EXPECT_EQ(HereKey(), L"mill");
    EXPECT_EQ(Logged(), (Lines{kMillInit, kMillEnter}));
    EXPECT_EQ(Global(L"LocationsEntered"), 1);
    EXPECT_EQ(Global(L"LocWorldX"), 1);
    EXPECT_EQ(Global(L"LocWorldY"), 1);

    // Through the house's door and down its stairs into the cellar.
    WalkTo(17, 4);
    Use(17, 5);
    WalkTo(17, 7);
    UseUnderfoot();
    EXPECT_EQ(HereKey(), L"cellar");
    EXPECT_EQ(HeroCell(), (vek::TPoint{2, 2}));
    EXPECT_EQ(Logged(),
              (Lines{kDoorOpens, kCellarInit, kMillExit, kCellarEnter, L"You go down the stairs to Mill Cellar."}));
    EXPECT_EQ(Global(L"LocationsEntered"), 2);
    EXPECT_EQ(Global(L"LocWorldX"), 4);

    // Through the cellar's door to the hatch, down into the crypt: a
    // dungeon of three levels whose first is its hand-made map.
    WalkTo(10, 3);
    Use(11, 3);
    WalkTo(17, 2);
    UseUnderfoot();
    CLoc& crypt = Here();
    EXPECT_EQ(HereKey(), L"crypt");
    EXPECT_EQ(crypt.GetOwnName(), L"The Old Crypt");
    EXPECT_EQ(HeroCell(), (vek::TPoint{2, 7}));
    EXPECT_EQ(m_game.GetLevelCount(), 3);
    EXPECT_EQ(m_game.GetCurrentLevel(), 0);
    EXPECT_EQ(Logged(),
              (Lines{kDoorOpens, kCryptInit, kCellarExit, kCryptEnter, L"You go down the stairs to The Old Crypt."}));
    EXPECT_EQ(Global(L"LocationsEntered"), 3);
    EXPECT_EQ(Global(L"LocWorldX"), 5);
    EXPECT_EQ(Global(L"LocWorldY"), 0);

    // Through its door and down the stairs: level 1 is made in its place.
    WalkTo(6, 7);
    Use(7, 7);
    WalkTo(17, 7);
    UseUnderfoot();
    EXPECT_EQ(&Here(), &crypt);
    EXPECT_EQ(m_game.GetCurrentLevel(), 1);
    EXPECT_EQ(crypt.GetOwnName(), L"Forgotten Delve 2");
    EXPECT_EQ(Underfoot(), kStairsUp);
    FindPassage(kStairsDown); // not the last level
    // The level left is left: its leave event runs before the new one's
    // enter event.
    EXPECT_EQ(Logged(), (Lines{kDoorOpens, kCryptExit, kCryptEnter, L"You go down the stairs to The Old Crypt."}));
    EXPECT_EQ(Global(L"LocationsEntered"), 4);

    // Up again: level 0 made anew, its way up leading to the hatch.
    UseUnderfoot();
    EXPECT_EQ(m_game.GetCurrentLevel(), 0);
    EXPECT_EQ(crypt.GetOwnName(), L"Forgotten Delve 1");
    EXPECT_EQ(Underfoot(), kStairsDown);
    EXPECT_EQ(Logged(), (Lines{kCryptExit, kCryptEnter, L"You climb the stairs to The Old Crypt."}));
    const vek::TPoint up = FindPassage(kStairsUp);
    const TSpecialObject& hatch = m_world.grid.At(4, 0).loc->GetSpecialObjects().At(17, 2);
    EXPECT_EQ(hatch.value, (static_cast<uint32_t>(up.y) << 16) | static_cast<uint32_t>(up.x));

    // Out through the stairs up, to the hatch in the cellar.
    crypt.SwapMonsters(HeroCell(), up);
    UseUnderfoot();
    EXPECT_EQ(HereKey(), L"cellar");
    EXPECT_EQ(HeroCell(), (vek::TPoint{17, 2}));
    EXPECT_EQ(Logged(), (Lines{kCryptExit, kCellarEnter, L"You climb the stairs to Mill Cellar."}));
    EXPECT_EQ(crypt.GetCreatureIds().At(static_cast<uint16_t>(up.x), static_cast<uint16_t>(up.y)), kNoCreature);

    // And up to the mill, leaving the cellar.
    WalkTo(2, 2);
    UseUnderfoot();
    EXPECT_EQ(HereKey(), L"mill");
    EXPECT_EQ(HeroCell(), (vek::TPoint{17, 7}));
    EXPECT_EQ(Logged(), (Lines{kCellarExit, kMillEnter, L"You climb the stairs to Mill by the River."}));
    EXPECT_EQ(Global(L"LocationsEntered"), 7);
    EXPECT_EQ(m_hero.visitedLocations.size(), 7u);
    EXPECT_EQ(m_hero.hitPoints, 30);
}

} // namespace
