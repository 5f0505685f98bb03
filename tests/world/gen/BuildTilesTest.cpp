#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Random.h"
#include "world/gen/BuildTiles.h"
#include "world/gen/GenTestSupport.h"

namespace {

using gen::CLayoutGrid;
using gentest::CListedValues;
using gentest::GridOf;
using gentest::RowsOf;
using Text = std::vector<std::string>;
constexpr uint16_t N = gen::kNoTile;
using gentest::Tiles;
using gentest::TLayers;

// The wall rules as a list; the last rule that fits a cell gives its tile.
TEST(BuildTiles, WallTileForEveryPatternOfOpenSides) {
    using Open = gen::TOpenSides;
    const struct {
        std::function<bool(const Open&)> fits;
        uint16_t tile;
    } rules[] = {
        {[](const Open& o) { return o.east && !o.north && !o.south; }, 20},
        {[](const Open& o) { return o.south && !o.west; }, 21},
        {[](const Open& o) { return o.southEast && !o.east && !o.south; }, 22},
        {[](const Open& o) { return o.north && o.east && !o.south; }, 23},
        {[](const Open& o) { return o.east && o.south && !o.west && !o.north; }, 24},
        {[](const Open& o) { return o.west && o.south && !o.east; }, 25},
        {[](const Open& o) { return !o.east && !o.south && !o.southEast; }, 26},
        {[](const Open& o) { return o.west && o.east && o.north && o.south; }, 29},
        {[](const Open& o) { return o.west && o.east && o.south && !o.north; }, 28},
        {[](const Open& o) { return o.north && o.south && o.east && !o.west; }, 27},
    };
    for (int pattern = 0; pattern < 32; ++pattern) {
        const Open open{(pattern & 1) != 0, (pattern & 2) != 0, (pattern & 4) != 0, (pattern & 8) != 0,
                        (pattern & 16) != 0};
        uint16_t expected = N;
        for (auto rule = std::rbegin(rules); rule != std::rend(rules); ++rule) {
            if (rule->fits(open)) {
                expected = rule->tile;
                break;
            }
        }
        // Some rule fits every pattern: no wall cell stays without a tile.
        ASSERT_NE(expected, N) << pattern;
        EXPECT_EQ(gen::WallTile(open, 0), expected) << pattern;
        EXPECT_EQ(gen::WallTile(open, gen::kAlternativeTileBase), expected + 133) << pattern;
    }
}

TEST(BuildTiles, DoorwaysWherePassagesMeetRooms) {
    const Text northSouth{
        "#######", "#.....#", "#.....#", "#.....#", "###.###", "###.###", "#.....#", "#.....#", "#######",
    };
    const Text eastWest{
        "#########", "#..###..#", "#.......#", "#..###..#", "#########",
    };
    const struct {
        const char* name;
        Text grid;
        std::vector<int32_t> values;
        std::vector<gen::TDoorway> doorways;
        Text after;
    } cases[] = {
        // (3, 4) qualifies (north-west floor); once a doorway, (3, 5) has no
        // floor to its north and is not looked at.
        {"north-south, upper cell",
         northSouth,
         {0},
         {{{3, 4}, true}},
         {"#######", "#.....#", "#.....#", "#.....#", "###+###", "###.###", "#.....#", "#.....#", "#######"}},
        // 4 is not below 4: (3, 5) then qualifies by its south-west floor.
        {"north-south, lower cell",
         northSouth,
         {4, 3},
         {{{3, 5}, true}},
         {"#######", "#.....#", "#.....#", "#.....#", "###.###", "###+###", "#.....#", "#.....#", "#######"}},
        {"north-south, none", northSouth, {4, 4}, {}, northSouth},
        // (4, 2) has no floor to its north-west or north-east.
        {"east-west, both ends",
         eastWest,
         {1, 2},
         {{{3, 2}, false}, {{5, 2}, false}},
         {"#########", "#..###..#", "#..+.+..#", "#..###..#", "#########"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CLayoutGrid grid = GridOf(c.grid);
        CListedValues values(c.values);
        gen::CDraw draw(&values);
        const int32_t width = static_cast<int32_t>(c.grid[0].size());
        EXPECT_EQ(gen::MarkDoorways(grid, width - 1, static_cast<int32_t>(c.grid.size()), draw), c.doorways);
        EXPECT_EQ(RowsOf(grid), c.after);
        EXPECT_EQ(values.Used(), c.values.size());
    }
}

TEST(BuildTiles, DoorsLockedWithAChance) {
    const std::vector<gen::TDoorway> doorways{{{3, 4}, true}, {{5, 2}, false}};
    const struct {
        bool alternativeTiles;
        std::vector<int32_t> values;
        std::vector<gen::TDoorToCreate> doors;
    } cases[] = {
        // 1 < 2: locked, lock kind 7 % 4 = 3; 2 is not below 2.
        {false, {1, 7, 2}, {{{3, 4}, 31, true, 3}, {{5, 2}, 30, false, 4}}},
        // 13 % 13 = 0: locked, kind 0; 27 % 13 = 1: locked, kind 5 % 4 = 1.
        {true, {13, 4, 27, 5}, {{{3, 4}, 164, true, 0}, {{5, 2}, 163, true, 1}}},
        {false, {12, 25}, {{{3, 4}, 31, false, 4}, {{5, 2}, 30, false, 4}}},
    };
    for (const auto& c : cases) {
        TLayers layers(8, 6);
        layers.objects.Fill(26);
        gen::CTileCanvas canvas(layers.terrain, layers.objects);
        CListedValues values(c.values);
        gen::CDraw draw(&values);
        gen::AddDoors(canvas, doorways, c.alternativeTiles ? gen::kAlternativeTileBase : 0, draw);
        EXPECT_EQ(canvas.doors, c.doors);
        EXPECT_EQ(values.Used(), c.values.size());
        EXPECT_EQ(layers.objects.At(3, 4), N);
        EXPECT_EQ(layers.objects.At(5, 2), N);
        EXPECT_EQ(layers.objects.At(4, 4), 26);
    }
}

TEST(BuildTiles, EdgesOfTheArea) {
    const struct {
        const char* name;
        Text grid;
        bool alternativeTiles;
        bool keepLastColumn;
        Tiles expected;
    } cases[] = {
        {"room at the top-left",
         {"######", "#..###", "#..###", "######", "######"},
         false,
         false,
         {{22, 21, 21, 26, 26, 26},
          {20, N, N, N, N, 26},
          {20, N, N, N, N, 26},
          {26, N, N, N, N, 26},
          {23, 26, 26, 26, 26, 24}}},
        {"room at the top-right",
         {"######", "###..#", "###..#", "######", "######"},
         false,
         false,
         {{26, 26, 22, 21, 21, 25},
          {26, N, N, N, N, 26},
          {26, N, N, N, N, 26},
          {26, N, N, N, N, 26},
          {23, 26, 26, 26, 26, 24}}},
        {"entrance on the bottom row, alternative tiles",
         {"######", "#.####", "#.####", "##.###", "##.###"},
         true,
         false,
         {{155, 154, 159, 159, 159, 159},
          {153, N, N, N, N, 159},
          {153, N, N, N, N, 159},
          {159, N, N, N, N, 159},
          {159, 153, N, 159, 159, 159}}},
        {"last column left to the walls",
         {"######", "#..###", "#..###", "######", "######"},
         false,
         true,
         {{22, 21, 21, 26, 26, 26},
          {20, N, N, N, N, N},
          {20, N, N, N, N, N},
          {26, N, N, N, N, N},
          {23, 26, 26, 26, 26, 24}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CLayoutGrid grid = GridOf(c.grid);
        TLayers layers(6, 5);
        gen::CTileCanvas canvas(layers.terrain, layers.objects);
        gen::PaintEdges(canvas, grid, 6, 5, c.alternativeTiles, c.keepLastColumn);
        EXPECT_EQ(layers.Objects(), c.expected);
    }
}

TEST(BuildTiles, KeptLastColumnLooksIntoTheRestOfTheLocation) {
    // The area is the left 5 columns; columns 5 and 6 are open ground of the
    // rest of the location.
    const Text rows{"########", "#...#..#", "#...#..#", "#......#", "########"};
    const struct {
        bool keepLastColumn;
        uint16_t row1;
        uint16_t row2;
    } cases[] = {
        // Walls reach column 4 and see the open cells east of it.
        {true, 20, 28},
        // The edge pass closes the area: column 4 is the outer wall.
        {false, 26, 25},
    };
    for (const auto& c : cases) {
        CLayoutGrid grid = GridOf(rows);
        TLayers layers(8, 5);
        gen::CTileCanvas canvas(layers.terrain, layers.objects);
        vek::CStdRand random;
        random.Seed(2);
        gen::CDraw draw(&random);
        gen::BuildFromLayout(canvas, grid, 5, 5, false, draw, c.keepLastColumn);
        EXPECT_EQ(layers.objects.At(4, 1), c.row1) << c.keepLastColumn;
        EXPECT_EQ(layers.objects.At(4, 2), c.row2) << c.keepLastColumn;
        EXPECT_EQ(layers.objects.At(4, 3), N);
        for (uint16_t y = 0; y < 5; ++y) {
            for (uint16_t x = 5; x < 8; ++x) {
                EXPECT_EQ(layers.objects.At(x, y), N);
                EXPECT_EQ(layers.terrain.At(x, y), N);
            }
        }
    }
}

// Every pattern of floor and rock on tiny areas, both tile sets, with and
// without the kept last column: no cell outside the area is touched, floor
// keeps no tile, every other cell gets a wall, every doorway a door.
TEST(BuildTiles, EveryPatternOfTinyAreas) {
    const struct {
        int32_t width;
        int32_t height;
    } sizes[] = {{1, 1}, {2, 2}, {3, 3}, {4, 3}, {3, 4}, {1, 5}, {5, 1}};
    vek::CStdRand random;
    random.Seed(77);
    for (const auto& size : sizes) {
        const int32_t cells = size.width * size.height;
        for (uint32_t pattern = 0; pattern < (1u << cells); ++pattern) {
            for (int variant = 0; variant < 4; ++variant) {
                const bool alternativeTiles = (variant & 1) != 0;
                const bool keepLastColumn = (variant & 2) != 0;
                CLayoutGrid grid = gentest::RockGrid(size.width, size.height);
                for (int32_t i = 0; i < cells; ++i) {
                    if ((pattern >> i) & 1) {
                        grid.At(static_cast<uint16_t>(i % size.width), static_cast<uint16_t>(i / size.width)) =
                            gen::kFloor;
                    }
                }
                TLayers layers(size.width + 1, size.height + 1);
                gen::CTileCanvas canvas(layers.terrain, layers.objects);
                gen::CDraw draw(&random);
                gen::BuildFromLayout(canvas, grid, size.width, size.height, alternativeTiles, draw, keepLastColumn);
                const uint16_t base = alternativeTiles ? gen::kAlternativeTileBase : 0;
                size_t doorways = 0;
                for (int32_t y = 0; y <= size.height; ++y) {
                    for (int32_t x = 0; x <= size.width; ++x) {
                        const uint16_t object = layers.objects.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
                        const uint16_t terrain = layers.terrain.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
                        if (x == size.width || y == size.height) {
                            ASSERT_EQ(object, N);
                            ASSERT_EQ(terrain, N);
                            continue;
                        }
                        ASSERT_EQ(terrain, alternativeTiles ? 5 : 4);
                        const uint8_t cell = grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
                        if (cell == gen::kRock) {
                            ASSERT_GE(object, base + 20) << pattern << " " << x << "," << y;
                            ASSERT_LE(object, base + 29) << pattern << " " << x << "," << y;
                        } else {
                            ASSERT_EQ(object, N) << pattern << " " << x << "," << y;
                        }
                        doorways += cell == gen::kDoorway ? 1 : 0;
                    }
                }
                ASSERT_EQ(canvas.doors.size(), doorways);
            }
        }
    }
}

TEST(BuildTiles, AreaMustFitTheGridAndTheLocation) {
    const struct {
        int32_t gridWidth;
        int32_t locationWidth;
        int32_t width;
        int32_t height;
    } cases[] = {{10, 10, 11, 5}, {10, 9, 10, 5}, {10, 10, 10, 6}, {10, 10, -1, 5}};
    for (const auto& c : cases) {
        CLayoutGrid grid = gentest::RockGrid(c.gridWidth, 5);
        TLayers layers(c.locationWidth, 5);
        gen::CTileCanvas canvas(layers.terrain, layers.objects);
        gen::CDraw draw(nullptr);
        EXPECT_THROW(gen::BuildFromLayout(canvas, grid, c.width, c.height, false, draw, false), vek::CException)
            << c.width;
    }
}

} // namespace
