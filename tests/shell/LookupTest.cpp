#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "data/StringResource.h"
#include "data/Tables.h"
#include "platform/Utf8.h"
#include "shell/Game.h"

namespace {

std::string U(const std::wstring& text) { return platform::ToUtf8(text); }

template <class T>
std::vector<T> Named(std::initializer_list<const wchar_t*> names) {
    std::vector<T> table;
    for (const wchar_t* name : names) {
        T record;
        record.name = name;
        table.push_back(record);
    }
    return table;
}

// Two small sets: the script language's names and the display language's.
class Lookups : public testing::Test {
protected:
    void SetUp() override {
        CDefinitionTables& script = m_game.GetTableSet(kScriptTables);
        script.items = Named<TItemInfo>({L"klucz", L"pochodnia", L"KLUCZ"});
        script.monsters = Named<TMonsterInfo>({L"szczur", L"wilk", L"Wilk"});
        script.spells = Named<TSpellInfo>({L"iskra"});
        script.terrain = Named<TTerrainInfo>({L"trawa", L"trawa", L"trawa", L"woda"});
        script.objects = Named<TObjectInfo>({L"drzwi"});
        script.encounters.resize(2);
        script.encounters[0].InternalText = L"szczury";
        script.encounters[1].InternalText = L"wilki";
        script.encounters[1].EncounterText = L"szczury";
        CDefinitionTables& display = m_game.GetTableSet(kDisplayTables);
        display.items = Named<TItemInfo>({L"key", L"torch", L"KEY"});
        display.monsters = Named<TMonsterInfo>({L"rat", L"wolf", L"Wolf"});
    }

    CGame m_game;
};

TEST_F(Lookups, ItemsByName) {
    const struct {
        const wchar_t* name;
        uint16_t type;
    } cases[] = {
        {L"pochodnia", 1},
        {L"POCHODNIA", 1},
        {L"klucz", 0},       // the first of two equal names
        {L"torch", kNoItem}, // another language's name
        {L"", kNoItem},
        {L"#7", 7},
        {L"#007", 7},
        {L"#0", 0},
        {L"#65535", 65535},
        {L"##wilk", 50001},
        {L"##WILK", 50001},
        {L"##szczur", 50000},
        {L"##smok", kNoItem}, // not 50000 + kNoMonster
                              // wrapped round
        {L"##", kNoItem},
        {L"###", kNoItem},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U(c.name));
        EXPECT_EQ(m_game.GetItemByName(c.name), c.type);
    }
    m_game.SelectTables(kDisplayTables);
    EXPECT_EQ(m_game.GetItemByName(L"Torch"), 1);
    EXPECT_EQ(m_game.GetItemByName(L"##wolf"), 50001);
    EXPECT_EQ(m_game.GetItemByName(L"pochodnia"), kNoItem);
}

// A number beyond 16 bits is refused as an item name (it would wrap round
// to another item) but is still a number to IsKnownEntityName.
TEST_F(Lookups, MalformedItemNumbers) {
    const struct {
        const wchar_t* name;
        bool number;
    } cases[] = {
        {L"#", false},
        {L"#x", false},
        {L"#12x", false},
        {L"# 12", false},
        {L"#+1", false},
        {L"#-1", false},
        {L"#0x10", false},
        {L"#65536", true},
        {L"#70000", true},
        {L"#4294967296", true},
        {L"#99999999999999999999", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U(c.name));
        try {
            m_game.GetItemByName(c.name);
            ADD_FAILURE() << "nothing thrown";
        } catch (const vek::CException& e) {
            EXPECT_EQ(e.GetDetails(), std::wstring(L"Invalid item name: ") + c.name);
            EXPECT_EQ(e.GetFunction(), L"CGame::GetItemByName");
        }
        EXPECT_EQ(m_game.IsKnownEntityName(c.name), c.number);
    }
}

TEST_F(Lookups, KnownEntityNames) {
    const struct {
        const wchar_t* text;
        bool known;
    } cases[] = {
        {L"Pochodnia", true}, {L"#12", true},         {L"#65535", true}, {L"##Szczur", true}, {L"#65536", true},
        {L"#70000", true},    {L"#4294967296", true}, {L"torch", false}, {L"##smok", false},  {L"szczur", false},
        {L"", false},         {L"#", false},          {L"#12x", false},  {L"#-1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(U(c.text));
        EXPECT_EQ(m_game.IsKnownEntityName(c.text), c.known);
    }
}

TEST_F(Lookups, MonsterTypes) {
    EXPECT_EQ(m_game.FindMonsterType(L"wilk"), 1);
    EXPECT_EQ(m_game.FindMonsterType(L"SZCZUR"), 0);
    EXPECT_EQ(m_game.FindMonsterType(L"smok"), kNoMonster);
    m_game.SelectTables(kDisplayTables);
    EXPECT_EQ(m_game.FindMonsterType(L"WOLF"), 1);
    EXPECT_EQ(m_game.FindMonsterType(L"wilk"), kNoMonster);
}

// Corpse types end below kNoItem; items from kCorpseBase on would read as corpses.
TEST_F(Lookups, TypesAtTheEndOfTheNumberRange) {
    CDefinitionTables& script = m_game.GetTableSet(kScriptTables);
    script.monsters.resize(15536);
    script.monsters[15534].name = L"last corpse";
    script.monsters[15535].name = L"past the end";
    EXPECT_EQ(m_game.GetItemByName(L"##last corpse"), 65534);
    EXPECT_EQ(m_game.GetItemByName(L"##past the end"), kNoItem);
    EXPECT_FALSE(m_game.IsKnownEntityName(L"##past the end"));

    script.items.resize(50001);
    script.items[49999].name = L"last item";
    script.items[50000].name = L"a corpse's number";
    EXPECT_EQ(m_game.GetItemByName(L"last item"), 49999);
    EXPECT_EQ(m_game.GetItemByName(L"a corpse's number"), kNoItem);
}

TEST_F(Lookups, Entities) {
    const struct {
        const wchar_t* name;
        uint32_t kind;
        uint16_t position;
    } found[] = {
        {L"POCHODNIA", CEntityError::kItem, 1},  {L"##wilk", CEntityError::kItem, 50001},
        {L"#3", CEntityError::kItem, 3},         {L"Wilk", CEntityError::kMonster, 1},
        {L"iskra", CEntityError::kSpell, 0},     {L"woda", CEntityError::kTerrain, 3},
        {L"Trawa", CEntityError::kTerrain, 0},   {L"drzwi", CEntityError::kObject, 0},
        {L"wilki", CEntityError::kEncounter, 1}, {L"SZCZURY", CEntityError::kEncounter, 0},
    };
    for (const auto& c : found) {
        SCOPED_TRACE(U(c.name));
        EXPECT_EQ(m_game.FindEntity(c.name, c.kind), c.position);
    }
    const struct {
        const wchar_t* name;
        uint32_t kind;
        const wchar_t* message;
    } missing[] = {
        {L"torch", CEntityError::kItem, L"Item entity not found: torch"},
        {L"##smok", CEntityError::kItem, L"Item entity not found: ##smok"},
        {L"smok", CEntityError::kMonster, L"Monster entity not found: smok"},
        {L"Bob", CEntityError::kNpc, L"NPC entity not found: Bob"},
        {L"drzwi", CEntityError::kSpell, L"Spell entity not found: drzwi"},
        {L"iskra", CEntityError::kTerrain, L"Terrain entity not found: iskra"},
        {L"trawa", CEntityError::kObject, L"Object entity not found: trawa"},
        {L"", CEntityError::kEncounter, L"Encounter entity not found: "},
        {L"iskra", 7, L"Unknown entity not found: iskra"},
    };
    for (const auto& c : missing) {
        SCOPED_TRACE(U(c.message));
        try {
            m_game.FindEntity(c.name, c.kind);
            ADD_FAILURE() << "nothing thrown";
        } catch (const CEntityError& e) {
            EXPECT_EQ(e.GetDetails(), c.message);
            EXPECT_EQ(e.GetKind(), c.kind);
            EXPECT_EQ(e.GetFunction(), L"CGame::FindEntity");
        }
    }
}

TEST(Skills, NamesByNumber) {
    CGame game;
    std::wstring file = L"STR_BEFORE before\n";
    for (uint32_t i = 1; i <= kSkillCount; ++i) {
        file += vek::Format(L"STR_SKILL_%lu skill %lu\n", i, i);
    }
    file.replace(file.find(L"STR_SKILL_1 "), 11, kFirstSkillTag);
    file += std::wstring(kSkillBlockEndTag) + L" battle\n";
    EXPECT_EQ(game.GetSkillName(1), L"Skill 1"); // no skill block yet
    game.GetStrings().LoadText(file);

    EXPECT_EQ(game.GetSkillName(1), L"skill 1");
    EXPECT_EQ(game.GetSkillName(28), L"skill 28");
    EXPECT_EQ(game.GetSkillName(0), L"Skill 0");
    EXPECT_EQ(game.GetSkillName(29), L"Skill 29");
    EXPECT_EQ(game.GetSkillName(4294967295u), L"Skill 4294967295");
}

TEST(ScaleU16, RoundsHalfUpWithinTheRange) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        uint16_t value;
        float factor;
        uint16_t result;
    } cases[] = {
        {5, 0.5f, 3},         {3, 0.5f, 2},    {1, 0.5f, 1},          {1, 0.49f, 0},
        {0, 1000.0f, 0},      {7, 0.0f, 0},    {65535, 1.0f, 65535},  {65534, 1.0f, 65534},
        {40000, 2.0f, 65535}, {1, inf, 65535}, {100, -1.0f, 0},       {65535, -0.5f, 0},
        {100, -0.004f, 0},    {1, -inf, 0},    {1, std::nanf(""), 0}, {0, inf, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " x " + std::to_string(c.factor));
        EXPECT_EQ(ScaleU16(c.value, c.factor), c.result);
    }
}

TEST(GameClock, ElapsedTimeSinceTheExit) {
    const uint64_t max = kMaxElapsedTime;
    const struct {
        uint64_t clock;
        uint64_t exitTime;
        uint32_t elapsed;
    } cases[] = {
        {100, 40, 60},
        {100, 100, 0},
        {40, 100, 0},
        {max + 4, 5, kMaxElapsedTime - 1},
        {max + 5, 5, kMaxElapsedTime},
        {max + 6, 5, kMaxElapsedTime},
        {std::numeric_limits<uint64_t>::max(), 0, kMaxElapsedTime},
    };
    CGame game;
    game.SetClock(100);
    EXPECT_EQ(game.GetElapsedTime(), 0u); // no current location
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.clock) + " - " + std::to_string(c.exitTime));
        game.SetClock(c.clock);
        game.SetCurrentLocExitTime(c.exitTime);
        EXPECT_EQ(game.GetElapsedTime(), c.elapsed);
    }
}

} // namespace
