#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <set>

#include "world/gen/Seed.h"

// Generation seeds: the clock's, different for every run, or the test's own.
namespace {

TEST(Seed, ClockRunsOfOneSecondDiffer) {
    std::set<uint32_t> seeds;
    for (int i = 0; i < 1000; ++i) {
        seeds.insert(gen::ClockSeed());
    }
    EXPECT_EQ(seeds.size(), 1000u);
}

TEST(Seed, ASourceReplacesTheClockUntilItIsTakenAway) {
    uint32_t next = 7;
    gen::SetSeedSource([&] { return next++; });
    EXPECT_EQ(gen::NextSeed(), 7u);
    EXPECT_EQ(gen::NextSeed(), 8u);
    gen::SetSeedSource(nullptr);
    // The clock again: far from the test's small numbers.
    const auto now = static_cast<uint32_t>(std::time(nullptr));
    EXPECT_NE(gen::NextSeed(), 9u);
    EXPECT_GT(now, 9u);
}

} // namespace
