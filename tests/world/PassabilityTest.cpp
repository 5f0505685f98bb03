#include "world/Passability.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VEKLib/Random.h"

namespace {

using vek::TPoint;

// Cells of text rows: '#' impassable, 'c' a creature on a passable cell,
// anything else passable and empty. Counts what the cache asks.
class CFakeCells final : public IPassabilitySource {
public:
    explicit CFakeCells(std::vector<std::string> rows) : m_rows(std::move(rows)) {}
    bool IsCellPassable(uint16_t x, uint16_t y) const override {
        ++m_asked;
        return m_rows[y][x] != '#';
    }
    bool IsCellOccupied(uint16_t x, uint16_t y) const override { return m_rows[y][x] == 'c'; }
    void Set(uint16_t x, uint16_t y, char c) { m_rows[y][x] = c; }
    uint16_t Width() const { return static_cast<uint16_t>(m_rows[0].size()); }
    uint16_t Height() const { return static_cast<uint16_t>(m_rows.size()); }
    mutable int m_asked = 0;

private:
    std::vector<std::string> m_rows;
};

std::vector<std::string> Picture(const vek::CMap<uint16_t>& grid) {
    std::vector<std::string> rows;
    for (uint16_t y = 0; y < grid.GetHeight(); ++y) {
        std::string row;
        for (uint16_t x = 0; x < grid.GetWidth(); ++x) {
            row += grid.At(x, y) == 0 ? '.' : grid.At(x, y) == 1 ? '#' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

class PassabilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        vek::SetRandomGenerator(nullptr);
        m_cache.Resize(m_cells.Width(), m_cells.Height());
    }
    CFakeCells m_cells{{"..#..", ".c#..", "....."}};
    CPassabilityCache m_cache;
};

TEST_F(PassabilityTest, BuildBlocksCreaturesUnlessTheModeSaysOtherwise) {
    const struct {
        uint32_t mode;
        std::vector<std::string> grid;
    } cases[] = {
        {0, {"..#..", ".##..", "....."}},
        {1, {"..#..", "..#..", "....."}},
        {2, {"..#..", ".##..", "....."}}, // other bits are carried, not used
        {3, {"..#..", "..#..", "....."}},
    };
    for (const auto& c : cases) {
        m_cache.Build(c.mode, m_cells);
        EXPECT_TRUE(m_cache.IsValid());
        EXPECT_EQ(m_cache.GetRequestedMode(), c.mode);
        EXPECT_EQ(Picture(m_cache.GetPassabilityGrid()), c.grid) << c.mode;
    }
}

TEST_F(PassabilityTest, RefreshRebuildsOnlyForAnotherModeOrAnInvalidCache) {
    EXPECT_FALSE(m_cache.IsValid());
    const struct {
        const char* step;
        uint32_t mode;
        bool rebuilt;
    } steps[] = {
        {"first search builds", 0, true},   {"same mode again reuses", 0, false},
        {"another mode rebuilds", 1, true}, {"and again for the first mode", 0, true},
        {"reuse once more", 0, false},
    };
    for (const auto& s : steps) {
        const int asked = m_cells.m_asked;
        m_cache.Refresh(s.mode, m_cells);
        EXPECT_EQ(m_cells.m_asked != asked, s.rebuilt) << s.step;
        EXPECT_EQ(m_cache.GetPathGridMode(), s.mode) << s.step;
        EXPECT_EQ(Picture(m_cache.GetPathGrid()), Picture(m_cache.GetPassabilityGrid())) << s.step;
    }
    const int asked = m_cells.m_asked;
    m_cache.Invalidate();
    m_cache.Refresh(0, m_cells);
    EXPECT_NE(m_cells.m_asked, asked);
}

TEST_F(PassabilityTest, ABuildOutsideARefreshServesOnlyItsOwnMode) {
    m_cache.Refresh(1, m_cells);
    // A resized location builds for mode 0 on its own.
    m_cache.Resize(m_cells.Width(), m_cells.Height());
    m_cache.Build(0, m_cells);
    int asked = m_cells.m_asked;
    m_cache.Refresh(1, m_cells);
    EXPECT_NE(m_cells.m_asked, asked);
    EXPECT_EQ(Picture(m_cache.GetPathGrid())[1], "..#..");
    asked = m_cells.m_asked;
    m_cache.Refresh(1, m_cells);
    EXPECT_EQ(m_cells.m_asked, asked);
    // A grid built for the mode asked for is still rebuilt when the path grid
    // was last filled for another one.
    m_cache.Build(0, m_cells);
    asked = m_cells.m_asked;
    m_cache.Refresh(0, m_cells);
    EXPECT_NE(m_cells.m_asked, asked);
    EXPECT_EQ(m_cache.GetPathGridMode(), 0u);
    asked = m_cells.m_asked;
    m_cache.Refresh(0, m_cells);
    EXPECT_EQ(m_cells.m_asked, asked);
}

TEST_F(PassabilityTest, ResizeAndFreeInvalidate) {
    m_cache.Refresh(0, m_cells);
    m_cache.Resize(m_cells.Width(), m_cells.Height());
    EXPECT_FALSE(m_cache.IsValid());
    m_cache.Refresh(0, m_cells);
    m_cache.Free();
    EXPECT_FALSE(m_cache.IsValid());
    EXPECT_FALSE(m_cache.GetPathGrid().HasCells());
    // Nothing to search in a freed location, and nothing breaks.
    TPath path;
    EXPECT_FALSE(m_cache.FindWay(EPathSource::kPassability, 0, {}, {{0, 0}, {1, 0}}, path, m_cells));
}

// Two searches with mode 0 in a row reuse the first grid even when a creature
// has moved in between; a search with mode 1 in between rebuilds it.
TEST(Passability, SearchesReuseTheGridUntilTheModeChanges) {
    // A wall whose one gap holds a creature.
    CFakeCells cells({"..#..", "..c..", "..#.."});
    CPassabilityCache cache;
    cache.Resize(cells.Width(), cells.Height());
    const TPathQuery across{{0, 1}, {4, 1}, true, true};
    TPath path;
    const struct {
        const char* step;
        uint32_t mode;
        bool found;
        const char* gapRow;
    } steps[] = {
        {"the creature blocks the gap", 0, false, "..#.."},
        {"it has left, but mode 0 reuses the grid", 0, false, "..#.."},
        {"mode 1 rebuilds: creatures do not block", 1, true, "....."},
        {"mode 0 rebuilds with the creature where it is now", 0, true, "....."},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(cache.FindWay(EPathSource::kPassability, s.mode, {}, across, path, cells), s.found) << s.step;
        EXPECT_EQ(Picture(cache.GetPassabilityGrid())[1], s.gapRow) << s.step;
        if (s.mode == 0 && !s.found) {
            cells.Set(2, 1, '.');
            cells.Set(0, 0, 'c');
        }
    }
    EXPECT_EQ(Picture(cache.GetPassabilityGrid())[0], "#.#..");
}

TEST_F(PassabilityTest, AnOccupiedTargetIsReachedUnlessEndsMustBeFree) {
    TPath path;
    // A monster walking to the creature at (1, 1).
    EXPECT_TRUE(m_cache.FindWay(EPathSource::kPassability, 0, {}, {{4, 2}, {1, 1}}, path, m_cells));
    EXPECT_EQ(path.size(), 2u);
    EXPECT_FALSE(m_cache.FindWay(EPathSource::kPassability, 0, {}, {{4, 2}, {1, 1}, true, true}, path, m_cells));
    // With creatures not blocking the cell is free.
    EXPECT_TRUE(m_cache.FindWay(EPathSource::kPassability, 1, {}, {{4, 2}, {1, 1}, true, true}, path, m_cells));
}

TEST_F(PassabilityTest, AByteGridSearchLeavesTheCacheAlone) {
    const uint8_t bytes[] = {
        0, 0, 0, 0, 0, //
        0, 0, 0, 0, 0, //
        9, 9, 9, 9, 0, //
    };
    TPath path;
    EXPECT_TRUE(m_cache.FindWay(EPathSource::kBytes, 0, bytes, {{0, 0}, {4, 0}, true, true}, path, m_cells));
    EXPECT_FALSE(m_cache.FindWay(EPathSource::kBytes, 0, bytes, {{0, 0}, {0, 2}, true, true}, path, m_cells));
    EXPECT_EQ(m_cells.m_asked, 0);
    EXPECT_FALSE(m_cache.IsValid());
}

TEST_F(PassabilityTest, NoSearchNoRefresh) {
    TPath path = {{1, 1}};
    EXPECT_TRUE(m_cache.FindWay(EPathSource::kPassability, 0, {}, {{2, 2}, {2, 2}}, path, m_cells));
    EXPECT_TRUE(path.empty());
    EXPECT_FALSE(m_cache.FindWay(EPathSource::kPassability, 0, {}, {{2, 2}, {5, 2}}, path, m_cells));
    EXPECT_EQ(m_cells.m_asked, 0);
    EXPECT_FALSE(m_cache.IsValid());
}

} // namespace
