#include <gtest/gtest.h>

#include <vector>

#include "VEKLib/Geometry.h"
#include "VEKLib/Random.h"

namespace {

using vek::TPoint;

TEST(Geometry, Directions) {
    const TPoint from{5, 5};
    const struct {
        uint8_t direction;
        TPoint to;
    } cases[] = {{1, {4, 4}}, {2, {5, 4}}, {3, {6, 4}}, {4, {6, 5}}, {5, {6, 6}},  {6, {5, 6}},
                 {7, {4, 6}}, {8, {4, 5}}, {0, {5, 5}}, {9, {5, 5}}, {255, {5, 5}}};
    for (const auto& c : cases) {
        EXPECT_EQ(vek::MoveInDirection(c.direction, from), c.to) << int(c.direction);
    }
}

TEST(Geometry, DistanceAndLengthTruncate) {
    EXPECT_EQ(vek::Distance({0, 0}, {3, 4}), 5);
    EXPECT_EQ(vek::Distance({0, 0}, {1, 1}), 1);
    EXPECT_EQ(vek::Distance({2, 2}, {0, 0}), 2);
    EXPECT_EQ(vek::Length({-3, 4}), 5);
    // Far-apart points neither overflow nor wrap negative.
    EXPECT_EQ(vek::Distance({-2147483647 - 1, 0}, {2147483647, 0}), 2147483647);
    EXPECT_EQ(vek::Length({100000, 0}), 100000);
}

TEST(Geometry, RectExcludesRightAndBottomEdges) {
    const vek::CRect r{2, 3, 4, 5};
    EXPECT_TRUE(r.Contains(2, 3));
    EXPECT_TRUE(r.Contains(5, 7));
    EXPECT_FALSE(r.Contains(6, 3));
    EXPECT_FALSE(r.Contains(2, 8));
    EXPECT_FALSE(r.Contains(1, 3));
    EXPECT_TRUE(r.ContainsPoint({3, 4}));
}

TEST(Random, StdRandFollowsTheRuntimeSequence) {
    vek::CStdRand r;
    r.Seed(1);
    std::vector<int32_t> got;
    for (int i = 0; i < 5; ++i) {
        got.push_back(r.Next());
    }
    EXPECT_EQ(got, (std::vector<int32_t>{41, 18467, 6334, 26500, 19169}));
    EXPECT_EQ(r.GetSeed(), 1u);
}

TEST(Random, StdRandInstancesShareOneState) {
    vek::CStdRand a;
    vek::CStdRand b;
    a.Seed(1);
    EXPECT_EQ(a.Next(), 41);
    EXPECT_EQ(b.Next(), 18467);
}

TEST(Random, MersenneTwisterSequence) {
    // Worked out independently from the generator's definition.
    vek::CMersenneTwister mt;
    mt.Seed(5489);
    EXPECT_EQ(mt.GetSeed(), 5489u);
    EXPECT_EQ(mt.Next(), 1336643961);
    EXPECT_EQ(mt.Next(), 930529519);
    EXPECT_EQ(mt.Next(), 471243030);
    EXPECT_EQ(mt.GetSeed(), 1316654193u); // word 0 after regeneration
    vek::CMersenneTwister other;
    other.Seed(1);
    EXPECT_EQ(other.Next(), 372185800);
}

// Yields scripted draws, so range arithmetic can be checked exactly.
class ScriptedRandom : public vek::CRandomGeneratorBase {
public:
    explicit ScriptedRandom(std::vector<int32_t> draws) : m_draws(std::move(draws)) {}
    int32_t Next() override { return m_draws.at(m_next++); }
    void Seed(uint32_t) override {}
    size_t drawn() const { return m_next; }

private:
    std::vector<int32_t> m_draws;
    size_t m_next = 0;
};

class RandomRangeTest : public ::testing::Test {
protected:
    void TearDown() override { vek::SetRandomGenerator(nullptr); }
};

TEST_F(RandomRangeTest, NoGeneratorGivesZeroAndFalse) {
    vek::SetRandomGenerator(nullptr);
    EXPECT_EQ(vek::RandomRange(5, 9), 0);
    EXPECT_FALSE(vek::Chance(100, 100));
}

TEST_F(RandomRangeTest, RangeResults) {
    const struct {
        int32_t draw, lo, hi, expected;
    } cases[] = {
        {7, 1, 6, 2},     // 1 + 7 % 6
        {12345, 4, 4, 4}, // lo = hi ignores the draw
        {5, -3, 3, 2},    // -3 + 5 % 7
        {9, 10, 9, 10},   // hi = lo - 1: taken as 9..10
        {4, 6, 1, 5},     // reversed bounds stay inside 1..6
        {-7, 1, 6, 6},    // negative draw stays inside the range
        {32767, -2147483647 - 1, 2147483647, -2147483647 - 1 + 32767},
    };
    for (const auto& c : cases) {
        ScriptedRandom r({c.draw});
        vek::SetRandomGenerator(&r);
        EXPECT_EQ(vek::RandomRange(c.lo, c.hi), c.expected) << c.draw << " " << c.lo << ".." << c.hi;
        EXPECT_EQ(r.drawn(), 1u);
    }
}

TEST_F(RandomRangeTest, ChanceResults) {
    const struct {
        int32_t draw, p, n;
        bool expected;
    } cases[] = {
        {10, 3, 9, true},                                       // 10 % 10 = 0
        {13, 3, 9, true},                                       // 3 <= 3
        {14, 3, 9, false},  {999, 9, 9, true},                  // p >= n always true
        {0, -1, 9, false},                                      // p < 0 always false
        {5, 0, -1, true},                                       // n = -1 no longer divides by zero
        {5, -1, -1, false}, {2147483647, 0, 2147483647, false}, // n + 1 in 64 bits
    };
    for (const auto& c : cases) {
        ScriptedRandom r({c.draw});
        vek::SetRandomGenerator(&r);
        EXPECT_EQ(vek::Chance(c.p, c.n), c.expected) << c.draw << " " << c.p << "/" << c.n;
        EXPECT_EQ(r.drawn(), 1u);
    }
}

} // namespace
