#pragma once
// A blast drawn over the map view: from the cell it starts on it spreads to
// the cells around it, each a square of its colour that grows from the
// cell's middle to the whole cell, and shrinks back over the last frames.
#include <cstdint>
#include <vector>

#include "VEKLib/Geometry.h"
#include "data/GameDisplay.h"

namespace irr::video {
class IVideoDriver;
}

// Frames of a blast: one a frame of the main loop, about a third of a second.
inline constexpr uint32_t kBlastFrames = 11;
// A cell one step further from the blast's start begins this many frames later.
inline constexpr uint32_t kBlastFramesPerStep = 3;
// Frames a square takes to fill its cell.
inline constexpr uint32_t kBlastGrowFrames = 4;
// The last frames shrink every square back, a step of the growth each.
inline constexpr uint32_t kBlastFadeFrames = 3;

// One square of a frame, in window pixels (right and bottom excluded), and
// its colour (ARGB, opaque).
struct TBlastSquare {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    uint32_t colour = 0;
    bool operator==(const TBlastSquare&) const = default;
};

// The full colour of a blast of that kind; an unknown kind is drawn as an
// explosion.
uint32_t BlastColour(uint32_t kind);
// The squares of the frame (0 to kBlastFrames - 1) with the view's top-left
// cell at the origin: one for each cell of the blast that the view shows and
// the blast has reached by then.
std::vector<TBlastSquare> ComposeBlastFrame(const TBlast& blast, uint32_t frame, vek::TPoint viewOrigin);
void DrawBlastFrame(const std::vector<TBlastSquare>& squares, irr::video::IVideoDriver& driver);
