#pragma once
// The draws of the placement passes, apart from the location they fill: the
// random item of a cell (its occurrence class by depth, its kind, count and
// the kind it names), the creature groups a depth draws from, and the
// ingredients of the patches. The depth is a ratio from about 0.3 (shallow)
// to 1 (deep).
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "data/Tables.h"
#include "world/gen/Draw.h"

namespace gen {

// Percent weights of the occurrence classes 1 to 5; they sum to 100.
using TClassWeights = std::array<int32_t, 5>;
// Deeper locations hold rarer things. The row boundaries are float
// constants: a ratio of exactly 0.9 is deep.
TClassWeights ItemClassWeights(float ratio);

struct TItemKind {
    uint16_t type = 0;
    uint8_t category = 0;
    uint8_t occurrence = 0;
};

// The item table as random items draw from it: the kinds of each occurrence
// class 0 to 5 in table order, and the weapons and armour that occur (what
// a manual names).
class CRandomItemKinds {
public:
    static constexpr uint8_t kClasses = 6;

    explicit CRandomItemKinds(const std::vector<TItemInfo>& items);

    std::span<const TItemKind> OfClass(uint8_t occurrence) const;
    const std::vector<uint16_t>& Equipment() const { return m_equipment; }

private:
    // Sorted by occurrence, table order kept among equals.
    std::vector<TItemKind> m_kinds;
    std::array<size_t, kClasses + 1> m_classStart{};
    std::vector<uint16_t> m_equipment;
};

struct TRandomItem {
    uint16_t type = 0;
    uint32_t count = 1;
    // The weapon or armour a manual teaches; 0 for other items.
    uint16_t named = 0;
    bool operator==(const TRandomItem&) const = default;
};

// Item kinds with a rule of their own.
inline constexpr uint16_t kGoldType = 9;
inline constexpr uint16_t kArrowBundleType = 153;
inline constexpr uint16_t kWeaponManualType = 146;
inline constexpr uint16_t kArmourManualType = 158;
inline constexpr uint8_t kFoodCategory = 5;
inline constexpr uint8_t kAmmunitionCategory = 22;
inline constexpr uint8_t kWeaponCategory = 1;
inline constexpr uint8_t kArmourCategory = 7;
inline constexpr uint8_t kIngredientCategory = 23;

// One random item: r(100) + 1 picks the class by the weights, a draw over
// the class picks the kind, then its count (gold: up to ratio x 250, food:
// 1 to 6, ammunition: 10 to 100 or 5 to 10) and, for a manual, the
// equipment it names. None when the class is empty, a manual finds no
// equipment, or the kind is 0xFFFE.
std::optional<TRandomItem> DrawRandomItem(const CRandomItemKinds& kinds, const TClassWeights& weights, float ratio,
                                          CDraw& draw);

// Items a single cell gets: 1, or with r(11) <= 1, 2 or 3.
int32_t DrawCellItemCount(CDraw& draw);

// The group-table indexes a depth draws from, lo to hi; none for an empty
// table.
struct TGroupBand {
    int32_t lo = 0;
    int32_t hi = 0;
    bool operator==(const TGroupBand&) const = default;
};
std::optional<TGroupBand> EncounterBand(float ratio, size_t groupCount);
int32_t DrawGroup(const TGroupBand& band, CDraw& draw);

// The kinds of ingredients (category 23) that occur, shuffled (one draw for
// each but the first), the first two kept.
std::vector<uint16_t> DrawIngredients(const std::vector<TItemInfo>& items, CDraw& draw);

} // namespace gen
