// Preparing a location and the hero coming into it: the kinds of cell, the
// random cell, the arrival modes, the creatures that follow him, what entering
// records, tower levels built for him, and scripts back after a saved game.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Random.h"
#include "VEKLib/Stream.h"
#include "platform/Utf8.h"
#include "script/Script.h"
#include "tests/support/GenerationTables.h"
#include "tests/world/Cases.h"
#include "tests/world/GenFixture.h"
#include "tests/world/PlayFixture.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

using worldtest::AddMonster;
using worldtest::AddNpc;
using worldtest::kRat;
using worldtest::kTroll;
using worldtest::Lines;

class LocEnter : public worldtest::PlayFixture {
protected:
    // The hero's arrival from the location (its first world cell named).
    TArrival From(CLoc* previous) const {
        TArrival arrival;
        arrival.previous = previous;
        if (previous != nullptr && previous->GetWorldCell() != nullptr) {
            arrival.previousX = previous->GetWorldCell()->worldX;
            arrival.previousY = previous->GetWorldCell()->worldY;
        }
        return arrival;
    }

    vek::CStdRand m_rand;
};

// --- Preparing ---------------------------------------------------------------------------------

TEST_F(LocEnter, PreloadByTheKindOfCell) {
    m_rand.Seed(kRandomSeed);
    vek::SetRandomGenerator(&m_rand);
    m_world.Resize(4, 5);
    WriteMap(L"mill.map", L"Mill");
    const struct {
        const char* what;
        uint16_t x, y;
        std::wstring file;
        uint8_t randomKind;
        bool present; // the layout is there before
        bool randomAllowed;
        std::wstring error;
    } cases[] = {
        {"a layout present is kept", 0, 0, L"missing.map", kWorldFixed, true, false, L""},
        {"a fixed cell reads its file", 1, 0, L"mill.map", kWorldFixed, false, false, L""},
        {"a random cell is generated", 2, 0, L"", kWorldRandom, false, true, L""},
        {"a random cell when random ones are not allowed", 3, 0, L"", kWorldRandom, false, false,
         L"CLoc::Preload: Preloading random location 'Pine hills' was not allowed."},
        {"a fixed cell without a file", 3, 4, L"", kWorldFixed, false, true,
         L"CLoc::Preload: File name not specified for non-random location at (3, 4)."},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        TWorldLocInfo& cell = m_world.grid.At(c.x, c.y);
        cell.fileName = c.file;
        cell.randomKind = c.randomKind;
        cell.name = L"Pine hills";
        CLoc& loc = m_world.MakeLocAt(c.x, c.y);
        if (c.present) {
            loc.Init(L"Kept", 2, 2, 0, kLocLayoutPresent);
        }
        // A failure leaves the script it had.
        TScriptHandle old(new CScript());
        CScript* before = old.get();
        loc.SetScript(std::move(old));
        EXPECT_EQ(worldtest::ThrownText([&] { loc.Preload(c.randomAllowed, true); }), c.error);
        if (c.error.empty()) {
            EXPECT_NE(loc.GetFlags() & kLocLayoutPresent, 0);
            // Read again (no script file for the key): none, unless the
            // layout was there and nothing was done.
            EXPECT_EQ(loc.GetScript(), c.present ? before : nullptr);
        } else {
            EXPECT_EQ(loc.GetFlags() & kLocLayoutPresent, 0);
            EXPECT_EQ(loc.GetScript(), before);
        }
    });
    EXPECT_EQ(m_world.MakeLocAt(0, 0).GetOwnName(), L"Kept");
    EXPECT_EQ(m_world.MakeLocAt(1, 0).GetFileName(), L"mill.map");
    EXPECT_NE(m_world.MakeLocAt(2, 0).GetFlags() & kLocWideReveal, 0);
}

// --- The hero on a random cell -----------------------------------------------------------------------

// Seed 56576 draws 20952 and 1015 first. Columns 1 to min(18, width - 1) and
// rows 1 to min(13, height - 1) are drawn: x = 20952 mod columns + 1, y =
// 1015 mod rows + 1.
TEST_F(LocEnter, TheRandomCellIsDrawnWithinTheLocation) {
    const struct {
        uint16_t width, height;
        std::optional<vek::TPoint> cell;
    } cases[] = {
        {21, 16, vek::TPoint{1, 2}},                              // larger: still off the border of the first screen
        {20, 15, vek::TPoint{1, 2}},                              // 20952 mod 18, 1015 mod 13 = 1
        {19, 14, vek::TPoint{1, 2}}, {18, 13, vek::TPoint{9, 8}}, // 20952 mod 17 = 8, 1015 mod 12 = 7
        {3, 3, vek::TPoint{1, 2}},                                // mod 2: 0 and 1
        {2, 2, vek::TPoint{1, 1}},                                // one cell to draw
        {1, 5, std::nullopt},                                     // no column from 1 on
        {5, 1, std::nullopt},                                     // no row from 1 on
    };
    for (const auto& c : cases) {
        m_rand.Seed(kRandomSeed);
        vek::SetRandomGenerator(&m_rand);
        CLoc loc;
        loc.Init(L"field", c.width, c.height, 0, 0);
        loc.GetTerrain().Fill(0);
        if (!c.cell) {
            EXPECT_THROW(loc.PlaceHeroRandomly(), vek::CException) << c.width << "x" << c.height;
            continue;
        }
        loc.PlaceHeroRandomly();
        EXPECT_EQ(m_hero.x, static_cast<uint32_t>(c.cell->x)) << c.width << "x" << c.height;
        EXPECT_EQ(m_hero.y, static_cast<uint32_t>(c.cell->y)) << c.width << "x" << c.height;
    }
}

// --- Arrival modes -------------------------------------------------------------------------------------

// West at world cell (0, 0), east at (1, 0), both 20 x 15 cells of grass.
TEST_F(LocEnter, CrossingTheBorderStepsIntoTheNeighbour) {
    const struct {
        const char* what;
        bool fromWest;
        uint16_t x, y;        // the hero's cell where he comes from
        int16_t headX, headY; // his heading
        void (*block)(CLoc&); // what stands in the neighbour
        bool entered;
        uint16_t toX, toY; // where he stands afterwards
        std::wstring error;
    } cases[] = {
        {"right off column 19", true, 19, 7, 1, 0, nullptr, true, 0, 7, L""},
        {"left off column 0", false, 0, 7, -1, 0, nullptr, true, 19, 7, L""},
        {"down and right", true, 19, 7, 1, 1, nullptr, true, 0, 8, L""},
        {"up and right", true, 19, 7, 1, -1, nullptr, true, 0, 6, L""},
        {"up and left is refused", false, 0, 7, -1, -1, nullptr, false, 0, 7,
         L"CLoc::Enter: This should never happen... (both iHeadX and iHeadY are negative)"},
        {"no heading is refused", true, 19, 7, 0, 0, nullptr, false, 19, 7,
         L"CLoc::Enter: This should never happen... (both iHeadX and iHeadY are negative)"},
        {"beyond the bottom row", true, 19, 14, 1, 1, nullptr, false, 19, 14,
         L"CLoc::Enter: Hero coordinates (0,15) exceed location size (20x15). The author should receive a mighty "
         L"kick for this error!"},
        {"onto a creature", true, 19, 7, 1, 0, [](CLoc& l) { AddMonster(l, kRat, 0, 7); }, false, 19, 7, L""},
        // Over the border only a cell without anybody will do.
        {"onto a cell marked with the hero", true, 19, 7, 1, 0,
         [](CLoc& l) { l.GetCreatureIds().At(0, 7) = kHeroCell; }, false, 19, 7, L""},
        {"onto a wall", true, 19, 7, 1, 0, [](CLoc& l) { l.GetTerrain().At(0, 7) = 1; }, false, 19, 7, L""},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        m_world.Init();
        CLoc& west = Grass(0, 0, L"west");
        CLoc& east = Grass(1, 0, L"east");
        CLoc& from = c.fromWest ? west : east;
        CLoc& to = c.fromWest ? east : west;
        if (c.block != nullptr) {
            c.block(to);
        }
        Stand(from, c.x, c.y);
        m_display->lines.clear();
        bool entered = false;
        EXPECT_EQ(worldtest::ThrownText([&] {
                      entered = to.Enter(static_cast<uint16_t>(c.headX), static_cast<uint16_t>(c.headY),
                                         kArriveCrossing, From(&from));
                  }),
                  c.error);
        EXPECT_EQ(entered, c.entered);
        EXPECT_EQ(m_game.GetCurrentLoc(), c.entered ? &to : &from);
        EXPECT_EQ(m_hero.x, c.toX);
        EXPECT_EQ(m_hero.y, c.toY);
        EXPECT_EQ(from.GetCreatureIds().At(c.x, c.y), c.entered ? kNoCreature : kHeroCell);
        if (c.entered) {
            EXPECT_EQ(to.GetCreatureIds().At(c.toX, c.toY), kHeroCell);
        }
        const bool bumped = c.error.empty() && !c.entered;
        EXPECT_EQ(m_display->Logged(), bumped ? Lines{L"Bump."} : Lines{});
    });
}

TEST_F(LocEnter, EntryCellsFromTheWorldAndFromPassages) {
    const struct {
        const char* what;
        uint8_t mode;
        uint16_t x, y;
        void (*prepare)(CLoc& mill);
        bool entered;
    } cases[] = {
        {"a free cell from the world", kArriveFromWorld, 4, 4, nullptr, true},
        {"a free cell through a passage", kArriveFromObject, 4, 4, nullptr, true},
        {"a cell still marked with the hero", kArriveFromObject, 4, 4,
         [](CLoc& l) { l.GetCreatureIds().At(4, 4) = kHeroCell; }, true},
        {"a creature's cell", kArriveFromWorld, 4, 4, [](CLoc& l) { AddMonster(l, kRat, 4, 4); }, false},
        {"a wall", kArriveFromObject, 1, 1, nullptr, false},
        {"the last column", kArriveFromWorld, 19, 14, nullptr, true},
        {"beyond the last column", kArriveFromWorld, 20, 14, nullptr, false},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        m_world.Init();
        CLoc& barn = Grass(0, 0, L"barn");
        CLoc& mill = Grass(1, 0, L"mill");
        mill.GetTerrain().At(1, 1) = 1;
        if (c.prepare != nullptr) {
            c.prepare(mill);
        }
        Stand(barn, 3, 3);
        m_display->lines.clear();
        const bool entered = mill.Enter(c.x, c.y, c.mode, From(&barn));
        EXPECT_EQ(entered, c.entered);
        if (!c.entered) {
            EXPECT_EQ(m_display->Logged(), Lines{L"Bump."});
        }
        EXPECT_EQ(m_game.GetCurrentLoc(), c.entered ? &mill : &barn);
        EXPECT_EQ(barn.GetCreatureIds().At(3, 3), c.entered ? kNoCreature : kHeroCell);
        if (c.entered) {
            EXPECT_EQ(m_hero.x, c.x);
            EXPECT_EQ(mill.GetCreatureIds().At(c.x, c.y), kHeroCell);
        }
    });
}

TEST_F(LocEnter, ThePreviousLocationMayBeNoneOrTheSame) {
    CLoc& mill = Grass(1, 0, L"mill");
    // From nowhere.
    m_hero.x = 3;
    m_hero.y = 3;
    ASSERT_TRUE(mill.Enter(5, 5, kArriveFromWorld, From(nullptr)));
    EXPECT_EQ(mill.GetCreatureIds().At(5, 5), kHeroCell);
    EXPECT_EQ(mill.GetCreatureIds().At(3, 3), kNoCreature);
    // Within the same location: the cell he left is emptied.
    ASSERT_TRUE(mill.Enter(8, 8, kArriveFromObject, From(&mill)));
    EXPECT_EQ(mill.GetCreatureIds().At(5, 5), kNoCreature);
    EXPECT_EQ(mill.GetCreatureIds().At(8, 8), kHeroCell);
    // A level made anew where he stood: the creature now on his old cell
    // stays there.
    CMonster& rat = AddMonster(mill, kRat, 10, 10);
    m_hero.x = 10;
    m_hero.y = 10;
    mill.GetCreatureIds().At(8, 8) = kNoCreature;
    ASSERT_TRUE(mill.Enter(12, 12, kArriveFromObject, From(&mill)));
    EXPECT_EQ(mill.GetCreatureIds().At(10, 10), rat.localId);
    // At random: two listed draws name (1, 1).
    m_draws.Set({0, 0});
    ASSERT_TRUE(mill.Enter(0, 0, kArriveRandom, From(nullptr)));
    EXPECT_EQ(m_hero.x, 1u);
    EXPECT_EQ(m_hero.y, 1u);
}

// A passage within one location leaves it too: the exit time is now, so
// the piles that caught up as he came do not age again for the same hours,
// and the bump of a refused cell logs its message.
TEST_F(LocEnter, AnotherCellOfTheSameLocationIsEnteredAfterLeavingIt) {
    CLoc& barn = Grass(0, 0, L"barn");
    m_game.SetClock(36000);
    const CItem corpse(static_cast<uint16_t>(kCorpseBase + kRat), 1);
    barn.GetItemPiles().At(10, 10) = {corpse};
    ASSERT_TRUE(barn.Enter(3, 3, kArriveFromWorld, From(nullptr)));
    EXPECT_EQ(barn.GetExitTime(), 0u);
    const uint16_t aged = barn.GetItem(10, 10, 0).durability;
    ASSERT_LT(aged, corpse.durability);

    m_game.SetClock(36001);
    ASSERT_TRUE(barn.Enter(8, 8, kArriveFromObject, From(&barn)));
    EXPECT_EQ(barn.GetExitTime(), 36001u);
    EXPECT_EQ(m_game.GetElapsedTime(), 0u);
    EXPECT_EQ(barn.GetItem(10, 10, 0).durability, aged);
    EXPECT_EQ(barn.GetCreatureIds().At(3, 3), kNoCreature);

    // A creature on the cell: refused, told, and the barn is not left.
    AddMonster(barn, kRat, 12, 12);
    m_display->lines.clear();
    m_game.SetClock(40000);
    EXPECT_FALSE(barn.Enter(12, 12, kArriveFromObject, From(&barn)));
    EXPECT_EQ(m_display->Logged(), Lines{L"Bump."});
    EXPECT_EQ(barn.GetExitTime(), 36001u);
    EXPECT_EQ(barn.GetCreatureIds().At(8, 8), kHeroCell);
}

// --- Followers -------------------------------------------------------------------------------------------

// The hero leaves the barn from (10, 7) for the mill's (5, 7). The first
// free neighbour of (5, 7) in direction order is (4, 6).
TEST_F(LocEnter, TheCreaturesBesideHimFollow) {
    const struct {
        const char* what;
        uint8_t mode;
        void (*place)(CLoc& barn, CHero& hero);
        void (*blockMill)(CLoc& mill);
        bool follows;
        uint16_t atX, atY;
        Lines logged;
        bool within = false; // a passage to (5, 7) of the barn itself
    } cases[] = {
        {"a monster beside him",
         kArriveFromWorld,
         [](CLoc& b, CHero&) { AddMonster(b, kRat, 11, 7); },
         nullptr,
         true,
         4,
         6,
         {L"Follows: rat."}},
        {"a monster diagonally beside him",
         kArriveFromObject,
         [](CLoc& b, CHero&) { AddMonster(b, kRat, 9, 6); },
         nullptr,
         true,
         4,
         6,
         {L"Follows: rat."}},
        // A companion left behind is told of as the barn is left.
        {"a monster two cells away",
         kArriveFromWorld,
         [](CLoc& b, CHero&) { AddMonster(b, kRat, 12, 7); },
         nullptr,
         false,
         0,
         0,
         {L"Stays: rat."}},
        {"a dead monster",
         kArriveFromWorld,
         [](CLoc& b, CHero&) {
             AddMonster(b, kRat, 11, 7).hitPoints = 0;
             b.GetCreatureIds().At(11, 7) = 0;
         },
         nullptr,
         false,
         0,
         0,
         {}},
        {"a friendly NPC",
         kArriveFromWorld,
         [](CLoc& b, CHero&) { AddNpc(b, L"Ada", 11, 7).friendly = {CGroupMember::kHeroId}; },
         nullptr,
         true,
         4,
         6,
         {L"Follows: Ada."}},
        {"an NPC that is no friend",
         kArriveFromWorld,
         [](CLoc& b, CHero&) { AddNpc(b, L"Ada", 11, 7); },
         nullptr,
         false,
         0,
         0,
         {L"Stays: Ada."}},
        // Its 4 x 3 block must not cover the hero: the third neighbour.
        {"a large troll on three cells beside him",
         kArriveFromWorld,
         [](CLoc& b, CHero&) { AddMonster(b, kTroll, 11, 6); },
         nullptr,
         true,
         6,
         6,
         {L"Follows: troll."}},
        {"nobody follows him to a random cell",
         kArriveRandom,
         [](CLoc& b, CHero&) { AddMonster(b, kRat, 11, 7); },
         nullptr,
         false,
         0,
         0,
         {L"Stays: rat."}},
        {"no room beside the entry cell",
         kArriveFromWorld,
         [](CLoc& b, CHero&) { AddMonster(b, kRat, 11, 7); },
         [](CLoc& m) {
             for (int32_t y = 6; y <= 8; ++y) {
                 for (int32_t x = 4; x <= 6; ++x) {
                     m.GetTerrain().At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)) = x == 5 && y == 7 ? 0 : 1;
                 }
             }
         },
         false,
         0,
         0,
         {L"Stays: rat."}},
        // Nobody comes along within one location; the barn is left all the
        // same, so its companion is told of.
        {"a passage within the barn",
         kArriveFromObject,
         [](CLoc& b, CHero&) { AddMonster(b, kRat, 11, 7); },
         nullptr,
         false,
         0,
         0,
         {L"Stays: rat."},
         true},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        m_world.Init();
        g_groupList.Clear();
        CLoc& barn = Grass(0, 0, L"barn");
        CLoc& mill = Grass(1, 0, L"mill");
        if (c.blockMill != nullptr) {
            c.blockMill(mill);
        }
        Stand(barn, 10, 7);
        c.place(barn, m_hero);
        CMonster* creature = barn.GetCreatures().front();
        const uint32_t oldId = creature->globalId;
        const auto wasX = static_cast<uint16_t>(creature->x);
        const auto wasY = static_cast<uint16_t>(creature->y);
        creature->hostile.push_back(CGroupMember::kHeroId);
        creature->friendly.push_back(0x7FFF0001); // a creature of another place
        m_hero.companions = {oldId};
        g_groupList.Get().push_back(new CGroup(L"pack"));
        g_groupList.Get().back()->members = {oldId};
        m_draws.Set({0, 0});
        m_display->lines.clear();
        ASSERT_TRUE((c.within ? barn : mill).Enter(5, 7, c.mode, From(&barn)));
        EXPECT_EQ(m_display->Logged(), c.logged);
        if (!c.follows) {
            EXPECT_EQ(barn.GetCreatures().front(), creature);
            EXPECT_EQ(barn.GetCreatureAt(wasX, wasY), creature);
            EXPECT_EQ(mill.GetCreatures().size(), 0u);
            EXPECT_EQ(m_hero.companions, std::vector<uint32_t>{oldId});
            return;
        }
        // It belongs to the mill alone, under the mill's id (index 1).
        EXPECT_EQ(barn.GetCreatures().front(), nullptr);
        ASSERT_EQ(mill.GetCreatures().size(), 1u);
        EXPECT_EQ(mill.GetCreatures()[0], creature);
        EXPECT_EQ(creature->x, c.atX);
        EXPECT_EQ(creature->y, c.atY);
        EXPECT_EQ(mill.GetCreatureIds().At(c.atX, c.atY), 0);
        EXPECT_EQ(creature->globalId, (1u << 16) | 0u);
        for (uint16_t y = 5; y <= 9; ++y) {
            for (uint16_t x = 8; x <= 14; ++x) {
                EXPECT_NE(barn.GetCreatureIds().At(x, y), 0) << x << "," << y;
            }
        }
        // Only the hero is still known to it; the companions and the group
        // name it by its new id.
        EXPECT_EQ(creature->hostile, std::vector<uint32_t>{CGroupMember::kHeroId});
        const bool friendOfHero = creature->GetKind() == CGroupMember::kKindNpc;
        EXPECT_EQ(creature->friendly,
                  friendOfHero ? std::vector<uint32_t>{CGroupMember::kHeroId} : std::vector<uint32_t>{});
        EXPECT_EQ(m_hero.companions, std::vector<uint32_t>{creature->globalId});
        EXPECT_EQ(g_groupList.Get().back()->members, std::vector<uint32_t>{creature->globalId});
    });
}

// --- What entering records ----------------------------------------------------------------------------

TEST_F(LocEnter, EnteringRevealsMarksAndRemembers) {
    // The visited list keeps at most 100 entries, the newest; a longer one
    // (from an older saved game) is cut down too.
    const struct {
        size_t before;
        size_t after;
        uint32_t first;
    } lists[] = {{0, 1, 9}, {99, 100, 0}, {100, 100, 1}, {101, 100, 2}};
    for (const auto& l : lists) {
        m_world.Init();
        CLoc& mill = Grass(1, 2, L"mill");
        m_hero.visitedLocations.clear();
        for (uint32_t i = 0; i < l.before; ++i) {
            m_hero.visitedLocations.push_back(i);
        }
        m_game.SetClock(5000);
        mill.SetExitTime(1000);
        ASSERT_TRUE(mill.Enter(10, 7, kArriveFromWorld, From(nullptr)));
        ASSERT_EQ(m_hero.visitedLocations.size(), l.after) << l.before;
        EXPECT_EQ(m_hero.visitedLocations.front(), l.first) << l.before;
        // World width 4 x row 2 + column 1.
        EXPECT_EQ(m_hero.visitedLocations.back(), 9u) << l.before;
        EXPECT_NE(mill.GetFlags() & kLocEntered, 0);
        EXPECT_EQ(m_game.GetElapsedTime(), 4000u);
        // Within 3 cells of (10, 7): 29 cells.
        uint32_t seen = 0;
        for (uint16_t y = 0; y < 15; ++y) {
            for (uint16_t x = 0; x < 20; ++x) {
                seen += mill.GetExplored().At(x, y) == 255 ? 1 : 0;
            }
        }
        EXPECT_EQ(seen, 29u);
    }
}

TEST_F(LocEnter, LeavingATowerPutsItsLevelBack) {
    const struct {
        const char* what;
        std::wstring previous;
        uint16_t levelAfter;
    } cases[] = {
        {"from a tower level", L"tower2", 0},
        {"from a tower level, capitals", L"TOWER3", 0},
        {"from elsewhere", L"mill", 4},
        {"from a place whose key only holds the word", L"oldtower", 4},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        m_world.Init();
        CLoc& before = Grass(0, 0, c.previous);
        CLoc& barn = Grass(1, 0, L"barn");
        Stand(before, 3, 3);
        m_game.SetCurrentLevel(4);
        ASSERT_TRUE(barn.Enter(5, 5, kArriveFromWorld, From(&before)));
        EXPECT_EQ(m_game.GetCurrentLevel(), c.levelAfter);
    });
}

// --- Tower levels ------------------------------------------------------------------------------------------

// The gate at world cell (0, 0) and the random levels tower0 to tower5 at
// (1, 0) to (2, 1); the hero leaves the gate from (5, 5).
class TowerEnter : public LocEnter {
protected:
    void SetUp() override {
        LocEnter::SetUp();
        testsupport::FillGenerationTables(m_game);
        m_rand.Seed(kRandomSeed);
        vek::SetRandomGenerator(&m_rand);
    }

    // A fresh world with the gate and the tower's levels.
    CLoc& MakeWorld() {
        m_world.Init();
        for (uint16_t level = 0; level <= 5; ++level) {
            TWorldLocInfo& cell = m_world.grid.At(LevelX(level), LevelY(level));
            cell.nameKey = L"tower" + std::to_wstring(level);
            cell.name = L"Tower";
            cell.randomKind = kWorldRandom;
            cell.terrainType = 4;
        }
        return Grass(0, 0, L"gate");
    }
    static uint16_t LevelX(uint16_t level) { return static_cast<uint16_t>((level + 1) % 4); }
    static uint16_t LevelY(uint16_t level) { return static_cast<uint16_t>((level + 1) / 4); }
};

TEST_F(TowerEnter, ALevelIsBuiltForTheHeroAndLeadsBack) {
    const struct {
        const char* what;
        uint16_t appearance; // what he took in the gate
        bool active;
        uint16_t levelBefore;
        uint16_t levelAfter;
        std::wstring error;
    } cases[] = {
        {"through the tower door", kTowerExit, true, 3, 0, L""},
        {"up stairs", kStairsUp, true, 0, 1, L""},
        {"up stairs from level 3", kStairsUp, true, 3, 4, L""},
        {"from no passage", kStairsUp, false, 0, 0,
         L"CLoc::Enter: Location system inconsistency; no entrance found in north stair"},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        CLoc& gate = MakeWorld();
        if (c.active) {
            gate.SetSpecialObject(5, 5, kSpecialPassage, c.appearance, kNoTargetCell, L"tower0");
        }
        Stand(gate, 5, 5);
        m_game.SetCurrentLevel(c.levelBefore);
        CLoc& tower = m_world.MakeLocAt(LevelX(c.levelAfter), LevelY(c.levelAfter));
        TArrival arrival = From(&gate);
        arrival.name = L"north stair";
        bool entered = false;
        EXPECT_EQ(worldtest::ThrownText([&] { entered = tower.Enter(0xFFFF, 0xFFFF, kArriveFromObject, arrival); }),
                  c.error);
        EXPECT_EQ(m_game.GetCurrentLevel(), c.error.empty() ? c.levelAfter : c.levelBefore);
        if (!c.error.empty()) {
            EXPECT_EQ(m_game.GetCurrentLoc(), &gate);
            return;
        }
        ASSERT_TRUE(entered);
        // He stands on the way back: the tower door on level 0, the stairs
        // down above it; it leads to where he came from.
        const TSpecialObject& way =
            tower.GetSpecialObjects().At(static_cast<uint16_t>(m_hero.x), static_cast<uint16_t>(m_hero.y));
        EXPECT_EQ(way.kind, kSpecialPassage);
        EXPECT_EQ(way.appearance, c.levelAfter == 0 ? kTowerExit : kStairsDown);
        EXPECT_EQ(way.value, (5u << 16) | 5u);
        EXPECT_EQ(CLoc::SpecialObjectText(way), L"gate");
        if (c.levelAfter == 0) {
            EXPECT_EQ(m_hero.y, 14u);
        }
        EXPECT_EQ(tower.GetCreatureIds().At(static_cast<uint16_t>(m_hero.x), static_cast<uint16_t>(m_hero.y)),
                  kHeroCell);
    });
}

// --- A saved game ------------------------------------------------------------------------------------

TEST_F(LocEnter, ScriptsComeBackWithASavedGame) {
    std::istringstream input;
    std::wostringstream output;
    CStreamScriptConsole console{input, output};
    SetDefaultScriptConsole(&console);
    WriteMap(L"mill.map", L"Mill");
    Place(1, 1, L"mill.map", L"mill");
    WriteText("Data/Scripts/Locations/mill.u",
              "alarm Watch {\nGroupMemberAttacked \"guards\", attack\n}\n"
              "function OnInit() {\nprint \"init \"\n}\n");
    ASSERT_TRUE(m_world.ReadyLoc(L"mill", 0, 0, 2, 2, kArriveFromWorld, L""));
    EXPECT_EQ(output.str(), L"init ");
    vek::StreamReset();
    m_world.SaveGame();
    const worldtest::Bytes saved = worldtest::Written();
    m_game.SetCurrentLoc(nullptr);
    vek::StreamAssign(saved);
    CWorld loaded;
    m_game.SetWorld(&loaded);
    loaded.LoadGame(L"test.sav");
    m_game.SetWorld(&m_world);
    const CLoc* mill = loaded.grid.At(1, 1).loc;
    ASSERT_NE(mill, nullptr);
    ASSERT_NE(mill->GetScript(), nullptr);
    ASSERT_EQ(mill->GetAlarms().size(), 1u);
    EXPECT_EQ(mill->GetAlarms()[0].entries[0].name, L"guards");
    // "OnInit" ran when the mill was first prepared, not again.
    EXPECT_EQ(output.str(), L"init ");
    SetDefaultScriptConsole(nullptr);
}

} // namespace
