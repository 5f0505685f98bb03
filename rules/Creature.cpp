#include "rules/Creature.h"

#include <algorithm>

namespace {

bool Holds(const std::vector<uint32_t>& ids, uint32_t id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

bool EraseAll(std::vector<uint32_t>& ids, uint32_t id) { return std::erase(ids, id) != 0; }

} // namespace

bool CState::IsState(const CGroupMember& creature, uint16_t type) {
    return std::any_of(creature.states.begin(), creature.states.end(),
                       [type](const CState& state) { return state.type == type; });
}

bool CGroupMember::IsFriendly(uint32_t id) const { return Holds(friendly, id); }

bool CGroupMember::IsHostile(uint32_t id) const { return Holds(hostile, id); }

bool CGroupMember::AddHostile(uint32_t id) {
    if (IsHostile(id) || IsFriendly(id)) {
        return false;
    }
    hostile.push_back(id);
    return true;
}

bool CGroupMember::RemoveHostile(uint32_t id) { return EraseAll(hostile, id); }

bool CGroupMember::RemoveFriendly(uint32_t id) { return EraseAll(friendly, id); }

void CGroupMember::ClearRelations() {
    friendly.clear();
    hostile.clear();
}

void CGroupMember::Damage(uint32_t amount, uint32_t, CLoc*) {
    hitPoints = static_cast<uint16_t>(hitPoints - std::min<uint32_t>(hitPoints, amount));
}
