#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/world/LocServices.h"
#include "world/Loc.h"

namespace {

using vek::TPoint;
using worldtest::AddMonster;
using worldtest::CExpectedRand;
using worldtest::CSeeded;
using worldtest::kRat;
using worldtest::Paint;
using Bytes = std::vector<uint8_t>;

class LocWay : public worldtest::GameFixture {
protected:
    // A search on the location's passability for the mode.
    bool Find(uint32_t mode, TPoint start, TPoint end, bool testOnly = true, bool endsMustBeFree = false) {
        return m_loc.FindWay(0, mode, {}, m_path, testOnly, endsMustBeFree, start.x, start.y, end.x, end.y);
    }
    CLoc m_loc;
    TPath m_path;
};

TEST_F(LocWay, GridSourceIsZeroOrOne) {
    Paint(m_loc, {"...", "..."});
    const Bytes bytes(6, 0);
    const struct {
        uint32_t source;
        bool valid;
    } cases[] = {{0, true}, {1, true}, {2, false}, {3, false}, {0xFFFFFFFF, false}};
    for (const auto& c : cases) {
        for (const bool sameEnds : {false, true}) {
            // Equal ends are answered before the source is looked at.
            const int32_t endX = sameEnds ? 0 : 2;
            const int32_t endY = sameEnds ? 0 : 1;
            if (c.valid || sameEnds) {
                m_path.push_back({5, 5});
                EXPECT_TRUE(m_loc.FindWay(c.source, 0, bytes, m_path, true, false, 0, 0, endX, endY)) << c.source;
                EXPECT_TRUE(!sameEnds || m_path.empty()) << c.source;
                continue;
            }
            try {
                m_loc.FindWay(c.source, 0, bytes, m_path, true, false, 0, 0, endX, endY);
                ADD_FAILURE() << "source " << c.source << " was taken";
            } catch (const vek::CException& e) {
                EXPECT_EQ(e.GetDetails(), L"Incorrect function argument ");
                EXPECT_EQ(e.GetFunction(), L"CLoc::FindWay");
            }
        }
    }
}

TEST_F(LocWay, StartEqualToEndTouchesNoGrid) {
    Paint(m_loc, {"...", "..."});
    m_path.push_back({9, 9});
    EXPECT_TRUE(Find(0, {1, 1}, {1, 1}, false));
    EXPECT_TRUE(m_path.empty());
    EXPECT_FALSE(m_loc.IsPassabilityValid());
    EXPECT_EQ(m_loc.GetPathGrid().At(1, 1), 0);
    // Neither the source nor the size is looked at.
    m_path.push_back({9, 9});
    EXPECT_TRUE(m_loc.FindWay(2, 0, {}, m_path, false, true, 5, -3, 5, -3));
    EXPECT_TRUE(m_path.empty());
    EXPECT_FALSE(m_loc.IsPassabilityValid());
}

TEST_F(LocWay, EndsOutsideTheLocation) {
    Paint(m_loc, {"...", "..."});
    const struct {
        TPoint start;
        TPoint end;
        bool reached;
    } cases[] = {
        {{0, 0}, {2, 1}, true},                                // the far corner, just inside
        {{0, 0}, {3, 1}, false},                               // one column beyond
        {{0, 0}, {2, 2}, false},                               // one row beyond
        {{0, 0}, {-1, 0}, false},                              // left of the first column
        {{-1, -1}, {0, 0}, false}, {{0, 0}, {0, -1}, false},   // start or end outside
        {{3, 0}, {3, 0}, true},    {{-1, -1}, {-1, -1}, true}, // equal ends outside
    };
    for (const auto& c : cases) {
        m_path.push_back({7, 7});
        EXPECT_EQ(Find(0, c.start, c.end, false), c.reached) << c.end.x << "," << c.end.y;
        if (!c.reached) {
            EXPECT_TRUE(m_path.empty());
        }
    }
}

TEST_F(LocWay, ShortWaysAsTraced) {
    // Draws r = Next() mod 8 name direction r + 1 and are redrawn until one
    // names a neighbour one ring nearer the start.
    Paint(m_loc, {"...", "..."});
    for (const uint32_t seed : {1u, 2u, 3u, 56576u, 12345u}) {
        CSeeded seeded(seed);
        CExpectedRand expected(seed);
        // Next to each other: the way holds the start alone.
        ASSERT_TRUE(Find(0, {0, 0}, {1, 0}, false));
        EXPECT_EQ(m_path, (TPath{{0, 0}}));
        // From (1, 0) the start lies west (direction 8, r = 7).
        while (expected.Next() % 8 != 7) {
        }
        // Two steps apart: one cell, a common neighbour; from the end (2, 0)
        // (1, 1) lies south-west (direction 7) and (1, 0) west (direction 8).
        ASSERT_TRUE(Find(0, {0, 0}, {2, 0}, false));
        int32_t r = 0;
        do {
            r = expected.Next() % 8;
        } while (r != 6 && r != 7);
        EXPECT_EQ(m_path, (TPath{r == 6 ? TPoint{1, 1} : TPoint{1, 0}})) << seed;
        EXPECT_EQ(seeded.Get().Next(), expected.Next()) << "draws made: " << seed;
    }
}

TEST_F(LocWay, BlockedEndIsReachedUnlessEndsMustBeFree) {
    Paint(m_loc, {"...", "..."});
    AddMonster(m_loc, kRat, 2, 0);
    const struct {
        TPoint start;
        TPoint end;
        bool endsMustBeFree;
        bool reached;
    } cases[] = {
        {{0, 0}, {2, 0}, false, true}, // an occupied target
        {{0, 0}, {2, 0}, true, false}, // refused at once
        {{0, 1}, {2, 0}, true, false}, // the same from another start
        {{2, 0}, {0, 0}, false, true}, // leaving an occupied cell
        {{2, 0}, {0, 0}, true, false}, // not when both ends must be free
        {{0, 0}, {1, 1}, true, true},  // free ends
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Find(0, c.start, c.end, true, c.endsMustBeFree), c.reached)
            << c.start.x << "," << c.start.y << " free " << c.endsMustBeFree;
    }
}

TEST_F(LocWay, ModeZeroReusesItsGridUntilAnotherModeRebuilds) {
    // One row: the creature in the middle is the only way across.
    Paint(m_loc, {"..."});
    const CMonster& rat = AddMonster(m_loc, kRat, 1, 0);
    enum { kStay, kLeave, kReturn };
    const struct {
        const char* step;
        int move;
        uint32_t mode;
        bool reached;
    } steps[] = {
        {"the rat blocks", kStay, 0, false},
        {"it left, the grid stays", kLeave, 0, false},
        {"creatures do not block", kStay, 1, true},
        {"mode 0 again is rebuilt", kStay, 0, true},
        {"it is back, the grid stays", kReturn, 0, true},
        {"other mode bits are carried", kStay, 2, false},
        {"mode 3 lets creatures through", kStay, 3, true},
        {"mode 3 again, the rat gone", kLeave, 3, true},
        {"mode 0 sees it gone", kStay, 0, true},
    };
    for (const auto& s : steps) {
        if (s.move == kLeave) {
            m_loc.GetCreatureIds().At(1, 0) = kNoCreature;
        } else if (s.move == kReturn) {
            m_loc.GetCreatureIds().At(1, 0) = rat.localId;
        }
        EXPECT_EQ(Find(s.mode, {0, 0}, {2, 0}), s.reached) << s.step;
        EXPECT_EQ(m_loc.GetPathGridMode(), s.mode) << s.step;
    }
}

TEST_F(LocWay, TilesBeyondTheTablesAreWalls) {
    // Terrain 0 to 2 and objects 0 to 3 are defined; 0xFFFE and above is no
    // object.
    const struct {
        const char* what;
        uint16_t terrain;
        uint16_t object;
        bool special;
        uint16_t appearance;
        bool passable;
    } cases[] = {
        {"last terrain", 2, kNoTile, false, 0, true},
        {"terrain just beyond", 3, kNoTile, false, 0, false},
        {"terrain after Init", kNoTile, kNoTile, false, 0, false},
        {"terrain 0xFFFF", 0xFFFF, kNoTile, false, 0, false},
        {"last object", 0, 3, false, 0, true},
        {"object just beyond", 0, 4, false, 0, false},
        {"object just below none", 0, 0xFFFD, false, 0, false},
        {"no object 0xFFFF", 0, 0xFFFF, false, 0, true},
        {"special appearance inside", 0, kNoTile, true, 3, true},
        {"special appearance beyond", 0, kNoTile, true, 4, false},
    };
    for (const auto& c : cases) {
        Paint(m_loc, {"..."});
        m_loc.GetTerrain().At(1, 0) = c.terrain;
        m_loc.GetObjects().At(1, 0) = c.object;
        if (c.special) {
            m_loc.SetSpecialObject(1, 0, kSpecialScripted, c.appearance, 0, L"");
        }
        EXPECT_EQ(IsPassable(1, 0, m_loc), c.passable) << c.what;
        EXPECT_EQ(Find(0, {0, 0}, {2, 0}), c.passable) << c.what;
        EXPECT_EQ(m_loc.GetPassabilityGrid().At(1, 0), c.passable ? 0 : 1) << c.what;
    }
}

TEST_F(LocWay, CallersValuesAreWalls) {
    // A caller's grid whose blocked cells hold small numbers: none is taken
    // for a ring, so the way neither passes the wall nor loops.
    Paint(m_loc, {"...", "...", "..."});
    for (const uint8_t wall : {1, 2, 3, 4, 5, 255}) {
        const Bytes bytes{0, 0, 0, wall, wall, wall, 0, 0, 0};
        EXPECT_FALSE(m_loc.FindWay(1, 0, bytes, m_path, false, false, 0, 0, 0, 2)) << int{wall};
        EXPECT_TRUE(m_path.empty());
        const Bytes gap{0, 0, 0, wall, 0, wall, 0, 0, 0};
        EXPECT_TRUE(m_loc.FindWay(1, 0, gap, m_path, false, false, 0, 0, 0, 2)) << int{wall};
        EXPECT_EQ(m_path, (TPath{{1, 1}})) << int{wall};
    }
    EXPECT_THROW(m_loc.FindWay(1, 0, Bytes(8, 0), m_path, true, false, 0, 0, 0, 2), vek::CException);
    EXPECT_THROW(m_loc.FindWay(1, 0, Bytes(10, 0), m_path, true, false, 0, 0, 0, 2), vek::CException);
}

TEST_F(LocWay, ByteGridSearchLeavesTheCacheAlone) {
    Paint(m_loc, {"...", "..."});
    m_loc.GetTerrain().At(1, 0) = 1;
    m_loc.GetTerrain().At(1, 1) = 1;
    EXPECT_FALSE(Find(0, {0, 0}, {2, 0}));
    EXPECT_TRUE(m_loc.FindWay(1, 0, Bytes(6, 0), m_path, true, false, 0, 0, 2, 0));
    // The passability cache was not touched: mode 0 is filled from it again.
    EXPECT_FALSE(Find(0, {0, 0}, {2, 0}));
    EXPECT_EQ(m_loc.GetPassabilityGrid().At(1, 0), 1);
}

TEST_F(LocWay, LocationsWithoutCellsFindNothing) {
    EXPECT_FALSE(Find(0, {0, 0}, {1, 0})); // a new location
    EXPECT_TRUE(Find(0, {0, 0}, {0, 0}));  // equal ends need no cells
    m_loc.Init(L"x", 2, 2, 0, 0);
    m_loc.Clear();
    EXPECT_FALSE(Find(0, {0, 0}, {1, 1}));
    EXPECT_FALSE(m_loc.FindWay(1, 0, {}, m_path, true, false, 0, 0, 1, 1));
}

TEST_F(LocWay, LoadingAndResizingRenewTheCache) {
    Paint(m_loc, {"....", "...."});
    ASSERT_TRUE(Find(0, {0, 0}, {3, 1}));
    ASSERT_TRUE(m_loc.IsPassabilityValid());
    m_loc.Resize(6, 3);
    EXPECT_TRUE(m_loc.IsPassabilityValid());
    EXPECT_EQ(m_loc.GetPassabilityGrid().GetWidth(), 6);
    EXPECT_EQ(m_loc.GetPathGrid().GetHeight(), 3);
    // New cells carry the location's terrain type (0: grass).
    EXPECT_TRUE(Find(0, {0, 0}, {5, 2}));

    m_loc.SaveToFile(L"", false);
    CLoc loaded;
    const auto bytes = vek::GetStream().bytes();
    vek::StreamAssign(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    loaded.LoadFromFile(L"", L"saved", false, false, false);
    EXPECT_FALSE(loaded.IsPassabilityValid());
    EXPECT_EQ(loaded.GetPathGrid().GetWidth(), 6);
    EXPECT_TRUE(loaded.FindWay(0, 0, {}, m_path, true, false, 0, 0, 5, 2));
}

} // namespace
