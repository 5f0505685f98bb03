#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VEKLib/Console.h"
#include "VEKLib/Stream.h"
#include "platform/Console.h"
#include "tests/support/Files.h"
#include "tests/support/TextConsole.h"
#include "tests/world/LocFixture.h"
#include "world/Loc.h"

namespace {

using worldtest::Bytes;
using worldtest::Written;

class LocModel : public worldtest::GameFixture {};

TEST_F(LocModel, NewLocationIsEmpty) {
    CLoc loc;
    EXPECT_EQ(loc.GetWidth(), 0);
    EXPECT_EQ(loc.GetHeight(), 0);
    EXPECT_EQ(loc.GetDirectionAnswer(), -1);
    EXPECT_EQ(loc.GetScript(), nullptr);
    EXPECT_EQ(loc.GetWorldCell(), nullptr);
    EXPECT_EQ(loc.GetName(), L"");
    EXPECT_EQ(loc.GetFlags(), 0);
    EXPECT_EQ(loc.GetExitTime(), 0u);
    EXPECT_FALSE(loc.IsPassabilityValid());
    // Layers of the map's default size.
    EXPECT_EQ(loc.GetTerrain().GetWidth(), 1);
    EXPECT_EQ(loc.GetSpecialObjects().GetHeight(), 1);
}

TEST_F(LocModel, LiveObjectCountFollowsLocations) {
    const uint32_t before = vek::GetLiveObjectCount();
    {
        CLoc loc;
        loc.Init(L"x", 2, 2, 0, 0);
        EXPECT_GT(vek::GetLiveObjectCount(), before);
    }
    EXPECT_EQ(vek::GetLiveObjectCount(), before);
}

TEST_F(LocModel, InitFillsEveryLayer) {
    CLoc loc;
    loc.GetAlarms().push_back(TAlarm{L"guards", 0, 5, {}});
    loc.AddRule(TLocRule{1, 2, 3, 4});
    loc.GetEffects().emplace_back(1, 2);
    loc.SetExitTime(99);
    loc.SetDirectionAnswer(4);
    loc.Init(L"Cave", 3, 2, 7, 0x12);

    EXPECT_EQ(loc.GetOwnName(), L"Cave");
    EXPECT_EQ(loc.GetWidth(), 3);
    EXPECT_EQ(loc.GetHeight(), 2);
    EXPECT_EQ(loc.GetTerrainType(), 7);
    EXPECT_EQ(loc.GetFlags(), 0x12);
    EXPECT_EQ(loc.GetExitTime(), 0u);
    EXPECT_EQ(loc.GetDirectionAnswer(), 4); // not Init's business
    EXPECT_TRUE(loc.GetEffects().empty());
    EXPECT_EQ(loc.GetAlarms().size(), 1u);
    EXPECT_EQ(loc.GetRules().size(), 1u);
    for (const auto* layer : {&loc.GetTerrain(), &loc.GetObjects(), &loc.GetCreatureIds(), &loc.GetPathGrid()}) {
        EXPECT_EQ(layer->GetWidth(), 3);
        EXPECT_EQ(layer->GetHeight(), 2);
    }
    for (uint16_t y = 0; y < 2; ++y) {
        for (uint16_t x = 0; x < 3; ++x) {
            EXPECT_EQ(loc.GetCreatureIds().At(x, y), kNoCreature);
            EXPECT_EQ(loc.GetTerrain().At(x, y), kNoTile);
            EXPECT_EQ(loc.GetObjects().At(x, y), kNoTile);
            EXPECT_EQ(loc.GetExplored().At(x, y), 0);
            EXPECT_EQ(loc.GetSpecialObjects().At(x, y), CLoc::MakeEmptySpecialObject());
        }
    }
    EXPECT_THROW(loc.GetTerrain().At(3, 0), vek::CException);
    EXPECT_THROW(loc.GetExplored().At(0, 2), vek::CException);
}

TEST_F(LocModel, InitDropsAValidPassabilityCache) {
    // The cells are new, so a cache of the old ones must not serve them.
    CLoc loc;
    loc.Init(L"Cave", 3, 2, 7, 0);
    loc.RefreshPassability(0);
    ASSERT_TRUE(loc.IsPassabilityValid());
    loc.Init(L"Cave", 3, 2, 7, 0);
    EXPECT_FALSE(loc.IsPassabilityValid());
}

TEST_F(LocModel, InitOfNoCellsChangesNothing) {
    CLoc loc;
    loc.Init(L"Cave", 3, 2, 7, 2);
    for (const auto& size : {std::pair<uint16_t, uint16_t>{0, 5}, {5, 0}, {0, 0}}) {
        const auto e = testsupport::Thrown<vek::CException>([&] { loc.Init(L"Other", size.first, size.second, 1, 0); });
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->GetFunction(), L"vek::CMap<unsigned short>::Resize");
        EXPECT_EQ(e->GetDetails(), L"An attempt to create a 0-element array - CMap<T>::Resize");
        EXPECT_EQ(e->GetLine(), 263);
        EXPECT_EQ(loc.GetOwnName(), L"Cave");
        EXPECT_EQ(loc.GetWidth(), 3);
        EXPECT_EQ(loc.GetTerrain().GetWidth(), 3);
    }
}

TEST_F(LocModel, ClearFreesCellsAndKeepsLists) {
    CLoc loc;
    loc.Init(L"Cave", 3, 2, 7, 0x10F);
    loc.GetEffects().emplace_back(1, 2);
    loc.AddRule(TLocRule{});
    loc.GetAlarms().emplace_back();
    loc.RefreshPassability(0);
    ASSERT_TRUE(loc.IsPassabilityValid());
    loc.Clear();
    EXPECT_EQ(loc.GetWidth(), 0);
    EXPECT_EQ(loc.GetHeight(), 0);
    EXPECT_EQ(loc.GetFlags(), 0x0F);
    EXPECT_FALSE(loc.IsPassabilityValid());
    EXPECT_FALSE(loc.GetTerrain().HasCells());
    EXPECT_FALSE(loc.GetObjects().HasCells());
    EXPECT_FALSE(loc.GetExplored().HasCells());
    EXPECT_FALSE(loc.GetCreatureIds().HasCells());
    EXPECT_FALSE(loc.GetSpecialObjects().HasCells());
    EXPECT_FALSE(loc.GetPathGrid().HasCells());
    EXPECT_FALSE(loc.GetPassabilityGrid().HasCells());
    EXPECT_EQ(loc.GetEffects().size(), 1u);
    EXPECT_EQ(loc.GetRules().size(), 1u);
    EXPECT_EQ(loc.GetAlarms().size(), 1u);
    EXPECT_THROW(loc.GetTerrain().At(0, 0), vek::CException);
    // A cleared location can be initialised again.
    loc.Init(L"Again", 1, 1, 0, 0);
    EXPECT_EQ(loc.GetTerrain().At(0, 0), kNoTile);
}

TEST_F(LocModel, ResizeKeepsTheOverlap) {
    CLoc loc;
    loc.Init(L"Field", 10, 10, 2, 0);
    for (uint16_t y = 0; y < 10; ++y) {
        for (uint16_t x = 0; x < 10; ++x) {
            loc.GetTerrain().At(x, y) = static_cast<uint16_t>(y * 10 + x);
            loc.GetObjects().At(x, y) = 1;
            loc.GetExplored().At(x, y) = 255;
        }
    }
    loc.CreateTextObject(7, 9, 1, L"kept");
    loc.CreateTextObject(8, 0, 1, L"cut");
    loc.Resize(8, 12);

    EXPECT_EQ(loc.GetWidth(), 8);
    EXPECT_EQ(loc.GetHeight(), 12);
    for (uint16_t y = 0; y < 12; ++y) {
        for (uint16_t x = 0; x < 8; ++x) {
            if (y < 10) {
                EXPECT_EQ(loc.GetTerrain().At(x, y), y * 10 + x);
                EXPECT_EQ(loc.GetObjects().At(x, y), 1);
                EXPECT_EQ(loc.GetExplored().At(x, y), 255);
            } else {
                EXPECT_EQ(loc.GetTerrain().At(x, y), 2); // the location's terrain type
                EXPECT_EQ(loc.GetObjects().At(x, y), kNoTile);
                EXPECT_EQ(loc.GetExplored().At(x, y), 1);
                EXPECT_EQ(loc.GetCreatureIds().At(x, y), kNoCreature);
                EXPECT_EQ(loc.GetSpecialObjects().At(x, y).active, 0);
            }
        }
    }
    EXPECT_EQ(loc.GetSpecialObjects().At(7, 9).kind, kSpecialText);
    EXPECT_THROW(loc.GetTerrain().At(8, 0), vek::CException);
    EXPECT_EQ(loc.GetPassabilityGrid().GetWidth(), 8);
    EXPECT_EQ(loc.GetPassabilityGrid().GetHeight(), 12);
    EXPECT_TRUE(loc.IsPassabilityValid());
    EXPECT_EQ(loc.GetRequestedMode(), 0u);
}

TEST_F(LocModel, ResizeToNoCellsChangesNothing) {
    CLoc loc;
    loc.Init(L"Field", 4, 4, 2, 0);
    loc.GetTerrain().At(3, 3) = 9;
    for (const auto& size : {std::pair<uint16_t, uint16_t>{0, 4}, {4, 0}, {0, 0}}) {
        const auto e = testsupport::Thrown<vek::CException>([&] { loc.Resize(size.first, size.second); });
        ASSERT_TRUE(e.has_value());
        EXPECT_EQ(e->GetFunction(), L"vek::CMap<unsigned short>::Resize");
        EXPECT_EQ(e->GetDetails(), L"An attempt to create a 0-element array - CMap<T>::Resize");
        EXPECT_EQ(loc.GetWidth(), 4);
        EXPECT_EQ(loc.GetHeight(), 4);
        EXPECT_EQ(loc.GetTerrain().GetWidth(), 4);
        EXPECT_EQ(loc.GetTerrain().At(3, 3), 9);
    }
}

TEST_F(LocModel, IsInsideAtTheEdges) {
    CLoc loc;
    loc.Init(L"x", 4, 3, 0, 0);
    const struct {
        int32_t x, y;
        bool inside;
    } cases[] = {{0, 0, true},   {3, 2, true}, {4, 0, false},      {0, 3, false},     {-1, 0, false},
                 {0, -1, false}, {3, 0, true}, {-65536, 0, false}, {65536, 0, false}, {2, 1, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(loc.IsInside(c.x, c.y), c.inside) << c.x << "," << c.y;
    }
    CLoc fresh;
    EXPECT_FALSE(fresh.IsInside(0, 0));
}

TEST_F(LocModel, RulesStopAt255) {
    CLoc loc;
    for (int i = 0; i < 255; ++i) {
        loc.AddRule(TLocRule{i, 0, 0, 0});
    }
    EXPECT_EQ(loc.GetRuleCount(), 255);
    EXPECT_THROW(loc.AddRule(TLocRule{}), vek::CException);
    EXPECT_EQ(loc.GetRules().size(), 255u);
    EXPECT_THROW(loc.SetRules(std::vector<TLocRule>(256)), vek::CException);
    EXPECT_EQ(loc.GetRules().size(), 255u);
    loc.SetRules(std::vector<TLocRule>(3));
    EXPECT_EQ(loc.GetRuleCount(), 3);
}

// --- Special objects ------------------------------------------------------------------------

TEST_F(LocModel, SpecialObjectMakers) {
    CLoc loc;
    loc.Init(L"x", 4, 4, 0, 0);

    loc.CreateSpecialObject(1, 0, 0, 0x0102, 0x0304, 0x0506);
    const TSpecialObject& param = loc.GetSpecialObjects().At(0, 0);
    EXPECT_EQ(param.active, 1);
    EXPECT_EQ(param.kind, kSpecialParameter);
    EXPECT_EQ(param.appearance, 99);
    EXPECT_EQ(param.value, 0u);
    EXPECT_EQ(param.GetBuffer(), (Bytes{1, 0, 0, 0, 2, 1, 4, 3, 6, 5}));
    loc.CreateSpecialObject(5, 1, 0, 1, 2, 3);
    EXPECT_EQ(loc.GetSpecialObjects().At(1, 0).appearance, 0);
    EXPECT_EQ(loc.GetSpecialObjects().At(1, 0).GetBuffer(), (Bytes{5, 0, 0, 0, 1, 0, 2, 0, 3, 0}));

    loc.CreateTextObject(2, 0, 17, L"Hi\u0142");
    const TSpecialObject& text = loc.GetSpecialObjects().At(2, 0);
    EXPECT_EQ(text.kind, kSpecialText);
    EXPECT_EQ(text.appearance, 17);
    EXPECT_EQ(text.value, 0u);
    EXPECT_EQ(text.GetBuffer(), (Bytes{'H', 0, 'i', 0, 0x42, 0x01}));

    loc.CreateTrapObject(3, 0, 2, false, 0);
    const TSpecialObject& bare = loc.GetSpecialObjects().At(3, 0);
    EXPECT_EQ(bare.kind, kSpecialDoor);
    EXPECT_EQ(bare.value, 0x1FFFEu);
    EXPECT_TRUE(bare.GetBuffer().empty());
    loc.CreateTrapObject(0, 1, 2, true, 0x04030201);
    const TSpecialObject& trap = loc.GetSpecialObjects().At(0, 1);
    EXPECT_EQ(trap.value, 0x5FFFEu);
    EXPECT_EQ(trap.GetBuffer(), (Bytes{1, 1, 2, 3, 4}));
    EXPECT_EQ(trap.GetPosition(), 0u);

    loc.SetSpecialObject(1, 1, kSpecialPassage, 18, 0x00050004, L"cave.map|down|up");
    const TSpecialObject& passage = loc.GetSpecialObjects().At(1, 1);
    EXPECT_EQ(passage.kind, kSpecialPassage);
    EXPECT_EQ(passage.value, 0x00050004u);
    EXPECT_EQ(passage.GetBuffer().size(), 32u);

    loc.ClearSpecialObject(0, 1);
    EXPECT_EQ(trap.active, 0);
    EXPECT_TRUE(trap.GetBuffer().empty());
    EXPECT_EQ(trap.GetPosition(), 0u);
    EXPECT_THROW(loc.CreateTextObject(4, 0, 1, L"outside"), vek::CException);
}

TEST_F(LocModel, SpecialObjectSavedForm) {
    TSpecialObject object;
    object.active = 1;
    object.kind = 0x0304;
    object.appearance = 0x0506;
    object.value = 0x0A090807;
    object.GetBuffer() = {0xAA, 0xBB};
    object.SetPosition(1);
    object.Save();
    EXPECT_EQ(Written(), (Bytes{1, 0, 4, 3, 6, 5, 0, 0, 7, 8, 9, 10, 2, 0, 0, 0, 0xAA, 0xBB}));
    EXPECT_EQ(vek::GetStream().objectCount(), 1u);

    // Reserved bytes are ignored on the way back; the position starts at 0.
    Bytes stored = Written();
    stored[1] = 0x77;
    stored[6] = 0x55;
    vek::StreamAssign(stored);
    TSpecialObject back;
    back.SetPosition(3);
    back.Load();
    EXPECT_EQ(back.active, 1);
    EXPECT_EQ(back.kind, 0x0304);
    EXPECT_EQ(back.appearance, 0x0506);
    EXPECT_EQ(back.value, 0x0A090807u);
    EXPECT_EQ(back.GetBuffer(), (Bytes{0xAA, 0xBB}));
    EXPECT_EQ(back.GetPosition(), 0u);
    EXPECT_EQ(vek::GetStream().remaining(), 0u);
    EXPECT_EQ(vek::GetStream().objectCount(), 1u);
}

TEST_F(LocModel, SpecialObjectShortFixedPartKeepsFields) {
    vek::StreamAssign(Bytes{1, 0, 4, 0, 6, 0, 0, 0, 7, 0, 0}); // 11 of 12 bytes
    TSpecialObject object;
    object.kind = 9;
    object.Load();
    EXPECT_EQ(object.active, 0);
    EXPECT_EQ(object.kind, 9);
}

TEST_F(LocModel, EffectsTakeTwentyBytes) {
    std::vector<TLocEffect> effects{{1, 0x0302}, {0xFFFFFFFF, 7}};
    SaveEffectVector(effects);
    Bytes expected{2, 0, 0, 0, 1, 0, 0, 0, 2, 3, 0, 0};
    expected.insert(expected.end(), 12, 0);
    expected.insert(expected.end(), {0xFF, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0});
    expected.insert(expected.end(), 12, 0);
    EXPECT_EQ(Written(), expected);
    EXPECT_EQ(vek::GetStream().objectCount(), 2u);

    Bytes stored = Written();
    stored[15] = 0x99; // reserved: skipped
    vek::StreamAssign(stored);
    std::vector<TLocEffect> back(5);
    LoadEffectVector(back);
    EXPECT_EQ(back, effects);
    EXPECT_EQ(vek::GetStream().remaining(), 0u);
}

TEST_F(LocModel, RuleRecordIsSixteenBytes) {
    TLocRule rule{1, -1, 0x01020304, 0};
    rule.WriteFields();
    EXPECT_EQ(Written(), (Bytes{1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 0, 0, 0, 0}));
    vek::StreamAssign(Written());
    TLocRule back;
    back.ReadFields();
    EXPECT_EQ(back, rule);
}

// --- Passability ----------------------------------------------------------------------------

TEST_F(LocModel, IsPassableNeedsEveryLayerToAgree) {
    CLoc loc;
    loc.Init(L"x", 3, 1, 0, 0);
    auto cell = [&](uint16_t terrain, uint16_t object, bool special, uint16_t appearance) {
        loc.GetTerrain().At(0, 0) = terrain;
        loc.GetObjects().At(0, 0) = object;
        loc.ClearSpecialObject(0, 0);
        if (special) {
            loc.CreateTextObject(0, 0, appearance, L"");
        }
        return IsPassable(0, 0, loc);
    };
    const struct {
        uint16_t terrain, object;
        bool special;
        uint16_t appearance;
        bool passable;
    } cases[] = {
        {0, kNoTile, false, 0, true},  // grass
        {1, kNoTile, false, 0, false}, // wall
        {2, 0xFFFF, false, 0, true},   // 0xFFFF is no object either
        {0, 0, false, 0, false},       // tree
        {0, 1, false, 0, true},        // bush
        {0, 1, true, 2, false},        // closed door on a bush
        {0, 1, true, 3, true},         // open door
        {0, 4, false, 0, false},       // an object no definition describes
        {3, kNoTile, false, 0, false}, // terrain no definition describes
        {kNoTile, kNoTile, false, 0, false},
        {0, kNoTile, true, 4, false}, // appearance no definition describes
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cell(c.terrain, c.object, c.special, c.appearance), c.passable)
            << c.terrain << " " << c.object << " " << c.special << " " << c.appearance;
    }
    // An inactive object does not count, whatever it looks like.
    loc.GetTerrain().At(0, 0) = 0;
    loc.GetObjects().At(0, 0) = kNoTile;
    loc.CreateTextObject(0, 0, 2, L"");
    loc.GetSpecialObjects().At(0, 0).active = 0;
    EXPECT_TRUE(IsPassable(0, 0, loc));
    EXPECT_FALSE(IsPassable(-1, 0, loc));
    EXPECT_FALSE(IsPassable(3, 0, loc));
    g_gameData = nullptr;
    EXPECT_FALSE(IsPassable(0, 0, loc));
}

TEST_F(LocModel, PassabilityGridFollowsTheMode) {
    CLoc loc;
    loc.Init(L"x", 3, 1, 0, 0);
    for (uint16_t x = 0; x < 3; ++x) {
        loc.GetTerrain().At(x, 0) = 0;
    }
    loc.GetTerrain().At(2, 0) = 1;
    loc.GetCreatureIds().At(1, 0) = 0;

    loc.RefreshPassability(0);
    EXPECT_EQ(loc.GetPathGridMode(), 0u);
    EXPECT_EQ(loc.GetPathGrid().At(0, 0), 0);
    EXPECT_EQ(loc.GetPathGrid().At(1, 0), 1); // a creature blocks
    EXPECT_EQ(loc.GetPathGrid().At(2, 0), 1);

    // The same mode again reuses the grid even though the creature left.
    loc.GetCreatureIds().At(1, 0) = kNoCreature;
    loc.GetPathGrid().At(0, 0) = 7;
    loc.RefreshPassability(0);
    EXPECT_EQ(loc.GetPathGrid().At(0, 0), 0);
    EXPECT_EQ(loc.GetPathGrid().At(1, 0), 1);

    loc.GetCreatureIds().At(1, 0) = 0;
    loc.RefreshPassability(kCreaturesDoNotBlock | 6);
    EXPECT_EQ(loc.GetPathGridMode(), 7u);
    EXPECT_EQ(loc.GetRequestedMode(), 7u);
    EXPECT_EQ(loc.GetPathGrid().At(1, 0), 0);
    EXPECT_EQ(loc.GetPathGrid().At(2, 0), 1);

    loc.InvalidatePassability();
    loc.GetTerrain().At(2, 0) = 0;
    loc.RefreshPassability(7);
    EXPECT_EQ(loc.GetPathGrid().At(2, 0), 0);
}

// --- The console dump -----------------------------------------------------------------------------

class LocDump : public LocModel {
protected:
    void SetUp() override {
        LocModel::SetUp();
        vek::ConsoleOut().flush();
        vek::ResetConsoleState();
        platform::SetConsole(&m_console);
    }
    void TearDown() override {
        vek::ConsoleOut().flush();
        vek::ResetConsoleState();
        platform::SetConsole(nullptr);
        LocModel::TearDown();
    }
    testsupport::CColourConsole m_console;
};

TEST_F(LocDump, GivenGridWithColours) {
    CLoc loc;
    loc.Init(L"x", 3, 2, 0, 0);
    const Bytes grid{0, 1, 2, 3, 0, 9};
    const std::wstring text = loc.DumpToConsole(grid);
    EXPECT_EQ(text, L"\n  ABC\nA.##\nB..#\n");
    // Yellow 14, red 12, green 10; 7 restores the console's own colour.
    EXPECT_EQ(m_console.events,
              "\n  <14>A<7><14>B<7><14>C<7>\n"
              "<14>A<7>.#<12>#<7>\n"
              "<14>B<7><10>.<7>.#\n");
    EXPECT_EQ(loc.GetPathGrid().At(2, 0), 2);
    EXPECT_THROW(loc.DumpToConsole(Bytes{0, 0}), vek::CException);
}

TEST_F(LocDump, WithoutGridShowsPassability) {
    CLoc loc;
    loc.Init(L"x", 2, 2, 0, 0);
    loc.GetTerrain().At(0, 0) = 0;
    loc.GetTerrain().At(1, 0) = 1;
    loc.GetTerrain().At(0, 1) = 0;
    loc.GetTerrain().At(1, 1) = 0;
    loc.GetCreatureIds().At(1, 1) = 0;
    EXPECT_EQ(loc.DumpToConsole(), L"\n  AB\nA.#\nB.#\n");
    EXPECT_TRUE(loc.IsPassabilityValid());
}

TEST_F(LocDump, LettersStopAfterZ) {
    CLoc loc;
    loc.Init(L"x", 28, 27, 0, 0);
    const std::wstring text = loc.DumpToConsole(Bytes(28 * 27, 0));
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end = text.find(L'\n'); end != std::wstring::npos; end = text.find(L'\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    ASSERT_EQ(lines.size(), 1u + 1u + 27u);
    EXPECT_EQ(lines[0], L"");
    EXPECT_EQ(lines[1], L"  ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    EXPECT_EQ(lines[2], L"A" + std::wstring(28, L'.'));
    EXPECT_EQ(lines[27], L"Z" + std::wstring(28, L'.'));
    EXPECT_EQ(lines[28], std::wstring(28, L'.'));
}

} // namespace
