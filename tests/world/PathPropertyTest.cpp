// The fast search held against a plain breadth-first search (reachability,
// way length, steps, free cells, order) and against the search step by step as
// first written down (same answer, same way, same draws), on random grids and
// on every wall pattern of tiny grids.
#include <gtest/gtest.h>

#include <random>

#include "tests/world/PathSupport.h"
#include "world/PathSearch.h"

namespace {

using pathtest::Adjacent;
using vek::TPoint;

// Checks one answer against breadth-first distances over the grid as filled.
// Returns a description of the first fault, or an empty string.
std::string CheckAgainstDistances(const vek::CMap<uint16_t>& grid, const TPathQuery& q, bool found, const TPath& path) {
    const bool inside = pathtest::Inside(grid, q.start) && pathtest::Inside(grid, q.end);
    bool reachable = q.start == q.end; // even outside the grid
    int32_t steps = -1;
    std::vector<int32_t> dist;
    if (inside) {
        dist = pathtest::Distances(grid, q.start, q.end);
        steps = dist[static_cast<size_t>(q.end.y) * grid.GetWidth() + q.end.x];
        const bool endsFree = grid.At(static_cast<uint16_t>(q.start.x), static_cast<uint16_t>(q.start.y)) == 0 &&
                              grid.At(static_cast<uint16_t>(q.end.x), static_cast<uint16_t>(q.end.y)) == 0;
        reachable = q.start == q.end || (steps > 0 && (!q.endsMustBeFree || endsFree));
    }
    if (found != reachable) {
        return found ? "found an unreachable end" : "missed a reachable end";
    }
    if (!found || q.testOnly || q.start == q.end) {
        return path.empty() ? "" : "a way where none was asked for";
    }
    // One step holds the start alone; longer ways hold the cells between.
    if (steps == 1) {
        return path == TPath{q.start} ? "" : "one step without the start alone";
    }
    if (path.size() != static_cast<size_t>(steps - 1)) {
        return "way of " + std::to_string(path.size()) + " cells for " + std::to_string(steps) + " steps";
    }
    TPoint previous = q.end;
    for (size_t i = 0; i < path.size(); ++i) {
        const TPoint p = path[i];
        if (!pathtest::Inside(grid, p) || grid.At(static_cast<uint16_t>(p.x), static_cast<uint16_t>(p.y)) != 0) {
            return "way through a blocked cell";
        }
        if (!Adjacent(previous, p)) {
            return "cells of the way not next to each other";
        }
        if (dist[static_cast<size_t>(p.y) * grid.GetWidth() + p.x] != steps - 1 - static_cast<int32_t>(i)) {
            return "way not ordered from the end";
        }
        previous = p;
    }
    return Adjacent(previous, q.start) ? "" : "way does not reach the start";
}

// Runs the fast search and the step-by-step one on copies of the grid from the
// same generator state; they must agree on the answer, the way and the draws.
class CComparison {
public:
    std::string Run(const vek::CMap<uint16_t>& grid, const TPathQuery& q, uint32_t seed) {
        if (m_fastGrid.GetWidth() != grid.GetWidth() || m_fastGrid.GetHeight() != grid.GetHeight()) {
            m_fastGrid.Resize(grid.GetWidth(), grid.GetHeight());
            m_referenceGrid.Resize(grid.GetWidth(), grid.GetHeight());
        }
        m_fastGrid.CopyFrom(grid);
        m_referenceGrid.CopyFrom(grid);
        vek::SetRandomGenerator(&m_generator);
        m_generator.Seed(seed);
        const bool fastFound = SearchPath(m_fastGrid, q, m_fast, m_scratch);
        const int32_t fastNext = m_generator.Next();
        m_generator.Seed(seed);
        const bool referenceFound = pathtest::ReferenceSearch(m_referenceGrid, q, m_reference);
        const int32_t referenceNext = m_generator.Next();
        vek::SetRandomGenerator(nullptr);
        if (fastFound != referenceFound || m_fast != m_reference) {
            return "differs from the step-by-step search";
        }
        if (fastNext != referenceNext) {
            return "drew another number of times than the step-by-step search";
        }
        return CheckAgainstDistances(grid, q, fastFound, m_fast);
    }

private:
    vek::CStdRand m_generator;
    vek::CMap<uint16_t> m_fastGrid;
    vek::CMap<uint16_t> m_referenceGrid;
    TPath m_fast;
    TPath m_reference;
    CPathScratch m_scratch; // one scratch across grids of every size
};

std::string Describe(const vek::CMap<uint16_t>& grid, const TPathQuery& q) {
    std::string text = "from " + std::to_string(q.start.x) + "," + std::to_string(q.start.y) + " to " +
                       std::to_string(q.end.x) + "," + std::to_string(q.end.y) + (q.testOnly ? " test only" : "") +
                       (q.endsMustBeFree ? " ends free" : "") + "\n";
    for (uint16_t y = 0; y < grid.GetHeight(); ++y) {
        for (uint16_t x = 0; x < grid.GetWidth(); ++x) {
            text += grid.At(x, y) ? '#' : '.';
        }
        text += '\n';
    }
    return text;
}

TEST(PathProperty, RandomGridsAgreeWithBreadthFirstSearch) {
    std::mt19937 random(20240613);
    CComparison comparison;
    auto below = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    for (int round = 0; round < 4000; ++round) {
        const auto width = static_cast<uint16_t>(1 + below(16));
        const auto height = static_cast<uint16_t>(1 + below(12));
        const int density = round % 8 == 0 ? 0 : below(60); // some open ground
        vek::CMap<uint16_t> grid;
        grid.Resize(width, height);
        for (uint16_t y = 0; y < height; ++y) {
            for (uint16_t x = 0; x < width; ++x) {
                grid.At(x, y) = below(100) < density ? 1 : 0;
            }
        }
        // Now and then an end just outside the grid.
        auto point = [&](uint16_t size) { return below(20) == 0 ? below(3) * (size + 1) - 1 : below(size); };
        const TPathQuery q{{point(width), point(height)}, {point(width), point(height)}, below(4) == 0, below(3) == 0};
        const std::string fault = comparison.Run(grid, q, static_cast<uint32_t>(round));
        ASSERT_EQ(fault, "") << Describe(grid, q);
    }
}

// Every wall pattern of a tiny grid, every start and end.
void SweepEveryPattern(uint16_t width, uint16_t height) {
    const int cells = width * height;
    CComparison comparison;
    vek::CMap<uint16_t> grid;
    grid.Resize(width, height);
    for (uint32_t pattern = 0; pattern < (1u << cells); ++pattern) {
        for (int i = 0; i < cells; ++i) {
            grid.At(static_cast<uint16_t>(i % width), static_cast<uint16_t>(i / width)) = (pattern >> i) & 1;
        }
        for (int s = 0; s < cells; ++s) {
            for (int e = 0; e < cells; ++e) {
                const TPathQuery q{{s % width, s / width}, {e % width, e / width}, false, (pattern + s + e) % 5 == 0};
                const std::string fault = comparison.Run(grid, q, pattern * 31 + static_cast<uint32_t>(s * cells + e));
                ASSERT_EQ(fault, "") << Describe(grid, q);
            }
        }
    }
}

TEST(PathProperty, EveryPatternOf3x3) { SweepEveryPattern(3, 3); }
TEST(PathProperty, EveryPatternOf4x3) { SweepEveryPattern(4, 3); }
TEST(PathProperty, EveryPatternOf3x4) { SweepEveryPattern(3, 4); }
TEST(PathProperty, EveryPatternOf5x2) { SweepEveryPattern(5, 2); }

} // namespace
