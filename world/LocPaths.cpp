// A location's passability and way search: thin calls into the cache, which
// owns the grids, and the search, which knows nothing of locations.
#include "VEKLib/Exception.h"
#include "world/Loc.h"

namespace {

// What the cache asks of a location's cells.
class CLocCells final : public IPassabilitySource {
public:
    explicit CLocCells(const CLoc& loc) : m_loc(loc) {}
    bool IsCellPassable(uint16_t x, uint16_t y) const override { return IsPassable(x, y, m_loc); }
    bool IsCellOccupied(uint16_t x, uint16_t y) const override {
        return m_loc.GetCreatureIds().At(x, y) != kNoCreature;
    }

private:
    const CLoc& m_loc;
};

} // namespace

void CLoc::SetPassabilityCell(uint16_t x, uint16_t y, bool blocked) { m_passability.SetCell(x, y, blocked); }

void CLoc::RefreshPassability(uint32_t mode) { m_passability.Refresh(mode, CLocCells(*this)); }

void CLoc::BuildPassability() { RebuildPassability(m_passability.GetRequestedMode()); }

void CLoc::RebuildPassability(uint32_t mode) { m_passability.Build(mode, CLocCells(*this)); }

bool CLoc::FindWay(uint32_t gridSource, uint32_t mode, std::span<const uint8_t> grid, TPath& path, bool testOnly,
                   bool endsMustBeFree, int32_t startX, int32_t startY, int32_t endX, int32_t endY) {
    // Equal ends need no grid at all, so neither the source nor the size is
    // looked at.
    path.clear();
    if (startX == endX && startY == endY) {
        return true;
    }
    if (gridSource != static_cast<uint32_t>(EPathSource::kPassability) &&
        gridSource != static_cast<uint32_t>(EPathSource::kBytes)) {
        throw vek::CException(L"CLoc::FindWay", L"Loc", __LINE__, L"Incorrect function argument ");
    }
    // The location's own size decides what lies inside (a new location has
    // grids of one cell but no cells of its own).
    if (!IsInside(startX, startY) || !IsInside(endX, endY)) {
        return false;
    }
    TPathQuery query;
    query.start = {startX, startY};
    query.end = {endX, endY};
    query.testOnly = testOnly;
    query.endsMustBeFree = endsMustBeFree;
    return m_passability.FindWay(static_cast<EPathSource>(gridSource), mode, grid, query, path, CLocCells(*this));
}
