#pragma once
// The way search of a location: a breadth-first flood in rings over the eight
// directions from the start, then a shortest way traced back from the end with
// a random choice among equal steps. It runs on a path grid that the caller
// fills (from the location's passability, or from a byte grid of its own) and
// that it numbers as it goes:
//   0 free and not reached, 1 blocked, 2 the start, 3.. the ring of a reached
//   cell (3 for the cells next to the start, 4 for the cells next to those).
// Cells that the search has no need to number keep what the fill put there.
#include <array>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "VEKLib/Geometry.h"
#include "VEKLib/Map2D.h"

inline constexpr uint16_t kPathFree = 0;
inline constexpr uint16_t kPathBlocked = 1;
inline constexpr uint16_t kPathStart = 2;
inline constexpr uint16_t kPathFirstRing = 3;
// Ring numbers are cell values: a way that would need a higher one is not found.
inline constexpr uint16_t kPathLastRing = 0xFFFF;

// A found way without its ends: the cell next to the end at the front, the cell
// next to the start at the back, so a walker takes its next step from the back.
using TPath = std::deque<vek::TPoint>;

struct TPathQuery {
    vek::TPoint start;
    vek::TPoint end;
    // Answer only whether the end can be reached; trace no way.
    bool testOnly = false;
    // A start or end cell that is not free fails at once. Without it a blocked
    // end (an occupied target) is still reached.
    bool endsMustBeFree = false;
};

// The steps of directions 1 to 8 (up-left, clockwise), at indexes 0 to 7.
const std::array<vek::TPoint, 8>& DirectionSteps();

// Memory that searches reuse, so that a location's searches do not allocate.
class CPathScratch {
public:
    // A queue with room for every cell of the grid.
    std::vector<uint32_t>& Queue(size_t cells) {
        if (m_queue.size() < cells) {
            m_queue.resize(cells);
        }
        return m_queue;
    }

private:
    std::vector<uint32_t> m_queue;
};

// Fills the path grid from a byte grid, row after row (width x height bytes),
// or from a grid of the path grid's size. Any value but 0 becomes 1 (blocked),
// so that no value of the caller's can pass for a ring number. A source of
// another size is refused with vek::CException.
void FillPathGrid(vek::CMap<uint16_t>& grid, std::span<const uint8_t> bytes);
void FillPathGrid(vek::CMap<uint16_t>& grid, const vek::CMap<uint16_t>& source);

// True when the point is a cell of the grid (a freed grid has none).
inline bool IsInsidePathGrid(const vek::CMap<uint16_t>& grid, vek::TPoint p) {
    return grid.HasCells() && p.x >= 0 && p.y >= 0 && p.x < grid.GetWidth() && p.y < grid.GetHeight();
}

// The search on a filled grid (cells 0 or 1). Clears the path; answers whether
// the end can be reached and, unless only testing, fills the path with a
// shortest way. A start equal to the end is reached with an empty path, even
// outside the grid; other ends outside it are never reached. Reconstruction draws from the global
// generator.
bool SearchPath(vek::CMap<uint16_t>& grid, const TPathQuery& query, TPath& path, CPathScratch& scratch);
bool SearchPath(vek::CMap<uint16_t>& grid, const TPathQuery& query, TPath& path);

// The whole query: the answers that need no grid (the start equal to the end,
// even outside it; an end outside it) come first and leave the grid alone;
// otherwise fill(grid) fills it and the search runs.
template <class Fill>
bool FindPath(vek::CMap<uint16_t>& grid, const TPathQuery& query, Fill&& fill, TPath& path, CPathScratch& scratch) {
    path.clear();
    if (query.start == query.end) {
        return true;
    }
    if (!IsInsidePathGrid(grid, query.start) || !IsInsidePathGrid(grid, query.end)) {
        return false;
    }
    fill(grid);
    return SearchPath(grid, query, path, scratch);
}
