#pragma once
// Helpers of the way-search tests: grids from text, a plain breadth-first
// distance oracle, and the search step by step as first written down (a queue
// with a ring marker, ring numbers in the grid, redraws in reconstruction), to
// hold the fast search against.
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "VEKLib/Geometry.h"
#include "VEKLib/Map2D.h"
#include "VEKLib/Random.h"
#include "world/PathSearch.h"

namespace pathtest {

using vek::TPoint;

// Rows of '.' (free) and '#' (blocked).
inline vek::CMap<uint16_t> GridFromText(const std::vector<std::string>& rows) {
    vek::CMap<uint16_t> grid;
    grid.Resize(static_cast<uint16_t>(rows[0].size()), static_cast<uint16_t>(rows.size()));
    for (size_t y = 0; y < rows.size(); ++y) {
        for (size_t x = 0; x < rows[y].size(); ++x) {
            grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)) = rows[y][x] == '#' ? 1 : 0;
        }
    }
    return grid;
}

inline uint16_t& Cell(vek::CMap<uint16_t>& grid, TPoint p) {
    return grid.At(static_cast<uint16_t>(p.x), static_cast<uint16_t>(p.y));
}

inline bool Inside(const vek::CMap<uint16_t>& grid, TPoint p) {
    return p.x >= 0 && p.y >= 0 && p.x < grid.GetWidth() && p.y < grid.GetHeight();
}

inline bool Adjacent(TPoint a, TPoint b) { return a != b && std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1; }

// Steps from the start to every cell over free cells (-1 unreached). The start
// is where the walk begins whatever its cell holds; the end is reached from
// any reached neighbour whatever its cell holds, and never walked through.
inline std::vector<int32_t> Distances(const vek::CMap<uint16_t>& grid, TPoint start, TPoint end) {
    const int32_t width = grid.GetWidth();
    const int32_t height = grid.GetHeight();
    std::vector<int32_t> dist(static_cast<size_t>(width) * height, -1);
    auto at = [&](TPoint p) -> int32_t& { return dist[static_cast<size_t>(p.y) * width + p.x]; };
    std::deque<TPoint> open{start};
    at(start) = 0;
    while (!open.empty()) {
        const TPoint p = open.front();
        open.pop_front();
        if (p == end) {
            continue;
        }
        for (int32_t dy = -1; dy <= 1; ++dy) {
            for (int32_t dx = -1; dx <= 1; ++dx) {
                const TPoint n{p.x + dx, p.y + dy};
                if (!Inside(grid, n) || at(n) >= 0) {
                    continue;
                }
                if (n == end || grid.At(static_cast<uint16_t>(n.x), static_cast<uint16_t>(n.y)) == 0) {
                    at(n) = at(p) + 1;
                    open.push_back(n);
                }
            }
        }
    }
    return dist;
}

// The search as first written down, with the mended points: ends outside the
// grid fail (unless equal), the ring counter stops at 65535, a draw r names direction r + 1
// (remainder made non-negative), and with no generator or after 1024 misses the
// first marked direction is taken. Works on a grid of 0 and 1.
inline bool ReferenceSearch(vek::CMap<uint16_t>& grid, const TPathQuery& query, TPath& path) {
    static constexpr TPoint kMarker{-1, -1};
    path.clear();
    if (query.start == query.end) {
        return true;
    }
    if (!Inside(grid, query.start) || !Inside(grid, query.end)) {
        return false;
    }
    if (query.endsMustBeFree && (Cell(grid, query.start) != 0 || Cell(grid, query.end) != 0)) {
        return false;
    }
    std::deque<TPoint> queue{query.start, kMarker};
    Cell(grid, query.start) = 2;
    uint32_t counter = 3;
    bool reached = false;
    while (!reached) {
        const TPoint p = queue.front();
        queue.pop_front();
        if (p == kMarker) {
            if (queue.empty() || counter == 65535) {
                break;
            }
            ++counter;
            queue.push_back(kMarker);
            continue;
        }
        for (uint8_t d = 1; d <= 8; ++d) {
            const TPoint n = vek::MoveInDirection(d, p);
            if (!Inside(grid, n)) {
                continue;
            }
            if (n == query.end) {
                reached = true;
                break;
            }
            if (Cell(grid, n) == 0) {
                queue.push_back(n);
                Cell(grid, n) = static_cast<uint16_t>(counter);
            }
        }
    }
    if (query.testOnly || !reached) {
        return reached;
    }
    TPoint current = query.end;
    do {
        bool marked[9] = {};
        uint8_t first = 0;
        for (uint8_t d = 1; d <= 8; ++d) {
            const TPoint n = vek::MoveInDirection(d, current);
            if (Inside(grid, n) && Cell(grid, n) == counter - 1) {
                marked[d] = true;
                first = first ? first : d;
            }
        }
        uint8_t chosen = first;
        if (vek::CRandomGeneratorBase* generator = vek::GetRandomGenerator()) {
            for (int draw = 0; draw < 1024; ++draw) {
                const int32_t r = ((generator->Next() % 8) + 8) % 8;
                if (marked[r + 1]) {
                    chosen = static_cast<uint8_t>(r + 1);
                    break;
                }
            }
        }
        current = vek::MoveInDirection(chosen, current);
        path.push_back(current);
        --counter;
    } while (counter > 3);
    return true;
}

// Installs a seeded run-time generator for one test and removes it after.
class CSeededGenerator {
public:
    explicit CSeededGenerator(uint32_t seed) {
        m_generator.Seed(seed);
        vek::SetRandomGenerator(&m_generator);
    }
    ~CSeededGenerator() { vek::SetRandomGenerator(nullptr); }
    CSeededGenerator(const CSeededGenerator&) = delete;
    CSeededGenerator& operator=(const CSeededGenerator&) = delete;
    vek::CStdRand& Get() { return m_generator; }

private:
    vek::CStdRand m_generator;
};

// A generator that answers from a list, over and over, and counts its draws.
class CScriptedGenerator final : public vek::CRandomGeneratorBase {
public:
    explicit CScriptedGenerator(std::vector<int32_t> values) : m_values(std::move(values)) {}
    int32_t Next() override {
        ++m_draws;
        return m_values[(m_draws - 1) % m_values.size()];
    }
    void Seed(uint32_t) override {}
    int m_draws = 0;

private:
    std::vector<int32_t> m_values;
};

} // namespace pathtest
