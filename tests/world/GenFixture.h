#pragma once
// Definition tables that every generator's tiles, the dungeon's walls and
// doors, and the placement passes' items and creature groups find their
// kinds in, and a fixture that puts them into a game and keeps the seeds of
// generation under the test's hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "VEKLib/Format.h"
#include "VEKLib/Random.h"
#include "data/GameData.h"
#include "tests/support/GenerationTables.h"
#include "tests/world/LocFixture.h"
#include "tests/world/WorldFixture.h"
#include "world/Loc.h"
#include "world/gen/Seed.h"

namespace worldtest {

using testsupport::BlockingObject;
using testsupport::FillGenerationTables;
using testsupport::kRockTerrain;

// Generation seeds come from the test while it lives.
class CSeedFromTest {
public:
    explicit CSeedFromTest(uint32_t seed) : m_seed(seed) {
        gen::SetSeedSource([this] {
            ++m_asked;
            return m_seed;
        });
    }
    ~CSeedFromTest() { gen::SetSeedSource(nullptr); }
    CSeedFromTest(const CSeedFromTest&) = delete;
    CSeedFromTest& operator=(const CSeedFromTest&) = delete;
    void Set(uint32_t seed) { m_seed = seed; }
    int Asked() const { return m_asked; }

private:
    uint32_t m_seed;
    int m_asked = 0;
};

// A game with the generation tables.
class GenGame : public GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        FillGenerationTables(m_game);
    }
    void TearDown() override {
        vek::SetRandomGenerator(nullptr);
        GameFixture::TearDown();
    }
};

// A world in a scratch folder with the generation tables.
class GenWorld : public WorldFixture {
protected:
    void SetUp() override {
        WorldFixture::SetUp();
        FillGenerationTables(m_game);
    }
    void TearDown() override {
        vek::SetRandomGenerator(nullptr);
        WorldFixture::TearDown();
    }
};

// Where the location's special objects of a kind stand, in row order.
inline std::vector<vek::TPoint> SpecialCells(const CLoc& loc, uint16_t kind) {
    std::vector<vek::TPoint> cells;
    for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
        for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
            const TSpecialObject& object = loc.GetSpecialObjects().At(x, y);
            if (object.active != 0 && object.kind == kind) {
                cells.push_back({x, y});
            }
        }
    }
    return cells;
}

// Creatures that are listed and alive.
inline size_t LivingCreatures(const CLoc& loc) {
    size_t count = 0;
    for (const CMonster* creature : loc.GetCreatures()) {
        count += creature != nullptr && creature->IsAlive() ? 1 : 0;
    }
    return count;
}

} // namespace worldtest
