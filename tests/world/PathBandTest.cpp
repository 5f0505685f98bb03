#include "world/PathBand.h"

#include <gtest/gtest.h>

#include "tests/world/PathSupport.h"

namespace {

using vek::TPoint;

// The row spans are the band by its definition, for every pair of ends in a
// small square and every row around them.
TEST(PathBand, RowSpansHoldExactlyTheBandCells) {
    for (int32_t sy = 0; sy < 7; ++sy) {
        for (int32_t sx = 0; sx < 7; ++sx) {
            for (int32_t ey = 0; ey < 7; ++ey) {
                for (int32_t ex = 0; ex < 7; ++ex) {
                    const TPoint s{sx, sy};
                    const TPoint e{ex, ey};
                    const COpenBand band(s, e);
                    for (int32_t y = -8; y < 15; ++y) {
                        int32_t lo = 0;
                        int32_t hi = -1;
                        const bool any = band.RowSpan(y, lo, hi);
                        for (int32_t x = -8; x < 15; ++x) {
                            const bool byDefinition =
                                COpenBand::Steps(s, {x, y}) + COpenBand::Steps({x, y}, e) == COpenBand::Steps(s, e);
                            ASSERT_EQ(band.Contains({x, y}), byDefinition);
                            ASSERT_EQ(any && lo <= x && x <= hi, byDefinition)
                                << "s " << sx << "," << sy << " e " << ex << "," << ey << " at " << x << "," << y;
                        }
                    }
                }
            }
        }
    }
}

TEST(PathBand, StepsAndRings) {
    const COpenBand band({2, 3}, {9, 5});
    EXPECT_EQ(band.GetLength(), 7u);
    EXPECT_TRUE(band.HasRing({2, 3}, 2));
    EXPECT_TRUE(band.HasRing({5, 1}, 5));
    EXPECT_FALSE(band.HasRing({5, 1}, 6));
    EXPECT_FALSE(band.HasRing({5, 0}, 5)); // three steps from the start, but off the band
    EXPECT_TRUE(band.Contains({5, 1}));
    EXPECT_FALSE(band.Contains({5, 0}));
    EXPECT_EQ(COpenBand::Steps({0, 0}, {-3, 2}), 3u);
    EXPECT_EQ(COpenBand::Steps({0, 0}, {0, 0}), 0u);
}

TEST(PathBand, IsFreeLooksAtBandCellsInsideTheGridOnly) {
    const struct {
        std::vector<std::string> rows;
        TPoint start;
        TPoint end;
        bool free;
    } cases[] = {
        {{"....", "....", "...."}, {0, 0}, {3, 2}, true},
        {{"#...", "....", "...#"}, {0, 0}, {3, 2}, true},  // blocked ends do not count
        {{"....", "....", "#..."}, {0, 0}, {3, 2}, true},  // (0, 2) is off every shortest line
        {{"....", "..#.", "...."}, {0, 0}, {3, 2}, false}, // (2, 1) is on one
        {{".#..", "....", "...."}, {0, 0}, {3, 2}, false}, // so is (1, 0)
        {{"....", "....", "..#."}, {0, 0}, {3, 2}, false}, // and (2, 2)
        {{"...#", "....", ".#.."}, {0, 0}, {3, 2}, true},  // but not (3, 0) or (1, 2)
        {{"....", "....", "...."}, {0, 0}, {3, 0}, true},  // rows above the grid are skipped
        {{"#", "#", "."}, {0, 2}, {0, 0}, false},
        {{".", "#", "."}, {0, 2}, {0, 0}, false},
        {{"#", ".", "#"}, {0, 2}, {0, 0}, true},
        {{"#....#"}, {5, 0}, {0, 0}, true}, // the end left of the start in one row
        {{"#..#.#"}, {5, 0}, {0, 0}, false},
        {{".#...", "....."}, {0, 0}, {1, 0}, true}, // next to each other: no cell between
    };
    for (const auto& c : cases) {
        const vek::CMap<uint16_t> grid = pathtest::GridFromText(c.rows);
        EXPECT_EQ(COpenBand(c.start, c.end).IsFree(grid), c.free)
            << c.start.x << "," << c.start.y << " to " << c.end.x << "," << c.end.y << " on " << c.rows[0];
    }
}

} // namespace
