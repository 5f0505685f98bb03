#pragma once
// Open ground: the cells that lie on some shortest king's-move line between
// start and end form a band (the cells n with |s n| + |n e| = |s e|, where |a b|
// is the larger of the column and row distances). When every cell of the band
// is free, the flood needs no running: a cell of the band lies exactly |s n|
// steps from the start, every shortest way stays inside the band, and a
// band cell's ring number is |s n| + 2. Tracing back then picks among the same
// cells with the same draws as after a flood.
#include <cstdint>

#include "VEKLib/Geometry.h"
#include "VEKLib/Map2D.h"

class COpenBand {
public:
    COpenBand(vek::TPoint start, vek::TPoint end);

    // The steps from start to end on open ground.
    uint32_t GetLength() const { return m_length; }
    bool Contains(vek::TPoint p) const { return Steps(m_start, p) + Steps(p, m_end) == m_length; }
    // True when p is a band cell that a flood would give ring number `ring`.
    bool HasRing(vek::TPoint p, uint32_t ring) const {
        const uint32_t fromStart = Steps(m_start, p);
        return fromStart + 2 == ring && fromStart + Steps(p, m_end) == m_length;
    }
    // The band's cells of row y, columns lo to hi; false when it has none there.
    bool RowSpan(int32_t y, int32_t& lo, int32_t& hi) const;
    // True when every cell of the band inside the grid, start and end aside,
    // holds 0.
    bool IsFree(const vek::CMap<uint16_t>& grid) const;

    // King's moves from a to b on open ground.
    static uint32_t Steps(vek::TPoint a, vek::TPoint b) {
        const uint64_t dx = a.x < b.x ? static_cast<int64_t>(b.x) - a.x : static_cast<int64_t>(a.x) - b.x;
        const uint64_t dy = a.y < b.y ? static_cast<int64_t>(b.y) - a.y : static_cast<int64_t>(a.y) - b.y;
        return static_cast<uint32_t>(dx > dy ? dx : dy);
    }

private:
    vek::TPoint m_start;
    vek::TPoint m_end;
    uint32_t m_length;
};
