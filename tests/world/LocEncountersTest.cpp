// Alarms raised when a group's member is attacked, the encounter rolled as
// the hero enters a random location, and NPCs added to a location.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "rules/Group.h"
#include "tests/world/PlayFixture.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

using worldtest::AddMonster;
using worldtest::kRat;
using worldtest::kTroll;
using worldtest::Lines;

class LocEncounters : public worldtest::PlayFixture {};

// --- Alarms ---------------------------------------------------------------------------------------------

// The keep (world cell (0, 0), location index 0) holds four guards: 0 alive,
// 1 dead, 2 a friend of the attacker, 3 his foe already. The group also
// names a creature of another location.
TEST_F(LocEncounters, AnAlarmTurnsTheGroupOnTheAttacker) {
    constexpr uint32_t kAttacker = 0x00050007;
    auto alarm = [](const std::wstring& group, uint64_t counter, uint32_t kind = TAlarmEntry::kGroup,
                    uint32_t action = TAlarmEntry::kRaise) {
        TAlarm a;
        a.name = L"a";
        a.counter = counter;
        a.entries = {TAlarmEntry{kind, action, group}};
        return a;
    };
    const struct {
        const char* what;
        std::vector<TAlarm> alarms;
        int raised; // the alarm whose counter went to 0; -1 none
    } cases[] = {
        {"a rested alarm", {alarm(L"guards", 43200)}, 0},
        {"one that rested an hour", {alarm(L"guards", 3600)}, 0},
        {"the group's name in capitals", {alarm(L"GUARDS", 43200)}, 0},
        {"one still resting stops the walk", {alarm(L"guards", 3599), alarm(L"guards", 43200)}, -1},
        {"another group's is passed by", {alarm(L"wolves", 43200), alarm(L"guards", 43200)}, 1},
        {"an entry of another kind is passed by", {alarm(L"guards", 43200, 1), alarm(L"guards", 43200)}, 1},
        {"an entry that raises nothing stops the walk",
         {alarm(L"guards", 43200, TAlarmEntry::kGroup, 0), alarm(L"guards", 43200)},
         -1},
        {"no alarm", {}, -1},
    };
    for (const auto& c : cases) {
        m_world.Init();
        g_groupList.Clear();
        CLoc& keep = Grass(0, 0, L"keep");
        CMonster& alive = AddMonster(keep, kRat, 1, 1);
        CMonster& dead = AddMonster(keep, kRat, 2, 1);
        dead.hitPoints = 0;
        CMonster& friendOf = AddMonster(keep, kRat, 3, 1);
        friendOf.friendly = {kAttacker};
        CMonster& foe = AddMonster(keep, kRat, 4, 1);
        foe.hostile = {kAttacker};
        g_groupList.Get().push_back(new CGroup(L"guards"));
        g_groupList.Get().back()->members = {0, 1, 2, 3, (1u << 16) | 0u};
        keep.GetAlarms() = c.alarms;
        keep.RaiseAlarms(L"guards", kAttacker);
        const bool raised = c.raised >= 0;
        for (size_t i = 0; i < c.alarms.size(); ++i) {
            EXPECT_EQ(keep.GetAlarms()[i].counter, static_cast<int>(i) == c.raised ? 0u : c.alarms[i].counter)
                << c.what << " " << i;
        }
        EXPECT_EQ(alive.hostile, raised ? std::vector<uint32_t>{kAttacker} : std::vector<uint32_t>{}) << c.what;
        EXPECT_EQ(alive.alerted, raised ? 1u : 0u) << c.what;
        EXPECT_TRUE(dead.hostile.empty()) << c.what;
        EXPECT_EQ(dead.alerted, 0u) << c.what;
        EXPECT_TRUE(friendOf.hostile.empty()) << c.what;
        EXPECT_EQ(friendOf.alerted, raised ? 1u : 0u) << c.what;
        EXPECT_EQ(foe.hostile, std::vector<uint32_t>{kAttacker}) << c.what;
        EXPECT_EQ(foe.alerted, raised ? 1u : 0u) << c.what;
        if (raised) {
            // Resting now: raised once only.
            alive.hostile.clear();
            keep.RaiseAlarms(L"guards", kAttacker);
            EXPECT_TRUE(alive.hostile.empty()) << c.what;
        }
    }
    // A group the program does not know.
    g_groupList.Clear();
    CLoc& keep = *m_world.grid.At(0, 0).loc;
    keep.GetAlarms() = {alarm(L"guards", 43200)};
    EXPECT_EQ(worldtest::ThrownText([&] { keep.RaiseAlarms(L"guards", kAttacker); }),
              L"CGameplayInterface::FindGroup: Group not found: guards");
}

// --- The entry encounter --------------------------------------------------------------------------------

// The heath: a random location at world cell (0, 0), danger level 10, left
// long ago. Encounters: 0 of level 9 (too dangerous at 10), 1 of level 4.4
// (rats, 2 to 3), 2 of level 2.5 (none of its slots places anything).
class EntryEncounter : public LocEncounters {
protected:
    void SetUp() override {
        LocEncounters::SetUp();
        std::vector<TEncounterInfo>& encounters = m_game.GetTableSet(kScriptTables).encounters;
        encounters.assign(3, TEncounterInfo());
        encounters[0].DifficultyLevel = 9;
        encounters[1].DifficultyLevel = 4.4f;
        encounters[1].EncounterText = L"Rats!";
        encounters[1].MonAttitude = 2;
        encounters[1].slots[0] = TEncounterSlot{kRat, 2, 3, L""};
        encounters[2].DifficultyLevel = 2.5f;
        m_game.SetClock(500000);
        m_heath = &Heath();
    }

    CLoc& Heath() {
        m_world.Init();
        g_groupList.Clear();
        CLoc& heath = Grass(0, 0, L"heath");
        TWorldLocInfo& cell = m_world.grid.At(0, 0);
        cell.randomKind = kWorldRandom;
        cell.flags = 0;
        cell.danger = 10;
        return heath;
    }

    // The draws of an encounter: the chance, the encounter, the group's
    // cell (x = 1 + draw mod 18, y = 1 + draw mod 13), seven for the
    // shuffle (all 0: directions 2, 3, 4, 5, 6, 7, 8, 1), the count.
    static std::vector<int32_t> Draws(int32_t chance, int32_t encounter, int32_t count) {
        return {chance, encounter, 9, 6, 0, 0, 0, 0, 0, 0, 0, count};
    }

    size_t Placed() const {
        size_t placed = 0;
        for (const CMonster* creature : m_heath->GetCreatures()) {
            placed += creature != nullptr ? 1 : 0;
        }
        return placed;
    }

    CLoc* m_heath = nullptr;
};

TEST_F(EntryEncounter, OnlyInRandomLocationsLeftLongEnough) {
    const std::vector<int32_t> full = Draws(4, 1, 1);
    const std::vector<int32_t> none;
    const struct {
        const char* what;
        void (*prepare)(CGameData& game, TWorldLocInfo& cell, CLoc& heath);
        std::vector<int32_t> draws;
        size_t placed;
    } cases[] = {
        {"a random cell", nullptr, full, 3},
        {"record flag 1", [](CGameData&, TWorldLocInfo& c, CLoc&) { c.flags = 1; }, full, 3},
        {"record flag 2", [](CGameData&, TWorldLocInfo& c, CLoc&) { c.flags = 2; }, none, 0},
        {"record flag 4", [](CGameData&, TWorldLocInfo& c, CLoc&) { c.flags = 4; }, none, 0},
        {"record flag 8", [](CGameData&, TWorldLocInfo& c, CLoc&) { c.flags = 8; }, none, 0},
        {"record flag 16", [](CGameData&, TWorldLocInfo& c, CLoc&) { c.flags = 16; }, full, 3},
        {"a fixed cell", [](CGameData&, TWorldLocInfo& c, CLoc&) { c.randomKind = kWorldFixed; }, none, 0},
        // Only random kind 1 is random here.
        {"a dungeon site", [](CGameData&, TWorldLocInfo& c, CLoc&) { c.randomKind = kWorldDungeonSite; }, none, 0},
        {"the editor", [](CGameData& g, TWorldLocInfo&, CLoc&) { g.SetState(kStateEditor); }, none, 0},
        // Entered before: 36 hours away at least.
        {"left 129599 s ago",
         [](CGameData& g, TWorldLocInfo&, CLoc& h) {
             h.SetFlags(h.GetFlags() | kLocEntered);
             g.SetCurrentLocExitTime(g.GetClock() - 129599);
         },
         none, 0},
        {"left 129600 s ago",
         [](CGameData& g, TWorldLocInfo&, CLoc& h) {
             h.SetFlags(h.GetFlags() | kLocEntered);
             g.SetCurrentLocExitTime(g.GetClock() - 129600);
         },
         full, 3},
        // Danger above 5: no encounter when the draw mod 6 is 3 or less.
        {"the chance says none", nullptr, {3}, 0},
    };
    for (const auto& c : cases) {
        m_heath = &Heath();
        m_game.SetState(kStateGame);
        if (c.prepare != nullptr) {
            c.prepare(m_game, m_world.grid.At(0, 0), *m_heath);
        }
        m_draws.Set(c.draws);
        m_heath->SetupGroups();
        EXPECT_EQ(m_draws.Drawn(), c.draws.size()) << c.what;
        EXPECT_EQ(Placed(), c.placed) << c.what;
    }
    m_game.SetState(kStateGame);
}

// Left through Exit and entered again from another location: 35 hours
// away are too few, 36 enough.
TEST_F(EntryEncounter, EnteredAgainAfterLeaving) {
    const struct {
        const char* what;
        uint64_t away;
        std::vector<int32_t> draws;
    } cases[] = {
        {"35 hours later", 35 * 3600, {}},
        {"a second short of 36 hours", 36 * 3600 - 1, {}},
        {"36 hours later", 36 * 3600, {3}},
    };
    for (const auto& c : cases) {
        m_heath = &Heath();
        CLoc& barn = Grass(1, 0, L"barn");
        m_game.SetClock(500000);
        // The first time the chance is drawn, and says none.
        m_draws.Set({3});
        ASSERT_TRUE(m_heath->Enter(5, 5, kArriveFromWorld, TArrival{})) << c.what;
        EXPECT_EQ(m_draws.Drawn(), 1u) << c.what;
        TArrival toBarn;
        toBarn.previous = m_heath;
        ASSERT_TRUE(barn.Enter(5, 5, kArriveFromWorld, toBarn)) << c.what;
        EXPECT_EQ(m_heath->GetExitTime(), 500000u) << c.what;
        m_game.SetClock(500000 + c.away);
        m_draws.Set(c.draws);
        TArrival back;
        back.previous = &barn;
        back.previousX = 1;
        ASSERT_TRUE(m_heath->Enter(6, 6, kArriveFromWorld, back)) << c.what;
        EXPECT_EQ(m_draws.Drawn(), c.draws.size()) << c.what;
        EXPECT_EQ(Placed(), 0u) << c.what;
    }
}

TEST_F(EntryEncounter, TheChanceByDangerLevel) {
    const struct {
        uint16_t danger;
        int32_t draw;
        bool encounter;
    } cases[] = {
        {5, 5, false},                 // 5 mod 7 <= 5
        {5, 6, true},  {5, 12, false}, // 12 mod 7 = 5
        {6, 3, false},                 // 3 mod 6 <= 3
        {6, 4, true},  {6, 9, false},  // 9 mod 6 = 3
        {1, 6, true},
    };
    for (const auto& c : cases) {
        m_heath = &Heath();
        m_world.grid.At(0, 0).danger = c.danger;
        // Encounter 2 (level 3) suits every danger level from 3 on; below,
        // nothing suits and all 1001 draws are made.
        std::vector<int32_t> draws{c.draw};
        if (c.encounter) {
            draws.resize(c.danger >= 3 ? 2 : 1 + CLoc::kEncounterDraws, 2);
        }
        m_draws.Set(draws);
        m_heath->SetupGroups();
        EXPECT_EQ(m_draws.Drawn(), draws.size()) << c.danger << " " << c.draw;
    }
}

// Accepted: level (rounded) not above the danger level, and at most 3 or
// not above half the danger level (rounded). One encounter of that level;
// accepted at the first draw, else after 1001 draws.
TEST_F(EntryEncounter, WhichEncountersSuitTheDangerLevel) {
    const struct {
        uint16_t danger;
        float level;
        bool accepted;
    } cases[] = {
        {10, 5.0f, true},  {10, 5.49f, true},  {10, 5.5f, false}, {10, 6.0f, false}, {7, 4.0f, true},
        {7, 4.5f, false},  {3, 3.0f, true},    {3, 3.5f, false},  {2, 3.0f, false},  {1, 0.4f, true},
        {20, 10.0f, true}, {20, 10.5f, false}, {0, 0.0f, true},
    };
    for (const auto& c : cases) {
        m_heath = &Heath();
        m_world.grid.At(0, 0).danger = c.danger;
        std::vector<TEncounterInfo>& encounters = m_game.GetTableSet(kScriptTables).encounters;
        encounters.assign(1, TEncounterInfo());
        encounters[0].DifficultyLevel = c.level;
        encounters[0].EncounterText = L"Met.";
        const int32_t chance = c.danger <= 5 ? 6 : 4;
        std::vector<int32_t> draws{chance};
        draws.resize(c.accepted ? 2 : 1 + CLoc::kEncounterDraws, 0);
        m_draws.Set(draws);
        m_heath->SetupGroups();
        EXPECT_EQ(m_draws.Drawn(), draws.size()) << c.danger << " " << c.level;
    }
    // An empty table: nothing to draw from.
    m_heath = &Heath();
    m_game.GetTableSet(kScriptTables).encounters.clear();
    m_draws.Set({4});
    m_heath->SetupGroups();
    EXPECT_EQ(m_draws.Drawn(), 1u);
}

// The group's cell is (10, 7); its cells in order (10, 6), (11, 6), (11, 7),
// (11, 8), (10, 8), (9, 8), (9, 7), (9, 6).
TEST_F(EntryEncounter, TheGroupsCreatures) {
    const struct {
        const char* what;
        uint16_t least, most;
        int32_t countDraw;
        int32_t attitude;
        void (*block)(CLoc& heath);
        std::vector<vek::TPoint> cells;
        bool shown;
    } cases[] = {
        {"2 + 1 mod 2", 2, 3, 1, 2, nullptr, {{10, 6}, {11, 6}, {11, 7}}, true},
        {"2 + 0 mod 2", 2, 3, 0, 2, nullptr, {{10, 6}, {11, 6}}, true},
        {"one of one", 1, 1, 0, 2, nullptr, {{10, 6}}, true},
        {"eight", 8, 8, 0, 2, nullptr, {{10, 6}, {11, 6}, {11, 7}, {11, 8}, {10, 8}, {9, 8}, {9, 7}, {9, 6}}, true},
        {"nine are cut to eight",
         9,
         12,
         3,
         2,
         nullptr,
         {{10, 6}, {11, 6}, {11, 7}, {11, 8}, {10, 8}, {9, 8}, {9, 7}, {9, 6}},
         true},
        {"a peaceful group", 1, 1, 0, 1, nullptr, {{10, 6}}, true},
        // Only the first cells of the list are tried.
        {"a wall and a creature in the way",
         3,
         3,
         0,
         2,
         [](CLoc& h) {
             h.GetTerrain().At(10, 6) = 1;
             AddMonster(h, kRat, 11, 6);
         },
         {{11, 7}},
         true},
        {"nowhere to stand", 1, 1, 0, 2, [](CLoc& h) { h.GetTerrain().At(10, 6) = 1; }, {}, false},
    };
    for (const auto& c : cases) {
        m_heath = &Heath();
        if (c.block != nullptr) {
            c.block(*m_heath);
        }
        const size_t before = m_heath->GetCreatures().size();
        TEncounterInfo& encounter = m_game.GetTableSet(kScriptTables).encounters[1];
        encounter.slots[0] = TEncounterSlot{kRat, c.least, c.most, L""};
        encounter.MonAttitude = c.attitude;
        m_draws.Set(Draws(4, 1, c.countDraw));
        m_display->lines.clear();
        m_heath->SetupGroups();
        EXPECT_EQ(m_draws.Drawn(), 12u) << c.what;
        // One group and one alarm for it, placed or not.
        ASSERT_EQ(g_groupList.Get().size(), 1u) << c.what;
        const CGroup& group = *g_groupList.Get()[0];
        EXPECT_EQ(group.name, L"autogroup500000") << c.what;
        ASSERT_EQ(m_heath->GetAlarms().size(), 1u) << c.what;
        const TAlarm& alarm = m_heath->GetAlarms()[0];
        EXPECT_EQ(alarm.name, L"autoalarm") << c.what;
        EXPECT_EQ(alarm.counter, TAlarm::kPresetCounter) << c.what;
        EXPECT_EQ(alarm.entries, (std::vector<TAlarmEntry>{{TAlarmEntry::kGroup, TAlarmEntry::kRaise, group.name}}))
            << c.what;
        const std::vector<CMonster*>& creatures = m_heath->GetCreatures();
        ASSERT_EQ(creatures.size() - before, c.cells.size()) << c.what;
        for (size_t i = 0; i < c.cells.size(); ++i) {
            const CMonster& rat = *creatures[before + i];
            EXPECT_EQ(rat.x, static_cast<uint32_t>(c.cells[i].x)) << c.what << " " << i;
            EXPECT_EQ(rat.y, static_cast<uint32_t>(c.cells[i].y)) << c.what << " " << i;
            EXPECT_EQ(rat.attitude, static_cast<uint32_t>(c.attitude)) << c.what;
            EXPECT_EQ(rat.hostility, c.attitude == 2 ? 1u : 0x11u) << c.what;
            EXPECT_EQ(rat.IsHostile(CGroupMember::kHeroId), c.attitude == 2) << c.what;
            EXPECT_EQ(rat.groups, std::vector<std::wstring>{group.name}) << c.what;
        }
        EXPECT_EQ(group.members.size(), c.cells.size()) << c.what;
        EXPECT_EQ(m_display->lines, c.shown ? Lines{L"box Note: Rats!"} : Lines{}) << c.what;
    }
}

TEST_F(EntryEncounter, SlotsWithoutCreaturesAreSkipped) {
    TEncounterInfo& encounter = m_game.GetTableSet(kScriptTables).encounters[1];
    encounter.slots[0] = TEncounterSlot{kRat, 0, 3, L""}; // none at least
    encounter.slots[1] = TEncounterSlot{kRat, 3, 2, L""}; // fewest above most
    encounter.slots[2] = TEncounterSlot{kRat, 1, 1, L""};
    m_draws.Set(Draws(4, 1, 0));
    m_heath->SetupGroups();
    EXPECT_EQ(m_draws.Drawn(), 12u);
    EXPECT_EQ(Placed(), 1u);
    EXPECT_EQ(g_groupList.Get().size(), 1u);
}

TEST_F(EntryEncounter, CharactersComeAsNpcs) {
    m_game.GetTableSet(kScriptTables).monsters[kRat].flags |= kCharacterKindFlag;
    WriteText("Data/Scripts/rat.u", "var greeted = 0\n");
    TEncounterInfo& encounter = m_game.GetTableSet(kScriptTables).encounters[1];
    encounter.slots[0] = TEncounterSlot{kRat, 1, 1, L""};
    m_draws.Set(Draws(4, 1, 0));
    m_heath->SetupGroups();
    ASSERT_EQ(m_heath->GetCreatures().size(), 1u);
    const CMonster& creature = *m_heath->GetCreatures()[0];
    ASSERT_EQ(creature.GetKind(), CGroupMember::kKindNpc);
    const auto& npc = static_cast<const CNpc&>(creature);
    EXPECT_EQ(npc.name, L"rat");
    EXPECT_NE(npc.script, nullptr);
    EXPECT_TRUE(npc.IsHostile(CGroupMember::kHeroId));
    EXPECT_EQ(m_game.GetNpcList().back(), &npc);
}

// Whether and which encounter comes is drawn only once the hero is in, so
// every character an encounter that suits the heath could bring must have
// its script before anything changes: else nothing is drawn, the hero
// stays in the barn and the barn is not left.
TEST_F(EntryEncounter, ACharacterWithoutItsScriptIsRefusedBeforeTheEntry) {
    const struct {
        const char* what;
        size_t withRat; // the encounter whose slot brings the rat
        uint32_t flags; // the heath's record flags
        bool script;
        std::vector<int32_t> draws;
        std::wstring error;
    } cases[] = {
        {"its script is there", 1, 0, true, {3}, L""},
        {"its script is missing", 1, 0, false, {}, L"CLoc::Enter: Script file not found - Data/Scripts/rat.u"},
        {"only in an encounter too dangerous here", 0, 0, false, {3}, L""},
        {"where no encounter comes", 1, 4, false, {}, L""},
    };
    m_game.GetTableSet(kScriptTables).monsters[kRat].flags |= kCharacterKindFlag;
    std::vector<TEncounterInfo>& encounters = m_game.GetTableSet(kScriptTables).encounters;
    for (const auto& c : cases) {
        encounters[0].slots[0] = TEncounterSlot{};
        encounters[1].slots[0] = TEncounterSlot{};
        encounters[c.withRat].slots[0] = TEncounterSlot{kRat, 1, 1, L""};
        std::filesystem::remove("Data/Scripts/rat.u");
        if (c.script) {
            WriteText("Data/Scripts/rat.u", "var greeted = 0\n");
        }
        m_heath = &Heath();
        m_world.grid.At(0, 0).flags = c.flags;
        CLoc& barn = Grass(1, 0, L"barn");
        Stand(barn, 3, 3);
        m_draws.Set(c.draws);
        TArrival arrival;
        arrival.previous = &barn;
        arrival.previousX = 1;
        EXPECT_EQ(worldtest::ThrownText([&] { m_heath->Enter(5, 5, kArriveFromWorld, arrival); }), c.error) << c.what;
        EXPECT_EQ(m_draws.Drawn(), c.draws.size()) << c.what;
        EXPECT_EQ(m_game.GetCurrentLoc(), c.error.empty() ? m_heath : &barn) << c.what;
        EXPECT_EQ(barn.GetCreatureIds().At(3, 3), c.error.empty() ? kNoCreature : kHeroCell) << c.what;
        EXPECT_EQ(m_hero.x, c.error.empty() ? 5u : 3u) << c.what;
        EXPECT_EQ(barn.GetExitTime(), c.error.empty() ? 500000u : 0u) << c.what;
        EXPECT_EQ(m_heath->GetFlags() & kLocEntered, c.error.empty() ? kLocEntered : 0) << c.what;
    }
}

// --- NPCs -----------------------------------------------------------------------------------------------

TEST_F(LocEncounters, AddNpc) {
    WriteText("Data/Scripts/miller.u", "LoadTradeProfile(\"stock.u\", 1.0, 2.0, 3, 4, 5)\n");
    WriteText("Data/Scripts/stock.u", "DefineBuyCategory(4)\n");
    const struct {
        const char* what;
        std::wstring name;
        std::wstring script;
        uint16_t kind;
        uint32_t state;
        std::wstring error;
        std::wstring shown;
    } cases[] = {
        {"with its script", L"Miller", L"Scripts\\miller.u", kRat, kStateGame, L"", L""},
        {"a large one", L"Miller", L"miller.u", kTroll, kStateGame, L"", L""},
        {"without a name", L"", L"miller.u", kRat, kStateGame, L"CLoc::AddNPC: Cannot create NPC with no name", L""},
        {"without its script", L"Ghost", L"ghost.u", kRat, kStateGame,
         L"CLoc::AddNPC: Script file not found - Data/Scripts/ghost.u", L""},
        {"without its script, in the editor", L"Ghost", L"ghost.u", kRat, kStateEditor, L"",
         L"box Note: No script has been found for the character, Ghost. A default script has been generated."},
    };
    for (const auto& c : cases) {
        m_world.Init();
        std::filesystem::remove("Data/Scripts/ghost.u");
        CLoc& farm = Grass(2, 1, L"farm");
        m_game.SetState(c.state);
        CNpc npc;
        npc.InitFromType(c.kind, 6, 4);
        npc.name = c.name;
        npc.scriptFile = c.script;
        const size_t npcs = m_game.GetNpcList().size();
        m_display->lines.clear();
        CNpc* added = nullptr;
        EXPECT_EQ(worldtest::ThrownText([&] { added = &farm.AddNPC(npc); }), c.error) << c.what;
        EXPECT_EQ(m_display->lines, c.shown.empty() ? Lines{} : Lines{c.shown}) << c.what;
        if (!c.error.empty()) {
            EXPECT_TRUE(farm.GetCreatures().empty()) << c.what;
            EXPECT_EQ(m_game.GetNpcList().size(), npcs) << c.what;
            EXPECT_EQ(farm.GetCreatureIds().At(6, 4), kNoCreature) << c.what;
            continue;
        }
        ASSERT_EQ(farm.GetCreatures().size(), 1u) << c.what;
        EXPECT_EQ(farm.GetCreatures()[0], added) << c.what;
        EXPECT_EQ(m_game.GetNpcList().back(), added) << c.what;
        // World cell (2, 1): location index 4 x 1 + 2.
        EXPECT_EQ(added->globalId, 6u << 16) << c.what;
        EXPECT_EQ(farm.GetCreatureIds().At(6, 4), 0) << c.what;
        EXPECT_EQ(farm.GetCreatureIds().At(9, 6), c.kind == kTroll ? 0 : kNoCreature) << c.what;
        if (c.state == kStateEditor) {
            EXPECT_TRUE(std::filesystem::exists("Data/Scripts/ghost.u")) << c.what;
        } else {
            ASSERT_NE(added->script, nullptr) << c.what;
            EXPECT_EQ(added->trade.valueC, 5u) << c.what;
        }
    }
    m_game.SetState(kStateGame);
}

} // namespace
