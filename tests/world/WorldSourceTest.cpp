#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/IniFile.h"
#include "data/TableFrame.h"
#include "platform/Utf8.h"
#include "world/World.h"
#include "world/WorldSource.h"

// The readable source from which world files are made.
namespace {

void Read(CWorld& world, const std::wstring& text) {
    vek::CIniFile ini;
    ini.SetSourceName(L"Maps/test.world.ini");
    ParseTableText(text, ini);
    ReadWorldSource(world, ini);
}

const wchar_t kWorld[] =
    L"[world]\ntext1 = \"Vale\"\ntext5 = \"five\"\nlanguages = \"pl\"\ncolumns = 3\nrows = 2\nfactor = 2\n";

TEST(WorldSource, WorldAndLocations) {
    CWorld world;
    Read(world, std::wstring(kWorld) +
                    L"[hall]\nx = 1\ny = 0\nwidth = 40\nheight = 30\nfile = \"hall.map\"\nname = \"Hall\"\n"
                    L"terrain = 7\nflags = 5\nvalue1 = 1\nvalue2 = 2\nvalue3 = 3\nvalue4 = 4\n"
                    L"text4 = \"four\"\ntext5 = \"fifth\"\ntext6 = \"six\"\ntower = 1\n"
                    L"[wood]\nkey = \"\"\nx = 0\ny = 1\nrandom = 1\nname = \"Wood\"\n"
                    L"[cellar]\nkey = \"Cellar\"\nx = 5\ny = 1\nfile = \"cellar.map\"\nshown = 1\n");
    EXPECT_EQ(world.texts[0], L"Vale");
    EXPECT_EQ(world.texts[4], L"five");
    EXPECT_EQ(world.languages, L"pl");
    EXPECT_EQ(world.width, 6);
    EXPECT_EQ(world.height, 2);
    EXPECT_EQ(world.partFactor, 2);
    for (const auto& [x, y] : {std::pair{1, 0}, {2, 0}, {1, 1}, {2, 1}}) {
        const TWorldLocInfo& cell = world.grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
        EXPECT_EQ(cell.nameKey, L"hall");
        EXPECT_EQ(cell.fileName, L"hall.map");
        EXPECT_EQ(cell.name, L"Hall");
        EXPECT_EQ(cell.width, 40);
        EXPECT_EQ(cell.height, 30);
        EXPECT_EQ(cell.terrainType, 7);
        EXPECT_EQ(cell.flags, 5u);
        EXPECT_EQ(cell.towerFlag, 1);
        EXPECT_EQ(cell.values16, (std::array<uint16_t, 2>{1, 2}));
        EXPECT_EQ(cell.values32, (std::array<uint32_t, 2>{3, 4}));
        EXPECT_EQ(cell.text4 + cell.text5 + cell.text6, L"fourfifthsix");
        EXPECT_EQ(cell.worldX, x);
        EXPECT_EQ(cell.worldY, y);
        EXPECT_EQ(cell.shown, 1); // columns 0 to 2 are the first world part
    }
    EXPECT_EQ(world.FindLocStart(2, 1), (vek::TPoint{1, 0}));
    const TWorldLocInfo& wood = world.grid.At(0, 1);
    EXPECT_EQ(wood.nameKey, L"");
    EXPECT_EQ(wood.randomKind, kWorldRandom);
    EXPECT_EQ(wood.name, L"Wood");
    const TWorldLocInfo& cellar = world.grid.At(5, 1);
    EXPECT_EQ(cellar.nameKey, L"Cellar");
    EXPECT_EQ(cellar.shown, 1);
    EXPECT_EQ(cellar.flags, 0u);      // a hidden cell's, as the source did not say
    EXPECT_EQ(cellar.terrainType, 3); // likewise
    // Cells of no section are as a new world has them.
    EXPECT_EQ(world.grid.At(0, 0).nameKey, L"0,0");
    EXPECT_EQ(world.grid.At(3, 0).shown, 0);
    EXPECT_EQ(world.grid.At(4, 1).nameKey, L"4,1");
}

TEST(WorldSource, Mistakes) {
    const struct {
        const wchar_t* text;
        const wchar_t* message;
    } cases[] = {
        {L"[mill]\nx = 0\ny = 0\nfile = \"m.map\"\n", L"the section 'world' is missing (Maps/test.world.ini)"},
        {L"[world]\ncolumns = 0\n", L"a world of 0x4 cells with part factor 1 cannot be made"},
        {L"[world]\nfactor = 0\n", L"part factor 0 cannot be made"},
        {L"[world]\ncolumns = 40000\nfactor = 2\n", L"cannot be made"},
        {L"[world]\nsize = 4\n", L"'world' has no key 'size' (Maps/test.world.ini, line 2)"},
        {L"[world]\n[a]\nx = 0\n", L"the location 'a' needs x and y (Maps/test.world.ini, line 3)"},
        {L"[world]\n[a]\nx = 0\ny = 0\ncolour = 1\n", L"'a' has no key 'colour' (Maps/test.world.ini, line 5)"},
        {L"[world]\n[a]\nx = 0\ny = 0\nwidth = 30\nfile = \"a.map\"\n", L"is 30x15 cells, not whole world cells"},
        {L"[world]\n[a]\nx = 0\ny = 0\nheight = 0\nfile = \"a.map\"\n", L"is 20x0 cells"},
        {L"[world]\n[a]\nx = 3\ny = 3\nwidth = 40\nfile = \"a.map\"\n",
         L"the location 'a' at (3, 3) does not fit into the world of 4x4 cells"},
        {L"[world]\n[a]\nx = 4\ny = 0\nfile = \"a.map\"\n", L"does not fit"},
        {L"[world]\n[a]\nx = 0\ny = 0\n", L"the location 'a' is not random but names no file"},
        {L"[world]\n[a]\nx = 0\ny = 0\nrandom = 3\n", L"random kind above 2"},
        {L"[world]\n[a]\nx = 0\ny = 0\nrandom = 1\nshown = 2\n", L"shown flag above 1"},
        {L"[world]\n[a]\nkey = \"\"\nx = 0\ny = 0\nwidth = 40\nrandom = 1\n", L"they must share a name key"},
        {L"[world]\n[a]\nx = 0\ny = 0\nfile = \"a.map\"\n[b]\nkey = \"A\"\nx = 1\ny = 0\nfile = \"b.map\"\n",
         L"the name key 'A' names another location already (Maps/test.world.ini, line 7)"},
        {L"[world]\n[a]\nx = 0\ny = 0\nwidth = 40\nfile = \"a.map\"\n[b]\nx = 1\ny = 0\nfile = \"b.map\"\n",
         L"the location 'b' covers cell (1, 0), which another location covers"},
        {L"[world]\n[a]\nx = 0\ny = 0\nfile = \"a.map\"\n[A]\nx = 1\ny = 0\nfile = \"b.map\"\n",
         L"the section 'A' is given twice"},
        {L"[world]\n[a]\nx = 70000\ny = 0\n", L"Invalid type: x"},
    };
    for (const auto& c : cases) {
        CWorld world;
        try {
            Read(world, c.text);
            ADD_FAILURE() << platform::ToUtf8(c.text);
        } catch (const vek::CException& e) {
            EXPECT_NE(e.GetDetails().find(c.message), std::wstring::npos)
                << platform::ToUtf8(e.GetDetails()) << " / " << platform::ToUtf8(c.message);
        }
    }
}

} // namespace
