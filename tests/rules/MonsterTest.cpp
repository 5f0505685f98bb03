#include "rules/Monster.h"

#include <gtest/gtest.h>

#include "RulesFixture.h"

namespace {

using namespace rulestest;

class MonsterTest : public CRulesTest {};

CMonster SampleMonster() {
    CMonster m;
    m.globalId = 0x00010002, m.localId = 2, m.x = 3, m.y = 4, m.hitPoints = 20, m.stateByte = 1;
    m.alerted = 0, m.hostility = 1, m.attitude = 2;
    m.friendly = {7}, m.hostile = {CGroupMember::kHeroId}, m.groups = {L"g"};
    m.states = {{CState::kPoisoned, 2, 60, CGroupMember::kHeroId}};
    m.monsterType = kWolf;
    return m;
}

// Worked out by hand from the creature block's layout.
const Bytes kMonsterBytes = {
    0x02, 0x00, 0x01, 0x00,                                                 // global id
    0x02, 0x00,                                                             // local id
    0x03, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00,                         // x, y
    0x14, 0x00,                                                             // hit points
    0x01,                                                                   // state byte
    0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, // alerted, hostility, attitude
    0x01, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00,                         // friends
    0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00,                         // foes
    0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 'g',  0x00,             // groups
    0x01, 0x00, 0x00, 0x00, 0x04, 0x00, 0x02, 0x00, 0x3C, 0x00, 0x00, 0x00, // states
    0xFF, 0xFF, 0x00, 0x00,                                                 //
    0x01, 0x00,                                                             // monster kind
};

CNpc SampleNpc() {
    CNpc npc;
    npc.npcType = 5, npc.npcIndex = 6, npc.activity = 7;
    npc.name = L"Al", npc.homeLocation = L"h", npc.scriptFile = L"s";
    npc.inventory = {{kCoin, 100}};
    npc.spells = {{1, 3}};
    npc.SetBankDeposit(0x0102A0B0);
    return npc;
}

Bytes NpcBytes() {
    Bytes b(CGroupMember::kMinStoredSize + 2, 0); // a blank creature block and monster kind 0
    const Bytes npc = {
        0x05, 0x00,                                                 // NPC type
        0x06, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00,             // NPC index, activity
        0x02, 0x00, 0x00, 0x00, 'A',  0x00, 'l',  0x00,             // name
        0x01, 0x00, 0x00, 0x00, 'h',  0x00,                         // home
        0x01, 0x00, 0x00, 0x00, 's',  0x00,                         // script file
        0x01, 0x00, 0x00, 0x00, 0x09, 0x00, 0x64, 0x00, 0x00, 0x00, // inventory
        0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x03, 0x00,             // spells
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,       // trade header
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,       //
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,             // trade lists
        0xB0, 0xA0, 0x02, 0x01,                                     // bank deposit
    };
    b.insert(b.end(), npc.begin(), npc.end());
    return b;
}

TEST_F(MonsterTest, StoredFormsAreByteExact) {
    SampleMonster().Save();
    EXPECT_EQ(Written(), kMonsterBytes);
    EXPECT_EQ(vek::GetStream().objectCount(), 1u);

    vek::StreamReset();
    SampleNpc().Save();
    EXPECT_EQ(Written(), NpcBytes());
    // The NPC and its trade record.
    EXPECT_EQ(vek::GetStream().objectCount(), 2u);
}

TEST_F(MonsterTest, CreaturesLoadWhatTheySaved) {
    CNpc npc = SampleNpc();
    static_cast<CGroupMember&>(npc) = SampleMonster();
    npc.monsterType = kBigWolf;
    npc.trade.valid = 1, npc.trade.factor1 = 1.5f;
    npc.trade.items = {{TTradeItem::kRandomItem, 1, 2, 3}};
    npc.trade.buyCategories = {4};
    SampleMonster().Save();
    npc.Save();
    const Bytes saved = Written();

    CMonster monster;
    CNpc loadedNpc;
    monster.Load();
    loadedNpc.Load();
    EXPECT_EQ(vek::GetStream().remaining(), 0u);
    EXPECT_EQ(monster.hostile, SampleMonster().hostile);
    EXPECT_EQ(monster.states, SampleMonster().states);
    EXPECT_EQ(loadedNpc.name, L"Al");
    EXPECT_EQ(loadedNpc.monsterType, kBigWolf);
    EXPECT_EQ(loadedNpc.groups, (std::vector<std::wstring>{L"g"}));
    EXPECT_EQ(loadedNpc.trade.factor1, 1.5f);
    EXPECT_EQ(loadedNpc.GetBankDeposit(), 0x0102A0B0u);
    vek::StreamReset();
    monster.Save();
    loadedNpc.Save();
    EXPECT_EQ(Written(), saved);
}

TEST_F(MonsterTest, EveryCutOfARecordIsInvalidContentAndChangesNothing) {
    CNpc full = SampleNpc();
    static_cast<CGroupMember&>(full) = SampleMonster();
    full.trade.items = {{1, 2, 3, 4}};
    full.trade.buyCategories = {5, 6};
    full.Save();
    const Bytes bytes = Written();
    for (size_t length = 0; length < bytes.size(); ++length) {
        vek::StreamAssign(Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
        CNpc npc;
        npc.name = L"kept";
        try {
            npc.Load();
            ADD_FAILURE() << length << ": loaded";
        } catch (const vek::CFileException& e) {
            EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent) << length;
        }
        EXPECT_EQ(npc.name, L"kept") << length;
        EXPECT_TRUE(npc.hostile.empty()) << length;
    }
}

TEST_F(MonsterTest, CountsBeyondTheRecordAreRefusedBeforeAnythingIsAllocated) {
    const struct {
        const char* what;
        size_t offset; // where the count is written into a saved blank monster
    } cases[] = {
        {"friends", CGroupMember::kFixedSize},
        {"foes", CGroupMember::kFixedSize + 4},
        {"groups", CGroupMember::kFixedSize + 8},
        {"states", CGroupMember::kFixedSize + 12},
    };
    for (const auto& c : cases) {
        vek::StreamReset();
        CMonster().Save();
        Bytes bytes = Written();
        for (int i = 0; i < 4; ++i) {
            bytes[c.offset + i] = 0xFF;
        }
        vek::StreamAssign(bytes);
        CMonster m;
        ExpectInvalidContent([&] { m.Load(); }, L"CMonster::Load", c.what);
    }
    // A group id whose units run past the end.
    vek::StreamReset();
    CMonster g;
    g.groups = {L"ab"};
    g.Save();
    Bytes bytes = Written();
    bytes[CGroupMember::kFixedSize + 12] = 3; // the text's count: 3 units, 2 stored
    vek::StreamAssign(bytes);
    CMonster m;
    ExpectInvalidContent([&] { m.Load(); }, L"CMonster::Load", "text");
}

TEST_F(MonsterTest, InitFromTypeMakesAFreshActiveMonster) {
    const struct {
        uint16_t type;
        uint16_t hp;
    } cases[] = {{kRat, 5}, {kBigWolf, 25}, {kWisp, 1}};
    for (const auto& c : cases) {
        CMonster m = SampleMonster();
        m.stateByte = 0;
        m.InitFromType(c.type, 9, 8);
        EXPECT_EQ(m.monsterType, c.type);
        EXPECT_EQ(m.hitPoints, c.hp) << c.type;
        EXPECT_EQ(m.x, 9u);
        EXPECT_EQ(m.y, 8u);
        EXPECT_TRUE(m.IsAlive());
        EXPECT_TRUE(m.hostile.empty());
        EXPECT_TRUE(m.groups.empty());
        EXPECT_EQ(m.globalId, 0u);
    }
    CMonster m = SampleMonster();
    try {
        m.InitFromType(kWisp + 1, 0, 0);
        FAIL() << "no exception";
    } catch (const vek::CException& e) {
        EXPECT_EQ(e.GetFunction(), L"CMonster::InitFromType");
        EXPECT_EQ(e.GetDetails(), L"Unknown monster type 4");
    }
    EXPECT_EQ(m.monsterType, kWolf);
    EXPECT_EQ(m.hitPoints, 20);
}

TEST_F(MonsterTest, NamesComeFromTheTableOrTheNpc) {
    CMonster m;
    m.monsterType = kWolf;
    EXPECT_EQ(m.GetName(), L"wolf");
    m.monsterType = 40;
    EXPECT_EQ(m.GetName(), L"");
    EXPECT_EQ(SampleNpc().GetName(), L"Al");
}

TEST_F(MonsterTest, AttackDrawsTheHitThenTheDamage) {
    // Seed 1 draws 41, 18467, 6334: 41 mod 100 decides the hit, 18467 the
    // damage (2 + 18467 mod 4 = 5 for 2..5).
    const struct {
        const char* what;
        uint32_t chance;
        uint16_t targetHp;
        bool hit;
        uint16_t hpAfter;
        int32_t nextDraw;
    } cases[] = {
        {"just inside", 42, 20, true, 15, 6334}, {"at the draw", 41, 20, false, 20, 18467},
        {"never", 0, 20, false, 20, 18467},      {"always", 100, 20, true, 15, 6334},
        {"above 100", 250, 20, true, 15, 6334},  {"kills", 50, 3, true, 0, 6334},
        {"dead target", 100, 0, false, 0, 41},
    };
    for (const auto& c : cases) {
        m_random.Seed(1);
        CMonster attacker = SampleMonster();
        CMonster target;
        target.stateByte = CGroupMember::kActive, target.hitPoints = c.targetHp;
        TAttack bite;
        bite.code = TAttack::kBite, bite.hitChance = c.chance, bite.minDamage = 2, bite.maxDamage = 5;
        EXPECT_EQ(CMonster::Attack(attacker, target, bite), c.hit) << c.what;
        EXPECT_EQ(target.hitPoints, c.hpAfter) << c.what;
        EXPECT_EQ(target.IsHostile(attacker.globalId), c.hit) << c.what;
        EXPECT_EQ(m_random.Next(), c.nextDraw) << c.what;
    }
    // A friend stays a friend.
    m_random.Seed(1);
    CMonster attacker = SampleMonster();
    CMonster target;
    target.stateByte = CGroupMember::kActive, target.hitPoints = 20, target.friendly = {attacker.globalId};
    EXPECT_TRUE(CMonster::Attack(attacker, target, TAttack{TAttack::kBite, 100, 1, 1}));
    EXPECT_FALSE(target.IsHostile(attacker.globalId));
}

TEST_F(MonsterTest, CreatureVectors) {
    CMonster monster = SampleMonster();
    CNpc npc = SampleNpc();
    SaveCreatureVector({&monster, &npc});
    // The vector's reservation, then every list's own: the monster's four
    // (8, 8, 8, 16), the NPC's empty four (4 each), its inventory (10), spells
    // (8) and trade lists (4, 4).
    EXPECT_EQ(vek::GetStream().capacity(), 2 * vek::kCreatureReserve + 4 + 40 + 16 + 10 + 8 + 8);
    const Bytes bytes = Written();
    ASSERT_EQ(bytes.size(), 4 + kMonsterBytes.size() + NpcBytes().size());
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 4), (Bytes{2, 0, 0, 0}));

    uint32_t count = 0;
    vek::StreamRead(count);
    const std::unique_ptr<CMonster> first = LoadCreature(CGroupMember::kKindMonster);
    const std::unique_ptr<CMonster> second = LoadCreature(CGroupMember::kKindNpc);
    EXPECT_EQ(first->GetKind(), CGroupMember::kKindMonster);
    EXPECT_EQ(second->GetKind(), CGroupMember::kKindNpc);
    EXPECT_EQ(second->GetName(), L"Al");
    EXPECT_EQ(vek::GetStream().remaining(), 0u);

    CMonster* none = nullptr;
    vek::StreamReset();
    EXPECT_THROW(SaveCreatureVector({&monster, none}), vek::CException);
    EXPECT_TRUE(Written().empty());
}

} // namespace
