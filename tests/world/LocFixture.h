#pragma once
// A game with small definition tables, installed as the game of the layers
// below the shell, and helpers shared by the location tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"
#include "data/GameData.h"
#include "world/Loc.h"

namespace worldtest {

// Terrain: 0 grass and 2 sand can be walked on, 1 wall cannot.
// Objects: 0 tree blocks, 1 bush does not, 2 closed door blocks, 3 open door
// does not.
class GameFixture : public testing::Test {
protected:
    void SetUp() override {
        vek::StreamReset();
        CDefinitionTables& tables = m_game.GetTableSet(kScriptTables);
        tables.terrain = {Named<TTerrainInfo>(L"grass", kPassableFlag), Named<TTerrainInfo>(L"wall", 0),
                          Named<TTerrainInfo>(L"sand", kPassableFlag)};
        tables.objects = {Named<TObjectInfo>(L"tree", 0), Named<TObjectInfo>(L"bush", kPassableFlag),
                          Named<TObjectInfo>(L"door", 0), Named<TObjectInfo>(L"open door", kPassableFlag)};
        tables.monsters = {Named<TMonsterInfo>(L"rat", 0), Named<TMonsterInfo>(L"troll", kLargeCreatureFlag)};
        tables.monsters[0].hp = 5;
        tables.monsters[1].hp = 20;
        tables.items = {Named<TItemInfo>(L"key", 0), Named<TItemInfo>(L"sword", 0), Named<TItemInfo>(L"coin", 0)};
        tables.items[1].durab = 50;
        m_game.SetLogSink([this](const std::wstring& line) { m_log.push_back(line); });
        g_gameData = &m_game;
    }
    void TearDown() override {
        g_gameData = nullptr;
        vek::StreamReset();
    }

    template <class T>
    static T Named(const wchar_t* name, uint8_t flags) {
        T info;
        info.name = name;
        info.flags = flags;
        return info;
    }

    CGameData m_game;
    std::vector<std::wstring> m_log;
};

using Bytes = std::vector<uint8_t>;

// What the save stream holds.
inline Bytes Written() {
    const auto bytes = vek::GetStream().bytes();
    return Bytes(bytes.begin(), bytes.end());
}

// Monster kinds of the fixture's table.
enum : uint16_t { kRat = 0, kTroll = 1 };

inline CMonster& AddMonster(CLoc& loc, uint16_t type, uint32_t x, uint32_t y) {
    auto monster = std::make_unique<CMonster>();
    monster->InitFromType(type, x, y);
    return loc.AddCreature(std::move(monster));
}

inline CNpc& AddNpc(CLoc& loc, const std::wstring& name, uint32_t x, uint32_t y) {
    auto npc = std::make_unique<CNpc>();
    npc->InitFromType(kRat, x, y);
    npc->name = name;
    npc->npcType = 3;
    npc->homeLocation = L"home.map";
    npc->scriptFile = L"miller.u";
    npc->inventory = {{2, 10}};
    npc->spells = {{1, 2}};
    return static_cast<CNpc&>(loc.AddCreature(std::move(npc)));
}

// A 6 x 5 location with something of everything: a pile of two items and
// one of one, a special object of every kind, a monster, a troll and an NPC
// with friends and foes, two effects, three rules, every header field set.
inline void MakeFullLocation(CLoc& loc) {
    loc.Init(L"Full", 6, 5, 2, kLocLayoutPresent | kLocEntered | 0x40);
    loc.SetFileName(L"full.map");
    loc.SetReservedByte(7);
    loc.SetReservedWord(0xCAFE);
    loc.SetDirectionAnswer(3);
    loc.SetExitTime(123456789012ull);
    for (uint16_t y = 0; y < 5; ++y) {
        for (uint16_t x = 0; x < 6; ++x) {
            loc.GetTerrain().At(x, y) = static_cast<uint16_t>((x + y) % 3);
            loc.GetExplored().At(x, y) = (x + y) % 2 == 0 ? 255 : 0;
        }
    }
    loc.GetObjects().At(0, 0) = 0;
    loc.GetObjects().At(5, 4) = 1;
    loc.GetItemPiles().At(1, 0) = {CItem(1, 1), CItem(2, 250)};
    loc.GetItemPiles().At(1, 0)[0].durability = 7;
    loc.GetItemPiles().At(4, 3) = {CItem(0, 1, false, 12, 34)};
    // The last row and column hold a pile and a door too.
    loc.GetItemPiles().At(5, 4) = {CItem(3, 5)};
    loc.CreateDoor(5, 4, 2, true, 0);
    loc.SetSpecialObject(0, 1, kSpecialPassage, 3, 0x00020001, L"cave.map|up|down");
    loc.CreateSpecialObject(1, 1, 1, 5, 6, 7);
    loc.CreateTextObject(2, 1, 1, L"A sign");
    loc.SetSpecialObject(3, 1, kSpecialDoor, 2, 0x00030000, L"");
    loc.CreateTrapObject(4, 1, 2, true, 2);
    loc.SetSpecialObject(5, 1, kSpecialTransformer, 1, 0, L"");
    loc.SetSpecialObject(0, 2, kSpecialScripted, 1, 0, L"well.u");
    loc.SetSpecialObject(1, 2, kSpecialSiteExit, 3, 9, L"");
    loc.SetSpecialObject(2, 2, kSpecialGrowingSpot, 1, 1, L"");
    CMonster& rat = AddMonster(loc, kRat, 0, 4);
    CMonster& troll = AddMonster(loc, kTroll, 2, 3);
    CNpc& miller = AddNpc(loc, L"Miller", 5, 0);
    rat.hostile = {troll.globalId, CGroupMember::kHeroId};
    troll.friendly = {miller.globalId};
    miller.hostile = {rat.globalId};
    miller.groups = {L"village"};
    loc.GetEffects() = {TLocEffect(1, 40), TLocEffect(7, 0xFFFFFFFF)};
    loc.SetRules({TLocRule{0, 0, 5, 4}, TLocRule{1, 1, 1, 1}, TLocRule{-1, 0, 0, -1}});
}

} // namespace worldtest
