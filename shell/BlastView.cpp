#include "shell/BlastView.h"

#include <irrlicht.h>

#include <algorithm>
#include <cstdlib>

#include "shell/MapView.h"

namespace {

constexpr uint32_t kHalfCell = kCellPixels / 2;

} // namespace

uint32_t BlastColour(uint32_t kind) {
    switch (kind) {
    case TBlast::kFlame:
        return 0xFFF04818u;
    case TBlast::kFrost:
        return 0xFFA0D8FFu;
    case TBlast::kGas:
        return 0xFF80D058u;
    default:
        return 0xFFFFB030u;
    }
}

std::vector<TBlastSquare> ComposeBlastFrame(const TBlast& blast, uint32_t frame, vek::TPoint viewOrigin) {
    std::vector<TBlastSquare> squares;
    // The last frames shrink every square back a step at a time.
    const uint32_t fadeStart = kBlastFrames - kBlastFadeFrames;
    const uint32_t left = kBlastFadeFrames + 1 - (frame >= fadeStart ? frame - fadeStart + 1 : 0);
    const uint32_t colour = BlastColour(blast.kind);
    for (const vek::TPoint cell : blast.cells) {
        const int32_t column = cell.x - viewOrigin.x;
        const int32_t row = cell.y - viewOrigin.y;
        if (column < 0 || row < 0 || column >= kViewColumns || row >= kViewRows) {
            continue;
        }
        const auto steps =
            static_cast<uint32_t>(std::max(std::abs(cell.x - blast.origin.x), std::abs(cell.y - blast.origin.y)));
        const uint32_t start = steps * kBlastFramesPerStep;
        if (frame < start) {
            continue;
        }
        const uint32_t grown = std::min(frame - start + 1, kBlastGrowFrames);
        const auto half = static_cast<int32_t>(
            std::min(kHalfCell * grown / kBlastGrowFrames, kHalfCell * left / (kBlastFadeFrames + 1)));
        const int32_t middleX = column * kCellPixels + kCellPixels / 2;
        const int32_t middleY = row * kCellPixels + kCellPixels / 2;
        squares.push_back({middleX - half, middleY - half, middleX + half, middleY + half, colour});
    }
    return squares;
}

void DrawBlastFrame(const std::vector<TBlastSquare>& squares, irr::video::IVideoDriver& driver) {
    for (const TBlastSquare& square : squares) {
        driver.draw2DRectangle(irr::video::SColor(square.colour),
                               irr::core::rect<irr::s32>(square.left, square.top, square.right, square.bottom));
    }
}
