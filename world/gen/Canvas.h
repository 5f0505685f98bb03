#pragma once
// What a generation stage paints on: a location's terrain and object layers
// (borrowed), plus lists of what only the location itself can create (doors,
// items), which the driver hands to the location afterwards.
#include <cstdint>
#include <vector>

#include "VEKLib/Geometry.h"
#include "VEKLib/Map2D.h"

namespace gen {

// An object or terrain cell without a tile.
inline constexpr uint16_t kNoTile = 0xFFFE;

// Terrain types that choose a generator of their own (every other one paints
// terrain 0). The dungeon's floor is the terrain a layout is built on, the
// alternative set's the one after it.
inline constexpr uint16_t kMeadowTerrain = 0;
inline constexpr uint16_t kDungeonTerrain = 4;
inline constexpr uint16_t kAlternativeDungeonTerrain = 5;
inline constexpr uint16_t kForestTerrain = 6;
inline constexpr uint16_t kWastelandTerrain = 12;
inline constexpr uint16_t kBurnedGroundsTerrain = 15;
inline constexpr uint16_t kDesertTerrain = 18;
inline constexpr uint16_t kSeaTerrain = 21;

struct TDoorToCreate {
    vek::TPoint cell;
    uint16_t objectType = 0;
    bool locked = false;
    // 0 to 3 for a locked door; 4 when unlocked.
    uint8_t lockKind = 4;
    bool operator==(const TDoorToCreate&) const = default;
};

struct TItemToPut {
    vek::TPoint cell;
    uint16_t itemType = 0;
    bool operator==(const TItemToPut&) const = default;
};

class CTileCanvas {
public:
    // The two layers must have one size (vek::CException otherwise).
    CTileCanvas(vek::CMap<uint16_t>& terrain, vek::CMap<uint16_t>& objects);

    int32_t Width() const { return m_terrain.GetWidth(); }
    int32_t Height() const { return m_terrain.GetHeight(); }
    bool Contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < Width() && y < Height(); }

    uint16_t& Terrain(int32_t x, int32_t y) { return m_terrain.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)); }
    uint16_t& Object(int32_t x, int32_t y) { return m_objects.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)); }

    std::vector<TDoorToCreate> doors;
    std::vector<TItemToPut> items;

private:
    vek::CMap<uint16_t>& m_terrain;
    vek::CMap<uint16_t>& m_objects;
};

} // namespace gen
