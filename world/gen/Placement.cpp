#include "world/gen/Placement.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace gen {

namespace {

// A kind of this number stands for none.
constexpr uint16_t kNoKind = 0xFFFE;

// The count of gold: up to ratio x 250 coins. A ratio too small to make one
// coin gives one, without a draw over nothing.
uint32_t GoldCount(float ratio, CDraw& draw) {
    const float most = ratio * 250.0f;
    if (!(most >= 1.0f)) {
        return 1;
    }
    const float limit = static_cast<float>(std::numeric_limits<int32_t>::max());
    const auto n = static_cast<int32_t>(std::trunc(std::min(most, limit)));
    return static_cast<uint32_t>(draw.R(n)) + 1;
}

uint32_t DrawCount(const TItemKind& kind, float ratio, CDraw& draw) {
    if (kind.type == kGoldType) {
        return GoldCount(ratio, draw);
    }
    if (kind.category == kFoodCategory || kind.type == kArrowBundleType) {
        return static_cast<uint32_t>(draw.R(6)) + 1;
    }
    if (kind.category == kAmmunitionCategory) {
        if (draw.R(6) < 2) {
            return static_cast<uint32_t>(draw.R(91)) + 10;
        }
        return static_cast<uint32_t>(draw.R(6)) + 5;
    }
    return 1;
}

} // namespace

TClassWeights ItemClassWeights(float ratio) {
    if (ratio >= 0.9f) {
        return {10, 20, 30, 20, 20};
    }
    if (ratio > 0.75f) {
        return {5, 15, 20, 35, 25};
    }
    if (ratio > 0.5f) {
        return {2, 10, 18, 40, 30};
    }
    if (ratio >= 0.25f) {
        return {1, 5, 19, 35, 40};
    }
    return {0, 1, 15, 34, 50};
}

CRandomItemKinds::CRandomItemKinds(const std::vector<TItemInfo>& items) {
    m_kinds.reserve(items.size());
    for (size_t type = 0; type < items.size(); ++type) {
        const TItemInfo& info = items[type];
        m_kinds.push_back({static_cast<uint16_t>(type), info.category, info.occurrence});
        if (info.occurrence != 0 && (info.category == kWeaponCategory || info.category == kArmourCategory)) {
            m_equipment.push_back(static_cast<uint16_t>(type));
        }
    }
    // Which kind a draw names depends on the order within a class.
    std::stable_sort(m_kinds.begin(), m_kinds.end(),
                     [](const TItemKind& a, const TItemKind& b) { return a.occurrence < b.occurrence; });
    for (uint8_t occurrence = 0; occurrence <= kClasses; ++occurrence) {
        m_classStart[occurrence] = static_cast<size_t>(
            std::lower_bound(m_kinds.begin(), m_kinds.end(), occurrence,
                             [](const TItemKind& kind, uint8_t value) { return kind.occurrence < value; }) -
            m_kinds.begin());
    }
}

std::span<const TItemKind> CRandomItemKinds::OfClass(uint8_t occurrence) const {
    if (occurrence >= kClasses) {
        return {};
    }
    return std::span<const TItemKind>(m_kinds).subspan(m_classStart[occurrence],
                                                       m_classStart[occurrence + 1] - m_classStart[occurrence]);
}

std::optional<TRandomItem> DrawRandomItem(const CRandomItemKinds& kinds, const TClassWeights& weights, float ratio,
                                          CDraw& draw) {
    const int32_t n = draw.R(100) + 1;
    uint8_t occurrence = static_cast<uint8_t>(weights.size());
    int32_t sum = 0;
    for (size_t i = 0; i < weights.size(); ++i) {
        sum += weights[i];
        if (sum >= n || sum > 99) {
            occurrence = static_cast<uint8_t>(i + 1);
            break;
        }
    }
    const std::span<const TItemKind> candidates = kinds.OfClass(occurrence);
    if (candidates.empty()) {
        return std::nullopt;
    }
    const TItemKind& kind = candidates[static_cast<size_t>(draw.R(static_cast<int32_t>(candidates.size())))];
    if (kind.type == kNoKind) {
        return std::nullopt;
    }
    TRandomItem item;
    item.type = kind.type;
    item.count = DrawCount(kind, ratio, draw);
    if (kind.type == kWeaponManualType || kind.type == kArmourManualType) {
        const std::vector<uint16_t>& equipment = kinds.Equipment();
        if (equipment.empty()) {
            return std::nullopt;
        }
        item.named = equipment[static_cast<size_t>(draw.R(static_cast<int32_t>(equipment.size())))];
    }
    return item;
}

int32_t DrawCellItemCount(CDraw& draw) {
    if (draw.R(11) <= 1) {
        return draw.R(2) + 2;
    }
    return 1;
}

std::optional<TGroupBand> EncounterBand(float ratio, size_t groupCount) {
    if (groupCount == 0) {
        return std::nullopt;
    }
    const float p = ratio * 100.0f;
    int32_t width = 2;
    if (p < 10.0f) {
        width = 3;
    } else if (p < 50.0f) {
        width = 5;
    } else if (p < 75.0f) {
        width = 3;
    }
    const double half = width % 2 != 0 ? std::trunc(width * 0.5) : std::trunc(width * 0.5 - 1);
    const auto last = static_cast<double>(groupCount - 1);
    double centre = last * (p * 0.01) - half;
    // Also a ratio that is no number lands in the table.
    centre = centre > last ? last : (centre >= 0.0 ? centre : 0.0);
    TGroupBand band;
    band.lo = static_cast<int32_t>(std::trunc(centre));
    band.hi = std::clamp(band.lo + width - 1, 0, static_cast<int32_t>(last));
    return band;
}

int32_t DrawGroup(const TGroupBand& band, CDraw& draw) { return draw.R(band.hi - band.lo + 1) + band.lo; }

std::vector<uint16_t> DrawIngredients(const std::vector<TItemInfo>& items, CDraw& draw) {
    constexpr size_t kKept = 2;
    std::vector<uint16_t> ingredients;
    for (size_t type = 0; type < items.size(); ++type) {
        if (items[type].category == kIngredientCategory && items[type].occurrence != 0) {
            ingredients.push_back(static_cast<uint16_t>(type));
        }
    }
    for (size_t i = 1; i < ingredients.size(); ++i) {
        const auto j = static_cast<size_t>(draw.R(static_cast<int32_t>(i + 1)));
        std::swap(ingredients[i], ingredients[j]);
    }
    if (ingredients.size() > kKept) {
        ingredients.resize(kKept);
    }
    return ingredients;
}

} // namespace gen
