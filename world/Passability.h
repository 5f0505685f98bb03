#pragma once
// The location's passability cache and path grid. The passability grid (1 where
// a walker cannot enter, else 0) is kept between searches and rebuilt only when
// it was invalidated or a search asks for another mode; creatures, doors and
// items moving do not rebuild it by themselves. Before each search it is copied
// into the path grid, which the search numbers.
#include <cstdint>
#include <span>

#include "VEKLib/Map2D.h"
#include "world/PathSearch.h"

// Mode bit: creatures do not block. Other bits are carried but not used.
inline constexpr uint32_t kPassCreaturesDoNotBlock = 1;

// What the cache asks of its location when it rebuilds.
class IPassabilitySource {
public:
    virtual ~IPassabilitySource() = default;
    // Terrain, map object and special object let a walker onto the cell.
    virtual bool IsCellPassable(uint16_t x, uint16_t y) const = 0;
    // A creature or the hero stands on the cell.
    virtual bool IsCellOccupied(uint16_t x, uint16_t y) const = 0;
};

// Where a search takes its grid from.
enum class EPathSource : uint32_t {
    kPassability = 0, // the cached passability for the search's mode
    kBytes = 1,       // the caller's byte grid
};

class CPassabilityCache {
public:
    // Sizes both grids to the location; their old content is gone, so the
    // cache becomes invalid.
    void Resize(uint16_t width, uint16_t height);
    // Frees both grids' cells (a cleared location); the cache becomes invalid.
    void Free();
    void Invalidate() { m_valid = false; }
    // A door opened or closed: its cell changes without a rebuild. Nothing
    // while the grid is stale (the rebuild sees the door) or for a cell
    // outside it.
    void SetCell(uint16_t x, uint16_t y, bool blocked) {
        if (m_valid && x < m_passability.GetWidth() && y < m_passability.GetHeight()) {
            m_passability.At(x, y) = blocked ? 1 : 0;
        }
    }
    bool IsValid() const { return m_valid; }
    // The mode the path grid was last filled for, and the mode the passability
    // grid was last built for.
    uint32_t GetPathGridMode() const { return m_pathGridMode; }
    uint32_t GetRequestedMode() const { return m_requestedMode; }

    // Rebuilds the passability grid for the mode and marks the cache valid.
    void Build(uint32_t mode, const IPassabilitySource& cells);
    // Brings the path grid up to date for the mode: rebuilds the passability
    // grid when the cache is invalid or was built for another mode, then copies
    // it into the path grid.
    void Refresh(uint32_t mode, const IPassabilitySource& cells);

    // One search, the path grid filled from the source: the passability for
    // the mode, or the bytes (width x height, any value but 0 blocked).
    bool FindWay(EPathSource source, uint32_t mode, std::span<const uint8_t> bytes, const TPathQuery& query,
                 TPath& path, const IPassabilitySource& cells);

    const vek::CMap<uint16_t>& GetPassabilityGrid() const { return m_passability; }
    const vek::CMap<uint16_t>& GetPathGrid() const { return m_pathGrid; }
    vek::CMap<uint16_t>& GetPathGrid() { return m_pathGrid; }

private:
    vek::CMap<uint16_t> m_passability;
    vek::CMap<uint16_t> m_pathGrid;
    CPathScratch m_scratch;
    bool m_valid = false;
    uint32_t m_pathGridMode = 0;
    uint32_t m_requestedMode = 0;
};
