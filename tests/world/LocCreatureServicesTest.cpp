#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "rules/Group.h"
#include "rules/Hero.h"
#include "tests/support/Files.h"
#include "tests/world/Cases.h"
#include "tests/world/LocServices.h"
#include "world/Loc.h"

namespace {

using vek::TPoint;
using worldtest::AddMonster;
using worldtest::AddNpc;
using worldtest::CConsoleText;
using worldtest::CExpectedRand;
using worldtest::CSeeded;
using worldtest::CTestLoc;
using worldtest::kRat;
using worldtest::kTroll;
using worldtest::Layer;
using worldtest::Paint;

constexpr uint32_t kHero = CGroupMember::kHeroId;

class LocCreatureServices : public worldtest::GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        m_game.SetHero(&m_hero);
    }
    void TearDown() override {
        g_groupList.Clear();
        GameFixture::TearDown();
    }
    CGroup& AddGroup(const std::wstring& name, std::vector<uint32_t> members, std::vector<uint32_t> former) {
        auto* group = new CGroup(name);
        group->members = std::move(members);
        group->formerMembers = std::move(former);
        g_groupList.Get().push_back(group);
        return *group;
    }
    CHero m_hero;
};

// --- Finding creatures -------------------------------------------------------------------------------

TEST_F(LocCreatureServices, GetMonsterByLocalId) {
    CLoc loc;
    Paint(loc, {"...."});
    CMonster& a = AddMonster(loc, kRat, 0, 0);
    CMonster& b = AddMonster(loc, kRat, 1, 0);
    CMonster& c = AddMonster(loc, kRat, 2, 0);
    const struct {
        uint16_t id;
        CMonster* creature;
        const wchar_t* error;
    } cases[] = {
        {0, &a, nullptr},
        {1, &b, nullptr},
        {2, &c, nullptr}, // the last
        {3, nullptr, L"GetMonster failed, localID = 3"},
        {kNoCreature, nullptr, L"GetMonster failed, localID = 65534"},
        {kHeroCell, nullptr, L"GetMonster failed, localID = 65535"},
    };
    for (const auto& t : cases) {
        if (t.error == nullptr) {
            EXPECT_EQ(loc.GetMonster(t.id), t.creature) << t.id;
            continue;
        }
        try {
            loc.GetMonster(t.id);
            ADD_FAILURE() << t.id;
        } catch (const vek::CException& e) {
            EXPECT_EQ(e.GetDetails(), t.error);
            EXPECT_EQ(e.GetFunction(), L"CLoc::GetMonster");
            EXPECT_EQ(e.GetSourceFile(), L"Loc");
        }
    }
}

TEST_F(LocCreatureServices, CreaturesOnCells) {
    CLoc loc;
    Paint(loc, {"....."});
    CMonster& rat = AddMonster(loc, kRat, 0, 0);
    CNpc& miller = AddNpc(loc, L"Miller", 1, 0);
    loc.GetCreatureIds().At(2, 0) = kHeroCell;
    loc.GetCreatureIds().At(3, 0) = 2; // one beyond the list
    const struct {
        uint16_t x;
        CMonster* creature;
        CNpc* npc;
    } cases[] = {
        {0, &rat, nullptr}, {1, &miller, &miller}, {2, nullptr, nullptr}, {3, nullptr, nullptr}, {4, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(loc.GetCreatureAt(c.x, 0), c.creature) << c.x;
        EXPECT_EQ(loc.GetNpcAt(c.x, 0), c.npc) << c.x;
    }
}

TEST_F(LocCreatureServices, RemoveMonsterLeavesTheHeroAndClearsWholeBlocks) {
    CLoc loc;
    Paint(loc, {"......", "......", "......"});
    CMonster& troll = AddMonster(loc, kTroll, 0, 0);
    loc.GetCreatureIds().At(5, 0) = kHeroCell;
    loc.GetCreatureIds().At(5, 1) = 9; // names no creature
    CConsoleText console;
    loc.RemoveMonster(5, 0);
    loc.RemoveMonster(5, 1);
    EXPECT_EQ(Layer(loc), (std::vector<std::string>{"0000.@", "0000..", "0000.."}));
    // Any cell of the block takes the troll off all of it.
    loc.RemoveMonster(2, 1);
    EXPECT_EQ(troll.hitPoints, 0);
    EXPECT_EQ(Layer(loc), (std::vector<std::string>{".....@", "......", "......"}));
    EXPECT_EQ(console.Text(), "");
}

TEST_F(LocCreatureServices, SwapMonstersMovesOccupantsAndPositions) {
    enum : uint16_t { kRatId = 0, kNpcId = 1 };
    const struct {
        const char* what;
        TPoint from;
        TPoint to;
        std::string after;
        TPoint rat;
        TPoint npc;
        TPoint hero;
    } cases[] = {
        {"rat onto an empty cell", {0, 0}, {3, 0}, ".1@0", {3, 0}, {1, 0}, {2, 0}},
        {"empty cell with the rat", {3, 0}, {0, 0}, ".1@0", {3, 0}, {1, 0}, {2, 0}},
        {"rat and NPC", {0, 0}, {1, 0}, "10@.", {1, 0}, {0, 0}, {2, 0}},
        {"NPC and hero", {1, 0}, {2, 0}, "0@1.", {0, 0}, {2, 0}, {1, 0}},
        {"a cell with itself", {0, 0}, {0, 0}, "01@.", {0, 0}, {1, 0}, {2, 0}},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        CLoc loc;
        Paint(loc, {"...."});
        CMonster& rat = AddMonster(loc, kRat, 0, 0);
        CNpc& npc = AddNpc(loc, L"Miller", 1, 0);
        loc.GetCreatureIds().At(2, 0) = kHeroCell;
        m_hero.x = 2;
        m_hero.y = 0;
        loc.SwapMonsters(c.from, c.to);
        EXPECT_EQ(Layer(loc)[0], c.after);
        EXPECT_EQ((TPoint{static_cast<int32_t>(rat.x), static_cast<int32_t>(rat.y)}), c.rat);
        EXPECT_EQ((TPoint{static_cast<int32_t>(npc.x), static_cast<int32_t>(npc.y)}), c.npc);
        EXPECT_EQ((TPoint{static_cast<int32_t>(m_hero.x), static_cast<int32_t>(m_hero.y)}), c.hero);
        EXPECT_EQ(loc.GetCreatureAt(static_cast<uint16_t>(rat.x), 0), &rat);
    });
    CLoc loc;
    Paint(loc, {"...."});
    AddMonster(loc, kRat, 3, 0);
    // The layer refuses the cell, with the coordinates as its 16-bit
    // subscript sees them.
    const struct {
        TPoint outside;
        std::wstring where;
    } outsideCases[] = {
        {{4, 0}, L"X=4, Y=0"},      {{-1, 0}, L"X=65535, Y=0"},    {{0, 1}, L"X=0, Y=1"},
        {{3, -2}, L"X=3, Y=65534"}, {{65536, 0}, L"X=65535, Y=0"}, // would wrap onto column 0
    };
    for (const auto& c : outsideCases) {
        for (const bool outsideFirst : {false, true}) {
            const auto e = testsupport::Thrown<vek::CException>([&] {
                outsideFirst ? loc.SwapMonsters(c.outside, {3, 0}) : loc.SwapMonsters({3, 0}, c.outside);
            });
            ASSERT_TRUE(e.has_value());
            EXPECT_EQ(e->GetFunction(), L"vek::CMap<unsigned short>::At");
            EXPECT_EQ(e->GetLine(), 190);
            EXPECT_EQ(e->GetDetails(), L"Invalid array subscript, CMap class\r\n" + c.where + L", array size 4x1");
        }
    }
    EXPECT_EQ(Layer(loc)[0], "...0");
}

// --- Hostility and life -------------------------------------------------------------------------------

TEST_F(LocCreatureServices, HostileMonstersAreLivingFoesOfTheHero) {
    const struct {
        const char* what;
        std::vector<uint32_t> foes;
        std::vector<uint32_t> friends;
        uint16_t hitPoints;
        uint8_t stateByte;
        bool hostile;
    } cases[] = {
        {"no foes", {}, {}, 5, CGroupMember::kActive, false},
        {"the hero a foe", {3, kHero}, {}, 5, CGroupMember::kActive, true},
        {"one hit point left", {kHero}, {}, 1, CGroupMember::kActive, true},
        {"dead", {kHero}, {}, 0, CGroupMember::kActive, false},
        {"the hero a friend", {}, {kHero}, 5, CGroupMember::kActive, false},
        {"another creature a foe", {0}, {}, 5, CGroupMember::kActive, false},
        {"inactive, hit points count", {kHero}, {}, 5, 0, true},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        CLoc loc;
        Paint(loc, {".."});
        EXPECT_FALSE(loc.HasHostileMonsters());
        AddMonster(loc, kRat, 0, 0);
        CMonster& other = AddMonster(loc, kRat, 1, 0);
        other.hostile = c.foes;
        other.friendly = c.friends;
        other.hitPoints = c.hitPoints;
        other.stateByte = c.stateByte;
        EXPECT_EQ(loc.HasHostileMonsters(), c.hostile);
    });
}

TEST_F(LocCreatureServices, IsCreatureAliveByGlobalId) {
    CLoc empty;
    EXPECT_TRUE(empty.IsCreatureAlive(kHero));
    EXPECT_FALSE(empty.IsCreatureAlive(0));

    CLoc loc;
    Paint(loc, {"..."});
    AddMonster(loc, kRat, 0, 0);
    AddMonster(loc, kRat, 1, 0).hitPoints = 0;
    AddMonster(loc, kRat, 2, 0).stateByte = 0;
    const struct {
        uint32_t id;
        bool alive;
    } cases[] = {{0, true}, {1, false}, {2, true}, {3, false}, {0x10000, false}, {kHero, true}, {kHero + 1, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(loc.IsCreatureAlive(c.id), c.alive) << c.id;
    }
}

TEST_F(LocCreatureServices, FindAdjacentObjectAnswersTheDirectionPlusOne) {
    constexpr uint16_t kTile = 221;
    // The neighbour of (1, 1) in each direction 1 to 8.
    const TPoint around[] = {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}};
    for (int32_t d = 1; d <= 8; ++d) {
        CLoc loc;
        Paint(loc, {"...", "...", "..."});
        const TPoint cell = around[d - 1];
        loc.GetObjects().At(static_cast<uint16_t>(cell.x), static_cast<uint16_t>(cell.y)) = kTile;
        EXPECT_EQ(loc.FindAdjacentObject({1, 1}, kTile), d + 1) << d;
        EXPECT_EQ(loc.FindAdjacentObject({1, 1}, kTile + 1), -1) << d;
        // The cell itself is no neighbour of its own.
        EXPECT_EQ(loc.FindAdjacentObject(cell, kTile), -1) << d;
    }
    CLoc loc;
    Paint(loc, {"...", "...", "..."});
    loc.GetObjects().At(2, 2) = kTile;
    loc.GetObjects().At(1, 2) = kTile;
    EXPECT_EQ(loc.FindAdjacentObject({1, 1}, kTile), 6); // south-east (5) first
    // Corners and cells beyond the edge look only at neighbours inside.
    EXPECT_EQ(loc.FindAdjacentObject({2, 1}, kTile), 7); // (2, 2): direction 6
    EXPECT_EQ(loc.FindAdjacentObject({3, 3}, kTile), 2); // (2, 2): direction 1
    EXPECT_EQ(loc.FindAdjacentObject({0, 0}, kTile), -1);
    EXPECT_EQ(loc.FindAdjacentObject({-5, 9}, kTile), -1);
}

// --- Compaction ------------------------------------------------------------------------------------------

TEST_F(LocCreatureServices, CompactionCarriesCompanionsAndGroups) {
    // Kill creature 2 of 5: 3 and 4 become 2 and 3 everywhere they are named.
    CLoc loc;
    Paint(loc, {"....."});
    std::vector<CMonster*> c;
    for (uint32_t x = 0; x < 5; ++x) {
        c.push_back(&AddMonster(loc, kRat, x, 0));
    }
    c[0]->hostile = {3};
    c[1]->friendly = {4, 2};
    m_hero.companions = {3, 2, 0x10003, 4, 1};
    CGroup& guards = AddGroup(L"guards", {0, 2, 4, 0x10004}, {3});
    CGroup& other = AddGroup(L"other", {2}, {});
    loc.RemoveMonster(2, 0);
    loc.ConvertMonsterIds();

    ASSERT_EQ(loc.GetCreatures().size(), 4u);
    EXPECT_EQ(c[3]->localId, 2);
    EXPECT_EQ(c[4]->globalId, 3u);
    EXPECT_EQ(c[0]->hostile, (std::vector<uint32_t>{2}));
    EXPECT_EQ(c[1]->friendly, (std::vector<uint32_t>{3}));
    // Other locations' ids stay; the dead one's leave; order is kept.
    EXPECT_EQ(m_hero.companions, (std::vector<uint32_t>{2, 0x10003, 3, 1}));
    EXPECT_EQ(guards.members, (std::vector<uint32_t>{0, 3, 0x10004}));
    EXPECT_EQ(guards.formerMembers, (std::vector<uint32_t>{2}));
    EXPECT_TRUE(other.members.empty());

    // Nothing dead: every id stays, and so do the lists.
    loc.ConvertMonsterIds();
    EXPECT_EQ(m_hero.companions, (std::vector<uint32_t>{2, 0x10003, 3, 1}));
    EXPECT_EQ(guards.members, (std::vector<uint32_t>{0, 3, 0x10004}));
}

// A level made anew in the same location (Init) gives its new creatures
// the old ones' ids: the old ids, a dead one's too, leave every list that
// kept them; another location's id stays.
TEST_F(LocCreatureServices, InitForgetsTheOldCreaturesIds) {
    CGroup& pack = AddGroup(L"pack", {}, {});
    const struct {
        const char* what;
        std::vector<uint32_t>* ids;
    } cases[] = {
        {"the hero's companions", &m_hero.companions},
        {"a group's members", &pack.members},
        {"a group's former members", &pack.formerMembers},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        CLoc loc;
        Paint(loc, {"...."});
        AddMonster(loc, kRat, 0, 0);
        AddMonster(loc, kRat, 1, 0).hitPoints = 0;
        *c.ids = {1, 0x10000, 0};
        Paint(loc, {"...."});
        EXPECT_EQ(AddMonster(loc, kRat, 2, 0).globalId, 0u);
        EXPECT_EQ(*c.ids, std::vector<uint32_t>{0x10000});
    });
}

TEST_F(LocCreatureServices, CompactionWithoutHero) {
    m_game.SetHero(nullptr);
    CLoc loc;
    Paint(loc, {".."});
    AddMonster(loc, kRat, 0, 0).hitPoints = 0;
    AddMonster(loc, kRat, 1, 0);
    loc.ConvertMonsterIds();
    EXPECT_EQ(Layer(loc)[0], ".0");
}

// --- Placing creatures -----------------------------------------------------------------------------------

TEST_F(LocCreatureServices, PlaceNearMakesAMonsterOnTheCell) {
    const struct {
        uint32_t hostility;
        std::vector<uint32_t> foes;
    } cases[] = {{0, {}}, {1, {kHero}}, {2, {}}};
    for (const auto& c : cases) {
        CLoc loc;
        Paint(loc, {"...", "..."});
        AddMonster(loc, kRat, 0, 0);
        CMonster* placed = loc.PlaceNear(c.hostility, {0, 0}, kRat); // an occupied cell is taken as given
        ASSERT_NE(placed, nullptr);
        EXPECT_EQ(placed->hostility, c.hostility);
        EXPECT_EQ(placed->hostile, c.foes);
        EXPECT_EQ(placed->localId, 1);
        EXPECT_EQ(placed->globalId, 1u);
        EXPECT_TRUE(placed->IsAlive());
        EXPECT_EQ(Layer(loc), (std::vector<std::string>{"1..", "..."}));
    }
}

TEST_F(LocCreatureServices, PlaceNearRefusesWhatCannotBe) {
    CLoc loc;
    Paint(loc, {"...", "..."});
    for (const TPoint outside : {TPoint{3, 0}, TPoint{0, 2}, TPoint{-1, 0}, TPoint{0, -1}}) {
        EXPECT_EQ(loc.PlaceNear(1, outside, kRat), nullptr);
    }
    EXPECT_THROW(loc.PlaceNear(1, {0, 0}, 2), vek::CException); // no such kind
    EXPECT_TRUE(loc.GetCreatures().empty());
    EXPECT_EQ(Layer(loc), (std::vector<std::string>{"...", "..."}));
}

TEST_F(LocCreatureServices, PlaceNearTakesTheFirstDeadSlotAndForgetsItsId) {
    const uint32_t live = vek::GetLiveObjectCount();
    {
        CLoc loc;
        Paint(loc, {"....", "...."});
        CMonster& a = AddMonster(loc, kRat, 0, 0);
        CNpc& dead = AddNpc(loc, L"Gone", 1, 0);
        CMonster& inactive = AddMonster(loc, kRat, 2, 0);
        CMonster& c = AddMonster(loc, kRat, 3, 0);
        dead.hitPoints = 0; // still on its cell, as a kill leaves it before the cell is cleared
        inactive.stateByte = 0;
        a.hostile = {1, 3};
        c.friendly = {1, kHero};
        m_hero.companions = {1, 2};
        CGroup& group = AddGroup(L"g", {1, 3}, {1});

        CMonster* first = loc.PlaceNear(1, {1, 1}, kRat);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->localId, 1);
        EXPECT_EQ(loc.GetCreatures()[1], first);
        EXPECT_EQ(m_game.GetNpcList()[0], nullptr); // the dead NPC is gone
        EXPECT_EQ(a.hostile, (std::vector<uint32_t>{3}));
        EXPECT_EQ(c.friendly, (std::vector<uint32_t>{kHero}));
        EXPECT_EQ(m_hero.companions, (std::vector<uint32_t>{2}));
        EXPECT_EQ(group.members, (std::vector<uint32_t>{3}));
        EXPECT_TRUE(group.formerMembers.empty());
        EXPECT_EQ(first->hostile, (std::vector<uint32_t>{kHero}));

        // An inactive creature's slot is free too; then the list grows.
        CMonster* second = loc.PlaceNear(0, {2, 1}, kRat);
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(second->localId, 2);
        EXPECT_TRUE(m_hero.companions.empty());
        CMonster* third = loc.PlaceNear(0, {3, 1}, kRat);
        ASSERT_NE(third, nullptr);
        EXPECT_EQ(third->localId, 4);
        EXPECT_EQ(Layer(loc), (std::vector<std::string>{"0..3", ".124"}));
    }
    g_groupList.Clear();
    EXPECT_EQ(vek::GetLiveObjectCount(), live);
}

TEST_F(LocCreatureServices, PlaceNearClearsADeadTrollsBlockAndClipsANewOne) {
    CLoc loc;
    Paint(loc, {"......", "......", "......", "......"});
    AddMonster(loc, kTroll, 0, 0).hitPoints = 0; // killed, its cells not yet cleared
    CMonster* troll = loc.PlaceNear(0, {4, 2}, kTroll);
    ASSERT_NE(troll, nullptr);
    EXPECT_EQ(troll->localId, 0);
    EXPECT_EQ(Layer(loc), (std::vector<std::string>{"......", "......", "....00", "....00"}));
}

TEST_F(LocCreatureServices, PlaceNearWithACreatureTriesTheNeighboursInOrder) {
    // Around (1, 1): 'w' wall, 'r' a rat, 'o' a tree (a blocking object).
    const struct {
        const char* what;
        std::vector<std::string> rows;
        TPoint cell;
        bool placed;
        TPoint at;
    } cases[] = {
        {"direction 1 free", {"...", "...", "..."}, {1, 1}, true, {0, 0}},
        {"1 a wall, 2 taken", {"#r.", "...", "..."}, {1, 1}, true, {2, 0}},
        {"only direction 8", {"#ro", "..r", "rr#"}, {1, 1}, true, {0, 1}},
        {"the cell itself is not tried", {"#r#", "r.r", "r#r"}, {1, 1}, false, {}},
        {"a corner: outside skipped", {"...", "...", "..."}, {0, 0}, true, {1, 0}},
        {"beyond the edge", {"...", "...", "..."}, {-1, -1}, true, {0, 0}},
        {"far outside", {"...", "...", "..."}, {9, 9}, false, {}},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        CLoc loc;
        Paint(loc, c.rows);
        for (uint16_t y = 0; y < 3; ++y) {
            for (uint16_t x = 0; x < 3; ++x) {
                if (c.rows[y][x] == 'r') {
                    AddMonster(loc, kRat, x, y);
                } else if (c.rows[y][x] == 'o') {
                    loc.GetObjects().At(x, y) = 0;
                }
            }
        }
        const size_t before = loc.GetCreatures().size();
        auto follower = std::make_unique<CMonster>();
        follower->InitFromType(kRat, 7, 7);
        follower->hostile = {kHero};
        CMonster* raw = follower.get();
        CMonster* placed = loc.PlaceNear(c.cell, follower);
        if (!c.placed) {
            EXPECT_EQ(placed, nullptr);
            EXPECT_EQ(follower.get(), raw); // still the caller's
            EXPECT_EQ(raw->x, 7u);
            EXPECT_EQ(loc.GetCreatures().size(), before);
            return;
        }
        ASSERT_EQ(placed, raw);
        EXPECT_EQ(follower, nullptr);
        EXPECT_EQ((TPoint{static_cast<int32_t>(placed->x), static_cast<int32_t>(placed->y)}), c.at);
        EXPECT_EQ(placed->localId, before);
        EXPECT_EQ(placed->hostile, (std::vector<uint32_t>{kHero}));
        EXPECT_EQ(loc.GetCreatureAt(static_cast<uint16_t>(c.at.x), static_cast<uint16_t>(c.at.y)), placed);
    });
    CLoc loc;
    Paint(loc, {"..."});
    std::unique_ptr<CMonster> none;
    EXPECT_EQ(loc.PlaceNear({1, 0}, none), nullptr);
}

// The shuffle the summoning walk draws for each cell it leaves: each place
// from the last down to the second takes the direction at place Next() mod
// (place + 1).
std::array<uint8_t, 8> ExpectedShuffle(CExpectedRand& expected) {
    std::array<uint8_t, 8> order{1, 2, 3, 4, 5, 6, 7, 8};
    for (int32_t i = 7; i > 0; --i) {
        std::swap(order[static_cast<size_t>(i)], order[static_cast<size_t>(expected.Next() % (i + 1))]);
    }
    return order;
}

TEST_F(LocCreatureServices, SummonedMonsterGoesBesideTheCellWithoutDrawing) {
    CSeeded seeded(77);
    CLoc loc;
    Paint(loc, {"...", "...", "..."});
    AddMonster(loc, kRat, 1, 1); // the summoner
    CMonster* summoned = loc.AddSummonedMonster(kRat, {1, 1});
    ASSERT_NE(summoned, nullptr);
    EXPECT_EQ(summoned->x, 0u);
    EXPECT_EQ(summoned->y, 0u);
    EXPECT_EQ(summoned->monsterType, kRat);
    EXPECT_EQ(summoned->hitPoints, 5);
    // A troll's block must not cover the summoner: the first neighbour whose
    // block (cut at the edge) is free is north-east.
    CMonster* troll = loc.AddSummonedMonster(kTroll, {1, 1});
    ASSERT_NE(troll, nullptr);
    EXPECT_EQ(troll->x, 2u);
    EXPECT_EQ(troll->y, 0u);
    EXPECT_EQ(Layer(loc), (std::vector<std::string>{"1.2", ".02", "..2"}));
    CExpectedRand expected(77);
    EXPECT_EQ(seeded.Get().Next(), expected.Next());
}

TEST_F(LocCreatureServices, SummoningWalksOutInAShuffledOrder) {
    // A row of rats with a free cell at each end: which end the summoned
    // monster reaches first depends on whether the shuffle puts east (4)
    // before west (8).
    for (const uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u, 56576u}) {
        CSeeded seeded(seed);
        CExpectedRand expected(seed);
        const std::array<uint8_t, 8> order = ExpectedShuffle(expected);
        const bool eastFirst = std::find(order.begin(), order.end(), 4) < std::find(order.begin(), order.end(), 8);
        CLoc loc;
        Paint(loc, {"....."});
        for (uint32_t x = 1; x <= 3; ++x) {
            AddMonster(loc, kRat, x, 0);
        }
        CMonster* summoned = loc.AddSummonedMonster(kRat, {2, 0});
        ASSERT_NE(summoned, nullptr);
        EXPECT_EQ(summoned->x, eastFirst ? 4u : 0u) << seed;
        // One shuffle was drawn.
        EXPECT_EQ(seeded.Get().Next(), expected.Next()) << seed;
    }
}

TEST_F(LocCreatureServices, SummoningStopsAfterTwelveHundredCells) {
    // A corridor full of rats but for one cell: the walk tries the cells in
    // order from the west end, and the one beside the free cell is tried
    // as the free cell's number.
    const struct {
        uint16_t free;
        bool placed;
    } cases[] = {{1199, true}, {1200, true}, {1201, false}};
    for (const auto& c : cases) {
        CSeeded seeded(5);
        CLoc loc;
        loc.Init(L"corridor", 1210, 1, 0, 0);
        loc.GetTerrain().Fill(0);
        for (uint32_t x = 0; x < 1210; ++x) {
            if (x != c.free) {
                AddMonster(loc, kRat, x, 0);
            }
        }
        CMonster* summoned = loc.AddSummonedMonster(kRat, {0, 0});
        EXPECT_EQ(summoned != nullptr, c.placed) << c.free;
        if (summoned != nullptr) {
            EXPECT_EQ(summoned->x, c.free);
        } else {
            EXPECT_EQ(loc.GetCreatures().size(), 1209u);
        }
    }
}

TEST_F(LocCreatureServices, SummoningKeepsToPassableCells) {
    CSeeded seeded(9);
    const struct {
        const char* what;
        std::vector<std::string> rows;
        bool placed;
    } cases[] = {
        {"boxed in by walls", {"#####", "#rrr#", "#####"}, false},
        {"a wall between it and the free cell", {"rrr#."}, false},
        {"a gap in the wall", {"rr..."}, true},
    };
    worldtest::ForEachCase(cases, [&](const auto& c) {
        CLoc loc;
        Paint(loc, c.rows);
        for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
            for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
                if (c.rows[y][x] == 'r') {
                    AddMonster(loc, kRat, x, y);
                }
            }
        }
        const size_t before = loc.GetCreatures().size();
        const TPoint start = c.rows.size() == 1 ? TPoint{0, 0} : TPoint{1, 1};
        CMonster* summoned = loc.AddSummonedMonster(kRat, start);
        EXPECT_EQ(summoned != nullptr, c.placed);
        EXPECT_EQ(loc.GetCreatures().size(), before + (c.placed ? 1 : 0));
    });
    CLoc loc;
    Paint(loc, {"..."});
    EXPECT_EQ(loc.AddSummonedMonster(kRat, {3, 0}), nullptr);
    EXPECT_THROW(loc.AddSummonedMonster(7, {0, 0}), vek::CException);
    EXPECT_TRUE(loc.GetCreatures().empty());
}

// --- NPCs at home ------------------------------------------------------------------------------------------

TEST_F(LocCreatureServices, ActivateNpcShowsItInItsHomeLocation) {
    CTestLoc home;
    Paint(home, {"...", "..."});
    home.SetFileName(L"home.map");
    AddMonster(home, kRat, 0, 0);
    CNpc& miller = AddNpc(home, L"Miller", 2, 1); // type 3, home "home.map"
    m_game.GetNpcList().insert(m_game.GetNpcList().begin(), nullptr);
    CTestLoc here;
    Paint(here, {"."});
    here.loaded[L"home.map"] = &home;

    here.ActivateNPC(3, false);
    EXPECT_EQ(home.GetCreatureIds().At(2, 1), kNoCreature);
    EXPECT_EQ(miller.hitPoints, 5); // only its cell changes
    here.ActivateNPC(3, true);
    EXPECT_EQ(home.GetCreatureIds().At(2, 1), 1);

    // A location that does not list it keeps its cells.
    CTestLoc elsewhere;
    Paint(elsewhere, {"...", "..."});
    AddMonster(elsewhere, kRat, 2, 1);
    AddMonster(elsewhere, kRat, 0, 0);
    here.loaded[L"home.map"] = &elsewhere;
    here.ActivateNPC(3, false);
    here.ActivateNPC(3, true);
    EXPECT_EQ(elsewhere.GetCreatureIds().At(2, 1), 0);
}

TEST_F(LocCreatureServices, ActivateNpcErrors) {
    CTestLoc here;
    Paint(here, {"..."});
    AddNpc(here, L"Miller", 0, 0);
    const struct {
        uint16_t type;
        const wchar_t* error;
    } cases[] = {
        {7, L"NPC not found - type ID: 7"},
        {2, L"NPC not found - type ID: 2"},
        {3, L"No starting location for NPC Miller (home.map)."}, // not loaded
    };
    for (const auto& c : cases) {
        try {
            here.ActivateNPC(c.type, true);
            ADD_FAILURE() << c.type;
        } catch (const vek::CException& e) {
            EXPECT_EQ(e.GetDetails(), c.error);
            EXPECT_EQ(e.GetFunction(), L"CLoc::ActivateNPC");
        }
    }
    EXPECT_EQ(here.GetCreatureIds().At(0, 0), 0);
}

} // namespace
