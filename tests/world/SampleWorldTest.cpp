#include <gtest/gtest.h>

#include <string>

#include "VEKLib/Config.h"
#include "data/DataArchive.h"
#include "data/Globals.h"
#include "platform/Utf8.h"
#include "rules/Hero.h"
#include "script/Script.h"
#include "tests/world/GameFolder.h"
#include "world/Loc.h"
#include "world/World.h"

// The sample world as the game finds it in its folder, named by the
// configuration, in both languages, from loose files and from the archive.
namespace {

class SampleWorld : public worldtest::GameFolder {
protected:
    void SetUp() override {
        GameFolder::SetUp();
        m_game.GetConfig().SetFileName(L"Data/game.ini");
        m_game.GetConfig().Load();
        m_game.GetTableSet(kScriptTables).Load(L"en", false);
        m_game.SetWorld(&m_world);
        SetArchiveInUse(false);
        // The locations' scripts read the global variables.
        m_global.LoadFile(L"Data/Scripts/_global.u");
        m_global.Parse();
        m_global.ExecuteScript(kScriptTypeDeclarations);
        CScript::SetGlobalScript(&m_global);
    }
    void TearDown() override {
        CScript::SetGlobalScript(nullptr);
        m_game.SetCurrentLoc(nullptr);
        m_game.SetHero(nullptr);
        m_game.SetWorld(nullptr);
        GameFolder::TearDown();
    }

    void LoadConfigured(const wchar_t* language) {
        m_game.GetConfig().SetValue(L"lang", vek::CValue(language));
        m_world.Load(m_game.GetConfig().FindEntry(L"world").GetString());
    }

    CWorld m_world;
    CScript m_global;
};

TEST_F(SampleWorld, TheConfigurationNamesIt) {
    EXPECT_EQ(m_game.GetConfig().FindEntry(L"world").GetString(), L"vale.world");
    LoadConfigured(L"en");
    EXPECT_EQ(m_world.texts[0], L"The Vale of the Ford");
    EXPECT_EQ(m_world.width, 8);
    EXPECT_EQ(m_world.height, 3);
    EXPECT_EQ(m_world.GetFirstPartWidth(), 4);
    uint16_t x = 0;
    uint16_t y = 0;
    ASSERT_TRUE(m_world.FindLocationByName(L"mill.map", x, y));
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 1);
    // Danger levels from locs.dat.
    EXPECT_EQ(m_world.grid.At(1, 1).danger, 2);
    EXPECT_EQ(m_world.grid.At(3, 0).danger, 12);
    EXPECT_EQ(m_world.grid.At(2, 2).danger, 15);
    EXPECT_EQ(m_world.grid.At(4, 0).danger, 5);
    EXPECT_EQ(m_world.grid.At(2, 1).danger, 10);
}

TEST_F(SampleWorld, BothLanguagesNameEveryNamedLocation) {
    const struct {
        const wchar_t* language;
        const wchar_t* mill;
        const wchar_t* part;
    } cases[] = {{L"en", L"Mill by the River", L"The Vale of the Ford"}, {L"pl", L"Młyn nad rzeką", L"Dolina Brodu"}};
    for (const auto& c : cases) {
        LoadConfigured(c.language);
        const CStringResource& strings = m_game.GetStrings();
        EXPECT_EQ(strings.GetLocName(L"mill", true), c.mill);
        const TRegionQuery region{L"mill", L""};
        EXPECT_EQ(strings.GetRegionName(&region), c.part);
        EXPECT_EQ(strings.GetPlaceNames().count(L"worldpart0_b"), 1u);
        EXPECT_FALSE(strings.GetLocName(L"default_unknown", true).empty());
        EXPECT_FALSE(strings.GetLocName(L"default_random_dungeon", true).empty());
        for (const TWorldLocInfo* cell : m_world.CollectLocations()) {
            EXPECT_FALSE(cell->nameKey.empty());
            EXPECT_FALSE(strings.GetLocName(cell->nameKey, true).empty()) << platform::ToUtf8(cell->nameKey);
        }
    }
}

TEST_F(SampleWorld, EveryFixedLocationLoadsAtItsSize) {
    LoadConfigured(L"en");
    size_t fixed = 0;
    for (uint16_t y = 0; y < m_world.height; ++y) {
        for (uint16_t x = 0; x < m_world.width; ++x) {
            const TWorldLocInfo& cell = m_world.grid.At(x, y);
            if (cell.randomKind != kWorldFixed || cell.fileName.empty()) {
                continue;
            }
            ++fixed;
            CLoc& loc = m_world.LoadLocAt(x, y);
            EXPECT_EQ(loc.GetWidth(), cell.width) << platform::ToUtf8(cell.fileName);
            EXPECT_EQ(loc.GetHeight(), cell.height) << platform::ToUtf8(cell.fileName);
            EXPECT_EQ(loc.GetName(), m_game.GetStrings().GetLocName(cell.nameKey, true));
        }
    }
    EXPECT_EQ(fixed, 2u);
    // Every cell of the shown part is a location one can go to.
    for (uint16_t y = 0; y < m_world.height; ++y) {
        for (uint16_t x = 0; x < m_world.GetFirstPartWidth(); ++x) {
            const TWorldLocInfo& cell = m_world.grid.At(x, y);
            EXPECT_TRUE(cell.randomKind == kWorldRandom || !cell.fileName.empty()) << x << "," << y;
            EXPECT_TRUE(!cell.nameKey.empty() || !cell.name.empty()) << x << "," << y;
        }
    }
}

// Into the mill from the world, then down its stairs to the cellar's.
TEST_F(SampleWorld, FromTheMillDownToTheCellar) {
    LoadConfigured(L"en");
    CHero hero;
    m_game.SetHero(&hero);
    ASSERT_TRUE(m_world.ReadyLoc(L"mill", 0, 0, 3, 7, kArriveFromWorld, L""));
    CLoc* mill = m_game.GetCurrentLoc();
    ASSERT_NE(mill, nullptr);
    EXPECT_EQ(mill->GetName(), L"Mill by the River");
    ASSERT_TRUE(m_world.ReadyLoc(L"cellar.map", 0, 0, 0, 0, kArriveFromObject, L"cellar stairs"));
    CLoc* cellar = m_game.GetCurrentLoc();
    ASSERT_NE(cellar, nullptr);
    EXPECT_NE(cellar, mill);
    EXPECT_EQ(cellar->GetName(), L"Mill Cellar");
    EXPECT_EQ(hero.x, 2u);
    EXPECT_EQ(hero.y, 2u);
    EXPECT_EQ(hero.worldX, 1);
    EXPECT_EQ(hero.worldY, 1);
}

TEST_F(SampleWorld, TheArchiveHoldsTheSameWorld) {
    LoadConfigured(L"en");
    const std::vector<uint8_t> loose = m_world.GetFileContent();
    UseArchive();
    CWorld fromArchive;
    fromArchive.Load(L"vale.world");
    EXPECT_EQ(fromArchive.GetFileContent(), loose);
    EXPECT_EQ(m_game.GetStrings().GetLocName(L"cellar", true), L"Mill Cellar");
}

} // namespace
