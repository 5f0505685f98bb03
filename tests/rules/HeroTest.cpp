#include "rules/Hero.h"

#include <gtest/gtest.h>

#include "RulesFixture.h"
#include "script/Records.h"

namespace {

using namespace rulestest;

class HeroTest : public CRulesTest {
protected:
    void SetUp() override {
        CRulesTest::SetUp();
        // The skill block: skill 1 has its own tag, skills 2 to 28 any tag.
        std::wstring text = L"STR_OTHER_SKILL_SIDEARMS Sidearms\n";
        for (int skill = 2; skill <= 28; ++skill) {
            text += L"STR_SKILL" + std::to_wstring(skill) + L" Skill" + std::to_wstring(skill) + L"\n";
        }
        text += L"STR_OTHER_SKILL_LEARN New skill: %s.\n";
        text += L"STR_OTHER_SKILL_LEVEL Skill %s at %lu.\n";
        text += L"STR_OTHER_SPELL_LEARN New spell: %s.\n";
        text += L"STR_MSG_ARMS_USELESS No arms.\nSTR_MSG_LEGS_USELESS No legs.\n";
        m_game.GetStrings().LoadText(text);
    }
};

CItem Stones(uint32_t count) { return CItem(kStone, count); }

TEST_F(HeroTest, NewHeroIsActiveAndNamedByTheHeroId) {
    const CHero hero;
    EXPECT_EQ(hero.GetKind(), CGroupMember::kKindHero);
    EXPECT_EQ(hero.globalId, CGroupMember::kHeroId);
    EXPECT_EQ(hero.localId, 0xFFFF);
    EXPECT_EQ(hero.stateByte & CGroupMember::kActive, CGroupMember::kActive);
    EXPECT_TRUE(hero.backpack.empty());
}

TEST_F(HeroTest, AttributesAreTheRoundedCubeRootOfPointsOver240) {
    // Level L starts at 240 x (L - 0.5)^3 points.
    const struct {
        uint32_t points;
        uint32_t level;
    } cases[] = {
        {0, 1}, {809, 1}, {810, 2}, {3749, 2}, {3750, 3}, {6161369, 29}, {6161370, 30}, {6809430, 30}, {0xFFFFFFFF, 30},
    };
    for (const auto& c : cases) {
        CHero hero;
        hero.attributePoints[CHero::kVitality] = c.points;
        EXPECT_EQ(hero.GetAttribute(CHero::kVitality), c.level) << c.points;
    }
    CHero hero;
    EXPECT_EQ(hero.GetAttribute(CHero::kAppearance), 1u);
    EXPECT_THROW(hero.GetAttribute(CHero::kAttributeCount), vek::CException);
}

TEST_F(HeroTest, ScalingBySkillAndAttribute) {
    const struct {
        const char* what;
        uint8_t level;
        int32_t min, max, result;
    } cases[] = {
        {"not learnt", 0, 30, 100, 30},         {"first level", 1, 30, 100, 30},
        {"second level", 2, 30, 100, 30},       {"middle", 50, 30, 100, 64},
        {"next to last", 99, 30, 100, 99},      {"last", 100, 30, 100, 100},
        {"falling, first", 1, 7200, 300, 7200}, {"falling, middle", 50, 7200, 300, 3784},
        {"falling, last", 100, 7200, 300, 300}, {"falling, not learnt", 0, 7200, 300, 7200},
        {"empty range", 50, 5, 5, 5},
    };
    for (const auto& c : cases) {
        CHero hero;
        hero.skills.resize(28);
        hero.skills[27].level = c.level;
        EXPECT_EQ(ScaleBySkill(hero, 27, c.min, c.max), c.result) << c.what;
    }
    CHero hero;
    hero.attributePoints[CHero::kStrength] = 810; // level 2
    EXPECT_EQ(ScaleByAttribute(hero, CHero::kStrength, 0, 99), 1);
    hero.attributePoints[CHero::kStrength] = 0xFFFFFFFF; // level 30
    EXPECT_EQ(ScaleByAttribute(hero, CHero::kStrength, 0, 99), 29);
}

TEST_F(HeroTest, LearningSkillsAndSpellsTellsThePlayer) {
    const struct {
        const char* what;
        uint8_t level;
        uint32_t id;
        uint8_t levelAfter;
        const wchar_t* message; // null: none
    } steps[] = {
        {"nothing at level 0", 0, 27, 0, nullptr},
        {"a new skill", 5, 27, 5, L"New skill: Skill27."},
        {"raised", 7, 27, 7, L"Skill Skill27 at 7."},
        {"the same level", 7, 27, 7, nullptr},
        {"a lower level", 3, 27, 7, nullptr},
        {"above the last level", 200, 27, 100, L"Skill Skill27 at 100."},
        {"the first skill", 1, 1, 1, L"New skill: Sidearms."},
        {"the last skill", 1, 28, 1, L"New skill: Skill28."},
        {"the first spell", 2, 29, 2, L"New spell: spark."},
        {"a spell raised", 4, 29, 4, L"Skill spark at 4."},
        {"the last spell", 1, 30, 1, L"New spell: frost."},
    };
    CHero hero;
    size_t messages = 0;
    for (const auto& s : steps) {
        hero.LearnSkill(s.level, s.id);
        EXPECT_EQ(hero.GetSkillLevel(s.id), s.levelAfter) << s.what;
        const std::vector<std::wstring> lines = Messages();
        if (s.message) {
            ++messages;
            ASSERT_EQ(lines.size(), messages) << s.what;
            EXPECT_EQ(lines.back(), s.message) << s.what;
        }
        EXPECT_EQ(lines.size(), messages) << s.what;
    }
    for (uint32_t id : {0u, 31u, 0xFFFFFFFFu}) {
        EXPECT_THROW(hero.LearnSkill(1, id), vek::CException) << id;
        EXPECT_THROW(hero.TrainSkill(id, 1), vek::CException) << id;
        EXPECT_EQ(hero.GetSkillLevel(id), 0) << id;
    }
    EXPECT_EQ(hero.skills.size(), 31u);
}

TEST_F(HeroTest, TrainingAddsPointsUpToTheLargestCount) {
    CHero hero;
    hero.TrainSkill(27, 5);
    hero.TrainSkill(27, 2);
    EXPECT_EQ(hero.skills[27].points, 7u);
    EXPECT_EQ(hero.GetSkillLevel(27), 0);
    hero.TrainSkill(27, 0xFFFFFFF8);
    EXPECT_EQ(hero.skills[27].points, 0xFFFFFFFFu);
    hero.TrainSkill(27, 1);
    EXPECT_EQ(hero.skills[27].points, 0xFFFFFFFFu);
}

TEST_F(HeroTest, AddingToTheInventory) {
    // Strength level 1 carries 1000; a stone weighs 100, a key 1.
    CItem worn(kKey, 1);
    worn.durability = 3;
    const struct {
        const char* what;
        std::vector<CItem> backpack;
        CItem item;
        uint16_t result;
        std::vector<CItem> after;
    } cases[] = {
        {"a free slot", {}, CItem(kSword, 1), CHero::kInventoryTaken, {CItem(kSword, 1)}},
        {"stacks", {CItem(kKey, 2)}, CItem(kKey, 3), CHero::kInventoryTaken, {CItem(kKey, 5)}},
        {"does not stack", {CItem(kKey, 2)}, worn, CHero::kInventoryTaken, {CItem(kKey, 2), worn}},
        // Coins weigh nothing.
        {"a stack that would overflow",
         {CItem(kCoin, 0xFFFFFFFE)},
         CItem(kCoin, 2),
         CHero::kInventoryTaken,
         {CItem(kCoin, 0xFFFFFFFE), CItem(kCoin, 2)}},
        {"a stack that just fits",
         {CItem(kCoin, 0xFFFFFFFE)},
         CItem(kCoin, 1),
         CHero::kInventoryTaken,
         {CItem(kCoin, 0xFFFFFFFF)}},
        {"load at the limit", {Stones(10)}, CItem(kKey, 1), CHero::kInventoryTaken, {Stones(10), CItem(kKey, 1)}},
        {"load past the limit",
         {Stones(10), CItem(kKey, 1)},
         CItem(kKey, 1),
         CHero::kInventoryOverloaded,
         {Stones(10), CItem(kKey, 1)}},
        {"nothing to take", {Stones(11)}, CItem(kKey, 0), CHero::kInventoryTaken, {Stones(11)}},
    };
    for (const auto& c : cases) {
        CHero hero;
        hero.backpack = c.backpack;
        EXPECT_EQ(hero.AddToInventory(c.item), c.result) << c.what;
        EXPECT_EQ(Shown(hero.backpack), Shown(c.after)) << c.what;
    }
}

TEST_F(HeroTest, TheBackpackHasFortySlots) {
    for (uint32_t held : {CHero::kBackpackSlots - 1, CHero::kBackpackSlots}) {
        CHero hero;
        for (uint32_t i = 0; i < held; ++i) {
            hero.backpack.push_back(CItem(kKey, 1, false, static_cast<uint16_t>(i)));
        }
        const uint16_t expected = held < CHero::kBackpackSlots ? CHero::kInventoryTaken : CHero::kInventoryFull;
        EXPECT_EQ(hero.AddToInventory(CItem(kArrow, 1)), expected) << held;
        // A full pack still takes what stacks.
        EXPECT_EQ(hero.AddToInventory(CItem(kKey, 1, false, 0)), CHero::kInventoryTaken) << held;
        EXPECT_EQ(hero.backpack[0].count, 2u) << held;
        EXPECT_EQ(hero.GetInventoryCount(), std::min(held + 1, CHero::kBackpackSlots)) << held;
    }
}

TEST_F(HeroTest, WeightCountsPackAndEquipment) {
    CHero hero;
    hero.backpack = {Stones(2), CItem(kCorpseBase + kWolf, 1), CItem(kCorpseBase + 40, 1), CItem(kCoin + 1, 9)};
    hero.equipment[CHero::kSlotArmour] = CItem(kJerkin, 1);
    EXPECT_EQ(hero.GetCarriedWeight(), 200u + 40 + 0 + 0 + 80);
    EXPECT_FALSE(hero.IsOverloaded());
    hero.attributePoints[CHero::kStrength] = 0; // level 1: 1000
    hero.backpack.push_back(Stones(7));
    EXPECT_TRUE(hero.IsOverloaded());
}

TEST_F(HeroTest, WieldingTakesTheSlotOfTheCategory) {
    const struct {
        const char* what;
        CItem item;
        bool wielded;
        uint32_t slot;
    } cases[] = {
        {"weapon", CItem(kSword, 1), true, CHero::kSlotWeapon},
        {"ranged weapon", CItem(kBow, 1), true, CHero::kSlotRangedWeapon},
        {"ammunition", CItem(kArrow, 20), true, CHero::kSlotAmmunition},
        {"armour", CItem(kJerkin, 1), true, CHero::kSlotArmour},
        {"no slot", CItem(kKey, 1), false, CHero::kSlotCount},
        {"a corpse", CItem(kCorpseBase + kSword, 1), false, CHero::kSlotCount},
        {"no such kind", CItem(kCoin + 1, 1), false, CHero::kSlotCount},
        {"nothing", CItem(kSword, 0), false, CHero::kSlotCount},
    };
    for (const auto& c : cases) {
        CHero hero;
        EXPECT_EQ(hero.AutoWield(c.item), c.wielded) << c.what;
        if (c.wielded) {
            EXPECT_EQ(Shown(hero.equipment[c.slot]), Shown(c.item)) << c.what;
            EXPECT_FALSE(hero.AutoWield(c.item)) << c.what << ": slot taken";
        }
    }
}

TEST_F(HeroTest, QuestPatternsAgainstTheBackpack) {
    CItem markedKey(kKey, 3);
    markedKey.property1 = 9;
    const std::vector<CItem> pack = {CItem(kKey, 2), CItem(kSword, 1), markedKey, CItem(kVial, 0), CItem(kVial, 4)};
    const struct {
        const char* what;
        uint16_t type;
        uint32_t count;
        bool has;
        std::vector<uint16_t> slots;
        std::vector<CItem> afterRemoval;
    } cases[] = {
        {"all there", kKey, 5, true, {0, 2}, {CItem(kSword, 1), CItem(kVial, 4)}},
        {"one short", kKey, 6, false, {0, 2}, {CItem(kSword, 1), CItem(kVial, 4)}},
        {"fewer",
         kKey,
         3,
         true,
         {0, 2},
         {CItem(kSword, 1),
          [&] {
              CItem rest = markedKey;
              rest.count = 2;
              return rest;
          }(),
          CItem(kVial, 4)}},
        {"any quantity", kKey, TQuestItem::kAnyCount, true, {0, 2}, {CItem(kSword, 1), CItem(kVial, 4)}},
        {"none asked", kBow, 0, true, {}, {CItem(kKey, 2), CItem(kSword, 1), markedKey, CItem(kVial, 4)}},
        {"none held",
         kBow,
         TQuestItem::kAnyCount,
         false,
         {},
         {CItem(kKey, 2), CItem(kSword, 1), markedKey, CItem(kVial, 4)}},
        {"empty entries do not count", kVial, 5, false, {4}, {CItem(kKey, 2), CItem(kSword, 1), markedKey}},
    };
    for (const auto& c : cases) {
        CHero hero;
        hero.backpack = pack;
        TQuestItem pattern(c.type);
        pattern.count = c.count;
        EXPECT_EQ(hero.HasItems(pattern), c.has) << c.what;
        std::vector<uint16_t> slots = {77};
        hero.CollectMatchingItems(pattern, slots);
        slots.erase(slots.begin());
        EXPECT_EQ(slots, c.slots) << c.what;
        hero.RemoveItems(pattern);
        EXPECT_EQ(Shown(hero.backpack), Shown(c.afterRemoval)) << c.what;
    }
    CHero hero;
    hero.backpack = pack;
    std::vector<uint16_t> slots;
    EXPECT_EQ(hero.CollectMatchingItems(TQuestItem(kKey), slots), 5u);
}

TEST_F(HeroTest, LimbsAndDeath) {
    const struct {
        std::array<int32_t, 4> limbs;
        bool unusable;
        std::vector<std::wstring> messages;
    } cases[] = {
        {{0, 0, 0, 0}, false, {}},           {{2, 1, 0, 0}, false, {}},
        {{2, 2, 0, 0}, true, {L"No arms."}}, {{3, 2, 1, 1}, true, {L"No arms."}},
        {{0, 0, 2, 3}, true, {L"No legs."}}, {{3, 3, 3, 3}, true, {L"No arms.", L"No legs."}},
        {{2, 0, 0, 2}, false, {}},
    };
    for (const auto& c : cases) {
        dynamic_cast<CConsoleDisplay&>(m_game.GetDisplay()).AddMessage(L"-", kMessageInfo, false);
        CHero hero;
        hero.limbs = c.limbs;
        EXPECT_EQ(hero.CheckLimbs(), c.unusable);
        std::vector<std::wstring> lines = Messages();
        const auto mark = std::find(lines.rbegin(), lines.rend(), L"-").base();
        EXPECT_EQ(std::vector<std::wstring>(mark, lines.end()), c.messages);
    }

    CHero hero;
    hero.limbs = {CHero::kLimbSound, CHero::kLimbWounded, CHero::kLimbCrippled, CHero::kLimbLost};
    for (uint32_t limb = 0; limb < CHero::kLimbCount; ++limb) {
        hero.DamageLimb(limb);
    }
    EXPECT_EQ(hero.limbs, (std::array<int32_t, 4>{1, 2, 2, 3}));
    EXPECT_THROW(hero.DamageLimb(CHero::kLimbCount), vek::CException);

    hero.hitPoints = 10;
    hero.Damage(9, 0, nullptr);
    EXPECT_TRUE(hero.IsAlive());
    hero.Damage(1, 0, nullptr);
    EXPECT_FALSE(hero.IsAlive());
    EXPECT_EQ(hero.stateByte & CGroupMember::kActive, 0);
    hero.hitPoints = 5, hero.stateByte = CGroupMember::kActive;
    hero.Die();
    EXPECT_EQ(hero.hitPoints, 0);
    EXPECT_FALSE(hero.IsAlive());
}

TEST_F(HeroTest, EatingFillsUpToTheLargestCount) {
    CHero hero;
    hero.Eat(40);
    hero.Eat(2);
    EXPECT_EQ(hero.satiation, 42u);
    hero.Eat(0xFFFFFFFF);
    EXPECT_EQ(hero.satiation, 0xFFFFFFFFu);
}

CHero SampleHero() {
    CHero hero;
    hero.x = 5, hero.y = 6, hero.hitPoints = 30;
    hero.heroInfo = 1, hero.headX = -1, hero.headY = 1, hero.worldX = 2, hero.worldY = 3;
    hero.limbs = {3, 0, 0, 1};
    hero.attributePoints = {810, 0, 0, 0, 7};
    hero.satiation = 5;
    hero.companions = {0x00020001};
    hero.visitedLocations = {7};
    hero.skills = {{}, {4, 0x100}};
    hero.backpack = {CItem(kKey, 2)};
    hero.equipment[CHero::kSlotWeapon] = CItem(kSword, 1);
    return hero;
}

// Worked out from the documented layout, field by field.
Bytes SampleHeroArray() {
    Bytes b;
    Put(b, 0xFFFF, 4), Put(b, 0xFFFF, 2), Put(b, 5, 4), Put(b, 6, 4), Put(b, 30, 2), Put(b, 1, 1);
    Put(b, 0, 4), Put(b, 0, 4), Put(b, 0, 4);
    Put(b, 0, 4), Put(b, 0, 4), Put(b, 0, 4), Put(b, 0, 4); // four empty lists
    Put(b, 1, 2), Put(b, 0xFFFF, 2), Put(b, 1, 2), Put(b, 2, 2), Put(b, 3, 2);
    Put(b, 3, 4), Put(b, 0, 4), Put(b, 0, 4), Put(b, 1, 4);
    Put(b, 810, 4), Put(b, 0, 4), Put(b, 0, 4), Put(b, 0, 4), Put(b, 7, 4);
    Put(b, 5, 4);
    Put(b, 1, 4), Put(b, 0x00020001, 4);
    Put(b, 1, 4), Put(b, 7, 4);
    Put(b, 2, 4), Put(b, 0, 1), Put(b, 0, 4), Put(b, 4, 1), Put(b, 0x100, 4);
    Put(b, 1, 4), Put(b, kKey, 2), Put(b, 2, 4), b.resize(b.size() + 19, 0); // the key: no wear
    Put(b, kSword, 2), Put(b, 1, 4), Put(b, 0, 4), Put(b, 50, 2), b.resize(b.size() + 13, 0);
    b.resize(b.size() + 3 * 25, 0);
    Put(b, 3, 4), Put(b, 0, 4); // companions follow; nothing at the bank
    return b;
}

TEST_F(HeroTest, TheHeroIsOneByteArray) {
    SampleHero().Save();
    const Bytes array = SampleHeroArray();
    Bytes expected;
    Put(expected, array.size(), 4);
    expected.insert(expected.end(), array.begin(), array.end());
    Put(expected, 0, 4); // no battle records
    EXPECT_EQ(Written(), expected);
    EXPECT_EQ(vek::GetStream().objectCount(), 1u);

    CHero loaded;
    loaded.Load();
    EXPECT_EQ(vek::GetStream().remaining(), 0u);
    EXPECT_EQ(Shown(loaded.backpack), Shown(SampleHero().backpack));
    EXPECT_EQ(Shown(loaded.equipment), Shown(SampleHero().equipment));
    EXPECT_EQ(loaded.skills, SampleHero().skills);
    EXPECT_EQ(loaded.headX, -1);
    vek::StreamReset();
    loaded.Save();
    EXPECT_EQ(Written(), expected);

    // A blank hero: the block, ten bytes, the limbs, attributes and
    // satiation, five empty lists, four empty slots, the order and the
    // deposit; then no battle records.
    vek::StreamReset();
    CHero().Save();
    EXPECT_EQ(Written().size(), 4u + 45 + 10 + 16 + 20 + 4 + 16 + 100 + 8 + 4);
}

TEST_F(HeroTest, ABadArrayIsInvalidContentAndChangesNothing) {
    const Bytes array = SampleHeroArray();
    auto stored = [](const Bytes& content, uint64_t length) {
        Bytes b;
        Put(b, length, 4);
        b.insert(b.end(), content.begin(), content.end());
        Put(b, 0, 4); // no battle records
        return b;
    };
    const Bytes whole = stored(array, array.size());
    Bytes shorter(array.begin(), array.end() - 1);
    Bytes longer = array;
    longer.push_back(0);
    CHero full;
    for (uint32_t i = 0; i < CHero::kBackpackSlots + 1; ++i) {
        full.backpack.push_back(CItem(kKey, 1, false, static_cast<uint16_t>(i)));
    }
    full.Save();
    const Bytes tooMany = Written();
    vek::StreamReset();
    full.backpack.pop_back();
    full.Save();
    const Bytes fortyItems = Written();

    const struct {
        const char* what;
        Bytes bytes;
        bool loads;
    } cases[] = {
        {"whole", whole, true},
        {"the array is cut", Bytes(whole.begin(), whole.end() - 5), false},
        {"its content ends early", stored(shorter, shorter.size()), false},
        {"a byte left over", stored(longer, longer.size()), false},
        {"no length", {1, 0}, false},
        {"a huge length", stored(array, 0xFFFFFFFF), false},
        {"forty items", fortyItems, true},
        {"forty-one items", tooMany, false},
    };
    for (const auto& c : cases) {
        vek::StreamAssign(c.bytes);
        CHero hero;
        hero.satiation = 99;
        if (c.loads) {
            hero.Load();
            EXPECT_EQ(vek::GetStream().remaining(), 0u) << c.what;
        } else {
            ExpectInvalidContent([&] { hero.Load(); }, L"CHero::Load", c.what);
            EXPECT_EQ(hero.satiation, 99u) << c.what;
            EXPECT_TRUE(hero.backpack.empty()) << c.what;
        }
    }
}

} // namespace
