// A location owns its game script: whatever takes the script's place, and the
// location's own end, delete it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "VEKLib/Serializable.h"
#include "script/Script.h"
#include "tests/world/Cases.h"
#include "tests/world/LocFixture.h"
#include "world/Loc.h"

namespace {

class CCountedScript : public CScript {
public:
    explicit CCountedScript(int& deleted) : m_deleted(deleted) {}
    ~CCountedScript() override { ++m_deleted; }

private:
    int& m_deleted;
};

class LocScript : public worldtest::GameFixture {};

TEST_F(LocScript, TheLocationDeletesItsScript) {
    const struct {
        const char* what;
        std::function<void(CLoc&, int&)> drop;
    } cases[] = {
        {"another script", [](CLoc& loc, int& deleted) { loc.SetScript(TScriptHandle(new CCountedScript(deleted))); }},
        {"no script", [](CLoc& loc, int&) { loc.SetScript(nullptr); }},
        {"Init", [](CLoc& loc, int&) { loc.Init(L"again", 2, 2, 0, 0); }},
        {"Clear", [](CLoc& loc, int&) { loc.Clear(); }},
    };
    const uint32_t live = vek::GetLiveObjectCount();
    worldtest::ForEachCase(cases, [&](const auto& c) {
        int deleted = 0;
        {
            CLoc loc;
            loc.Init(L"x", 2, 2, 0, 0);
            loc.SetScript(TScriptHandle(new CCountedScript(deleted)));
            ASSERT_NE(loc.GetScript(), nullptr);
            c.drop(loc, deleted);
            EXPECT_EQ(deleted, 1);
        }
        // The location's end deletes what it holds then.
        EXPECT_EQ(deleted, c.what[0] == 'a' ? 2 : 1);
        EXPECT_EQ(vek::GetLiveObjectCount(), live);
    });
}

} // namespace
