// What a location needs of classes that come later: the world (its cells and
// their name keys) and the game script. Until they exist no location is
// bound to a world cell and none holds a script, and these answer so.
#include "world/Loc.h"

void TScriptDeleter::operator()(CScript*) const {
    // No game script class yet, so no script can have been made; its
    // deletion belongs here once the class exists.
}

std::wstring CLoc::WorldNameKey() const { return std::wstring(); }

std::wstring CLoc::FindWorldNameKey(const std::wstring&) { return std::wstring(); }

uint32_t CLoc::LocationIndex() const { return 0; }

uint32_t CLoc::WorldCellFlags() const { return 0; }

CLoc* CLoc::FindLoadedLocation(const std::wstring&) const { return nullptr; }
