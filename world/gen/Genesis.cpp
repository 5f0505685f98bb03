#include "world/gen/Genesis.h"

#include "VEKLib/Exception.h"
#include "world/gen/Painters.h"

namespace {

constexpr const wchar_t* kSource = L"Genesis";

gen::CTileCanvas& CanvasOf(const TGenesisParams& params, const wchar_t* function) {
    if (!params.canvas) {
        throw vek::CException(function, kSource, __LINE__, L"No location to generate.");
    }
    return *params.canvas;
}

} // namespace

std::unique_ptr<CGenesis> CGenesis::Create(uint32_t terrainType, size_t terrainCount) {
    if (terrainType >= terrainCount) {
        throw vek::CException(L"CGenesis::Create", kSource, __LINE__, L"Invalid terrain type.");
    }
    switch (terrainType) {
    case gen::kMeadowTerrain:
        return std::make_unique<CGenesisMeadow>();
    case gen::kDungeonTerrain:
        return std::make_unique<CGenesisDungeon>();
    case gen::kForestTerrain:
        return std::make_unique<CGenesisForest>();
    case gen::kWastelandTerrain:
        return std::make_unique<CGenesisWasteland>();
    case gen::kBurnedGroundsTerrain:
        return std::make_unique<CGenesisBurnedGrounds>();
    case gen::kDesertTerrain:
        return std::make_unique<CGenesisDesert>();
    case gen::kSeaTerrain:
        return std::make_unique<CGenesisSea>();
    default:
        return std::make_unique<CGenesisDefault>();
    }
}

std::unique_ptr<CGenesis> CGenesis::Create(uint32_t terrainType, const gen::IGameServices& game) {
    return Create(terrainType, game.Tables().terrain.size());
}

void CGenesisDefault::Generate(const TGenesisParams& params) {
    gen::PaintDefault(CanvasOf(params, L"CGenesisDefault::Generate"));
}

void CGenesisMeadow::Generate(const TGenesisParams& params) {
    gen::CDraw draw(m_generator);
    gen::PaintMeadow(CanvasOf(params, L"CGenesisMeadow::Generate"), draw);
}

void CGenesisForest::Generate(const TGenesisParams& params) {
    gen::CDraw draw(m_generator);
    gen::PaintForest(CanvasOf(params, L"CGenesisForest::Generate"), draw);
}

void CGenesisDesert::Generate(const TGenesisParams& params) {
    gen::CDraw draw(m_generator);
    gen::PaintDesert(CanvasOf(params, L"CGenesisDesert::Generate"), draw);
}

void CGenesisSea::Generate(const TGenesisParams& params) {
    gen::CDraw draw(m_generator);
    gen::PaintSea(CanvasOf(params, L"CGenesisSea::Generate"), draw);
}

void CGenesisWasteland::Generate(const TGenesisParams& params) {
    gen::CDraw draw(m_generator);
    gen::PaintWasteland(CanvasOf(params, L"CGenesisWasteland::Generate"), draw, params.density);
}

void CGenesisBurnedGrounds::Generate(const TGenesisParams& params) {
    gen::CDraw draw(m_generator);
    gen::PaintBurnedGrounds(CanvasOf(params, L"CGenesisBurnedGrounds::Generate"), draw);
}

void CGenesisDungeon::Generate(const TGenesisParams& params) {
    gen::PaintDungeon(CanvasOf(params, L"CGenesisDungeon::Generate"));
}

namespace gen {

uint8_t DrawDensity(vek::CRandomGeneratorBase* generator) {
    CDraw draw(generator);
    return static_cast<uint8_t>(draw.R(41) + 40);
}

} // namespace gen
