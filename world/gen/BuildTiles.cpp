#include "world/gen/BuildTiles.h"

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"

namespace gen {

namespace {

constexpr const wchar_t* kSource = L"BuildTiles";

bool InGrid(const CLayoutGrid& grid, int32_t x, int32_t y) {
    return grid.HasCells() && x >= 0 && y >= 0 && x < grid.GetWidth() && y < grid.GetHeight();
}

// A cell that InGrid has admitted; the neighbour tests run for every cell of
// a level, so they read the cells directly.
uint8_t CellAt(const CLayoutGrid& grid, int32_t x, int32_t y) {
    return grid.Data()[static_cast<size_t>(y) * grid.GetWidth() + static_cast<size_t>(x)];
}

bool IsFloor(const CLayoutGrid& grid, int32_t x, int32_t y) {
    return InGrid(grid, x, y) && CellAt(grid, x, y) == kFloor;
}

bool IsRock(const CLayoutGrid& grid, int32_t x, int32_t y) { return InGrid(grid, x, y) && CellAt(grid, x, y) == kRock; }

uint16_t Base(bool alternativeTiles) { return alternativeTiles ? kAlternativeTileBase : 0; }

// Open sides of (x, y); cells at or beyond (limitX, limitY) count as closed.
TOpenSides OpenSides(const CLayoutGrid& grid, int32_t x, int32_t y, int32_t limitX, int32_t limitY) {
    auto open = [&](int32_t cx, int32_t cy) { return cx < limitX && cy < limitY && IsFloor(grid, cx, cy); };
    return {open(x, y - 1), open(x, y + 1), open(x - 1, y), open(x + 1, y), open(x + 1, y + 1)};
}

void CheckArea(const CTileCanvas& canvas, const CLayoutGrid& grid, int32_t width, int32_t height) {
    if (width < 0 || height < 0 || width > grid.GetWidth() || height > grid.GetHeight() || width > canvas.Width() ||
        height > canvas.Height()) {
        throw vek::CException(L"gen::BuildFromLayout", kSource, __LINE__,
                              vek::Format(L"Area %lix%li does not fit the grid (%ux%u) and the location (%lix%li)",
                                          width, height, static_cast<uint32_t>(grid.GetWidth()),
                                          static_cast<uint32_t>(grid.GetHeight()), canvas.Width(), canvas.Height()));
    }
}

} // namespace

uint16_t WallTile(const TOpenSides& open, uint16_t base) {
    int32_t tile = -1;
    if (open.east && !open.north && !open.south) {
        tile = 20;
    }
    if (open.south && !open.west) {
        tile = 21;
    }
    if (open.southEast && !open.east && !open.south) {
        tile = 22;
    }
    if (open.north && open.east && !open.south) {
        tile = 23;
    }
    if (open.east && open.south && !open.west && !open.north) {
        tile = 24;
    }
    if (open.west && open.south && !open.east) {
        tile = 25;
    }
    if (!open.east && !open.south && !open.southEast) {
        tile = 26;
    }
    if (open.west && open.east && open.north && open.south) {
        tile = 29;
    }
    if (open.west && open.east && open.south && !open.north) {
        tile = 28;
    }
    if (open.north && open.south && open.east && !open.west) {
        tile = 27;
    }
    return tile < 0 ? kNoTile : static_cast<uint16_t>(base + tile);
}

void PaintLayoutFloor(CTileCanvas& canvas, int32_t width, int32_t height, bool alternativeTiles) {
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            canvas.Terrain(x, y) = alternativeTiles ? kAlternativeDungeonTerrain : kDungeonTerrain;
        }
    }
}

std::vector<TDoorway> MarkDoorways(CLayoutGrid& grid, int32_t walkWidth, int32_t height, CDraw& draw) {
    std::vector<TDoorway> doorways;
    for (int32_t y = 1; y <= height - 2; ++y) {
        for (int32_t x = 1; x <= walkWidth - 2; ++x) {
            if (!IsFloor(grid, x, y)) {
                continue;
            }
            const bool northSouth = IsRock(grid, x - 1, y) && IsRock(grid, x + 1, y) && IsFloor(grid, x, y + 1) &&
                                    IsFloor(grid, x, y - 1) &&
                                    (IsFloor(grid, x - 1, y + 1) || IsFloor(grid, x - 1, y - 1));
            const bool eastWest = IsRock(grid, x, y - 1) && IsRock(grid, x, y + 1) && IsFloor(grid, x - 1, y) &&
                                  IsFloor(grid, x + 1, y) &&
                                  (IsFloor(grid, x - 1, y - 1) || IsFloor(grid, x + 1, y - 1));
            if ((northSouth || eastWest) && draw.R(5) < 4) {
                grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)) = kDoorway;
                doorways.push_back({{x, y}, northSouth});
            }
        }
    }
    return doorways;
}

void PaintWalls(CTileCanvas& canvas, const CLayoutGrid& grid, int32_t walkWidth, int32_t height, uint16_t base) {
    for (int32_t y = 1; y <= height - 2; ++y) {
        for (int32_t x = 1; x <= walkWidth - 1; ++x) {
            if (IsFloor(grid, x, y)) {
                continue;
            }
            const uint16_t tile = WallTile(OpenSides(grid, x, y, grid.GetWidth(), grid.GetHeight()), base);
            if (tile != kNoTile) {
                canvas.Object(x, y) = tile;
            }
        }
    }
}

void AddDoors(CTileCanvas& canvas, const std::vector<TDoorway>& doorways, uint16_t base, CDraw& draw) {
    for (const TDoorway& doorway : doorways) {
        canvas.Object(doorway.cell.x, doorway.cell.y) = kNoTile;
        TDoorToCreate door;
        door.cell = doorway.cell;
        door.objectType = static_cast<uint16_t>(base + (doorway.northSouth ? 31 : 30));
        door.locked = draw.R(13) < 2;
        if (door.locked) {
            door.lockKind = static_cast<uint8_t>(draw.R(4));
        }
        canvas.doors.push_back(door);
    }
}

void PaintEdges(CTileCanvas& canvas, const CLayoutGrid& grid, int32_t width, int32_t height, bool alternativeTiles,
                bool keepLastColumn) {
    if (width <= 0 || height <= 0) {
        return;
    }
    const uint16_t base = Base(alternativeTiles);
    const int32_t last = width - 1;
    const int32_t bottom = height - 1;
    auto paint = [&](int32_t x, int32_t y) {
        if (IsFloor(grid, x, y)) {
            return;
        }
        const uint16_t tile = WallTile(OpenSides(grid, x, y, width, height), base);
        if (tile != kNoTile) {
            canvas.Object(x, y) = tile;
        }
    };
    for (int32_t x = 1; x < last; ++x) {
        paint(x, 0);
        // Closed as the top row: an open strip under the lowest walls would
        // be a way round them, cut off from the rooms.
        if (bottom > 0) {
            paint(x, bottom);
        }
    }
    for (int32_t y = 1; y < bottom; ++y) {
        paint(0, y);
        if (!keepLastColumn) {
            paint(last, y);
        }
    }
    paint(0, 0);
    if (!IsFloor(grid, last, 0)) {
        canvas.Object(last, 0) = static_cast<uint16_t>(base + (IsFloor(grid, last - 1, 1) ? 25 : 26));
    }
    if (alternativeTiles) {
        // Without fixed tiles there, the bottom corners take what their
        // neighbours ask, as the row between them does.
        if (bottom > 0) {
            paint(0, bottom);
            paint(last, bottom);
        }
        return;
    }
    if (!IsFloor(grid, 0, bottom)) {
        canvas.Object(0, bottom) = static_cast<uint16_t>(base + 23);
    }
    if (!IsFloor(grid, last, bottom)) {
        canvas.Object(last, bottom) = static_cast<uint16_t>(base + 24);
    }
}

void BuildFromLayout(CTileCanvas& canvas, CLayoutGrid& grid, int32_t width, int32_t height, bool alternativeTiles,
                     CDraw& draw, bool keepLastColumn) {
    CheckArea(canvas, grid, width, height);
    const uint16_t base = Base(alternativeTiles);
    const int32_t walkWidth = keepLastColumn ? width : width - 1;
    PaintLayoutFloor(canvas, width, height, alternativeTiles);
    const std::vector<TDoorway> doorways = MarkDoorways(grid, walkWidth, height, draw);
    PaintWalls(canvas, grid, walkWidth, height, base);
    AddDoors(canvas, doorways, base, draw);
    PaintEdges(canvas, grid, width, height, alternativeTiles, keepLastColumn);
}

} // namespace gen
