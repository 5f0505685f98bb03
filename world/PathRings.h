#pragma once
// The breadth-first flood of the way search: numbers the free cells ring by
// ring from the start, the eight neighbours of a cell taken in direction order,
// until a cell next to the end comes out of the queue.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "VEKLib/Geometry.h"
#include "VEKLib/Map2D.h"

inline constexpr uint32_t kNoStepLimit = std::numeric_limits<uint32_t>::max();

struct TRingFlood {
    // The ring counter at the moment the end was reached (the ring number of
    // the cells it lies next to, plus one); 0 when it was not reached.
    uint32_t counter = 0;
    // How many cells were numbered (the start included): the first entries of
    // the queue.
    size_t numbered = 0;
};

// Floods the grid (0 free, 1 blocked) from the start towards the end, two
// distinct cells of it; the queue is resized to hold every cell. The end is not
// reached when it lies beyond the ring numbers a cell can hold.
//
// With a step limit, a cell whose steps from the start plus its king's-move
// distance to the end exceed the limit is numbered but not flooded from. The
// cells of shortest ways of at most `limit` steps, and of shortest ways from the
// start to them, never exceed it: when the end is reached its counter and the
// ring numbers along its shortest ways are those of the full flood, and when
// it is not, no way of at most `limit` steps exists.
TRingFlood FloodRings(vek::CMap<uint16_t>& grid, vek::TPoint start, vek::TPoint end, std::vector<uint32_t>& queue,
                      uint32_t limit = kNoStepLimit);

// Puts the cells a flood numbered back to free, for another flood.
void UnnumberRings(vek::CMap<uint16_t>& grid, const std::vector<uint32_t>& queue, size_t numbered);
