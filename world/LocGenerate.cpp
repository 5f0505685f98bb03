// Random locations: one generator run over a location, the generation loop
// with its acceptance test, the depth that steers the placement passes, and
// the levels of dungeon sites and towers. The stages themselves (painters,
// layout, tiles, placement draws) live in gen/; here they are strung
// together and what they list (doors, items) is handed to the location.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Random.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "data/Globals.h"
#include "world/GenServices.h"
#include "world/Loc.h"
#include "world/World.h"
#include "world/gen/BuildTiles.h"
#include "world/gen/Canvas.h"
#include "world/gen/Draw.h"
#include "world/gen/Genesis.h"
#include "world/gen/Layout.h"
#include "world/gen/Seed.h"

namespace {

const wchar_t* const kSource = L"Genesis";

// What generation gives Init: being generated, layout present.
constexpr uint16_t kGenerationFlags = kLocGenerating | kLocLayoutPresent;
// The terrain type of a location that the layout's builder initialises.
constexpr uint16_t kLayoutTerrainType = 26;
// In a site's hand-made map: a cell left to the generator.
constexpr uint16_t kLeftToGenerator = 0xFFFF;
// Tower levels: their size and the top level.
constexpr uint16_t kTowerWidth = 20;
constexpr uint16_t kTowerHeight = 15;
constexpr uint16_t kTowerTopLevel = 5;
// The depth ratio of the levels whose ingredient patches grow, give or take.
constexpr double kPatchDepth = 0.4666667;
constexpr double kPatchDepthMargin = 0.1;
// Levels of a dungeon site that may get ingredient patches.
constexpr uint16_t kFirstPatchLevel = 9;
constexpr uint16_t kLastPatchLevel = 11;
// Random cells tried for a staircase before the fitting ones are listed.
constexpr int32_t kStairCellTries = 10;

const wchar_t kDepthStem[] = L"fdung";

uint32_t CellValue(vek::TPoint cell) {
    return (static_cast<uint32_t>(cell.y) << 16) | (static_cast<uint32_t>(cell.x) & 0xFFFF);
}

uint16_t X(vek::TPoint cell) { return static_cast<uint16_t>(cell.x); }
uint16_t Y(vek::TPoint cell) { return static_cast<uint16_t>(cell.y); }

// "fdung" and one more character: a level whose depth its name gives.
bool IsDepthLevel(const std::wstring& nameKey) {
    return nameKey.size() == std::size(kDepthStem) && nameKey.compare(0, std::size(kDepthStem) - 1, kDepthStem) == 0;
}

// The part of a name before its first digit.
std::wstring NameStem(const std::wstring& name) {
    const size_t digit = name.find_first_of(L"0123456789");
    return name.substr(0, digit);
}

CWorld* GameWorld() { return g_gameData != nullptr ? g_gameData->GetWorld() : nullptr; }

// Doors and items a stage listed, made in the location. A door's lock kind
// is its key.
void ApplyCanvas(CLoc& loc, const gen::CTileCanvas& canvas) {
    for (const gen::TDoorToCreate& door : canvas.doors) {
        loc.CreateDoor(X(door.cell), Y(door.cell), door.objectType, door.locked, door.lockKind);
    }
    for (const gen::TItemToPut& item : canvas.items) {
        loc.PutItem(X(item.cell), Y(item.cell), CItem(item.itemType, 1));
    }
}

// How errors name a location: its display name, else its own name, else the
// name key of its world cell.
std::wstring Label(const CLoc& loc) {
    std::wstring name = loc.GetName();
    if (name.empty()) {
        name = loc.GetOwnName();
    }
    if (name.empty() && loc.GetWorldCell() != nullptr) {
        name = loc.GetWorldCell()->nameKey;
    }
    return name;
}

std::wstring LayoutFailureText(gen::ELayoutFailure failure) {
    return failure == gen::ELayoutFailure::kNoRoom ? L"no room fits"
                                                   : L"its rooms could not all be joined by corridors";
}

[[noreturn]] void ThrowNoLayout(const CLoc& loc, const wchar_t* function, gen::ELayoutFailure failure) {
    throw vek::CException(function, kSource, __LINE__,
                          vek::Format(L"Cannot lay out %s (%ux%u cells) in %li passes: %s", Label(loc),
                                      static_cast<uint32_t>(loc.GetWidth()), static_cast<uint32_t>(loc.GetHeight()),
                                      CLoc::kMaxLayoutPasses, LayoutFailureText(failure)));
}

// Rooms and corridors over the whole location, tiles and doors built. The
// game waits until the level is laid out or given up.
std::vector<gen::TRoom> LayOutLevel(CLoc& loc, vek::CRandomGeneratorBase& random, const wchar_t* function) {
    gen::IGameServices& game = GenServices();
    const gen::CBusyInput busy(&game);
    gen::TLayoutRequest request;
    request.width = loc.GetWidth();
    request.height = loc.GetHeight();
    gen::CTileCanvas canvas(loc.GetTerrain(), loc.GetObjects());
    gen::TLayoutResult result;
    for (int32_t pass = 0; pass < CLoc::kMaxLayoutPasses; ++pass) {
        result = gen::RandomLayoutPass(request, &random, nullptr, &canvas, &game);
        if (result.success) {
            ApplyCanvas(loc, canvas);
            return result.rooms;
        }
    }
    ThrowNoLayout(loc, function, result.failure);
}

// A dungeon site: rooms and corridors left of the hand-made strip of its
// right ten columns, a corridor along the strip joined to the first room,
// tiles built up to the strip. The strip's tiles are left as they are.
std::vector<gen::TRoom> LayOutSite(CLoc& loc, vek::CRandomGeneratorBase& random) {
    gen::IGameServices& game = GenServices();
    const gen::CBusyInput busy(&game);
    const int32_t width = loc.GetWidth();
    const int32_t height = loc.GetHeight();
    gen::CLayoutGrid grid;
    grid.Resize(loc.GetWidth(), loc.GetHeight());
    gen::TLayoutRequest request;
    request.width = width;
    request.height = height;
    request.siteStrip = true;
    gen::TLayoutResult result;
    for (int32_t pass = 0; pass < CLoc::kMaxLayoutPasses; ++pass) {
        grid.Fill(gen::kRock);
        result = gen::RandomLayoutPass(request, &random, &grid, nullptr, &game);
        if (result.success) {
            break;
        }
    }
    if (!result.success) {
        ThrowNoLayout(loc, L"CLoc::GenerateLoc", result.failure);
    }
    const int32_t strip = width - gen::kSiteStripWidth;
    auto cell = [&](int32_t x, int32_t y) -> uint8_t& {
        return grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
    };
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = strip; x < width; ++x) {
            cell(x, y) = IsPassable(x, y, loc) ? gen::kFloor : gen::kRock;
        }
    }
    for (int32_t y = 1; y <= height - 2; ++y) {
        cell(strip - 1, y) = gen::kFloor;
    }
    const gen::TRoom& first = result.rooms.front();
    for (int32_t x = first.left + 1; x <= strip - 1; ++x) {
        cell(x, first.top + 1) = gen::kFloor;
    }
    loc.DumpToConsole(std::span<const uint8_t>(grid.Data(), static_cast<size_t>(width) * height));
    gen::CTileCanvas canvas(loc.GetTerrain(), loc.GetObjects());
    gen::CDraw draw(&random);
    gen::BuildFromLayout(canvas, grid, strip, height, false, draw, true);
    ApplyCanvas(loc, canvas);
    return result.rooms;
}

// A site exit's cell drawn again when taken, before the free room cells are
// listed.
constexpr int32_t kExitCellDraws = 20;

// The cells of the site exits, in row order; an inactive one counts too.
std::vector<vek::TPoint> SiteExits(const CLoc& loc) {
    std::vector<vek::TPoint> exits;
    for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
        for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
            if (loc.GetSpecialObjects().At(x, y).kind == kSpecialSiteExit) {
                exits.push_back({x, y});
            }
        }
    }
    return exits;
}

// The cells of the rooms that `free` lets in, in row order.
template <class Free>
std::vector<vek::TPoint> FreeRoomCells(const CLoc& loc, const std::vector<gen::TRoom>& rooms, Free free) {
    std::vector<vek::TPoint> cells;
    for (int32_t y = 0; y < loc.GetHeight(); ++y) {
        for (int32_t x = 0; x < loc.GetWidth(); ++x) {
            const bool inRoom = std::any_of(rooms.begin(), rooms.end(), [&](const gen::TRoom& room) {
                return x >= room.left && x < room.left + room.width && y >= room.top && y < room.top + room.height;
            });
            if (inRoom && free(vek::TPoint{x, y})) {
                cells.push_back({x, y});
            }
        }
    }
    return cells;
}

// Every site exit becomes a passage inside a random room (the last room
// excepted, as the draw goes), one cell in from its walls, on a cell of its
// own: a cell that another exit (moved or waiting) or an active object holds
// is drawn again, and after kExitCellDraws such draws one of the free cells
// of all rooms, in row order, is drawn. Answers what went wrong when no room
// cell is left.
std::wstring MoveSiteExits(CLoc& loc, const std::vector<gen::TRoom>& rooms, vek::CRandomGeneratorBase& random) {
    if (rooms.empty()) {
        return {};
    }
    gen::CDraw draw(&random);
    auto inside = [&](int32_t first, int32_t size) {
        return first + 1 == first + size - 2 ? first + 1 : draw.R(size - 3) + first + 1;
    };
    auto drawCell = [&] {
        const size_t index = rooms.size() > 1 ? static_cast<size_t>(draw.R(static_cast<int32_t>(rooms.size()) - 1)) : 0;
        const gen::TRoom& room = rooms[index];
        const int32_t x = inside(room.left, room.width);
        return vek::TPoint{x, inside(room.top, room.height)};
    };
    // Listed first: an exit may be drawn onto the cell of one still waiting.
    const std::vector<vek::TPoint> exits = SiteExits(loc);
    const auto width = static_cast<size_t>(loc.GetWidth());
    std::vector<uint8_t> taken(width * loc.GetHeight(), 0);
    auto mark = [&](vek::TPoint p) -> uint8_t& { return taken[static_cast<size_t>(p.y) * width + p.x]; };
    for (const vek::TPoint exit : exits) {
        mark(exit) = 1;
    }
    for (const vek::TPoint exit : exits) {
        // Its own cell is free for it.
        auto free = [&](vek::TPoint p) {
            return p == exit || (mark(p) == 0 && loc.GetSpecialObjects().At(X(p), Y(p)).active == 0);
        };
        std::optional<vek::TPoint> to;
        for (int32_t tries = 0; tries < kExitCellDraws && !to; ++tries) {
            const vek::TPoint drawn = drawCell();
            if (free(drawn)) {
                to = drawn;
            }
        }
        if (!to) {
            const std::vector<vek::TPoint> cells = FreeRoomCells(loc, rooms, free);
            if (cells.empty()) {
                return vek::Format(L"no room cell is left for the site exit at (%li, %li)", exit.x, exit.y);
            }
            to = cells[static_cast<size_t>(draw.R(static_cast<int32_t>(cells.size())))];
        }
        TSpecialObject passage = loc.GetSpecialObjects().At(X(exit), Y(exit));
        passage.kind = kSpecialPassage;
        // Cleared first: a room may take the exit to its own cell.
        loc.ClearSpecialObject(X(exit), Y(exit));
        mark(exit) = 0;
        loc.GetSpecialObjects().At(X(*to), Y(*to)) = passage;
        mark(*to) = 1;
    }
    return {};
}

// The cells of a site's map as it was read: what generation keeps.
class CHandMadePart {
public:
    explicit CHandMadePart(CLoc& loc)
        : m_objects(loc.GetObjects()),
          m_terrain(loc.GetTerrain()),
          m_creatureIds(loc.GetCreatureIds()),
          m_items(loc.GetItemPiles()),
          m_specialObjects(loc.GetSpecialObjects()) {}

    // Every cell as it was read.
    void RestoreAll(CLoc& loc) const {
        loc.GetObjects() = m_objects;
        loc.GetTerrain() = m_terrain;
        loc.GetCreatureIds() = m_creatureIds;
        loc.GetItemPiles() = m_items;
        loc.GetSpecialObjects() = m_specialObjects;
    }

    // The cells the map made itself (not left to the generator).
    void RestoreMade(CLoc& loc) const {
        for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
            for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
                if (m_objects.At(x, y) == kLeftToGenerator) {
                    continue;
                }
                loc.GetObjects().At(x, y) = m_objects.At(x, y);
                loc.GetTerrain().At(x, y) = m_terrain.At(x, y);
                loc.GetSpecialObjects().At(x, y) = m_specialObjects.At(x, y);
                loc.GetCreatureIds().At(x, y) = m_creatureIds.At(x, y);
                loc.GetItemPiles().At(x, y) = m_items.At(x, y);
            }
        }
    }

private:
    vek::CMap<uint16_t> m_objects;
    vek::CMap<uint16_t> m_terrain;
    vek::CMap<uint16_t> m_creatureIds;
    vek::CMap<std::vector<CItem>> m_items;
    vek::CMap<TSpecialObject> m_specialObjects;
};

// The site's border: a cell of the top or bottom row, or of the second or
// the last but one column, that the map made and that can be walked on.
bool IsBorderOpen(const CLoc& loc) {
    const int32_t width = loc.GetWidth();
    const int32_t height = loc.GetHeight();
    auto open = [&](int32_t x, int32_t y) {
        return loc.IsInside(x, y) &&
               loc.GetObjects().At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)) != kLeftToGenerator &&
               IsPassable(x, y, loc);
    };
    for (int32_t x = 0; x < width; ++x) {
        if (open(x, 0) || open(x, height - 1)) {
            return true;
        }
    }
    for (int32_t y = 1; y <= height - 1; ++y) {
        if (open(1, y) || open(width - 2, y)) {
            return true;
        }
    }
    return false;
}

// Which cells' tiles let the hero on, one byte per cell: IsPassable's test
// of terrain and object, with the passable bit of each kind looked up once,
// as a walk over a whole location reads every cell.
std::vector<uint8_t> WalkableTiles(const CLoc& loc) {
    const size_t count = static_cast<size_t>(loc.GetWidth()) * loc.GetHeight();
    std::vector<uint8_t> walkable(count, 0);
    if (count == 0) {
        return walkable;
    }
    const CDefinitionTables& tables = GenServices().Tables();
    auto passableKinds = [](const auto& kinds) {
        std::vector<uint8_t> passable;
        passable.reserve(kinds.size());
        for (const auto& kind : kinds) {
            passable.push_back((kind.flags & kPassableFlag) != 0 ? 1 : 0);
        }
        return passable;
    };
    const std::vector<uint8_t> terrainOpen = passableKinds(tables.terrain);
    const std::vector<uint8_t> objectOpen = passableKinds(tables.objects);
    const uint16_t* terrain = loc.GetTerrain().Data();
    const uint16_t* objects = loc.GetObjects().Data();
    for (size_t i = 0; i < count; ++i) {
        const bool onTerrain = terrain[i] < terrainOpen.size() && terrainOpen[terrain[i]] != 0;
        const bool pastObject =
            objects[i] >= kNoTile || (objects[i] < objectOpen.size() && objectOpen[objects[i]] != 0);
        walkable[i] = onTerrain && pastObject ? 1 : 0;
    }
    return walkable;
}

// Which cells the hero can walk on once he opens the doors: the tiles, and
// where an active special object other than a door stands, its appearance.
std::vector<uint8_t> WalkableCells(const CLoc& loc) {
    std::vector<uint8_t> walkable = WalkableTiles(loc);
    if (walkable.empty()) {
        return walkable;
    }
    const std::vector<TObjectInfo>& objects = GenServices().Tables().objects;
    const TSpecialObject* specials = loc.GetSpecialObjects().Data();
    for (size_t i = 0; i < walkable.size(); ++i) {
        const TSpecialObject& special = specials[i];
        if (walkable[i] != 0 && special.active != 0 && special.kind != kSpecialDoor &&
            (special.appearance >= objects.size() || (objects[special.appearance].flags & kPassableFlag) == 0)) {
            walkable[i] = 0;
        }
    }
    return walkable;
}

// The cells walked to, over the walkable ones (1 in `cells`, width columns
// a row), from the starts (which count as reached themselves): one byte per
// cell, 1 where reached.
std::vector<uint8_t> WalkFrom(const std::vector<uint8_t>& cells, int32_t width, std::span<const vek::TPoint> starts) {
    constexpr uint8_t kOpen = 1;
    constexpr uint8_t kReached = 2;
    const int32_t height = width > 0 ? static_cast<int32_t>(cells.size()) / width : 0;
    // A closed frame around the cells spares the walk its edge tests.
    const int32_t stride = width + 2;
    std::vector<uint8_t> framed(static_cast<size_t>(stride) * (height + 2), 0);
    for (int32_t y = 0; y < height; ++y) {
        std::copy_n(cells.begin() + static_cast<ptrdiff_t>(y) * width, width,
                    framed.begin() + static_cast<ptrdiff_t>(y + 1) * stride + 1);
    }
    const std::array<int32_t, 8> steps{-stride - 1, -stride, -stride + 1, -1, 1, stride - 1, stride, stride + 1};
    std::vector<int32_t> open;
    for (const vek::TPoint start : starts) {
        if (start.x >= 0 && start.y >= 0 && start.x < width && start.y < height) {
            const int32_t at = (start.y + 1) * stride + start.x + 1;
            framed[static_cast<size_t>(at)] = kReached;
            open.push_back(at);
        }
    }
    while (!open.empty()) {
        const int32_t here = open.back();
        open.pop_back();
        for (const int32_t step : steps) {
            uint8_t& cell = framed[static_cast<size_t>(here + step)];
            if (cell == kOpen) {
                cell = kReached;
                open.push_back(here + step);
            }
        }
    }
    std::vector<uint8_t> reached(cells.size(), 0);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            reached[static_cast<size_t>(y) * width + x] =
                framed[static_cast<size_t>(y + 1) * stride + x + 1] == kReached ? 1 : 0;
        }
    }
    return reached;
}

std::vector<uint8_t> ReachableCells(const CLoc& loc, std::span<const vek::TPoint> starts) {
    return WalkFrom(WalkableCells(loc), loc.GetWidth(), starts);
}

// The cells of its border that the walkable ones give.
std::vector<vek::TPoint> OpenBorder(const CLoc& loc, const std::vector<uint8_t>& walkable) {
    std::vector<vek::TPoint> starts;
    const int32_t width = loc.GetWidth();
    const int32_t height = loc.GetHeight();
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const bool border = y == 0 || y == height - 1 || x == 0 || x == width - 1;
            if (border && walkable[static_cast<size_t>(y) * width + x] != 0) {
                starts.push_back({x, y});
            }
        }
    }
    return starts;
}

// Where the hero comes into a generated location: the rooms, which all
// reach the first one; without rooms, any cell of its border that can be
// walked on, as he steps in from the world.
std::vector<uint8_t> ArrivalArea(const CLoc& loc, const std::vector<gen::TRoom>& rooms) {
    if (!rooms.empty()) {
        const vek::TPoint first{rooms.front().left, rooms.front().top};
        return ReachableCells(loc, std::span<const vek::TPoint>(&first, 1));
    }
    const std::vector<uint8_t> walkable = WalkableCells(loc);
    return WalkFrom(walkable, loc.GetWidth(), OpenBorder(loc, walkable));
}

// A staircase's cell: a random passable cell that the rooms reach (the
// layout may leave a lone floor cell), other than `taken`. A few random
// cells are tried, then one of the fitting cells in row order is drawn.
vek::TPoint PickStairCell(const CLoc& loc, const std::vector<uint8_t>& reached, std::optional<vek::TPoint> taken,
                          const wchar_t* function) {
    auto fits = [&](vek::TPoint p) {
        return p != taken && reached[static_cast<size_t>(p.y) * loc.GetWidth() + static_cast<size_t>(p.x)] != 0;
    };
    for (int32_t tries = 0; tries < kStairCellTries; ++tries) {
        const vek::TPoint cell = loc.PickRandomCell(GenServices().GameRandom());
        if (fits(cell)) {
            return cell;
        }
    }
    std::vector<vek::TPoint> cells;
    for (int32_t y = 0; y < loc.GetHeight(); ++y) {
        for (int32_t x = 0; x < loc.GetWidth(); ++x) {
            if (fits({x, y}) && IsPassable(x, y, loc)) {
                cells.push_back({x, y});
            }
        }
    }
    if (cells.empty()) {
        throw vek::CException(function, kSource, __LINE__, L"No cell for a staircase in " + Label(loc));
    }
    gen::CDraw draw(GenServices().GameRandom());
    return cells[static_cast<size_t>(draw.R(static_cast<int32_t>(cells.size())))];
}

// The two staircases of a level laid out with these rooms: on distinct
// cells that the rooms reach.
struct TStairCells {
    vek::TPoint first;
    std::vector<uint8_t> reached;
};
TStairCells PickFirstStairCell(const CLoc& loc, const std::vector<gen::TRoom>& rooms, const wchar_t* function) {
    TStairCells stairs;
    stairs.reached = ArrivalArea(loc, rooms);
    stairs.first = PickStairCell(loc, stairs.reached, std::nullopt, function);
    return stairs;
}

// A passage with its own object tile cleared, so that it can be walked on.
void PutPassage(CLoc& loc, vek::TPoint cell, uint16_t appearance, uint32_t value, const std::wstring& target) {
    loc.SetSpecialObject(X(cell), Y(cell), kSpecialPassage, appearance, value, target);
    loc.GetObjects().At(X(cell), Y(cell)) = kNoTile;
}

// The first active passage, in row order, of one of the appearances.
std::optional<vek::TPoint> FindPassage(const CLoc& loc, uint16_t appearance, uint16_t otherAppearance) {
    for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
        for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
            const TSpecialObject& object = loc.GetSpecialObjects().At(x, y);
            if (object.active != 0 && object.kind == kSpecialPassage &&
                (object.appearance == appearance || object.appearance == otherAppearance)) {
                return vek::TPoint{x, y};
            }
        }
    }
    return std::nullopt;
}

// Random items, then creature groups, by depth on the cells the hero can
// walk to.
void PlaceItemsAndCreatures(CLoc& loc, float ratio, std::span<const uint8_t> reached) {
    loc.PlaceRandomItems(ratio, std::nullopt, reached);
    loc.PlaceEncounters(ratio, false, reached);
}

// Depth from a level and the level count; a count of 0 tells nothing.
float LevelRatio(uint32_t levelNumber, uint16_t levelCount) {
    return levelCount == 0 ? 0.5f : static_cast<float>(levelNumber) / static_cast<float>(levelCount);
}

} // namespace

void CLoc::RunGenesis(const TWorldLocInfo& record, vek::CRandomGeneratorBase* generator) {
    // Init forgets the creatures and effects; a site's own stay with it.
    std::vector<CMonster*> creatures;
    std::vector<TLocEffect> effects;
    creatures.swap(m_creatures);
    effects.swap(m_effects);
    try {
        Init(record.name, record.width, record.height, record.terrainType, kGenerationFlags);
    } catch (...) {
        m_creatures.swap(creatures);
        m_effects.swap(effects);
        throw;
    }
    m_creatures.swap(creatures);
    m_effects.swap(effects);
    RebuildCreatureLayer();

    const uint8_t density = gen::DrawDensity(generator);
    const std::unique_ptr<CGenesis> genesis = CGenesis::Create(record.terrainType, GenServices());
    genesis->SetRandomGenerator(generator);
    gen::CTileCanvas canvas(m_terrain, m_objects);
    genesis->Generate({record.terrainType, &canvas, density});
    if (!canvas.items.empty()) {
        // What falls where trees close a pocket could never be picked up.
        // Fresh from Init, no cell holds a special object: the tiles decide.
        const std::vector<uint8_t> walkable = WalkableTiles(*this);
        const std::vector<uint8_t> reached = WalkFrom(walkable, m_width, OpenBorder(*this, walkable));
        std::erase_if(canvas.items, [&](const gen::TItemToPut& item) {
            return reached[static_cast<size_t>(item.cell.y) * m_width + static_cast<size_t>(item.cell.x)] == 0;
        });
    }
    ApplyCanvas(*this, canvas);
    if (genesis->MarksGenerated()) {
        m_flags |= kLocWideReveal;
    }
}

void CLoc::GenerateLoc() {
    const wchar_t* const function = L"CLoc::GenerateLoc";
    if (m_worldCell == nullptr) {
        throw vek::CException(function, kSource, __LINE__,
                              L"The location is not bound to a world cell: " + Label(*this));
    }
    const TWorldLocInfo& record = *m_worldCell;
    const bool site = record.randomKind == kWorldDungeonSite;
    const bool dungeon = record.terrainType == gen::kDungeonTerrain;
    const bool madeOfLevels = record.towerFlag != 0;

    std::optional<CHandMadePart> handMade;
    if (site) {
        LoadFromFile(kLocationDir, record.fileName, true, false, true);
        if (m_width != record.width || m_height != record.height) {
            throw vek::CException(
                function, kSource, __LINE__,
                vek::Format(L"The map %s has %ux%u cells, its world cell %ux%u", record.fileName,
                            static_cast<uint32_t>(m_width), static_cast<uint32_t>(m_height),
                            static_cast<uint32_t>(record.width), static_cast<uint32_t>(record.height)));
        }
        // Only living creatures: what the passes add then follows them.
        ConvertMonsterIds();
        handMade.emplace(*this);
    }
    if (dungeon && !madeOfLevels && vek::StartsWithNoCase(kTowerStem, record.nameKey)) {
        throw vek::CException(function, kSource, __LINE__, L"Cannot preload a tower random location.");
    }

    vek::CStdRand random;
    random.Seed(gen::NextSeed());
    const size_t ownCreatures = m_creatures.size();
    std::wstring fault;
    for (int32_t iteration = 1;; ++iteration) {
        if (iteration > 1) {
            if (iteration > kMaxGenerationIterations) {
                throw vek::CException(function, kSource, __LINE__,
                                      vek::Format(L"Random location %s was not made in %li iterations: %s",
                                                  Label(*this), kMaxGenerationIterations, fault));
            }
            GenServices().Report(vek::Format(L"Random generating, iteration %i", iteration));
            // What the failed iteration placed goes with it.
            for (size_t i = ownCreatures; i < m_creatures.size(); ++i) {
                DeleteCreature(std::exchange(m_creatures[i], nullptr));
            }
            m_creatures.resize(ownCreatures);
        }

        std::vector<gen::TRoom> rooms;
        std::wstring exitFault;
        if (dungeon) {
            if (!madeOfLevels && site) {
                if (iteration > 1) {
                    handMade->RestoreAll(*this);
                }
                // The dungeon's floor everywhere, the strip included: its
                // cells are then walked on as the dungeon's.
                m_terrain.Fill(gen::kDungeonTerrain);
                m_flags |= kGenerationFlags;
                rooms = LayOutSite(*this, random);
                exitFault = MoveSiteExits(*this, rooms, random);
            } else if (!madeOfLevels) {
                // Sized first, as the layout's builder would initialise a
                // location of no cells (and with its terrain type).
                Init(record.name, record.width, record.height, kLayoutTerrainType, kGenerationFlags);
                rooms = LayOutLevel(*this, random, function);
            }
        } else {
            RunGenesis(record, &random);
            if (site) {
                handMade->RestoreMade(*this);
            }
        }

        if (IsDepthLevel(record.nameKey)) {
            const float ratio = GetDepthRatio();
            const std::vector<uint8_t> reached = ArrivalArea(*this, rooms);
            PlaceItemsAndCreatures(*this, ratio, reached);
            if (std::fabs(ratio - kPatchDepth) < kPatchDepthMargin) {
                PlaceIngredientPatches(reached);
            }
        }
        m_flags |= kLocLayoutPresent;
        fault = exitFault.empty() ? FindLayoutFault() : exitFault;
        if (fault.empty()) {
            return;
        }
    }
}

bool CLoc::IsValidLayout() { return FindLayoutFault().empty(); }

std::wstring CLoc::FindLayoutFault() {
    if (m_worldCell == nullptr || m_worldCell->randomKind != kWorldDungeonSite) {
        return {};
    }
    if ((m_worldCell->flags & kWorldCellBorderFree) == 0 && !IsBorderOpen(*this)) {
        return L"its border is closed";
    }
    InvalidatePassability();
    TPath path;
    for (size_t i = 0; i < m_rules.size(); ++i) {
        const TLocRule& rule = m_rules[i];
        if (!FindWay(0, kCreaturesDoNotBlock, {}, path, true, false, rule.startX, rule.startY, rule.endX, rule.endY)) {
            return vek::Format(L"rule %u cannot walk from (%li, %li) to (%li, %li)", static_cast<uint32_t>(i + 1),
                               rule.startX, rule.startY, rule.endX, rule.endY);
        }
    }
    return {};
}

float CLoc::GetDepthRatio() const {
    if (m_worldCell == nullptr) {
        return 0.5f;
    }
    const std::wstring& key = m_worldCell->nameKey;
    if (IsDepthLevel(key)) {
        const uint32_t level = vek::WcsToUL(key.c_str() + std::size(kDepthStem) - 1, nullptr, 10);
        return static_cast<float>(level / 6.0 * 0.5 + 0.3);
    }
    if (m_worldCell->towerFlag != 0 && g_gameData != nullptr) {
        return LevelRatio(g_gameData->GetCurrentLevel() + 1u, g_gameData->GetLevelCount());
    }
    return 0.5f;
}

vek::TPoint CLoc::GenerateLocForSite(const TSiteLevel& level) {
    const wchar_t* const function = L"CLoc::GenerateLocForSite";
    Init(m_name, level.width, level.height, gen::kDungeonTerrain, kGenerationFlags);
    vek::CMersenneTwister random;
    random.Seed(gen::NextSeed());
    const std::vector<gen::TRoom> rooms = LayOutLevel(*this, random, function);

    const TStairCells stairs = PickFirstStairCell(*this, rooms, function);
    const vek::TPoint down = stairs.first;
    if (level.level + 1 < level.levelCount) {
        PutPassage(*this, down, kStairsDown, kNoTargetCell, L"");
    }
    const vek::TPoint up = PickStairCell(*this, stairs.reached, down, function);
    if (level.level == 0) {
        CWorld* world = GameWorld();
        uint16_t siteX = 0;
        uint16_t siteY = 0;
        if (world == nullptr || !world->FindLocationByName(level.siteLocation, siteX, siteY)) {
            throw vek::CException(function, kSource, __LINE__, L"Location not found: " + level.siteLocation);
        }
        PutPassage(*this, up, kStairsUp, CellValue(level.siteCell), level.siteLocation);
        CLoc* siteLoc = world->grid.At(siteX, siteY).loc;
        if (siteLoc != nullptr && (siteLoc->GetFlags() & kLocLayoutPresent) != 0 &&
            siteLoc->IsInside(level.siteCell.x, level.siteCell.y)) {
            siteLoc->GetSpecialObjects().At(X(level.siteCell), Y(level.siteCell)).value = CellValue(up);
        }
    } else {
        PutPassage(*this, up, kStairsUp, kNoTargetCell, L"");
    }

    const float ratio = LevelRatio(level.level + 1u, level.levelCount);
    PlaceItemsAndCreatures(*this, ratio, stairs.reached);
    if (level.level >= kFirstPatchLevel && level.level <= kLastPatchLevel) {
        gen::CDraw draw(GenServices().GameRandom());
        if (draw.R(7) <= 1) {
            PlaceIngredientPatches(stairs.reached);
        }
    }
    return level.comingUp ? down : up;
}

vek::TPoint CLoc::CreateLocForTower() {
    const wchar_t* const function = L"CLoc::CreateLocForTower";
    if (m_worldCell == nullptr) {
        throw vek::CException(function, kSource, __LINE__,
                              L"The location is not bound to a world cell: " + Label(*this));
    }
    vek::CStdRand random;
    random.Seed(gen::NextSeed());
    const std::wstring key = m_worldCell->nameKey;
    const std::wstring stem = NameStem(key);
    const uint16_t level = g_gameData != nullptr ? g_gameData->GetCurrentLevel() : 0;
    CWorld* world = GameWorld();
    Init(GetName(), kTowerWidth, kTowerHeight, gen::kDungeonTerrain, kGenerationFlags);

    vek::TPoint arrival;
    std::vector<uint8_t> reached;
    if (level == 0) {
        // One hall inside a wall, the way out in its bottom wall.
        gen::CLayoutGrid grid;
        grid.Resize(kTowerWidth, kTowerHeight);
        grid.Fill(gen::kFloor);
        for (uint16_t x = 0; x < kTowerWidth; ++x) {
            grid.At(x, 0) = gen::kRock;
            grid.At(x, kTowerHeight - 1) = gen::kRock;
        }
        for (uint16_t y = 0; y < kTowerHeight; ++y) {
            grid.At(0, y) = gen::kRock;
            grid.At(kTowerWidth - 1, y) = gen::kRock;
        }
        gen::CTileCanvas canvas(m_terrain, m_objects);
        gen::CDraw draw(&random);
        gen::BuildFromLayout(canvas, grid, kTowerWidth, kTowerHeight, false, draw, false);
        ApplyCanvas(*this, canvas);
        gen::CDraw game(GenServices().GameRandom());
        arrival = {game.R(kTowerWidth - 2) + 1, kTowerHeight - 1};
        PutPassage(*this, arrival, kTowerExit, kNoTargetCell, key);
        reached = ReachableCells(*this, std::span<const vek::TPoint>(&arrival, 1));
    } else {
        const std::vector<gen::TRoom> rooms = LayOutLevel(*this, random, function);
        const TStairCells stairs = PickFirstStairCell(*this, rooms, function);
        const vek::TPoint down = stairs.first;
        PutPassage(*this, down, kStairsDown, kNoTargetCell, L"");
        arrival = down;
        reached = stairs.reached;
        uint16_t belowX = 0;
        uint16_t belowY = 0;
        const std::wstring below = stem + vek::Format(L"%u", static_cast<uint32_t>(level - 1));
        if (world != nullptr && world->FindLocation(below, belowX, belowY, CWorld::kFindByKey)) {
            CLoc* belowLoc = world->grid.At(belowX, belowY).loc;
            const std::optional<vek::TPoint> up =
                belowLoc != nullptr ? FindPassage(*belowLoc, kStairsUp, kStairsUp) : std::nullopt;
            if (up) {
                belowLoc->GetSpecialObjects().At(X(*up), Y(*up)).value = CellValue(down);
            }
        }
        if (level < kTowerTopLevel) {
            const std::wstring next = stem + vek::Format(L"%u", static_cast<uint32_t>(level + 1));
            uint16_t nextX = 0;
            uint16_t nextY = 0;
            if (world == nullptr || !world->FindLocation(next, nextX, nextY, CWorld::kFindByKey)) {
                throw vek::CException(function, kSource, __LINE__, L"Location not found: " + next);
            }
            const vek::TPoint up = PickStairCell(*this, stairs.reached, down, function);
            if (world->grid.At(nextX, nextY).randomKind == kWorldRandom) {
                // Made when it is entered.
                PutPassage(*this, up, kStairsUp, kNoTargetCell, next);
            } else {
                CLoc& nextLoc = world->LoadLocFileAt(nextX, nextY);
                if ((nextLoc.GetFlags() & kLocLayoutPresent) == 0) {
                    throw vek::CException(function, kSource, __LINE__,
                                          L"An attempt to enter location that hasn't been loaded: " + next);
                }
                const std::optional<vek::TPoint> stairs = FindPassage(nextLoc, kStairsDown, kOldStairsDown);
                if (!stairs) {
                    throw vek::CException(function, kSource, __LINE__, L"Staircase down not found in location " + next);
                }
                PutPassage(*this, up, kStairsUp, CellValue(*stairs), next);
                nextLoc.GetSpecialObjects().At(X(*stairs), Y(*stairs)).value = CellValue(up);
            }
        }
    }

    PlaceItemsAndCreatures(*this, static_cast<float>(level / 6.0), reached);
    return arrival;
}
