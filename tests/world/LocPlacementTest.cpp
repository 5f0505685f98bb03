#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Random.h"
#include "rules/Hero.h"
#include "tests/world/GenFixture.h"
#include "tests/world/LocServices.h"
#include "world/Loc.h"
#include "world/gen/GenTestSupport.h"

// The placement passes on locations: random items, creature groups and
// ingredient patches, draw for draw with listed values, and their limits.
namespace {

using gentest::CListedValues;
using worldtest::CListedRand;
using worldtest::CSeeded;

// The game's generator answers from the list while it lives.
class CGameDraws {
public:
    explicit CGameDraws(std::vector<int32_t> values) : m_values(std::move(values)) {
        vek::SetRandomGenerator(&m_values);
    }
    ~CGameDraws() { vek::SetRandomGenerator(nullptr); }
    CGameDraws(const CGameDraws&) = delete;
    CGameDraws& operator=(const CGameDraws&) = delete;
    size_t Used() const { return m_values.Used(); }

private:
    CListedValues m_values;
};

class PlacementPass : public worldtest::GenGame {
protected:
    // Rows of '#' rock and '.' grass.
    void Make(const std::vector<std::string>& rows) {
        worldtest::Paint(m_loc, rows);
        m_loc.SetName(L"Test");
    }
    CLoc m_loc;
};

TEST_F(PlacementPass, ItemsOverTheWholeLocationDrawForDraw) {
    Make({".#."});
    // (0, 0): 1 < 2 takes an item: n = 100, class 5, bread, 2 % 6 + 1 = 3;
    // its status draws: 5 no, 10 (0 of 10) the second bit, 3 no quality.
    // The rock draws nothing; (2, 0): 2 is not below 2.
    CGameDraws draws({1, 99, 1, 2, 5, 10, 3, 2});
    m_loc.PlaceRandomItems(0.5f, std::nullopt);
    EXPECT_EQ(draws.Used(), 8u);
    ASSERT_EQ(m_loc.GetItemCount(0, 0), 1u);
    const CItem& bread = m_loc.GetItem(0, 0, 0);
    EXPECT_EQ(bread.type, 20);
    EXPECT_EQ(bread.count, 3u);
    EXPECT_EQ(bread.status, CItem::kStatusRandomB);
    EXPECT_EQ(bread.quality, 0);
    EXPECT_FALSE(m_loc.HasItems(1, 0));
    EXPECT_FALSE(m_loc.HasItems(2, 0));
}

TEST_F(PlacementPass, ItemsOnOneCellDrawForDraw) {
    Make({".#."});
    // 1 <= 1: 0 + 2 items, on the rock too. A candle (class 4, first) with
    // the first status bit; the armour manual naming the mail (1 % 2), of
    // quality 13 % 8 + 2.
    CGameDraws draws({1, 0, 37, 0, 0, 1, 1, 37, 1, 1, 1, 1, 0, 13});
    m_loc.PlaceRandomItems(0.5f, vek::TPoint{1, 0});
    EXPECT_EQ(draws.Used(), 14u);
    ASSERT_EQ(m_loc.GetItemCount(1, 0), 2u);
    EXPECT_EQ(m_loc.GetItem(1, 0, 0).type, 40);
    EXPECT_EQ(m_loc.GetItem(1, 0, 0).status, CItem::kStatusRandomA);
    const CItem& manual = m_loc.GetItem(1, 0, 1);
    EXPECT_EQ(manual.type, 158);
    EXPECT_EQ(manual.property1, 31);
    EXPECT_EQ(manual.quality, 7);
    // The cell (0, 0) stands for the whole location: one chance draw per
    // passable cell (5 and 99, neither below 2), no item. The cell next to
    // it is a cell: 5 > 1, one item, money of 300 % 125 + 1.
    {
        CGameDraws more({5, 99});
        m_loc.PlaceRandomItems(0.5f, vek::TPoint{0, 0});
        EXPECT_EQ(more.Used(), 2u);
        EXPECT_FALSE(m_loc.HasItems(0, 0));
        EXPECT_FALSE(m_loc.HasItems(2, 0));
    }
    CGameDraws beside({5, 99, 0, 300, 1, 1});
    m_loc.PlaceRandomItems(0.5f, vek::TPoint{2, 0});
    EXPECT_EQ(beside.Used(), 6u);
    ASSERT_EQ(m_loc.GetItemCount(2, 0), 1u);
    EXPECT_EQ(m_loc.GetItem(2, 0, 0).type, 9);
    EXPECT_EQ(m_loc.GetItem(2, 0, 0).count, 300u % 125 + 1);
    EXPECT_FALSE(m_loc.HasItems(0, 0));
}

TEST_F(PlacementPass, ItemsNowhereWithoutAPlace) {
    Make({".."});
    CGameDraws none({});
    m_loc.PlaceRandomItems(0.5f, vek::TPoint{2, 0});
    m_loc.PlaceRandomItems(0.5f, vek::TPoint{-1, 0});
    CLoc empty;
    empty.PlaceRandomItems(0.5f, std::nullopt);
    EXPECT_EQ(none.Used(), 0u);
}

TEST_F(PlacementPass, ItemsLieOnlyOnPassableCellsOverManySeeds) {
    Make({"..........", ".##.#####.", "..........", "####......"});
    for (uint32_t seed = 1; seed <= 200; ++seed) {
        CSeeded seeded(seed);
        CLoc loc;
        worldtest::Paint(loc, {"..........", ".##.#####.", "..........", "####......"});
        loc.PlaceRandomItems(static_cast<float>(seed % 11) / 10.0f, std::nullopt);
        for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
            for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
                if (loc.HasItems(x, y)) {
                    EXPECT_TRUE(IsPassable(x, y, loc)) << seed;
                    for (uint32_t i = 0; i < loc.GetItemCount(x, y); ++i) {
                        EXPECT_NE(m_game.GetTables().items[loc.GetItem(x, y, i).type].occurrence, 0) << seed;
                    }
                }
            }
        }
    }
}

TEST_F(PlacementPass, EncountersDrawCellThenGroup) {
    Make({"..#"});
    m_game.GetGroupTable() = {{3}};
    // Every draw 0: the first group on (0, 0); the second finds only taken
    // cells for 1000 tries, then draws among the free ones: (1, 0); the third
    // finds none and ends the pass: 3 + (2000 + 2) + 2000 draws.
    CListedRand zeros({0});
    vek::SetRandomGenerator(&zeros);
    m_loc.PlaceEncounters(0.5f, false);
    EXPECT_EQ(zeros.m_draws, 3 + 2002 + 2000);
    EXPECT_EQ(worldtest::Layer(m_loc), (std::vector<std::string>{"01."}));
    ASSERT_EQ(m_loc.GetCreatures().size(), 2u);
    for (const CMonster* creature : m_loc.GetCreatures()) {
        EXPECT_EQ(creature->monsterType, 3);
        EXPECT_EQ(creature->hostility, 1u);
        EXPECT_TRUE(creature->IsHostile(CGroupMember::kHeroId));
    }
}

TEST_F(PlacementPass, EncountersKeepOffTakenCellsAndDrawFromTheBand) {
    const std::vector<std::string> rows = {"....................", "..####..............", "..#..#..............",
                                           "..####..............", ".....#.......#......", "...................."};
    for (uint32_t seed = 1; seed <= 200; ++seed) {
        CSeeded seeded(seed);
        CLoc loc;
        worldtest::Paint(loc, rows);
        loc.SetSpecialObject(10, 2, kSpecialText, 3, 0, L"a sign");
        worldtest::AddMonster(loc, 9, 15, 4);
        loc.PlaceEncounters(0.5f, false);
        // 20 groups from the band 3 to 5 of ten, besides the one there was.
        ASSERT_EQ(loc.GetCreatures().size(), 21u) << seed;
        std::set<std::pair<uint32_t, uint32_t>> cells;
        for (size_t i = 1; i < loc.GetCreatures().size(); ++i) {
            const CMonster& creature = *loc.GetCreatures()[i];
            EXPECT_GE(creature.monsterType, 3) << seed;
            EXPECT_LE(creature.monsterType, 5) << seed;
            EXPECT_TRUE(IsPassable(static_cast<int32_t>(creature.x), static_cast<int32_t>(creature.y), loc));
            EXPECT_FALSE(creature.x == 10 && creature.y == 2) << seed;
            EXPECT_FALSE(creature.x == 15 && creature.y == 4) << seed;
            EXPECT_TRUE(cells.insert({creature.x, creature.y}).second) << seed;
        }
    }
}

TEST_F(PlacementPass, EncountersWithoutGroupsOrCellsPlaceNothing) {
    Make({"...", "..."});
    {
        m_game.GetGroupTable().clear();
        CGameDraws none({});
        m_loc.PlaceEncounters(0.5f, false);
        m_loc.PlaceEncounters(0.5f, true);
        EXPECT_EQ(none.Used(), 0u);
    }
    m_game.GetGroupTable() = {{1}};
    Make({"###", "###"});
    CListedRand draws({4, 1});
    vek::SetRandomGenerator(&draws);
    m_loc.PlaceEncounters(0.2f, false);
    // Bounded: the tries, then no free cell, and the pass ends.
    EXPECT_EQ(draws.m_draws, 2 * CLoc::kEncounterCellDraws);
    EXPECT_TRUE(m_loc.GetCreatures().empty());
}

TEST_F(PlacementPass, EncounterOfASiteKeepsAwayFromTheHero) {
    CHero hero;
    m_game.SetHero(&hero);
    m_game.GetGroupTable() = {{7}};
    // Columns 1 to 14 - 12 and rows 1 to 2. With the hero at (2, 2) the
    // candidates are (1, 1), (2, 1) and (1, 2): 2 % 3 takes (1, 2).
    Make({"..............", "..............", "..............", ".............."});
    hero.x = 2;
    hero.y = 2;
    {
        CGameDraws draws({2, 0});
        m_loc.PlaceEncounters(0.5f, true);
        EXPECT_EQ(draws.Used(), 2u);
    }
    ASSERT_EQ(m_loc.GetCreatures().size(), 1u);
    EXPECT_EQ(m_loc.GetCreatures()[0]->x, 1u);
    EXPECT_EQ(m_loc.GetCreatures()[0]->y, 2u);
    EXPECT_EQ(m_loc.GetCreatures()[0]->monsterType, 7);
    // A hero at (0, 0) sends the group beyond columns 15 and 20: none here.
    hero.x = 0;
    hero.y = 0;
    {
        CGameDraws none({});
        m_loc.PlaceEncounters(0.5f, true);
    }
    EXPECT_EQ(m_loc.GetCreatures().size(), 1u);
    m_game.SetHero(nullptr);
}

TEST_F(PlacementPass, PatchesDrawForDraw) {
    // Only sage occurs among the ingredients: no shuffle.
    m_game.GetTableSet(kScriptTables).items[62].occurrence = 0;
    m_game.GetTableSet(kScriptTables).items[63].occurrence = 0;
    Make({".....", ".....", ".....", ".....", "....."});
    // Try 1: centre (2, 2), all nine free, sage; r(6) <= 3 for the centre
    // and directions 3 to 7. Try 2: centre (3, 3) with five free cells,
    // each gets one. Try 3: centre (2, 3) with two free cells. The list then
    // starts again; every later try finds too few: 2 draws each.
    CListedRand draws({0, 0, 0, 0, 4, 5, 3, 6, 1, 2, 9, 11, 1, 1, 0, 0, 1});
    vek::SetRandomGenerator(&draws);
    m_loc.PlaceIngredientPatches();
    EXPECT_EQ(draws.m_draws, 12 + 3 + 2 + 47 * 2);
    std::vector<std::string> spots;
    for (uint16_t y = 0; y < 5; ++y) {
        std::string row;
        for (uint16_t x = 0; x < 5; ++x) {
            const TSpecialObject& object = m_loc.GetSpecialObjects().At(x, y);
            if (object.active != 0) {
                EXPECT_EQ(object.kind, kSpecialGrowingSpot);
                EXPECT_EQ(object.appearance, 60);
                EXPECT_EQ(object.value, 1u);
            }
            row += object.active != 0 ? '*' : '.';
        }
        spots.push_back(row);
    }
    EXPECT_EQ(spots, (std::vector<std::string>{".....", "...*.", "..***", ".****", "..***"}));
}

TEST_F(PlacementPass, AtMostTwelvePatches) {
    m_game.GetTableSet(kScriptTables).items[62].occurrence = 0;
    m_game.GetTableSet(kScriptTables).items[63].occurrence = 0;
    Make(
        {std::string(50, '.'), std::string(50, '.'), std::string(50, '.'), std::string(50, '.'), std::string(50, '.')});
    // Thirteen centres four columns apart, each patch whole.
    std::vector<int32_t> values;
    for (int32_t k = 0; k < 13; ++k) {
        values.insert(values.end(), {4 * k, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    }
    CListedRand draws(values);
    vek::SetRandomGenerator(&draws);
    m_loc.PlaceIngredientPatches();
    EXPECT_EQ(draws.m_draws, 12 * 12);
    EXPECT_EQ(worldtest::SpecialCells(m_loc, kSpecialGrowingSpot).size(), 12u * 9u);
}

TEST_F(PlacementPass, PatchesNeedIngredientsAndRoom) {
    // Three ingredients: two shuffle draws, then a 3 x 3 location has no
    // room for a centre.
    Make({"...", "...", "..."});
    {
        CGameDraws draws({0, 0});
        m_loc.PlaceIngredientPatches();
        EXPECT_EQ(draws.Used(), 2u);
    }
    // A 4 x 4 one has one centre: (2, 2).
    Make({"....", "....", "....", "...."});
    {
        // Later tries find the centre taken: the list going round is enough.
        CListedRand draws({0, 0, 5, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        vek::SetRandomGenerator(&draws);
        m_loc.PlaceIngredientPatches();
        vek::SetRandomGenerator(nullptr);
        EXPECT_EQ(draws.m_draws, 2 + 2 + 1 + 9 + 49 * 2);
    }
    EXPECT_EQ(worldtest::SpecialCells(m_loc, kSpecialGrowingSpot).size(), 9u);
    // No ingredient occurs: the tries draw their centres as ever, and the
    // pass ends at the first centre with room, where an ingredient would be
    // drawn.
    for (uint16_t type : {60, 62, 63}) {
        m_game.GetTableSet(kScriptTables).items[type].occurrence = 0;
    }
    Make({".....", ".....", ".....", ".....", "....."});
    {
        CGameDraws none({0, 0, 0});
        m_loc.PlaceIngredientPatches();
        EXPECT_EQ(none.Used(), 2u);
    }
    EXPECT_TRUE(worldtest::SpecialCells(m_loc, kSpecialGrowingSpot).empty());
    // Without room anywhere all fifty tries draw their centre.
    Make({"#####", "#####", "#####", "#####", "#####"});
    CListedRand rock({0});
    vek::SetRandomGenerator(&rock);
    m_loc.PlaceIngredientPatches();
    vek::SetRandomGenerator(nullptr);
    EXPECT_EQ(rock.m_draws, 50 * 2);
    EXPECT_TRUE(worldtest::SpecialCells(m_loc, kSpecialGrowingSpot).empty());
}

TEST_F(PlacementPass, PassesKeepToTheReachedCells) {
    // A wall cuts off the two right columns. Given as unreached, they get
    // nothing; a wall given as unreached changes no draw.
    const std::vector<std::string> rows = {"...#..", "...#..", "...#..", "...#..", "...#..", "...#.."};
    std::vector<uint8_t> open;
    std::vector<uint8_t> left;
    for (const std::string& row : rows) {
        for (size_t x = 0; x < row.size(); ++x) {
            open.push_back(row[x] == '.' ? 1 : 0);
            left.push_back(x < 3 ? 1 : 0);
        }
    }
    // Each pass, and what it put where: items, creatures, growing spots.
    const std::function<void(CLoc&, std::span<const uint8_t>)> passes[] = {
        [](CLoc& loc, std::span<const uint8_t> reached) { loc.PlaceRandomItems(0.5f, std::nullopt, reached); },
        [](CLoc& loc, std::span<const uint8_t> reached) { loc.PlaceEncounters(0.5f, false, reached); },
        [](CLoc& loc, std::span<const uint8_t> reached) { loc.PlaceIngredientPatches(reached); },
    };
    auto placed = [](const CLoc& loc) {
        std::string cells;
        for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
            for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
                const bool taken = loc.HasItems(x, y) || loc.GetCreatureIds().At(x, y) != kNoCreature ||
                                   loc.GetSpecialObjects().At(x, y).active != 0;
                cells += taken ? '*' : '.';
            }
        }
        return cells;
    };
    for (size_t pass = 0; pass < std::size(passes); ++pass) {
        size_t onTheLeft = 0;
        for (uint32_t seed = 1; seed <= 40; ++seed) {
            CLoc everywhere;
            CLoc walkable;
            CLoc leftOnly;
            for (auto [loc, reached] :
                 {std::pair<CLoc*, std::span<const uint8_t>>{&everywhere, {}}, {&walkable, open}, {&leftOnly, left}}) {
                worldtest::Paint(*loc, rows);
                CSeeded seeded(seed);
                passes[pass](*loc, reached);
            }
            EXPECT_EQ(placed(walkable), placed(everywhere)) << pass << " " << seed;
            const std::string cells = placed(leftOnly);
            for (size_t i = 0; i < cells.size(); ++i) {
                EXPECT_TRUE(cells[i] == '.' || left[i] != 0) << pass << " " << seed << " " << i;
                onTheLeft += cells[i] == '*' ? 1 : 0;
            }
        }
        EXPECT_GT(onTheLeft, 0u) << pass;
        // Cells given for another size: nothing is placed.
        Make(rows);
        const std::vector<uint8_t> tooFew(open.begin(), open.end() - 1);
        EXPECT_THROW(passes[pass](m_loc, tooFew), vek::CException) << pass;
        EXPECT_EQ(placed(m_loc), std::string(36, '.'));
    }
}

} // namespace
