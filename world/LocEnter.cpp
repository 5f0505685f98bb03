// Putting the hero into a location.
#include <optional>

#include "VEKLib/Exception.h"
#include "VEKLib/Geometry.h"
#include "VEKLib/Random.h"
#include "data/GameData.h"
#include "rules/Hero.h"
#include "world/Loc.h"

namespace {

// The hero is put on columns 1 to 18 and rows 1 to 13: off the border of a
// location of one screen.
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

std::optional<vek::TPoint> FirstFreeForHero(const CLoc& loc) {
    for (int32_t y = 1; y <= kLastRow; ++y) {
        for (int32_t x = 1; x <= kLastColumn; ++x) {
            if (IsFreeForHero(loc, {x, y})) {
                return vek::TPoint{x, y};
            }
        }
    }
    return std::nullopt;
}

} // namespace

void CLoc::PlaceHeroRandomly() {
    if (g_gameData == nullptr || g_gameData->GetHero() == nullptr) {
        return;
    }
    // Refused at once when no cell will do, rather than drawing for ever.
    const std::optional<vek::TPoint> first = FirstFreeForHero(*this);
    if (!first) {
        throw vek::CException(L"CLoc::PlaceHeroRandomly", L"Loc", __LINE__,
                              L"No free cell for the hero in location " + m_name);
    }
    vek::TPoint cell = *first;
    for (uint32_t draw = 0; draw < kMostDraws; ++draw) {
        vek::TPoint drawn;
        drawn.x = vek::RandomRange(0, kLastColumn - 1) + 1;
        drawn.y = vek::RandomRange(0, kLastRow - 1) + 1;
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
