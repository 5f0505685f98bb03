#include "platform/CrtRand.h"

#include <gtest/gtest.h>

namespace {

// Seeded with 1 the run-time generator yields 41, 18467, 6334, 26500.
TEST(CrtRand, AStepOnACopyOfTheStateContinuesTheSequence) {
    platform::CrtSrand(1);
    EXPECT_EQ(platform::CrtRand(), 41);
    uint32_t state = platform::CrtRandState();
    EXPECT_EQ(platform::CrtRandStep(state), 18467);
    EXPECT_EQ(platform::CrtRandStep(state), 6334);
    // The shared state has not moved until the copy is put back.
    EXPECT_EQ(platform::CrtRand(), 18467);
    platform::CrtSrand(state);
    EXPECT_EQ(platform::CrtRand(), 26500);
}

} // namespace
