// Preparing a location and putting the hero into it.
#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Geometry.h"
#include "VEKLib/Random.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "data/Globals.h"
#include "rules/Hero.h"
#include "world/Loc.h"
#include "world/World.h"

namespace {

const wchar_t* const kSource = L"Loc";

// The hero is put on columns 1 to 18 and rows 1 to 13: off the border of a
// location of one screen. A smaller location keeps its first row and column
// free of him as well, as far as it can.
constexpr int32_t kLastColumn = 18;
constexpr int32_t kLastRow = 13;
// Draws before the first free cell in row order is taken: a generator that
// keeps drawing taken cells must not hold the game up for ever.
constexpr uint32_t kMostDraws = 10000;

bool IsFreeForHero(const CLoc& loc, vek::TPoint cell) {
    if (!loc.IsInside(cell.x, cell.y)) {
        return false;
    }
    const auto x = static_cast<uint16_t>(cell.x);
    const auto y = static_cast<uint16_t>(cell.y);
    return (loc.GetObjects().At(x, y) == 0xFFFF || IsPassable(cell.x, cell.y, loc)) &&
           loc.GetCreatureIds().At(x, y) == kNoCreature;
}

// The columns (rows) from 1 on that the hero may be put on.
int32_t DrawSpan(int32_t size, int32_t last) { return std::min(last, size - 1); }

std::optional<vek::TPoint> FirstFreeForHero(const CLoc& loc, int32_t columns, int32_t rows) {
    for (int32_t y = 1; y <= rows; ++y) {
        for (int32_t x = 1; x <= columns; ++x) {
            if (IsFreeForHero(loc, {x, y})) {
                return vek::TPoint{x, y};
            }
        }
    }
    return std::nullopt;
}

bool IsTowerKey(const std::wstring& key) { return vek::StartsWithNoCase(kTowerStem, key); }

std::wstring NameKey(const CLoc* loc) {
    return loc != nullptr && loc->GetWorldCell() != nullptr ? loc->GetWorldCell()->nameKey : std::wstring();
}

vek::TPoint HeroCell(const CHero& hero) {
    return {static_cast<int32_t>(std::min<uint32_t>(hero.x, 0xFFFF)),
            static_cast<int32_t>(std::min<uint32_t>(hero.y, 0xFFFF))};
}

// Puts the previous current location back unless the entry is done.
class CEntryGuard {
public:
    explicit CEntryGuard(CLoc* previous) : m_previous(previous) {}
    CEntryGuard(const CEntryGuard&) = delete;
    CEntryGuard& operator=(const CEntryGuard&) = delete;
    ~CEntryGuard() {
        if (!m_done && g_gameData != nullptr) {
            g_gameData->SetCurrentLoc(m_previous);
        }
    }
    void Done() { m_done = true; }

private:
    CLoc* m_previous;
    bool m_done = false;
};

} // namespace

void CLoc::PlaceHeroRandomly() {
    if (g_gameData == nullptr || g_gameData->GetHero() == nullptr) {
        return;
    }
    // Draws stay within the location, so a small one is not drawn outside
    // for ever.
    const int32_t columns = DrawSpan(m_width, kLastColumn);
    const int32_t rows = DrawSpan(m_height, kLastRow);
    // Refused at once when no cell will do, rather than drawing for ever.
    const std::optional<vek::TPoint> first = FirstFreeForHero(*this, columns, rows);
    if (!first) {
        throw vek::CException(L"CLoc::PlaceHeroRandomly", kSource, __LINE__,
                              L"No free cell for the hero in location " + m_name);
    }
    vek::TPoint cell = *first;
    for (uint32_t draw = 0; draw < kMostDraws; ++draw) {
        vek::TPoint drawn;
        drawn.x = vek::RandomRange(0, columns - 1) + 1;
        drawn.y = vek::RandomRange(0, rows - 1) + 1;
        if (IsFreeForHero(*this, drawn)) {
            cell = drawn;
            break;
        }
    }
    CHero& hero = *g_gameData->GetHero();
    hero.x = static_cast<uint32_t>(cell.x);
    hero.y = static_cast<uint32_t>(cell.y);
    hero.headX = 0;
    hero.headY = 0;
}

// --- Preparing ---------------------------------------------------------------------------------------

void CLoc::Preload(bool randomAllowed, bool runOnInit) {
    const wchar_t* const function = L"CLoc::Preload";
    if ((m_flags & kLocLayoutPresent) != 0) {
        return;
    }
    if (m_worldCell == nullptr) {
        throw vek::CException(function, kSource, __LINE__, L"The location is not bound to a world cell: " + m_name);
    }
    const TWorldLocInfo& cell = *m_worldCell;
    if (cell.randomKind != kWorldFixed) {
        if (!randomAllowed) {
            throw vek::CException(function, kSource, __LINE__,
                                  L"Preloading random location '" + cell.name + L"' was not allowed.");
        }
        GenerateLoc();
    } else if (cell.fileName.empty()) {
        throw vek::CException(function, kSource, __LINE__,
                              vek::Format(L"File name not specified for non-random location at (%u, %u).",
                                          static_cast<uint32_t>(cell.worldX), static_cast<uint32_t>(cell.worldY)));
    } else {
        LoadFromFile(kLocationDir, cell.fileName, true, false, true);
    }
    if ((m_flags & kLocLayoutPresent) == 0) {
        throw vek::CException(function, kSource, __LINE__, L"Cannot load location: " + cell.fileName);
    }
    LoadScript(runOnInit);
}

// --- Entering ----------------------------------------------------------------------------------------

bool CLoc::Enter(uint16_t x, uint16_t y, uint8_t mode, const TArrival& arrival) {
    if (g_gameData == nullptr) {
        return false;
    }
    CGameData& game = *g_gameData;
    CHero* hero = game.GetHero();
    CLoc* const previous = arrival.previous;
    // An entry that would stop half way is refused before anything changes.
    CheckEncounterScripts();
    if (previous != nullptr && IsTowerKey(NameKey(previous)) && !IsTowerKey(NameKey(this))) {
        game.SetCurrentLevel(0);
    }
    CEntryGuard guard(game.GetCurrentLoc());
    BecomeCurrent(previous);
    const std::optional<vek::TPoint> heroWas =
        hero != nullptr && previous != nullptr && previous->IsInside(HeroCell(*hero).x, HeroCell(*hero).y)
            ? std::optional<vek::TPoint>(HeroCell(*hero))
            : std::nullopt;
    vek::TPoint entry = PrepareForHero(x, y, arrival, heroWas);
    if (hero != nullptr) {
        const std::optional<vek::TPoint> cell = TakeEntryCell(x, y, mode, arrival, entry, heroWas);
        if (!cell) {
            game.AddMessage(game.GetStrings().Get(L"STR_GAME_MSG_BUMP"));
            game.SetCurrentLoc(previous);
            guard.Done();
            return false;
        }
        entry = *cell;
        PutHero(*hero, previous, heroWas, entry);
    }
    guard.Done();
    // Within one location the creatures beside him are where they were.
    if (mode != kArriveRandom && heroWas && previous != this) {
        TakeFollowers(*previous, *heroWas, entry);
    }
    LeavePrevious(previous);
    SettleIn(entry);
    return true;
}

// 2. This location becomes the current one, and a question the previous
// one asked is no longer asked.
void CLoc::BecomeCurrent(CLoc* previous) {
    g_gameData->SetCurrentLoc(this);
    if (previous != nullptr) {
        previous->SetDirectionRequest(nullptr);
    }
    m_directionRequest.reset();
}

// 3. A random tower level is built for the hero as he comes, its arrival
// cell the entry; every other location is prepared.
vek::TPoint CLoc::PrepareForHero(uint16_t x, uint16_t y, const TArrival& arrival, std::optional<vek::TPoint> heroWas) {
    if (!IsTowerKey(NameKey(this)) || m_worldCell->randomKind != kWorldRandom) {
        Preload(true, true);
        return {x, y};
    }
    const CLoc* previous = arrival.previous;
    const TSpecialObject* under = heroWas ? &previous->GetSpecialObjects().At(static_cast<uint16_t>(heroWas->x),
                                                                              static_cast<uint16_t>(heroWas->y))
                                          : nullptr;
    if (under == nullptr || under->active == 0) {
        throw vek::CException(L"CLoc::Enter", kSource, __LINE__,
                              L"Location system inconsistency; no entrance found in " + arrival.name);
    }
    CGameData& game = *g_gameData;
    game.SetCurrentLevel(under->appearance == kTowerExit ? 0 : static_cast<uint16_t>(game.GetCurrentLevel() + 1));
    const vek::TPoint entry = CreateLocForTower();
    TSpecialObject& way = m_specialObjects.At(static_cast<uint16_t>(entry.x), static_cast<uint16_t>(entry.y));
    // The way back leads to the cell he came from.
    SetSpecialObject(static_cast<uint16_t>(entry.x), static_cast<uint16_t>(entry.y), way.kind, way.appearance,
                     (static_cast<uint32_t>(heroWas->y) << 16) | static_cast<uint32_t>(heroWas->x), NameKey(previous));
    return entry;
}

// 4. The cell the arrival mode gives him: a random free one, one over the
// world cell's border, or the cell asked for; none when it is refused (he
// cannot stand there, or somebody does, he himself included).
std::optional<vek::TPoint> CLoc::TakeEntryCell(uint16_t x, uint16_t y, uint8_t mode, const TArrival& arrival,
                                               vek::TPoint entry, std::optional<vek::TPoint> heroWas) {
    if (mode == kArriveRandom) {
        PlaceHeroRandomly();
        return HeroCell(*g_gameData->GetHero());
    }
    if (mode == kArriveCrossing) {
        entry = CrossingCell(static_cast<int16_t>(x), static_cast<int16_t>(y), arrival);
    }
    const uint16_t standing = IsInside(entry.x, entry.y)
                                  ? m_creatureIds.At(static_cast<uint16_t>(entry.x), static_cast<uint16_t>(entry.y))
                                  : kNoCreature;
    // From the world or a passage, a mark of the hero where he no longer
    // stands does not refuse him; the cell he stands on does (he would come
    // back where he is). A step over the border needs a cell without anybody.
    const bool ownCell = arrival.previous == this && heroWas == entry;
    const bool taken = standing != kNoCreature && (mode == kArriveCrossing || standing != kHeroCell || ownCell);
    if (!IsPassable(entry.x, entry.y, *this) || taken) {
        return std::nullopt;
    }
    return entry;
}

// Where a step over the world cell's border with that heading lands.
vek::TPoint CLoc::CrossingCell(int16_t headX, int16_t headY, const TArrival& arrival) const {
    const wchar_t* const function = L"CLoc::Enter";
    if ((headX < 0 && headY < 0) || (headX == 0 && headY == 0)) {
        throw vek::CException(function, kSource, __LINE__,
                              L"This should never happen... (both iHeadX and iHeadY are negative)");
    }
    const CHero& hero = *g_gameData->GetHero();
    const vek::TPoint first = FirstWorldCell();
    const int64_t targetX = int64_t{arrival.previousX} * TWorldLocInfo::kCellWidth + hero.x + headX -
                            int64_t{first.x} * TWorldLocInfo::kCellWidth;
    const int64_t targetY = int64_t{arrival.previousY} * TWorldLocInfo::kCellHeight + hero.y + headY -
                            int64_t{first.y} * TWorldLocInfo::kCellHeight;
    if (targetX < 0 || targetY < 0 || targetX >= m_width || targetY >= m_height) {
        throw vek::CException(function, kSource, __LINE__,
                              vek::Format(L"Hero coordinates (%u,%u) exceed location size (%ux%u). The author "
                                          L"should receive a mighty kick for this error!",
                                          static_cast<uint32_t>(targetX), static_cast<uint32_t>(targetY),
                                          static_cast<uint32_t>(m_width), static_cast<uint32_t>(m_height)));
    }
    return {static_cast<int32_t>(targetX), static_cast<int32_t>(targetY)};
}

// 4. He leaves his cell and stands on the entry cell.
void CLoc::PutHero(CHero& hero, CLoc* previous, std::optional<vek::TPoint> heroWas, vek::TPoint entry) {
    // Only a cell that still holds him is emptied: a level made anew in the
    // same location has other creatures where he stood.
    if (heroWas) {
        uint16_t& old =
            previous->m_creatureIds.At(static_cast<uint16_t>(heroWas->x), static_cast<uint16_t>(heroWas->y));
        if (old == kHeroCell) {
            old = kNoCreature;
        }
    }
    hero.x = static_cast<uint32_t>(entry.x);
    hero.y = static_cast<uint32_t>(entry.y);
    m_creatureIds.At(static_cast<uint16_t>(entry.x), static_cast<uint16_t>(entry.y)) = kHeroCell;
}

// 6. The previous location is left, also when it is this one, so that its
// time since leaving starts again.
void CLoc::LeavePrevious(CLoc* previous) {
    if (previous != nullptr) {
        previous->Exit();
    }
    g_gameData->SetCurrentLocExitTime(m_exitTime);
}

// 7-11. The view and the explored area follow him, the global "OnEnterLoc"
// runs, the entry encounter is rolled and the piles catch up with the time,
// the location joins his visited ones, and its "OnEnter" runs.
void CLoc::SettleIn(vek::TPoint entry) {
    CGameData& game = *g_gameData;
    CHero* hero = game.GetHero();
    game.CenterView();
    if (hero != nullptr) {
        RevealAround(entry.x, entry.y, kEntrySightRadius);
    }
    game.UpdateAutomapImage();
    RunOnEnterLoc();
    SetupGroups();
    CatchUpTime(0);
    m_flags |= kLocEntered;
    if (hero != nullptr) {
        std::vector<uint32_t>& visited = hero->visitedLocations;
        // Also a list that a saved game brought longer.
        while (visited.size() >= kMaxVisited) {
            visited.erase(visited.begin());
        }
        visited.push_back(LocationIndex());
    }
    RunOnEnter();
}

void CLoc::TakeFollowers(CLoc& previous, vek::TPoint heroWas, vek::TPoint entry) {
    // A large creature stands beside him on several cells; it comes once.
    std::vector<CMonster*> followers;
    for (uint8_t direction = 1; direction <= 8; ++direction) {
        const vek::TPoint cell = vek::MoveInDirection(direction, heroWas);
        if (!previous.IsInside(cell.x, cell.y)) {
            continue;
        }
        CMonster* creature = previous.GetCreatureAt(static_cast<uint16_t>(cell.x), static_cast<uint16_t>(cell.y));
        if (creature == nullptr || !creature->IsAlive() ||
            std::find(followers.begin(), followers.end(), creature) != followers.end() ||
            (creature->GetKind() == CGroupMember::kKindNpc && !creature->IsFriendly(CGroupMember::kHeroId))) {
            continue;
        }
        followers.push_back(creature);
    }
    CGameData& game = *g_gameData;
    for (CMonster* creature : followers) {
        // It leaves the previous location's list: one location owns it.
        const uint16_t oldLocal = creature->localId;
        const uint32_t oldId = creature->globalId;
        std::unique_ptr<CMonster> moving(std::exchange(previous.m_creatures[oldLocal], nullptr));
        previous.ClearCreatureCells(*moving, oldLocal);
        const std::vector<uint32_t> friends = moving->friendly;
        const std::vector<uint32_t> foes = moving->hostile;
        const bool friendOfHero = moving->IsFriendly(CGroupMember::kHeroId);
        const bool foeOfHero = moving->IsHostile(CGroupMember::kHeroId);
        // The ids it knew name the creatures it left; only the hero stays.
        moving->ClearRelations();
        if (friendOfHero) {
            moving->friendly.push_back(CGroupMember::kHeroId);
        }
        if (foeOfHero) {
            moving->hostile.push_back(CGroupMember::kHeroId);
        }
        CMonster* placed = PlaceNear(entry, moving);
        if (placed == nullptr) {
            // No room beside him: it stays where it was.
            moving->friendly = friends;
            moving->hostile = foes;
            previous.m_creatures[oldLocal] = moving.release();
            previous.FillCreatureCells(*previous.m_creatures[oldLocal], oldLocal);
            continue;
        }
        previous.ForgetCreature(oldId);
        RenameEverywhere(oldId, placed->globalId);
        game.AddMessage(vek::Format(game.GetStrings().Get(L"STR_GAME_MSG_FOLLOW"), placed->GetName()));
    }
}
