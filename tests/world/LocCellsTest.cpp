#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "rules/Hero.h"
#include "tests/world/Cases.h"
#include "tests/world/LocServices.h"
#include "world/Loc.h"

namespace {

using vek::TPoint;
using worldtest::AddMonster;
using worldtest::CExpectedRand;
using worldtest::CListedRand;
using worldtest::CSeeded;
using worldtest::CTestLoc;
using worldtest::kRat;
using worldtest::Paint;

enum : uint16_t { kKey = 0, kSword = 1, kCoin = 2, kBread = 3 };
constexpr uint16_t kMoney = CItem::kMoneyType;
constexpr uint16_t kRatCorpse = kCorpseBase + kRat;

class LocCells : public worldtest::GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        auto& items = m_game.GetTableSet(kScriptTables).items;
        items[kCoin].value = 5;
        items.push_back(Named<TItemInfo>(L"bread", 0));
        items[kBread].category = 19;
        items[kBread].durab = 3;
    }
    // The explored layer as rows: '#' seen, '.' not.
    static std::vector<std::string> Seen(const CLoc& loc) {
        std::vector<std::string> rows;
        for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
            std::string row;
            for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
                row += loc.GetExplored().At(x, y) == 255 ? '#' : '.';
            }
            rows.push_back(row);
        }
        return rows;
    }
};

// --- Random cells ------------------------------------------------------------------------------------------

TEST_F(LocCells, PickRandomCellDrawsTenTimesThenFromTheList) {
    // Cells are drawn from columns 0 to width - 2 and rows 0 to height - 2,
    // the list from its entries 0 to count - 2.
    const struct {
        const char* what;
        std::vector<std::string> rows;
        uint32_t seed;
    } cases[] = {
        {"open ground", {".....", ".....", ".....", "....."}, 1},
        {"open ground", {".....", ".....", ".....", "....."}, 56576},
        {"a wall here and there", {".#.#.", "#.#.#", ".#.#.", "#.#.#"}, 7},
        {"only the last column", {"##.", "##.", "##."}, 3},
        {"only the last column", {"##.", "##.", "##."}, 4},
        {"one cell, never drawn", {"###", "##."}, 11},
        {"two cells, the first taken", {"#.", "#."}, 12},
        {"one column", {".", "#", "."}, 5},
        {"one row", {"#.#."}, 6},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        CLoc loc;
        Paint(loc, c.rows);
        const int32_t width = loc.GetWidth();
        const int32_t height = loc.GetHeight();
        auto passable = [&](TPoint p) { return c.rows[static_cast<size_t>(p.y)][static_cast<size_t>(p.x)] != '#'; };
        CExpectedRand expected(c.seed);
        TPoint answer{-1, -1};
        for (int attempt = 0; attempt < 10 && answer.x < 0; ++attempt) {
            TPoint cell;
            cell.x = width > 1 ? expected.Next() % (width - 1) : 0;
            cell.y = height > 1 ? expected.Next() % (height - 1) : 0;
            if (passable(cell)) {
                answer = cell;
            }
        }
        if (answer.x < 0) {
            std::vector<TPoint> list;
            for (int32_t y = 0; y < height; ++y) {
                for (int32_t x = 0; x < width; ++x) {
                    if (passable({x, y})) {
                        list.push_back({x, y});
                    }
                }
            }
            const int32_t count = static_cast<int32_t>(list.size());
            answer = list[count > 1 ? static_cast<size_t>(expected.Next() % (count - 1)) : 0];
        }
        CSeeded seeded(c.seed);
        EXPECT_EQ(loc.PickRandomCell(), answer) << "seed " << c.seed;
        EXPECT_EQ(seeded.Get().Next(), expected.Next()) << ": as many draws";
    });
}

TEST_F(LocCells, PickRandomCellEdgeCases) {
    CLoc single;
    Paint(single, {"."});
    {
        CSeeded seeded(8);
        EXPECT_EQ(single.PickRandomCell(), (TPoint{0, 0}));
        CExpectedRand expected(8);
        EXPECT_EQ(seeded.Get().Next(), expected.Next()); // nothing drawn
    }
    EXPECT_EQ(single.PickRandomCell(), (TPoint{0, 0})); // no generator at all

    // A generator of its own that yields negative numbers. In the tries the
    // remainder keeps the sign: -1 mod 4 is -1, a column left of the map, so
    // the try misses; the next try (1 mod 4, 1 mod 3) hits.
    CLoc field;
    Paint(field, {".....", ".....", ".....", "....."});
    CListedRand mixed({-1, 2, 1, 1});
    EXPECT_EQ(field.PickRandomCell(&mixed), (TPoint{1, 1}));
    EXPECT_EQ(mixed.m_draws, 4);
    // -1 mod 4 and -7 mod 3 miss ten times; the draw among the 20 cells
    // (-1 mod 19, taken as 18) names the 19th cell.
    CListedRand negative({-1, -7});
    EXPECT_EQ(field.PickRandomCell(&negative), (TPoint{3, 3}));
    EXPECT_EQ(negative.m_draws, 21);
    // INT_MIN mod 4 is 0, but INT_MIN + 1 = -(3 x 715827882 + 1) mod 3 is -1:
    // ten misses. INT_MIN = -(19 x 113025455 + 3) mod 19 is -3, taken as 16.
    CListedRand lowest({INT_MIN, INT_MIN + 1});
    EXPECT_EQ(field.PickRandomCell(&lowest), (TPoint{1, 3}));
    EXPECT_EQ(lowest.m_draws, 21);

    // The list path with a generator that never hits.
    CLoc corner;
    Paint(corner, {"###", "###", "##."});
    CListedRand zeros({0});
    EXPECT_EQ(corner.PickRandomCell(&zeros), (TPoint{2, 2}));
    EXPECT_EQ(zeros.m_draws, 20);

    for (const std::vector<std::string>& rows : {std::vector<std::string>{"#"}, {"##", "##"}}) {
        CLoc walls;
        Paint(walls, rows);
        try {
            walls.PickRandomCell(&zeros);
            ADD_FAILURE();
        } catch (const vek::CException& e) {
            EXPECT_EQ(e.GetDetails(), L"CLoc::PickRandomCell - no more empty cells in location Test");
            EXPECT_EQ(e.GetFunction(), L"CLoc::PickRandomCell");
            EXPECT_EQ(e.GetSourceFile(), L"Loc");
        }
    }
    CLoc cleared;
    Paint(cleared, {".."});
    cleared.Clear();
    EXPECT_THROW(cleared.PickRandomCell(&zeros), vek::CException);
}

// --- The explored area ----------------------------------------------------------------------------------

TEST_F(LocCells, RevealAround) {
    const struct {
        const char* what;
        bool wide;
        TPoint centre;
        uint32_t r;
        std::vector<std::string> seen;
    } cases[] = {
        {"radius 0: the centre",
         false,
         {3, 3},
         0,
         {".......", ".......", ".......", "...#...", ".......", ".......", "......."}},
        {"radius 1", false, {3, 3}, 1, {".......", ".......", "...#...", "..###..", "...#...", ".......", "......."}},
        {"radius 2", false, {3, 3}, 2, {".......", "...#...", "..###..", ".#####.", "..###..", "...#...", "......."}},
        {"generated, radius 0 is 2",
         true,
         {3, 3},
         0,
         {".......", "...#...", "..###..", ".#####.", "..###..", "...#...", "......."}},
        {"generated, radius 1 is 4",
         true,
         {3, 3},
         1,
         {".#####.", "#######", "#######", "#######", "#######", "#######", ".#####."}},
        {"a corner", false, {0, 0}, 2, {"###....", "##.....", "#......", ".......", ".......", ".......", "......."}},
        {"beyond the edge, just short",
         false,
         {-3, 1},
         2,
         {".......", ".......", ".......", ".......", ".......", ".......", "......."}},
        {"beyond the edge, just reaching",
         false,
         {-3, 1},
         3,
         {".......", "#......", ".......", ".......", ".......", ".......", "......."}},
        {"far outside",
         false,
         {INT_MIN, INT_MAX},
         5,
         {".......", ".......", ".......", ".......", ".......", ".......", "......."}},
        {"the largest radius",
         false,
         {3, 3},
         UINT_MAX,
         {"#######", "#######", "#######", "#######", "#######", "#######", "#######"}},
        {"generated, the largest radius",
         true,
         {-100, -100},
         UINT_MAX,
         {"#######", "#######", "#######", "#######", "#######", "#######", "#######"}},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        CLoc loc;
        loc.Init(L"x", 7, 7, 0, c.wide ? kLocWideReveal : 0);
        loc.RevealAround(c.centre.x, c.centre.y, c.r);
        EXPECT_EQ(Seen(loc), c.seen);
    });
    CLoc loc;
    loc.Init(L"x", 3, 2, 0, 0);
    loc.RevealAll();
    EXPECT_EQ(Seen(loc), (std::vector<std::string>{"###", "###"}));
}

// --- Passages, doors, effects --------------------------------------------------------------------------------

TEST_F(LocCells, FindPortalByItsOwnName) {
    const struct {
        const char* what;
        uint16_t kind;
        uint8_t active;
        std::wstring text;
        std::wstring name;
        bool found;
    } cases[] = {
        {"its name", kSpecialPassage, 1, L"cave.map|up|down", L"up", true},
        {"case ignored", kSpecialPassage, 1, L"cave.map|Up|down", L"uP", true},
        {"the target's field", kSpecialPassage, 1, L"cave.map|up|down", L"cave.map", false},
        {"the arrival's field", kSpecialPassage, 1, L"cave.map|up|down", L"down", false},
        {"two fields", kSpecialPassage, 1, L"cave.map|up", L"up", true},
        {"one field", kSpecialPassage, 1, L"up", L"up", false},
        {"an empty name", kSpecialPassage, 1, L"cave.map||down", L"", true},
        {"inactive", kSpecialPassage, 0, L"cave.map|up|down", L"up", false},
        {"a text object", kSpecialText, 1, L"cave.map|up|down", L"up", false},
        {"a site exit", kSpecialSiteExit, 1, L"cave.map|up|down", L"up", false},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        CLoc loc;
        Paint(loc, {"...", "..."});
        loc.SetSpecialObject(1, 1, c.kind, 0, 0, c.text);
        loc.GetSpecialObjects().At(1, 1).active = c.active;
        const std::optional<TPoint> cell = loc.FindPortal(c.name);
        EXPECT_EQ(cell.has_value(), c.found);
        if (cell) {
            EXPECT_EQ(*cell, (TPoint{1, 1}));
        }
    });
    // Row order: the row decides before the column.
    CLoc loc;
    Paint(loc, {"...", "..."});
    loc.SetSpecialObject(0, 1, kSpecialPassage, 0, 0, L"a|gate");
    loc.SetSpecialObject(2, 0, kSpecialPassage, 0, 0, L"b|gate");
    EXPECT_EQ(loc.FindPortal(L"gate"), (TPoint{2, 0}));
    // An odd byte at the end of a buffer is no character.
    loc.GetSpecialObjects().At(2, 0).GetBuffer().push_back('x');
    EXPECT_EQ(CLoc::SpecialObjectText(loc.GetSpecialObjects().At(2, 0)), L"b|gate");
}

TEST_F(LocCells, CreateDoor) {
    const struct {
        bool locked;
        uint16_t key;
        uint32_t value;
    } cases[] = {
        {false, 12, 0x1000C}, {true, 12, 0x3000C},          {true, 0, 0x30000},
        {false, 4, 0x10004},  {false, kDoorNoKey, 0x1FFFE}, {true, 0xFFFF, 0x3FFFF},
    };
    for (const auto& c : cases) {
        CLoc loc;
        Paint(loc, {"..."});
        loc.CreateDoor(1, 0, 2, c.locked, c.key);
        const TSpecialObject& door = loc.GetSpecialObjects().At(1, 0);
        EXPECT_EQ(door.active, 1);
        EXPECT_EQ(door.kind, kSpecialDoor);
        EXPECT_EQ(door.appearance, 2);
        EXPECT_EQ(door.value, c.value);
        EXPECT_TRUE(door.GetBuffer().empty());
        // The fixture's object 2 is a closed door: it blocks.
        EXPECT_FALSE(IsPassable(1, 0, loc));
    }
}

TEST_F(LocCells, AddEffectKeepsOneEntryPerKey) {
    const struct {
        std::vector<TLocEffect> before;
        TLocEffect added;
        std::vector<TLocEffect> after;
    } cases[] = {
        {{}, {1, 10}, {{1, 10}}},
        {{{2, 1}}, {1, 10}, {{2, 1}, {1, 10}}},
        {{{1, 5}, {2, 1}, {1, 6}}, {1, 10}, {{2, 1}, {1, 10}}},
        {{{1, 10}}, {1, 10}, {{1, 10}}},
        {{{0, 1}, {0xFFFFFFFF, 2}}, {0xFFFFFFFF, 3}, {{0, 1}, {0xFFFFFFFF, 3}}},
    };
    for (const auto& c : cases) {
        CLoc loc;
        loc.GetEffects() = c.before;
        loc.AddEffect(c.added);
        EXPECT_EQ(loc.GetEffects(), c.after);
    }
}

// --- Time catching up ----------------------------------------------------------------------------------------

class LocCatchUp : public LocCells {
protected:
    void SetUp() override {
        LocCells::SetUp();
        m_game.SetHero(&m_hero);
        Paint(m_loc, {"....#.", "....#.", "....#."});
        m_hero.x = 0;
        m_hero.y = 0;
        m_loc.cellFlags = 4;
    }
    std::vector<CItem>& Pile(uint16_t x, uint16_t y) { return m_loc.GetItemPiles().At(x, y); }
    CTestLoc m_loc;
    CHero m_hero;
};

TEST_F(LocCatchUp, ValuablesThatCanReachTheHeroVanish) {
    // Valuable: money, or a kind's value x count of at least 10.
    const struct {
        const char* what;
        uint64_t elapsed;
        uint32_t cellFlags;
        TPoint cell;
        std::vector<CItem> pile;
        size_t left;
    } cases[] = {
        {"an hour is not more than an hour", 3600, 4, {3, 2}, {CItem(kMoney, 1)}, 1},
        {"just over an hour", 3601, 4, {3, 2}, {CItem(kMoney, 1)}, 0},
        {"the world cell keeps them", 3601, 0, {3, 2}, {CItem(kMoney, 1)}, 1},
        {"other flags", 3601, 0xFB, {3, 2}, {CItem(kMoney, 1)}, 1},
        {"a wall between", 7200, 4, {5, 1}, {CItem(kMoney, 1)}, 1},
        {"no money left", 7200, 4, {3, 2}, {CItem(kMoney, 0)}, 1},
        {"worth 10", 7200, 4, {3, 2}, {CItem(kCoin, 2)}, 0},
        {"worth 5", 7200, 4, {3, 2}, {CItem(kCoin, 1)}, 1},
        {"worthless", 7200, 4, {3, 2}, {CItem(kSword, 100)}, 1},
        {"only the valuables",
         7200,
         4,
         {3, 2},
         {CItem(kKey, 1), CItem(kMoney, 3), CItem(kCoin, 1), CItem(kCoin, 9, false, 1)},
         2},
        {"on the hero's own cell", 7200, 4, {0, 0}, {CItem(kMoney, 1)}, 0},
        {"on a wall", 7200, 4, {4, 0}, {CItem(kMoney, 1)}, 1},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        Paint(m_loc, {"....#.", "....#.", "....#."});
        m_loc.cellFlags = c.cellFlags;
        Pile(static_cast<uint16_t>(c.cell.x), static_cast<uint16_t>(c.cell.y)) = c.pile;
        m_loc.CatchUpTime(c.elapsed);
        EXPECT_EQ(Pile(static_cast<uint16_t>(c.cell.x), static_cast<uint16_t>(c.cell.y)).size(), c.left);
    });
}

TEST_F(LocCatchUp, CreaturesDoNotStopThemAndTheHeroMustBeThere) {
    Paint(m_loc, {"...", "###", "..."});
    m_loc.GetTerrain().At(1, 1) = 0; // one gap in the wall
    AddMonster(m_loc, kRat, 1, 1);   // and a rat in it
    m_hero.x = 0;
    m_hero.y = 0;
    Pile(2, 2) = {CItem(kMoney, 1)};
    m_loc.CatchUpTime(7200);
    EXPECT_TRUE(Pile(2, 2).empty());
    EXPECT_EQ(m_loc.GetPathGridMode(), kCreaturesDoNotBlock);

    for (const TPoint away : {TPoint{3, 0}, TPoint{0, 3}}) {
        m_hero.x = static_cast<uint32_t>(away.x);
        m_hero.y = static_cast<uint32_t>(away.y);
        Pile(2, 2) = {CItem(kMoney, 1)};
        m_loc.CatchUpTime(7200);
        EXPECT_EQ(Pile(2, 2).size(), 1u);
    }
    m_game.SetHero(nullptr);
    m_loc.CatchUpTime(7200);
    EXPECT_EQ(Pile(2, 2).size(), 1u);
}

TEST_F(LocCatchUp, NoSearchWithoutValuables) {
    Pile(1, 1) = {CItem(kSword, 1)};
    m_loc.CatchUpTime(7200);
    EXPECT_FALSE(m_loc.IsPassabilityValid());
}

TEST_F(LocCatchUp, OneFloodAnswersAsASearchFromEachPile) {
    // Random walls, creatures and piles; a pile's valuables vanish exactly
    // when the search from its cell to the hero would find him.
    CSeeded seeded(2024);
    for (int round = 0; round < 300; ++round) {
        const auto width = static_cast<uint16_t>(vek::RandomRange(1, 12));
        const auto height = static_cast<uint16_t>(vek::RandomRange(1, 9));
        const int32_t wallChance = vek::RandomRange(0, 60);
        std::vector<std::string> rows(height, std::string(width, '.'));
        for (std::string& row : rows) {
            for (char& cell : row) {
                if (vek::RandomRange(0, 99) < wallChance) {
                    cell = '#';
                }
            }
        }
        Paint(m_loc, rows);
        CLoc reference;
        Paint(reference, rows);
        m_hero.x = static_cast<uint32_t>(vek::RandomRange(0, width - 1));
        m_hero.y = static_cast<uint32_t>(vek::RandomRange(0, height - 1));
        std::vector<TPoint> piles;
        for (uint16_t y = 0; y < height; ++y) {
            for (uint16_t x = 0; x < width; ++x) {
                const int32_t roll = vek::RandomRange(0, 9);
                if (roll < 3) {
                    Pile(x, y) = {CItem(kMoney, 1)};
                    piles.push_back({x, y});
                } else if (roll == 3 && (x != m_hero.x || y != m_hero.y)) {
                    AddMonster(m_loc, kRat, x, y);
                    AddMonster(reference, kRat, x, y);
                }
            }
        }
        m_loc.CatchUpTime(7200);
        for (const TPoint pile : piles) {
            TPath path;
            const bool reaches = reference.FindWay(0, 1, {}, path, true, true, pile.x, pile.y,
                                                   static_cast<int32_t>(m_hero.x), static_cast<int32_t>(m_hero.y));
            EXPECT_EQ(Pile(static_cast<uint16_t>(pile.x), static_cast<uint16_t>(pile.y)).empty(), reaches)
                << "round " << round << " pile " << pile.x << "," << pile.y;
        }
    }
}

TEST_F(LocCatchUp, RemainsAndPerishablesAge) {
    const struct {
        const char* what;
        CItem item;
        uint32_t age;
        uint64_t elapsed;
        uint32_t ageAfter;
        int durabilityAfter; // -1: worn out and gone
    } cases[] = {
        {"a corpse, two hours and a bit", CItem(kRatCorpse, 1), 0, 7300, 100, 22},
        {"reaching the hour", CItem(kRatCorpse, 1), 3500, 100, 0, 23},
        {"just short of it", CItem(kRatCorpse, 1), 3500, 99, 3599, 24},
        {"rotted away", CItem(kRatCorpse, 1), 0, 24 * 3600, 0, -1},
        {"bread, three hours", CItem(kBread, 2), 0, 3 * 3600, 0, -1},
        {"bread, two hours", CItem(kBread, 2), 0, 2 * 3600 + 5, 5, 1},
        {"a sword does not age", CItem(kSword, 1), 7, 10 * 3600, 7, 50},
        {"an unknown corpse ages but does not wear", CItem(kCorpseBase + 40, 1), 0, 3700, 100, 0},
        {"ages beyond 32 bits", CItem(kRatCorpse, 1), 4000000000u, uint64_t{1} << 40, 0, -1},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        CItem item = c.item;
        item.age = c.age;
        Pile(1, 1) = {item};
        m_loc.CatchUpTime(c.elapsed);
        if (c.durabilityAfter < 0) {
            EXPECT_TRUE(Pile(1, 1).empty());
            return;
        }
        ASSERT_EQ(Pile(1, 1).size(), 1u);
        EXPECT_EQ(Pile(1, 1)[0].age, c.ageAfter);
        EXPECT_EQ(Pile(1, 1)[0].durability, c.durabilityAfter);
    });
    // Items already worn out go whatever the time.
    CItem broken(kSword, 1);
    broken.durability = 0;
    Pile(2, 2) = {broken, CItem(kKey, 1)};
    m_loc.CatchUpTime(1);
    ASSERT_EQ(Pile(2, 2).size(), 1u);
    EXPECT_EQ(Pile(2, 2)[0].type, kKey);
}

TEST_F(LocCatchUp, ZeroAsksTheGameForTheTimeAway) {
    const struct {
        uint64_t exitTime;
        size_t left;
    } cases[] = {{10000 - 3601, 0}, {10000 - 3600, 1}, {20000, 1}};
    for (const auto& c : cases) {
        m_game.SetClock(10000);
        m_game.SetCurrentLocExitTime(c.exitTime);
        Pile(1, 1) = {CItem(kMoney, 1)};
        m_loc.CatchUpTime(0);
        EXPECT_EQ(Pile(1, 1).size(), c.left) << c.exitTime;
    }
}

TEST_F(LocCatchUp, OnlyTheListedCellsCatchUp) {
    Pile(1, 1) = {CItem(kMoney, 1)};
    Pile(2, 2) = {CItem(kMoney, 1)};
    const std::vector<TPoint> cells{{2, 2}, {9, 9}, {-1, 0}};
    m_loc.CatchUpTime(7200, &cells);
    EXPECT_EQ(Pile(1, 1).size(), 1u);
    EXPECT_TRUE(Pile(2, 2).empty());
}

TEST_F(LocCatchUp, GrowingSpotsLiveAndDieByTheirNeighbours) {
    // 'L' a living spot of appearance 1, 'l' a living one of appearance 2,
    // 'd' a dead spot of appearance 1; the centre (1, 1) is the one listed.
    const struct {
        const char* what;
        std::vector<std::string> rows;
        uint32_t valueAfter;
    } cases[] = {
        {"dead, three alike: born", {"LL.", ".d.", "L.."}, 1},
        {"dead, two alike", {"LL.", ".d.", "..."}, 0},
        {"dead, two alike and another", {"LL.", ".d.", "l.."}, 0},
        {"dead, three alike and another", {"LLL", ".d.", "l.."}, 0},
        {"dead, three dead alike", {"dd.", ".d.", "d.."}, 0},
        {"living, one alike: dies", {"L..", ".L.", "..."}, 0},
        {"living, two alike", {"L..", ".L.", "..L"}, 1},
        {"living, three alike", {"LL.", ".L.", "..L"}, 1},
        {"living, two alike and one other", {"L.l", ".L.", "..L"}, 1},
        {"living, two alike and two others: crowded", {"Lll", ".L.", "..L"}, 0},
        {"living, four alike: crowded", {"LLL", ".L.", "..L"}, 0},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        m_game.SetClock(20);
        Paint(m_loc, c.rows);
        for (uint16_t y = 0; y < 3; ++y) {
            for (uint16_t x = 0; x < 3; ++x) {
                const char k = c.rows[y][x];
                if (k != '.') {
                    m_loc.SetSpecialObject(x, y, kSpecialGrowingSpot, k == 'l' ? 2 : 1, k == 'd' ? 0 : 1, L"");
                }
            }
        }
        const std::vector<TPoint> centre{{1, 1}};
        m_loc.CatchUpTime(5, &centre);
        EXPECT_EQ(m_loc.GetSpecialObjects().At(1, 1).value, c.valueAfter);
        // Not on a clock that is no multiple of 10.
        m_loc.GetSpecialObjects().At(1, 1).value = c.rows[1][1] == 'd' ? 0 : 1;
        m_game.SetClock(21);
        m_loc.CatchUpTime(5, &centre);
        EXPECT_EQ(m_loc.GetSpecialObjects().At(1, 1).value, c.rows[1][1] == 'd' ? 0u : 1u);
    });
}

TEST_F(LocCatchUp, GrowingSpotsChangeOneAtATime) {
    // Listed in this order, the first to come alive is counted by the next.
    m_game.SetClock(30);
    Paint(m_loc, {"LLL.", "dd..", "...."});
    for (const TPoint p : {TPoint{0, 0}, TPoint{1, 0}, TPoint{2, 0}}) {
        m_loc.SetSpecialObject(static_cast<uint16_t>(p.x), static_cast<uint16_t>(p.y), kSpecialGrowingSpot, 1, 1, L"");
    }
    m_loc.SetSpecialObject(1, 1, kSpecialGrowingSpot, 1, 0, L"");
    m_loc.SetSpecialObject(2, 1, kSpecialGrowingSpot, 1, 0, L"");
    const std::vector<TPoint> listed{{1, 1}, {2, 1}};
    m_loc.CatchUpTime(5, &listed);
    EXPECT_EQ(m_loc.GetSpecialObjects().At(1, 1).value, 1u); // three alike above
    EXPECT_EQ(m_loc.GetSpecialObjects().At(2, 1).value, 1u); // two above and the newborn
    // A corner spot counts only the neighbours inside.
    Paint(m_loc, {"dL", "LL"});
    m_loc.SetSpecialObject(0, 0, kSpecialGrowingSpot, 1, 0, L"");
    for (const TPoint p : {TPoint{1, 0}, TPoint{0, 1}, TPoint{1, 1}}) {
        m_loc.SetSpecialObject(static_cast<uint16_t>(p.x), static_cast<uint16_t>(p.y), kSpecialGrowingSpot, 1, 1, L"");
    }
    const std::vector<TPoint> corner{{0, 0}};
    m_loc.CatchUpTime(5, &corner);
    EXPECT_EQ(m_loc.GetSpecialObjects().At(0, 0).value, 1u);
}

} // namespace
