#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/Files.h"
#include "tests/support/TextConsole.h"
#include "tests/world/LocServices.h"
#include "world/Loc.h"

namespace {

using worldtest::AddMonster;
using worldtest::AddNpc;
using worldtest::kRat;
using worldtest::kTroll;
using worldtest::Layer;

class LocCreatures : public worldtest::GameFixture {};

TEST_F(LocCreatures, AddedCreaturesGetIdsAndCells) {
    CLoc loc;
    loc.Init(L"x", 4, 3, 0, 0);
    CMonster& rat = AddMonster(loc, kRat, 1, 1);
    CNpc& miller = AddNpc(loc, L"Miller", 3, 2);
    EXPECT_EQ(rat.localId, 0);
    EXPECT_EQ(rat.globalId, 0u); // not bound to the world: location index 0
    EXPECT_EQ(miller.localId, 1);
    EXPECT_EQ(miller.globalId, 1u);
    EXPECT_TRUE(miller.IsAlive());
    EXPECT_EQ(loc.GetCreatureAt(1, 1), &rat);
    EXPECT_EQ(loc.GetCreatureAt(0, 0), nullptr);
    EXPECT_EQ(Layer(loc), (std::vector<std::string>{"....", ".0..", "...1"}));
    ASSERT_EQ(m_game.GetNpcList().size(), 1u);
    EXPECT_EQ(m_game.GetNpcList()[0], &miller);
    EXPECT_EQ(miller.npcIndex, 0u);

    auto outside = std::make_unique<CMonster>();
    outside->InitFromType(kRat, 4, 0);
    EXPECT_THROW(loc.AddCreature(std::move(outside)), vek::CException);
    EXPECT_EQ(loc.GetCreatures().size(), 2u);
}

TEST_F(LocCreatures, LargeCreatureFillsItsBlockClipped) {
    CLoc loc;
    loc.Init(L"x", 6, 4, 0, 0);
    AddMonster(loc, kTroll, 0, 0);
    AddMonster(loc, kTroll, 4, 2);
    AddMonster(loc, kRat, 5, 0);
    EXPECT_EQ(Layer(loc), (std::vector<std::string>{"0000.2", "0000..", "000011", "....11"}));
    loc.GetCreatureIds().Fill(kNoCreature);
    loc.RebuildCreatureLayer();
    EXPECT_EQ(Layer(loc), (std::vector<std::string>{"0000.2", "0000..", "000011", "....11"}));
}

TEST_F(LocCreatures, RebuildSkipsTheDeadAndTheInactive) {
    CLoc loc;
    loc.Init(L"x", 3, 1, 0, 0);
    AddMonster(loc, kRat, 0, 0).hitPoints = 0;
    AddMonster(loc, kRat, 1, 0).stateByte = 0;
    AddMonster(loc, kRat, 2, 0);
    loc.RebuildCreatureLayer();
    EXPECT_EQ(Layer(loc), (std::vector<std::string>{"..2"}));
}

TEST_F(LocCreatures, InitClearAndDestructionDeleteCreaturesAndTheirNpcEntries) {
    const uint32_t live = vek::GetLiveObjectCount();
    {
        CLoc loc;
        loc.Init(L"x", 3, 3, 0, 0);
        AddNpc(loc, L"A", 0, 0);
        AddMonster(loc, kRat, 1, 0);
        loc.Init(L"y", 3, 3, 0, 0); // forgets nothing: deletes
        EXPECT_TRUE(loc.GetCreatures().empty());
        ASSERT_EQ(m_game.GetNpcList().size(), 1u);
        EXPECT_EQ(m_game.GetNpcList()[0], nullptr);

        AddNpc(loc, L"B", 0, 0);
        loc.Clear();
        EXPECT_TRUE(loc.GetCreatures().empty());
        EXPECT_EQ(m_game.GetNpcList()[1], nullptr);

        loc.Init(L"z", 3, 3, 0, 0);
        AddNpc(loc, L"C", 0, 0);
    }
    EXPECT_EQ(m_game.GetNpcList().size(), 3u);
    EXPECT_EQ(m_game.GetNpcList()[2], nullptr);
    EXPECT_EQ(vek::GetLiveObjectCount(), live);
}

TEST_F(LocCreatures, RemoveMonster) {
    CLoc loc;
    loc.Init(L"x", 3, 1, 0, 0);
    CMonster& rat = AddMonster(loc, kRat, 0, 0);
    CNpc& npc = AddNpc(loc, L"A", 1, 0);
    loc.ClearMonsterCell(0, 0); // not an NPC: nothing
    EXPECT_EQ(rat.hitPoints, 5);
    EXPECT_EQ(Layer(loc), (std::vector<std::string>{"01."}));

    loc.RemoveMonster(0, 0);
    EXPECT_EQ(rat.hitPoints, 0);
    loc.RemoveMonster(1, 0);
    EXPECT_EQ(npc.hitPoints, 0);
    EXPECT_EQ(Layer(loc), (std::vector<std::string>{"..."}));
    EXPECT_EQ(loc.GetCreatures().size(), 2u); // listed until compaction

    testsupport::CConsoleCapture console;
    loc.RemoveMonster(2, 0);
    EXPECT_EQ(console.Text(), "WARNING - called RemoveMonster on a cell with value NOMONSTER\n");
}

TEST_F(LocCreatures, ForgetCreatureEmptiesBothLists) {
    CLoc loc;
    loc.Init(L"x", 3, 1, 0, 0);
    CMonster& a = AddMonster(loc, kRat, 0, 0);
    CMonster& b = AddMonster(loc, kRat, 1, 0);
    a.hostile = {7, 9, 7};
    a.friendly = {7};
    b.friendly = {9, 7};
    loc.ForgetCreature(7);
    EXPECT_EQ(a.hostile, (std::vector<uint32_t>{9}));
    EXPECT_TRUE(a.friendly.empty());
    EXPECT_EQ(b.friendly, (std::vector<uint32_t>{9}));
}

TEST_F(LocCreatures, CompactionWithoutDeadKeepsIds) {
    CLoc loc;
    loc.Init(L"x", 5, 1, 0, 0);
    for (uint32_t x = 0; x < 3; ++x) {
        AddMonster(loc, kRat, x, 0).hostile = {(x + 1) % 3};
    }
    loc.ConvertMonsterIds();
    ASSERT_EQ(loc.GetCreatures().size(), 3u);
    for (uint16_t i = 0; i < 3; ++i) {
        EXPECT_EQ(loc.GetCreatures()[i]->localId, i);
        EXPECT_EQ(loc.GetCreatures()[i]->globalId, i);
        EXPECT_EQ(loc.GetCreatures()[i]->hostile, (std::vector<uint32_t>{(i + 1u) % 3}));
    }
}

TEST_F(LocCreatures, CompactionRenumbersAndCarriesRelations) {
    CLoc loc;
    loc.Init(L"x", 5, 1, 0, 0);
    std::vector<CMonster*> c;
    for (uint32_t x = 0; x < 5; ++x) {
        c.push_back(x == 2 ? static_cast<CMonster*>(&AddNpc(loc, L"Doomed", x, 0)) : &AddMonster(loc, kRat, x, 0));
    }
    c[0]->hostile = {3, 2, CGroupMember::kHeroId};
    c[0]->friendly = {4};
    c[1]->friendly = {3, 2};
    c[4]->hostile = {3};
    c[4]->friendly = {3}; // in both lists: the foe keeps it
    c[3]->hostile = {4, 0};
    loc.RemoveMonster(2, 0); // the NPC dies
    loc.ConvertMonsterIds();

    ASSERT_EQ(loc.GetCreatures().size(), 4u);
    EXPECT_EQ(loc.GetCreatures()[2], c[3]);
    EXPECT_EQ(loc.GetCreatures()[3], c[4]);
    EXPECT_EQ(c[3]->localId, 2);
    EXPECT_EQ(c[3]->globalId, 2u);
    EXPECT_EQ(c[4]->localId, 3);
    EXPECT_EQ(c[0]->hostile, (std::vector<uint32_t>{CGroupMember::kHeroId, 2}));
    EXPECT_EQ(c[0]->friendly, (std::vector<uint32_t>{3}));
    EXPECT_EQ(c[1]->friendly, (std::vector<uint32_t>{2}));
    EXPECT_EQ(c[4]->hostile, (std::vector<uint32_t>{2}));
    EXPECT_TRUE(c[4]->friendly.empty());
    EXPECT_EQ(c[3]->hostile, (std::vector<uint32_t>{0, 3}));
    EXPECT_EQ(Layer(loc), (std::vector<std::string>{"01.23"}));
    ASSERT_EQ(m_game.GetNpcList().size(), 1u);
    EXPECT_EQ(m_game.GetNpcList()[0], nullptr);
}

TEST_F(LocCreatures, CompactionMovesAllReferencesAtOnce) {
    CLoc loc;
    loc.Init(L"x", 4, 1, 0, 0);
    CMonster& a = AddMonster(loc, kRat, 0, 0);
    CMonster& b = AddMonster(loc, kRat, 1, 0);
    // Stored ids that do not follow the list order: each reference moves
    // once, to the creature it named.
    a.globalId = 5;
    b.globalId = 0;
    AddMonster(loc, kRat, 2, 0).hostile = {5, 0};
    loc.ConvertMonsterIds();
    EXPECT_EQ(a.globalId, 0u);
    EXPECT_EQ(b.globalId, 1u);
    EXPECT_EQ(loc.GetCreatures()[2]->hostile, (std::vector<uint32_t>{0, 1}));
}

TEST_F(LocCreatures, CompactionReaddsRenamedIdsInPairOrder) {
    CLoc loc;
    loc.Init(L"x", 5, 1, 0, 0);
    std::vector<CMonster*> c;
    for (uint32_t x = 0; x < 5; ++x) {
        c.push_back(&AddMonster(loc, kRat, x, 0));
    }
    // Ids that name creatures renumbered later come back in the order of the
    // renumbering (2 -> 1 before 3 -> 2 before 4 -> 3), not in list order.
    c[0]->hostile = {0x70000, 3, 2};
    c[2]->friendly = {4, 3};
    loc.RemoveMonster(1, 0);
    loc.ConvertMonsterIds();
    EXPECT_EQ(c[0]->hostile, (std::vector<uint32_t>{0x70000, 1, 2}));
    EXPECT_EQ(c[2]->friendly, (std::vector<uint32_t>{2, 3}));
}

TEST_F(LocCreatures, ResizeTakesCreaturesOutsideOffTheMap) {
    CLoc loc;
    loc.Init(L"x", 10, 10, 0, 0);
    CMonster& inside = AddMonster(loc, kRat, 7, 9);
    CMonster& column8 = AddMonster(loc, kRat, 8, 0);
    CMonster& column9 = AddMonster(loc, kRat, 9, 5);
    loc.Resize(8, 12);
    EXPECT_EQ(inside.hitPoints, 5);
    EXPECT_EQ(column8.hitPoints, 0);
    EXPECT_EQ(column9.hitPoints, 0);
    EXPECT_EQ(loc.GetCreatureIds().At(7, 9), 0);
    EXPECT_EQ(loc.GetCreatureAt(7, 9), &inside);
    EXPECT_EQ(loc.GetCreatureIds().At(7, 11), kNoCreature);
    // Kept piles move along.
    loc.GetItemPiles().At(7, 11).emplace_back(2, 1);
    loc.Resize(9, 13);
    EXPECT_EQ(loc.GetItemPiles().At(7, 11).size(), 1u);
    EXPECT_TRUE(loc.GetItemPiles().At(8, 12).empty());
}

TEST_F(LocCreatures, ResizeWarnsForEveryCreatureOutsideThatIsNotOnTheMap) {
    CLoc loc;
    loc.Init(L"x", 4, 1, 0, 0);
    CMonster& living = AddMonster(loc, kRat, 1, 0);
    CMonster& dead = AddMonster(loc, kRat, 3, 0);
    CMonster& inactive = AddMonster(loc, kRat, 2, 0);
    dead.hitPoints = 0;
    inactive.stateByte = static_cast<uint8_t>(inactive.stateByte & ~CGroupMember::kActive);
    loc.RebuildCreatureLayer();
    ASSERT_EQ(Layer(loc), (std::vector<std::string>{".0.."}));
    testsupport::CConsoleCapture console;
    loc.Resize(2, 1);
    EXPECT_EQ(console.Text(),
              "WARNING - called RemoveMonster on a cell with value NOMONSTER\n"
              "WARNING - called RemoveMonster on a cell with value NOMONSTER\n");
    EXPECT_EQ(living.hitPoints, 5);
    EXPECT_EQ(inactive.hitPoints, 5);
    // Nothing outside the old size is looked at.
    dead.x = 7;
    testsupport::CConsoleCapture quiet;
    loc.Resize(1, 1);
    EXPECT_EQ(quiet.Text(), "");
}

TEST_F(LocCreatures, RebuildingTheLayerOfNoCellsThrowsTheLayersError) {
    for (const bool cleared : {false, true}) {
        CLoc loc;
        if (cleared) {
            loc.Init(L"x", 2, 2, 0, 0);
            loc.Clear();
        }
        const auto e = testsupport::Thrown<vek::CException>([&] { loc.RebuildCreatureLayer(); });
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->GetFunction(), L"vek::CMap<unsigned short>::Resize");
        EXPECT_EQ(e->GetDetails(), L"An attempt to create a 0-element array - CMap<T>::Resize");
    }
}

} // namespace
