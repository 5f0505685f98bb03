#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Random.h"
#include "world/gen/BuildTiles.h"
#include "world/gen/GenTestSupport.h"
#include "world/gen/Layout.h"

namespace {

using gen::CLayoutGrid;
using gen::TRoom;
using gentest::CListedValues;
using gentest::GridOf;
using gentest::RockGrid;
using gentest::RowsOf;
using gentest::TLayers;
using gentest::ValueAfter;
using Rooms = std::vector<TRoom>;
using Text = std::vector<std::string>;

bool SameRooms(const Rooms& a, const Rooms& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].left != b[i].left || a[i].top != b[i].top || a[i].width != b[i].width || a[i].height != b[i].height) {
            return false;
        }
    }
    return true;
}

std::string Describe(const Rooms& rooms) {
    std::string text;
    for (const TRoom& r : rooms) {
        text += "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.width) + "," +
                std::to_string(r.height) + ")";
    }
    return text;
}

// Cells reached from `from` in eight directions over cells that are not rock
// (a doorway is passed through), written apart from the path search.
std::vector<std::vector<bool>> Flood(const CLayoutGrid& grid, vek::TPoint from) {
    return gentest::FloodFrom(grid.GetWidth(), grid.GetHeight(), from, [&](int32_t x, int32_t y) {
        return grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)) != gen::kRock;
    });
}

// --- Rooms -------------------------------------------------------------------------------

TEST(LayoutRooms, HandWorkedArea) {
    // Seed 4: 51 17945 | 27159 386 17345 27504 | 20815 20576 10960 6020 ...
    // Try 1: 6 x 8, rows 10 - 8 - 2 = 0: a failed try without place draws.
    // Try 2: 6 x 5 at (17345 % 6 + 1, 27504 % 3 + 1) = (6, 1).
    // Try 3: 4 x 5 at (10960 % 8 + 1, 6020 % 3 + 1) = (1, 3); its margin
    // column 5 touches no room. Then 50 failures in a row (196 draws in all,
    // counted with a model of the rules).
    CLayoutGrid grid = RockGrid(14, 10);
    vek::CStdRand random;
    random.Seed(4);
    gen::CDraw draw(&random);
    const Rooms rooms = gen::PlaceRooms(grid, 14, 10, draw);
    EXPECT_TRUE(SameRooms(rooms, {{6, 1, 6, 5}, {1, 3, 4, 5}})) << Describe(rooms);
    EXPECT_EQ(random.Next(), ValueAfter(4, 196));
    EXPECT_EQ(RowsOf(grid), (Text{
                                "##############",
                                "######......##",
                                "######......##",
                                "#....#......##",
                                "#....#......##",
                                "#....#......##",
                                "#....#########",
                                "#....#########",
                                "##############",
                                "##############",
                            }));
}

// The room loop written down apart from the code: rooms of the run-time
// generator seeded with the seed over a rock area, tried until 50 fail in a
// row, 18 stand or the floor reaches 0.6 of the area; how many values it drew
// and whether the 50 failures ended it.
struct TRoomModel {
    Rooms rooms;
    int32_t draws = 0;
    bool endedOnFailures = false;
};

TRoomModel ModelRooms(uint32_t seed, int32_t width, int32_t height) {
    uint32_t state = seed;
    TRoomModel model;
    auto next = [&](int32_t n) {
        state = state * 214013u + 2531011u;
        ++model.draws;
        return static_cast<int32_t>((state >> 16) & 0x7FFF) % n;
    };
    std::vector<std::vector<bool>> floor(height, std::vector<bool>(width, false));
    int32_t failures = 0;
    int32_t cells = 0;
    while (true) {
        if (failures == 50) {
            model.endedOnFailures = true;
            return model;
        }
        if (model.rooms.size() == 18 || cells >= 0.6 * width * height) {
            return model;
        }
        const int32_t w = next(6) + 3;
        const int32_t h = next(6) + 3;
        if (width - w - 2 <= 0 || height - h - 2 <= 0) {
            ++failures;
            continue;
        }
        const int32_t left = next(width - w - 2) + 1;
        const int32_t top = next(height - h - 2) + 1;
        bool rock = true;
        for (int32_t y = top - 1; y <= top + h; ++y) {
            for (int32_t x = left - 1; x <= left + w; ++x) {
                rock = rock && !floor[y][x];
            }
        }
        if (!rock) {
            ++failures;
            continue;
        }
        for (int32_t y = top; y < top + h; ++y) {
            for (int32_t x = left; x < left + w; ++x) {
                floor[y][x] = true;
            }
        }
        cells += w * h;
        failures = 0;
        model.rooms.push_back({left, top, w, h});
    }
}

TEST(LayoutRooms, ATwentyByFifteenAreaEndsOnFiftyFailures) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        const TRoomModel model = ModelRooms(seed, 20, 15);
        EXPECT_TRUE(model.endedOnFailures) << seed;
        EXPECT_LT(model.rooms.size(), gen::kMaxRooms) << seed;
        CLayoutGrid grid = RockGrid(20, 15);
        vek::CStdRand random;
        random.Seed(seed);
        gen::CDraw draw(&random);
        const Rooms rooms = gen::PlaceRooms(grid, 20, 15, draw);
        EXPECT_TRUE(SameRooms(rooms, model.rooms)) << seed << ": " << Describe(rooms) << " " << Describe(model.rooms);
        EXPECT_EQ(random.Next(), ValueAfter(seed, model.draws)) << seed;
    }
}

TEST(LayoutRooms, OversizedRoomsAreFailedTries) {
    // Areas narrower or lower than the smallest room with its margin: every
    // try fails after its two size draws, fifty in a row.
    // An empty area is covered before the first try.
    const struct {
        int32_t width;
        int32_t height;
        int32_t draws;
    } cases[] = {{0, 15, 0}, {5, 15, 100}, {20, 5, 100}, {1, 1, 100}, {5, 5, 100}};
    for (const auto& c : cases) {
        CLayoutGrid grid = RockGrid(std::max(c.width, 1), c.height);
        vek::CStdRand random;
        random.Seed(11);
        gen::CDraw draw(&random);
        EXPECT_TRUE(gen::PlaceRooms(grid, c.width, c.height, draw).empty()) << c.width << "x" << c.height;
        EXPECT_EQ(random.Next(), ValueAfter(11, c.draws)) << c.width << "x" << c.height;
    }
}

TEST(LayoutRooms, CoverageEndsPlacement) {
    // Four 8 x 8 rooms fill 256 of 400 cells, past 0.6 of the area: no fifth
    // try is drawn (the listed values would run out).
    CListedValues values({5, 5, 0, 0, 5, 5, 9, 0, 5, 5, 0, 9, 5, 5, 9, 9});
    gen::CDraw draw(&values);
    CLayoutGrid grid = RockGrid(20, 20);
    const Rooms rooms = gen::PlaceRooms(grid, 20, 20, draw);
    EXPECT_TRUE(SameRooms(rooms, {{1, 1, 8, 8}, {10, 1, 8, 8}, {1, 10, 8, 8}, {10, 10, 8, 8}})) << Describe(rooms);
    EXPECT_EQ(values.Used(), 16u);
}

TEST(LayoutRooms, AMarginOfRockAroundEveryRoom) {
    const struct {
        int32_t width;
        int32_t height;
    } sizes[] = {{6, 6}, {7, 9}, {10, 15}, {12, 10}, {20, 15}, {40, 30}, {100, 75}, {200, 150}};
    for (const auto& size : sizes) {
        for (uint32_t seed = 1; seed <= 30; ++seed) {
            SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) + " seed " +
                         std::to_string(seed));
            // A wider grid, as a site's: the area is its left part.
            CLayoutGrid grid = RockGrid(size.width + 10, size.height);
            vek::CStdRand random;
            random.Seed(seed);
            gen::CDraw draw(&random);
            const Rooms rooms = gen::PlaceRooms(grid, size.width, size.height, draw);
            ASSERT_LE(rooms.size(), gen::kMaxRooms);
            std::vector<std::vector<int>> owner(size.height, std::vector<int>(size.width + 10, -1));
            for (size_t i = 0; i < rooms.size(); ++i) {
                const TRoom& r = rooms[i];
                ASSERT_GE(r.width, 3);
                ASSERT_LE(r.width, 8);
                ASSERT_GE(r.height, 3);
                ASSERT_LE(r.height, 8);
                ASSERT_GE(r.left, 1);
                ASSERT_GE(r.top, 1);
                ASSERT_LE(r.left + r.width, size.width - 2);
                ASSERT_LE(r.top + r.height, size.height - 2);
                for (int32_t y = r.top - 1; y <= r.top + r.height; ++y) {
                    for (int32_t x = r.left - 1; x <= r.left + r.width; ++x) {
                        const bool inside = r.Contains(x, y);
                        if (inside) {
                            ASSERT_EQ(owner[y][x], -1);
                            owner[y][x] = static_cast<int>(i);
                        } else {
                            ASSERT_FALSE(owner[y][x] >= 0 && owner[y][x] != static_cast<int>(i));
                        }
                    }
                }
            }
            // Only the rooms are floor, and the margins hold no other room.
            for (int32_t y = 0; y < size.height; ++y) {
                for (int32_t x = 0; x < size.width + 10; ++x) {
                    ASSERT_EQ(grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)) == gen::kFloor,
                              owner[y][x] >= 0);
                }
            }
            for (size_t i = 0; i < rooms.size(); ++i) {
                for (size_t j = 0; j < rooms.size(); ++j) {
                    if (i != j) {
                        const TRoom& a = rooms[i];
                        const vek::CRect margin{a.left - 1, a.top - 1, a.width + 2, a.height + 2};
                        const TRoom& b = rooms[j];
                        const bool apart = b.left >= margin.left + margin.width || b.left + b.width <= margin.left ||
                                           b.top >= margin.top + margin.height || b.top + b.height <= margin.top;
                        ASSERT_TRUE(apart) << i << " " << j;
                    }
                }
            }
        }
    }
}

// --- Links between rooms ----------------------------------------------------------------------

TEST(LayoutLinks, DistancesBetweenCentres) {
    // Centres (2, 2), (7, 2), (2, 6), (11, 10): halves rounded down.
    const Rooms rooms{{1, 1, 3, 3}, {5, 1, 4, 3}, {1, 5, 3, 3}, {9, 8, 5, 5}};
    const gen::CRoomLinks links(rooms);
    const uint16_t expected[4][4] = {{0, 5, 4, 12}, {5, 0, 6, 8}, {4, 6, 0, 9}, {12, 8, 9, 0}};
    for (size_t a = 0; a < 4; ++a) {
        for (size_t b = 0; b < 4; ++b) {
            EXPECT_EQ(links.Distance(a, b), expected[a][b]) << a << "," << b;
            EXPECT_FALSE(links.Joined(a, b));
        }
    }
    EXPECT_EQ(links.Degrees(), (std::vector<uint16_t>{0, 0, 0, 0}));
}

Rooms RowOfRooms(size_t count) {
    Rooms rooms;
    for (size_t i = 0; i < count; ++i) {
        rooms.push_back({static_cast<int32_t>(1 + 4 * i), 1, 3, 3});
    }
    return rooms;
}

TEST(LayoutLinks, FirstRoomComesFromTheLowCounts) {
    // Up to 10 rooms no index from 10 on exists: always room 0, still drawn.
    gen::CRoomLinks ten(RowOfRooms(10));
    CListedValues values({7, 9});
    gen::CDraw draw(&values);
    EXPECT_EQ(ten.PickFirst(draw), 0u);
    EXPECT_EQ(ten.PickFirst(draw), 0u);
    EXPECT_EQ(values.Used(), 2u);

    // The counts are a sorted list, not tied to rooms: one corridor raises
    // two entries and the list is sorted again.
    gen::CRoomLinks twelve(RowOfRooms(12));
    twelve.Join(3, 7);
    EXPECT_EQ(twelve.Degrees(), (std::vector<uint16_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1}));
    // Entries 10 and 11 differ from entry 0: the choice stays over room 0.
    CListedValues more({7, 23, 23, 23});
    gen::CDraw moreDraw(&more);
    EXPECT_EQ(twelve.PickFirst(moreDraw), 0u);

    // All equal: up to index 11 (23 % 12); after a corridor that choice stays.
    gen::CRoomLinks fresh(RowOfRooms(12));
    EXPECT_EQ(fresh.PickFirst(moreDraw), 11u);
    fresh.Join(0, 1);
    EXPECT_EQ(fresh.PickFirst(moreDraw), 11u);

    // 13 rooms after one corridor: entries 0 to 10 are 0, so up to index 10
    // (23 % 11).
    gen::CRoomLinks thirteen(RowOfRooms(13));
    thirteen.Join(5, 6);
    EXPECT_EQ(thirteen.PickFirst(moreDraw), 1u);
    EXPECT_EQ(more.Used(), 4u);
}

TEST(LayoutLinks, SecondRoomIsTheNearestNotYetJoined) {
    // Room 0 at centre (2, 2); the others at distances 4, 8, 12, 16, 20.
    const Rooms rooms = RowOfRooms(6);
    gen::CRoomLinks links(rooms);
    CListedValues values({0, 3});
    gen::CDraw draw(&values);
    // Ranks 1 to 4 of the distances: rooms 1, 2, 3, 4; room 5 (the farthest)
    // only by chance.
    for (size_t expected = 1; expected <= 4; ++expected) {
        const size_t second = links.PickSecond(0, draw);
        EXPECT_EQ(second, expected);
        links.Join(0, second);
    }
    EXPECT_EQ(values.Used(), 0u);
    // All joined: a random other room, counted past the first.
    EXPECT_EQ(links.PickSecond(0, draw), 1u); // 0 % 5 = 0, past room 0
    EXPECT_EQ(links.PickSecond(0, draw), 4u); // 3 % 5 = 3, past room 0
    // From room 2: rank 1 is distance 4 (rooms 1 and 3): the lower index.
    gen::CRoomLinks fresh(rooms);
    EXPECT_EQ(fresh.PickSecond(2, draw), 1u);
    fresh.Join(2, 1);
    EXPECT_EQ(fresh.PickSecond(2, draw), 3u);
    EXPECT_TRUE(fresh.Joined(1, 2));
    EXPECT_TRUE(fresh.Joined(2, 1));
    // Two rooms: there is no rank between the nearest and the farthest, so
    // the other room comes by a draw.
    gen::CRoomLinks pair(Rooms{rooms[0], rooms[1]});
    CListedValues any({12345, 3});
    gen::CDraw anyDraw(&any);
    EXPECT_EQ(pair.PickSecond(0, anyDraw), 1u);
    EXPECT_EQ(pair.PickSecond(1, anyDraw), 0u);
    EXPECT_EQ(any.Used(), 2u);
}

// --- Corridors ---------------------------------------------------------------------------------

TEST(LayoutCorridors, StraightOrBentBetweenTwoRooms) {
    const struct {
        const char* name;
        TRoom from;
        TRoom to;
        std::vector<int32_t> values;
        Text expected;
    } cases[] = {
        {"columns overlap: a drawn column of the overlap (3 + 1 % 2)",
         {2, 1, 3, 3},
         {3, 6, 4, 3},
         {1},
         {"##########", "##...#####", "##...#####", "##...#####", "####.#####", "####.#####", "###....###",
          "###....###", "###....###", "##########"}},
        {"the same from the lower room",
         {3, 6, 4, 3},
         {2, 1, 3, 3},
         {2},
         {"##########", "##...#####", "##...#####", "##...#####", "###.######", "###.######", "###....###",
          "###....###", "###....###", "##########"}},
        {"rows overlap: a drawn row of the overlap",
         {1, 1, 3, 4},
         {7, 3, 3, 3},
         {0},
         {"##########", "#...######", "#...######", "#.........", "#...###...", "#######...", "##########",
          "##########", "##########", "##########"}},
        // Row 1 + 2 = 3 from column 4 to 8; column 7 + 1 = 8 down to row 5.
        {"apart: a row of the first room to a column of the second (r(3) = 0)",
         {1, 1, 3, 3},
         {7, 6, 3, 3},
         {0, 2, 1},
         {"##########", "#...######", "#...######", "#........#", "########.#", "########.#", "#######...",
          "#######...", "#######...", "##########"}},
        // Column 1 + 0 = 1 from row 4 to 8; row 6 + 2 = 8 on to column 6.
        {"apart: a column of the first room to a row of the second (r(3) = 2)",
         {1, 1, 3, 3},
         {7, 6, 3, 3},
         {2, 0, 2},
         {"##########", "#...######", "#...######", "#...######", "#.########", "#.########", "#.#####...",
          "#.#####...", "#.........", "##########"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CLayoutGrid grid = RockGrid(static_cast<int32_t>(c.expected[0].size()), 10);
        for (const TRoom& r : {c.from, c.to}) {
            for (int32_t y = r.top; y < r.top + r.height; ++y) {
                for (int32_t x = r.left; x < r.left + r.width; ++x) {
                    grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)) = gen::kFloor;
                }
            }
        }
        CListedValues values(c.values);
        gen::CDraw draw(&values);
        gen::DigCorridor(grid, c.from, c.to, draw);
        EXPECT_EQ(RowsOf(grid), c.expected);
        EXPECT_EQ(values.Used(), c.values.size());
    }
}

TEST(LayoutCorridors, RoomsThatNoCorridorReachesFailThePass) {
    // "Rooms" whose own cells are rock: corridors stop at their edges, so no
    // check ever succeeds and the attempts run out.
    CLayoutGrid grid = RockGrid(20, 12);
    const Rooms rooms{{1, 1, 3, 3}, {9, 1, 3, 3}, {3, 7, 3, 3}};
    vek::CStdRand random;
    random.Seed(3);
    gen::CDraw draw(&random);
    EXPECT_FALSE(gen::JoinRooms(grid, rooms, draw));
    EXPECT_FALSE(gen::AllRoomsReachable(grid, rooms));
}

// Three rooms in a row, A B C: A (index 0) is always the first room of a
// corridor (fewer than 11 rooms, all draws 0); its nearest, B, is joined at
// once; then no room at a middle distance is left and the "random other
// room" draw r(2) picks B for 0 and C for 1. A corridor joins two rooms by a
// straight run at a drawn row of their overlap. Attempt 1 draws 2 values
// (first room, row), every later one 3 (first, other, row): attempts 1 to
// 499 dig, 1496 values; the 500th fails before it draws.
constexpr size_t kValuesOf499Attempts = 2 + 498 * 3;

TEST(LayoutCorridors, TheFourHundredAndNinetyNinthAttemptIsTheLast) {
    const Rooms rooms{{1, 1, 3, 3}, {6, 1, 3, 3}, {15, 1, 3, 3}};
    const struct {
        const char* what;
        size_t joinAt; // the attempt whose other room is C; 0: none
        bool joined;
    } cases[] = {
        {"never joined", 0, false},
        {"joined by the last attempt", 499, true},
        {"joined by the first attempt that fails", 500, false},
        {"joined after the first check", 17, true},
    };
    for (const auto& c : cases) {
        CLayoutGrid grid = RockGrid(20, 6);
        for (const TRoom& room : rooms) {
            for (int32_t y = room.top; y < room.top + room.height; ++y) {
                for (int32_t x = room.left; x < room.left + room.width; ++x) {
                    grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)) = gen::kFloor;
                }
            }
        }
        std::vector<int32_t> values(kValuesOf499Attempts + 3, 0);
        if (c.joinAt != 0) {
            // The other-room draw of that attempt.
            values[2 + (c.joinAt - 2) * 3 + 1] = 1;
        }
        CListedValues listed(values);
        gen::CDraw draw(&listed);
        EXPECT_EQ(gen::JoinRooms(grid, rooms, draw), c.joined) << c.what;
        const size_t used = c.joined ? 2 + (c.joinAt - 1) * 3 : kValuesOf499Attempts;
        EXPECT_EQ(listed.Used(), used) << c.what;
        EXPECT_EQ(gen::AllRoomsReachable(grid, rooms), c.joined) << c.what;
    }
}

TEST(LayoutPass, RoomsNeverJoinedFailThePassWithoutTiles) {
    // Rooms A, B and C at columns 1, 6 and 15 (3 x 3, the only row a room of
    // 3 fits in a height of 6), then 50 tries at A's place; the corridors as
    // in TheFourHundredAndNinetyNinthAttemptIsTheLast, never to C.
    std::vector<int32_t> values = {0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 14, 0};
    values.resize(values.size() + 50 * 4 + kValuesOf499Attempts, 0);
    CListedValues listed(values);
    TLayers layers(20, 6);
    gen::CTileCanvas canvas(layers.terrain, layers.objects);
    gen::TLayoutRequest request;
    request.width = 20;
    request.height = 6;
    request.wantEntrance = true;
    const gen::TLayoutResult result = gen::RandomLayoutPass(request, &listed, nullptr, &canvas, nullptr);
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.failure, gen::ELayoutFailure::kCorridorAttempts);
    EXPECT_TRUE(result.rooms.empty());
    EXPECT_FALSE(result.entrance.has_value());
    EXPECT_EQ(listed.Used(), values.size());
    EXPECT_EQ(layers.Objects(), TLayers(20, 6).Objects());
    EXPECT_EQ(layers.Terrain(), TLayers(20, 6).Terrain());
    EXPECT_TRUE(canvas.doors.empty());
}

TEST(LayoutCorridors, JoiningNeedsTwoRooms) {
    CLayoutGrid grid = RockGrid(10, 10);
    gen::CDraw draw(nullptr);
    EXPECT_THROW(gen::JoinRooms(grid, Rooms{{1, 1, 3, 3}}, draw), vek::CException);
    EXPECT_THROW(gen::JoinRooms(grid, Rooms{}, draw), vek::CException);
}

TEST(LayoutCorridors, Reachability) {
    // From the top-left cell of the first room to that of every other.
    const struct {
        const char* name;
        Text grid;
        Rooms rooms;
        bool reachable;
    } cases[] = {
        {"round a wall", {"######", "#.#.##", "#....#", "######"}, {{1, 1, 1, 2}, {3, 1, 2, 2}}, true},
        {"diagonal steps", {"#####", "#.###", "##.##", "###.#", "#####"}, {{1, 1, 1, 1}, {3, 3, 1, 1}}, true},
        {"walled off", {"######", "#.#.##", "#.#..#", "######"}, {{1, 1, 1, 2}, {3, 1, 2, 2}}, false},
        {"one of three walled off",
         {"#######", "#.#.#.#", "#...#.#", "#######"},
         {{1, 1, 1, 1}, {3, 1, 1, 1}, {5, 1, 1, 2}},
         false},
        {"through a doorway only", {"######", "#.+.##", "######"}, {{1, 1, 1, 1}, {3, 1, 1, 1}}, false},
        {"a room alone", {"###", "#.#", "###"}, {{1, 1, 1, 1}}, true},
        {"the first room's corner is rock", {"#####", "##..#", "#####"}, {{1, 1, 3, 1}, {3, 1, 1, 1}}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gen::AllRoomsReachable(GridOf(c.grid), c.rooms), c.reachable) << c.name;
    }
}

// --- Entrance ----------------------------------------------------------------------------------

TEST(LayoutEntrance, CutBelowTheLowestFloorOfADrawnColumn) {
    const Text before{
        "#######", // row 0
        "#.#####", // row 1: not looked at
        "##..###", // row 2
        "##..#.#", // row 3
        "#######", // row 4
        "#######", // row 5
    };
    // Candidates by column: (2, 3), (3, 3), (5, 3); column 1 has floor only on
    // row 1. 7 % 3 = 1 picks (3, 3).
    CLayoutGrid grid = GridOf(before);
    CListedValues values({7});
    gen::CDraw draw(&values);
    const auto entrance = gen::CutEntrance(grid, 7, 6, draw);
    ASSERT_TRUE(entrance.has_value());
    EXPECT_EQ(*entrance, (vek::TPoint{3, 5}));
    EXPECT_EQ(RowsOf(grid), (Text{"#######", "#.#####", "##..###", "##..#.#", "###.###", "###.###"}));

    // Only columns 1 to width - 2 are looked at; none has floor below row 1.
    CLayoutGrid none = GridOf({".####.", "#.##.#", "#####.", "######"});
    CListedValues unused({});
    gen::CDraw noDraw(&unused);
    EXPECT_FALSE(gen::CutEntrance(none, 6, 4, noDraw).has_value());
    EXPECT_EQ(unused.Used(), 0u);
}

// --- The pass ------------------------------------------------------------------------------------

// Tiles as text: two digits per tile, ".." for none.
Text ObjectRows(const vek::CMap<uint16_t>& objects) {
    Text rows;
    for (uint16_t y = 0; y < objects.GetHeight(); ++y) {
        std::string row;
        for (uint16_t x = 0; x < objects.GetWidth(); ++x) {
            const uint16_t tile = objects.At(x, y);
            if (x > 0) {
                row += ' ';
            }
            row += tile == gen::kNoTile ? ".." : (tile < 10 ? " " : "") + std::to_string(tile);
        }
        rows.push_back(row);
    }
    return rows;
}

// The expected layouts were computed with a model of the rules written apart
// from this code (the same corridor geometry), draw for draw.
TEST(LayoutPass, WholeDungeonLevel) {
    TLayers layers(20, 15);
    gen::CTileCanvas canvas(layers.terrain, layers.objects);
    CLayoutGrid grid = RockGrid(20, 15);
    vek::CStdRand random;
    random.Seed(5);
    gen::TLayoutRequest request;
    request.width = 20;
    request.height = 15;
    request.wantEntrance = true;
    const gen::TLayoutResult result = gen::RandomLayoutPass(request, &random, &grid, &canvas, nullptr);
    ASSERT_TRUE(result.success);
    EXPECT_TRUE(SameRooms(result.rooms, {{1, 6, 3, 4}, {11, 2, 7, 3}, {7, 6, 6, 7}, {2, 2, 4, 3}}))
        << Describe(result.rooms);
    ASSERT_TRUE(result.entrance.has_value());
    EXPECT_EQ(*result.entrance, (vek::TPoint{10, 14}));
    EXPECT_EQ(RowsOf(grid), (Text{
                                "####################",
                                "#########.##########",
                                "##....#####.......##",
                                "##....#####.......##",
                                "#.....+...+.......##",
                                "#...########+#+#####",
                                "#..............#####",
                                "#............#######",
                                "#............#######",
                                "#............#######",
                                "#######......#######",
                                "#######......#######",
                                "#######......#######",
                                "##########.#########",
                                "##########.#########",
                            }));
    EXPECT_EQ(ObjectRows(layers.objects), (Text{
                                              "26 26 26 26 26 26 26 26 22 21 26 26 26 26 26 26 26 26 26 26",
                                              "26 22 21 21 21 21 26 26 20 .. 22 21 21 21 21 21 21 21 26 26",
                                              "26 20 .. .. .. .. 26 26 26 26 20 .. .. .. .. .. .. .. 26 26",
                                              "22 24 .. .. .. .. 22 21 21 21 20 .. .. .. .. .. .. .. 26 26",
                                              "20 .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. .. 26 26",
                                              "20 .. .. .. 25 21 21 21 21 21 21 21 .. 21 .. 26 26 26 26 26",
                                              "20 .. .. .. .. .. .. .. .. .. .. .. .. .. .. 26 26 26 26 26",
                                              "20 .. .. .. .. .. .. .. .. .. .. .. .. 26 26 26 26 26 26 26",
                                              "20 .. .. .. .. .. .. .. .. .. .. .. .. 26 26 26 26 26 26 26",
                                              "20 .. .. .. .. .. .. .. .. .. .. .. .. 26 26 26 26 26 26 26",
                                              "26 26 26 26 26 26 23 .. .. .. .. .. .. 26 26 26 26 26 26 26",
                                              "26 26 26 26 26 26 20 .. .. .. .. .. .. 26 26 26 26 26 26 26",
                                              "26 26 26 26 26 26 20 .. .. .. .. .. .. 26 26 26 26 26 26 26",
                                              "26 26 26 26 26 26 26 26 26 23 .. 26 26 26 26 26 26 26 26 26",
                                              "23 26 26 26 26 26 26 26 26 20 .. 26 26 26 26 26 26 26 26 24",
                                          }));
    EXPECT_EQ(canvas.doors,
              (std::vector<gen::TDoorToCreate>{
                  {{6, 4}, 30, false, 4}, {{10, 4}, 30, false, 4}, {{12, 5}, 31, true, 0}, {{14, 5}, 31, false, 4}}));
    EXPECT_EQ(layers.terrain.At(0, 0), 4);
    EXPECT_EQ(layers.terrain.At(19, 14), 4);
    EXPECT_TRUE(canvas.items.empty());
    EXPECT_EQ(random.Next(), ValueAfter(5, 291));
}

TEST(LayoutPass, LargerLevelWithoutTiles) {
    vek::CStdRand random;
    random.Seed(7);
    gen::TLayoutRequest request;
    request.width = 40;
    request.height = 30;
    request.wantEntrance = true;
    // No grid: the pass uses one of its own; no canvas: no tiles.
    const gen::TLayoutResult result = gen::RandomLayoutPass(request, &random, nullptr, nullptr, nullptr);
    ASSERT_TRUE(result.success);
    EXPECT_TRUE(SameRooms(result.rooms, {{18, 6, 4, 7},
                                         {3, 20, 8, 3},
                                         {25, 18, 4, 7},
                                         {15, 16, 7, 8},
                                         {5, 3, 6, 6},
                                         {27, 10, 3, 7},
                                         {27, 5, 8, 4},
                                         {32, 17, 5, 4},
                                         {12, 3, 3, 7},
                                         {7, 11, 7, 6}}))
        << Describe(result.rooms);
    EXPECT_EQ(*result.entrance, (vek::TPoint{30, 29}));
    EXPECT_EQ(random.Next(), ValueAfter(7, 416));
}

TEST(LayoutPass, SiteStripKeepsItsColumnsAndGetsNoTiles) {
    TLayers layers(30, 12);
    gen::CTileCanvas canvas(layers.terrain, layers.objects);
    CLayoutGrid grid = RockGrid(30, 12);
    vek::CStdRand random;
    random.Seed(3);
    gen::TLayoutRequest request;
    request.width = 30;
    request.height = 12;
    request.siteStrip = true;
    const gen::TLayoutResult result = gen::RandomLayoutPass(request, &random, &grid, &canvas, nullptr);
    ASSERT_TRUE(result.success);
    EXPECT_TRUE(SameRooms(result.rooms, {{10, 2, 3, 5}, {5, 3, 4, 7}, {14, 1, 4, 4}})) << Describe(result.rooms);
    EXPECT_FALSE(result.entrance.has_value());
    EXPECT_EQ(RowsOf(grid), (Text{
                                "##############################",
                                "#########.####....############",
                                "##########........############",
                                "#####.............############",
                                "#####....#........############",
                                "#####........#################",
                                "#####........#################",
                                "#####....#####################",
                                "#####....#####################",
                                "#####....#####################",
                                "##############################",
                                "##############################",
                            }));
    const TLayers untouched(30, 12);
    EXPECT_EQ(ObjectRows(layers.objects), ObjectRows(untouched.objects));
    EXPECT_EQ(ObjectRows(layers.terrain), ObjectRows(untouched.terrain));
    EXPECT_TRUE(canvas.doors.empty());
    EXPECT_EQ(random.Next(), ValueAfter(3, 287));
}

TEST(LayoutPass, InvariantsOverManySeedsAndSizes) {
    const struct {
        int32_t width;
        int32_t height;
        bool siteStrip;
        uint32_t seeds;
    } sizes[] = {
        {20, 15, false, 120}, {40, 30, false, 80}, {100, 75, false, 25}, {200, 150, false, 6},
        {20, 15, true, 120},  {16, 12, false, 60}, {12, 10, false, 60},  {60, 20, true, 30},
    };
    int32_t passes = 0;
    for (const auto& size : sizes) {
        for (uint32_t seed = 1; seed <= size.seeds; ++seed) {
            SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) +
                         (size.siteStrip ? " site" : "") + " seed " + std::to_string(seed));
            TLayers layers(size.width, size.height);
            gen::CTileCanvas canvas(layers.terrain, layers.objects);
            CLayoutGrid grid = RockGrid(size.width, size.height);
            vek::CStdRand random;
            random.Seed(seed * 7919);
            gen::TLayoutRequest request;
            request.width = size.width;
            request.height = size.height;
            request.siteStrip = size.siteStrip;
            request.wantEntrance = !size.siteStrip;
            request.alternativeTiles = seed % 2 == 0;
            const gen::TLayoutResult result = gen::RandomLayoutPass(request, &random, &grid, &canvas, nullptr);
            ++passes;
            ASSERT_TRUE(result.success);
            const int32_t width = size.siteStrip ? size.width - gen::kSiteStripWidth : size.width;
            ASSERT_FALSE(result.rooms.empty());
            ASSERT_LE(result.rooms.size(), gen::kMaxRooms);
            for (const TRoom& r : result.rooms) {
                ASSERT_GE(r.left, 1);
                ASSERT_GE(r.top, 1);
                ASSERT_LE(r.left + r.width, width - 2);
                ASSERT_LE(r.top + r.height, size.height - 2);
            }
            const auto reached = Flood(grid, {result.rooms[0].left, result.rooms[0].top});
            for (const TRoom& r : result.rooms) {
                ASSERT_TRUE(reached[r.top][r.left]);
            }
            if (request.wantEntrance) {
                ASSERT_TRUE(result.entrance.has_value());
                ASSERT_EQ(result.entrance->y, size.height - 1);
                ASSERT_TRUE(reached[result.entrance->y][result.entrance->x]);
            }
            // The site's strip stays rock, and the border is never floor but
            // at the entrance.
            for (int32_t y = 0; y < size.height; ++y) {
                for (int32_t x = 0; x < size.width; ++x) {
                    const uint8_t cell = grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
                    const bool border = x == 0 || y == 0 || x >= width - 1 || y == size.height - 1;
                    const bool entrance = result.entrance && x == result.entrance->x && y >= 2;
                    const bool column9 = x == 9 && y == 1;
                    if (border && !entrance && !column9) {
                        ASSERT_EQ(cell, gen::kRock) << x << "," << y;
                    }
                }
            }
            ASSERT_EQ(grid.At(9, 1), gen::kFloor);
            if (size.siteStrip) {
                ASSERT_EQ(layers.objects.At(0, 0), gen::kNoTile);
                continue;
            }
            // Tiles: no wall on floor, doors on doorways and nowhere else.
            const uint16_t base = request.alternativeTiles ? gen::kAlternativeTileBase : 0;
            size_t doorways = 0;
            for (int32_t y = 0; y < size.height; ++y) {
                for (int32_t x = 0; x < size.width; ++x) {
                    const uint8_t cell = grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
                    const uint16_t object = layers.objects.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
                    ASSERT_EQ(layers.terrain.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)),
                              request.alternativeTiles ? 5 : 4);
                    if (cell == gen::kFloor || cell == gen::kDoorway) {
                        ASSERT_EQ(object, gen::kNoTile) << x << "," << y;
                    } else {
                        ASSERT_GE(object, base + 20) << x << "," << y;
                        ASSERT_LE(object, base + 29) << x << "," << y;
                    }
                    doorways += cell == gen::kDoorway ? 1 : 0;
                }
            }
            ASSERT_EQ(canvas.doors.size(), doorways);
            for (const gen::TDoorToCreate& door : canvas.doors) {
                ASSERT_EQ(grid.At(static_cast<uint16_t>(door.cell.x), static_cast<uint16_t>(door.cell.y)),
                          gen::kDoorway);
                ASSERT_TRUE(door.objectType == base + 30 || door.objectType == base + 31);
                ASSERT_EQ(door.lockKind < 4, door.locked);
            }
        }
    }
    EXPECT_EQ(passes, 501);
}

TEST(LayoutPass, AreaWithoutRoomFails) {
    const struct {
        int32_t width;
        int32_t height;
        bool siteStrip;
    } cases[] = {{5, 15, false}, {30, 5, false}, {15, 15, true}, {8, 8, true}};
    for (const auto& c : cases) {
        TLayers layers(c.width, c.height);
        gen::CTileCanvas canvas(layers.terrain, layers.objects);
        CLayoutGrid grid = RockGrid(c.width, c.height);
        vek::CStdRand random;
        random.Seed(1);
        gen::TLayoutRequest request;
        request.width = c.width;
        request.height = c.height;
        request.siteStrip = c.siteStrip;
        request.wantEntrance = true;
        const gen::TLayoutResult result = gen::RandomLayoutPass(request, &random, &grid, &canvas, nullptr);
        EXPECT_FALSE(result.success) << c.width << "x" << c.height;
        EXPECT_EQ(result.failure, gen::ELayoutFailure::kNoRoom);
        EXPECT_TRUE(result.rooms.empty());
        EXPECT_EQ(RowsOf(grid), RowsOf(RockGrid(c.width, c.height)));
        EXPECT_EQ(layers.objects.At(0, 0), gen::kNoTile);
        EXPECT_EQ(layers.terrain.At(0, 0), gen::kNoTile);
    }
}

TEST(LayoutPass, ASingleRoomNeedsNoCorridor) {
    // In a 9 x 9 area a room starts in columns and rows 1 to 4, so a second
    // one cannot clear the first one's margin.
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        vek::CStdRand random;
        random.Seed(seed);
        gen::TLayoutRequest request;
        request.width = 9;
        request.height = 9;
        const gen::TLayoutResult result = gen::RandomLayoutPass(request, &random, nullptr, nullptr, nullptr);
        EXPECT_TRUE(result.success) << seed;
        EXPECT_EQ(result.rooms.size(), 1u) << seed;
    }
}

TEST(LayoutPass, TheGameWaitsDuringThePassHoweverItEnds) {
    // A 5 x 5 area fits no room; one listed value is a draw too few for the
    // first room, which throws out of the pass.
    const struct {
        const char* what;
        int32_t size;
        std::vector<int32_t> draws = {};
        bool editor = false;
        bool insideAWait = false;
        std::vector<uint32_t> modes = {};
    } cases[] = {
        {.what = "a pass that succeeds", .size = 20, .modes = {3, 1}},
        {.what = "no room fits: an early return", .size = 5, .modes = {3, 1}},
        {.what = "the draws run out: a throw", .size = 20, .draws = {1}, .modes = {3, 1}},
        {.what = "the editor keeps its mode", .size = 5, .editor = true, .modes = {1, 1}},
        {.what = "inside a longer wait it goes on", .size = 5, .insideAWait = true, .modes = {3, 3, 3, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        gentest::CFakeGame game;
        game.editor = c.editor;
        vek::CStdRand seeded;
        seeded.Seed(1);
        CListedValues listed(c.draws);
        vek::CRandomGeneratorBase* random =
            c.draws.empty() ? static_cast<vek::CRandomGeneratorBase*>(&seeded) : &listed;
        gen::TLayoutRequest request;
        request.width = c.size;
        request.height = c.size;
        {
            std::optional<gen::CBusyInput> wait;
            if (c.insideAWait) {
                wait.emplace(&game);
            }
            try {
                gen::RandomLayoutPass(request, random, nullptr, nullptr, &game);
            } catch (const std::out_of_range&) {
                EXPECT_FALSE(c.draws.empty());
            }
        }
        EXPECT_EQ(game.modes, c.modes);
    }
    // Without a game nothing is switched.
    gen::TLayoutRequest request;
    request.width = 20;
    request.height = 15;
    vek::CStdRand random;
    random.Seed(1);
    EXPECT_TRUE(gen::RandomLayoutPass(request, &random, nullptr, nullptr, nullptr).success);
}

TEST(LayoutPass, AreaMustFitTheGridAndTheLocation) {
    CLayoutGrid grid = RockGrid(20, 15);
    TLayers small(19, 15);
    gen::CTileCanvas canvas(small.terrain, small.objects);
    gen::TLayoutRequest request;
    request.width = 21;
    request.height = 15;
    EXPECT_THROW(gen::RandomLayoutPass(request, nullptr, &grid, nullptr, nullptr), vek::CException);
    request.width = 20;
    EXPECT_THROW(gen::RandomLayoutPass(request, nullptr, &grid, &canvas, nullptr), vek::CException);
    request.width = 0;
    EXPECT_THROW(gen::RandomLayoutPass(request, nullptr, nullptr, nullptr, nullptr), vek::CException);
}

} // namespace
