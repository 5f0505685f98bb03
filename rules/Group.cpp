#include "rules/Group.h"

#include <algorithm>
#include <memory>

#include "VEKLib/Stream.h"
#include "rules/Creature.h"
#include "rules/StoredForm.h"

CGroupList g_groupList;

bool CGroup::Holds(uint32_t id) const {
    return std::find(members.begin(), members.end(), id) != members.end() ||
           std::find(formerMembers.begin(), formerMembers.end(), id) != formerMembers.end();
}

void CGroup::Save() const {
    TStreamWriter writer;
    Fields(*this, writer);
    CountObject();
}

void CGroup::Load() {
    CGroup loaded;
    TStreamReader reader(L"CGroup::Load", L"Group");
    Fields(loaded, reader);
    *this = loaded;
    CountObject();
}

void AddToGroup(CGroupMember& creature, CGroup& group) {
    if (!group.Holds(creature.globalId)) {
        group.members.push_back(creature.globalId);
    }
    creature.groups.push_back(group.name);
}

void CGroupList::Clear() {
    for (CGroup* group : m_groups) {
        delete group;
    }
    m_groups.clear();
}

namespace vek {

void WriteGroupVector(const std::vector<CGroup*>& groups) { SaveObjectPtrVector(groups, kGroupReserve); }

void ReadGroupVector(std::vector<CGroup*>& groups) {
    TStreamReader reader(L"vek::ReadGroupVector", L"Group");
    const uint32_t count = reader.Count(CGroup::kMinStoredSize);
    std::vector<std::unique_ptr<CGroup>> loaded;
    loaded.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        loaded.push_back(std::make_unique<CGroup>());
        loaded.back()->Load();
    }
    std::vector<CGroup*> fresh;
    fresh.reserve(loaded.size());
    for (auto& group : loaded) {
        fresh.push_back(group.release());
    }
    for (CGroup* group : groups) {
        delete group;
    }
    groups.swap(fresh);
}

} // namespace vek
