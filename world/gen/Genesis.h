#pragma once
// The generator family: one class per terrain kind, chosen by terrain type,
// each painting a freshly initialised location through its painter.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "VEKLib/Random.h"
#include "world/gen/Canvas.h"
#include "world/gen/GameServices.h"

struct TGenesisParams {
    uint32_t terrainType = 0;
    gen::CTileCanvas* canvas = nullptr; // not owned
    // 40 to 80: the share of wasteland cells with stones.
    uint8_t density = 40;
};

class CGenesis {
public:
    // The generator of each named terrain (gen/Canvas.h: meadow, dungeon,
    // forest, wasteland, burned grounds, desert, sea); every other type below
    // terrainCount the default. CException "Invalid terrain type." for a
    // type not below terrainCount.
    static std::unique_ptr<CGenesis> Create(uint32_t terrainType, size_t terrainCount);
    // The same against the game's terrain table.
    static std::unique_ptr<CGenesis> Create(uint32_t terrainType, const gen::IGameServices& game);

    // Whether the location is marked as generated (which widens what the hero
    // sees of it).
    virtual bool MarksGenerated() const { return true; }
    virtual void Generate(const TGenesisParams& params) = 0;
    virtual ~CGenesis() = default;

    // Not owned; without one every draw is 0.
    void SetRandomGenerator(vek::CRandomGeneratorBase* generator) { m_generator = generator; }
    vek::CRandomGeneratorBase* GetRandomGenerator() const { return m_generator; }

protected:
    vek::CRandomGeneratorBase* m_generator = nullptr;
};

class CGenesisDefault final : public CGenesis {
public:
    void Generate(const TGenesisParams& params) override;
};

class CGenesisMeadow final : public CGenesis {
public:
    void Generate(const TGenesisParams& params) override;
};

class CGenesisForest final : public CGenesis {
public:
    void Generate(const TGenesisParams& params) override;
};

class CGenesisDesert final : public CGenesis {
public:
    void Generate(const TGenesisParams& params) override;
};

class CGenesisSea final : public CGenesis {
public:
    void Generate(const TGenesisParams& params) override;
};

class CGenesisWasteland final : public CGenesis {
public:
    void Generate(const TGenesisParams& params) override;
};

class CGenesisBurnedGrounds final : public CGenesis {
public:
    void Generate(const TGenesisParams& params) override;
};

class CGenesisDungeon final : public CGenesis {
public:
    void Generate(const TGenesisParams& params) override;
};

namespace gen {

// The density of a generation run: 40 to 80, one draw.
uint8_t DrawDensity(vek::CRandomGeneratorBase* generator);

} // namespace gen
