#pragma once
// The game state the rules' tests run in: small definition tables of our own
// in both sets, a few texts, the game's generator with its seed, an empty
// save stream; installed as g_gameData.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Random.h"
#include "VEKLib/Stream.h"
#include "data/GameData.h"
#include "data/GameDisplay.h"
#include "rules/Item.h"

namespace rulestest {

using Bytes = std::vector<uint8_t>;

inline Bytes Written() {
    const auto bytes = vek::GetStream().bytes();
    return Bytes(bytes.begin(), bytes.end());
}

// Little-endian pieces for golden byte lists.
inline void Put(Bytes& bytes, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}
inline void PutText(Bytes& bytes, const std::wstring& text) {
    Put(bytes, text.size(), 4);
    for (wchar_t unit : text) {
        Put(bytes, static_cast<uint16_t>(unit), 2);
    }
}

// Items by every field, count included, for comparisons that show them.
inline std::string Shown(const CItem& i) {
    std::string text = "item " + std::to_string(i.type) + " x" + std::to_string(i.count);
    for (uint32_t field :
         {i.age, uint32_t{i.durability}, uint32_t{i.property1}, uint32_t{i.property2}, uint32_t{i.status},
          uint32_t{i.quality}, uint32_t{i.damage}, uint32_t{i.armourClass}, uint32_t{i.reserved}, i.value}) {
        text += " " + std::to_string(field);
    }
    return text;
}
template <class Items>
std::vector<std::string> Shown(const Items& items) {
    std::vector<std::string> texts;
    for (const CItem& item : items) {
        texts.push_back(Shown(item));
    }
    return texts;
}

// Runs load and expects vek::CFileException code 5 naming the function.
template <class F>
void ExpectInvalidContent(F load, const wchar_t* function, const std::string& what) {
    try {
        load();
        ADD_FAILURE() << what << ": no exception";
    } catch (const vek::CFileException& e) {
        EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent) << what;
        EXPECT_EQ(e.GetFunction(), function) << what;
    }
}

// Item kinds by position: 0 key, 1 sword, 2 bow, 3 arrow, 4 jerkin, 5 bread,
// 6 empty vial, 7 vial of blood, 8 stone, 9 coin.
enum : uint16_t { kKey, kSword, kBow, kArrow, kJerkin, kBread, kVial, kBloodVial, kStone, kCoin };
// Monster kinds: 0 rat, 1 wolf, 2 Wolf (the same name, another kind), 3 wisp
// (no hit points).
enum : uint16_t { kRat, kWolf, kBigWolf, kWisp };

inline void FillTables(CDefinitionTables& tables) {
    struct Kind {
        const wchar_t* name;
        uint8_t category;
        uint16_t durab, weight;
    };
    const Kind kinds[] = {
        {L"key", 12, 0, 1},     {L"sword", 1, 50, 30}, {L"bow", 3, 40, 20},       {L"arrow", 22, 0, 1},
        {L"jerkin", 7, 60, 80}, {L"bread", 5, 3, 5},   {L"empty vial", 18, 0, 2}, {L"vial of blood", 18, 0, 3},
        {L"stone", 18, 0, 100}, {L"coin", 20, 0, 0},
    };
    tables.items.clear();
    for (const Kind& k : kinds) {
        TItemInfo item;
        item.name = k.name;
        item.category = k.category;
        item.durab = k.durab;
        item.weight = k.weight;
        tables.items.push_back(item);
    }
    const struct {
        const wchar_t* name;
        uint16_t hp, weight;
    } monsters[] = {{L"rat", 5, 2}, {L"wolf", 20, 40}, {L"Wolf", 25, 50}, {L"wisp", 0, 0}};
    tables.monsters.clear();
    for (const auto& m : monsters) {
        TMonsterInfo monster;
        monster.name = m.name;
        monster.hp = m.hp;
        monster.weight = m.weight;
        tables.monsters.push_back(monster);
    }
    tables.spells.assign(2, TSpellInfo());
    tables.spells[0].name = L"spark";
    tables.spells[1].name = L"frost";
}

class CRulesTest : public testing::Test {
protected:
    void SetUp() override {
        vek::StreamReset();
        m_random.Seed(kRandomSeed);
        vek::SetRandomGenerator(&m_random);
        FillTables(m_game.GetTableSet(kScriptTables));
        FillTables(m_game.GetTableSet(kDisplayTables));
        m_game.SetLogSink([](const std::wstring&) {});
        g_gameData = &m_game;
    }
    void TearDown() override {
        g_gameData = nullptr;
        vek::SetRandomGenerator(nullptr);
        vek::StreamReset();
    }

    // The lines the message log got, oldest first.
    std::vector<std::wstring> Messages() {
        std::vector<std::wstring> lines;
        for (const TMessageLine& line :
             dynamic_cast<CConsoleDisplay&>(m_game.GetDisplay()).GetMessageLog().GetLines()) {
            lines.push_back(line.text);
        }
        return lines;
    }

    CGameData m_game;
    vek::CStdRand m_random;
};

} // namespace rulestest
