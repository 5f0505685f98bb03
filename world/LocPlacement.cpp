// The placement passes that fill a random location by depth: random items,
// creature groups and patches of growing ingredients. Each draws from the
// game's generator; what is drawn is worked out in gen/Placement.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Geometry.h"
#include "data/GameData.h"
#include "rules/Hero.h"
#include "world/GenServices.h"
#include "world/Loc.h"
#include "world/gen/Draw.h"
#include "world/gen/Placement.h"

namespace {

const wchar_t* const kSource = L"Loc";

// Groups a location gets when not in site mode.
constexpr int32_t kEncounterGroups = 20;
// Site mode keeps to the generated part, left of the hand-made strip and the
// column that joins it.
constexpr int32_t kSiteModeRightMargin = 12;
// Ingredient patches: tries, patches, the fewest free cells of a patch, and
// the chance of each cell of a patch whose nine cells are all free.
constexpr int32_t kPatchTries = 50;
constexpr int32_t kMostPatches = 12;
constexpr int32_t kFewestPatchCells = 5;
constexpr int32_t kPatchCells = 9;
// A growing spot: alive.
constexpr uint32_t kSpotAlive = 1;
// Random items: a passable cell of a whole location gets one with r(101) < 2.
constexpr int32_t kCellItemChance = 2;

const std::vector<TItemInfo>& ItemTable() { return GenServices().Tables().items; }

gen::CDraw GameDraw() { return gen::CDraw(GenServices().GameRandom()); }

// The cells a pass may use. A cell the hero cannot walk to is passed over
// as one that cannot be walked on, so that where there is none the draws
// are those of a pass over every cell.
class CPlacementArea {
public:
    CPlacementArea(const CLoc& loc, std::span<const uint8_t> reached, const wchar_t* function)
        : m_width(loc.GetWidth()), m_reached(reached) {
        if (!reached.empty() && reached.size() != static_cast<size_t>(loc.GetWidth()) * loc.GetHeight()) {
            throw vek::CException(
                function, kSource, __LINE__,
                vek::Format(L"%u reached cells given for a location of %ux%u", static_cast<uint32_t>(reached.size()),
                            static_cast<uint32_t>(loc.GetWidth()), static_cast<uint32_t>(loc.GetHeight())));
        }
    }
    bool Holds(int32_t x, int32_t y) const {
        return m_reached.empty() || m_reached[static_cast<size_t>(y) * m_width + static_cast<size_t>(x)] != 0;
    }

private:
    size_t m_width;
    std::span<const uint8_t> m_reached;
};

// In the area, nobody stands there, no special object is there, and it can
// be walked on.
bool IsFreeCell(const CLoc& loc, const CPlacementArea& area, int32_t x, int32_t y) {
    const auto cx = static_cast<uint16_t>(x);
    const auto cy = static_cast<uint16_t>(y);
    return area.Holds(x, y) && loc.GetCreatureIds().At(cx, cy) == kNoCreature &&
           loc.GetSpecialObjects().At(cx, cy).active == 0 && IsPassable(x, y, loc);
}

// A drawn free cell; after kEncounterCellDraws misses one of the free cells
// in row order; none when there is none.
std::optional<vek::TPoint> DrawFreeCell(const CLoc& loc, const CPlacementArea& area, gen::CDraw& draw) {
    for (int32_t tries = 0; tries < CLoc::kEncounterCellDraws; ++tries) {
        const int32_t x = draw.R(loc.GetWidth());
        const int32_t y = draw.R(loc.GetHeight());
        if (IsFreeCell(loc, area, x, y)) {
            return vek::TPoint{x, y};
        }
    }
    std::vector<vek::TPoint> free;
    for (int32_t y = 0; y < loc.GetHeight(); ++y) {
        for (int32_t x = 0; x < loc.GetWidth(); ++x) {
            if (IsFreeCell(loc, area, x, y)) {
                free.push_back({x, y});
            }
        }
    }
    if (free.empty()) {
        return std::nullopt;
    }
    return free[static_cast<size_t>(draw.R(static_cast<int32_t>(free.size())))];
}

} // namespace

void CLoc::PlaceRandomItems(float ratio, std::optional<vek::TPoint> cell, std::span<const uint8_t> reached) {
    const CPlacementArea area(*this, reached, L"CLoc::PlaceRandomItems");
    if (cell == vek::TPoint{0, 0}) {
        cell.reset();
    }
    if (m_width == 0 || m_height == 0 || (cell && !IsInside(cell->x, cell->y))) {
        return;
    }
    const gen::CRandomItemKinds kinds(ItemTable());
    const gen::TClassWeights weights = gen::ItemClassWeights(ratio);
    gen::CDraw draw = GameDraw();
    auto putOne = [&](int32_t x, int32_t y) {
        const std::optional<gen::TRandomItem> drawn = gen::DrawRandomItem(kinds, weights, ratio, draw);
        if (drawn) {
            PutItem(static_cast<uint16_t>(x), static_cast<uint16_t>(y),
                    CItem(drawn->type, drawn->count, true, drawn->named));
        }
    };
    if (cell) {
        const int32_t count = gen::DrawCellItemCount(draw);
        for (int32_t i = 0; i < count; ++i) {
            putOne(cell->x, cell->y);
        }
        return;
    }
    for (int32_t y = 0; y < m_height; ++y) {
        for (int32_t x = 0; x < m_width; ++x) {
            if (area.Holds(x, y) && IsPassable(x, y, *this) && draw.R(101) < kCellItemChance) {
                putOne(x, y);
            }
        }
    }
}

void CLoc::PlaceEncounters(float ratio, bool siteMode, std::span<const uint8_t> reached) {
    const CPlacementArea area(*this, reached, L"CLoc::PlaceEncounters");
    const std::span<const TGroupTableEntry> groups = GenServices().GroupTable();
    const std::optional<gen::TGroupBand> band = gen::EncounterBand(ratio, groups.size());
    if (!band || m_width == 0 || m_height == 0) {
        return;
    }
    gen::CDraw draw = GameDraw();
    auto place = [&](vek::TPoint cell) {
        const auto index = static_cast<size_t>(gen::DrawGroup(*band, draw));
        PlaceNear(1, cell, groups[index].monsterType);
    };
    if (!siteMode) {
        for (int32_t group = 0; group < kEncounterGroups; ++group) {
            const std::optional<vek::TPoint> cell = DrawFreeCell(*this, area, draw);
            if (!cell) {
                return;
            }
            place(*cell);
        }
        return;
    }
    const CHero* hero = g_gameData != nullptr ? g_gameData->GetHero() : nullptr;
    const int64_t heroX = hero != nullptr ? hero->x : 0;
    const int64_t heroY = hero != nullptr ? hero->y : 0;
    std::vector<vek::TPoint> candidates;
    for (int32_t y = 1; y <= m_height - 2; ++y) {
        for (int32_t x = 1; x <= m_width - kSiteModeRightMargin; ++x) {
            const bool awayFromHero = x < heroX || (heroX == 0 && x > 20) || y < heroY || (heroY == 0 && x > 15);
            if (awayFromHero && area.Holds(x, y) &&
                m_creatureIds.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)) == kNoCreature &&
                IsPassable(x, y, *this)) {
                candidates.push_back({x, y});
            }
        }
    }
    if (!candidates.empty()) {
        place(candidates[static_cast<size_t>(draw.R(static_cast<int32_t>(candidates.size())))]);
    }
}

void CLoc::PlaceIngredientPatches(std::span<const uint8_t> reached) {
    const CPlacementArea area(*this, reached, L"CLoc::PlaceIngredientPatches");
    gen::CDraw draw = GameDraw();
    const std::vector<uint16_t> ingredients = gen::DrawIngredients(ItemTable(), draw);
    // A centre keeps a cell of room to every edge: narrower locations get none.
    if (m_width < 4 || m_height < 4) {
        return;
    }
    int32_t patches = 0;
    for (int32_t tries = 0; tries < kPatchTries && patches < kMostPatches; ++tries) {
        const vek::TPoint centre{draw.R(m_width - 3) + 2, draw.R(m_height - 3) + 2};
        std::array<bool, kPatchCells> fits{};
        int32_t count = 0;
        for (uint8_t direction = 0; direction < kPatchCells; ++direction) {
            const vek::TPoint cell = vek::MoveInDirection(direction, centre);
            fits[direction] =
                area.Holds(cell.x, cell.y) &&
                m_specialObjects.At(static_cast<uint16_t>(cell.x), static_cast<uint16_t>(cell.y)).active == 0 &&
                IsPassable(cell.x, cell.y, *this);
            count += fits[direction] ? 1 : 0;
        }
        if (count < kFewestPatchCells) {
            continue;
        }
        // No ingredient to draw from: the pass ends where the draw would be.
        if (ingredients.empty()) {
            return;
        }
        const uint16_t ingredient = ingredients[static_cast<size_t>(draw.R(static_cast<int32_t>(ingredients.size())))];
        for (uint8_t direction = 0; direction < kPatchCells; ++direction) {
            if (!fits[direction] || (count == kPatchCells && draw.R(6) > 3)) {
                continue;
            }
            const vek::TPoint cell = vek::MoveInDirection(direction, centre);
            SetSpecialObject(static_cast<uint16_t>(cell.x), static_cast<uint16_t>(cell.y), kSpecialGrowingSpot,
                             ingredient, kSpotAlive, L"");
        }
        ++patches;
    }
}
