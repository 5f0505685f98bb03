#pragma once
// Creature groups: named sets of creatures that raise alarms and fight
// battles together, and the program-wide list of them.
#include <cstdint>
#include <string>
#include <vector>

#include "VEKLib/Serializable.h"

class CGroupMember;

class CGroup : public vek::ISerializable {
public:
    static constexpr uint32_t kMinStoredSize = 12;

    CGroup() = default;
    explicit CGroup(const std::wstring& id) : name(id) {}
    CGroup(const CGroup&) = default;
    CGroup& operator=(const CGroup&) = default;
    ~CGroup() override = default;

    // Either list holds the creature id.
    bool Holds(uint32_t id) const;

    // The group id (text), the members and the former members (u32 lists of
    // global ids). Load keeps the group as it was and throws
    // vek::CFileException code 5 when the record ends early.
    void Load() override;
    virtual void Save() const;

    template <class Self, class IO>
    static void Fields(Self& group, IO& io) {
        io.Field(group.name), io.Field(group.members), io.Field(group.formerMembers);
    }

    // The group id by which scripts name it.
    std::wstring name;
    // Global ids.
    std::vector<uint32_t> members;
    // Creatures that belonged to it once; they do not join again.
    std::vector<uint32_t> formerMembers;
};

// Adds the creature's global id to the members unless the group holds it
// already, and appends the group id to the creature's own list (again on a
// second join).
void AddToGroup(CGroupMember& creature, CGroup& group);

// The program-wide list of created groups. It owns them: they are deleted
// with it, at exit or when it is cleared.
class CGroupList {
public:
    CGroupList() = default;
    CGroupList(const CGroupList&) = delete;
    CGroupList& operator=(const CGroupList&) = delete;
    ~CGroupList() { Clear(); }

    void Clear();
    std::vector<CGroup*>& Get() { return m_groups; }
    const std::vector<CGroup*>& Get() const { return m_groups; }

private:
    std::vector<CGroup*> m_groups;
};

extern CGroupList g_groupList;

namespace vek {
// u32 count, then each group's Save; a null entry is refused before anything
// is written.
void WriteGroupVector(const std::vector<CGroup*>& groups);
// The vector's groups are deleted and replaced by new ones read from the
// stream. A count that the remaining bytes cannot hold, or a group cut
// short, throws vek::CFileException code 5 and leaves the vector as it was.
void ReadGroupVector(std::vector<CGroup*>& groups);
} // namespace vek
