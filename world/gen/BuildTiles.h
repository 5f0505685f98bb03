#pragma once
// Turns a layout grid into a dungeon's tiles: floor terrain, doorways where a
// corridor meets a room, wall tiles chosen by which neighbours are open, the
// doors (listed for the location), and the walls along the edges.
#include <cstdint>
#include <vector>

#include "VEKLib/Geometry.h"
#include "world/gen/Canvas.h"
#include "world/gen/Draw.h"
#include "world/gen/Layout.h"

namespace gen {

// Tiles of the alternative set are this much above those of the plain set.
inline constexpr uint16_t kAlternativeTileBase = 133;

struct TDoorway {
    vek::TPoint cell;
    // Across a passage that runs north-south (else east-west).
    bool northSouth = false;
    bool operator==(const TDoorway&) const = default;
};

// Which of a cell's neighbours are floor.
struct TOpenSides {
    bool north = false;
    bool south = false;
    bool west = false;
    bool east = false;
    bool southEast = false;
};

// The wall tile of a cell that is not floor, 0 to 9 above base; kNoTile when
// no rule fits. Later rules win over earlier ones.
uint16_t WallTile(const TOpenSides& open, uint16_t base);

// The dungeon's terrain (the alternative set's) over the area.
void PaintLayoutFloor(CTileCanvas& canvas, int32_t width, int32_t height, bool alternativeTiles);

// Floor cells of columns 1 to walkWidth - 2 and rows 1 to height - 2 where a
// one-cell passage meets wider floor become doorways, each with r(5) < 4.
std::vector<TDoorway> MarkDoorways(CLayoutGrid& grid, int32_t walkWidth, int32_t height, CDraw& draw);

// Wall tiles on the cells of columns 1 to walkWidth - 1 and rows 1 to
// height - 2 that are not floor. Neighbours are read from the grid even
// beyond walkWidth (a site's hand-made part).
void PaintWalls(CTileCanvas& canvas, const CLayoutGrid& grid, int32_t walkWidth, int32_t height, uint16_t base);

// Empties the doorways' object tiles and lists their doors (object base + 31
// across a north-south passage, base + 30 across an east-west one), each
// locked with r(13) < 2 and then of lock kind r(4).
void AddDoors(CTileCanvas& canvas, const std::vector<TDoorway>& doorways, uint16_t base, CDraw& draw);

// Wall tiles on the area's rock border, with the world outside the area
// closed: the top and bottom rows, the first column, the last column unless
// keepLastColumn (then the walls reached it), and the corners (the plain
// set's bottom corners are fixed tiles). Floor on the border (an entrance)
// stays open.
void PaintEdges(CTileCanvas& canvas, const CLayoutGrid& grid, int32_t width, int32_t height, bool alternativeTiles,
                bool keepLastColumn);

// All of the above over the first width columns and height rows of the grid.
// The canvas is the location's, already sized and emptied; the grid gets its
// doorways marked. keepLastColumn: the area borders more of the location on
// its right, so walls reach its last column and take that part into account.
void BuildFromLayout(CTileCanvas& canvas, CLayoutGrid& grid, int32_t width, int32_t height, bool alternativeTiles,
                     CDraw& draw, bool keepLastColumn);

} // namespace gen
