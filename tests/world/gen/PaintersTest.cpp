#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Random.h"
#include "world/gen/GenTestSupport.h"
#include "world/gen/Genesis.h"
#include "world/gen/Painters.h"

namespace {

using Rows = gentest::Tiles;
using gentest::TLayers;
constexpr uint16_t N = gen::kNoTile;

// The generator's values are those of state * 214013 + 2531011, (state >> 16)
// & 0x7FFF; with seed 1: 41 18467 6334 26500 19169 ... The tiles below follow
// from them by the painting rules. `next` is the value after the painter's
// last draw, so a painter that draws once too often or too rarely fails.
struct TPaintCase {
    const char* name;
    uint32_t terrainType;
    uint16_t width;
    uint16_t height;
    uint32_t seed;
    uint8_t density;
    Rows terrain;
    Rows objects;
    std::vector<gen::TItemToPut> items;
    int32_t draws;
    int32_t next;
};

const TPaintCase kPaintCases[] = {
    // 41 % 3 = 2, 18467 % 3 = 2, 6334 % 3 = 1, 26500 % 3 = 1.
    {"BurnedGrounds", 15, 2, 2, 1, 0, {{17, 17}, {16, 16}}, {{N, N}, {N, N}}, {}, 4, 19169},
    {"Sea", 21, 3, 1, 7, 0, {{22, 23, 23}}, {{54, 55, 53}}, {}, 6, 30152},
    // Seed 5: 54 28693 | 12255 24449 27660 | ... terrain 12 + 0, then
    // 28693 % 101 = 9 < 40 gives stones 50 + 12255 % 3 = 50.
    {"Wasteland", 12, 3, 2, 5, 40, {{12, 14, 14}, {12, 14, 12}}, {{50, N, N}, {50, N, 50}}, {}, 15, 4307},
    {"Desert", 18, 3, 2, 29, 0, {{19, 20, 20}, {18, 18, 19}}, {{N, 0, N}, {39, 1, 1}}, {}, 34, 6791},
    // Seed 2: kind 45 % 3 = 0 (grass 43), share 29216 % 20 + 20 = 36; the
    // first cell: terrain 24198 % 3 = 0, c = 17795 % 101 = 19 <= 36, grass
    // 43 + 29484 % 3 = 43.
    {"Meadow kind 0", 0, 3, 2, 2, 0, {{0, 0, 1}, {0, 1, 1}}, {{43, N, 45}, {44, N, 43}}, {}, 28, 29711},
    {"Meadow kind 1", 0, 3, 2, 6, 0, {{2, 2, 0}, {0, 1, 2}}, {{N, 50, N}, {N, N, N}}, {}, 40, 24557},
    {"Meadow kind 2", 0, 3, 2, 1, 0, {{1, 2, 0}, {0, 2, 0}}, {{N, N, N}, {45, 50, 51}}, {}, 38, 17035},
    {"Forest with a bush pair and fruit",
     6,
     4,
     3,
     4184,
     0,
     {{6, 7, 8, 8}, {7, 6, 7, 8}, {6, 7, 7, 6}},
     {{185, 186, 187, 170}, {181, 188, 189, 172}, {184, 178, N, 174}},
     {{{2, 2}, 137}},
     71,
     26083},
    {"Forest with undergrowth",
     6,
     4,
     3,
     181143,
     0,
     {{8, 8, 7, 6}, {8, 6, 8, 6}, {6, 7, 6, 7}},
     {{185, 186, 187, 170}, {181, 178, N, 172}, {184, 192, 190, 174}},
     {{{2, 1}, 138}},
     70,
     12170},
    // Trees rooted above the top row show their lower rows.
    {"Forest one row", 6, 5, 1, 3, 0, {{6, 8, 7, 8, 7}}, {{181, 182, 183, 184, 182}}, {}, 22, 1164},
    // Seed 8: 64 28170 | 311 31103 | 25835 10443 497 8867 11471 | 14195 4670
    // 28453 14413 1579. Rows 0 and 1: c = 92 and 96 > 75, nothing. Row 2:
    // c = 40, tree 497 % 5 + 1 = 3 (3 x 3 from 179), left offset 11471 % 2 +
    // 1 = 2, so the tree rooted at (-2, 2) shows its right column 181, 184;
    // the tree at (0, 2) then finds its cell taken. Row 3 is taken already.
    {"Forest one column", 6, 1, 4, 8, 0, {{7}, {8}, {8}, {8}}, {{N}, {N}, {181}, {184}}, {}, 14, 1466},
};

TEST(Painters, DrawForDrawOnSmallLocations) {
    for (const TPaintCase& c : kPaintCases) {
        SCOPED_TRACE(c.name);
        TLayers layers(c.width, c.height);
        gen::CTileCanvas canvas(layers.terrain, layers.objects);
        vek::CStdRand random;
        random.Seed(c.seed);
        std::unique_ptr<CGenesis> genesis = CGenesis::Create(c.terrainType, 26);
        genesis->SetRandomGenerator(&random);
        genesis->Generate({c.terrainType, &canvas, c.density});
        EXPECT_EQ(layers.Terrain(), c.terrain);
        EXPECT_EQ(layers.Objects(), c.objects);
        EXPECT_EQ(canvas.items, c.items);
        EXPECT_TRUE(canvas.doors.empty());
        EXPECT_EQ(random.Next(), c.next) << "after " << c.draws << " draws";
        EXPECT_TRUE(genesis->MarksGenerated());
    }
}

using gentest::ValueAfter;

// A 1 x 1 meadow draws the kind, the share, then for its cell the terrain,
// the kind-2 choice (kind 2 only), c, and the chain of rare objects up to the
// first that hits.
TEST(Painters, OneCellMeadowStopsAtTheFirstHit) {
    const struct {
        uint32_t seed;
        uint16_t terrain;
        uint16_t object;
        int32_t draws;
    } cases[] = {
        // Seed 2: kind 0, share 36, terrain 0, c = 19, grass 43 + 0.
        {2, 0, 43, 5},
        // Seed 35: 152 23465 23892 25453 9417 18160: kind 2, share 25,
        // terrain 0, the kind-2 draw 1 (grass 50), c = 24 <= 25, grass 50 + 1.
        {35, 0, 51, 6},
        // The rest were found by a search over seeds with a model of the
        // rules written apart from the code.
        {17, 2, 52, 5},
        {4, 0, N, 9},
        {6, 2, N, 9},
        {1, 1, N, 10},
        {136, 1, 123, 7},
        {595, 1, 72, 7},
        {649, 0, 75, 8},
        {548, 2, 178, 8},
        {41, 2, 190, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seed);
        TLayers layers(1, 1);
        gen::CTileCanvas canvas(layers.terrain, layers.objects);
        vek::CStdRand random;
        random.Seed(c.seed);
        gen::CDraw draw(&random);
        gen::PaintMeadow(canvas, draw);
        EXPECT_EQ(layers.terrain.At(0, 0), c.terrain);
        EXPECT_EQ(layers.objects.At(0, 0), c.object);
        EXPECT_EQ(random.Next(), ValueAfter(c.seed, c.draws));
    }
}

TEST(Painters, PlainKindsDrawNothing) {
    const struct {
        uint32_t terrainType;
        uint16_t tile;
    } cases[] = {{4, 4}, {1, 0}, {3, 0}, {25, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.terrainType);
        TLayers layers(3, 2);
        gen::CTileCanvas canvas(layers.terrain, layers.objects);
        vek::CStdRand random;
        random.Seed(1);
        std::unique_ptr<CGenesis> genesis = CGenesis::Create(c.terrainType, 26);
        genesis->SetRandomGenerator(&random);
        genesis->Generate({c.terrainType, &canvas, 60});
        EXPECT_EQ(layers.Terrain(), Rows(2, std::vector<uint16_t>(3, c.tile)));
        EXPECT_EQ(layers.Objects(), Rows(2, std::vector<uint16_t>(3, N)));
        EXPECT_EQ(random.Next(), 41);
    }
}

TEST(Painters, WastelandStonesFollowTheDensity) {
    const struct {
        uint8_t density;
        double share;
    } cases[] = {{40, 40.0 / 101}, {80, 80.0 / 101}};
    for (const auto& c : cases) {
        TLayers layers(120, 100);
        gen::CTileCanvas canvas(layers.terrain, layers.objects);
        vek::CStdRand random;
        random.Seed(99);
        gen::CDraw draw(&random);
        gen::PaintWasteland(canvas, draw, c.density);
        int32_t stones = 0;
        for (const auto& row : layers.Objects()) {
            for (uint16_t tile : row) {
                if (tile != N) {
                    EXPECT_GE(tile, 50);
                    EXPECT_LE(tile, 52);
                    ++stones;
                }
            }
        }
        EXPECT_NEAR(stones / 12000.0, c.share, 0.02) << int(c.density);
    }
}

// A tree on row 0 is tried twice, rooted above the map and at its cell; the
// second try takes only cells the first left empty. Listed values per cell:
// terrain, c, shape, top offset, the row-0 chance, left offset.
TEST(Painters, ForestTreeOnTheTopRowTriedTwice) {
    const std::vector<int32_t> values = {// (0, 0): 1 x 2 tree (176, 177), top offset 1, tried at (0, -1): its
                                         // lower tile 177 on (0, 0). Left offset 1: the tree at (-1, 0) has no
                                         // cell inside. At (0, 0) the cell is taken: no tree, no decoration.
                                         0, 0, 1, 0, 0, 0,
                                         // (1, 0): the same tree with top offset 2: at (1, -2) nothing shows,
                                         // so at (1, 0) it stands whole: 176 over 177. No decoration either.
                                         0, 0, 1, 1, 0, 0,
                                         // Row 1: c = 80 > 75, nothing.
                                         0, 80, 0, 80};
    gentest::CListedValues listed(values);
    TLayers layers(2, 2);
    gen::CTileCanvas canvas(layers.terrain, layers.objects);
    gen::CDraw draw(&listed);
    gen::PaintForest(canvas, draw);
    EXPECT_EQ(listed.Used(), values.size());
    EXPECT_EQ(layers.Objects(), (Rows{{177, 176}, {N, 177}}));
    EXPECT_EQ(layers.Terrain(), (Rows{{6, 6}, {6, 6}}));
    EXPECT_TRUE(canvas.items.empty());
}

TEST(Painters, ForestTreesNeverOverlap) {
    // Every object tile of a tree belongs to one whole shape: a cell's tile
    // and its position within the shape agree with its neighbours'.
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        TLayers layers(12, 9);
        gen::CTileCanvas canvas(layers.terrain, layers.objects);
        vek::CStdRand random;
        random.Seed(seed);
        gen::CDraw draw(&random);
        gen::PaintForest(canvas, draw);
        for (int32_t y = 0; y < 9; ++y) {
            for (int32_t x = 0; x < 12; ++x) {
                const uint16_t tile = canvas.Object(x, y);
                // A 3 x 3 tree tile not in the last column has its right
                // neighbour next to it; not in the last row, the one below.
                if (tile >= 179 && tile <= 187) {
                    const int32_t column = (tile - 179) % 3;
                    const int32_t row = (tile - 179) / 3;
                    if (column < 2 && x + 1 < 12) {
                        EXPECT_EQ(canvas.Object(x + 1, y), tile + 1) << seed << " " << x << "," << y;
                    }
                    if (row < 2 && y + 1 < 9) {
                        EXPECT_EQ(canvas.Object(x, y + 1), tile + 3) << seed << " " << x << "," << y;
                    }
                }
            }
        }
        for (const gen::TItemToPut& item : canvas.items) {
            EXPECT_EQ(canvas.Object(item.cell.x, item.cell.y), N);
            EXPECT_GE(item.itemType, 137);
            EXPECT_LE(item.itemType, 139);
        }
    }
}

TEST(Genesis, CreateChoosesByTerrainType) {
    const struct {
        uint32_t terrainType;
        const std::type_info& kind;
    } cases[] = {
        {0, typeid(CGenesisMeadow)},   {1, typeid(CGenesisDefault)},    {4, typeid(CGenesisDungeon)},
        {6, typeid(CGenesisForest)},   {12, typeid(CGenesisWasteland)}, {15, typeid(CGenesisBurnedGrounds)},
        {18, typeid(CGenesisDesert)},  {21, typeid(CGenesisSea)},       {3, typeid(CGenesisDefault)},
        {22, typeid(CGenesisDefault)}, {25, typeid(CGenesisDefault)},
    };
    for (const auto& c : cases) {
        std::unique_ptr<CGenesis> genesis = CGenesis::Create(c.terrainType, 26);
        const CGenesis& made = *genesis;
        EXPECT_EQ(typeid(made), c.kind) << c.terrainType;
        EXPECT_EQ(genesis->GetRandomGenerator(), nullptr);
    }
}

TEST(Genesis, CreateRefusesTypesBeyondTheTable) {
    const struct {
        uint32_t terrainType;
        size_t count;
    } cases[] = {{26, 26}, {27, 26}, {0, 0}, {4294967295u, 26}};
    for (const auto& c : cases) {
        try {
            CGenesis::Create(c.terrainType, c.count);
            ADD_FAILURE() << c.terrainType << " of " << c.count;
        } catch (const vek::CException& e) {
            EXPECT_EQ(e.GetDetails(), L"Invalid terrain type.");
            EXPECT_EQ(e.GetFunction(), L"CGenesis::Create");
            EXPECT_EQ(e.GetSourceFile(), L"Genesis");
        }
    }
    // Against the game's terrain table: a game without one refuses them all.
    gentest::CFakeGame game;
    EXPECT_THROW(CGenesis::Create(0, game), vek::CException);
    game.tables.terrain.resize(22);
    EXPECT_EQ(typeid(*CGenesis::Create(21, game)), typeid(CGenesisSea));
    EXPECT_THROW(CGenesis::Create(22, game), vek::CException);
}

TEST(Genesis, GenerateNeedsALocation) {
    CGenesisSea sea;
    EXPECT_THROW(sea.Generate({21, nullptr, 40}), vek::CException);
}

TEST(Genesis, DensityIsOneDrawFrom40To80) {
    vek::CStdRand random;
    // Seed 1: 41 % 41 = 0 and 18467 % 41 = 17.
    random.Seed(1);
    EXPECT_EQ(gen::DrawDensity(&random), 40);
    EXPECT_EQ(gen::DrawDensity(&random), 57);
    EXPECT_EQ(gen::DrawDensity(nullptr), 40);
}

} // namespace
