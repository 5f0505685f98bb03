#pragma once
// Directions on the grid, distances and rectangles.
#include <cstdint>

namespace vek {

struct TPoint {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const TPoint&) const = default;
};

// Directions 1..8 clockwise from up-left; anything else is no direction.
TPoint DirectionToOffset(uint8_t direction);
TPoint MoveInDirection(uint8_t direction, TPoint position);
int32_t Distance(TPoint a, TPoint b);
int32_t Length(TPoint vector);

struct CRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool Contains(int32_t x, int32_t y) const;
    bool ContainsPoint(TPoint p) const { return Contains(p.x, p.y); }
};

} // namespace vek
