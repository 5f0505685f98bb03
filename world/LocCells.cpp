// Small services on a location's cells: random free cells, the explored
// area, passages by name, doors, effects, and the piles catching up with the
// time the hero was away.
#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <optional>

#include "VEKLib/Exception.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "rules/Hero.h"
#include "world/Loc.h"

namespace {

const wchar_t* const kSource = L"Loc";

// The catch-up: valuables vanish only after this long, remains lose one step
// of durability per this many seconds, and growing spots change on clocks
// that are multiples of kGrowthPeriod.
constexpr uint64_t kHour = 3600;
constexpr uint64_t kGrowthPeriod = 10;
// An item is valuable when it is money or its kind's value times its count
// reaches this.
constexpr uint64_t kValuableWorth = 10;
// Items of this category rot as remains do.
constexpr uint8_t kPerishableCategory = 19;
// The bit of a world cell's record flags that lets valuables vanish.
constexpr uint32_t kCellValuablesVanish = 4;
// A radius beyond any location's diagonal: larger ones change nothing.
constexpr uint64_t kMaxRadius = 1u << 17;

// Next() mod n, never negative; a missing generator draws 0.
uint32_t Draw(vek::CRandomGeneratorBase* generator, uint32_t n) {
    if (generator == nullptr) {
        return 0;
    }
    const int64_t draw = generator->Next();
    int64_t r = draw % static_cast<int64_t>(n);
    if (r < 0) {
        r += n;
    }
    return static_cast<uint32_t>(r);
}

// Next() mod n with the sign of the draw; a missing generator draws 0.
int32_t SignedDraw(vek::CRandomGeneratorBase* generator, int32_t n) {
    return generator == nullptr ? 0 : generator->Next() % n;
}

const TItemInfo* Kind(uint16_t type) {
    if (g_gameData == nullptr) {
        return nullptr;
    }
    const auto& items = g_gameData->GetTables().items;
    return type < items.size() ? &items[type] : nullptr;
}

bool IsValuable(const CItem& item) {
    if (item.count == 0) {
        return false;
    }
    if (item.type == CItem::kMoneyType) {
        return true;
    }
    const TItemInfo* kind = Kind(item.type);
    return kind != nullptr && uint64_t{kind->value} * item.count >= kValuableWorth;
}

bool Rots(const CItem& item) {
    if (item.type >= kCorpseBase) {
        return true;
    }
    const TItemInfo* kind = Kind(item.type);
    return kind != nullptr && kind->category == kPerishableCategory;
}

// Answers, for every pile at once, what a search from the pile's cell to the
// hero would (creatures do not block, both ends must be free): one flood from
// the hero, made when first asked.
class CHeroReach {
public:
    explicit CHeroReach(CLoc& loc) : m_loc(loc) {
        const CHero* hero = g_gameData != nullptr ? g_gameData->GetHero() : nullptr;
        if (hero != nullptr && hero->x < loc.GetWidth() && hero->y < loc.GetHeight()) {
            m_hero = vek::TPoint{static_cast<int32_t>(hero->x), static_cast<int32_t>(hero->y)};
        }
    }

    bool Reaches(vek::TPoint cell) {
        if (!m_hero) {
            return false;
        }
        if (cell == *m_hero) {
            return true;
        }
        if (!m_flooded) {
            Flood();
        }
        return Cell(cell) == kPathStart;
    }

private:
    uint16_t& Cell(vek::TPoint p) {
        return m_loc.GetPathGrid().At(static_cast<uint16_t>(p.x), static_cast<uint16_t>(p.y));
    }

    // Every free cell joined to the hero's becomes kPathStart.
    void Flood() {
        m_flooded = true;
        m_loc.RefreshPassability(kCreaturesDoNotBlock);
        if (Cell(*m_hero) != kPathFree) {
            return;
        }
        Cell(*m_hero) = kPathStart;
        std::deque<vek::TPoint> open{*m_hero};
        while (!open.empty()) {
            const vek::TPoint here = open.front();
            open.pop_front();
            for (const vek::TPoint step : DirectionSteps()) {
                const vek::TPoint next{here.x + step.x, here.y + step.y};
                if (m_loc.IsInside(next.x, next.y) && Cell(next) == kPathFree) {
                    Cell(next) = kPathStart;
                    open.push_back(next);
                }
            }
        }
    }

    CLoc& m_loc;
    std::optional<vek::TPoint> m_hero;
    bool m_flooded = false;
};

} // namespace

// --- Random cells ----------------------------------------------------------------------------------

vek::TPoint CLoc::PickRandomCell(vek::CRandomGeneratorBase* generator) const {
    if (generator == nullptr) {
        generator = vek::GetRandomGenerator();
    }
    constexpr int kTries = 10;
    for (int attempt = 0; attempt < kTries && m_width > 0 && m_height > 0; ++attempt) {
        vek::TPoint cell;
        // A negative draw names a cell outside: a miss like any other.
        cell.x = m_width > 1 ? SignedDraw(generator, m_width - 1) : 0;
        cell.y = m_height > 1 ? SignedDraw(generator, m_height - 1) : 0;
        if (IsPassable(cell.x, cell.y, *this)) {
            return cell;
        }
    }
    std::vector<vek::TPoint> passable;
    for (uint16_t y = 0; y < m_height; ++y) {
        for (uint16_t x = 0; x < m_width; ++x) {
            if (IsPassable(x, y, *this)) {
                passable.push_back({x, y});
            }
        }
    }
    if (passable.empty()) {
        throw vek::CException(L"CLoc::PickRandomCell", kSource, __LINE__,
                              L"CLoc::PickRandomCell - no more empty cells in location " + m_name);
    }
    const size_t count = passable.size();
    return passable[count > 1 ? Draw(generator, static_cast<uint32_t>(count - 1)) : 0];
}

// --- The explored area -------------------------------------------------------------------------------

void CLoc::RevealAll() { m_explored.Fill(255); }

void CLoc::RevealAround(int32_t x, int32_t y, uint32_t r) {
    uint64_t radius = r;
    if ((m_flags & kLocWideReveal) != 0) {
        radius = static_cast<uint64_t>(std::trunc(2.0 * r + 0.5)) + 2;
    }
    const auto reach = static_cast<int64_t>(std::min(radius, kMaxRadius));
    const int64_t top = std::max<int64_t>(0, int64_t{y} - reach - 1);
    const int64_t bottom = std::min<int64_t>(m_height, int64_t{y} + reach + 1);
    const int64_t left = std::max<int64_t>(0, int64_t{x} - reach - 1);
    const int64_t right = std::min<int64_t>(m_width, int64_t{x} + reach + 1);
    for (int64_t cy = top; cy < bottom; ++cy) {
        for (int64_t cx = left; cx < right; ++cx) {
            const int64_t dx = cx - x;
            const int64_t dy = cy - y;
            if (dx * dx + dy * dy <= reach * reach) {
                m_explored.At(static_cast<uint16_t>(cx), static_cast<uint16_t>(cy)) = 255;
            }
        }
    }
}

// --- Special objects found and made -------------------------------------------------------------------

std::wstring CLoc::SpecialObjectText(const TSpecialObject& object) {
    const std::vector<uint8_t>& bytes = object.GetBuffer();
    std::wstring text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return text;
}

std::optional<vek::TPoint> CLoc::FindPortal(const std::wstring& name) const {
    for (uint16_t y = 0; y < m_height; ++y) {
        for (uint16_t x = 0; x < m_width; ++x) {
            const TSpecialObject& object = m_specialObjects.At(x, y);
            if (object.active == 0 || object.kind != kSpecialPassage) {
                continue;
            }
            const std::vector<std::wstring> fields = vek::Split(SpecialObjectText(object), L'|');
            if (fields.size() >= 2 && vek::equals(fields[1], name)) {
                return vek::TPoint{x, y};
            }
        }
    }
    return std::nullopt;
}

void CLoc::CreateDoor(uint16_t x, uint16_t y, uint16_t appearance, bool locked, uint16_t key) {
    const uint32_t state = kDoorClosed | (locked ? kDoorLocked : 0);
    TSpecialObject door;
    door.active = 1;
    door.kind = kSpecialDoor;
    door.appearance = appearance;
    door.value = (state << 16) | key;
    m_specialObjects.At(x, y) = door;
}

// --- Effects ----------------------------------------------------------------------------------------------

void CLoc::AddEffect(const TLocEffect& effect) {
    std::erase_if(m_effects, [&effect](const TLocEffect& e) { return e.key == effect.key; });
    m_effects.push_back(effect);
}

// --- Time catching up ------------------------------------------------------------------------------------

void CLoc::CatchUpTime(uint64_t elapsed, const std::vector<vek::TPoint>* cells) {
    if (elapsed == 0 && g_gameData != nullptr) {
        elapsed = g_gameData->GetElapsedTime();
    }
    std::vector<vek::TPoint> collected;
    if (cells == nullptr) {
        CollectItemCells(collected);
        cells = &collected;
    }
    const bool valuablesWalkOff = elapsed > kHour && (WorldCellFlags() & kCellValuablesVanish) != 0;
    CHeroReach hero(*this);
    for (const vek::TPoint cell : *cells) {
        if (!IsInside(cell.x, cell.y)) {
            continue;
        }
        std::vector<CItem>& pile = m_items.At(static_cast<uint16_t>(cell.x), static_cast<uint16_t>(cell.y));
        if (pile.empty()) {
            continue;
        }
        if (valuablesWalkOff && std::any_of(pile.begin(), pile.end(), IsValuable) && hero.Reaches(cell)) {
            std::erase_if(pile, IsValuable);
        }
        for (CItem& item : pile) {
            if (!Rots(item)) {
                continue;
            }
            const uint64_t age = uint64_t{item.age} + elapsed;
            if (age >= kHour) {
                item.Deteriorate(
                    static_cast<uint32_t>(std::min<uint64_t>(age / kHour, std::numeric_limits<uint32_t>::max())));
            }
            item.age = static_cast<uint32_t>(age % kHour);
        }
        std::erase_if(pile, [](const CItem& item) { return item.IsWornOut(); });
    }

    const uint64_t clock = g_gameData != nullptr ? g_gameData->GetClock() : 0;
    if (clock % kGrowthPeriod != 0) {
        return;
    }
    auto isSpot = [this](vek::TPoint p) -> const TSpecialObject* {
        if (!IsInside(p.x, p.y)) {
            return nullptr;
        }
        const TSpecialObject& object = m_specialObjects.At(static_cast<uint16_t>(p.x), static_cast<uint16_t>(p.y));
        return object.active != 0 && object.kind == kSpecialGrowingSpot ? &object : nullptr;
    };
    for (const vek::TPoint cell : *cells) {
        const TSpecialObject* spot = isSpot(cell);
        if (spot == nullptr) {
            continue;
        }
        uint32_t all = 0;
        uint32_t same = 0;
        for (const vek::TPoint step : DirectionSteps()) {
            const TSpecialObject* neighbour = isSpot({cell.x + step.x, cell.y + step.y});
            if (neighbour != nullptr && neighbour->value == 1) {
                ++all;
                same += neighbour->appearance == spot->appearance ? 1 : 0;
            }
        }
        TSpecialObject& changed = m_specialObjects.At(static_cast<uint16_t>(cell.x), static_cast<uint16_t>(cell.y));
        if (changed.value == 0 && same == 3 && all == 3) {
            changed.value = 1;
        } else if (changed.value == 1 && (same < 2 || all > 3)) {
            changed.value = 0;
        }
    }
}
