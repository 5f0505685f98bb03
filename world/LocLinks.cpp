// What a location needs of the world, whose cells name the location, give
// the location index of its creatures' global ids and hold the other loaded
// locations.
#include "data/GameData.h"
#include "world/Loc.h"
#include "world/World.h"

std::wstring CLoc::WorldNameKey() const { return m_worldCell != nullptr ? m_worldCell->nameKey : std::wstring(); }

std::wstring CLoc::FindWorldNameKey(const std::wstring& bareFileName) {
    const CWorld* world = g_gameData != nullptr ? g_gameData->GetWorld() : nullptr;
    uint16_t x = 0;
    uint16_t y = 0;
    if (world == nullptr || !world->FindLocation(bareFileName, x, y, CWorld::kFindByFile)) {
        return std::wstring();
    }
    return world->grid.At(x, y).nameKey;
}

uint32_t CLoc::LocationIndex() const {
    const CWorld* world = g_gameData != nullptr ? g_gameData->GetWorld() : nullptr;
    uint16_t x = 0;
    uint16_t y = 0;
    // A location of another world than the game's has none.
    if (world == nullptr || !world->FindCell(m_worldCell, x, y)) {
        return 0;
    }
    return world->GetLocationIndex(x, y);
}

uint32_t CLoc::WorldCellFlags() const { return m_worldCell != nullptr ? m_worldCell->flags : 0; }

CLoc* CLoc::FindLoadedLocation(const std::wstring& fileName) const {
    const CWorld* world = g_gameData != nullptr ? g_gameData->GetWorld() : nullptr;
    uint16_t x = 0;
    uint16_t y = 0;
    if (world == nullptr || fileName.empty() || !world->FindLocation(fileName, x, y, CWorld::kFindByFile)) {
        return nullptr;
    }
    return world->grid.At(x, y).loc;
}
