// The built-ins of the hero against the real game: his items, body,
// attributes, skills and companions, and the time since he left the
// location.
#include <gtest/gtest.h>

#include "tests/shell/GameplayFixture.h"

namespace gameplaytest {
namespace {

class BuiltinsHero : public GameplayTest {};

// A backpack of 40 keys that do not stack (each its own property).
void FillBackpack(CPlay& play) {
    for (uint16_t i = 0; i < CHero::kBackpackSlots; ++i) {
        play.hero.backpack.push_back(CItem(kKey, 1, false, static_cast<uint16_t>(i + 1)));
    }
}

// The pack, what he wears, the pile under him, and whether items were made
// at random (the generator drawn).
std::wstring Items(CPlay& play) {
    std::wstring pack = play.Pack();
    if (play.hero.backpack.size() == CHero::kBackpackSlots && play.hero.backpack[0].type == kKey) {
        pack = L"40 keys" + (play.hero.backpack.back().type == kKey ? std::wstring() : L"...");
    }
    return L"pack[" + pack + L"] worn[" + play.Worn() + L"] ground[" + CPlay::Pile(play.Mill(), 2, 2) + L"]" +
           (play.random.draws > 0 ? L" random" : L"");
}

TEST_F(BuiltinsHero, ItemsForTheHero) {
    const auto keys = [](CPlay& play) { FillBackpack(play); };
    const auto sword = [](CPlay& play) { play.hero.equipment[CHero::kSlotWeapon] = CItem(kSword, 1); };
    const auto arrows = [](CPlay& play) { play.hero.equipment[CHero::kSlotAmmunition] = CItem(kArrow, 5); };
    const auto coins = [](CPlay& play) { play.hero.backpack = {CItem(kCoin, 5)}; };
    // Two stones weigh 3000, more than strength level 2 carries (2000).
    const auto stones = [](CPlay& play) { play.hero.backpack = {CItem(kStone, 2)}; };
    CheckRows(
        {
            {"EquipItem wields at random", nullptr, L"EquipItem(\"sword\")", -1, 0,
             L"pack[] worn[1x1] ground[] random"},
            {"EquipItem by number", nullptr, L"EquipItem(\"#1\")", -1, 0, L"pack[] worn[1x1] ground[] random"},
            {"EquipItem: the slot is taken", sword, L"EquipItem(\"sword\")", 66, 0,
             L"pack[] worn[1x1] ground[] random"},
            {"EquipItem: no slot for a key", nullptr, L"EquipItem(\"key\")", 66, 0, L"pack[] worn[] ground[] random"},
            {"EquipItem: an unknown item", nullptr, L"EquipItem(\"lute\")", 67, 0, L"pack[] worn[] ground[]"},
            {"EquipItemBS: a property, nothing at random", nullptr, L"EquipItemBS(\"sword\", 7)", -1, 0,
             L"pack[] worn[1x1p7,0] ground[]"},
            {"EquipAmmo", nullptr, L"EquipAmmo(\"arrow\", 20)", -1, 0, L"pack[] worn[3x20] ground[] random"},
            {"EquipAmmo: not ammunition", nullptr, L"EquipAmmo(\"sword\", 1)", 65, 0, L"pack[] worn[] ground[]"},
            {"EquipAmmo: the quiver is full", arrows, L"EquipAmmo(\"arrow\", 1)", 66, 0,
             L"pack[] worn[3x5] ground[] random"},
            {"EquipAmmoBS", nullptr, L"EquipAmmoBS(\"arrow\", 10, 4)", -1, 0, L"pack[] worn[3x10p4,0] ground[]"},
            {"AddInvItem", nullptr, L"AddInvItem(\"coin\", 25)", -1, 0, L"pack[9x25] worn[] ground[]"},
            {"AddInvItem stacks", coins, L"AddInvItem(\"coin\", 25)", -1, 0, L"pack[9x30] worn[] ground[]"},
            {"AddInvItem of none", nullptr, L"AddInvItem(\"herb\", 0)", -1, 0, L"pack[] worn[] ground[]"},
            {"AddInvItem: overloaded", stones, L"AddInvItem(\"key\", 1)", 66, 0, L"pack[8x2] worn[] ground[]"},
            {"AddInvItem: the backpack is full", keys, L"AddInvItem(\"herb\", 1)", 66, 0,
             L"pack[40 keys] worn[] ground[]"},
            {"AddInvItem: one more key stacks", keys, L"AddInvItem(\"key\", 1)", 66, 0,
             L"pack[40 keys] worn[] ground[]"},
            {"AddInvItem: an unknown item", nullptr, L"AddInvItem(\"lute\", 1)", 67, 0, L"pack[] worn[] ground[]"},
            {"AddInvItemByAlias", nullptr, L"AddInvItemByAlias(\"herbs\")", -1, 0, L"pack[5x5] worn[] ground[]"},
            {"AddInvItemByAlias: a corpse", nullptr, L"AddInvItemByAlias(\"##rat\")", 44, 0, L"pack[] worn[] ground[]"},
            {"AddInvItemByAlias: not declared", nullptr, L"AddInvItemByAlias(\"nope\")", 68, 0,
             L"pack[] worn[] ground[]"},
            {"AddInvItemByAlias: refused", keys, L"AddInvItemByAlias(\"herbs\")", 65, 0,
             L"pack[40 keys] worn[] ground[]"},
            {"AddInvItemEx with 16: at random", nullptr, L"AddInvItemEx(\"sword\", 1, 16, 5, 9)", -1, 0,
             L"pack[1x1p16,5] worn[] ground[] random"},
            {"AddInvItemEx with 15", nullptr, L"AddInvItemEx(\"sword\", 1, 15, 5, 9)", -1, 0,
             L"pack[1x1p15,5] worn[] ground[]"},
            {"AddInvItemEx with 17", nullptr, L"AddInvItemEx(\"sword\", 1, 17, 5, 9)", -1, 0,
             L"pack[1x1p17,5] worn[] ground[]"},
            {"GiveItem", nullptr, L"GiveItem(\"herbs\")", -1, 0, L"pack[5x5] worn[] ground[]"},
            {"GiveItem: a full backpack drops it", keys, L"GiveItem(\"herbs\")", -1, 0,
             L"pack[40 keys] worn[] ground[5x5]"},
            {"GiveItem: a corpse", nullptr, L"GiveItem(\"##rat\")", -1, 0, L"pack[50000x2] worn[] ground[]"},
            {"TakeItem takes the quantity", [](CPlay& p) { p.hero.backpack = {CItem(kHerb, 7)}; },
             L"TakeItem(\"herbs\")", -1, 0, L"pack[5x2] worn[] ground[]"},
            {"TakeItem from two entries",
             [](CPlay& p) {
                 p.hero.backpack = {CItem(kHerb, 3), CItem(kHerb, 4, false, 1)};
             },
             L"TakeItem(\"herbs\")", -1, 0, L"pack[5x2p1,0] worn[] ground[]"},
            {"TakeItem of fewer", [](CPlay& p) { p.hero.backpack = {CItem(kHerb, 3)}; }, L"TakeItem(\"herbs\")", -1, 0,
             L"pack[] worn[] ground[]"},
        },
        Items);
}

TEST_F(BuiltinsHero, WhatTheHeroCarries) {
    const auto carry = [](std::vector<CItem> items) { return [items](CPlay& play) { play.hero.backpack = items; }; };
    CheckRows(
        {
            {"HasHeroItem: five", carry({CItem(kHerb, 5)}), L"HasHeroItem(\"herbs\")", -1, 1, L"5x5"},
            {"HasHeroItem: four", carry({CItem(kHerb, 4)}), L"HasHeroItem(\"herbs\")", -1, 0, L"5x4"},
            {"HasHeroItem: six in two entries", carry({CItem(kHerb, 4), CItem(kHerb, 2, false, 3)}),
             L"HasHeroItem(\"herbs\")", -1, 1, L"5x4 5x2p3,0"},
            {"HasHeroSomeItem: one of five", carry({CItem(kHerb, 1)}), L"HasHeroSomeItem(\"herbs\")", -1, 1, L"5x1"},
            {"HasHeroItem: one of five", carry({CItem(kHerb, 1)}), L"HasHeroItem(\"herbs\")", -1, 0, L"5x1"},
            {"HasHeroSomeItem: none", nullptr, L"HasHeroSomeItem(\"herbs\")", -1, 0, L""},
            {"HasHeroItem: two rat corpses", carry({CItem(50000, 2)}), L"HasHeroItem(\"##rat\")", -1, 1, L"50000x2"},
            {"HasHeroItem: one rat corpse", carry({CItem(50000, 1)}), L"HasHeroItem(\"##rat\")", -1, 0, L"50000x1"},
            {"HasHeroSomeItem: one rat corpse", carry({CItem(50000, 1)}), L"HasHeroSomeItem(\"##rat\")", -1, 1,
             L"50000x1"},
            {"HasHeroItem: a wolf corpse", carry({CItem(50001, 2)}), L"HasHeroItem(\"##rat\")", -1, 0, L"50001x2"},
            {"HasHeroItem: not declared", nullptr, L"HasHeroItem(\"nope\")", 68, 0, L""},
        },
        [](CPlay& play) { return play.Pack(); });
}

// His limbs, his definition's sex, his attributes and skills.
std::wstring Body(CPlay& play) {
    std::wstring text = L"limbs";
    for (int32_t limb : play.hero.limbs) {
        text += L" " + std::to_wstring(limb);
    }
    for (uint32_t skill = 0; skill < play.hero.skills.size(); ++skill) {
        if (play.hero.skills[skill].level != 0) {
            text += L" skill" + std::to_wstring(skill) + L"=" + std::to_wstring(play.hero.skills[skill].level);
        }
    }
    return text;
}

TEST_F(BuiltinsHero, TheHerosBodyAndSkills) {
    const auto limbs = [](std::array<int32_t, 4> states) {
        return [states](CPlay& play) { play.hero.limbs = states; };
    };
    const auto swords = [](uint8_t level) {
        return [level](CPlay& play) {
            play.hero.skills.resize(3);
            play.hero.skills[2].level = level;
        };
    };
    const auto points = [](uint32_t value) {
        return [value](CPlay& play) { play.hero.attributePoints = {value, value, value, value, value}; };
    };
    CheckRows(
        {
            {"IsPlayerWoman", nullptr, L"IsPlayerWoman()", -1, 1, L"limbs 0 0 0 0"},
            {"IsPlayerWoman: a man", [](CPlay& p) { p.hero.heroInfo = 0; }, L"IsPlayerWoman()", -1, 0,
             L"limbs 0 0 0 0"},
            {"IsPlayerWoman: no such definition", [](CPlay& p) { p.hero.heroInfo = 2; }, L"IsPlayerWoman()", -1, 0,
             L"limbs 0 0 0 0"},
            {"HeroIsAnyLimbMissing: the first", limbs({3, 0, 0, 0}), L"HeroIsAnyLimbMissing()", -1, 1,
             L"limbs 3 0 0 0"},
            {"HeroIsAnyLimbMissing: the last", limbs({0, 0, 0, 3}), L"HeroIsAnyLimbMissing()", -1, 1, L"limbs 0 0 0 3"},
            {"HeroIsAnyLimbMissing: crippled", limbs({2, 2, 2, 2}), L"HeroIsAnyLimbMissing()", -1, 0, L"limbs 2 2 2 2"},
            {"HeroLearnSkill", nullptr, L"HeroLearnSkill(\"swords\", 5)", -1, 0, L"limbs 0 0 0 0 skill2=5"},
            {"HeroLearnSkill raises", swords(5), L"HeroLearnSkill(\"Swords\", 9)", -1, 0, L"limbs 0 0 0 0 skill2=9"},
            {"HeroLearnSkill does not lower", swords(9), L"HeroLearnSkill(\"Swords\", 5)", -1, 0,
             L"limbs 0 0 0 0 skill2=9"},
            {"HeroLearnSkill: 100", nullptr, L"HeroLearnSkill(\"Swords\", 100)", -1, 0, L"limbs 0 0 0 0 skill2=100"},
            {"HeroLearnSkill: 101 is 100", nullptr, L"HeroLearnSkill(\"Swords\", 101)", -1, 0,
             L"limbs 0 0 0 0 skill2=100"},
            {"HeroLearnSkill: 300 is 100, not 44", nullptr, L"HeroLearnSkill(\"Swords\", 300)", -1, 0,
             L"limbs 0 0 0 0 skill2=100"},
            {"HeroLearnSkill: a spell", nullptr, L"HeroLearnSkill(\"frost\", 3)", -1, 0, L"limbs 0 0 0 0 skill30=3"},
            {"HeroLearnSkill: the last skill", nullptr, L"HeroLearnSkill(\"skill28\", 1)", -1, 0,
             L"limbs 0 0 0 0 skill28=1"},
            {"HeroLearnSkill: no such skill", nullptr, L"HeroLearnSkill(\"Juggling\", 1)", -2, 0, L"limbs 0 0 0 0"},
            {"HeroGetSkillLevel", swords(9), L"HeroGetSkillLevel(\"Swords\")", -1, 9, L"limbs 0 0 0 0 skill2=9"},
            {"HeroGetSkillLevel: not learnt", nullptr, L"HeroGetSkillLevel(\"First aid\")", -1, 0, L"limbs 0 0 0 0"},
            {"HeroGetSkillLevel: no such skill", nullptr, L"HeroGetSkillLevel(\"Juggling\")", -2, 0, L"limbs 0 0 0 0"},
            // 1920, 810, 240, 6480 and 0 points: levels 2, 2, 1, 3 and 1.
            {"HeroGetStrength", nullptr, L"HeroGetStrength()", -1, 2, L"limbs 0 0 0 0"},
            {"HeroGetDexterity", nullptr, L"HeroGetDexterity()", -1, 2, L"limbs 0 0 0 0"},
            {"HeroGetVitality", nullptr, L"HeroGetVitality()", -1, 1, L"limbs 0 0 0 0"},
            {"HeroGetIntelligence", nullptr, L"HeroGetIntelligence()", -1, 3, L"limbs 0 0 0 0"},
            {"HeroGetAppearance", nullptr, L"HeroGetAppearance()", -1, 1, L"limbs 0 0 0 0"},
            // Level 30 takes 240 x 27000 points; level 29 ends below 240 x 29.5^3.
            {"an attribute at 30", points(6480000), L"HeroGetAppearance()", -1, 30, L"limbs 0 0 0 0"},
            {"an attribute just below 30", points(6161100), L"HeroGetStrength()", -1, 29, L"limbs 0 0 0 0"},
            {"an attribute beyond 30", points(0xFFFFFFFF), L"HeroGetIntelligence()", -1, 30, L"limbs 0 0 0 0"},
        },
        Body);
}

// The interface answers for the second, third and fourth limb; the first is
// the built-in's to look at.
TEST_F(BuiltinsHero, TheInterfaceLooksAtTheLimbsAfterTheFirst) {
    const struct {
        std::array<int32_t, 4> limbs;
        bool missing;
    } cases[] = {
        {{3, 0, 0, 0}, false}, {{0, 3, 0, 0}, true},  {{0, 0, 3, 0}, true},
        {{0, 0, 0, 3}, true},  {{2, 2, 2, 2}, false}, {{3, 2, 2, 2}, false},
    };
    for (const auto& c : cases) {
        CPlay play;
        play.hero.limbs = c.limbs;
        EXPECT_EQ(play.game.GetGameplay().HeroIsAnyLimbMissing(), c.missing) << c.limbs[0] << c.limbs[1];
        EXPECT_EQ(play.game.GetGameplay().HeroGetLimb(0), c.limbs[0]);
        EXPECT_EQ(play.game.GetGameplay().HeroGetLimb(4), 0);
    }
}

TEST_F(BuiltinsHero, CompanionsJoinTheHero) {
    const auto state = [](CPlay& play) {
        std::wstring text = L"companions";
        for (uint32_t id : play.hero.companions) {
            text += L" " + std::to_wstring(id >> 16) + L":" + std::to_wstring(id & 0xFFFF);
        }
        return text + L" | " + CPlay::Creatures(play.Mill());
    };
    // Beside the hero at (2, 2): (1, 1) is a wall, so the first free
    // neighbour is (2, 1); the rat has local id 0.
    CheckRows(
        {
            {"AddCompanion beside the hero", nullptr, L"AddCompanion(\"wolf\", \"mill\")", -1, 0,
             L"companions 0:1 | rat@10,10 wolf@2,1"},
            {"AddCompanion in another location", nullptr, L"AddCompanion(\"wolf\", \"farm.map\")", -1, 0,
             L"companions 1:3 | rat@10,10"},
            {"AddCompanion: no such monster", nullptr, L"AddCompanion(\"dragon\", \"mill\")", -2, 0,
             L"companions | rat@10,10"},
            {"AddCompanion: no such location", nullptr, L"AddCompanion(\"wolf\", \"moor\")", -2, 0,
             L"companions | rat@10,10"},
        },
        state);
    CPlay play;
    int64_t result = 0;
    ASSERT_EQ(play.Run(L"AddCompanion(\"wolf\", \"mill\")", result), -1);
    const CMonster& wolf = *play.Mill().GetCreatures()[1];
    EXPECT_TRUE(wolf.IsFriendly(CGroupMember::kHeroId));
    EXPECT_EQ(play.Run(L"AddCompanion(\"dragon\", \"mill\")", result), -2);
    EXPECT_EQ(play.thrown, L"Monster not found - dragon (AddCompanion)");
}

TEST_F(BuiltinsHero, TimeSinceTheHeroLeft) {
    // The hero left the mill at 1000 and comes back at 1000 + t.
    const auto away = [](uint64_t seconds) {
        return [seconds](CPlay& play) {
            play.game.SetClock(1000);
            ASSERT_TRUE(play.world.ReadyLoc(L"farm.map", 0, 0, 2, 2, kArriveFromWorld, L""));
            play.game.SetClock(1000 + seconds);
            ASSERT_TRUE(play.world.ReadyLoc(L"mill.map", 0, 0, 2, 2, kArriveFromWorld, L""));
        };
    };
    const auto state = [](CPlay& play) { return std::to_wstring(play.Mill().GetExitTime()); };
    CheckRows(
        {
            {"never left: the clock itself", [](CPlay& p) { p.game.SetClock(5000); }, L"DiffSeconds()", -1, 5000, L"0"},
            {"86,399 s: seconds", away(86399), L"DiffSeconds()", -1, 86399, L"1000"},
            {"86,399 s: 23 hours", away(86399), L"DiffHours()", -1, 23, L"1000"},
            {"86,399 s: one day of 43,200 s", away(86399), L"DiffDays()", -1, 1, L"1000"},
            {"1,295,999 s: no month yet", away(1295999), L"DiffMonths()", -1, 0, L"1000"},
            {"1,296,000 s: a month", away(1296000), L"DiffMonths()", -1, 1, L"1000"},
            {"15,552,000 s: a year", away(15552000), L"DiffYears()", -1, 1, L"1000"},
            {"2^31 s: seconds stay positive", away(2147483648ull), L"DiffSeconds()", -1, 2147483647, L"1000"},
            {"2^31 s: hours", away(2147483648ull), L"DiffHours()", -1, 596523, L"1000"},
            {"the most the game counts", away(3732480000ull), L"DiffYears()", -1, 240, L"1000"},
            {"more than that", away(5000000000ull), L"DiffDays()", -1, 86400, L"1000"},
        },
        state);
}

} // namespace
} // namespace gameplaytest
