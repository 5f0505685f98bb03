#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/BlastView.h"

// The squares of a blast's frames, worked out by hand: a cell's square grows
// by 4 pixels a side a frame (half sizes 4, 8, 12, 16) from its first frame,
// 0 for the blast's start and 3 for the cells one step away; in the last
// three frames every square is at most 12, 8 and 4.
namespace {

using Squares = std::vector<TBlastSquare>;

// A square of that half size around the middle of the view cell.
TBlastSquare Square(int32_t column, int32_t row, int32_t half, uint32_t colour) {
    const int32_t x = column * 32 + 16;
    const int32_t y = row * 32 + 16;
    return {x - half, y - half, x + half, y + half, colour};
}

TEST(BlastView, FramesGrowFromTheStartAndFade) {
    // An explosion at (5, 5) reaching (4, 5) and (6, 6), the view from (2, 3).
    const TBlast blast{TBlast::kExplosion, {5, 5}, {{4, 5}, {5, 5}, {6, 6}}};
    const uint32_t full = 0xFFFFB030u;
    const struct {
        uint32_t frame;
        Squares squares;
    } cases[] = {
        {0, {Square(3, 2, 4, full)}},
        {2, {Square(3, 2, 12, full)}},
        {3, {Square(2, 2, 4, full), Square(3, 2, 16, full), Square(4, 3, 4, full)}},
        {6, {Square(2, 2, 16, full), Square(3, 2, 16, full), Square(4, 3, 16, full)}},
        {7, {Square(2, 2, 16, full), Square(3, 2, 16, full), Square(4, 3, 16, full)}},
        {8, {Square(2, 2, 12, full), Square(3, 2, 12, full), Square(4, 3, 12, full)}},
        {10, {Square(2, 2, 4, full), Square(3, 2, 4, full), Square(4, 3, 4, full)}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComposeBlastFrame(blast, c.frame, {2, 3}), c.squares) << c.frame;
    }
}

TEST(BlastView, OnlyCellsTheViewShows) {
    const TBlast blast{TBlast::kGas, {20, 15}, {{19, 14}, {20, 15}, {21, 16}}};
    // The view from (2, 1) shows columns 2 to 21 and rows 1 to 15.
    EXPECT_EQ(ComposeBlastFrame(blast, 6, {2, 1}),
              (Squares{Square(17, 13, 16, 0xFF80D058u), Square(18, 14, 16, 0xFF80D058u)}));
    EXPECT_EQ(ComposeBlastFrame(blast, 6, {22, 0}), Squares{});
}

} // namespace
