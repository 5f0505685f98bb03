#include <gtest/gtest.h>

#include <vector>

#include "VEKLib/Exception.h"
#include "world/gen/Draw.h"
#include "world/gen/GenTestSupport.h"

namespace {

using gentest::CListedValues;

TEST(Draw, RemaindersOfSignedValues) {
    const struct {
        int32_t value;
        int32_t n;
        int32_t r;
        int32_t rs;
    } cases[] = {
        {7, 3, 1, 1},          {-7, 3, 2, -1}, {-6, 3, 0, 0}, {0, 1, 0, 0}, {-1, 4, 3, -1}, {-2147483647 - 1, 4, 0, 0},
        {2147483647, 2, 1, 1}, {5, 5, 0, 0},
    };
    for (const auto& c : cases) {
        CListedValues values({c.value, c.value});
        gen::CDraw draw(&values);
        EXPECT_EQ(draw.R(c.n), c.r) << c.value << " % " << c.n;
        EXPECT_EQ(draw.Rs(c.n), c.rs) << c.value << " % " << c.n;
    }
}

TEST(Draw, WithoutAGeneratorEveryDrawIsZero) {
    gen::CDraw draw(nullptr);
    EXPECT_EQ(draw.Next(), 0);
    EXPECT_EQ(draw.R(7), 0);
    EXPECT_EQ(draw.Rs(7), 0);
}

TEST(Draw, AnEmptyRangeIsRefused) {
    for (int32_t n : {0, -1, -2147483647 - 1}) {
        CListedValues values({3, 3});
        gen::CDraw draw(&values);
        EXPECT_THROW(draw.R(n), vek::CException) << n;
        EXPECT_THROW(draw.Rs(n), vek::CException) << n;
    }
}

} // namespace
