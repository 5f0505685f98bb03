// The built-ins of NPCs, groups, battles, quests and trade against the real
// game: the farm holds Ada (script "ada.u", whose trade profile is
// "ada_stock.u") at (4, 4), Bo (no script file) at (6, 4) and a wolf.
#include <gtest/gtest.h>

#include "tests/shell/GameplayFixture.h"

namespace gameplaytest {
namespace {

class BuiltinsNpc : public GameplayTest {};

std::wstring Ids(const std::vector<uint32_t>& ids) {
    std::wstring text;
    for (uint32_t id : ids) {
        text += (text.empty() ? L"" : L",") + std::to_wstring(id);
    }
    return text;
}

// Each NPC: hit points, attitude, activity, friends, foes, groups, and
// whether its cell shows it.
std::wstring Npcs(CPlay& play) {
    std::wstring text;
    CLoc& farm = play.Farm();
    for (const wchar_t* name : {L"Ada", L"Bo"}) {
        const CNpc& npc = play.Npc(name);
        std::wstring groups;
        for (const std::wstring& group : npc.groups) {
            groups += (groups.empty() ? L"" : L",") + group;
        }
        const bool shown =
            farm.GetCreatureIds().At(static_cast<uint16_t>(npc.x), static_cast<uint16_t>(npc.y)) == npc.localId;
        text += std::wstring(name) + L"[hp" + std::to_wstring(npc.hitPoints) + L" att" + std::to_wstring(npc.attitude) +
                L" act" + std::to_wstring(npc.activity) + L" f" + Ids(npc.friendly) + L" h" + Ids(npc.hostile) + L" g" +
                groups + (shown ? L"" : L" hidden") + L"] ";
    }
    return text;
}

// Ada and Bo are global ids 65536 and 65537 (the farm is location 1).
TEST_F(BuiltinsNpc, NpcsAnswerAndChange) {
    const auto dead = [](CPlay& play) { play.Npc(L"Ada").hitPoints = 0; };
    const auto toFarm = [](CPlay& play) {
        ASSERT_TRUE(play.world.ReadyLoc(L"farm", 0, 0, 2, 2, kArriveFromWorld, L""));
    };
    const std::wstring fresh = L"Ada[hp5 att0 act0 f h g] Bo[hp5 att0 act0 f h g] ";
    CheckRows(
        {
            {"NPCIsAlive", nullptr, L"NPCIsAlive(\"ada\", \"FARM.MAP\")", -1, 1, fresh},
            {"NPCIsAlive: dead", dead, L"NPCIsAlive(\"Ada\", \"farm.map\")", -1, 0,
             L"Ada[hp0 att0 act0 f h g] Bo[hp5 att0 act0 f h g] "},
            {"NPCIsAlive: another home", nullptr, L"NPCIsAlive(\"Ada\", \"mill.map\")", -1, 0, fresh},
            {"NPCIsPresentInLoc", nullptr, L"NPCIsPresentInLoc(\"Ada\", \"farm.map\", \"farm\")", -1, 1, fresh},
            {"NPCIsPresentInLoc: not there", nullptr, L"NPCIsPresentInLoc(\"Ada\", \"farm.map\", \"mill\")", -1, 0,
             fresh},
            // Dead but still listed: present until the list is compacted.
            {"NPCIsPresentInLoc: dead", dead, L"NPCIsPresentInLoc(\"Ada\", \"farm.map\", \"farm\")", -1, 1,
             L"Ada[hp0 att0 act0 f h g] Bo[hp5 att0 act0 f h g] "},
            {"NPCIsPresentInLoc: not loaded", nullptr, L"NPCIsPresentInLoc(\"Ada\", \"farm.map\", \"vale\")", -2, 0,
             fresh},
            {"NPCIsPresentInLoc: no such location", nullptr, L"NPCIsPresentInLoc(\"Ada\", \"farm.map\", \"moor\")", -2,
             0, fresh},
            {"NPCSetAttitude 0", nullptr, L"NPCSetAttitude(\"Ada\", \"farm.map\", 0)", -1, 0, fresh},
            {"NPCSetAttitude 1", nullptr, L"NPCSetAttitude(\"Ada\", \"farm.map\", 1)", -1, 0,
             L"Ada[hp5 att1 act0 f h g] Bo[hp5 att0 act0 f h g] "},
            {"NPCSetAttitude 2", nullptr, L"NPCSetAttitude(\"Ada\", \"farm.map\", 2)", -1, 0,
             L"Ada[hp5 att2 act0 f h g] Bo[hp5 att0 act0 f h g] "},
            {"NPCSetAttitude 3", nullptr, L"NPCSetAttitude(\"Ada\", \"farm.map\", 3)", 44, 0, fresh},
            {"NPCSetAttitude -1", nullptr, L"NPCSetAttitude(\"Ada\", \"farm.map\", 4294967295)", 44, 0, fresh},
            {"NPCSetAttitude: a monster", nullptr, L"NPCSetAttitude(\"wolf\", \"farm.map\", 1)", -2, 0, fresh},
            {"NPCSetAttitude: nobody", nullptr, L"NPCSetAttitude(\"Cy\", \"farm.map\", 1)", -2, 0, fresh},
            {"NPCAddEnemy", nullptr, L"NPCAddEnemy(\"Ada\", \"farm.map\", \"Bo\", \"farm.map\")", -1, 0,
             L"Ada[hp5 att0 act0 f h65537 g] Bo[hp5 att0 act0 f h g] "},
            {"NPCAddEnemy: nobody", nullptr, L"NPCAddEnemy(\"Ada\", \"farm.map\", \"Cy\", \"farm.map\")", -2, 0, fresh},
            {"NPCMakeHeroEnemy", nullptr, L"NPCMakeHeroEnemy(\"Bo\", \"farm.map\")", -1, 0,
             L"Ada[hp5 att0 act0 f h g] Bo[hp5 att0 act0 f h65535 g] "},
            {"NPCMakeHeroEnemy: a follower", [](CPlay& p) { p.Npc(L"Bo").friendly = {65535}; },
             L"NPCMakeHeroEnemy(\"Bo\", \"farm.map\")", -1, 0,
             L"Ada[hp5 att0 act0 f h g] Bo[hp5 att0 act0 f65535 h65535 g] "},
            {"NPCMakeHeroEnemy: already a foe",
             [](CPlay& p) {
                 p.Npc(L"Bo").hostile = {7, 65535};
             },
             L"NPCMakeHeroEnemy(\"Bo\", \"farm.map\")", -1, 0,
             L"Ada[hp5 att0 act0 f h g] Bo[hp5 att0 act0 f h7,65535 g] "},
            {"KillNPC", nullptr, L"KillNPC(\"farm\", \"Bo\", \"farm.map\")", -1, 0,
             L"Ada[hp5 att0 act0 f h g] Bo[hp0 att0 act0 f h g] "},
            {"KillNPC: not in that location", nullptr, L"KillNPC(\"mill\", \"Bo\", \"farm.map\")", -1, 0, fresh},
            {"KillNPC: no such location", nullptr, L"KillNPC(\"moor\", \"Bo\", \"farm.map\")", -1, 0, fresh},
            {"NPCSetActivity: not in the current location", nullptr, L"NPCSetActivity(\"Ada\", \"farm.map\", 6)", -1, 0,
             fresh},
            {"NPCSetActivity", toFarm, L"NPCSetActivity(\"Ada\", \"farm.map\", 6)", -1, 0,
             L"Ada[hp5 att0 act6 f h g] Bo[hp5 att0 act0 f h g] "},
            {"NPCDeactivate", nullptr, L"NPCDeactivate(\"Ada\", \"farm.map\")", -1, 0,
             L"Ada[hp5 att0 act0 f h g hidden] Bo[hp5 att0 act0 f h g] "},
            {"NPCActivate", [](CPlay& p) { p.Farm().ActivateNpcHere(p.Npc(L"Bo"), false); },
             L"NPCActivate(\"Bo\", \"farm.map\")", -1, 0, fresh},
            {"NPCActivate: nobody", nullptr, L"NPCActivate(\"Cy\", \"farm.map\")", -2, 0, fresh},
        },
        Npcs);
    CPlay play;
    int64_t result = 0;
    EXPECT_EQ(play.Run(L"NPCSetAttitude(\"wolf\", \"farm.map\", 1)", result), -2);
    EXPECT_EQ(play.thrown, L"The NPCChangeAttitude function only applies to NPCs!");
    EXPECT_EQ(play.Run(L"NPCSetAttitude(\"Cy\", \"farm.map\", 1)", result), -2);
    EXPECT_EQ(play.thrown, L"NPC Cy (farm.map) not found!");
    EXPECT_EQ(play.Run(L"NPCActivate(\"Cy\", \"farm.map\")", result), -2);
    EXPECT_EQ(play.thrown, L"NPC Cy (farm.map) not found!");
    EXPECT_EQ(play.Run(L"NPCMakeHeroEnemy(\"Cy\", \"farm.map\")", result), -2);
    EXPECT_EQ(play.thrown, L"NPC not found: Cy, farm.map");
    EXPECT_EQ(play.Run(L"NPCIsPresentInLoc(\"Ada\", \"farm.map\", \"vale\")", result), -2);
    EXPECT_EQ(play.thrown, L"Location not loaded: vale");
    EXPECT_EQ(play.Run(L"NPCIsPresentInLoc(\"Ada\", \"farm.map\", \"moor\")", result), -2);
    EXPECT_EQ(play.thrown, L"Location not found: moor");
}

// NPCs are looked for among the creatures of the location of that name: Cy
// of the farm, standing in the mill, is found in the mill only, and a script
// that names him with his home finds nobody.
TEST_F(BuiltinsNpc, NpcsAreFoundAmongTheLocationsCreatures) {
    CPlay play;
    auto cy = std::make_unique<CNpc>();
    cy->InitFromType(kRat, 12, 12);
    cy->name = L"Cy";
    cy->homeLocation = L"farm.map";
    CNpc& moved = static_cast<CNpc&>(play.Mill().AddCreature(std::move(cy)));
    EXPECT_EQ(&play.game.FindNPC(L"cy", L"FARM.MAP", &play.Mill()), &moved);
    EXPECT_EQ(play.game.FindNPCsByName(L"Cy", L"farm.map", &play.Mill()), std::vector<CNpc*>{&moved});
    EXPECT_TRUE(play.game.FindNPCsByName(L"Cy", L"farm.map", &play.Farm()).empty());
    EXPECT_TRUE(play.game.FindNPCsByName(L"Cy", L"mill.map", &play.Mill()).empty());
    EXPECT_TRUE(play.game.FindNPCsByName(L"Ada", L"farm.map", nullptr).empty());
    EXPECT_EQ(play.game.FindNPCsByName(L"ADA", L"farm.map", &play.Farm()), std::vector<CNpc*>{&play.Npc(L"Ada")});
    try {
        play.game.FindNPC(L"Cy", L"farm.map", &play.Farm());
        ADD_FAILURE() << "nothing thrown";
    } catch (const vek::CException& e) {
        EXPECT_EQ(e.GetFunction(), L"CGame::FindNPC");
        EXPECT_EQ(e.GetDetails(), L"NPC not found: Cy, farm.map");
    }
    int64_t result = 0;
    EXPECT_EQ(play.Run(L"NPCMakeHeroEnemy(\"Cy\", \"farm.map\")", result), -2);
    EXPECT_EQ(play.thrown, L"NPC not found: Cy, farm.map");
    EXPECT_TRUE(moved.hostile.empty());
}

TEST_F(BuiltinsNpc, TheNpcWhoseScriptRunsFollowsTheHero) {
    // Ada's own script runs the built-in while the hero is in the farm.
    for (const bool follow : {true, false}) {
        CPlay play;
        ASSERT_TRUE(play.world.ReadyLoc(L"farm", 0, 0, 2, 2, kArriveFromWorld, L""));
        CNpc& ada = play.Npc(L"Ada");
        ASSERT_TRUE(ada.script);
        if (!follow) {
            ada.friendly = {CGroupMember::kHeroId, 7};
        }
        const int draws = play.display->draws;
        int64_t result = 0;
        ASSERT_EQ(play.Run(follow ? L"NPCFollowHero()" : L"NPCUnfollowHero()", result, ada.script.get()), -1);
        EXPECT_EQ(ada.friendly, follow ? std::vector<uint32_t>{CGroupMember::kHeroId} : std::vector<uint32_t>{7});
        EXPECT_GT(play.display->draws, draws);
        // Once more: the hero is held once.
        ASSERT_EQ(play.Run(follow ? L"NPCFollowHero()" : L"NPCUnfollowHero()", result, ada.script.get()), -1);
        EXPECT_EQ(ada.friendly.size(), 1u);
        // Another script is no NPC's.
        ASSERT_EQ(play.Run(L"NPCFollowHero()", result), -1);
        EXPECT_TRUE(play.Npc(L"Bo").friendly.empty());
    }
}

TEST_F(BuiltinsNpc, ConversationsWithNpcs) {
    CPlay play;
    int64_t result = 0;
    ASSERT_EQ(play.Run(L"NPCStartChat(\"Ada\", \"farm.map\")", result), -1) << platform::ToUtf8(play.thrown);
    // The conversation window showed her greeting in the display language.
    EXPECT_EQ(play.game.GetDialog().GetText(), L"Hello");
    EXPECT_FALSE(play.game.GetDialog().IsOpen());
    // Bo has no script: nothing to say.
    ASSERT_EQ(play.Run(L"NPCStartChat(\"Bo\", \"farm.map\")", result), -1);
    EXPECT_EQ(play.Run(L"NPCStartChat(\"Cy\", \"farm.map\")", result), -2);
    EXPECT_EQ(play.thrown, L"Cannot find NPC Cy (farm.map)");
}

TEST_F(BuiltinsNpc, TheNpcBeingDefined) {
    const auto defining = [](CPlay& play) { play.game.SetCurrentNpc(&play.Npc(L"Bo")); };
    const auto state = [](CPlay& play) {
        const CNpc& bo = play.Npc(L"Bo");
        std::wstring text = L"items";
        for (const TNpcItem& item : bo.inventory) {
            text += L" " + std::to_wstring(item.itemType) + L"x" + std::to_wstring(item.quantity);
        }
        text += L" spells";
        for (const TNPCSpell& spell : bo.spells) {
            text += L" " + std::to_wstring(spell.spellId) + L"@" + std::to_wstring(spell.level);
        }
        play.game.SetCurrentNpc(nullptr);
        return text;
    };
    CheckRows(
        {
            {"NPCAddInvItem", defining, L"NPCAddInvItem(\"bread\", 3)", -1, 0, L"items 6x3 spells"},
            {"NPCAddInvItem: nobody is defined", nullptr, L"NPCAddInvItem(\"bread\", 3)", 69, 0, L"items spells"},
            {"NPCAddInvItem: no such item", defining, L"NPCAddInvItem(\"lute\", 3)", 67, 0, L"items spells"},
            {"NPCAddSpell at 1", defining, L"NPCAddSpell(\"frost\", 1)", -1, 0, L"items spells 1@1"},
            {"NPCAddSpell at 100", defining, L"NPCAddSpell(\"spark\", 100)", -1, 0, L"items spells 0@100"},
            {"NPCAddSpell at 0", defining, L"NPCAddSpell(\"spark\", 0)", 44, 0, L"items spells"},
            {"NPCAddSpell at 101", defining, L"NPCAddSpell(\"spark\", 101)", 44, 0, L"items spells"},
            {"NPCAddSpell at 65537", defining, L"NPCAddSpell(\"spark\", 65537)", 44, 0, L"items spells"},
            {"NPCAddSpell: no such spell", defining, L"NPCAddSpell(\"fog\", 5)", 71, 0, L"items spells"},
            {"NPCAddSpell: nobody is defined", nullptr, L"NPCAddSpell(\"spark\", 5)", 69, 0, L"items spells"},
        },
        state);
}

std::wstring Shown(const TTradeInfo& t) {
    std::wstring text = std::to_wstring(t.valid) + L" " + std::to_wstring(t.valueA) + L" " + std::to_wstring(t.valueB) +
                        L" " + std::to_wstring(t.valueC) + L" |";
    for (const TTradeItem& item : t.items) {
        text += L" {" + std::to_wstring(item.itemType) + L" " + std::to_wstring(item.value1) + L" " +
                std::to_wstring(item.value2) + L" " + std::to_wstring(item.value3) + L"}";
    }
    return text;
}

TEST_F(BuiltinsNpc, TradeProfilesThroughTheNpcsSetUp) {
    // Ada was set up when the farm was read: her profile's record, its
    // leading {9, 7, b, c} entry first.
    CPlay play;
    const CNpc& ada = play.Npc(L"Ada");
    EXPECT_EQ(Shown(ada.trade), L"1 2 3 4 | {9 7 3 4} {5 1 2 3}");
    EXPECT_FLOAT_EQ(ada.trade.factor1, 1.5f);
    EXPECT_FLOAT_EQ(ada.trade.factor2, 0.5f);
    // Bo has no script: nothing was set.
    EXPECT_EQ(Shown(play.Npc(L"Bo").trade), L"0 0 0 0 |");
}

// The trade built-ins fill the record of the script that runs them.
TEST_F(BuiltinsNpc, TradeBuiltins) {
    const struct {
        std::wstring line;
        int code;
        std::wstring trade;
        std::wstring categories;
    } rows[] = {
        {L"LoadTradeProfile(\"ada_stock.u\", 2.5, 1.0, 256, 7, 8)", -1, L"1 0 7 8 | {9 7 7 8} {5 1 2 3}", L""},
        {L"LoadTradeProfile(\"ada_stock.u\", 2.5, 1.0, 255, 0, 4294967295)", -1,
         L"1 255 0 4294967295 | {9 7 0 4294967295} {5 1 2 3}", L""},
        {L"LoadTradeProfile(\"none.u\", 1.0, 1.0, 1, 1, 1)", -2, L"0 0 0 0 |", L""},
        {L"DefineTradeItem(\"bread\", 70000, 5, 6)", -1, L"0 0 0 0 | {6 4464 5 6}", L""},
        {L"DefineTradeItem(\"lute\", 1, 5, 6)", 67, L"0 0 0 0 |", L""},
        {L"DefineRandomTradeItem(3, 4)", -1, L"0 0 0 0 | {65535 3 0 4}", L""},
        {L"DefineBuyCategory(19)", -1, L"0 0 0 0 |", L"19"},
        {L"DefineBuyCategory(65555)", -1, L"0 0 0 0 |", L"19"},
    };
    for (const auto& row : rows) {
        CPlay play;
        CScript script;
        int64_t result = 0;
        EXPECT_EQ(play.Run(row.line, result, &script), row.code) << platform::ToUtf8(row.line);
        EXPECT_EQ(Shown(script.GetExtraData().trade), row.trade) << platform::ToUtf8(row.line);
        std::wstring categories;
        for (uint16_t category : script.GetExtraData().trade.buyCategories) {
            categories += std::to_wstring(category);
        }
        EXPECT_EQ(categories, row.categories) << platform::ToUtf8(row.line);
    }
    CPlay play;
    int64_t result = 0;
    ASSERT_EQ(play.Run(L"_Test(7, \"seven\")", result), -1);
    EXPECT_EQ(play.output.str(), L"Args: 2\nArg 2: seven\nArg 1: 7\n");
}

TEST_F(BuiltinsNpc, GroupsAndBattles) {
    // The pack: a wolf added at (3, 3) in the mill (global id 1); the
    // guards: Ada and Bo.
    const auto groups = [](CPlay& play) {
        std::wstring text;
        for (const CGroup* group : g_groupList.Get()) {
            text += group->name + L"[" + Ids(group->members) + L"] ";
        }
        for (const TBattleRecord& battle : play.hero.battles) {
            text += L"battle " + battle.name + L":" + battle.group1 + L"-" + battle.group2 + L" ";
        }
        return text;
    };
    const auto sides = [](CPlay& play) {
        int64_t result = 0;
        ASSERT_EQ(play.Run(L"AddGroup(\"pack\")", result), -1);
        ASSERT_EQ(play.Run(L"AddGroup(\"guards\")", result), -1);
        ASSERT_EQ(play.Run(L"AddMonsterToGroup(\"wolf\", \"mill\", 3, 3, \"pack\")", result), -1);
        ASSERT_EQ(play.Run(L"NPCSetGroup(\"Ada\", \"farm.map\", \"guards\")", result), -1);
        ASSERT_EQ(play.Run(L"NPCSetGroup(\"Bo\", \"farm.map\", \"guards\")", result), -1);
        ASSERT_EQ(play.Run(L"Battle(\"Ford\", \"pack\", \"guards\")", result), -1);
    };
    const std::wstring fought = L"pack[1] guards[65536,65537] battle Ford:pack-guards ";
    const auto wolfDies = [sides](CPlay& play) {
        sides(play);
        play.Mill().GetCreatures()[1]->hitPoints = 0;
    };
    const auto guardsDie = [sides](CPlay& play) {
        sides(play);
        play.Npc(L"Ada").hitPoints = 0;
        play.Npc(L"Bo").stateByte = 0;
    };
    const auto oneGuardDies = [sides](CPlay& play) {
        sides(play);
        play.Npc(L"Ada").hitPoints = 0;
    };
    const auto allDie = [guardsDie](CPlay& play) {
        guardsDie(play);
        play.Mill().GetCreatures()[1]->hitPoints = 0;
    };
    CheckRows(
        {
            {"AddGroup", nullptr, L"AddGroup(\"pack\")", -1, 0, L"pack[] "},
            {"AddMonsterToGroup", [](CPlay&) { g_groupList.Get().push_back(new CGroup(L"pack")); },
             L"AddMonsterToGroup(\"wolf\", \"mill\", 3, 3, \"PACK\")", -1, 0, L"pack[1] "},
            {"AddMonsterToGroup: outside", [](CPlay&) { g_groupList.Get().push_back(new CGroup(L"pack")); },
             L"AddMonsterToGroup(\"wolf\", \"mill\", 3, 15, \"pack\")", -2, 0, L"pack[] "},
            {"AddMonsterToGroup: no such monster", [](CPlay&) { g_groupList.Get().push_back(new CGroup(L"pack")); },
             L"AddMonsterToGroup(\"lion\", \"mill\", 3, 3, \"pack\")", -2, 0, L"pack[] "},
        },
        groups);
    CheckRows(
        {
            {"AddMonsterToGroup: no such group", nullptr, L"AddMonsterToGroup(\"wolf\", \"mill\", 3, 3, \"pack\")", -2,
             0, L""},
            {"NPCSetGroup: no such group", nullptr, L"NPCSetGroup(\"Ada\", \"farm.map\", \"guards\")", -2, 0, L""},
            // Nobody joins, so no group is looked up.
            {"NPCSetGroup: nobody, no such group", nullptr, L"NPCSetGroup(\"Cy\", \"farm.map\", \"guards\")", -1, 0,
             L""},
            {"NPCSetGroup: another home, no such group", nullptr, L"NPCSetGroup(\"Ada\", \"mill.map\", \"guards\")", -1,
             0, L""},
            {"NPCSetGroup: nobody", [](CPlay&) { g_groupList.Get().push_back(new CGroup(L"guards")); },
             L"NPCSetGroup(\"Cy\", \"farm.map\", \"guards\")", -1, 0, L"guards[] "},
            {"Battle: no such group", nullptr, L"Battle(\"Ford\", \"pack\", \"guards\")", -1, 0, L""},
            {"the sides", sides, L"IsBattleEnded(\"Ford\")", -1, 0, fought},
            {"IsBattleEnded: the wolf is dead", wolfDies, L"IsBattleEnded(\"ford\")", -1, 1, fought},
            {"HasGroupWonBattle: the guards", wolfDies, L"HasGroupWonBattle(\"Ford\", \"guards\")", -1, 1, fought},
            {"HasGroupWonBattle: other letters", wolfDies, L"HasGroupWonBattle(\"Ford\", \"GUARDS\")", -1, 0, fought},
            {"HasGroupWonBattle: not the pack", wolfDies, L"HasGroupWonBattle(\"Ford\", \"pack\")", -1, 0, fought},
            {"HasGroupWonBattle: the pack", guardsDie, L"HasGroupWonBattle(\"Ford\", \"pack\")", -1, 1, fought},
            {"IsBattleEnded: one guard left", oneGuardDies, L"IsBattleEnded(\"Ford\")", -1, 0, fought},
            {"IsBattleEnded: nobody left", allDie, L"IsBattleEnded(\"Ford\")", -1, 0, fought},
            {"IsBattleEnded: no such battle", sides, L"IsBattleEnded(\"Hill\")", -2, 0, fought},
        },
        groups);
    CPlay play;
    int64_t result = 0;
    ASSERT_EQ(play.Run(L"Battle(\"Ford\", \"pack\", \"guards\")", result), -1);
    EXPECT_EQ(play.log.back(), L"Warning, group not found - pack");
    EXPECT_EQ(play.Run(L"IsBattleEnded(\"Ford\")", result), -2);
    EXPECT_EQ(play.thrown, L"Battle not found: Ford");
    EXPECT_EQ(play.Run(L"NPCSetGroup(\"Ada\", \"farm.map\", \"guards\")", result), -2);
    EXPECT_EQ(play.thrown, L"Group not found: guards");
}

TEST_F(BuiltinsNpc, TheQuestLog) {
    const auto begun = [](CPlay& play) {
        play.game.GetQuestLog().Begin(TQuestLogEntry{L"herbs", L"T", L"D", L"G", 0});
    };
    const auto done = [](CPlay& play) { play.game.GetQuestLog().Begin(TQuestLogEntry{L"herbs", L"T", L"D", L"G", 1}); };
    const auto state = [](CPlay& play) {
        std::wstring text;
        for (const TQuestLogEntry& e : play.game.GetQuestLog().GetEntries()) {
            text += e.name + L"/" + e.title + L"/" + e.description + L"/" + e.giver + L"/" +
                    std::to_wstring(e.completed) + L" ";
        }
        return text;
    };
    CheckRows(
        {
            {"BeginQuest", nullptr, L"BeginQuest(\"herbs\", \"STR_Q\", \"STR_QD\", \"Ada\")", -1, 0,
             L"herbs/STR_Q/STR_QD/Ada/0 "},
            {"BeginQuest again", begun, L"BeginQuest(\"herbs\", \"A\", \"B\", \"C\")", -1, 0,
             L"herbs/T/D/G/0 herbs/A/B/C/0 "},
            {"EndQuest", begun, L"EndQuest(\"HERBS\")", -1, 0, L"herbs/T/D/G/1 "},
            {"EndQuest: done already", done, L"EndQuest(\"herbs\")", -2, 0, L"herbs/T/D/G/1 "},
            {"EndQuest: never begun", nullptr, L"EndQuest(\"herbs\")", -2, 0, L""},
        },
        state);
    CPlay play;
    done(play);
    int64_t result = 0;
    EXPECT_EQ(play.Run(L"EndQuest(\"herbs\")", result), -2);
    EXPECT_EQ(play.thrown, L"Quest 'herbs' already completed.");
    EXPECT_EQ(play.Run(L"EndQuest(\"wolves\")", result), -2);
    EXPECT_EQ(play.thrown, L"Quest 'wolves' not found.");
}

} // namespace
} // namespace gameplaytest
