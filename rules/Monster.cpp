#include "rules/Monster.h"

#include <algorithm>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "VEKLib/Random.h"
#include "VEKLib/Stream.h"
#include "data/GameData.h"
#include "rules/StoredForm.h"

namespace {

const TMonsterInfo* FindKind(uint16_t type) {
    if (!g_gameData) {
        return nullptr;
    }
    const auto& monsters = g_gameData->GetTables().monsters;
    return type < monsters.size() ? &monsters[type] : nullptr;
}

// Reads into a fresh creature, so that a record cut short changes nothing.
template <class T>
void LoadWhole(T& creature, const wchar_t* function) {
    T loaded;
    TStreamReader reader(function, L"Monster");
    T::Fields(loaded, reader);
    creature = std::move(loaded);
    creature.CountObject();
}

template <class T>
void SaveWhole(const T& creature) {
    TStreamWriter writer;
    T::Fields(creature, writer);
    creature.CountObject();
}

} // namespace

std::wstring CMonster::GetName() const {
    const TMonsterInfo* kind = FindKind(monsterType);
    return kind ? kind->name : std::wstring();
}

void CMonster::InitFromType(uint16_t type, uint32_t cellX, uint32_t cellY) {
    const TMonsterInfo* kind = FindKind(type);
    if (!kind) {
        throw vek::CException(L"CMonster::InitFromType", L"Monster", __LINE__,
                              vek::Format(L"Unknown monster type %hu", type));
    }
    CGroupMember::operator=(CMonster());
    monsterType = type;
    // A kind without hit points must not make a monster that is dead at birth.
    hitPoints = std::max<uint16_t>(kind->hp, 1);
    x = cellX;
    y = cellY;
    stateByte = kActive;
}

bool CMonster::Attack(CGroupMember& attacker, CGroupMember& target, const TAttack& attack, CLoc* location) {
    if (!target.IsAlive()) {
        return false;
    }
    const int32_t percent = static_cast<int32_t>(std::min<uint32_t>(attack.hitChance, 100));
    // The draw is made whatever the chance, so that sequences do not shift.
    const bool drawn = vek::Chance(percent - 1, 99);
    if (!drawn && percent < 100) {
        return false;
    }
    const int32_t damage = vek::RandomRange(attack.minDamage, attack.maxDamage);
    target.Damage(static_cast<uint32_t>(std::max(damage, 0)), attacker.globalId, location);
    target.AddHostile(attacker.globalId);
    return true;
}

void CMonster::Load() { LoadWhole(*this, L"CMonster::Load"); }

void CMonster::Save() const { SaveWhole(*this); }

void CNpc::Load() { LoadWhole(*this, L"CNpc::Load"); }

void CNpc::Save() const { SaveWhole(*this); }

void SaveCreatureVector(const std::vector<CMonster*>& creatures) {
    vek::SaveObjectPtrVector(creatures, vek::kCreatureReserve);
}

std::unique_ptr<CMonster> LoadCreature(uint16_t kind) {
    std::unique_ptr<CMonster> creature;
    if (kind == CGroupMember::kKindMonster) {
        creature = std::make_unique<CMonster>();
    } else {
        creature = std::make_unique<CNpc>();
    }
    creature->Load();
    return creature;
}
