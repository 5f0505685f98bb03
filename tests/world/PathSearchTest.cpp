#include "world/PathSearch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Random.h"
#include "tests/world/PathSupport.h"
#include "world/PathTrace.h"

namespace {

using pathtest::CScriptedGenerator;
using pathtest::CSeededGenerator;
using pathtest::GridFromText;
using vek::TPoint;

// The run-time generator seeded with 1 yields 41, 18467, 6334, 26500, 19169,
// 15724, 11478, 29358, 26962, 24464, 5705, 28145, 23281, 16827, 9961, 491, 2995,
// 11942, 4827, 5436, 32391, 14604, 3902, 153, 292, 12382, 17421, 18716, 19718,
// 19895, 5447, 21726, 14771, 11538, 1869, 19912, 25667 (state * 214013 +
// 2531011, bits 16-30). Remainders by 8: 1 3 6 4 1 4 6 6 2 0 1 1 1 3 1 3 3 6 3 4
// 7 4 6 1 4 6 5 4 6 7 7 6 3 2 5 0 3; a remainder r names direction r + 1.
TEST(PathSearch, EdgeCases) {
    const std::vector<std::string> open3 = {"...", "...", "..."};
    const struct {
        const char* name;
        std::vector<std::string> rows;
        TPoint start;
        TPoint end;
        bool testOnly;
        bool endsMustBeFree;
        bool found;
        TPath path;
        int32_t nextDraw; // what the generator yields after the search
    } cases[] = {
        {"start equal to end", open3, {1, 1}, {1, 1}, false, false, true, {}, 41},
        {"start equal to end on a blocked cell", {"...", ".#.", "..."}, {1, 1}, {1, 1}, false, true, true, {}, 41},
        // One marked direction (1): draws 1 to 10 until remainder 0.
        {"end next to the start", open3, {0, 0}, {1, 1}, false, false, true, {{0, 0}}, 5705},
        // Direction 8 (west) needs remainder 7: draw 21.
        {"end just east of the start", {".."}, {0, 0}, {1, 0}, false, false, true, {{0, 0}}, 14604},
        {"two steps, one common neighbour", open3, {0, 0}, {2, 2}, false, false, true, {{1, 1}}, 5705},
        // Directions 1, 7 and 8 are marked from (2, 1); draw 3 (remainder 6)
        // names 7.
        {"two steps, three common neighbours", open3, {0, 1}, {2, 1}, false, false, true, {{1, 2}}, 26500},
        // Draws 21, 30 and 31 name direction 8.
        {"corridor", {"....."}, {0, 0}, {4, 0}, false, false, true, {{3, 0}, {2, 0}, {1, 0}}, 21726},
        // Directions 2 and 8 from the end: draw 1 names 2; then 1 from (2, 1)
        // at draw 10.
        {"around a blocked centre", {"...", ".#.", "..."}, {0, 0}, {2, 2}, false, false, true, {{2, 1}, {1, 0}}, 5705},
        // One way only: direction 6 (draw 27), 7 (draw 29), 1 (draw 36).
        {"around a wall", {".#.", ".#.", "..."}, {0, 0}, {2, 0}, false, false, true, {{2, 1}, {1, 2}, {0, 1}}, 25667},
        {"blocked end is still reached", {"..#"}, {0, 0}, {2, 0}, false, false, true, {{1, 0}}, 14604},
        {"blocked end when ends must be free", {"..#"}, {0, 0}, {2, 0}, false, true, false, {}, 41},
        {"blocked start is left", {"#.."}, {0, 0}, {2, 0}, false, false, true, {{1, 0}}, 14604},
        {"blocked start when ends must be free", {"#.."}, {0, 0}, {2, 0}, false, true, false, {}, 41},
        {"free ends when ends must be free", {"..."}, {0, 0}, {2, 0}, false, true, true, {{1, 0}}, 14604},
        {"walled off", {".#."}, {0, 0}, {2, 0}, false, false, false, {}, 41},
        {"test only", open3, {0, 0}, {2, 2}, true, false, true, {}, 41},
        {"test only, walled off", {".#.", ".#.", ".#."}, {0, 0}, {2, 2}, true, false, false, {}, 41},
        {"start left of the grid", open3, {-1, 0}, {2, 2}, false, false, false, {}, 41},
        {"start above the grid", open3, {0, -1}, {2, 2}, false, false, false, {}, 41},
        {"end right of the grid", open3, {0, 0}, {3, 0}, false, false, false, {}, 41},
        {"end below the grid", open3, {0, 0}, {0, 3}, false, false, false, {}, 41},
        {"start and end equal outside", open3, {-1, -1}, {-1, -1}, false, false, true, {}, 41},
        {"far outside", open3, {0, 0}, {70000, 70000}, true, false, false, {}, 41},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CSeededGenerator generator(1);
        vek::CMap<uint16_t> grid = GridFromText(c.rows);
        TPath path = {{9, 9}}; // a stale way from before is cleared
        EXPECT_EQ(SearchPath(grid, {c.start, c.end, c.testOnly, c.endsMustBeFree}, path), c.found);
        EXPECT_EQ(path, c.path);
        EXPECT_EQ(generator.Get().Next(), c.nextDraw);
    }
}

TEST(PathSearch, StartEqualToEndLeavesTheGridAlone) {
    vek::CMap<uint16_t> grid = GridFromText({"...", "...", "..."});
    TPath path;
    int fills = 0;
    CPathScratch scratch;
    EXPECT_TRUE(FindPath(
        grid, {{1, 1}, {1, 1}}, [&](vek::CMap<uint16_t>&) { ++fills; }, path, scratch));
    EXPECT_FALSE(FindPath(
        grid, {{1, 1}, {3, 1}}, [&](vek::CMap<uint16_t>&) { ++fills; }, path, scratch));
    EXPECT_EQ(fills, 0);
    EXPECT_EQ(grid.At(1, 1), 0);
    EXPECT_TRUE(FindPath(
        grid, {{0, 0}, {2, 2}}, [&](vek::CMap<uint16_t>&) { ++fills; }, path, scratch));
    EXPECT_EQ(fills, 1);
}

TEST(PathSearch, FloodNumbersRingsFromTheStart) {
    // Left of the wall the flood runs until a cell next to the end comes out.
    vek::CMap<uint16_t> grid = GridFromText({"....#.", "....#.", "......"});
    TPath path;
    ASSERT_TRUE(SearchPath(grid, {{0, 0}, {5, 0}, true}, path));
    const std::vector<std::vector<uint16_t>> rings = {
        {2, 3, 4, 5, 1, 0},
        {3, 3, 4, 5, 1, 7},
        {4, 4, 4, 5, 6, 7},
    };
    for (uint16_t y = 0; y < 3; ++y) {
        for (uint16_t x = 0; x < 6; ++x) {
            EXPECT_EQ(grid.At(x, y), rings[y][x]) << x << "," << y;
        }
    }
}

TEST(PathSearch, WithoutAGeneratorTheFirstMarkedDirectionIsTaken) {
    vek::SetRandomGenerator(nullptr);
    const struct {
        std::vector<std::string> rows;
        TPoint start;
        TPoint end;
        TPath path;
    } cases[] = {
        {{"...", "...", "..."}, {0, 1}, {2, 1}, {{1, 0}}}, // 1 before 7 and 8
        {{"....."}, {0, 0}, {4, 0}, {{3, 0}, {2, 0}, {1, 0}}},
        {{".."}, {0, 0}, {1, 0}, {{0, 0}}},
        {{"....", "....", "...."}, {0, 0}, {3, 2}, {{2, 1}, {1, 0}}},
    };
    for (const auto& c : cases) {
        vek::CMap<uint16_t> grid = GridFromText(c.rows);
        TPath path;
        EXPECT_TRUE(SearchPath(grid, {c.start, c.end}, path));
        EXPECT_EQ(path, c.path);
    }
}

TEST(PathSearch, DrawsNameDirectionsOneAboveTheRemainder) {
    // Marked from (2, 1): 1 (up-left), 7 (down-left), 8 (left).
    const struct {
        std::vector<int32_t> draws;
        TPoint step;
        int draws_used;
    } cases[] = {
        {{0}, {1, 0}, 1}, // remainder 0: direction 1
        {{7}, {1, 1}, 1}, // remainder 7: direction 8
        {{6}, {1, 2}, 1}, // remainder 6: direction 7
        {{1, 2, 3, 4, 5, 14}, {1, 2}, 6},
        {{-1}, {1, 1}, 1},              // -1 leaves remainder 7: direction 8
        {{-8}, {1, 0}, 1},              // -8 leaves 0: direction 1
        {{-2}, {1, 2}, 1},              // -2 leaves 6: direction 7
        {{-2147483647 - 1}, {1, 0}, 1}, // the lowest number leaves 0
    };
    for (const auto& c : cases) {
        CScriptedGenerator generator(c.draws);
        vek::SetRandomGenerator(&generator);
        vek::CMap<uint16_t> grid = GridFromText({"...", "...", "..."});
        TPath path;
        EXPECT_TRUE(SearchPath(grid, {{0, 1}, {2, 1}}, path));
        EXPECT_EQ(path, (TPath{c.step}));
        EXPECT_EQ(generator.m_draws, c.draws_used);
        vek::SetRandomGenerator(nullptr);
    }
}

TEST(PathSearch, AGeneratorThatNeverNamesAMarkedDirectionIsNotWaitedForForever) {
    // Every draw names direction 1; only 8 is marked.
    CScriptedGenerator generator({8});
    vek::SetRandomGenerator(&generator);
    vek::CMap<uint16_t> grid = GridFromText({".."});
    TPath path;
    EXPECT_TRUE(SearchPath(grid, {{0, 0}, {1, 0}}, path));
    vek::SetRandomGenerator(nullptr);
    EXPECT_EQ(path, (TPath{{0, 0}}));
    EXPECT_EQ(generator.m_draws, kMaxDirectionDraws);
    // The last draw before the limit still counts.
    std::vector<int32_t> values(kMaxDirectionDraws, 0);
    values.back() = 7;
    CScriptedGenerator lastChance(values);
    EXPECT_EQ(CDirectionDraws(&lastChance).Draw(1u << 7), 8);
    EXPECT_EQ(lastChance.m_draws, kMaxDirectionDraws);
}

// The run-time generator is stepped on a copy of its state, which goes back
// when the draws are done: the next number is the one after the last draw.
TEST(PathSearch, RunTimeDrawsLeaveTheGeneratorWhereTheyStopped) {
    vek::CStdRand generator;
    generator.Seed(1);
    {
        CDirectionDraws draws(&generator);
        // Remainders 1 3 6 4 1 4 6 6 2 0 1 1 ...: direction 4 at the second
        // draw, 1 at the tenth, 2 (of 2 and 7) at the eleventh.
        EXPECT_EQ(draws.Draw(1u << 3), 4);
        EXPECT_EQ(draws.Draw(1u << 0), 1);
        EXPECT_EQ(draws.Draw((1u << 1) | (1u << 6)), 2);
    }
    EXPECT_EQ(generator.Next(), 28145); // the twelfth number
    EXPECT_EQ(generator.GetSeed(), 1u);
    CDirectionDraws none(nullptr);
    EXPECT_EQ(none.Draw((1u << 5) | (1u << 6)), 6);
}

TEST(PathSearch, CallerValuesNeverPassForRingNumbers) {
    // A byte grid whose blocked cells hold 2, 3 and 4 (values a flood gives to
    // the start and its rings): only the gap at the bottom leads through.
    const uint8_t bytes[] = {
        0, 0, 3, 0, 0, //
        0, 0, 2, 0, 0, //
        0, 0, 0, 4, 0, //
    };
    CSeededGenerator generator(7);
    vek::CMap<uint16_t> grid;
    grid.Resize(5, 3);
    FillPathGrid(grid, bytes);
    EXPECT_EQ(grid.At(2, 0), kPathBlocked);
    EXPECT_EQ(grid.At(2, 1), kPathBlocked);
    EXPECT_EQ(grid.At(3, 2), kPathBlocked);
    TPath path;
    ASSERT_TRUE(SearchPath(grid, {{0, 0}, {4, 0}}, path));
    EXPECT_EQ(path, (TPath{{3, 1}, {2, 2}, {1, 1}}));
    for (const TPoint& p : path) {
        EXPECT_EQ(bytes[p.y * 5 + p.x], 0) << p.x << "," << p.y;
    }
    // Closing the gap closes the way.
    uint8_t closed[15];
    std::copy(std::begin(bytes), std::end(bytes), closed);
    closed[12] = 2;
    FillPathGrid(grid, closed);
    EXPECT_FALSE(SearchPath(grid, {{0, 0}, {4, 0}}, path));
}

TEST(PathSearch, FillRefusesASourceOfAnotherSize) {
    vek::CMap<uint16_t> grid;
    grid.Resize(3, 2);
    const std::vector<uint8_t> bytes(5, 0);
    try {
        FillPathGrid(grid, bytes);
        FAIL() << "no exception";
    } catch (const vek::CException& e) {
        EXPECT_EQ(e.GetFunction(), L"FillPathGrid");
        EXPECT_EQ(e.GetDetails(), L"A source of 5 cells cannot fill a path grid of 3x2");
    }
    vek::CMap<uint16_t> other;
    other.Resize(2, 3);
    EXPECT_THROW(FillPathGrid(grid, other), vek::CException);
    other.Resize(3, 2);
    other.Fill(7);
    FillPathGrid(grid, other);
    EXPECT_EQ(grid.At(2, 1), kPathBlocked);
}

TEST(PathSearch, AFreedGridHasNoCellsToReach) {
    vek::CMap<uint16_t> grid = GridFromText({"..."});
    grid.Free();
    TPath path;
    EXPECT_FALSE(SearchPath(grid, {{0, 0}, {2, 0}}, path));
    EXPECT_TRUE(SearchPath(grid, {{0, 0}, {0, 0}}, path)); // equal ends need no cells
}

// A way of 65533 steps ends at ring counter 65535, the last number a cell can
// hold; one step more cannot be numbered and is not found. Both on open
// ground and when a flood has to run (a blocked cell off the way).
TEST(PathSearch, RingNumbersStopAtTheLastCellValue) {
    const struct {
        bool flood;
        int32_t endX;
        bool testOnly;
        bool found;
    } cases[] = {
        {false, 65533, false, true}, {false, 65534, false, false}, {false, 65534, true, false},
        {true, 65533, false, true},  {true, 65534, false, false},  {true, 65534, true, false},
    };
    vek::SetRandomGenerator(nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flood " << c.flood << " end " << c.endX);
        vek::CMap<uint16_t> grid;
        grid.Resize(65535, 2);
        grid.Fill(0);
        if (c.flood) {
            grid.At(5, 1) = 1;
        }
        TPath path;
        EXPECT_EQ(SearchPath(grid, {{0, 0}, {c.endX, 0}, c.testOnly}, path), c.found);
        if (c.found && !c.testOnly) {
            ASSERT_EQ(path.size(), 65532u);
            EXPECT_EQ(path.front().x, c.endX - 1);
            EXPECT_EQ(path.back().x, 1);
        } else {
            EXPECT_TRUE(path.empty());
        }
    }
}

} // namespace
