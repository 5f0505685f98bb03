#include "rules/Hero.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Stream.h"
#include "data/GameData.h"
#include "rules/StoredForm.h"
#include "script/Records.h"
#include "script/Script.h"

namespace {

const wchar_t* const kSource = L"Hero";

const TItemInfo* FindItemKind(uint16_t type) {
    if (!g_gameData) {
        return nullptr;
    }
    const auto& items = g_gameData->GetTables().items;
    return type < items.size() ? &items[type] : nullptr;
}

uint64_t WeightOf(const CItem& item) {
    uint16_t weight = 0;
    if (const TItemInfo* kind = FindItemKind(item.type)) {
        weight = kind->weight;
    } else if (g_gameData && item.type >= kCorpseBase) {
        const auto& monsters = g_gameData->GetTables().monsters;
        const size_t monster = item.type - kCorpseBase;
        weight = monster < monsters.size() ? monsters[monster].weight : 0;
    }
    return static_cast<uint64_t>(weight) * item.count;
}

// The slot the item's category goes into; kSlotCount for none.
uint32_t SlotFor(const CItem& item) {
    const TItemInfo* kind = item.type < kCorpseBase ? FindItemKind(item.type) : nullptr;
    if (!kind) {
        return CHero::kSlotCount;
    }
    switch (kind->category) {
    case CHero::kCategoryWeapon:
        return CHero::kSlotWeapon;
    case CHero::kCategoryRangedWeapon:
        return CHero::kSlotRangedWeapon;
    case CHero::kCategoryAmmunition:
        return CHero::kSlotAmmunition;
    case CHero::kCategoryArmour:
        return CHero::kSlotArmour;
    default:
        return CHero::kSlotCount;
    }
}

uint32_t SpellCount() { return g_gameData ? static_cast<uint32_t>(g_gameData->GetTables().spells.size()) : 0; }

bool IsSpell(uint32_t skillId) { return skillId >= CHero::kFirstSpellId; }

bool NamesSkill(uint32_t skillId) {
    return skillId >= 1 && (skillId <= kSkillCount || skillId - CHero::kFirstSpellId < SpellCount());
}

void CheckSkillId(uint32_t skillId, const wchar_t* function) {
    if (!NamesSkill(skillId)) {
        throw vek::CException(function, kSource, __LINE__, vek::Format(L"Unknown skill or spell %lu", skillId));
    }
}

std::wstring SkillName(uint32_t skillId) {
    if (IsSpell(skillId)) {
        return g_gameData->GetTables().spells[skillId - CHero::kFirstSpellId].name;
    }
    return g_gameData->GetSkillName(skillId);
}

void Tell(const wchar_t* tag, uint32_t type = kMessageInfo) {
    if (g_gameData) {
        g_gameData->AddMessage(g_gameData->GetStrings().Get(tag), type);
    }
}

bool Useless(int32_t limb) { return limb >= CHero::kLimbCrippled; }

int32_t Scale(uint32_t level, int32_t min, int32_t max) {
    const double scaled = min + (static_cast<double>(max) - min) / 99.0 * (static_cast<double>(level) - 1.0);
    const double low = std::min(min, max);
    const double high = std::max(min, max);
    return static_cast<int32_t>(std::clamp(scaled, low, high));
}

} // namespace

CHero::CHero() {
    globalId = kHeroId;
    localId = kHeroLocalId;
    stateByte = kActive;
}

void CHero::Damage(uint32_t amount, uint32_t source, CLoc* location) {
    CGroupMember::Damage(amount, source, location);
    if (hitPoints == 0) {
        Die();
    }
}

// --- Items --------------------------------------------------------------------------------------

bool CHero::HasItems(const TQuestItem& pattern) const {
    std::vector<uint16_t> slots;
    const uint32_t total = CollectMatchingItems(pattern, slots);
    return total >= (pattern.count == TQuestItem::kAnyCount ? 1 : pattern.count);
}

void CHero::RemoveItems(const TQuestItem& pattern) {
    uint32_t left = pattern.count;
    for (CItem& entry : backpack) {
        if (left == 0) {
            break;
        }
        if (entry.count == 0 || !pattern.Matches(entry)) {
            continue;
        }
        const uint32_t taken = pattern.count == TQuestItem::kAnyCount ? entry.count : std::min(left, entry.count);
        entry.count -= taken;
        if (pattern.count != TQuestItem::kAnyCount) {
            left -= taken;
        }
    }
    std::erase_if(backpack, [](const CItem& entry) { return entry.count == 0; });
}

uint16_t CHero::AddToInventory(const CItem& item) {
    if (item.count == 0) {
        return kInventoryTaken;
    }
    if (IsOverloaded()) {
        return kInventoryOverloaded;
    }
    for (CItem& entry : backpack) {
        // A sum past the largest count would lose items: such a stack takes a
        // slot of its own instead.
        if (entry.StacksWith(item) && entry.count <= std::numeric_limits<uint32_t>::max() - item.count) {
            entry.count += item.count;
            return kInventoryTaken;
        }
    }
    if (backpack.size() >= kBackpackSlots) {
        return kInventoryFull;
    }
    backpack.push_back(item);
    return kInventoryTaken;
}

bool CHero::AutoWield(const CItem& item) {
    const uint32_t slot = SlotFor(item);
    if (slot == kSlotCount || item.count == 0 || equipment[slot].count != 0) {
        return false;
    }
    equipment[slot] = item;
    return true;
}

uint32_t CHero::CollectMatchingItems(const TQuestItem& pattern, std::vector<uint16_t>& slots) const {
    uint64_t total = 0;
    for (size_t i = 0; i < backpack.size(); ++i) {
        if (backpack[i].count != 0 && pattern.Matches(backpack[i])) {
            slots.push_back(static_cast<uint16_t>(i));
            total += backpack[i].count;
        }
    }
    return static_cast<uint32_t>(std::min<uint64_t>(total, std::numeric_limits<uint32_t>::max()));
}

uint64_t CHero::GetCarriedWeight() const {
    uint64_t weight = 0;
    for (const CItem& entry : backpack) {
        weight += WeightOf(entry);
    }
    for (const CItem& entry : equipment) {
        weight += WeightOf(entry);
    }
    return weight;
}

bool CHero::IsOverloaded() const {
    return GetCarriedWeight() > static_cast<uint64_t>(GetAttribute(kStrength)) * kCarryPerStrength;
}

bool CHero::ReadBook(CScript& book) { return book.ExecuteUserFunction(L"OnRead", 0, std::wstring(), true, false); }

// --- Body ---------------------------------------------------------------------------------------

bool CHero::CheckLimbs() const {
    const bool arms = Useless(limbs[kRightArm]) && Useless(limbs[kLeftArm]);
    const bool legs = Useless(limbs[kRightLeg]) && Useless(limbs[kLeftLeg]);
    if (arms) {
        Tell(L"STR_MSG_ARMS_USELESS", kMessageWarning);
    }
    if (legs) {
        Tell(L"STR_MSG_LEGS_USELESS", kMessageWarning);
    }
    return arms || legs;
}

void CHero::DamageLimb(uint32_t limb) {
    if (limb >= kLimbCount) {
        throw vek::CException(L"CHero::DamageLimb", kSource, __LINE__, vek::Format(L"Unknown limb %lu", limb));
    }
    if (limbs[limb] < kLimbCrippled) {
        ++limbs[limb];
    }
}

void CHero::Die() {
    hitPoints = 0;
    stateByte &= static_cast<uint8_t>(~kActive);
}

void CHero::Eat(uint32_t nutrition) {
    satiation = static_cast<uint32_t>(
        std::min<uint64_t>(static_cast<uint64_t>(satiation) + nutrition, std::numeric_limits<uint32_t>::max()));
}

// --- Attributes and skills -----------------------------------------------------------------------

uint32_t CHero::GetAttribute(uint32_t index) const {
    if (index >= kAttributeCount) {
        throw vek::CException(L"CHero::GetAttribute", kSource, __LINE__, vek::Format(L"Unknown attribute %lu", index));
    }
    // cbrt is exact on whole cubes, so each level starts at its own point
    // count (810 points are level 2).
    const double level = std::trunc(std::cbrt(attributePoints[index] / 240.0) + 0.5);
    return static_cast<uint32_t>(std::clamp(level, 1.0, static_cast<double>(kMaxAttributeLevel)));
}

uint8_t CHero::GetSkillLevel(uint32_t skillId) const { return skillId < skills.size() ? skills[skillId].level : 0; }

void CHero::LearnSkill(uint8_t level, uint32_t skillId) {
    CheckSkillId(skillId, L"CHero::LearnSkill");
    level = std::min(level, kMaxSkillLevel);
    if (level <= GetSkillLevel(skillId)) {
        return;
    }
    if (skills.size() <= skillId) {
        skills.resize(skillId + 1);
    }
    const bool learnt = skills[skillId].level == 0;
    skills[skillId].level = level;
    if (!g_gameData) {
        return;
    }
    const CStringResource& strings = g_gameData->GetStrings();
    const std::wstring name = SkillName(skillId);
    std::wstring text;
    if (!learnt) {
        text = vek::Format(strings.Get(L"STR_OTHER_SKILL_LEVEL"), name, static_cast<uint32_t>(level));
    } else if (IsSpell(skillId)) {
        text = vek::Format(strings.Get(L"STR_OTHER_SPELL_LEARN"), name);
    } else {
        text = vek::Format(strings.Get(L"STR_OTHER_SKILL_LEARN"), name);
    }
    g_gameData->AddMessage(text);
}

void CHero::TrainSkill(uint32_t skillId, uint32_t points) {
    CheckSkillId(skillId, L"CHero::TrainSkill");
    if (skills.size() <= skillId) {
        skills.resize(skillId + 1);
    }
    uint32_t& total = skills[skillId].points;
    total = static_cast<uint32_t>(
        std::min<uint64_t>(static_cast<uint64_t>(total) + points, std::numeric_limits<uint32_t>::max()));
}

// --- Stored form ---------------------------------------------------------------------------------

void CHero::Save() const {
    std::vector<uint8_t> bytes;
    TFieldWriter<CArraySink> writer{CArraySink(bytes)};
    Fields(*this, writer);
    vek::IByteStream::SaveBuffer(bytes);
    vek::WriteBattleVector(battles);
    CountObject();
}

void CHero::Load() {
    TStreamReader stream(L"CHero::Load", kSource);
    std::vector<uint8_t> bytes(stream.Count(1));
    vek::StreamReadBytes(bytes.size(), bytes.data());
    CHero loaded;
    TFieldReader<CArraySource> reader(L"CHero::Load", kSource, CArraySource(bytes));
    Fields(loaded, reader);
    if (loaded.backpack.size() > kBackpackSlots) {
        reader.Fail(vek::Format(L"A backpack of %lu entries has only %lu slots",
                                static_cast<uint32_t>(loaded.backpack.size()), kBackpackSlots));
    }
    if (reader.Remaining() != 0) {
        reader.Fail(vek::Format(L"%I64u bytes follow the hero's last field", reader.Remaining()));
    }
    vek::ReadBattleVector(loaded.battles);
    *this = std::move(loaded);
    CountObject();
}

int32_t ScaleBySkill(const CHero& hero, uint32_t skillId, int32_t min, int32_t max) {
    return Scale(hero.GetSkillLevel(skillId), min, max);
}

int32_t ScaleByAttribute(const CHero& hero, uint32_t attribute, int32_t min, int32_t max) {
    return Scale(hero.GetAttribute(attribute), min, max);
}
