// The item piles of a location's cells, and the gem transformer: three gems
// of one type put on it become one of the next type.
#include <algorithm>
#include <limits>
#include <ostream>

#include "VEKLib/Console.h"
#include "VEKLib/Format.h"
#include "world/Loc.h"

namespace {

constexpr uint32_t kMaxCount = std::numeric_limits<uint32_t>::max();

// The last type of each group of five (103, 108, ...) has no next type in
// its group and is never transformed.
bool IsTransformable(uint16_t type) {
    return type >= kFirstGem && type < kLastGem && (static_cast<int32_t>(type) - 103) % 5 != 0;
}

void Line(const std::wstring& text) {
    std::wostream& out = vek::ConsoleOut();
    out << text << L'\n';
    out.flush();
}

} // namespace

bool CLoc::PutItem(uint16_t x, uint16_t y, const CItem& item) {
    if (item.count == 0) {
        return false;
    }
    std::vector<CItem>& pile = m_items.At(x, y);
    const TSpecialObject& special = m_specialObjects.At(x, y);
    const bool transformer =
        special.active != 0 && special.kind == kSpecialTransformer && item.type >= kFirstGem && item.type <= kLastGem;
    const auto equal = std::find_if(pile.begin(), pile.end(), [&item](const CItem& e) { return e.StacksWith(item); });
    if (equal != pile.end()) {
        equal->count = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{equal->count} + item.count, kMaxCount));
    } else {
        pile.push_back(item);
    }
    if (transformer) {
        TransformGems(x, y);
    }
    return true;
}

void CLoc::TransformGems(uint16_t x, uint16_t y) {
    Line(L"Gem transformation started.");
    std::vector<uint16_t> candidates;
    {
        const std::vector<CItem>& pile = m_items.At(x, y);
        for (uint16_t type = kFirstGem; type < kLastGem; ++type) {
            const bool held = std::any_of(pile.begin(), pile.end(), [type](const CItem& e) { return e.type == type; });
            if (held && IsTransformable(type)) {
                candidates.push_back(type);
            }
        }
    }
    Line(vek::Format(L"%u type(s) on transformation list.", static_cast<uint32_t>(candidates.size())));
    for (const uint16_t type : candidates) {
        std::vector<CItem>& pile = m_items.At(x, y);
        // Many stacks that do not merge can hold more than a u32 together.
        uint64_t total = 0;
        for (const CItem& entry : pile) {
            if (entry.type == type) {
                total += entry.count;
            }
        }
        Line(vek::Format(L"Type 1 has %I64u total gem count.", total));
        if (total < 3) {
            continue;
        }
        const uint64_t made = total / 3;
        const uint64_t rest = total - 3 * made;
        Line(vek::Format(L"Transformation started, %I64u candidates, %I64u will remain.", made, rest));
        std::erase_if(pile, [type](const CItem& e) { return e.type == type; });
        // Each put may start a transformation of its own; a pile never holds
        // more than the largest count in one stack.
        PutItem(x, y,
                CItem(static_cast<uint16_t>(type + 1), static_cast<uint32_t>(std::min<uint64_t>(made, kMaxCount))));
        if (rest > 0) {
            PutItem(x, y, CItem(type, static_cast<uint32_t>(rest)));
        }
    }
}

void CLoc::TakeItem(uint16_t x, uint16_t y, uint16_t position, uint32_t quantity) {
    std::vector<CItem>& pile = m_items.At(x, y);
    if (position >= pile.size()) {
        return;
    }
    CItem& entry = pile[position];
    if (quantity != kAllItems && quantity < entry.count) {
        entry.count -= quantity;
    } else {
        pile.erase(pile.begin() + position);
    }
}

const CItem& CLoc::GetItem(uint16_t x, uint16_t y, uint32_t position) const {
    const std::vector<CItem>& pile = m_items.At(x, y);
    return position < pile.size() ? pile[position] : g_blankItem;
}

void CLoc::ClearPile(uint16_t x, uint16_t y, bool selective) {
    std::vector<CItem>& pile = m_items.At(x, y);
    if (selective) {
        std::erase_if(pile, [](const CItem& e) { return e.IsWornOut(); });
    } else {
        pile.clear();
    }
}

void CLoc::CollectItemCells(std::vector<vek::TPoint>& cells) const {
    for (uint16_t y = 0; y < m_height; ++y) {
        for (uint16_t x = 0; x < m_width; ++x) {
            const TSpecialObject& special = m_specialObjects.At(x, y);
            if (!m_items.At(x, y).empty() || (special.active != 0 && special.kind == kSpecialGrowingSpot)) {
                cells.push_back({x, y});
            }
        }
    }
}

uint64_t CLoc::CountMatchingItems(uint16_t x, uint16_t y, const TQuestItem& pattern,
                                  std::vector<TItemMatch>& matches) const {
    const std::vector<CItem>& pile = m_items.At(x, y);
    uint64_t total = 0;
    for (uint32_t position = 0; position < pile.size(); ++position) {
        const CItem& entry = pile[position];
        if (entry.count != 0 && pattern.Matches(entry)) {
            total += entry.count;
            matches.push_back({x, y, position, entry.count});
        }
    }
    return total;
}
