#pragma once
// Definition tables that every generator's tiles, the dungeon's walls and
// doors, and the placement passes' items and creature groups find their
// kinds in: for the generation tests and the generation benchmark.
#include <cstdint>
#include <vector>

#include "VEKLib/Format.h"
#include "data/GameData.h"
#include "world/Loc.h"

namespace testsupport {

// Terrain: every kind can be walked on but 1 (rock) and 25 (lava).
inline constexpr uint16_t kRockTerrain = 1;
inline constexpr uint16_t kTerrainCount = 26;
// Objects that block: walls and doors 20 to 31, stones and waves 50 to 55,
// trees 170 to 187. The rest (stairs, grass, flowers) do not.
inline constexpr uint16_t kObjectCount = 200;
inline bool BlockingObject(uint16_t object) {
    return (object >= 20 && object <= 31) || (object >= 50 && object <= 55) || (object >= 170 && object <= 187);
}

// Items by type: occurrence class and category of those that random items
// may be; every other type never occurs (class 0).
struct TItemRow {
    uint16_t type;
    uint8_t occurrence;
    uint8_t category;
};
inline const std::vector<TItemRow>& ItemRows() {
    static const std::vector<TItemRow> rows = {
        {9, 5, 18},   // gold
        {20, 5, 5},   // bread (food)
        {21, 3, 22},  // bolts (ammunition)
        {30, 1, 1},   // sword (weapon)
        {31, 2, 7},   // mail (armour)
        {32, 0, 7},   // a relic armour that never occurs
        {40, 4, 18},  // candle
        {60, 1, 23},  // sage (ingredient)
        {61, 0, 23},  // a relic herb that never occurs
        {62, 2, 23},  // thyme
        {63, 3, 23},  // moss
        {146, 2, 18}, // weapon manual
        {153, 3, 18}, // bundle of arrows
        {158, 4, 18}, // armour manual
    };
    return rows;
}
inline constexpr uint16_t kItemCount = 160;

inline void FillGenerationTables(CGameData& game) {
    CDefinitionTables& tables = game.GetTableSet(kScriptTables);
    tables.terrain.assign(kTerrainCount, TTerrainInfo());
    for (uint16_t i = 0; i < kTerrainCount; ++i) {
        tables.terrain[i].name = vek::Format(L"terrain %u", static_cast<uint32_t>(i));
        tables.terrain[i].flags = i == kRockTerrain || i == 25 ? 0 : kPassableFlag;
    }
    tables.objects.assign(kObjectCount, TObjectInfo());
    for (uint16_t i = 0; i < kObjectCount; ++i) {
        tables.objects[i].name = vek::Format(L"object %u", static_cast<uint32_t>(i));
        tables.objects[i].flags = BlockingObject(i) ? 0 : kPassableFlag;
    }
    tables.items.assign(kItemCount, TItemInfo());
    for (uint16_t i = 0; i < kItemCount; ++i) {
        tables.items[i].name = vek::Format(L"item %u", static_cast<uint32_t>(i));
        tables.items[i].category = 18;
    }
    for (const TItemRow& row : ItemRows()) {
        tables.items[row.type].occurrence = row.occurrence;
        tables.items[row.type].category = row.category;
    }
    tables.items[31].durab = 40;
    tables.monsters.assign(10, TMonsterInfo());
    for (uint16_t i = 0; i < 10; ++i) {
        tables.monsters[i].name = vek::Format(L"beast %u", static_cast<uint32_t>(i));
        tables.monsters[i].hp = 5;
    }
    // Group i places beast i.
    game.GetGroupTable().clear();
    for (uint16_t i = 0; i < 10; ++i) {
        game.GetGroupTable().push_back({i});
    }
}

} // namespace testsupport
