// What a location needs of classes that come later: the world (its cells and
// their name keys). Until it exists no location is bound to a world cell, and
// these answer so. The game script's deletion stands here too, where the
// class is whole.
#include "script/Script.h"
#include "world/Loc.h"

void TScriptDeleter::operator()(CScript* script) const { delete script; }

std::wstring CLoc::WorldNameKey() const { return std::wstring(); }

std::wstring CLoc::FindWorldNameKey(const std::wstring&) { return std::wstring(); }

uint32_t CLoc::LocationIndex() const { return 0; }

uint32_t CLoc::WorldCellFlags() const { return 0; }

CLoc* CLoc::FindLoadedLocation(const std::wstring&) const { return nullptr; }
