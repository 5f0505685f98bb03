#include "world/gen/Layout.h"

#include <algorithm>
#include <span>
#include <utility>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "world/PathSearch.h"
#include "world/gen/BuildTiles.h"

namespace gen {

namespace {

constexpr const wchar_t* kSource = L"Layout";

uint8_t& Cell(CLayoutGrid& grid, int32_t x, int32_t y) {
    return grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
}

uint8_t CellAt(const CLayoutGrid& grid, int32_t x, int32_t y) {
    return grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
}

int32_t Right(const TRoom& room) { return room.left + room.width - 1; }
int32_t Bottom(const TRoom& room) { return room.top + room.height - 1; }

bool AllRock(const CLayoutGrid& grid, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    for (int32_t y = top; y <= bottom; ++y) {
        for (int32_t x = left; x <= right; ++x) {
            if (CellAt(grid, x, y) != kRock) {
                return false;
            }
        }
    }
    return true;
}

void CarveRow(CLayoutGrid& grid, int32_t y, int32_t x1, int32_t x2) {
    for (int32_t x = std::min(x1, x2); x <= std::max(x1, x2); ++x) {
        Cell(grid, x, y) = kFloor;
    }
}

void CarveColumn(CLayoutGrid& grid, int32_t x, int32_t y1, int32_t y2) {
    for (int32_t y = std::min(y1, y2); y <= std::max(y1, y2); ++y) {
        Cell(grid, x, y) = kFloor;
    }
}

// The cells a room covers along one axis, both ends included.
struct TSpan {
    int32_t first;
    int32_t last;
};

TSpan Columns(const TRoom& room) { return {room.left, Right(room)}; }
TSpan Rows(const TRoom& room) { return {room.top, Bottom(room)}; }

// Where two rooms' spans across the run overlap: one run along the other axis
// over the gap between them, at a drawn place of the overlap. False, without
// a draw, when they do not overlap.
template <class Carve>
bool DigStraight(TSpan acrossA, TSpan acrossB, TSpan alongA, TSpan alongB, CDraw& draw, Carve carve) {
    const int32_t first = std::max(acrossA.first, acrossB.first);
    const int32_t last = std::min(acrossA.last, acrossB.last);
    if (first > last) {
        return false;
    }
    const int32_t position = first + draw.R(last - first + 1);
    const TSpan& near = alongA.first < alongB.first ? alongA : alongB;
    const TSpan& far = alongA.first < alongB.first ? alongB : alongA;
    if (near.last + 1 <= far.first - 1) {
        carve(position, near.last + 1, far.first - 1);
    }
    return true;
}

// The cell just outside `room` on its side facing the coordinate `toward`.
int32_t Outside(int32_t first, int32_t last, int32_t toward) { return toward < first ? first - 1 : last + 1; }

vek::TPoint Centre(const TRoom& room) { return {room.left + room.width / 2, room.top + room.height / 2}; }

void CheckGridSize(const CLayoutGrid& grid, int32_t width, int32_t height, const wchar_t* function) {
    if (width < 0 || height < 0 || width > grid.GetWidth() || height > grid.GetHeight()) {
        throw vek::CException(
            function, kSource, __LINE__,
            vek::Format(L"Area %lix%li does not fit a layout grid of %ux%u", width, height,
                        static_cast<uint32_t>(grid.GetWidth()), static_cast<uint32_t>(grid.GetHeight())));
    }
}

// Path searches from the top-left cell of the first room to that of each
// other room over the grid's floor. Floor only grows while rooms are joined,
// so a room once reached is not searched for again.
class CReachCheck {
public:
    CReachCheck(const CLayoutGrid& grid, const std::vector<TRoom>& rooms)
        : m_grid(grid), m_rooms(rooms), m_reached(rooms.size(), false) {
        m_paths.Resize(grid.GetWidth(), grid.GetHeight());
        m_query.testOnly = true;
        m_query.endsMustBeFree = true;
    }

    bool AllReached() {
        const std::span<const uint8_t> cells(m_grid.Data(),
                                             static_cast<size_t>(m_grid.GetWidth()) * m_grid.GetHeight());
        auto fill = [&](vek::CMap<uint16_t>& paths) { FillPathGrid(paths, cells); };
        for (size_t i = 1; i < m_rooms.size(); ++i) {
            if (m_reached[i]) {
                continue;
            }
            m_query.start = {m_rooms[0].left, m_rooms[0].top};
            m_query.end = {m_rooms[i].left, m_rooms[i].top};
            if (!FindPath(m_paths, m_query, fill, m_path, m_scratch)) {
                return false;
            }
            m_reached[i] = true;
        }
        return true;
    }

private:
    const CLayoutGrid& m_grid;
    const std::vector<TRoom>& m_rooms;
    std::vector<bool> m_reached;
    vek::CMap<uint16_t> m_paths;
    CPathScratch m_scratch;
    TPath m_path;
    TPathQuery m_query;
};

} // namespace

std::vector<TRoom> PlaceRooms(CLayoutGrid& grid, int32_t width, int32_t height, CDraw& draw) {
    CheckGridSize(grid, width, height, L"gen::PlaceRooms");
    std::vector<TRoom> rooms;
    const double floorLimit = 0.6 * width * height;
    int64_t floorCells = 0;
    int32_t failures = 0;
    while (failures < 50 && rooms.size() < kMaxRooms && static_cast<double>(floorCells) < floorLimit) {
        TRoom room;
        room.width = draw.R(6) + 3;
        room.height = draw.R(6) + 3;
        const int32_t columns = width - room.width - 2;
        const int32_t rows = height - room.height - 2;
        if (columns <= 0 || rows <= 0) {
            ++failures;
            continue;
        }
        room.left = draw.R(columns) + 1;
        room.top = draw.R(rows) + 1;
        if (!AllRock(grid, room.left - 1, room.top - 1, Right(room) + 1, Bottom(room) + 1)) {
            ++failures;
            continue;
        }
        for (int32_t y = room.top; y <= Bottom(room); ++y) {
            CarveRow(grid, y, room.left, Right(room));
        }
        failures = 0;
        floorCells += static_cast<int64_t>(room.width) * room.height;
        rooms.push_back(room);
    }
    return rooms;
}

CRoomLinks::CRoomLinks(const std::vector<TRoom>& rooms)
    : m_count(rooms.size()), m_distances(m_count * m_count), m_joined(m_count * m_count, 0), m_degrees(m_count, 0) {
    for (size_t a = 0; a < m_count; ++a) {
        for (size_t b = 0; b < m_count; ++b) {
            m_distances[a * m_count + b] = static_cast<uint16_t>(vek::Distance(Centre(rooms[a]), Centre(rooms[b])));
        }
    }
}

size_t CRoomLinks::PickFirst(CDraw& draw) {
    for (size_t index = 10; index < m_count; ++index) {
        if (m_degrees[index] == m_degrees[0]) {
            m_pickLimit = index;
        }
    }
    return static_cast<size_t>(draw.R(static_cast<int32_t>(m_pickLimit) + 1));
}

size_t CRoomLinks::PickSecond(size_t first, CDraw& draw) const {
    std::vector<uint16_t> sorted(m_distances.begin() + static_cast<std::ptrdiff_t>(first * m_count),
                                 m_distances.begin() + static_cast<std::ptrdiff_t>((first + 1) * m_count));
    // Plain numbers: every sort gives the one order, so no draw depends on it.
    std::sort(sorted.begin(), sorted.end());
    // The smallest is the room itself; the farthest is left to chance.
    for (size_t rank = 1; rank + 1 < m_count; ++rank) {
        for (size_t room = 0; room < m_count; ++room) {
            if (room != first && Distance(first, room) == sorted[rank] && !Joined(first, room)) {
                return room;
            }
        }
    }
    const auto other = static_cast<size_t>(draw.R(static_cast<int32_t>(m_count) - 1));
    return other >= first ? other + 1 : other;
}

void CRoomLinks::Join(size_t a, size_t b) {
    m_joined[a * m_count + b] = kJoined;
    m_joined[b * m_count + a] = kJoined;
    ++m_degrees[a];
    ++m_degrees[b];
    // The counts lose their rooms here: only how many are low matters.
    std::sort(m_degrees.begin(), m_degrees.end());
}

void DigCorridor(CLayoutGrid& grid, const TRoom& from, const TRoom& to, CDraw& draw) {
    auto column = [&](int32_t x, int32_t y1, int32_t y2) { CarveColumn(grid, x, y1, y2); };
    auto row = [&](int32_t y, int32_t x1, int32_t x2) { CarveRow(grid, y, x1, x2); };
    if (DigStraight(Columns(from), Columns(to), Rows(from), Rows(to), draw, column) ||
        DigStraight(Rows(from), Rows(to), Columns(from), Columns(to), draw, row)) {
        return;
    }
    // Neither columns nor rows overlap: the corner lies outside both rooms.
    if (draw.R(3) <= 1) {
        const int32_t y = from.top + draw.R(from.height);
        const int32_t x = to.left + draw.R(to.width);
        CarveRow(grid, y, Outside(from.left, Right(from), x), x);
        CarveColumn(grid, x, y, Outside(to.top, Bottom(to), y));
    } else {
        const int32_t x = from.left + draw.R(from.width);
        const int32_t y = to.top + draw.R(to.height);
        CarveColumn(grid, x, Outside(from.top, Bottom(from), y), y);
        CarveRow(grid, y, x, Outside(to.left, Right(to), x));
    }
}

bool AllRoomsReachable(const CLayoutGrid& grid, const std::vector<TRoom>& rooms) {
    return CReachCheck(grid, rooms).AllReached();
}

bool JoinRooms(CLayoutGrid& grid, const std::vector<TRoom>& rooms, CDraw& draw) {
    if (rooms.size() < 2) {
        throw vek::CException(L"gen::JoinRooms", kSource, __LINE__, L"Corridors need two rooms.");
    }
    CRoomLinks links(rooms);
    CReachCheck reach(grid, rooms);
    int32_t attempts = 0;
    int32_t corridors = 0;
    for (int32_t wanted = kFirstCorridors;; ++wanted) {
        while (corridors < wanted) {
            if (++attempts >= kCorridorAttemptLimit) {
                return false;
            }
            const size_t first = links.PickFirst(draw);
            const size_t second = links.PickSecond(first, draw);
            DigCorridor(grid, rooms[first], rooms[second], draw);
            links.Join(first, second);
            ++corridors;
        }
        if (reach.AllReached()) {
            return true;
        }
    }
}

std::optional<vek::TPoint> CutEntrance(CLayoutGrid& grid, int32_t width, int32_t height, CDraw& draw) {
    CheckGridSize(grid, width, height, L"gen::CutEntrance");
    std::vector<vek::TPoint> candidates;
    for (int32_t x = 1; x <= width - 2; ++x) {
        for (int32_t y = height - 1; y > 1; --y) {
            if (CellAt(grid, x, y) == kFloor) {
                candidates.push_back({x, y});
                break;
            }
        }
    }
    if (candidates.empty()) {
        return std::nullopt;
    }
    const vek::TPoint chosen = candidates[static_cast<size_t>(draw.R(static_cast<int32_t>(candidates.size())))];
    CarveColumn(grid, chosen.x, chosen.y, height - 1);
    return vek::TPoint{chosen.x, height - 1};
}

TLayoutResult RandomLayoutPass(const TLayoutRequest& request, vek::CRandomGeneratorBase* generator, CLayoutGrid* grid,
                               CTileCanvas* canvas, IGameServices* game) {
    CLayoutGrid ownGrid;
    if (!grid) {
        ownGrid.Resize(static_cast<uint16_t>(request.width), static_cast<uint16_t>(request.height));
        ownGrid.Fill(kRock);
        grid = &ownGrid;
    }
    CheckGridSize(*grid, request.width, request.height, L"gen::RandomLayoutPass");
    const bool build = canvas && !request.siteStrip;
    if (build && (canvas->Width() < request.width || canvas->Height() < request.height)) {
        throw vek::CException(L"gen::RandomLayoutPass", kSource, __LINE__,
                              vek::Format(L"Area %lix%li does not fit a location of %lix%li", request.width,
                                          request.height, canvas->Width(), canvas->Height()));
    }
    const CBusyInput busy(game);

    TLayoutResult result;
    CDraw draw(generator);
    const int32_t width = request.siteStrip ? request.width - kSiteStripWidth : request.width;
    std::vector<TRoom> rooms = PlaceRooms(*grid, std::max(width, 0), request.height, draw);
    if (rooms.empty()) {
        result.success = false;
        result.failure = ELayoutFailure::kNoRoom;
        return result;
    }
    // A single room needs no corridor.
    if (rooms.size() >= 2 && !JoinRooms(*grid, rooms, draw)) {
        result.success = false;
        result.failure = ELayoutFailure::kCorridorAttempts;
        return result;
    }
    if (request.wantEntrance) {
        result.entrance = CutEntrance(*grid, width, request.height, draw);
    }
    if (grid->GetWidth() > kTopWallOpening.x && grid->GetHeight() > kTopWallOpening.y) {
        Cell(*grid, kTopWallOpening.x, kTopWallOpening.y) = kFloor;
    }
    if (build) {
        BuildFromLayout(*canvas, *grid, width, request.height, request.alternativeTiles, draw, false);
    }
    result.rooms = std::move(rooms);
    return result;
}

} // namespace gen
