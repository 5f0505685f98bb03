#include "world/Passability.h"

void CPassabilityCache::Resize(uint16_t width, uint16_t height) {
    m_passability.Resize(width, height);
    m_pathGrid.Resize(width, height);
    m_valid = false;
}

void CPassabilityCache::Free() {
    m_passability.Free();
    m_pathGrid.Free();
    m_valid = false;
}

void CPassabilityCache::Build(uint32_t mode, const IPassabilitySource& cells) {
    m_requestedMode = mode;
    if (uint16_t* out = m_passability.Data()) {
        const bool creaturesBlock = (mode & kPassCreaturesDoNotBlock) == 0;
        for (uint16_t y = 0; y < m_passability.GetHeight(); ++y) {
            for (uint16_t x = 0; x < m_passability.GetWidth(); ++x) {
                const bool blocked = !cells.IsCellPassable(x, y) || (creaturesBlock && cells.IsCellOccupied(x, y));
                *out++ = blocked ? kPathBlocked : kPathFree;
            }
        }
    }
    m_valid = true;
}

void CPassabilityCache::Refresh(uint32_t mode, const IPassabilitySource& cells) {
    // Also keyed on the mode the grid was built for: a build outside a
    // refresh (a resized location builds for mode 0) must not serve another
    // mode.
    if (!m_valid || m_pathGridMode != mode || m_requestedMode != mode) {
        Build(mode, cells);
    }
    if (m_pathGrid.HasCells()) {
        FillPathGrid(m_pathGrid, m_passability);
    }
    m_pathGridMode = m_requestedMode;
}

bool CPassabilityCache::FindWay(EPathSource source, uint32_t mode, std::span<const uint8_t> bytes,
                                const TPathQuery& query, TPath& path, const IPassabilitySource& cells) {
    return FindPath(
        m_pathGrid, query,
        [&](vek::CMap<uint16_t>& grid) {
            if (source == EPathSource::kBytes) {
                FillPathGrid(grid, bytes);
            } else {
                Refresh(mode, cells);
            }
        },
        path, m_scratch);
}
