#include "world/PathBand.h"

#include <algorithm>
#include <cstdlib>

namespace {

int64_t Gap(int32_t a, int32_t b) { return std::abs(static_cast<int64_t>(a) - b); }

// True when a cell of [first, last] holds anything but 0; one pass that the
// compiler can do many cells at a time.
bool AnyBlocked(const uint16_t* row, int64_t first, int64_t last) {
    uint16_t any = 0;
    for (int64_t x = first; x <= last; ++x) {
        any = static_cast<uint16_t>(any | row[x]);
    }
    return any != 0;
}

} // namespace

COpenBand::COpenBand(vek::TPoint start, vek::TPoint end) : m_start(start), m_end(end), m_length(Steps(start, end)) {}

bool COpenBand::RowSpan(int32_t y, int32_t& lo, int32_t& hi) const {
    const int64_t fromStart = Gap(y, m_start.y);
    const int64_t toEnd = Gap(y, m_end.y);
    int64_t low = 0;
    int64_t high = 0;
    if (Gap(m_start.x, m_end.x) >= Gap(m_start.y, m_end.y)) {
        // Every step moves one column towards the end; a row drifts at most
        // one per step from either end.
        if (m_start.x <= m_end.x) {
            low = m_start.x + fromStart;
            high = m_end.x - toEnd;
        } else {
            low = m_end.x + toEnd;
            high = m_start.x - fromStart;
        }
    } else {
        // Every step moves one row towards the end.
        if (y < std::min(m_start.y, m_end.y) || y > std::max(m_start.y, m_end.y)) {
            return false;
        }
        low = std::max(m_start.x - fromStart, m_end.x - toEnd);
        high = std::min(m_start.x + fromStart, m_end.x + toEnd);
    }
    if (low > high) {
        return false;
    }
    lo = static_cast<int32_t>(low);
    hi = static_cast<int32_t>(high);
    return true;
}

bool COpenBand::IsFree(const vek::CMap<uint16_t>& grid) const {
    const int64_t width = grid.GetWidth();
    const int64_t height = grid.GetHeight();
    const uint16_t* const cells = grid.Data();
    const int64_t top = std::max<int64_t>(0, std::min(m_start.y, m_end.y) - static_cast<int64_t>(m_length));
    const int64_t bottom = std::min(height - 1, std::max(m_start.y, m_end.y) + static_cast<int64_t>(m_length));
    const vek::TPoint ends[2] = {m_start.x <= m_end.x ? m_start : m_end, m_start.x <= m_end.x ? m_end : m_start};
    for (int64_t y = top; y <= bottom; ++y) {
        int32_t lo = 0;
        int32_t hi = 0;
        if (!RowSpan(static_cast<int32_t>(y), lo, hi)) {
            continue;
        }
        const int64_t first = std::max<int64_t>(lo, 0);
        const int64_t last = std::min<int64_t>(hi, width - 1);
        const uint16_t* const row = cells + y * width;
        // The start and the end may hold anything: the row is scanned around
        // them, left to right.
        int64_t from = first;
        for (const vek::TPoint& skip : ends) {
            if (skip.y == y && skip.x >= from && skip.x <= last) {
                if (AnyBlocked(row, from, skip.x - 1)) {
                    return false;
                }
                from = skip.x + 1;
            }
        }
        if (AnyBlocked(row, from, last)) {
            return false;
        }
    }
    return true;
}
