#include <gtest/gtest.h>

#include <array>
#include <string>

#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"
#include "platform/Utf8.h"
#include "rules/Hero.h"
#include "tests/support/Files.h"
#include "tests/world/WorldFixture.h"
#include "world/Loc.h"
#include "world/World.h"

// The locations of world cells: made, prepared, entered; the test world and
// dungeon sites; what the location asks of the world.
namespace {

using testsupport::Thrown;

// A 4 x 4 world: the mill at (1, 1), the 2 x 2 hall at (2, 1) with a rat,
// a hero, and another location as the current one.
class WorldLoc : public worldtest::WorldFixture {
protected:
    void SetUp() override {
        WorldFixture::SetUp();
        WriteMap(L"mill.map", L"Mill's own name");
        Place(1, 1, L"mill.map", L"mill");
        {
            CLoc hall;
            hall.Init(L"Hall", 40, 30, 0, kLocLayoutPresent);
            hall.GetTerrain().Fill(0);
            worldtest::AddMonster(hall, worldtest::kRat, 30, 20);
            hall.SaveToFile(L"Data/Locations/hall.map", true);
        }
        Place(2, 1, L"hall.map", L"hall", 40, 30);
        m_world.LoadLocNames(CWorld::GetLocNamesFileName(L"en"));
        m_game.SetHero(&m_hero);
        m_game.SetCurrentLoc(&m_elsewhere);
        m_hero.x = 3;
        m_hero.y = 3;
    }
    void TearDown() override {
        m_game.SetHero(nullptr);
        WorldFixture::TearDown();
    }

    CHero m_hero;
    CLoc m_elsewhere;
};

TEST_F(WorldLoc, LoadLocAtPreparesTheLocationOnce) {
    CLoc& mill = m_world.LoadLocAt(1, 1);
    EXPECT_NE(mill.GetFlags() & kLocLayoutPresent, 0);
    EXPECT_EQ(mill.GetWorldCell(), &m_world.grid.At(1, 1));
    EXPECT_EQ(m_world.grid.At(1, 1).loc, &mill);
    // Read with the world's name for its file.
    EXPECT_EQ(mill.GetOwnName(), L"Mill");
    EXPECT_EQ(mill.GetName(), L"Mill");
    EXPECT_EQ(m_game.GetCurrentLoc(), &m_elsewhere);
    EXPECT_EQ(&m_world.LoadLocAt(1, 1), &mill);
    EXPECT_EQ(m_world.GetLocationCount(), 1u);
    EXPECT_EQ(mill.MakeGlobalMonsterId(2), (5u << 16) | 2);
}

TEST_F(WorldLoc, AFileWhoseCellHasNoNameKeyIsPreparedWithoutAName) {
    WriteMap(L"barn.map", L"Barn's own name");
    Place(0, 0, L"barn.map", L"");
    CLoc& barn = m_world.LoadLocAt(0, 0);
    EXPECT_NE(barn.GetFlags() & kLocLayoutPresent, 0);
    EXPECT_EQ(barn.GetOwnName(), L"");
    EXPECT_EQ(barn.GetName(), L"");
}

TEST_F(WorldLoc, EveryCellOfALargeLocationPointsToIt) {
    CLoc& hall = m_world.LoadLocAt(3, 2);
    EXPECT_EQ(hall.GetWorldCell(), &m_world.grid.At(2, 1));
    for (const auto& [x, y] : {std::pair{2, 1}, {3, 1}, {2, 2}, {3, 2}}) {
        EXPECT_EQ(m_world.grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)).loc, &hall) << x << "," << y;
    }
    EXPECT_EQ(m_world.grid.At(1, 2).loc, nullptr);
    EXPECT_EQ(&m_world.LoadLocAt(2, 2), &hall);
    EXPECT_EQ(&m_world.LoadLocAt(2, 1), &hall);
    EXPECT_EQ(m_world.GetLocationCount(), 1u);
    // Global ids: location index 4 x 1 + 2 = 6.
    ASSERT_EQ(hall.GetCreatures().size(), 1u);
    EXPECT_EQ(hall.GetCreatures()[0]->globalId, (6u << 16) | 0);
    EXPECT_EQ(hall.GetName(), L"Great Hall");
}

TEST_F(WorldLoc, LoadLocAtThatFailsLeavesNothing) {
    m_world.grid.At(3, 0).fileName = L"";
    Place(0, 2, L"missing.map", L"gone");
    m_world.grid.At(0, 3).randomKind = kWorldRandom;
    m_world.grid.At(0, 3).name = L"Wild";
    m_world.grid.At(0, 3).terrainType = 99;
    const std::wstring before = worldtest::Snapshot(m_world);
    const struct {
        uint16_t x;
        uint16_t y;
        const wchar_t* details;
    } cases[] = {{3, 0, L"File name not specified for non-random location at (3, 0)."},
                 {0, 2, L"Data/Locations/missing.map"},
                 {0, 3, L"Invalid terrain type."}};
    for (const auto& c : cases) {
        const auto e = Thrown<vek::CException>([&] { m_world.LoadLocAt(c.x, c.y); });
        ASSERT_TRUE(e) << c.x;
        EXPECT_NE(e->GetText().find(c.details), std::wstring::npos) << platform::ToUtf8(e->GetText());
        EXPECT_EQ(m_game.GetCurrentLoc(), &m_elsewhere);
        EXPECT_EQ(worldtest::Snapshot(m_world), before);
        EXPECT_EQ(m_world.GetLocationCount(), 0u);
    }
}

TEST_F(WorldLoc, ReadyLocByNameOrCell) {
    const struct {
        const wchar_t* name;
        uint16_t x;
        uint16_t y;
        uint16_t entryX;
        uint16_t entryY;
        const wchar_t* portal;
        uint16_t heroX;
        uint16_t heroY;
        bool hall;
    } cases[] = {
        {L"MILL.MAP", 0, 0, 2, 3, L"", 2, 3, false}, {L"Mill", 0, 0, 4, 4, L"", 4, 4, false},
        {L"", 1, 1, 6, 6, L"", 6, 6, false},         {L"", 3, 2, 30, 25, L"", 30, 25, true},
        {L"mill", 0, 0, 9, 9, L"GATE", 5, 5, false}, {L"hall.map", 0, 0, 1, 1, L"", 1, 1, true},
    };
    for (const auto& c : cases) {
        m_game.SetCurrentLoc(&m_elsewhere);
        EXPECT_TRUE(m_world.ReadyLoc(c.name, c.x, c.y, c.entryX, c.entryY, kArriveFromWorld, c.portal))
            << platform::ToUtf8(c.name);
        CLoc* entered = m_game.GetCurrentLoc();
        ASSERT_NE(entered, nullptr);
        EXPECT_EQ(entered, m_world.grid.At(c.hall ? 2 : 1, 1).loc);
        EXPECT_EQ(m_hero.x, c.heroX);
        EXPECT_EQ(m_hero.y, c.heroY);
        EXPECT_NE(entered->GetFlags() & kLocEntered, 0);
        EXPECT_EQ(entered->GetCreatureIds().At(c.heroX, c.heroY), kHeroCell);
    }
    EXPECT_EQ(m_world.GetLocationCount(), 2u);
}

TEST_F(WorldLoc, ReadyLocRemembersTheCurrentLocationsFirstCell) {
    ASSERT_TRUE(m_world.ReadyLoc(L"", 3, 2, 3, 3, kArriveFromWorld, L""));
    m_hero.worldX = 0;
    m_hero.worldY = 0;
    ASSERT_TRUE(m_world.ReadyLoc(L"mill", 0, 0, 3, 3, kArriveFromWorld, L""));
    EXPECT_EQ(m_hero.worldX, 2);
    EXPECT_EQ(m_hero.worldY, 1);
    // The hero's cell in the hall he left is free again.
    EXPECT_EQ(m_world.grid.At(2, 1).loc->GetCreatureIds().At(3, 3), kNoCreature);
}

TEST_F(WorldLoc, ReadyLocRefusals) {
    // Neither found nor outside the grid changes anything.
    const auto notFound = Thrown<vek::CException>([&] { m_world.ReadyLoc(L"cave", 0, 0, 0, 0, 1, L""); });
    ASSERT_TRUE(notFound);
    EXPECT_EQ(notFound->GetDetails(), L"Location not found: cave");
    EXPECT_EQ(notFound->GetFunction(), L"CWorld::ReadyLoc");
    EXPECT_THROW(m_world.ReadyLoc(L"", 4, 0, 0, 0, 1, L""), vek::CException);
    EXPECT_EQ(m_world.GetLocationCount(), 0u);

    // A portal the location lacks: made and prepared, not entered.
    m_hero.worldX = 9;
    const auto noPortal = Thrown<vek::CException>([&] { m_world.ReadyLoc(L"mill", 0, 0, 0, 0, 1, L"there"); });
    ASSERT_TRUE(noPortal);
    EXPECT_EQ(noPortal->GetDetails(), L"Portal not found: there");
    ASSERT_NE(m_world.grid.At(1, 1).loc, nullptr);
    EXPECT_NE(m_world.grid.At(1, 1).loc->GetFlags() & kLocLayoutPresent, 0);
    EXPECT_EQ(m_world.grid.At(1, 1).loc->GetFlags() & kLocEntered, 0);
    EXPECT_EQ(m_game.GetCurrentLoc(), &m_elsewhere);

    // A wall as entry cell: refused, the previous location stays current.
    EXPECT_FALSE(m_world.ReadyLoc(L"mill", 0, 0, 1, 1, kArriveFromWorld, L""));
    EXPECT_EQ(m_game.GetCurrentLoc(), &m_elsewhere);
    EXPECT_EQ(m_hero.x, 3u);
}

TEST_F(WorldLoc, ReadyLocAtChoosesCellOrName) {
    const struct {
        uint32_t x;
        uint32_t y;
        const wchar_t* name;
        bool throws;
        uint16_t cellX;
    } cases[] = {
        {1, 1, L"hall", false, 1},     {0xFFFF, 0, L"hall", false, 2},      {0, 0xFFFF, L"mill.map", false, 1},
        {0xFFFE, 0, L"mill", true, 0}, {0x10000, 7, L"hall.map", false, 2}, {0xFFFF, 0xFFFF, L"", true, 0},
        {2, 2, L"", false, 2},
    };
    for (const auto& c : cases) {
        m_game.SetCurrentLoc(&m_elsewhere);
        if (c.throws) {
            EXPECT_THROW(m_world.ReadyLocAt(c.x, c.y, c.name, 4, 4, kArriveFromWorld, L""), vek::CException) << c.x;
            EXPECT_EQ(m_game.GetCurrentLoc(), &m_elsewhere);
            continue;
        }
        EXPECT_TRUE(m_world.ReadyLocAt(c.x, c.y, c.name, 4, 4, kArriveFromWorld, L"")) << c.x;
        EXPECT_EQ(m_game.GetCurrentLoc(), m_world.grid.At(c.cellX, 1).loc) << c.x;
    }
    // No cell and no name: the grid refuses the cell, coordinates beyond 16
    // bits taken as 0xFFFF (0x10001 would otherwise be row 1).
    const struct {
        uint32_t x;
        uint32_t y;
        const wchar_t* where;
    } outside[] = {{0xFFFF, 0xFFFF, L"X=65535, Y=65535"}, {3, 0x10001, L"X=3, Y=65535"}, {0xFFFF, 2, L"X=65535, Y=2"}};
    for (const auto& c : outside) {
        m_game.SetCurrentLoc(&m_elsewhere);
        const std::wstring before = worldtest::Snapshot(m_world);
        const auto e = Thrown<vek::CException>([&] { m_world.ReadyLocAt(c.x, c.y, L"", 4, 4, kArriveFromWorld, L""); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->GetFunction(), L"vek::CMap<struct TWorldLocInfo>::At");
        EXPECT_EQ(e->GetDetails(),
                  L"Invalid array subscript, CMap class\r\n" + std::wstring(c.where) + L", array size 4x4");
        EXPECT_EQ(worldtest::Snapshot(m_world), before);
        EXPECT_EQ(m_game.GetCurrentLoc(), &m_elsewhere);
    }
}

TEST_F(WorldLoc, ResizeKeepsTheLocationsThatStillStart) {
    CLoc& mill = m_world.LoadLocAt(1, 1);
    m_world.LoadLocAt(2, 1);
    m_game.SetCurrentLoc(m_world.grid.At(2, 1).loc);
    m_world.Resize(2, 4);
    EXPECT_EQ(m_world.GetLocationCount(), 1u);
    EXPECT_EQ(m_game.GetCurrentLoc(), nullptr);
    EXPECT_EQ(m_world.grid.At(1, 1).loc, &mill);
    EXPECT_EQ(mill.GetWorldCell(), &m_world.grid.At(1, 1));
    EXPECT_EQ(mill.GetName(), L"Mill");
    m_world.Init();
    EXPECT_EQ(m_world.GetLocationCount(), 0u);
    EXPECT_EQ(m_world.grid.At(1, 1).loc, nullptr);
}

// A location larger than what is left of the grid covers the cells there
// are, and goes once with the world.
TEST_F(WorldLoc, LargeLocationAtTheEdge) {
    Place(3, 3, L"hall.map", L"corner", 20, 15);
    m_world.grid.At(3, 3).width = 40;
    m_world.grid.At(3, 3).height = 30;
    CLoc& hall = m_world.LoadLocAt(3, 3);
    EXPECT_EQ(m_world.LocBlock(3, 3), (std::vector<vek::TPoint>{{3, 3}}));
    EXPECT_EQ(hall.GetWidth(), 40);
    EXPECT_EQ(m_world.GetLocationIndex(3, 3), 15u);
    m_world.LoadLocAt(2, 1);
    m_world.Init();
    EXPECT_EQ(m_world.GetLocationCount(), 0u);
}

TEST_F(WorldLoc, TestWorldHoldsTheFilesLocation) {
    {
        CLoc barn;
        barn.Init(L"Barn's own name", 40, 15, 2, kLocLayoutPresent);
        barn.GetTerrain().Fill(0);
        barn.SaveToFile(L"Data/Locations/barn.map", true);
    }
    m_world.LoadLocAt(1, 1);
    m_world.texts = {L"a", L"b", L"c", L"d", L"e"};
    m_world.CreateTestWorld(L"Data/Locations/barn.map");
    EXPECT_EQ(m_world.width, 1);
    EXPECT_EQ(m_world.height, 1);
    EXPECT_EQ(m_world.texts, (std::array<std::wstring, 5>{L"TestWorld", L"", L"", L"", L""}));
    EXPECT_EQ(m_world.GetLocationCount(), 1u);
    const TWorldLocInfo& cell = m_world.grid.At(0, 0);
    ASSERT_NE(cell.loc, nullptr);
    // Named while not yet in the world: its own name.
    EXPECT_EQ(cell.name, L"Barn's own name");
    EXPECT_EQ(cell.fileName, L"barn.map");
    EXPECT_EQ(cell.width, 40);
    EXPECT_EQ(cell.height, 15);
    EXPECT_EQ(cell.terrainType, 2);
    // The key of a new world's cell, which now names it through the place
    // names (the name file left "0,0" empty).
    EXPECT_EQ(cell.nameKey, L"0,0");
    EXPECT_EQ(cell.loc->GetName(), L"");
    EXPECT_EQ(cell.loc->GetWorldCell(), &cell);

    const std::wstring before = worldtest::Snapshot(m_world);
    EXPECT_THROW(m_world.CreateTestWorld(L"Data/Locations/none.map"), vek::CFileException);
    EXPECT_EQ(worldtest::Snapshot(m_world), before);
}

// --- Dungeon sites -------------------------------------------------------------------------------

// Makes a level of the asked size and answers (3, 4); remembers what was asked.
class WorldSite : public WorldLoc {
protected:
    void SetUp() override {
        WorldLoc::SetUp();
        // Columns 2 and 3 hidden, as a new world of factor 2 has them.
        m_world.partFactor = 2;
        for (uint16_t y = 0; y < 4; ++y) {
            for (uint16_t x = 0; x < 4; ++x) {
                m_world.InitCell(x, y);
            }
        }
        Place(1, 1, L"mill.map", L"mill");
        m_world.SetSiteLevelMaker([this](CLoc& loc, const TSiteLevel& level) {
            m_asked = level;
            loc.Init(L"level", level.width, level.height, 4, kLocLayoutPresent);
            return vek::TPoint{3, 4};
        });
    }
    TSiteLevel m_asked;
};

TEST_F(WorldSite, SiteTakesTheFirstFreeHiddenBlock) {
    // A bush stands where the stairs go; it stays.
    m_world.LoadLocAt(1, 1).GetObjects().At(6, 7) = 1;
    m_world.CreateDungeonSite(40, 30, 3, L"mill", 6, 7);
    EXPECT_EQ(m_asked.width, 40);
    EXPECT_EQ(m_asked.height, 30);
    EXPECT_EQ(m_asked.level, 0);
    EXPECT_EQ(m_asked.levelCount, 3);
    EXPECT_FALSE(m_asked.comingUp);
    EXPECT_EQ(m_asked.siteLocation, L"mill");
    EXPECT_EQ(m_asked.siteCell, (vek::TPoint{6, 7}));

    CLoc* site = m_world.grid.At(2, 0).loc;
    ASSERT_NE(site, nullptr);
    for (uint16_t y = 0; y < 2; ++y) {
        for (uint16_t x = 2; x < 4; ++x) {
            const TWorldLocInfo& cell = m_world.grid.At(x, y);
            EXPECT_EQ(cell.loc, site);
            EXPECT_EQ(cell.fileName, L"DungeonSite1");
            EXPECT_EQ(cell.nameKey, L"DungeonSite1");
            EXPECT_EQ(cell.name, L"DungeonSite");
            EXPECT_EQ(cell.randomKind, kWorldDungeonSite);
            EXPECT_EQ(cell.terrainType, 4);
            EXPECT_EQ(cell.towerFlag, 1);
            EXPECT_EQ(cell.shown, 1);
            EXPECT_EQ(cell.values16[0], 3);
            EXPECT_EQ(cell.values32[0], (7u << 16) | 6);
            EXPECT_EQ(cell.text5, L"mill");
            EXPECT_EQ(cell.worldX, x);
        }
    }
    EXPECT_EQ(site->GetWorldCell(), &m_world.grid.At(2, 0));
    EXPECT_EQ(site->GetName(), L"Delve 1");
    const TSpecialObject& stairs = m_world.grid.At(1, 1).loc->GetSpecialObjects().At(6, 7);
    EXPECT_EQ(stairs.active, 1);
    EXPECT_EQ(stairs.kind, kSpecialPassage);
    EXPECT_EQ(stairs.appearance, 35);
    EXPECT_EQ(stairs.value, (4u << 16) | 3);
    const std::vector<uint8_t> text{'D', 0, 'u', 0, 'n', 0, 'g', 0, 'e', 0, 'o', 0,
                                    'n', 0, 'S', 0, 'i', 0, 't', 0, 'e', 0, '1', 0};
    EXPECT_EQ(stairs.GetBuffer(), text);
    EXPECT_EQ(m_world.grid.At(1, 1).loc->GetObjects().At(6, 7), 1);

    // The next one fills the first free block of one cell: (2, 2).
    EXPECT_EQ(m_world.NextDungeonSiteNumber(), 2u);
    m_world.CreateDungeonSite(20, 15, 1, L"mill.map", 8, 8);
    EXPECT_EQ(m_world.grid.At(2, 2).fileName, L"DungeonSite2");
    EXPECT_EQ(m_world.grid.At(3, 2).fileName, L"");
    EXPECT_EQ(m_world.GetLocationCount(), 3u);
}

// A site has no file: it and the stairs down to it live only in saved games.
TEST_F(WorldSite, ASiteNeverEnteredSurvivesASavedGame) {
    m_world.CreateDungeonSite(40, 30, 3, L"mill", 6, 7);
    vek::StreamReset();
    m_world.SaveGame();
    const worldtest::Bytes saved = worldtest::Written();
    m_game.SetCurrentLoc(nullptr);
    CWorld loaded;
    m_game.SetWorld(&loaded);
    vek::StreamAssign(saved);
    loaded.LoadGame(L"Save/site.sav");
    EXPECT_EQ(vek::GetStream().remaining(), 0u);
    // Both come back from the saved game, not from files, and are prepared.
    EXPECT_EQ(loaded.GetLocationCount(), 2u);
    CLoc* site = loaded.grid.At(2, 0).loc;
    ASSERT_NE(site, nullptr);
    EXPECT_EQ(&loaded.LoadLocAt(3, 1), site);
    EXPECT_EQ(site->GetOwnName(), L"level");
    EXPECT_NE(site->GetFlags() & kLocSaved, 0);
    EXPECT_EQ(site->GetName(), L"Delve 1");
    EXPECT_EQ(loaded.grid.At(2, 0).name, L"DungeonSite");
    CLoc* mill = loaded.grid.At(1, 1).loc;
    ASSERT_NE(mill, nullptr);
    const TSpecialObject& stairs = mill->GetSpecialObjects().At(6, 7);
    EXPECT_EQ(stairs.active, 1);
    EXPECT_EQ(stairs.kind, kSpecialPassage);
    EXPECT_EQ(CLoc::SpecialObjectText(stairs), L"DungeonSite1");
    EXPECT_EQ(loaded.NextDungeonSiteNumber(), 2u);
    m_game.SetWorld(&m_world);
}

TEST_F(WorldSite, AnEnteredEntranceIsNotMarkedKept) {
    CLoc& mill = m_world.LoadLocAt(1, 1);
    mill.SetFlags(mill.GetFlags() | kLocEntered);
    m_world.CreateDungeonSite(20, 15, 1, L"mill", 6, 7);
    EXPECT_EQ(mill.GetFlags() & kLocSaved, 0);
    EXPECT_NE(m_world.grid.At(2, 0).loc->GetFlags() & kLocSaved, 0);
}

// A maker that makes another location before it fails: that one stays.
TEST_F(WorldSite, FailingLevelLeavesWhatItMadeMeanwhile) {
    Place(0, 0, L"mill.map", L"millpond");
    m_world.SetSiteLevelMaker([this](CLoc&, const TSiteLevel&) -> vek::TPoint {
        m_world.LoadLocAt(0, 0);
        throw vek::CException(L"test", L"test", 1, L"no level");
    });
    EXPECT_THROW(m_world.CreateDungeonSite(20, 15, 1, L"mill", 2, 2), vek::CException);
    EXPECT_EQ(m_world.GetLocationCount(), 2u);
    ASSERT_NE(m_world.grid.At(0, 0).loc, nullptr);
    EXPECT_EQ(m_world.grid.At(0, 0).loc->GetWorldCell(), &m_world.grid.At(0, 0));
    EXPECT_EQ(m_world.grid.At(2, 0).loc, nullptr);
    EXPECT_EQ(m_world.grid.At(2, 0).fileName, L"");
    EXPECT_EQ(m_world.NextDungeonSiteNumber(), 1u);
}

TEST_F(WorldSite, NumbersGoOnAfterTheWorldIsReadAgain) {
    m_world.CreateDungeonSite(20, 15, 2, L"mill", 6, 7);
    m_world.CreateDungeonSite(20, 15, 2, L"mill", 6, 8);
    CWorld read;
    read.LoadFileContent(m_world.GetFileContent(), L"Data/sites.world");
    EXPECT_EQ(read.NextDungeonSiteNumber(), 3u);
    EXPECT_EQ(m_game.GetStrings().GetLocName(L"DungeonSite2", true), L"Delve 2");
    // Numbers beyond any other site's, however they were written.
    read.grid.At(0, 3).fileName = L"dungeonsite41";
    read.grid.At(1, 3).fileName = L"DungeonSite999999";
    read.grid.At(0, 0).fileName = L"DungeonSite";
    read.grid.At(1, 0).fileName = L"DungeonSite7x";
    EXPECT_EQ(read.NextDungeonSiteNumber(), 42u);
}

TEST_F(WorldSite, RefusalsChangeNothing) {
    m_world.LoadLocAt(1, 1);
    const std::wstring before = worldtest::Snapshot(m_world);
    const struct {
        uint16_t width;
        uint16_t height;
        uint16_t levels;
        const wchar_t* entrance;
        uint16_t x;
        const wchar_t* details;
    } cases[] = {
        {19, 15, 1, L"mill", 1, L"cannot be made"},
        {20, 14, 1, L"mill", 1, L"cannot be made"},
        {20, 15, 0, L"mill", 1, L"cannot be made"},
        {20, 15, 1, L"cave", 1, L"Location not found: cave"},
        {20, 15, 1, L"mill", 20, L"The entrance (20, 3) lies outside mill"},
        {60, 15, 1, L"mill", 1, L"No free block of 3x1 world cells for DungeonSite1"},
        {40, 75, 1, L"mill", 1, L"No free block of 2x5 world cells for DungeonSite1"},
    };
    for (const auto& c : cases) {
        const auto e = Thrown<vek::CException>(
            [&] { m_world.CreateDungeonSite(c.width, c.height, c.levels, c.entrance, c.x, 3); });
        ASSERT_TRUE(e) << platform::ToUtf8(c.details);
        EXPECT_NE(e->GetText().find(c.details), std::wstring::npos) << platform::ToUtf8(e->GetText());
        EXPECT_EQ(worldtest::Snapshot(m_world), before);
        EXPECT_EQ(m_world.GetLocationCount(), 1u);
    }
    // The generator's level fails: the fixture's tables know no dungeon
    // floor, so no cell of it can be walked on.
    m_world.SetSiteLevelMaker(nullptr);
    const auto e = Thrown<vek::CException>([&] { m_world.CreateDungeonSite(20, 15, 1, L"mill", 1, 3); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->GetFunction(), L"CLoc::PickRandomCell");
    EXPECT_EQ(worldtest::Snapshot(m_world), before);
    EXPECT_EQ(m_world.GetLocationCount(), 1u);
    EXPECT_EQ(m_world.grid.At(1, 1).loc->GetSpecialObjects().At(1, 3).active, 0);
}

} // namespace
