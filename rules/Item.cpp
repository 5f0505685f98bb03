#include "rules/Item.h"

#include <algorithm>
#include <tuple>

#include "VEKLib/Random.h"
#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "rules/StoredForm.h"
#include "script/Records.h"

const CItem g_blankItem;

namespace {

// Every stored field but the count.
auto StackKey(const CItem& item) {
    return std::tie(item.type, item.age, item.durability, item.property1, item.property2, item.status, item.quality,
                    item.damage, item.armourClass, item.reserved, item.value);
}

const TMonsterInfo* CorpseMonster(uint16_t type) {
    if (!g_gameData || type < kCorpseBase) {
        return nullptr;
    }
    const auto& monsters = g_gameData->GetTables().monsters;
    const size_t monster = type - kCorpseBase;
    return monster < monsters.size() ? &monsters[monster] : nullptr;
}

} // namespace

CItem::CItem(uint16_t type, uint32_t count, bool random, uint16_t property1, uint16_t property2)
    : type(type), count(count), property1(property1), property2(property2) {
    durability = GetMaxDurability();
    if (!random) {
        return;
    }
    if (vek::Chance(0, 9)) {
        status |= kStatusRandomA;
    }
    if (type != kMoneyType && vek::Chance(0, 9)) {
        status |= kStatusRandomB;
    }
    if (vek::Chance(0, 9)) {
        quality = static_cast<uint8_t>(vek::RandomRange(0, 7) + 2);
    }
}

bool CItem::StacksWith(const CItem& other) const { return StackKey(*this) == StackKey(other); }

uint16_t CItem::GetMaxDurability() const {
    if (type >= kCorpseBase) {
        return CorpseMonster(type) ? kCorpseDurability : 0;
    }
    if (!g_gameData) {
        return 0;
    }
    const auto& items = g_gameData->GetTables().items;
    return type < items.size() ? items[type].durab : 0;
}

void CItem::Deteriorate(uint32_t steps) {
    if (GetMaxDurability() == 0) {
        return;
    }
    durability = static_cast<uint16_t>(durability - std::min<uint32_t>(durability, steps));
}

bool CItem::IsWornOut() const { return durability == 0 && GetMaxDurability() != 0; }

void CItem::Save() const {
    TStreamWriter writer;
    Fields(*this, writer);
    CountObject();
}

void CItem::Load() {
    TStreamReader reader(L"CItem::Load", L"Item");
    reader.Need(kStoredSize);
    Fields(*this, reader);
    CountObject();
}

void SaveItemVector(const std::vector<CItem>& items) { vek::SaveObjectVector(items, CItem::kStoredSize); }

void LoadItemVector(std::vector<CItem>& items) {
    TStreamReader reader(L"LoadItemVector", L"Item");
    std::vector<CItem> loaded(reader.Count(CItem::kStoredSize));
    for (CItem& item : loaded) {
        item.Load();
    }
    items.swap(loaded);
}

// Declared with the quest records, which cannot see items.
bool TQuestItem::Matches(const CItem& item) const {
    bool sameKind = item.type == itemType;
    if (!sameKind) {
        const TMonsterInfo* wanted = CorpseMonster(itemType);
        const TMonsterInfo* offered = CorpseMonster(item.type);
        sameKind = wanted && offered && vek::equals(wanted->name, offered->name);
    }
    return sameKind && (number == 0 || number == item.property1);
}
