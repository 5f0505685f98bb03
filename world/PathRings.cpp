#include "world/PathRings.h"

#include <algorithm>
#include <array>

#include "world/PathSearch.h"

namespace {

// Queue entries are cells packed as x | y << 16: both coordinates come back
// without a division, and a neighbour's entry is an entry plus a constant.
constexpr uint32_t Pack(uint32_t x, uint32_t y) { return x | (y << 16); }

uint32_t Gap(uint32_t a, uint32_t b) { return a < b ? b - a : a - b; }

} // namespace

TRingFlood FloodRings(vek::CMap<uint16_t>& grid, vek::TPoint start, vek::TPoint end, std::vector<uint32_t>& queue,
                      uint32_t limit) {
    const uint32_t width = grid.GetWidth();
    const uint32_t height = grid.GetHeight();
    const size_t cells = static_cast<size_t>(width) * height;
    if (queue.size() < cells) {
        queue.resize(cells);
    }
    uint16_t* const cell = grid.Data();
    uint32_t* const fifo = queue.data();
    const std::array<vek::TPoint, 8>& moves = DirectionSteps();

    // Cell offsets and packed-entry offsets of the eight neighbours. Entry
    // offsets wrap as unsigned numbers; both are used only where no coordinate
    // leaves the grid.
    std::array<int32_t, 8> cellStep{};
    std::array<uint32_t, 8> entryStep{};
    for (size_t d = 0; d < 8; ++d) {
        cellStep[d] = moves[d].y * static_cast<int32_t>(width) + moves[d].x;
        entryStep[d] = static_cast<uint32_t>(moves[d].x + moves[d].y * 65536);
    }

    const auto endX = static_cast<uint32_t>(end.x);
    const auto endY = static_cast<uint32_t>(end.y);
    const auto startX = static_cast<uint32_t>(start.x);
    const auto startY = static_cast<uint32_t>(start.y);
    cell[static_cast<size_t>(startY) * width + startX] = kPathStart;
    size_t head = 0;
    size_t tail = 0;
    fifo[tail++] = Pack(startX, startY);
    // Entries before ringEnd belong to the ring being taken out; reaching it
    // is where the ring marker would come out of the queue.
    size_t ringEnd = tail;
    uint32_t ring = kPathFirstRing;
    // Steps from the start of the cells being taken out.
    uint32_t steps = 0;
    for (;;) {
        if (head == ringEnd) {
            if (head == tail || ring == kPathLastRing) {
                return {0, tail};
            }
            ++ring;
            ++steps;
            ringEnd = tail;
        }
        const uint32_t entry = fifo[head++];
        const uint32_t x = entry & 0xFFFF;
        const uint32_t y = entry >> 16;
        const uint32_t toEnd = std::max(Gap(x, endX), Gap(y, endY));
        if (limit != kNoStepLimit && steps + toEnd > limit) {
            continue;
        }
        // The end is reached from the first cell next to it, whatever the end
        // cell holds.
        if (toEnd == 1) {
            return {ring, tail};
        }
        const auto number = static_cast<uint16_t>(ring);
        uint16_t* const here = cell + static_cast<size_t>(y) * width + x;
        if (x - 1 < width - 2 && y - 1 < height - 2) {
            // Away from the edges no neighbour needs a bounds test.
            for (size_t d = 0; d < 8; ++d) {
                uint16_t* const next = here + cellStep[d];
                if (*next == kPathFree) {
                    *next = number;
                    fifo[tail++] = entry + entryStep[d];
                }
            }
        } else {
            for (size_t d = 0; d < 8; ++d) {
                const uint32_t nx = x + static_cast<uint32_t>(moves[d].x);
                const uint32_t ny = y + static_cast<uint32_t>(moves[d].y);
                if (nx >= width || ny >= height) {
                    continue;
                }
                uint16_t* const next = here + cellStep[d];
                if (*next == kPathFree) {
                    *next = number;
                    fifo[tail++] = Pack(nx, ny);
                }
            }
        }
    }
}

void UnnumberRings(vek::CMap<uint16_t>& grid, const std::vector<uint32_t>& queue, size_t numbered) {
    const uint32_t width = grid.GetWidth();
    uint16_t* const cell = grid.Data();
    for (size_t i = 0; i < numbered; ++i) {
        cell[static_cast<size_t>(queue[i] >> 16) * width + (queue[i] & 0xFFFF)] = kPathFree;
    }
}
