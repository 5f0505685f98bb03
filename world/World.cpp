// The world grid: new worlds and resizing, finding cells and the blocks of
// locations, and making, preparing and entering the locations of cells.
#include "world/World.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "data/Globals.h"
#include "rules/Hero.h"
#include "world/Loc.h"
#include "world/gen/Canvas.h"

namespace {

const wchar_t* const kSource = L"World";
// Terrain of the cells outside the first world part of a new world.
constexpr uint16_t kHiddenTerrain = 3;
// A dungeon site: its terrain, the prefix of its file name and key, and the
// place name its display name is made from.
constexpr uint16_t kSiteTerrain = gen::kDungeonTerrain;
const wchar_t kSitePrefix[] = L"DungeonSite";
const wchar_t kSiteNameKey[] = L"default_random_dungeon";

// Name keys of a block match ignoring case; an empty one matches none.
bool SameName(const std::wstring& a, const std::wstring& b) { return !a.empty() && vek::equals(a, b); }

void ForgetIfCurrent(const CLoc* loc) {
    if (g_gameData != nullptr && g_gameData->GetCurrentLoc() == loc) {
        g_gameData->SetCurrentLoc(nullptr);
    }
}

// A dungeon site as a script asks for it: its name (and file name and key),
// its size in location cells, its levels, and the location and cell of its
// entrance.
struct TNewSite {
    std::wstring name;
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t levels = 0;
    std::wstring entrance;
    vek::TPoint entranceCell;
};

// The world cells a site covers.
struct TSiteBlock {
    uint16_t x = 0;
    uint16_t y = 0;
    uint16_t columns = 0;
    uint16_t rows = 0;
};

// 1. A site covers at least one world cell and has a level.
void CheckSiteSize(uint16_t width, uint16_t height, uint16_t levels) {
    if (width < TWorldLocInfo::kCellWidth || height < TWorldLocInfo::kCellHeight || levels == 0) {
        throw vek::CException(
            L"CWorld::CreateDungeonSite", kSource, __LINE__,
            vek::Format(L"A dungeon site of %ux%u cells and %u levels cannot be made", static_cast<uint32_t>(width),
                        static_cast<uint32_t>(height), static_cast<uint32_t>(levels)));
    }
}

// 3. The first block (in row order) of hidden cells that nothing uses.
TSiteBlock FindFreeBlock(const CWorld& world, const TNewSite& site) {
    TSiteBlock block;
    block.columns = site.width / TWorldLocInfo::kCellWidth;
    block.rows = site.height / TWorldLocInfo::kCellHeight;
    auto isFree = [&](uint16_t cx, uint16_t cy) {
        const TWorldLocInfo& cell = world.grid.At(cx, cy);
        return cell.shown == 0 && cell.loc == nullptr && cell.fileName.empty() && cell.randomKind == kWorldFixed;
    };
    auto blockIsFree = [&](uint16_t bx, uint16_t by) {
        for (uint16_t cy = by; cy < by + block.rows; ++cy) {
            for (uint16_t cx = bx; cx < bx + block.columns; ++cx) {
                if (!isFree(cx, cy)) {
                    return false;
                }
            }
        }
        return true;
    };
    for (uint32_t by = 0; by + block.rows <= world.height; ++by) {
        for (uint32_t bx = 0; bx + block.columns <= world.width; ++bx) {
            if (blockIsFree(static_cast<uint16_t>(bx), static_cast<uint16_t>(by))) {
                block.x = static_cast<uint16_t>(bx);
                block.y = static_cast<uint16_t>(by);
                return block;
            }
        }
    }
    throw vek::CException(
        L"CWorld::CreateDungeonSite", kSource, __LINE__,
        vek::Format(L"No free block of %ux%u world cells for %s", static_cast<uint32_t>(block.columns),
                    static_cast<uint32_t>(block.rows), site.name));
}

// 4. Every cell of the block gets the site's record; the records they had
// are answered, in row order.
std::vector<TWorldLocInfo> WriteSiteRecords(CWorld& world, const TSiteBlock& block, const TNewSite& site) {
    std::vector<TWorldLocInfo> before;
    for (uint16_t cy = block.y; cy < block.y + block.rows; ++cy) {
        for (uint16_t cx = block.x; cx < block.x + block.columns; ++cx) {
            TWorldLocInfo& cell = world.grid.At(cx, cy);
            before.push_back(cell);
            cell.name = kSitePrefix;
            cell.fileName = site.name;
            cell.nameKey = site.name;
            cell.width = site.width;
            cell.height = site.height;
            cell.terrainType = kSiteTerrain;
            cell.randomKind = kWorldDungeonSite;
            cell.shown = 1;
            cell.towerFlag = 1;
            cell.values16 = {site.levels, 0};
            cell.values32 = {
                (static_cast<uint32_t>(site.entranceCell.y) << 16) | static_cast<uint32_t>(site.entranceCell.x), 0};
            cell.flags = kWorldCellNew;
            cell.text5 = site.entrance;
        }
    }
    return before;
}

void RestoreRecords(CWorld& world, const TSiteBlock& block, const std::vector<TWorldLocInfo>& before) {
    size_t i = 0;
    for (uint16_t cy = block.y; cy < block.y + block.rows; ++cy) {
        for (uint16_t cx = block.x; cx < block.x + block.columns; ++cx) {
            world.grid.At(cx, cy) = before[i++];
        }
    }
}

TSiteLevel FirstSiteLevel(const TNewSite& site) {
    TSiteLevel level;
    level.width = site.width;
    level.height = site.height;
    level.level = 0;
    level.levelCount = site.levels;
    level.siteLocation = site.entrance;
    level.siteCell = site.entranceCell;
    return level;
}

// 6. The entrance gets stairs down to the site's arrival cell.
void LinkSite(CWorld& world, CLoc& entranceLoc, const TNewSite& site, vek::TPoint arrival) {
    uint16_t siteX = 0;
    uint16_t siteY = 0;
    if (!world.FindLocation(site.name, siteX, siteY, CWorld::kFindByFile)) {
        throw vek::CException(L"CWorld::CreateDungeonSite", kSource, __LINE__, L"Location not found: " + site.name);
    }
    // A site has no file to be read again from: both locations go into
    // saved games from now on, or the site and its stairs would be lost.
    CLoc& siteLoc = world.LoadLocAt(siteX, siteY);
    siteLoc.SetFlags(siteLoc.GetFlags() | kLocSaved);
    if ((entranceLoc.GetFlags() & kLocEntered) == 0) {
        entranceLoc.SetFlags(entranceLoc.GetFlags() | kLocSaved);
    }
    const auto x = static_cast<uint16_t>(site.entranceCell.x);
    const auto y = static_cast<uint16_t>(site.entranceCell.y);
    entranceLoc.SetSpecialObject(x, y, kSpecialPassage, kStairsDown,
                                 (static_cast<uint32_t>(arrival.y & 0xFFFF) << 16) | (arrival.x & 0xFFFF), site.name);
}

// Puts the game's current location back however the preparing ends.
class CCurrentLocRestore {
public:
    CCurrentLocRestore() : m_previous(g_gameData != nullptr ? g_gameData->GetCurrentLoc() : nullptr) {}
    CCurrentLocRestore(const CCurrentLocRestore&) = delete;
    CCurrentLocRestore& operator=(const CCurrentLocRestore&) = delete;
    ~CCurrentLocRestore() {
        if (g_gameData != nullptr) {
            g_gameData->SetCurrentLoc(m_previous);
        }
    }

private:
    CLoc* m_previous;
};

} // namespace

// --- The records -----------------------------------------------------------------------------

TWorldLocInfo::~TWorldLocInfo() = default;

bool TWorldLocInfo::HoldsSavedLocation() const {
    return loc != nullptr && loc->GetWorldCell() == this && (loc->GetFlags() & (kLocEntered | kLocSaved)) != 0;
}

TWorldInfo::TWorldInfo() { TWorldInfo::Init(); }

TWorldInfo::~TWorldInfo() = default;

void TWorldInfo::Init() {
    width = kDefaultSize;
    height = kDefaultSize;
    reserved = {};
    partFactor = 1;
    languages = L"en pl";
    grid.Resize(width, height);
    for (uint16_t y = 0; y < height; ++y) {
        for (uint16_t x = 0; x < width; ++x) {
            InitCell(x, y);
        }
    }
}

void TWorldInfo::InitCell(uint16_t x, uint16_t y) {
    TWorldLocInfo& cell = grid.At(x, y);
    cell.worldX = x;
    cell.worldY = y;
    cell.width = TWorldLocInfo::kCellWidth;
    cell.height = TWorldLocInfo::kCellHeight;
    cell.randomKind = kWorldFixed;
    cell.shown = 1;
    cell.terrainType = 0;
    cell.nameKey = vek::Format(L"%u,%u", static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    cell.flags = kWorldCellNew;
    cell.text4.clear();
    cell.name.clear();
    cell.fileName.clear();
    cell.towerFlag = 0;
    cell.values16 = {};
    if (x >= GetFirstPartWidth() || y >= height) {
        cell.shown = 0;
        cell.flags = 0;
        cell.terrainType = kHiddenTerrain;
    }
}

void TWorldInfo::Resize(uint16_t widthUnits, uint16_t newHeight) {
    const uint32_t newWidth = static_cast<uint32_t>(widthUnits) * GetPartFactor();
    if (newWidth > 0xFFFF) {
        throw vek::CException(L"TWorldInfo::Resize", kSource, __LINE__,
                              vek::Format(L"A world of %u columns is too wide", newWidth));
    }
    vek::CMap<TWorldLocInfo> cells;
    cells.Resize(static_cast<uint16_t>(newWidth), newHeight);
    const uint16_t keptWidth = std::min<uint16_t>(width, static_cast<uint16_t>(newWidth));
    const uint16_t keptHeight = std::min(height, newHeight);
    for (uint16_t y = 0; y < keptHeight; ++y) {
        for (uint16_t x = 0; x < keptWidth; ++x) {
            cells.At(x, y) = grid.At(x, y);
        }
    }
    grid.Swap(cells);
    width = static_cast<uint16_t>(newWidth);
    height = newHeight;
    for (uint16_t y = 0; y < height; ++y) {
        for (uint16_t x = 0; x < width; ++x) {
            if (x >= keptWidth || y >= keptHeight) {
                InitCell(x, y);
            }
        }
    }
}

// --- The world object ----------------------------------------------------------------------

CWorld::CWorld() : m_siteLevelMaker(GenerateSiteLevel) {}

CWorld::~CWorld() {
    DeleteLocations();
    if (g_gameData != nullptr && g_gameData->GetWorld() == this) {
        g_gameData->SetWorld(nullptr);
    }
}

void CWorld::DeleteLocations() {
    for (uint16_t y = 0; y < grid.GetHeight(); ++y) {
        for (uint16_t x = 0; x < grid.GetWidth(); ++x) {
            grid.At(x, y).loc = nullptr;
        }
    }
    for (const std::unique_ptr<CLoc>& loc : m_locations) {
        ForgetIfCurrent(loc.get());
    }
    m_locations.clear();
}

void CWorld::Init() {
    DeleteLocations();
    TWorldInfo::Init();
}

void CWorld::Resize(uint16_t widthUnits, uint16_t newHeight) {
    // Where each location starts, to bind it again to the new cells.
    std::vector<std::pair<CLoc*, vek::TPoint>> starts;
    for (const std::unique_ptr<CLoc>& loc : m_locations) {
        uint16_t x = 0;
        uint16_t y = 0;
        FindCell(loc->GetWorldCell(), x, y);
        starts.emplace_back(loc.get(), vek::TPoint{x, y});
    }
    TWorldInfo::Resize(widthUnits, newHeight);
    for (uint16_t y = 0; y < height; ++y) {
        for (uint16_t x = 0; x < width; ++x) {
            grid.At(x, y).loc = nullptr;
        }
    }
    std::vector<std::unique_ptr<CLoc>> kept;
    for (std::unique_ptr<CLoc>& loc : m_locations) {
        const auto start =
            std::find_if(starts.begin(), starts.end(), [&](const auto& s) { return s.first == loc.get(); });
        if (start->second.x < width && start->second.y < height) {
            const auto x = static_cast<uint16_t>(start->second.x);
            const auto y = static_cast<uint16_t>(start->second.y);
            loc->SetWorldCell(&grid.At(x, y));
            BindBlock(loc.get(), x, y);
            kept.push_back(std::move(loc));
        } else {
            ForgetIfCurrent(loc.get());
        }
    }
    m_locations.swap(kept);
}

// --- Finding cells -------------------------------------------------------------------------

bool CWorld::FindLocation(const std::wstring& name, uint16_t& x, uint16_t& y, uint32_t mode) const {
    for (uint16_t row = 0; row < height; ++row) {
        for (uint16_t column = 0; column < width; ++column) {
            const TWorldLocInfo& cell = grid.At(column, row);
            if (vek::equals(mode == kFindByFile ? cell.fileName : cell.nameKey, name)) {
                x = column;
                y = row;
                return true;
            }
        }
    }
    return false;
}

bool CWorld::FindLocationByName(const std::wstring& name, uint16_t& x, uint16_t& y) const {
    return FindLocation(name, x, y, vek::EndsWithNoCase(L".map", name) ? kFindByFile : kFindByKey);
}

bool CWorld::GetLocInfo(const std::wstring& fileName, TWorldLocInfo& info) const {
    uint16_t x = 0;
    uint16_t y = 0;
    if (!FindLocation(fileName, x, y, kFindByFile)) {
        return false;
    }
    info = grid.At(x, y);
    return true;
}

uint16_t CWorld::FindLocStartX(uint16_t x, uint16_t y) const {
    const std::wstring& key = grid.At(x, y).nameKey;
    while (x > 0 && SameName(grid.At(x - 1, y).nameKey, key)) {
        --x;
    }
    return x;
}

uint16_t CWorld::FindLocStartY(uint16_t x, uint16_t y) const {
    const std::wstring& key = grid.At(x, y).nameKey;
    while (y > 0 && SameName(grid.At(x, y - 1).nameKey, key)) {
        --y;
    }
    return y;
}

vek::TPoint CWorld::FindLocStart(uint16_t x, uint16_t y) const {
    const uint16_t firstX = FindLocStartX(x, y);
    return {firstX, FindLocStartY(firstX, y)};
}

std::vector<vek::TPoint> CWorld::LocBlock(uint16_t firstX, uint16_t firstY) const {
    const TWorldLocInfo& first = grid.At(firstX, firstY);
    const int32_t columns = std::max(1, first.width / TWorldLocInfo::kCellWidth);
    const int32_t rows = std::max(1, first.height / TWorldLocInfo::kCellHeight);
    std::vector<vek::TPoint> cells;
    for (int32_t y = firstY; y < std::min<int32_t>(firstY + rows, height); ++y) {
        for (int32_t x = firstX; x < std::min<int32_t>(firstX + columns, width); ++x) {
            const bool isFirst = x == firstX && y == firstY;
            if (isFirst ||
                SameName(grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)).nameKey, first.nameKey)) {
                cells.push_back({x, y});
            }
        }
    }
    return cells;
}

std::vector<const TWorldLocInfo*> CWorld::CollectLocations() const {
    std::vector<const TWorldLocInfo*> cells;
    for (uint16_t y = 0; y < height; ++y) {
        for (uint16_t x = 0; x < width; ++x) {
            const TWorldLocInfo& cell = grid.At(x, y);
            if (cell.shown != 0 && cell.randomKind != kWorldRandom) {
                cells.push_back(&cell);
            }
        }
    }
    return cells;
}

uint32_t CWorld::GetLocationIndex(uint16_t x, uint16_t y) const {
    const vek::TPoint first = FindLocStart(x, y);
    return static_cast<uint32_t>(width) * static_cast<uint32_t>(first.y) + static_cast<uint32_t>(first.x);
}

bool CWorld::FindCell(const TWorldLocInfo* cell, uint16_t& x, uint16_t& y) const {
    const TWorldLocInfo* cells = grid.Data();
    const size_t count = static_cast<size_t>(grid.GetWidth()) * grid.GetHeight();
    const std::less<const TWorldLocInfo*> before;
    if (cell == nullptr || cells == nullptr || before(cell, cells) || !before(cell, cells + count)) {
        return false;
    }
    const auto index = static_cast<size_t>(cell - cells);
    x = static_cast<uint16_t>(index % grid.GetWidth());
    y = static_cast<uint16_t>(index / grid.GetWidth());
    return true;
}

// --- Locations -----------------------------------------------------------------------------

void CWorld::BindBlock(CLoc* loc, uint16_t firstX, uint16_t firstY) {
    for (const vek::TPoint& cell : LocBlock(firstX, firstY)) {
        grid.At(static_cast<uint16_t>(cell.x), static_cast<uint16_t>(cell.y)).loc = loc;
    }
}

CLoc& CWorld::Adopt(std::unique_ptr<CLoc> loc, uint16_t firstX, uint16_t firstY) {
    loc->SetWorldCell(&grid.At(firstX, firstY));
    BindBlock(loc.get(), firstX, firstY);
    m_locations.push_back(std::move(loc));
    return *m_locations.back();
}

void CWorld::Discard(const CLoc* loc) {
    // Preparing may have made other locations meanwhile: not the last one.
    std::erase_if(m_locations, [&](const std::unique_ptr<CLoc>& owned) { return owned.get() == loc; });
}

vek::TPoint CWorld::FirstCellAt(uint16_t x, uint16_t y) const {
    grid.At(x, y); // a cell outside is the grid's error
    return FindLocStart(x, y);
}

CLoc& CWorld::LoadLocAt(uint16_t x, uint16_t y) {
    const vek::TPoint first = FirstCellAt(x, y);
    const auto firstX = static_cast<uint16_t>(first.x);
    const auto firstY = static_cast<uint16_t>(first.y);
    TWorldLocInfo& cell = grid.At(firstX, firstY);
    if (cell.loc != nullptr) {
        return *cell.loc;
    }
    CLoc& loc = Adopt(std::make_unique<CLoc>(), firstX, firstY);
    try {
        const CCurrentLocRestore restore;
        if (g_gameData != nullptr) {
            g_gameData->SetCurrentLoc(&loc);
        }
        PreloadWorldLoc(loc);
    } catch (...) {
        // A location that could not be prepared is not kept half made.
        BindBlock(nullptr, firstX, firstY);
        Discard(&loc);
        throw;
    }
    return loc;
}

CLoc& CWorld::MakeLocAt(uint16_t x, uint16_t y) {
    grid.At(x, y); // a cell outside is the grid's error
    const vek::TPoint first = FindLocStart(x, y);
    const auto firstX = static_cast<uint16_t>(first.x);
    const auto firstY = static_cast<uint16_t>(first.y);
    CLoc* made = grid.At(firstX, firstY).loc;
    return made != nullptr ? *made : Adopt(std::make_unique<CLoc>(), firstX, firstY);
}

CLoc& CWorld::LoadLocFileAt(uint16_t x, uint16_t y) {
    const vek::TPoint first = FirstCellAt(x, y);
    TWorldLocInfo& cell = grid.At(static_cast<uint16_t>(first.x), static_cast<uint16_t>(first.y));
    const bool made = cell.loc == nullptr;
    CLoc& loc = made ? Adopt(std::make_unique<CLoc>(), static_cast<uint16_t>(first.x), static_cast<uint16_t>(first.y))
                     : *cell.loc;
    if ((loc.GetFlags() & kLocLayoutPresent) != 0) {
        return loc;
    }
    try {
        loc.LoadFromFile(kLocationDir, cell.fileName, true, false, true);
    } catch (...) {
        if (made) {
            BindBlock(nullptr, static_cast<uint16_t>(first.x), static_cast<uint16_t>(first.y));
            Discard(&loc);
        }
        throw;
    }
    return loc;
}

bool CWorld::ReadyLoc(const std::wstring& name, uint16_t x, uint16_t y, uint16_t entryX, uint16_t entryY, uint8_t mode,
                      const std::wstring& portal) {
    if (!name.empty() && !FindLocationByName(name, x, y)) {
        throw vek::CException(L"CWorld::ReadyLoc", kSource, __LINE__, L"Location not found: " + name);
    }
    grid.At(x, y); // a cell outside is the grid's error, before anything changes
    CHero* hero = g_gameData != nullptr ? g_gameData->GetHero() : nullptr;
    CLoc* current = g_gameData != nullptr ? g_gameData->GetCurrentLoc() : nullptr;
    uint16_t currentX = 0;
    uint16_t currentY = 0;
    if (hero != nullptr && current != nullptr && FindCell(current->GetWorldCell(), currentX, currentY)) {
        const vek::TPoint first = FindLocStart(currentX, currentY);
        hero->worldX = static_cast<uint16_t>(first.x);
        hero->worldY = static_cast<uint16_t>(first.y);
    }
    TArrival arrival;
    arrival.previous = current;
    if (hero != nullptr) {
        arrival.previousX = hero->worldX;
        arrival.previousY = hero->worldY;
    }
    CLoc& loc = LoadLocAt(x, y);
    if (!portal.empty() && !FindWorldPortal(loc, portal, entryX, entryY)) {
        throw vek::CException(L"CWorld::ReadyLoc", kSource, __LINE__, L"Portal not found: " + portal);
    }
    return EnterWorldLoc(loc, entryX, entryY, mode, arrival);
}

bool CWorld::ReadyLocAt(uint32_t x, uint32_t y, const std::wstring& name, uint16_t entryX, uint16_t entryY,
                        uint8_t mode, const std::wstring& portal) {
    if (x < 0xFFFF && y < 0xFFFF) {
        return ReadyLoc(L"", static_cast<uint16_t>(x), static_cast<uint16_t>(y), entryX, entryY, mode, portal);
    }
    // Without a name the cell is taken as it stands, so the grid refuses it;
    // a coordinate beyond 16 bits must not wrap into it.
    auto narrow = [](uint32_t v) { return static_cast<uint16_t>(std::min<uint32_t>(v, 0xFFFF)); };
    return ReadyLoc(name, narrow(x), narrow(y), entryX, entryY, mode, portal);
}

void CWorld::CreateTestWorld(const std::wstring& fileName) {
    auto loc = std::make_unique<CLoc>();
    loc->LoadFromFile(L"", fileName, true, false, false);
    DeleteLocations();
    texts = {L"TestWorld", L"", L"", L"", L""};
    width = 1;
    height = 1;
    reserved = {};
    partFactor = 1;
    languages = L"en pl";
    grid.Resize(1, 1);
    InitCell(0, 0);
    TWorldLocInfo& cell = grid.At(0, 0);
    cell.name = loc->GetName();
    cell.fileName = loc->GetFileName();
    cell.width = loc->GetWidth();
    cell.height = loc->GetHeight();
    cell.terrainType = loc->GetTerrainType();
    Adopt(std::move(loc), 0, 0);
}

// --- Dungeon sites ---------------------------------------------------------------------------

std::optional<uint32_t> CWorld::SiteNumberOf(const std::wstring& fileName) {
    const size_t prefix = std::wstring(kSitePrefix).size();
    if (fileName.size() <= prefix || fileName.size() > prefix + 5 || !vek::StartsWithNoCase(kSitePrefix, fileName) ||
        !std::all_of(fileName.begin() + static_cast<std::ptrdiff_t>(prefix), fileName.end(),
                     [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
        return std::nullopt;
    }
    return vek::WcsToUL(fileName.c_str() + prefix, nullptr, 10);
}

std::wstring CWorld::SiteDisplayName(const std::wstring& format, uint32_t number) {
    return format.empty() ? vek::Format(L"%s%u", kSitePrefix, number) : vek::Format(format, number);
}

uint32_t CWorld::NextDungeonSiteNumber() const {
    uint32_t highest = 0;
    for (uint16_t y = 0; y < height; ++y) {
        for (uint16_t x = 0; x < width; ++x) {
            highest = std::max(highest, SiteNumberOf(grid.At(x, y).fileName).value_or(0));
        }
    }
    return highest + 1;
}

void CWorld::SetSiteLevelMaker(TSiteLevelMaker maker) {
    m_siteLevelMaker = maker ? std::move(maker) : TSiteLevelMaker(GenerateSiteLevel);
}

void CWorld::CreateDungeonSite(uint16_t siteWidth, uint16_t siteHeight, uint16_t levels, const std::wstring& entrance,
                               uint16_t x, uint16_t y) {
    const wchar_t* const function = L"CWorld::CreateDungeonSite";
    CheckSiteSize(siteWidth, siteHeight, levels);
    uint16_t entranceX = 0;
    uint16_t entranceY = 0;
    if (!FindLocationByName(entrance, entranceX, entranceY)) {
        throw vek::CException(function, kSource, __LINE__, L"Location not found: " + entrance);
    }
    const uint32_t number = NextDungeonSiteNumber();
    if (number > 0xFFFF) {
        throw vek::CException(function, kSource, __LINE__, L"The world holds as many dungeon sites as it can");
    }
    TNewSite wanted{vek::Format(L"%s%u", kSitePrefix, number), siteWidth, siteHeight, levels, entrance, {x, y}};
    const TSiteBlock block = FindFreeBlock(*this, wanted);

    CLoc& entranceLoc = LoadLocAt(entranceX, entranceY);
    if (!entranceLoc.IsInside(x, y)) {
        throw vek::CException(function, kSource, __LINE__,
                              vek::Format(L"The entrance (%u, %u) lies outside %s", static_cast<uint32_t>(x),
                                          static_cast<uint32_t>(y), entrance));
    }
    const std::wstring displayName = SiteDisplayName(
        g_gameData != nullptr ? g_gameData->GetStrings().GetLocName(kSiteNameKey, true) : std::wstring(), number);

    // 5. The site's first level is made; the old records come back when it
    // cannot be.
    const std::vector<TWorldLocInfo> before = WriteSiteRecords(*this, block, wanted);
    CLoc& site = Adopt(std::make_unique<CLoc>(), block.x, block.y);
    vek::TPoint arrival;
    try {
        arrival = m_siteLevelMaker(site, FirstSiteLevel(wanted));
    } catch (...) {
        Discard(&site);
        RestoreRecords(*this, block, before);
        throw;
    }
    LinkSite(*this, entranceLoc, wanted, arrival);
    if (g_gameData != nullptr) {
        g_gameData->GetStrings().AddPlaceName(vek::ucase(wanted.name), displayName);
    }
}
