// The seams of WorldLinks.h: the world prepares and enters locations and finds
// passages through the location's own operations, and makes a dungeon site's
// levels with its generation.
#include "world/WorldLinks.h"

#include <optional>

#include "world/Loc.h"

void PreloadWorldLoc(CLoc& loc) { loc.Preload(true, true); }

bool EnterWorldLoc(CLoc& loc, uint16_t x, uint16_t y, uint8_t mode, const TArrival& arrival) {
    return loc.Enter(x, y, mode, arrival);
}

bool FindWorldPortal(const CLoc& loc, const std::wstring& name, uint16_t& x, uint16_t& y) {
    const std::optional<vek::TPoint> cell = loc.FindPortal(name);
    if (!cell) {
        return false;
    }
    x = static_cast<uint16_t>(cell->x);
    y = static_cast<uint16_t>(cell->y);
    return true;
}

vek::TPoint GenerateSiteLevel(CLoc& loc, const TSiteLevel& level) { return loc.GenerateLocForSite(level); }
