#include "world/PathSearch.h"

#include <algorithm>
#include <array>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "world/PathBand.h"
#include "world/PathRings.h"
#include "world/PathTrace.h"

namespace {

[[noreturn]] void ThrowSizeMismatch(const vek::CMap<uint16_t>& grid, size_t cells, int32_t line) {
    throw vek::CException(
        L"FillPathGrid", L"PathSearch", line,
        vek::Format(L"A source of %I64u cells cannot fill a path grid of %ux%u", static_cast<uint64_t>(cells),
                    static_cast<uint32_t>(grid.GetWidth()), static_cast<uint32_t>(grid.GetHeight())));
}

size_t CellCount(const vek::CMap<uint16_t>& grid) {
    return grid.HasCells() ? static_cast<size_t>(grid.GetWidth()) * grid.GetHeight() : 0;
}

} // namespace

const std::array<vek::TPoint, 8>& DirectionSteps() {
    static const std::array<vek::TPoint, 8> steps = [] {
        std::array<vek::TPoint, 8> s{};
        for (uint8_t d = 1; d <= 8; ++d) {
            s[d - 1] = vek::DirectionToOffset(d);
        }
        return s;
    }();
    return steps;
}

void FillPathGrid(vek::CMap<uint16_t>& grid, std::span<const uint8_t> bytes) {
    const size_t cells = CellCount(grid);
    if (bytes.size() != cells) {
        ThrowSizeMismatch(grid, bytes.size(), __LINE__);
    }
    std::transform(bytes.begin(), bytes.end(), grid.Data(),
                   [](uint8_t b) { return b == 0 ? kPathFree : kPathBlocked; });
}

void FillPathGrid(vek::CMap<uint16_t>& grid, const vek::CMap<uint16_t>& source) {
    const size_t cells = CellCount(grid);
    if (source.GetWidth() != grid.GetWidth() || source.GetHeight() != grid.GetHeight() || CellCount(source) != cells) {
        ThrowSizeMismatch(grid, CellCount(source), __LINE__);
    }
    std::transform(source.Data(), source.Data() + cells, grid.Data(),
                   [](uint16_t v) { return v == 0 ? kPathFree : kPathBlocked; });
}

bool SearchPath(vek::CMap<uint16_t>& grid, const TPathQuery& query, TPath& path, CPathScratch& scratch) {
    path.clear();
    if (query.start == query.end) {
        return true;
    }
    if (!IsInsidePathGrid(grid, query.start) || !IsInsidePathGrid(grid, query.end)) {
        return false;
    }
    const uint32_t width = grid.GetWidth();
    const uint32_t height = grid.GetHeight();
    uint16_t* const cells = grid.Data();
    uint16_t& startCell = cells[static_cast<size_t>(query.start.y) * width + query.start.x];
    const uint16_t endCell = cells[static_cast<size_t>(query.end.y) * width + query.end.x];
    if (query.endsMustBeFree && (startCell != kPathFree || endCell != kPathFree)) {
        return false;
    }

    const COpenBand band(query.start, query.end);
    if (band.IsFree(grid)) {
        // The end is reached at ring counter length + 2, as a flood would.
        if (band.GetLength() + 2 > kPathLastRing) {
            return false;
        }
        startCell = kPathStart;
        if (query.testOnly) {
            return true;
        }
        return TracePath(
            query.end, band.GetLength() + 2,
            [&band, width, height](vek::TPoint p, uint32_t ring) {
                return MarkNeighbours(p, width, height, [&](vek::TPoint n) { return band.HasRing(n, ring); });
            },
            path);
    }

    // Most ways that are not open ground still take no more steps than they
    // would there (an obstacle in the open rarely costs a step): a flood held
    // to that length visits far fewer cells. Failing that, the full flood.
    std::vector<uint32_t>& queue = scratch.Queue(static_cast<size_t>(width) * height);
    TRingFlood flood = FloodRings(grid, query.start, query.end, queue, band.GetLength());
    if (flood.counter == 0) {
        UnnumberRings(grid, queue, flood.numbered);
        flood = FloodRings(grid, query.start, query.end, queue);
    }
    if (flood.counter == 0) {
        return false;
    }
    if (query.testOnly) {
        return true;
    }
    std::array<int32_t, 8> offsets{};
    for (size_t d = 0; d < 8; ++d) {
        offsets[d] = DirectionSteps()[d].y * static_cast<int32_t>(width) + DirectionSteps()[d].x;
    }
    return TracePath(
        query.end, flood.counter,
        [cells, width, height, &offsets](vek::TPoint p, uint32_t ring) {
            const auto x = static_cast<uint32_t>(p.x);
            const auto y = static_cast<uint32_t>(p.y);
            const uint16_t* const here = cells + static_cast<size_t>(y) * width + x;
            if (x - 1 < width - 2 && y - 1 < height - 2) {
                // Away from the edges all eight neighbours are cells.
                uint32_t marked = 0;
                for (size_t d = 0; d < 8; ++d) {
                    marked |= static_cast<uint32_t>(here[offsets[d]] == ring) << d;
                }
                return static_cast<uint8_t>(marked);
            }
            return MarkNeighbours(p, width, height, [&](vek::TPoint n) {
                return cells[static_cast<size_t>(n.y) * width + static_cast<uint32_t>(n.x)] == ring;
            });
        },
        path);
}

bool SearchPath(vek::CMap<uint16_t>& grid, const TPathQuery& query, TPath& path) {
    CPathScratch scratch;
    return SearchPath(grid, query, path, scratch);
}
