#pragma once
// Helpers of the generation tests: layout grids written as text, generators
// that hand out listed values, a game of the test's own, and the run-time
// generator's values computed apart from the code under test.
#include <cstdint>
#include <deque>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "VEKLib/Geometry.h"
#include "VEKLib/Map2D.h"
#include "VEKLib/Random.h"
#include "world/gen/Canvas.h"
#include "world/gen/GameServices.h"
#include "world/gen/Layout.h"

namespace gentest {

// Hands out the given values in turn; one draw too many throws.
class CListedValues : public vek::CRandomGeneratorBase {
public:
    explicit CListedValues(std::vector<int32_t> values) : m_values(std::move(values)) {}
    int32_t Next() override {
        if (m_next >= m_values.size()) {
            throw std::out_of_range("more draws than listed");
        }
        return m_values[m_next++];
    }
    void Seed(uint32_t) override {}
    size_t Used() const { return m_next; }

private:
    std::vector<int32_t> m_values;
    size_t m_next = 0;
};

// The game as a test sets it up: its generator, tables and groups; the input
// modes it was switched to and the lines reported, in turn.
class CFakeGame final : public gen::IGameServices {
public:
    vek::CRandomGeneratorBase* GameRandom() override { return random; }
    const CDefinitionTables& Tables() const override { return tables; }
    std::span<const TGroupTableEntry> GroupTable() const override { return groups; }
    bool InEditor() const override { return editor; }
    void SetInputMode(uint32_t mode) override { modes.push_back(mode); }
    void Report(const std::wstring& line) override { reports.push_back(line); }

    vek::CRandomGeneratorBase* random = nullptr;
    CDefinitionTables tables;
    std::vector<TGroupTableEntry> groups;
    bool editor = false;
    std::vector<uint32_t> modes;
    std::vector<std::wstring> reports;
};

// The value the run-time generator seeded with seed gives after `draws`
// values: state * 214013 + 2531011, (state >> 16) & 0x7FFF.
inline int32_t ValueAfter(uint32_t seed, int32_t draws) {
    uint32_t state = seed;
    for (int32_t i = 0; i <= draws; ++i) {
        state = state * 214013u + 2531011u;
    }
    return static_cast<int32_t>((state >> 16) & 0x7FFF);
}

// Cells reached from `from` in eight directions over the cells of a
// width x height area that `enters` lets in, written apart from the way
// search: seen[y][x].
template <class Enters>
std::vector<std::vector<bool>> FloodFrom(int32_t width, int32_t height, vek::TPoint from, Enters enters) {
    std::vector<std::vector<bool>> seen(height, std::vector<bool>(width, false));
    std::deque<vek::TPoint> queue{from};
    seen[from.y][from.x] = true;
    while (!queue.empty()) {
        const vek::TPoint p = queue.front();
        queue.pop_front();
        for (int32_t dy = -1; dy <= 1; ++dy) {
            for (int32_t dx = -1; dx <= 1; ++dx) {
                const int32_t x = p.x + dx;
                const int32_t y = p.y + dy;
                if (x >= 0 && y >= 0 && x < width && y < height && !seen[y][x] && enters(x, y)) {
                    seen[y][x] = true;
                    queue.push_back({x, y});
                }
            }
        }
    }
    return seen;
}

// '#' rock, '.' floor, '+' doorway.
inline gen::CLayoutGrid GridOf(const std::vector<std::string>& rows) {
    gen::CLayoutGrid grid;
    grid.Resize(static_cast<uint16_t>(rows.at(0).size()), static_cast<uint16_t>(rows.size()));
    for (size_t y = 0; y < rows.size(); ++y) {
        for (size_t x = 0; x < rows[y].size(); ++x) {
            const char c = rows[y][x];
            grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)) =
                c == '.' ? gen::kFloor : (c == '+' ? gen::kDoorway : gen::kRock);
        }
    }
    return grid;
}

inline std::vector<std::string> RowsOf(const gen::CLayoutGrid& grid) {
    std::vector<std::string> rows(grid.GetHeight(), std::string(grid.GetWidth(), '#'));
    for (uint16_t y = 0; y < grid.GetHeight(); ++y) {
        for (uint16_t x = 0; x < grid.GetWidth(); ++x) {
            const uint8_t cell = grid.At(x, y);
            rows[y][x] = cell == gen::kFloor ? '.' : (cell == gen::kDoorway ? '+' : '#');
        }
    }
    return rows;
}

using Tiles = std::vector<std::vector<uint16_t>>;

inline Tiles TilesOf(const vek::CMap<uint16_t>& map) {
    Tiles rows(map.GetHeight(), std::vector<uint16_t>(map.GetWidth()));
    for (uint16_t y = 0; y < map.GetHeight(); ++y) {
        for (uint16_t x = 0; x < map.GetWidth(); ++x) {
            rows[y][x] = map.At(x, y);
        }
    }
    return rows;
}

// A location's two tile layers as generation finds them: every tile empty.
struct TLayers {
    TLayers(int32_t width, int32_t height) {
        terrain.Resize(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
        objects.Resize(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
        terrain.Fill(gen::kNoTile);
        objects.Fill(gen::kNoTile);
    }
    Tiles Terrain() const { return TilesOf(terrain); }
    Tiles Objects() const { return TilesOf(objects); }
    vek::CMap<uint16_t> terrain;
    vek::CMap<uint16_t> objects;
};

inline gen::CLayoutGrid RockGrid(int32_t width, int32_t height) {
    gen::CLayoutGrid grid;
    grid.Resize(static_cast<uint16_t>(width), static_cast<uint16_t>(height));
    grid.Fill(gen::kRock);
    return grid;
}

} // namespace gentest
