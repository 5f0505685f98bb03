#include "rules/Group.h"

#include <gtest/gtest.h>

#include "RulesFixture.h"
#include "rules/Monster.h"

namespace {

using namespace rulestest;

class GroupTest : public CRulesTest {
protected:
    void TearDown() override {
        for (CGroup* group : m_groups) {
            delete group;
        }
        CRulesTest::TearDown();
    }
    std::vector<CGroup*> m_groups;
};

CGroup SampleGroup() {
    CGroup group(L"ab");
    group.members = {0x00010002, CGroupMember::kHeroId};
    group.formerMembers = {9};
    return group;
}

// By hand: the id, the members, the former members.
const Bytes kGroupBytes = {0x02, 0x00, 0x00, 0x00, 'a',  0x00, 'b',  0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00,
                           0x01, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00};

TEST_F(GroupTest, StoredFormIsByteExactAndLoadsBack) {
    SampleGroup().Save();
    EXPECT_EQ(Written(), kGroupBytes);
    CGroup loaded;
    loaded.Load();
    EXPECT_EQ(loaded.name, L"ab");
    EXPECT_EQ(loaded.members, SampleGroup().members);
    EXPECT_EQ(loaded.formerMembers, SampleGroup().formerMembers);
    EXPECT_EQ(vek::GetStream().objectCount(), 2u);
}

TEST_F(GroupTest, EveryCutIsInvalidContentAndChangesNothing) {
    for (size_t length = 0; length < kGroupBytes.size(); ++length) {
        vek::StreamAssign(Bytes(kGroupBytes.begin(), kGroupBytes.begin() + static_cast<std::ptrdiff_t>(length)));
        CGroup group(L"kept");
        ExpectInvalidContent([&] { group.Load(); }, L"CGroup::Load", std::to_string(length));
        EXPECT_EQ(group.name, L"kept");
        EXPECT_TRUE(group.members.empty());
    }
}

// The group holds each id once; the creature's list takes the group id on
// every join.
TEST_F(GroupTest, AddToGroupKeepsEachMemberOnce) {
    const struct {
        const char* what;
        std::vector<uint32_t> members, former;
        std::vector<std::wstring> creatureGroups;
        std::vector<uint32_t> membersAfter;
        std::vector<std::wstring> groupsAfter;
    } cases[] = {
        {"joins", {}, {}, {}, {5}, {L"ab"}},
        {"already a member", {5}, {}, {L"ab"}, {5}, {L"ab", L"ab"}},
        {"listed without being a member", {}, {}, {L"ab"}, {5}, {L"ab", L"ab"}},
        {"a former member", {}, {5}, {L"x"}, {}, {L"x", L"ab"}},
        {"other members stay", {1, 2}, {3}, {}, {1, 2, 5}, {L"ab"}},
    };
    for (const auto& c : cases) {
        CGroup group(L"ab");
        group.members = c.members, group.formerMembers = c.former;
        CMonster m;
        m.globalId = 5, m.groups = c.creatureGroups;
        AddToGroup(m, group);
        EXPECT_EQ(group.members, c.membersAfter) << c.what;
        EXPECT_EQ(m.groups, c.groupsAfter) << c.what;
    }
}

TEST_F(GroupTest, GroupVectorsReplaceTheirGroups) {
    CGroup first = SampleGroup();
    CGroup second(L"c");
    vek::WriteGroupVector({&first, &second});
    // The vector's reservation, then each group's own lists': 2 x 4 + 4, 4 + 4,
    // and 4 and 4 for the empty ones.
    EXPECT_EQ(vek::GetStream().capacity(), 2 * vek::kGroupReserve + 4 + 12 + 8 + 4 + 4);
    Bytes expected = {2, 0, 0, 0};
    expected.insert(expected.end(), kGroupBytes.begin(), kGroupBytes.end());
    expected.insert(expected.end(), {1, 0, 0, 0, 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(Written(), expected);

    m_groups = {new CGroup(L"old")};
    vek::ReadGroupVector(m_groups);
    ASSERT_EQ(m_groups.size(), 2u);
    EXPECT_EQ(m_groups[0]->name, L"ab");
    EXPECT_EQ(m_groups[1]->name, L"c");
    EXPECT_TRUE(m_groups[1]->members.empty());
}

TEST_F(GroupTest, GroupVectorThatDoesNotLoadLeavesTheVector) {
    const struct {
        const char* what;
        Bytes bytes;
        const wchar_t* function;
    } cases[] = {
        {"no count", {2, 0}, L"vek::ReadGroupVector"},
        {"huge count", {0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, L"vek::ReadGroupVector"},
        // The second group's one member takes the bytes of its last count.
        {"second group cut",
         {2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0},
         L"CGroup::Load"},
    };
    for (const auto& c : cases) {
        vek::StreamAssign(c.bytes);
        for (CGroup* group : m_groups) {
            delete group;
        }
        m_groups = {new CGroup(L"old")};
        ExpectInvalidContent([&] { vek::ReadGroupVector(m_groups); }, c.function, c.what);
        ASSERT_EQ(m_groups.size(), 1u) << c.what;
        EXPECT_EQ(m_groups[0]->name, L"old") << c.what;
    }
}

TEST_F(GroupTest, TheProgramWideListOwnsItsGroups) {
    const uint32_t live = vek::GetLiveObjectCount();
    {
        CGroupList list;
        list.Get().push_back(new CGroup(L"a"));
        list.Get().push_back(new CGroup(L"b"));
        EXPECT_EQ(vek::GetLiveObjectCount(), live + 2);
        list.Clear();
        EXPECT_TRUE(list.Get().empty());
        EXPECT_EQ(vek::GetLiveObjectCount(), live);
        list.Get().push_back(new CGroup(L"c"));
    }
    EXPECT_EQ(vek::GetLiveObjectCount(), live);
    EXPECT_TRUE(g_groupList.Get().empty());
}

} // namespace
