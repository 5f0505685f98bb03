#pragma once
// Dungeon layout on a byte grid: rooms with a one-cell margin of rock,
// corridors between them until every room can be reached, and an optional
// entrance cut down to the bottom row. Each stage can run alone on a grid; the
// pass strings them together and, for a plain dungeon, builds the tiles.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "VEKLib/Geometry.h"
#include "VEKLib/Map2D.h"
#include "VEKLib/Random.h"
#include "world/gen/Canvas.h"
#include "world/gen/Draw.h"
#include "world/gen/GameServices.h"

namespace gen {

// Layout cells.
inline constexpr uint8_t kFloor = 0;
inline constexpr uint8_t kDoorway = 1;
inline constexpr uint8_t kRock = 255;

inline constexpr size_t kMaxRooms = 18;
// A site keeps its hand-made part in its right ten columns.
inline constexpr int32_t kSiteStripWidth = 10;
// A pass gives up when its corridor attempts reach this count.
inline constexpr int32_t kCorridorAttemptLimit = 500;
// Corridors a pass makes before it first checks that every room is reached.
inline constexpr int32_t kFirstCorridors = 16;
// Every pass opens this cell below the top wall, whether a room or corridor
// reaches it or not: the one floor cell a layout may leave on its own.
inline constexpr vek::TPoint kTopWallOpening{9, 1};

// (x, y) is column, row.
using CLayoutGrid = vek::CMap<uint8_t>;
// left, top, width, height.
using TRoom = vek::CRect;

// Rooms of 3 to 8 by 3 to 8 cells, each with a margin of rock around it, in
// the area of the first width columns and height rows. Tries until 50 in a
// row fail, 18 rooms stand, or the rooms cover 60% of the area. A room too
// large for the area is a failed try.
std::vector<TRoom> PlaceRooms(CLayoutGrid& grid, int32_t width, int32_t height, CDraw& draw);

// Which rooms to join next: distances between room centres, pairs already
// joined, and a sorted list of corridor counts that decides how many rooms
// the first room is chosen from.
class CRoomLinks {
public:
    explicit CRoomLinks(const std::vector<TRoom>& rooms);

    size_t RoomCount() const { return m_count; }
    uint16_t Distance(size_t a, size_t b) const { return m_distances[a * m_count + b]; }
    bool Joined(size_t a, size_t b) const { return m_joined[a * m_count + b] == kJoined; }
    const std::vector<uint16_t>& Degrees() const { return m_degrees; }

    // One draw over the rooms up to the highest index from 10 on whose
    // count equals the smallest (index 0 until there is one).
    size_t PickFirst(CDraw& draw);
    // The nearest room not yet joined to the first, the farthest left out;
    // when there is none, a random other room (one draw). Needs two rooms.
    size_t PickSecond(size_t first, CDraw& draw) const;
    void Join(size_t a, size_t b);

private:
    static constexpr uint8_t kJoined = 255;

    size_t m_count;
    std::vector<uint16_t> m_distances;
    std::vector<uint8_t> m_joined;
    std::vector<uint16_t> m_degrees;
    size_t m_pickLimit = 0;
};

// Floor between two rooms, never inside them: a straight run where their
// columns or rows overlap (at a drawn place in the overlap), else an L of a
// drawn row of the first room and a drawn column of the second or, drawn by
// r(3) <= 1, the other way round.
void DigCorridor(CLayoutGrid& grid, const TRoom& from, const TRoom& to, CDraw& draw);

// Whether the top-left cell of every room can be reached from that of the
// first over floor cells of the grid.
bool AllRoomsReachable(const CLayoutGrid& grid, const std::vector<TRoom>& rooms);

// Corridors until 16 are dug and every room is reached (one more per failed
// check). False when the attempts reach the limit. Needs two rooms.
bool JoinRooms(CLayoutGrid& grid, const std::vector<TRoom>& rooms, CDraw& draw);

// Below the lowest floor cell under row 1 of a drawn column (1 to width - 2)
// floor is cut down to the bottom row, whose cell is returned; none without
// such a cell.
std::optional<vek::TPoint> CutEntrance(CLayoutGrid& grid, int32_t width, int32_t height, CDraw& draw);

struct TLayoutRequest {
    // The location's size; the grid has at least this size.
    int32_t width = 0;
    int32_t height = 0;
    // The right ten columns belong to a site's hand-made part: the pass lays
    // out the rest and builds no tiles.
    bool siteStrip = false;
    bool wantEntrance = false;
    bool alternativeTiles = false;
};

enum class ELayoutFailure {
    kNone,
    // Not one room fits the area.
    kNoRoom,
    // The corridor attempts ran out before every room was reached.
    kCorridorAttempts,
};

struct TLayoutResult {
    bool success = true;
    ELayoutFailure failure = ELayoutFailure::kNone;
    // Empty when the pass failed.
    std::vector<TRoom> rooms;
    std::optional<vek::TPoint> entrance;
};

// One layout pass on the grid (null: a grid of its own, all rock). Without
// the site strip and with a canvas, a successful pass also builds the tiles
// (BuildFromLayout). The game (none when null) waits during the pass
// (CBusyInput), however the pass ends. A failed pass writes no tiles; the
// caller repeats it.
TLayoutResult RandomLayoutPass(const TLayoutRequest& request, vek::CRandomGeneratorBase* generator, CLayoutGrid* grid,
                               CTileCanvas* canvas, IGameServices* game);

} // namespace gen
