#pragma once
// The terrain painters: each paints every cell of a freshly initialised canvas
// (all tiles kNoTile), row by row, drawing in a fixed order so that one seed
// always gives one location. Tile numbers index the terrain and object tables.
#include <cstdint>

#include "world/gen/Canvas.h"
#include "world/gen/Draw.h"

namespace gen {

// Terrain 0 everywhere.
void PaintDefault(CTileCanvas& canvas);
// The dungeon's terrain everywhere.
void PaintDungeon(CTileCanvas& canvas);
// Terrain 15 to 17.
void PaintBurnedGrounds(CTileCanvas& canvas, CDraw& draw);
// Terrain 21 to 23 under waves 53 to 55 on every cell.
void PaintSea(CTileCanvas& canvas, CDraw& draw);
// Terrain 12 to 14; stones 50 to 52 on about density percent of the cells.
void PaintWasteland(CTileCanvas& canvas, CDraw& draw, uint8_t density);
// Terrain 18 to 20 with rare cacti, bones and rocks.
void PaintDesert(CTileCanvas& canvas, CDraw& draw);
// Terrain 0 to 2; grass of one of two kinds (or both) on a share of 20 to 39
// percent of the cells, rare flowers and bushes elsewhere.
void PaintMeadow(CTileCanvas& canvas, CDraw& draw);
// Terrain 6 to 8 under trees of three shapes (cut by the top and left edges),
// with undergrowth and fallen fruit (items 137 to 139) between them.
void PaintForest(CTileCanvas& canvas, CDraw& draw);

} // namespace gen
