#pragma once
// The map view: the cells of the current location around the hero, one
// 32 x 32 sprite per layer of a cell, from the window's top-left corner.
//
// The view's origin (its top-left cell) puts the hero on column 10 and row 7
// of the view, as near the middle as 20 x 15 cells allow, but never shows
// cells beyond the location's edge while the location is larger than the
// view: the origin is clamped to 0 .. size - view size on each axis. A
// location smaller than the view starts at its top-left corner, and the
// view's cells beyond it stay black.
#include <array>
#include <cstdint>
#include <vector>

#include "VEKLib/Geometry.h"
#include "data/IrrWrap.h"

class CDefinitionTables;
class CHero;
class CLoc;

inline constexpr int32_t kViewColumns = 20;
inline constexpr int32_t kViewRows = 15;
inline constexpr int32_t kCellPixels = 32;

// The sprite sheets of the map, each a grid of 32 x 32 frames numbered by
// the definitions' picture indexes.
enum : uint8_t {
    kSheetTerrain,  // terrain: the terrain definitions
    kSheetObjects,  // map objects and special objects: the object definitions
    kSheetItems,    // the item definitions
    kSheetMonsters, // monsters and NPCs: the monster definitions
    kSheetHeroes,   // the hero definitions
    kSheetCount,
};

struct TMapSprites {
    std::array<TSprite, kSheetCount> sheets;
};

// Loads the sheets from "Graphics/" ("terrain.png" as it is, the others with
// their magenta made transparent); on a throw none stays loaded.
void LoadMapSprites(TMapSprites& sprites);
void ReleaseMapSprites(TMapSprites& sprites);

// One frame of a sheet at a window position.
struct TSpriteDraw {
    uint8_t sheet = 0;
    uint16_t frame = 0;
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const TSpriteDraw&) const = default;
};

// The origin for the hero's cell in a location of that size (see above).
vek::TPoint ViewOrigin(vek::TPoint hero, int32_t width, int32_t height);
// The origin kept inside the location by the same clamp.
vek::TPoint ClampViewOrigin(vek::TPoint origin, int32_t width, int32_t height);

// What the view from that origin shows, layer by layer from the bottom: the
// terrain, the map object, the special object, the top item of the pile that
// has a picture, the creature standing on its own cell (a large one is drawn
// once, on the cell of its position), then the hero. A cell never explored
// shows nothing but the hero; a tile, item, monster kind or hero picture
// beyond its table has no picture and is left out.
std::vector<TSpriteDraw> ComposeMapView(const CLoc& loc, const CHero* hero, const CDefinitionTables& tables,
                                        vek::TPoint origin);

// Draws the frames, clipped to the view's rectangle.
void DrawMapView(const std::vector<TSpriteDraw>& draws, const TMapSprites& sprites);

// The view of the game's current location: where it starts and how it draws.
class CMapView {
public:
    // Centres the view on the hero (origin 0, 0 without a location or hero).
    void Center(const CLoc* loc, const CHero* hero);
    // The origin as drawn: the stored one kept inside the location.
    vek::TPoint GetOrigin(const CLoc* loc) const;
    // Nothing without a location.
    void Draw(const CLoc* loc, const CHero* hero, const CDefinitionTables& tables, const TMapSprites& sprites) const;

private:
    vek::TPoint m_origin;
};
