#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Random.h"
#include "platform/Utf8.h"
#include "tests/support/Files.h"
#include "tests/world/GenFixture.h"
#include "tests/world/LocServices.h"
#include "world/GenServices.h"
#include "world/Loc.h"
#include "world/World.h"
#include "world/gen/GenTestSupport.h"
#include "world/gen/Layout.h"

// Random locations made whole: a generator run over a location, the
// generation loop with sites and depth levels, its acceptance test and its
// limits, the depth ratio, the levels of dungeon sites and towers, and the
// world's seams that call them.
namespace {

using gentest::CListedValues;
using testsupport::Thrown;
using worldtest::CConsoleText;
using worldtest::CExpectedRand;
using worldtest::CSeeded;
using worldtest::CSeedFromTest;
using worldtest::SpecialCells;

constexpr uint16_t kLeftToGenerator = 0xFFFF;

std::string Utf8(const std::wstring& text) { return platform::ToUtf8(text); }

uint32_t CellValue(vek::TPoint cell) { return (static_cast<uint32_t>(cell.y) << 16) | static_cast<uint32_t>(cell.x); }

// A map file's site exit (appearance 35) at the cell made inactive: saving
// lists active special objects only, so its active byte is cleared in place.
void DeactivateSiteExit(const std::string& path, vek::TPoint cell) {
    std::string bytes = testsupport::ReadBytes(path);
    const size_t at =
        bytes.find(std::string{static_cast<char>(cell.x), 0, static_cast<char>(cell.y), 0, 1, 0, 7, 0, 35, 0});
    ASSERT_NE(at, std::string::npos) << cell.x << "," << cell.y;
    bytes[at + 4] = 0;
    testsupport::WriteBytes(path, bytes);
}

// Cells reached from `from`, in eight directions, over cells that can be
// walked on or hold a door, written apart from the generator.
std::vector<std::vector<bool>> Walkable(const CLoc& loc, vek::TPoint from) {
    return gentest::FloodFrom(loc.GetWidth(), loc.GetHeight(), from, [&](int32_t x, int32_t y) {
        const TSpecialObject& object = loc.GetSpecialObjects().At(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
        return IsPassable(x, y, loc) || (object.active != 0 && object.kind == kSpecialDoor);
    });
}

// Every layer's cells and the creatures, to tell two locations apart.
std::wstring Contents(const CLoc& loc) {
    std::wstring text = vek::Format(L"%ux%u %u|", static_cast<uint32_t>(loc.GetWidth()),
                                    static_cast<uint32_t>(loc.GetHeight()), static_cast<uint32_t>(loc.GetFlags()));
    for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
        for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
            const TSpecialObject& object = loc.GetSpecialObjects().At(x, y);
            text += vek::Format(L"%u,%u,%u,%u,%u,%u;", static_cast<uint32_t>(loc.GetTerrain().At(x, y)),
                                static_cast<uint32_t>(loc.GetObjects().At(x, y)),
                                static_cast<uint32_t>(loc.GetCreatureIds().At(x, y)), loc.GetItemCount(x, y),
                                static_cast<uint32_t>(object.active), object.value);
        }
    }
    for (const CMonster* creature : loc.GetCreatures()) {
        text += vek::Format(L"m%u@%u,%u", static_cast<uint32_t>(creature->monsterType), creature->x, creature->y);
    }
    return text;
}

// --- A generator run over a location ----------------------------------------------------------------

class GenesisRun : public worldtest::GenGame {
protected:
    static TWorldLocInfo Record(uint16_t terrain, uint16_t width, uint16_t height) {
        TWorldLocInfo record;
        record.name = L"Heath";
        record.terrainType = terrain;
        record.width = width;
        record.height = height;
        record.randomKind = kWorldRandom;
        return record;
    }
    CLoc m_loc;
};

TEST_F(GenesisRun, RunGenesisDrawsDensityThenPaints) {
    // Burned grounds, 2 x 1: the density (unused), then 15 + 5 % 3, 15 + 1 % 3.
    CListedValues values({7, 5, 1});
    m_loc.RunGenesis(Record(15, 2, 1), &values);
    EXPECT_EQ(values.Used(), 3u);
    EXPECT_EQ(m_loc.GetTerrain().At(0, 0), 17);
    EXPECT_EQ(m_loc.GetTerrain().At(1, 0), 16);
    EXPECT_EQ(m_loc.GetOwnName(), L"Heath");
    EXPECT_EQ(m_loc.GetTerrainType(), 15);
    EXPECT_EQ(m_loc.GetFlags(), kLocGenerating | kLocLayoutPresent | kLocWideReveal);
    // Wasteland: density 40 + 40 = 80; terrain 12 + 2; 79 < 80: stone 50 + 1.
    CListedValues stones({40, 2, 79, 1});
    m_loc.RunGenesis(Record(12, 1, 1), &stones);
    EXPECT_EQ(m_loc.GetTerrain().At(0, 0), 14);
    EXPECT_EQ(m_loc.GetObjects().At(0, 0), 51);
    // 80 is not below 80: no stone, one draw fewer.
    CListedValues bare({40, 2, 80});
    m_loc.RunGenesis(Record(12, 1, 1), &bare);
    EXPECT_EQ(m_loc.GetObjects().At(0, 0), kNoTile);
}

TEST_F(GenesisRun, RunGenesisKeepsCreaturesAndEffects) {
    m_loc.Init(L"Old", 6, 4, 0, kLocLayoutPresent);
    worldtest::AddMonster(m_loc, 2, 4, 3);
    m_loc.AddEffect(TLocEffect(5, 9));
    CSeeded seeded(3);
    m_loc.RunGenesis(Record(0, 6, 4), &seeded.Get());
    ASSERT_EQ(m_loc.GetCreatures().size(), 1u);
    EXPECT_EQ(m_loc.GetCreatureIds().At(4, 3), 0);
    EXPECT_EQ(m_loc.GetCreatureAt(4, 3), m_loc.GetCreatures()[0]);
    ASSERT_EQ(m_loc.GetEffects().size(), 1u);
    EXPECT_EQ(m_loc.GetEffects()[0].key, 5u);
}

TEST_F(GenesisRun, RunGenesisRefusesAnUnknownTerrain) {
    CListedValues values({0});
    const auto e = Thrown<vek::CException>([&] { m_loc.RunGenesis(Record(26, 3, 3), &values); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetFunction(), L"CGenesis::Create");
    // A record of no cells is refused by Init; the creatures stay.
    worldtest::AddMonster(m_loc, 1, 0, 0);
    EXPECT_THROW(m_loc.RunGenesis(Record(0, 0, 3), &values), vek::CException);
    EXPECT_EQ(m_loc.GetCreatures().size(), 1u);
}

TEST_F(GenesisRun, DepthRatioByName) {
    TWorldLocInfo cell;
    m_loc.SetWorldCell(&cell);
    const struct {
        const wchar_t* key;
        uint8_t tower;
        uint16_t level;
        uint16_t levels;
        float ratio;
    } cases[] = {
        {L"fdung0", 0, 0, 0, 0.3f},  {L"fdung3", 0, 0, 0, 0.55f}, {L"fdung6", 0, 0, 0, 0.8f},
        {L"fdung9", 0, 0, 0, 1.05f}, {L"fdungx", 0, 0, 0, 0.3f}, // not a digit: level 0
        {L"fdung", 0, 0, 0, 0.5f},   {L"fdung12", 0, 0, 0, 0.5f}, {L"Fdung3", 0, 0, 0, 0.5f},
        {L"cave", 0, 2, 5, 0.5f},    {L"cave", 1, 2, 5, 0.6f},    {L"cave", 1, 4, 5, 1.0f},
        {L"cave", 1, 2, 0, 0.5f}, // no level count: no depth
        {L"fdung3", 1, 0, 4, 0.55f},
    };
    for (const auto& c : cases) {
        cell.nameKey = c.key;
        cell.towerFlag = c.tower;
        m_game.SetCurrentLevel(c.level);
        m_game.SetLevelCount(c.levels);
        EXPECT_FLOAT_EQ(m_loc.GetDepthRatio(), c.ratio) << Utf8(c.key);
    }
    m_loc.SetWorldCell(nullptr);
    EXPECT_EQ(m_loc.GetDepthRatio(), 0.5f);
}

// --- Generation of world cells --------------------------------------------------------------------------

class Generate : public worldtest::GenWorld {
protected:
    void SetUp() override {
        GenWorld::SetUp();
        m_world.LoadLocNames(CWorld::GetLocNamesFileName(L"en"));
    }

    // Cell (x, y) as a random location of that terrain and key.
    TWorldLocInfo& Random(uint16_t x, uint16_t y, const std::wstring& key, uint16_t terrain, uint16_t width = 20,
                          uint16_t height = 15) {
        TWorldLocInfo& cell = m_world.grid.At(x, y);
        cell.name = L"Wilds of " + key;
        cell.nameKey = key;
        cell.fileName.clear();
        cell.terrainType = terrain;
        cell.randomKind = kWorldRandom;
        cell.width = width;
        cell.height = height;
        return cell;
    }

    // A location bound to the cell, generated.
    CLoc& Made(CLoc& loc, TWorldLocInfo& cell) {
        loc.SetWorldCell(&cell);
        loc.GenerateLoc();
        return loc;
    }
};

TEST_F(Generate, PlainLocationIsAcceptedAtOnce) {
    CSeedFromTest seed(77);
    TWorldLocInfo& cell = Random(0, 0, L"glade", 0);
    CConsoleText console;
    CLoc loc;
    Made(loc, cell);
    EXPECT_EQ(console.Text().find("Random generating"), std::string::npos);
    EXPECT_EQ(seed.Asked(), 1);
    EXPECT_EQ(loc.GetWidth(), 20);
    EXPECT_EQ(loc.GetHeight(), 15);
    EXPECT_EQ(loc.GetOwnName(), L"Wilds of glade");
    EXPECT_EQ(loc.GetFlags(), kLocGenerating | kLocLayoutPresent | kLocWideReveal);
    EXPECT_TRUE(loc.IsValidLayout());
}

TEST_F(Generate, DrawsFollowTheInjectedSeed) {
    // A 2 x 1 sea: density, then terrain and waves of each cell, from one
    // generator of the run-time library's kind seeded with the test's seed.
    for (uint32_t seed : {1u, 56576u, 0xFFFFFFFFu}) {
        CSeedFromTest source(seed);
        CLoc loc;
        Made(loc, Random(0, 0, L"bay", 21, 2, 1));
        CExpectedRand expected(seed);
        expected.Next();
        for (uint16_t x = 0; x < 2; ++x) {
            EXPECT_EQ(loc.GetTerrain().At(x, 0), 21 + expected.Next() % 3) << seed;
            EXPECT_EQ(loc.GetObjects().At(x, 0), 53 + expected.Next() % 3) << seed;
        }
    }
}

TEST_F(Generate, OneSeedOneLocation) {
    const struct {
        const wchar_t* key;
        uint16_t terrain;
    } kinds[] = {{L"glade", 0}, {L"wood", 6}, {L"dunes", 18}, {L"fdung3", 4}, {L"rubble", 12}};
    for (const auto& kind : kinds) {
        CSeedFromTest source(1234);
        CLoc first;
        CLoc second;
        CLoc other;
        {
            CSeeded game(5);
            Made(first, Random(0, 0, kind.key, kind.terrain, 40, 30));
        }
        {
            CSeeded game(5);
            Made(second, Random(0, 0, kind.key, kind.terrain, 40, 30));
        }
        source.Set(1235);
        {
            CSeeded game(5);
            Made(other, Random(0, 0, kind.key, kind.terrain, 40, 30));
        }
        EXPECT_EQ(Contents(first), Contents(second)) << Utf8(kind.key);
        EXPECT_NE(Contents(first), Contents(other)) << Utf8(kind.key);
    }
    // The clock's seeds of one second differ from run to run, and so do the
    // levels they make.
    constexpr uint32_t kSecond = 1700000000;
    CSeedFromTest clock(gen::ClockSeed(kSecond));
    CLoc first;
    CLoc second;
    Made(first, Random(0, 0, L"cave", 4, 40, 30));
    clock.Set(gen::ClockSeed(kSecond));
    Made(second, Random(0, 0, L"cave", 4, 40, 30));
    EXPECT_NE(Contents(first), Contents(second));
}

TEST_F(Generate, DungeonIsSizedThenLaidOutByTheStages) {
    CSeedFromTest source(99);
    CLoc loc;
    Made(loc, Random(0, 0, L"cave", 4, 40, 30));
    ASSERT_EQ(loc.GetWidth(), 40);
    ASSERT_EQ(loc.GetHeight(), 30);
    // Initialised as the layout's builder does; the cells are the dungeon's.
    EXPECT_EQ(loc.GetTerrainType(), 26);
    EXPECT_EQ(loc.GetFlags() & 0x102, 0x102);
    EXPECT_EQ(loc.GetTerrain().At(0, 0), 4);
    EXPECT_EQ(loc.GetFlags() & kLocWideReveal, 0);

    // The stages on their own, from a generator seeded alike.
    vek::CStdRand random;
    random.Seed(99);
    gentest::TLayers layers(40, 30);
    gen::CTileCanvas canvas(layers.terrain, layers.objects);
    gen::TLayoutRequest request;
    request.width = 40;
    request.height = 30;
    // As the level does, a bounded number of passes.
    int32_t passes = 1;
    while (!gen::RandomLayoutPass(request, &random, nullptr, &canvas, nullptr).success) {
        ASSERT_LT(passes++, CLoc::kMaxLayoutPasses);
    }
    EXPECT_EQ(gentest::TilesOf(loc.GetTerrain()), layers.Terrain());
    EXPECT_EQ(gentest::TilesOf(loc.GetObjects()), layers.Objects());
    ASSERT_FALSE(canvas.doors.empty());
    EXPECT_EQ(SpecialCells(loc, kSpecialDoor).size(), canvas.doors.size());
    for (const gen::TDoorToCreate& door : canvas.doors) {
        const TSpecialObject& object =
            loc.GetSpecialObjects().At(static_cast<uint16_t>(door.cell.x), static_cast<uint16_t>(door.cell.y));
        EXPECT_EQ(object.kind, kSpecialDoor);
        EXPECT_EQ(object.appearance, door.objectType);
        EXPECT_EQ(object.value, ((door.locked ? 3u : 1u) << 16) | door.lockKind);
    }
    EXPECT_TRUE(loc.GetCreatures().empty());
}

TEST_F(Generate, DepthLevelsGetItemsCreaturesAndPatches) {
    const struct {
        const wchar_t* key;
        float ratio;
        bool creatures;
        bool patches;
    } cases[] = {
        {L"fdung0", 0.3f, true, false},       {L"fdung1", 0.3833333f, true, true}, {L"fdung3", 0.55f, true, true},
        {L"fdung4", 0.6333333f, true, false}, {L"fdung", 0.5f, false, false},      {L"cave", 0.5f, false, false},
    };
    for (const auto& c : cases) {
        size_t spots = 0;
        size_t items = 0;
        for (uint32_t seed = 1; seed <= 10; ++seed) {
            CSeedFromTest source(seed);
            CSeeded game(seed + 100);
            CLoc loc;
            Made(loc, Random(0, 0, c.key, 4, 40, 30));
            EXPECT_FLOAT_EQ(loc.GetDepthRatio(), c.ratio);
            EXPECT_EQ(worldtest::LivingCreatures(loc), c.creatures ? 20u : 0u) << Utf8(c.key) << seed;
            spots += SpecialCells(loc, kSpecialGrowingSpot).size();
            for (uint16_t y = 0; y < 30; ++y) {
                for (uint16_t x = 0; x < 40; ++x) {
                    items += loc.GetItemCount(x, y);
                }
            }
        }
        EXPECT_EQ(spots > 0, c.patches) << Utf8(c.key);
        EXPECT_EQ(items > 0, c.creatures) << Utf8(c.key);
    }
}

TEST_F(Generate, TowersAreNotMadeHere) {
    CLoc loc;
    TWorldLocInfo& cell = Random(0, 0, L"TowerTop", 4);
    const auto e = Thrown<vek::CException>([&] { Made(loc, cell); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetFunction(), L"CLoc::GenerateLoc");
    EXPECT_EQ(e->GetDetails(), L"Cannot preload a tower random location.");
    // A location of levels is built level by level later: nothing now.
    cell.towerFlag = 1;
    CLoc levels;
    Made(levels, cell);
    EXPECT_EQ(levels.GetWidth(), 0);
    EXPECT_NE(levels.GetFlags() & kLocLayoutPresent, 0);
    // Other terrains of that name are painted.
    cell.towerFlag = 0;
    cell.terrainType = 0;
    CLoc meadow;
    Made(meadow, cell);
    EXPECT_EQ(meadow.GetWidth(), 20);
}

// --- Sites ------------------------------------------------------------------------------------------------

class Site : public Generate {
protected:
    // A site's map of 30 x 15: columns 0 to 19 left to the generator, the
    // rest made by hand: sand (or rock), a bush, a sign, a pile, a beast,
    // and a rule across the sand.
    static void WriteSite(const std::wstring& file, uint16_t madeTerrain, bool blocked = false) {
        CLoc map;
        map.Init(L"Camp", 30, 15, 0, kLocLayoutPresent);
        for (uint16_t y = 0; y < 15; ++y) {
            for (uint16_t x = 0; x < 30; ++x) {
                map.GetTerrain().At(x, y) = x < 20 ? 0 : (blocked ? worldtest::kRockTerrain : madeTerrain);
                map.GetObjects().At(x, y) = x < 20 ? kLeftToGenerator : kNoTile;
            }
        }
        map.GetObjects().At(22, 3) = 3;
        map.CreateTextObject(24, 5, 3, L"Welcome");
        map.PutItem(26, 6, CItem(40, 2));
        worldtest::AddMonster(map, 6, 27, 7);
        if (!blocked) {
            map.SetRules({TLocRule{21, 1, 28, 13}});
        }
        map.SaveToFile(std::wstring(kLocationDir) + file, true);
    }

    // "delve.map": the site's map with a site exit at (25, 8) to "below".
    static void WriteDelve() {
        WriteSite(L"delve.map", 0);
        CLoc map;
        map.LoadFromFile(kLocationDir, L"delve.map", true, false, false);
        map.SetSpecialObject(25, 8, kSpecialSiteExit, 35, 0x00050006, L"below|down");
        map.SaveToFile(std::wstring(kLocationDir) + L"delve.map", true);
    }

    void SetUp() override {
        Generate::SetUp();
        m_game.GetStrings().AddPlaceName(L"CAMP", L"Camp");
    }

    TWorldLocInfo& SiteCell(const std::wstring& file, uint16_t terrain, uint16_t width = 30, uint16_t height = 15) {
        TWorldLocInfo& cell = Random(0, 0, L"camp", terrain, width, height);
        cell.randomKind = kWorldDungeonSite;
        cell.fileName = file;
        return cell;
    }

    static void ExpectHandMadePart(const CLoc& loc, uint16_t madeTerrain) {
        for (uint16_t y = 0; y < 15; ++y) {
            for (uint16_t x = 20; x < 30; ++x) {
                ASSERT_EQ(loc.GetTerrain().At(x, y), madeTerrain) << x << "," << y;
                ASSERT_EQ(loc.GetObjects().At(x, y), x == 22 && y == 3 ? 3 : kNoTile) << x << "," << y;
            }
        }
        EXPECT_EQ(CLoc::SpecialObjectText(loc.GetSpecialObjects().At(24, 5)), L"Welcome");
        ASSERT_EQ(loc.GetItemCount(26, 6), 1u);
        EXPECT_EQ(loc.GetItem(26, 6, 0).count, 2u);
        const CMonster* beast = loc.GetCreatureAt(27, 7);
        ASSERT_NE(beast, nullptr);
        EXPECT_EQ(beast->monsterType, 6);
    }
};

TEST_F(Site, HandMadePartAndCreaturesAreKept) {
    WriteSite(L"camp.map", 2);
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        CSeedFromTest source(seed);
        CLoc loc;
        Made(loc, SiteCell(L"camp.map", 0));
        ExpectHandMadePart(loc, 2);
        EXPECT_EQ(loc.GetCreatures().size(), 1u);
        EXPECT_EQ(loc.GetRules().size(), 1u);
        for (uint16_t y = 0; y < 15; ++y) {
            for (uint16_t x = 0; x < 20; ++x) {
                ASSERT_LE(loc.GetTerrain().At(x, y), 2) << seed;
                ASSERT_NE(loc.GetObjects().At(x, y), kLeftToGenerator) << seed;
            }
        }
        EXPECT_NE(loc.GetFlags() & kLocWideReveal, 0);
    }
}

TEST_F(Site, ClosedBorderIsMadeAgainThenGivenUp) {
    // The sea's waves block, and so does the hand-made rock.
    WriteSite(L"reef.map", 0, true);
    CSeedFromTest source(5);
    TWorldLocInfo& cell = SiteCell(L"reef.map", 21);
    CConsoleText console;
    const auto e = Thrown<vek::CException>([&] { m_world.LoadLocAt(0, 0); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetFunction(), L"CLoc::GenerateLoc");
    EXPECT_EQ(e->GetDetails(), L"Random location Camp was not made in 100 iterations: its border is closed");
    const std::string& text = console.Text();
    EXPECT_NE(text.find("Random generating, iteration 2\n"), std::string::npos);
    EXPECT_NE(text.find("Random generating, iteration 100\n"), std::string::npos);
    EXPECT_EQ(text.find("Random generating, iteration 101"), std::string::npos);
    EXPECT_EQ(m_world.GetLocationCount(), 0u);
    // A site whose border need not be open is taken at once.
    cell.flags |= kWorldCellBorderFree;
    CConsoleText quiet;
    CLoc& loc = m_world.LoadLocAt(0, 0);
    EXPECT_EQ(quiet.Text().find("Random generating"), std::string::npos);
    EXPECT_EQ(loc.GetCreatures().size(), 1u);
}

TEST_F(Site, RulesMustBeWalkable) {
    WriteSite(L"camp.map", 2);
    CSeedFromTest source(8);
    TWorldLocInfo& cell = SiteCell(L"camp.map", 0);
    CLoc loc;
    Made(loc, cell);
    EXPECT_TRUE(loc.IsValidLayout());
    EXPECT_EQ(loc.FindLayoutFault(), L"");
    // A rule whose end lies outside is never met.
    loc.AddRule(TLocRule{21, 1, 31, 2});
    EXPECT_EQ(loc.FindLayoutFault(), L"rule 2 cannot walk from (21, 1) to (31, 2)");
    cell.randomKind = kWorldRandom;
    EXPECT_TRUE(loc.IsValidLayout());
    loc.SetWorldCell(nullptr);
    EXPECT_TRUE(loc.IsValidLayout());
}

TEST_F(Site, MapOfAnotherSizeIsRefused) {
    WriteSite(L"camp.map", 2);
    TWorldLocInfo& cell = SiteCell(L"camp.map", 0);
    cell.width = 40;
    CLoc loc;
    const auto e = Thrown<vek::CException>([&] { Made(loc, cell); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetDetails(), L"The map camp.map has 30x15 cells, its world cell 40x15");
}

TEST_F(Site, DungeonSiteKeepsItsStripAndMovesItsExits) {
    WriteDelve();
    for (uint32_t seed = 1; seed <= 30; ++seed) {
        CSeedFromTest source(seed);
        CConsoleText console;
        CLoc loc;
        Made(loc, SiteCell(L"delve.map", 4));
        // The dungeon's floor covers the strip too.
        ExpectHandMadePart(loc, 4);
        // The layout's grid went to the console.
        EXPECT_NE(console.Text().find("\n  ABCDEFGHIJKLMNOPQRSTUVWXYZ\n"), std::string::npos);
        // The column beside the strip is floor.
        for (uint16_t y = 1; y <= 13; ++y) {
            EXPECT_EQ(loc.GetTerrain().At(19, y), 4);
            EXPECT_TRUE(IsPassable(19, y, loc)) << seed << " " << y;
        }
        EXPECT_TRUE(SpecialCells(loc, kSpecialSiteExit).empty());
        const std::vector<vek::TPoint> passages = SpecialCells(loc, kSpecialPassage);
        ASSERT_EQ(passages.size(), 1u) << seed;
        const vek::TPoint exit = passages[0];
        EXPECT_LT(exit.x, 19);
        EXPECT_EQ(loc.GetTerrain().At(static_cast<uint16_t>(exit.x), static_cast<uint16_t>(exit.y)), 4);
        const TSpecialObject& passage =
            loc.GetSpecialObjects().At(static_cast<uint16_t>(exit.x), static_cast<uint16_t>(exit.y));
        EXPECT_EQ(passage.appearance, 35);
        EXPECT_EQ(passage.value, 0x00050006u);
        EXPECT_EQ(CLoc::SpecialObjectText(passage), L"below|down");
        // Inside a room: its eight neighbours are floor.
        for (uint8_t direction = 1; direction <= 8; ++direction) {
            const vek::TPoint n = vek::MoveInDirection(direction, exit);
            EXPECT_TRUE(IsPassable(n.x, n.y, loc) ||
                        loc.GetSpecialObjects().At(static_cast<uint16_t>(n.x), static_cast<uint16_t>(n.y)).active)
                << seed;
        }
        // The rooms reach the strip.
        const auto reached = Walkable(loc, {27, 7});
        EXPECT_TRUE(reached[exit.y][exit.x]) << seed;
    }
}

TEST_F(Site, AnInactiveSiteExitIsMovedToo) {
    WriteDelve();
    DeactivateSiteExit("Data/Locations/delve.map", {25, 8});
    for (uint32_t seed = 1; seed <= 10; ++seed) {
        CSeedFromTest source(seed);
        CConsoleText console;
        CLoc loc;
        Made(loc, SiteCell(L"delve.map", 4));
        const TSpecialObject& emptied = loc.GetSpecialObjects().At(25, 8);
        EXPECT_EQ(emptied.active, 0);
        EXPECT_TRUE(emptied.GetBuffer().empty());
        // It went, still inactive, into a room as a passage.
        std::vector<vek::TPoint> moved;
        for (uint16_t y = 0; y < 15; ++y) {
            for (uint16_t x = 0; x < 30; ++x) {
                const TSpecialObject& object = loc.GetSpecialObjects().At(x, y);
                if (object.kind == kSpecialPassage && CLoc::SpecialObjectText(object) == L"below|down") {
                    EXPECT_EQ(object.active, 0);
                    EXPECT_EQ(object.value, 0x00050006u);
                    moved.push_back({x, y});
                }
            }
        }
        ASSERT_EQ(moved.size(), 1u) << seed;
        EXPECT_LT(moved[0].x, 19) << seed;
    }
}

TEST_F(Site, ADungeonSitesStripIsWalkedOnAsTheDungeon) {
    // A strip of rock with its border closed: as a dungeon's floor it is
    // open, and the strip's part of the layout is floor.
    WriteSite(L"rocky.map", 0, true);
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        CSeedFromTest source(seed);
        CConsoleText console;
        CLoc loc;
        Made(loc, SiteCell(L"rocky.map", 4));
        EXPECT_EQ(console.Text().find("iteration 2"), std::string::npos) << seed;
        for (uint16_t y = 0; y < 15; ++y) {
            for (uint16_t x = 20; x < 30; ++x) {
                ASSERT_EQ(loc.GetTerrain().At(x, y), 4) << x << "," << y;
            }
        }
        // In the grid shown, the strip's first and last rows (nothing stands
        // on them) are floor.
        const std::string& text = console.Text();
        for (const char* row : {"\nA", "\nO"}) {
            const size_t at = text.find(row);
            ASSERT_NE(at, std::string::npos);
            EXPECT_EQ(text.substr(at + 2 + 20, 10), "..........") << text;
        }
    }
}

TEST_F(Site, ASiteOfLevelsIsReadButNotLaidOut) {
    // Its levels come later: the map is read, no layout is made, the site
    // exit stays where it is; the depth passes and the test still run.
    WriteDelve();
    CSeedFromTest source(3);
    CSeeded game(103);
    TWorldLocInfo& cell = SiteCell(L"delve.map", 4);
    cell.towerFlag = 1;
    cell.nameKey = L"fdung3";
    CConsoleText console;
    CLoc loc;
    Made(loc, cell);
    EXPECT_EQ(console.Text().find("Random generating"), std::string::npos);
    EXPECT_EQ(console.Text().find("ABCDEFGHIJ"), std::string::npos); // no layout grid
    for (uint16_t y = 0; y < 15; ++y) {
        for (uint16_t x = 0; x < 30; ++x) {
            ASSERT_EQ(loc.GetTerrain().At(x, y), 0) << x << "," << y;
            const uint16_t object = x < 20 ? kLeftToGenerator : (x == 22 && y == 3 ? 3 : kNoTile);
            ASSERT_EQ(loc.GetObjects().At(x, y), object) << x << "," << y;
        }
    }
    EXPECT_EQ(SpecialCells(loc, kSpecialSiteExit), (std::vector<vek::TPoint>{{25, 8}}));
    EXPECT_TRUE(SpecialCells(loc, kSpecialPassage).empty());
    EXPECT_GT(worldtest::LivingCreatures(loc), 1u);
    EXPECT_NE(loc.GetFlags() & kLocLayoutPresent, 0);
}

TEST_F(Site, AnExitOfASiteWithOneRoomGoesToItsMiddle) {
    // Six columns left of the strip hold one room of 3 x 3 or 3 x 4 at
    // column 1: the exit takes the room's second column and row.
    CLoc map;
    map.Init(L"One", 16, 7, 4, kLocLayoutPresent);
    map.GetTerrain().Fill(0);
    map.GetObjects().Fill(kLeftToGenerator);
    for (uint16_t y = 0; y < 7; ++y) {
        for (uint16_t x = 6; x < 16; ++x) {
            map.GetObjects().At(x, y) = kNoTile;
        }
    }
    map.SetSpecialObject(12, 3, kSpecialSiteExit, 35, 0x00050006, L"below|down");
    map.SaveToFile(std::wstring(kLocationDir) + L"one.map", true);
    for (uint32_t seed = 1; seed <= 10; ++seed) {
        CSeedFromTest source(seed);
        CConsoleText console;
        CLoc loc;
        Made(loc, SiteCell(L"one.map", 4, 16, 7));
        const std::vector<vek::TPoint> passages = SpecialCells(loc, kSpecialPassage);
        ASSERT_EQ(passages.size(), 1u) << seed;
        EXPECT_EQ(passages[0].x, 2) << seed;
        EXPECT_TRUE(passages[0].y == 2 || passages[0].y == 3) << seed;
    }
}

TEST_F(Site, EveryExitKeepsACellOfItsOwn) {
    // Dungeon sites whose strip (the right ten columns) holds several exits,
    // each named apart; a 16 x 6 site has room for one 3 x 3 room only. Signs
    // the map put where rooms come (those the doorways leave) keep their
    // cells too.
    std::vector<vek::TPoint> signs;
    for (int32_t y = 2; y < 14; y += 2) {
        for (int32_t x = 2; x < 10; x += 2) {
            signs.push_back({x, y});
        }
    }
    // An inactive exit the map put where the one room of a 16 x 6 site comes,
    // on the only cell an exit is drawn to there, keeps it: the exit moved
    // before it must not take it.
    const struct {
        uint16_t width;
        uint16_t height;
        std::vector<vek::TPoint> exits;
        uint32_t seeds;
        std::vector<vek::TPoint> signs = {};
        std::vector<vek::TPoint> inactive = {};
    } cases[] = {
        {.width = 16, .height = 6, .exits = {{11, 3}, {14, 4}}, .seeds = 40},
        {.width = 16, .height = 7, .exits = {{6, 1}, {10, 2}, {15, 5}}, .seeds = 40},
        {.width = 20, .height = 15, .exits = {{11, 3}, {14, 4}, {18, 13}, {12, 9}}, .seeds = 40},
        {.width = 20, .height = 15, .exits = {{11, 3}, {14, 4}, {18, 13}, {12, 9}}, .seeds = 40, .signs = signs},
        {.width = 30, .height = 15, .exits = {{21, 1}, {22, 1}, {23, 1}, {24, 1}, {25, 1}, {26, 1}}, .seeds = 20},
        {.width = 16, .height = 6, .exits = {{11, 1}, {2, 2}}, .seeds = 10, .inactive = {{2, 2}}},
    };
    auto write = [](uint16_t width, uint16_t height, const std::vector<vek::TPoint>& exits,
                    const std::vector<vek::TPoint>& texts = {}, const std::vector<vek::TPoint>& inactive = {}) {
        CLoc map;
        map.Init(L"Exits", width, height, 4, kLocLayoutPresent);
        map.GetTerrain().Fill(0);
        map.GetObjects().Fill(kLeftToGenerator);
        for (uint16_t y = 0; y < height; ++y) {
            for (uint16_t x = width - 10; x < width; ++x) {
                map.GetObjects().At(x, y) = kNoTile;
            }
        }
        for (size_t i = 0; i < exits.size(); ++i) {
            map.SetSpecialObject(static_cast<uint16_t>(exits[i].x), static_cast<uint16_t>(exits[i].y), kSpecialSiteExit,
                                 35, 0x00050006, L"below|down" + std::to_wstring(i));
        }
        for (const vek::TPoint p : texts) {
            map.SetSpecialObject(static_cast<uint16_t>(p.x), static_cast<uint16_t>(p.y), kSpecialText, 0, 0, L"sign");
        }
        map.SaveToFile(std::wstring(kLocationDir) + L"exits.map", true);
        for (const vek::TPoint p : inactive) {
            DeactivateSiteExit("Data/Locations/exits.map", p);
        }
    };
    for (const auto& c : cases) {
        write(c.width, c.height, c.exits, c.signs, c.inactive);
        for (uint32_t seed = 7001; seed < 7001 + c.seeds; ++seed) {
            SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " seed " << seed);
            CSeedFromTest source(seed);
            CConsoleText console;
            CLoc loc;
            Made(loc, SiteCell(L"exits.map", 4, c.width, c.height));
            // Every passage, active or not.
            std::set<std::wstring> names;
            for (uint16_t y = 0; y < c.height; ++y) {
                for (uint16_t x = 0; x < c.width; ++x) {
                    const TSpecialObject& object = loc.GetSpecialObjects().At(x, y);
                    if (object.kind != kSpecialPassage) {
                        continue;
                    }
                    const vek::TPoint p{x, y};
                    EXPECT_LT(p.x, c.width - 10);
                    EXPECT_EQ(std::find(c.signs.begin(), c.signs.end(), p), c.signs.end());
                    const bool stillInactive = std::find(c.inactive.begin(), c.inactive.end(), p) != c.inactive.end();
                    EXPECT_EQ(object.active == 0, stillInactive);
                    names.insert(CLoc::SpecialObjectText(object));
                }
            }
            EXPECT_EQ(names.size(), c.exits.size());
            EXPECT_TRUE(SpecialCells(loc, kSpecialSiteExit).empty());
        }
    }
    // Ten exits and the nine cells of the one room: the last exit never
    // finds a cell, and the site is not made.
    std::vector<vek::TPoint> tooMany;
    for (int32_t x = 6; x < 16; ++x) {
        tooMany.push_back({x, 2});
    }
    write(16, 6, tooMany);
    CConsoleText console;
    CLoc loc;
    const auto e = Thrown<vek::CException>([&] { Made(loc, SiteCell(L"exits.map", 4, 16, 6)); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetDetails(),
              L"Random location Camp was not made in 100 iterations: no room cell is left for "
              L"the site exit at (15, 2)");
}

TEST(SiteBorder, OpenCellsCountOnTheEdgeRowsAndTheInnerColumns) {
    // An 8 x 6 site left to the generator but for one cell that the map made.
    const struct {
        int32_t x;
        int32_t y;
        bool open;
    } cases[] = {
        {0, 0, true},  {7, 0, true},  {3, 0, true},  // the top row, corners too
        {0, 5, true},  {7, 5, true},  {4, 5, true},  // the bottom row
        {1, 1, true},  {1, 3, true},  {6, 3, true},  // the second and last but one columns
        {0, 3, false}, {7, 3, false}, {0, 1, false}, // the outer columns do not count
        {3, 3, false}, {2, 1, false}, {5, 4, false}, // inside
    };
    CGameData game;
    testsupport::FillGenerationTables(game);
    g_gameData = &game;
    TWorldLocInfo cell;
    cell.randomKind = kWorldDungeonSite;
    for (const auto& c : cases) {
        for (const bool passable : {true, false}) {
            CLoc loc;
            loc.Init(L"b", 8, 6, 0, kLocLayoutPresent);
            loc.GetTerrain().Fill(0);
            loc.GetObjects().Fill(kLeftToGenerator);
            const auto x = static_cast<uint16_t>(c.x);
            const auto y = static_cast<uint16_t>(c.y);
            loc.GetObjects().At(x, y) = kNoTile;
            loc.GetTerrain().At(x, y) = passable ? 0 : testsupport::kRockTerrain;
            loc.SetWorldCell(&cell);
            cell.flags = 0;
            EXPECT_EQ(loc.IsValidLayout(), c.open && passable) << c.x << "," << c.y;
            // Cells left to the generator are never open, however passable.
            loc.GetObjects().At(x, y) = kLeftToGenerator;
            EXPECT_FALSE(loc.IsValidLayout()) << c.x << "," << c.y;
            cell.flags = kWorldCellBorderFree;
            EXPECT_TRUE(loc.IsValidLayout()) << c.x << "," << c.y;
            loc.SetWorldCell(nullptr);
        }
    }
    g_gameData = nullptr;
}

TEST_F(Site, NarrowDungeonSites) {
    // The generated part is the width less the ten columns of the strip: a
    // room of 3 with its margin needs 6, and a 20-wide site has 10.
    const struct {
        uint16_t width;
        bool made;
    } cases[] = {{20, true}, {16, true}, {15, false}, {10, false}};
    for (const auto& c : cases) {
        CLoc map;
        map.Init(L"Narrow", c.width, 15, 4, kLocLayoutPresent);
        map.GetTerrain().Fill(0);
        map.GetObjects().Fill(kLeftToGenerator);
        for (uint16_t y = 0; y < 15; ++y) {
            for (uint16_t x = c.width - 10; x < c.width; ++x) {
                map.GetObjects().At(x, y) = kNoTile;
            }
        }
        map.SaveToFile(std::wstring(kLocationDir) + L"narrow.map", true);
        TWorldLocInfo& cell = SiteCell(L"narrow.map", 4);
        cell.width = c.width;
        CSeedFromTest source(c.width);
        CConsoleText console;
        CLoc loc;
        if (c.made) {
            Made(loc, cell);
            EXPECT_EQ(loc.GetWidth(), c.width);
            EXPECT_EQ(loc.GetFlags() & (kLocGenerating | kLocLayoutPresent), kLocGenerating | kLocLayoutPresent);
            continue;
        }
        const auto e = Thrown<vek::CException>([&] { Made(loc, cell); });
        ASSERT_TRUE(e) << c.width;
        EXPECT_EQ(e->GetFunction(), L"CLoc::GenerateLoc");
        EXPECT_EQ(e->GetDetails(), vek::Format(L"Cannot lay out Camp (%ux15 cells) in 100 passes: no room fits",
                                               static_cast<uint32_t>(c.width)));
    }
}

// --- Levels of dungeon sites ------------------------------------------------------------------------------

class SiteLevel : public Generate {
protected:
    static TSiteLevel Level(uint16_t width, uint16_t height, uint16_t level, uint16_t count) {
        TSiteLevel asked;
        asked.width = width;
        asked.height = height;
        asked.level = level;
        asked.levelCount = count;
        asked.siteLocation = L"mill";
        asked.siteCell = {6, 7};
        return asked;
    }
};

TEST_F(SiteLevel, StairsOnTwoCellsThatReachEachOther) {
    for (const auto& [width, height] : {std::pair<uint16_t, uint16_t>{20, 15}, {40, 30}, {100, 75}}) {
        for (uint32_t seed = 1; seed <= (width == 100 ? 20u : 200u); ++seed) {
            CSeedFromTest source(seed);
            CSeeded game(seed * 7);
            CLoc loc;
            const bool comingUp = seed % 2 == 0;
            TSiteLevel asked = Level(width, height, 1, 3);
            asked.comingUp = comingUp;
            const vek::TPoint arrival = loc.GenerateLocForSite(asked);
            ASSERT_EQ(loc.GetWidth(), width);
            EXPECT_EQ(loc.GetFlags(), kLocGenerating | kLocLayoutPresent);
            const std::vector<vek::TPoint> passages = SpecialCells(loc, kSpecialPassage);
            ASSERT_EQ(passages.size(), 2u) << seed;
            vek::TPoint down;
            vek::TPoint up;
            for (const vek::TPoint& p : passages) {
                const TSpecialObject& object =
                    loc.GetSpecialObjects().At(static_cast<uint16_t>(p.x), static_cast<uint16_t>(p.y));
                EXPECT_EQ(object.value, 0xFFFFu);
                EXPECT_EQ(CLoc::SpecialObjectText(object), L"");
                EXPECT_EQ(loc.GetObjects().At(static_cast<uint16_t>(p.x), static_cast<uint16_t>(p.y)), kNoTile);
                (object.appearance == 35 ? down : up) = p;
            }
            EXPECT_NE(down, up);
            EXPECT_TRUE(IsPassable(down.x, down.y, loc));
            EXPECT_TRUE(IsPassable(up.x, up.y, loc));
            EXPECT_TRUE(Walkable(loc, down)[up.y][up.x]) << seed;
            EXPECT_EQ(arrival, comingUp ? down : up);
            // Depth 2 / 3: creatures on the level.
            EXPECT_EQ(worldtest::LivingCreatures(loc), 20u);
        }
    }
}

TEST_F(SiteLevel, LastLevelHasNoStairsDown) {
    CSeedFromTest source(4);
    CLoc loc;
    const vek::TPoint arrival = loc.GenerateLocForSite(Level(20, 15, 2, 3));
    const std::vector<vek::TPoint> passages = SpecialCells(loc, kSpecialPassage);
    ASSERT_EQ(passages.size(), 1u);
    EXPECT_EQ(passages[0], arrival);
    EXPECT_EQ(loc.GetSpecialObjects().At(static_cast<uint16_t>(arrival.x), static_cast<uint16_t>(arrival.y)).appearance,
              36);
    // No level count: no stairs down, a depth of 0.5.
    CLoc uncounted;
    uncounted.GenerateLocForSite(Level(20, 15, 4, 0));
    EXPECT_EQ(SpecialCells(uncounted, kSpecialPassage).size(), 1u);
    EXPECT_EQ(worldtest::LivingCreatures(uncounted), 20u);
}

TEST_F(SiteLevel, FirstLevelLeadsUpToTheSite) {
    WriteMap(L"mill.map", L"Mill");
    Place(1, 1, L"mill.map", L"mill");
    CLoc& mill = m_world.LoadLocAt(1, 1);
    mill.SetSpecialObject(6, 7, kSpecialPassage, 35, 0xFFFF, L"DungeonSite1");
    CSeedFromTest source(21);
    CLoc loc;
    const vek::TPoint arrival = loc.GenerateLocForSite(Level(20, 15, 0, 2));
    const TSpecialObject& up =
        loc.GetSpecialObjects().At(static_cast<uint16_t>(arrival.x), static_cast<uint16_t>(arrival.y));
    EXPECT_EQ(up.appearance, 36);
    EXPECT_EQ(CLoc::SpecialObjectText(up), L"mill");
    EXPECT_EQ(up.value, (7u << 16) | 6u);
    EXPECT_EQ(mill.GetSpecialObjects().At(6, 7).value, CellValue(arrival));

    TSiteLevel lost = Level(20, 15, 0, 2);
    lost.siteLocation = L"cave";
    const auto e = Thrown<vek::CException>([&] { loc.GenerateLocForSite(lost); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetFunction(), L"CLoc::GenerateLocForSite");
    EXPECT_EQ(e->GetDetails(), L"Location not found: cave");
}

TEST_F(SiteLevel, TooSmallALevelIsGivenUp) {
    CSeedFromTest source(1);
    CLoc loc;
    gentest::CFakeGame game;
    SetGenServices(&game);
    const auto e = Thrown<vek::CException>([&] { loc.GenerateLocForSite(Level(5, 15, 1, 3)); });
    SetGenServices(nullptr);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetFunction(), L"CLoc::GenerateLocForSite");
    EXPECT_NE(e->GetDetails().find(L"in 100 passes: no room fits"), std::wstring::npos) << Utf8(e->GetDetails());
    // The game waited through every pass, and waits no more.
    std::vector<uint32_t> modes(1 + 2 * CLoc::kMaxLayoutPasses, kInputModeBusy);
    modes.push_back(kInputModeNormal);
    EXPECT_EQ(game.modes, modes);
    // The smallest level one room fits: 6 x 6.
    CLoc smallest;
    smallest.GenerateLocForSite(Level(6, 6, 1, 3));
    EXPECT_EQ(SpecialCells(smallest, kSpecialPassage).size(), 2u);
}

TEST_F(SiteLevel, WorldMakesASiteWithItsFirstLevel) {
    m_world.partFactor = 2;
    for (uint16_t y = 0; y < 4; ++y) {
        for (uint16_t x = 0; x < 4; ++x) {
            m_world.InitCell(x, y);
        }
    }
    WriteMap(L"mill.map", L"Mill");
    Place(1, 1, L"mill.map", L"mill");
    CSeedFromTest source(3);
    m_world.CreateDungeonSite(40, 30, 3, L"mill", 6, 7);
    CLoc* site = m_world.grid.At(2, 0).loc;
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(site->GetWidth(), 40);
    const std::optional<vek::TPoint> up = [&]() -> std::optional<vek::TPoint> {
        for (const vek::TPoint& p : SpecialCells(*site, kSpecialPassage)) {
            if (site->GetSpecialObjects().At(static_cast<uint16_t>(p.x), static_cast<uint16_t>(p.y)).appearance == 36) {
                return p;
            }
        }
        return std::nullopt;
    }();
    ASSERT_TRUE(up);
    const TSpecialObject& entrance = m_world.grid.At(1, 1).loc->GetSpecialObjects().At(6, 7);
    EXPECT_EQ(entrance.appearance, 35);
    EXPECT_EQ(entrance.value, CellValue(*up));
    EXPECT_EQ(CLoc::SpecialObjectText(entrance), L"DungeonSite1");
}

TEST_F(Generate, PreparingARandomCellGeneratesIt) {
    CSeedFromTest source(6);
    Random(3, 3, L"glade", 6);
    CLoc& loc = m_world.LoadLocAt(3, 3);
    EXPECT_EQ(loc.GetWidth(), 20);
    EXPECT_EQ(loc.GetTerrainType(), 6);
    EXPECT_NE(loc.GetFlags() & kLocLayoutPresent, 0);
    EXPECT_EQ(loc.GetWorldCell(), &m_world.grid.At(3, 3));
    // Forests drop fruit.
    size_t fruit = 0;
    for (uint16_t y = 0; y < 15; ++y) {
        for (uint16_t x = 0; x < 20; ++x) {
            for (uint32_t i = 0; i < loc.GetItemCount(x, y); ++i) {
                const uint16_t type = loc.GetItem(x, y, i).type;
                EXPECT_TRUE(type >= 137 && type <= 139);
                ++fruit;
            }
        }
    }
    EXPECT_GT(fruit, 0u);
    EXPECT_EQ(&m_world.LoadLocAt(3, 3), &loc);
}

// --- Nothing out of reach ---------------------------------------------------------------------------------

// The cells walked to from the starts; without starts, the largest region
// of cells that can be walked on.
std::vector<std::vector<bool>> Region(const CLoc& loc, const std::vector<vek::TPoint>& starts) {
    std::vector<std::vector<bool>> region(loc.GetHeight(), std::vector<bool>(loc.GetWidth(), false));
    std::vector<std::vector<bool>> seen = region;
    size_t largest = 0;
    for (int32_t y = 0; y < loc.GetHeight(); ++y) {
        for (int32_t x = 0; x < loc.GetWidth(); ++x) {
            const bool start = starts.empty()
                                   ? IsPassable(x, y, loc)
                                   : std::find(starts.begin(), starts.end(), vek::TPoint{x, y}) != starts.end();
            if (seen[y][x] || !start) {
                continue;
            }
            const auto part = Walkable(loc, {x, y});
            size_t size = 0;
            for (size_t py = 0; py < part.size(); ++py) {
                for (size_t px = 0; px < part[py].size(); ++px) {
                    size += part[py][px] ? 1 : 0;
                    seen[py][px] = seen[py][px] || part[py][px];
                    if (!starts.empty() && part[py][px]) {
                        region[py][px] = true;
                    }
                }
            }
            if (starts.empty() && size > largest) {
                largest = size;
                region = part;
            }
        }
    }
    return region;
}

// Creatures, piles and growing spots on cells not reached; empty when none.
std::string Stranded(const CLoc& loc, const std::vector<std::vector<bool>>& reached) {
    std::string stranded;
    auto check = [&](const char* what, uint32_t x, uint32_t y) {
        if (reached.empty() || !reached[y][x]) {
            stranded += std::string(what) + " at " + std::to_string(x) + "," + std::to_string(y) + " ";
        }
    };
    for (const CMonster* creature : loc.GetCreatures()) {
        if (creature != nullptr && creature->IsAlive()) {
            check("creature", creature->x, creature->y);
        }
    }
    for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
        for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
            if (loc.HasItems(x, y)) {
                check("pile", x, y);
            }
        }
    }
    for (const vek::TPoint spot : SpecialCells(loc, kSpecialGrowingSpot)) {
        check("growing spot", static_cast<uint32_t>(spot.x), static_cast<uint32_t>(spot.y));
    }
    return stranded;
}

class Reach : public Generate {
protected:
    static uint16_t TowerX(uint16_t level) { return level % 4; }
    static uint16_t TowerY(uint16_t level) { return static_cast<uint16_t>(1 + level / 4); }
    void SetUp() override {
        Generate::SetUp();
        // The levels of a tower, each made when entered, on rows 1 and 2.
        for (uint16_t level = 0; level <= 5; ++level) {
            const std::wstring number = std::to_wstring(level);
            Random(TowerX(level), TowerY(level), L"tower" + number, 4);
            m_game.GetStrings().AddPlaceName(L"TOWER" + number, L"Tower");
        }
    }

    // A dungeon "fdung2" of that size: its things in the rooms, the largest
    // region (the other is at most the lone cell the layout adds).
    std::string Dungeon(uint16_t width, uint16_t height) {
        CLoc loc;
        Made(loc, Random(0, 0, L"fdung2", 4, width, height));
        return Stranded(loc, Region(loc, {}));
    }
    // A level of a dungeon site with patches: its things reach its stairs.
    static std::string SiteLevel(uint16_t width, uint16_t height, bool comingUp) {
        TSiteLevel asked;
        asked.width = width;
        asked.height = height;
        asked.level = 10;
        asked.levelCount = 12;
        asked.comingUp = comingUp;
        CLoc loc;
        const vek::TPoint arrival = loc.GenerateLocForSite(asked);
        return Stranded(loc, Walkable(loc, arrival));
    }
    // A level of the tower: its things reach where the hero arrives.
    std::string TowerLevel(uint16_t level) {
        m_game.SetCurrentLevel(level);
        CLoc loc;
        loc.SetWorldCell(&m_world.grid.At(TowerX(level), TowerY(level)));
        const vek::TPoint arrival = loc.CreateLocForTower();
        return Stranded(loc, Walkable(loc, arrival));
    }
    // Open country "fdung2": its things reach its border, where the hero
    // steps in.
    std::string Outdoor(uint16_t terrain, uint16_t width, uint16_t height) {
        CLoc loc;
        Made(loc, Random(0, 0, L"fdung2", terrain, width, height));
        std::vector<vek::TPoint> border;
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                if ((x == 0 || y == 0 || x == width - 1 || y == height - 1) && IsPassable(x, y, loc)) {
                    border.push_back({x, y});
                }
            }
        }
        return Stranded(loc, Region(loc, border));
    }
};

TEST_F(Reach, EveryCreaturePileAndGrowingSpotCanBeReached) {
    // 2,000 seeds spread wide, each making a location of one kind in turn,
    // at small sizes (where the lone cell of the layout and the bottom row
    // weigh most).
    constexpr uint32_t kSeeds = 2000;
    constexpr uint32_t kStride = 7919;
    const uint16_t terrains[] = {0, 6, 12, 15, 18};
    for (uint32_t i = 0; i < kSeeds; ++i) {
        const uint32_t seed = 1 + i * kStride;
        CSeedFromTest source(seed);
        CSeeded game(seed);
        const uint32_t turn = i / 4;
        const uint16_t width = turn % 2 == 0 ? 12 : 20;
        const uint16_t height = turn % 2 == 0 ? 9 : 15;
        switch (i % 4) {
        case 0:
            ASSERT_EQ(Dungeon(width, height), "") << "dungeon, seed " << seed;
            break;
        case 1:
            ASSERT_EQ(SiteLevel(width, height, turn % 4 < 2), "") << "site level, seed " << seed;
            break;
        case 2:
            ASSERT_EQ(TowerLevel(static_cast<uint16_t>(turn % 6)), "") << "tower level, seed " << seed;
            break;
        default:
            ASSERT_EQ(Outdoor(terrains[turn % std::size(terrains)], width, height), "") << "outdoor, seed " << seed;
        }
    }
}

TEST_F(Reach, TheDungeonFoundWithMostCreaturesStranded) {
    // A 12 x 9 depth-3 dungeon of few rooms under a long bottom row.
    for (uint32_t gameSeed = 1; gameSeed <= 20; ++gameSeed) {
        CSeedFromTest source(3063138);
        CSeeded game(gameSeed);
        CLoc loc;
        Made(loc, Random(0, 0, L"fdung3", 4, 12, 9));
        EXPECT_GT(worldtest::LivingCreatures(loc), 0u);
        EXPECT_EQ(Stranded(loc, Region(loc, {})), "") << gameSeed;
    }
}

// --- Tower levels -----------------------------------------------------------------------------------------

class Tower : public Generate {
protected:
    void SetUp() override {
        Generate::SetUp();
        m_game.GetGroupTable().clear();
        for (const wchar_t* key : {L"TOWER0", L"TOWER2", L"TOWER5"}) {
            m_game.GetStrings().AddPlaceName(key, L"Gate of the tower");
        }
        m_tower = &Random(0, 0, L"tower2", 4);
        m_loc.SetWorldCell(m_tower);
        m_game.SetCurrentLevel(2);
    }
    // A fixed level of 20 x 15 with a passage of that appearance at (4, 4).
    void WriteLevel(uint16_t x, uint16_t y, const std::wstring& key, uint16_t appearance) {
        CLoc level;
        level.Init(key, 20, 15, 0, kLocLayoutPresent);
        level.GetTerrain().Fill(0);
        if (appearance != 0) {
            level.SetSpecialObject(4, 4, kSpecialPassage, appearance, 0xFFFF, L"");
        }
        level.SaveToFile(std::wstring(kLocationDir) + key + L".map", true);
        Place(x, y, key + L".map", key);
        m_world.grid.At(x, y).randomKind = kWorldFixed;
    }
    const TSpecialObject& At(const CLoc& loc, vek::TPoint p) {
        return loc.GetSpecialObjects().At(static_cast<uint16_t>(p.x), static_cast<uint16_t>(p.y));
    }
    TWorldLocInfo* m_tower = nullptr;
    CLoc m_loc;
};

TEST_F(Tower, GroundFloorIsAHallWithTheWayOut) {
    m_tower->nameKey = L"tower0";
    m_game.SetCurrentLevel(0);
    CSeedFromTest source(2);
    // The exit's column: 17 % 18 + 1; the cells then draw 100 or 17: no items.
    worldtest::CListedRand game({17, 100});
    vek::SetRandomGenerator(&game);
    const vek::TPoint exit = m_loc.CreateLocForTower();
    EXPECT_EQ(exit, (vek::TPoint{18, 14}));
    EXPECT_EQ(m_loc.GetWidth(), 20);
    EXPECT_EQ(m_loc.GetHeight(), 15);
    EXPECT_EQ(m_loc.GetOwnName(), L"Gate of the tower");
    const TSpecialObject& way = At(m_loc, exit);
    EXPECT_EQ(way.kind, kSpecialPassage);
    EXPECT_EQ(way.appearance, 104);
    EXPECT_EQ(CLoc::SpecialObjectText(way), L"tower0");
    EXPECT_EQ(m_loc.GetObjects().At(18, 14), kNoTile);
    for (uint16_t y = 0; y < 15; ++y) {
        for (uint16_t x = 0; x < 20; ++x) {
            // The exit is the one way through the ring.
            const bool ring = (x == 0 || y == 0 || x == 19 || y == 14) && vek::TPoint{x, y} != exit;
            EXPECT_EQ(m_loc.GetTerrain().At(x, y), 4);
            if (ring) {
                EXPECT_TRUE(worldtest::BlockingObject(m_loc.GetObjects().At(x, y))) << x << "," << y;
            } else if (!ring) {
                EXPECT_EQ(m_loc.GetObjects().At(x, y), kNoTile) << x << "," << y;
            }
            EXPECT_FALSE(m_loc.HasItems(x, y));
        }
    }
}

TEST_F(Tower, LevelsLinkTheirStairs) {
    WriteLevel(1, 0, L"tower1", 36);
    CLoc& below = m_world.LoadLocAt(1, 0);
    Random(2, 0, L"tower3", 4);
    CSeedFromTest source(9);
    const vek::TPoint down = m_loc.CreateLocForTower();
    EXPECT_EQ(At(m_loc, down).appearance, 35);
    EXPECT_EQ(below.GetSpecialObjects().At(4, 4).value, CellValue(down));
    std::vector<vek::TPoint> passages = SpecialCells(m_loc, kSpecialPassage);
    ASSERT_EQ(passages.size(), 2u);
    const vek::TPoint up = passages[0] == down ? passages[1] : passages[0];
    EXPECT_EQ(At(m_loc, up).appearance, 36);
    EXPECT_EQ(CLoc::SpecialObjectText(At(m_loc, up)), L"tower3");
    EXPECT_EQ(At(m_loc, up).value, 0xFFFFu);
    EXPECT_TRUE(Walkable(m_loc, down)[up.y][up.x]);

    // A fixed next level: read, and its stairs down linked both ways.
    WriteLevel(2, 0, L"tower3", 35);
    CLoc again;
    again.SetWorldCell(m_tower);
    const vek::TPoint down2 = again.CreateLocForTower();
    CLoc* next = m_world.grid.At(2, 0).loc;
    ASSERT_NE(next, nullptr);
    passages = SpecialCells(again, kSpecialPassage);
    const vek::TPoint up2 = passages[0] == down2 ? passages[1] : passages[0];
    EXPECT_EQ(At(again, up2).value, (4u << 16) | 4u);
    EXPECT_EQ(next->GetSpecialObjects().At(4, 4).value, CellValue(up2));
}

TEST_F(Tower, AFixedNextLevelIsReadFromItsFileOnly) {
    // The next level's location is there without a layout: it is read from
    // its file, not reported as missing.
    WriteLevel(2, 0, L"tower3", 35);
    CLoc& next = m_world.LoadLocAt(2, 0);
    next.Clear();
    next.SetFlags(next.GetFlags() & ~kLocLayoutPresent);
    CSeedFromTest source(9);
    m_game.SetCurrentLoc(&m_loc);
    m_loc.CreateLocForTower();
    EXPECT_EQ(m_world.grid.At(2, 0).loc, &next);
    EXPECT_NE(next.GetFlags() & kLocLayoutPresent, 0);
    EXPECT_EQ(next.GetWidth(), 20);
    EXPECT_NE(next.GetSpecialObjects().At(4, 4).value, 0xFFFFu);
    EXPECT_EQ(m_game.GetCurrentLoc(), &m_loc);
    // A level whose file cannot be read leaves no location behind.
    m_world.Init();
    m_tower = &Random(0, 0, L"tower2", 4);
    Place(2, 0, L"missing.map", L"tower3");
    CLoc loc;
    loc.SetWorldCell(m_tower);
    EXPECT_THROW(loc.CreateLocForTower(), vek::CFileException);
    EXPECT_EQ(m_world.grid.At(2, 0).loc, nullptr);
    m_game.SetCurrentLoc(nullptr);
}

TEST_F(Tower, TopLevelHasNoWayUp) {
    m_tower->nameKey = L"tower5";
    m_game.SetCurrentLevel(5);
    CSeedFromTest source(9);
    const vek::TPoint down = m_loc.CreateLocForTower();
    EXPECT_EQ(SpecialCells(m_loc, kSpecialPassage), (std::vector<vek::TPoint>{down}));
}

TEST_F(Tower, MissingLevelsAreReported) {
    CSeedFromTest source(9);
    const struct {
        const wchar_t* next;
        uint16_t appearance;
        const wchar_t* details;
    } cases[] = {
        {nullptr, 0, L"Location not found: tower3"},
        {L"tower3", 0, L"Staircase down not found in location tower3"},
        {L"tower3", 36, L"Staircase down not found in location tower3"},
    };
    for (const auto& c : cases) {
        if (c.next != nullptr) {
            WriteLevel(2, 0, c.next, c.appearance);
        }
        CLoc loc;
        loc.SetWorldCell(m_tower);
        const auto e = Thrown<vek::CException>([&] { loc.CreateLocForTower(); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetFunction(), L"CLoc::CreateLocForTower");
        EXPECT_EQ(e->GetDetails(), c.details);
        m_world.Init();
        m_tower = &Random(0, 0, L"tower2", 4);
    }
    // The old stairs down (18) do as well.
    WriteLevel(2, 0, L"tower3", 18);
    CLoc loc;
    loc.SetWorldCell(m_tower);
    loc.CreateLocForTower();
    EXPECT_NE(m_world.grid.At(2, 0).loc->GetSpecialObjects().At(4, 4).value, 0xFFFFu);
}

} // namespace
