#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/IniFile.h"
#include "data/TableFrame.h"
#include "platform/Utf8.h"
#include "tests/world/WorldFixture.h"
#include "world/World.h"

// Location names, world-part names and "locs.dat".
namespace {

void Parse(vek::CIniFile& ini, const std::wstring& text) {
    ini.SetSourceName(L"Data/locations.en.ini");
    ParseTableText(text, ini);
}

TEST(LocNames, NamesOfShownLocationsThatAreNotPlainRandom) {
    CWorld world;
    world.grid.At(0, 0).nameKey = L"Mill";
    world.grid.At(0, 0).name = L"Old Mill";
    world.grid.At(1, 0).nameKey = L"wood";
    world.grid.At(1, 0).randomKind = kWorldRandom;
    world.grid.At(2, 0).nameKey = L"cellar";
    world.grid.At(2, 0).shown = 0;
    world.grid.At(3, 0).nameKey = L"site";
    world.grid.At(3, 0).randomKind = kWorldDungeonSite;
    world.grid.At(3, 0).name = L"Delve 4";
    world.grid.At(0, 1).nameKey.clear();
    world.grid.At(1, 1).nameKey = L"nameless";
    world.grid.At(2, 1).nameKey = L"barn";
    world.grid.At(2, 1).name = L"Old Barn";
    // Dungeon sites made in play, as CreateDungeonSite records them.
    const struct {
        uint16_t x;
        uint16_t y;
        const wchar_t* file;
        uint8_t randomKind;
    } sites[] = {{3, 1, L"DungeonSite4", kWorldDungeonSite},
                 {0, 2, L"dungeonsite7", kWorldDungeonSite},
                 {1, 2, L"DungeonSite9", kWorldFixed}};
    for (const auto& site : sites) {
        TWorldLocInfo& cell = world.grid.At(site.x, site.y);
        cell.name = L"DungeonSite";
        cell.fileName = site.file;
        cell.nameKey = site.file;
        cell.randomKind = site.randomKind;
    }
    vek::CIniFile ini;
    Parse(ini,
          L"[locnames]\nmill = \"The Mill\"\nwood = \"Wood\"\ncellar = \"Cellar\"\ndungeonsite7 = \"The Pit\"\n"
          L"default_random_dungeon = \"Delve %u\"\n[worldparts]\n");
    const TPlaceNames names = ReadLocNames(world, ini);
    EXPECT_EQ(names.at(L"MILL"), L"The Mill");
    EXPECT_EQ(names.count(L"WOOD"), 0u);   // plain random
    EXPECT_EQ(names.count(L"CELLAR"), 0u); // not shown
    // Not in the file: empty, whatever the record's name.
    EXPECT_EQ(names.at(L"SITE"), L"");
    EXPECT_EQ(names.at(L"BARN"), L"");
    EXPECT_EQ(names.at(L"NAMELESS"), L"");
    EXPECT_EQ(names.at(L"DUNGEONSITE9"), L""); // no site
    // A site made in play gets the name it was made with, unless the file
    // names it.
    EXPECT_EQ(names.at(L"DUNGEONSITE4"), L"Delve 4");
    EXPECT_EQ(names.at(L"DUNGEONSITE7"), L"The Pit");
    EXPECT_EQ(names.at(L"DEFAULT_UNKNOWN"), L"default_unknown");
    EXPECT_EQ(names.at(L"DEFAULT_RANDOM_DUNGEON"), L"Delve %u");
    EXPECT_EQ(names.count(L""), 0u);
    // The other cells of the new world keep their coordinates as keys.
    EXPECT_EQ(names.at(L"3,3"), L"");
    EXPECT_EQ(names.size(), 2u + 7 + 6);

    // Without a name of its own for sites the key itself stands, as when the
    // site was made; an empty one gives the site's file name.
    const struct {
        const wchar_t* line;
        const wchar_t* name;
    } formats[] = {{L"", L"default_random_dungeon"}, {L"default_random_dungeon = \"\"\n", L"DungeonSite4"}};
    for (const auto& format : formats) {
        Parse(ini, std::wstring(L"[locnames]\n") + format.line + L"[worldparts]\n");
        EXPECT_EQ(ReadLocNames(world, ini).at(L"DUNGEONSITE4"), format.name);
    }
}

TEST(LocNames, MissingSectionIsAnError) {
    CWorld world;
    vek::CIniFile ini;
    Parse(ini, L"[worldparts]\n");
    EXPECT_THROW(ReadLocNames(world, ini), vek::CException);
    Parse(ini, L"[locnames]\n");
    EXPECT_THROW(ReadLocNames(world, ini), vek::CException);
}

TEST(LocNames, WorldParts) {
    const struct {
        const wchar_t* section;
        std::vector<std::wstring> keys; // none when it fails
        const wchar_t* missing;
    } cases[] = {
        {L"", {}, nullptr},
        {L"worldpart0 = \"Vale\"\nworldpart0_b = \"in the Vale\"\n", {L"worldpart0", L"worldpart0_b"}, nullptr},
        {L"worldpart0 = \"A\"\nworldpart0_b = \"a\"\nworldpart1 = \"B\"\nworldpart1_b = \"b\"\n",
         {L"worldpart0", L"worldpart0_b", L"worldpart1", L"worldpart1_b"},
         nullptr},
        // Counting stops at the first part without a name.
        {L"worldpart0 = \"A\"\nworldpart0_b = \"a\"\nworldpart2 = \"C\"\nworldpart2_b = \"c\"\n",
         {L"worldpart0", L"worldpart0_b"},
         nullptr},
        {L"worldpart0_b = \"a\"\n", {}, nullptr},
        {L"worldpart0 = \"\"\nworldpart0_b = \"a\"\n", {}, nullptr},
        {L"worldpart0 = \"A\"\n", {}, L"worldpart0_b"},
        {L"worldpart0 = \"A\"\nworldpart0_b = \"\"\n", {}, L"worldpart0_b"},
        {L"worldpart0 = \"A\"\nworldpart0_b = \"a\"\nworldpart1 = \"B\"\n", {}, L"worldpart1_b"},
    };
    for (const auto& c : cases) {
        vek::CIniFile ini;
        Parse(ini, std::wstring(L"[worldparts]\n") + c.section);
        TPlaceNames names{{L"MILL", L"Mill"}};
        if (c.missing != nullptr) {
            try {
                CWorld::LoadWorldPartsNames(ini, names);
                ADD_FAILURE() << platform::ToUtf8(c.section);
            } catch (const vek::CException& e) {
                EXPECT_EQ(e.GetDetails(), L"World part name incomplete: missing " + std::wstring(c.missing) +
                                              L" (Data/locations.en.ini)");
                EXPECT_EQ(e.GetFunction(), L"CWorld::LoadWorldPartsNames");
            }
            continue;
        }
        CWorld::LoadWorldPartsNames(ini, names);
        std::vector<std::wstring> keys;
        for (const auto& [key, name] : names) {
            if (key != L"MILL") {
                keys.push_back(key);
            }
        }
        EXPECT_EQ(keys, c.keys) << platform::ToUtf8(c.section);
    }
}

// --- "locs.dat" ----------------------------------------------------------------------------------

// The danger levels of a 5 x 4 (or 5 x height) world after the text, row by
// row.
std::vector<uint16_t> Levels(const std::wstring& text, std::vector<std::wstring>* log = nullptr, uint16_t height = 4) {
    CGameData game;
    std::vector<std::wstring> lines;
    game.SetLogSink([&](const std::wstring& line) { lines.push_back(line); });
    g_gameData = &game;
    CWorld world;
    world.Resize(5, height);
    ApplyDangerLevels(world, ParseDangerLevels(text, L"Data/locs.dat"));
    g_gameData = nullptr;
    std::vector<uint16_t> levels;
    for (uint16_t y = 0; y < height; ++y) {
        for (uint16_t x = 0; x < 5; ++x) {
            levels.push_back(world.grid.At(x, y).danger);
        }
    }
    if (log != nullptr) {
        *log = lines;
    }
    return levels;
}

// Every cell 10 but those listed as {x, y, level}.
std::vector<uint16_t> Expected(std::initializer_list<std::array<uint16_t, 3>> set, uint16_t height = 4) {
    std::vector<uint16_t> levels(static_cast<size_t>(5) * height, 10);
    for (const auto& [x, y, level] : set) {
        levels[static_cast<size_t>(y) * 5 + x] = level;
    }
    return levels;
}

TEST(DangerLevels, Lines) {
    const struct {
        const wchar_t* text;
        std::vector<uint16_t> levels;
        size_t skipped;
    } cases[] = {
        {L"", Expected({}), 0},
        {L"3,3,7", Expected({{3, 3, 7}}), 0},
        {L"3,3,7\n", Expected({{3, 3, 7}}), 0},
        {L"0,0,2,1,5\n", Expected({{0, 0, 5}, {1, 0, 5}, {2, 0, 5}, {0, 1, 5}, {1, 1, 5}, {2, 1, 5}}), 0},
        {L"1,1,1,1,5,99,x\n", Expected({{1, 1, 5}}), 0}, // fields after the fifth are ignored
        {L"1\n1,2\n1,2,3,4\n\n", Expected({}), 3},
        {L"\xFEFF"
         L"2,2,8\r\n4,3,9\r\n",
         Expected({{2, 2, 8}, {4, 3, 9}}), 0},
        {L" 2 , 2 ,\t8 \n", Expected({{2, 2, 8}}), 0},
        {L"2,2,x\n2,-1,3\n2,2,+3\n2,2,\n,2,2\n0x1,1,1\n", Expected({}), 6},
        {L"5,0,1\n0,4,1\n4294967295,0,1\n99999999999,0,1\n", Expected({}), 0}, // outside
        {L"3,2,9,9,4\n", Expected({{3, 2, 4}, {4, 2, 4}, {3, 3, 4}, {4, 3, 4}}), 0},
        {L"4,3,0,0,4\n", Expected({}), 0}, // an empty rectangle
        {L"0,0,65535\n1,0,65536\n2,0,4294967295\n3,0,99999999999\n",
         Expected({{0, 0, 65535}, {1, 0, 65535}, {2, 0, 65535}, {3, 0, 65535}}), 0},
        {L"0,0,4,3,1\n1,1,2\n1,1,3\n",
         [] {
             std::vector<uint16_t> levels(20, 1);
             levels[6] = 3;
             return levels;
         }(),
         0},
        {L"  \n\t\n\r\n", Expected({}), 0},
        {L"0,0,0,0,0,0\n", Expected({{0, 0, 0}}), 0},
    };
    for (const auto& c : cases) {
        std::vector<std::wstring> log;
        EXPECT_EQ(Levels(c.text, &log), c.levels) << platform::ToUtf8(c.text);
        EXPECT_EQ(log.size(), c.skipped) << platform::ToUtf8(c.text);
    }
    std::vector<std::wstring> log;
    Levels(L"1,1\n\n7\n", &log);
    EXPECT_EQ(log, (std::vector<std::wstring>{L"Warning: Data/locs.dat, line 1 skipped: 2 fields",
                                              L"Warning: Data/locs.dat, line 3 skipped: 1 fields"}));
}

TEST(DangerLevels, ThreeFieldsAreColumnRowLevel) {
    EXPECT_EQ(Levels(L"3,4,7\n", nullptr, 5), Expected({{3, 4, 7}}, 5));
    EXPECT_EQ(Levels(L"4,3,7\n", nullptr, 5), Expected({{4, 3, 7}}, 5));
    EXPECT_EQ(Levels(L"3,4,7\n", nullptr, 4), Expected({}, 4)); // no row 4
}

TEST(DangerLevels, WithoutAGameNothingIsLogged) {
    CWorld world;
    ApplyDangerLevels(world, ParseDangerLevels(L"x\n1,1,3\n", L"locs.dat"));
    EXPECT_EQ(world.grid.At(1, 1).danger, 3);
}

// --- The world's own file reading ------------------------------------------------------------------

class LocNamesFiles : public worldtest::WorldFixture {};

TEST_F(LocNamesFiles, LoadLocNamesReplacesThePlaceNames) {
    Place(1, 1, L"mill.map", L"mill");
    m_game.GetStrings().SetPlaceNames({{L"OLD", L"Old"}});
    WriteText("Data/locs.dat", "1,1,4\n");
    m_world.LoadLocNames(CWorld::GetLocNamesFileName(L"en"));
    EXPECT_EQ(CWorld::GetLocNamesFileName(L"pl"), L"Data/locations.pl.ini");
    EXPECT_EQ(m_game.GetStrings().GetLocName(L"MILL", true), L"Mill");
    EXPECT_EQ(m_game.GetStrings().GetLocName(L"default_random_dungeon", true), L"Delve %u");
    EXPECT_EQ(m_game.GetStrings().GetPlaceNames().count(L"OLD"), 0u);
    EXPECT_EQ(m_game.GetStrings().GetPlaceNames().at(L"worldpart0_b"), L"in the Vale");
    EXPECT_EQ(m_world.grid.At(1, 1).danger, 4);
}

TEST_F(LocNamesFiles, ABadFileChangesNothing) {
    m_game.GetStrings().SetPlaceNames({{L"OLD", L"Old"}});
    WriteText("Data/locs.dat", "1,1,4\n");
    WriteText("Data/locations.en.ini", "[locnames]\nmill = \"Mill\n");
    EXPECT_THROW(m_world.LoadLocNames(L"Data/locations.en.ini"), vek::CException);
    WriteText("Data/locations.en.ini", worldtest::kNamesIni);
    WriteText("Data/locs.dat", std::string("1,1,4\n\0\n2,2,2", 13));
    EXPECT_THROW(m_world.LoadLocNames(L"Data/locations.en.ini"), vek::CFileException);
    EXPECT_EQ(m_game.GetStrings().GetPlaceNames().size(), 1u);
    EXPECT_EQ(m_world.grid.At(1, 1).danger, 10);
}

} // namespace
