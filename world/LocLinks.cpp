// What a location needs of classes that come later: the game script, whose
// deletion belongs beside its class; and the world, whose cells name the
// location and give the location index of its creatures' global ids.
#include "data/GameData.h"
#include "world/Loc.h"
#include "world/World.h"

void TScriptDeleter::operator()(CScript*) const {
    // No game script class yet, so no script can have been made; its
    // deletion belongs here once the class exists.
}

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
