#include "rules/Creature.h"

#include <gtest/gtest.h>

#include "RulesFixture.h"
#include "rules/Monster.h"

namespace {

using namespace rulestest;

class CreatureTest : public CRulesTest {};

TEST_F(CreatureTest, RelationsKeepEachIdOnce) {
    const struct {
        const char* what;
        std::vector<uint32_t> friendly, hostile;
        uint32_t id;
        bool added;
        std::vector<uint32_t> hostileAfter;
    } cases[] = {
        {"new foe", {}, {}, 7, true, {7}},
        {"the hero", {}, {3}, CGroupMember::kHeroId, true, {3, CGroupMember::kHeroId}},
        {"already a foe", {}, {7}, 7, false, {7}},
        {"a friend", {7}, {}, 7, false, {}},
        {"id 0", {}, {}, 0, true, {0}},
    };
    for (const auto& c : cases) {
        CMonster m;
        m.friendly = c.friendly, m.hostile = c.hostile;
        EXPECT_EQ(m.AddHostile(c.id), c.added) << c.what;
        EXPECT_EQ(m.hostile, c.hostileAfter) << c.what;
        EXPECT_TRUE(m.IsHostile(c.id) || m.IsFriendly(c.id)) << c.what;
    }
}

TEST_F(CreatureTest, RemovalsTakeEveryEntryAndSayWhetherThereWasOne) {
    CMonster m;
    m.hostile = {4, 5, 4};
    m.friendly = {6};
    EXPECT_TRUE(m.RemoveHostile(4));
    EXPECT_EQ(m.hostile, (std::vector<uint32_t>{5}));
    EXPECT_FALSE(m.RemoveHostile(4));
    EXPECT_FALSE(m.RemoveFriendly(5));
    EXPECT_TRUE(m.RemoveFriendly(6));
    EXPECT_FALSE(m.IsFriendly(6));
    m.friendly = {1}, m.hostile = {2};
    m.ClearRelations();
    EXPECT_TRUE(m.friendly.empty());
    EXPECT_TRUE(m.hostile.empty());
}

TEST_F(CreatureTest, AliveNeedsTheActiveBitAndHitPoints) {
    const struct {
        uint8_t state;
        uint16_t hp;
        bool alive;
    } cases[] = {{1, 1, true}, {1, 0, false}, {0, 5, false}, {0xFF, 65535, true}, {0xFE, 5, false}};
    for (const auto& c : cases) {
        CMonster m;
        m.stateByte = c.state, m.hitPoints = c.hp;
        EXPECT_EQ(m.IsAlive(), c.alive) << int(c.state) << " " << c.hp;
    }
}

TEST_F(CreatureTest, DamageStopsAtZero) {
    const struct {
        uint16_t hp;
        uint32_t amount;
        uint16_t after;
    } cases[] = {{10, 0, 10}, {10, 9, 1}, {10, 10, 0}, {10, 11, 0}, {65535, 0xFFFFFFFF, 0}};
    for (const auto& c : cases) {
        CMonster m;
        m.stateByte = CGroupMember::kActive, m.hitPoints = c.hp;
        m.Damage(c.amount, 0, nullptr);
        EXPECT_EQ(m.hitPoints, c.after) << c.hp << " - " << c.amount;
    }
}

TEST_F(CreatureTest, StatesAreFoundByType) {
    CMonster m;
    EXPECT_FALSE(CState::IsState(m, CState::kPoisoned));
    m.states.push_back({CState::kBurning, 1, 10, 0});
    m.states.push_back({CState::kPoisoned, 2, 0, 7});
    EXPECT_TRUE(CState::IsState(m, CState::kPoisoned));
    EXPECT_TRUE(CState::IsState(m, CState::kBurning));
    EXPECT_FALSE(CState::IsState(m, CState::kFrozen));
}

TEST_F(CreatureTest, AttitudeIsSet) {
    CNpc npc;
    npc.SetAttitude(2);
    EXPECT_EQ(npc.attitude, 2u);
    EXPECT_EQ(npc.GetKind(), CGroupMember::kKindNpc);
    EXPECT_EQ(CMonster().GetKind(), CGroupMember::kKindMonster);
}

} // namespace
