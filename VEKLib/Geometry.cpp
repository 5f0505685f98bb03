#include "VEKLib/Geometry.h"

#include <cmath>

namespace vek {

namespace {
int32_t TruncatedRoot(double sumOfSquares) {
    const double r = std::sqrt(sumOfSquares);
    return r >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(r);
}
} // namespace

TPoint DirectionToOffset(uint8_t direction) {
    static constexpr TPoint kOffsets[9] = {{0, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0},
                                           {1, 1}, {0, 1},   {-1, 1}, {-1, 0}};
    return direction <= 8 ? kOffsets[direction] : TPoint{};
}

TPoint MoveInDirection(uint8_t direction, TPoint position) {
    const TPoint d = DirectionToOffset(direction);
    return {position.x + d.x, position.y + d.y};
}

int32_t Distance(TPoint a, TPoint b) {
    // Differences in 64 bits: far-apart points must not overflow.
    const double dx = static_cast<double>(static_cast<int64_t>(b.x) - a.x);
    const double dy = static_cast<double>(static_cast<int64_t>(b.y) - a.y);
    return TruncatedRoot(dx * dx + dy * dy);
}

int32_t Length(TPoint v) {
    const double x = v.x;
    const double y = v.y;
    return TruncatedRoot(x * x + y * y);
}

bool CRect::Contains(int32_t x, int32_t y) const {
    const int64_t right = static_cast<int64_t>(left) + width;
    const int64_t bottom = static_cast<int64_t>(top) + height;
    return left <= x && x < right && top <= y && y < bottom;
}

} // namespace vek
