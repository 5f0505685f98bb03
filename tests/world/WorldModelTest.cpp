#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Format.h"
#include "platform/Utf8.h"
#include "world/World.h"

// The world grid on its own: new worlds, world parts, resizing and finding
// cells and the blocks of locations.
namespace {

TEST(WorldModel, NewWorld) {
    CWorld world;
    EXPECT_EQ(world.width, 4);
    EXPECT_EQ(world.height, 4);
    EXPECT_EQ(world.partFactor, 1);
    EXPECT_EQ(world.languages, L"en pl");
    EXPECT_EQ(world.reserved, (std::array<uint8_t, 5>{}));
    EXPECT_EQ(world.grid.GetWidth(), 4);
    EXPECT_EQ(world.grid.GetHeight(), 4);
    for (uint16_t y = 0; y < 4; ++y) {
        for (uint16_t x = 0; x < 4; ++x) {
            const TWorldLocInfo& cell = world.grid.At(x, y);
            EXPECT_EQ(cell.nameKey, vek::Format(L"%u,%u", static_cast<uint32_t>(x), static_cast<uint32_t>(y)));
            EXPECT_EQ(cell.worldX, x);
            EXPECT_EQ(cell.worldY, y);
            EXPECT_EQ(cell.width, 20);
            EXPECT_EQ(cell.height, 15);
            EXPECT_EQ(cell.danger, 10);
            EXPECT_EQ(cell.flags, 1u);
            EXPECT_EQ(cell.shown, 1);
            EXPECT_EQ(cell.terrainType, 0);
            EXPECT_EQ(cell.randomKind, kWorldFixed);
            EXPECT_EQ(cell.loc, nullptr);
            EXPECT_TRUE(cell.name.empty() && cell.fileName.empty() && cell.text4.empty());
        }
    }
    EXPECT_EQ(world.GetLocationCount(), 0u);
}

// The first world part spans width / factor columns; a factor of 0 counts as 1.
TEST(WorldModel, FirstWorldPartEndsAtWidthOverFactor) {
    const struct {
        uint16_t factor;
        uint16_t units;
        uint16_t width;
        uint16_t firstHidden; // width when none
    } cases[] = {{1, 5, 5, 5}, {2, 3, 6, 3}, {3, 2, 6, 2}, {0, 5, 5, 5}};
    for (const auto& c : cases) {
        CWorld world;
        world.partFactor = c.factor;
        world.Resize(c.units, 2);
        ASSERT_EQ(world.width, c.width) << c.factor;
        for (uint16_t y = 0; y < 2; ++y) {
            for (uint16_t x = 0; x < world.width; ++x) {
                const TWorldLocInfo& cell = world.grid.At(x, y);
                // Cells kept from the 4 x 4 world are those of a factor of 1.
                if (x < 4 && y < 2) {
                    continue;
                }
                const bool hidden = x >= c.firstHidden;
                EXPECT_EQ(cell.shown, hidden ? 0 : 1) << c.factor << " " << x;
                EXPECT_EQ(cell.flags, hidden ? 0u : 1u) << c.factor << " " << x;
                EXPECT_EQ(cell.terrainType, hidden ? 3 : 0) << c.factor << " " << x;
            }
        }
    }
    CWorld world;
    world.partFactor = 2;
    world.Init();
    EXPECT_EQ(world.partFactor, 1);
    // InitCell by itself, with the factor set: columns 2 and 3 of 4 are hidden.
    world.partFactor = 2;
    for (uint16_t x = 0; x < 4; ++x) {
        world.InitCell(x, 0);
        EXPECT_EQ(world.grid.At(x, 0).shown, x < 2 ? 1 : 0) << x;
    }
    world.partFactor = 0;
    EXPECT_EQ(world.GetFirstPartWidth(), 4);
}

TEST(WorldModel, ResizeKeepsTheOverlap) {
    CWorld world;
    world.grid.At(1, 1).name = L"kept";
    world.grid.At(3, 3).name = L"dropped";
    world.Resize(2, 6);
    EXPECT_EQ(world.width, 2);
    EXPECT_EQ(world.height, 6);
    EXPECT_EQ(world.grid.At(1, 1).name, L"kept");
    EXPECT_EQ(world.grid.At(1, 5).nameKey, L"1,5");
    EXPECT_EQ(world.grid.At(1, 5).worldY, 5);
    EXPECT_THROW(world.grid.At(3, 3), vek::CException);
}

TEST(WorldModel, ResizeLimits) {
    const struct {
        uint16_t factor;
        uint16_t units;
        uint16_t height;
        bool fits;
    } cases[] = {
        {1, 0, 1, false},     {1, 1, 0, false},    {1, 1, 1, true},     {2, 32767, 1, true},
        {2, 32768, 1, false}, {1, 65535, 1, true}, {3, 21845, 1, true}, {3, 21846, 1, false},
    };
    for (const auto& c : cases) {
        CWorld world;
        world.partFactor = c.factor;
        world.grid.At(0, 0).name = L"first";
        if (c.fits) {
            world.Resize(c.units, c.height);
            EXPECT_EQ(world.width, c.units * c.factor);
            EXPECT_EQ(world.height, c.height);
            EXPECT_EQ(world.grid.At(0, 0).name, L"first");
        } else {
            EXPECT_THROW(world.Resize(c.units, c.height), vek::CException) << c.units << "x" << c.height;
            EXPECT_EQ(world.width, 4);
            EXPECT_EQ(world.height, 4);
            EXPECT_EQ(world.grid.GetWidth(), 4);
            EXPECT_EQ(world.grid.At(0, 0).name, L"first");
        }
    }
}

// A 4 x 3 world: files and keys as the table shows, first match in row order.
class WorldFind : public testing::Test {
protected:
    void SetUp() override {
        world.Resize(4, 3);
        Set(1, 0, L"Mill.map", L"mill");
        Set(3, 0, L"", L"ford");
        Set(0, 1, L"mill.MAP", L"second");
        Set(2, 2, L"cave.map", L"MILL");
        world.grid.At(0, 2).nameKey.clear();
        world.grid.At(1, 2).nameKey.clear();
    }
    void Set(uint16_t x, uint16_t y, const wchar_t* file, const wchar_t* key) {
        world.grid.At(x, y).fileName = file;
        world.grid.At(x, y).nameKey = key;
    }
    CWorld world;
};

TEST_F(WorldFind, ByFileOrKey) {
    const struct {
        const wchar_t* name;
        uint32_t mode;
        bool found;
        uint16_t x;
        uint16_t y;
    } cases[] = {
        {L"mill.map", CWorld::kFindByFile, true, 1, 0}, // case ignored, first in row order
        {L"MILL.MAP", CWorld::kFindByFile, true, 1, 0},
        {L"cave.map", CWorld::kFindByFile, true, 2, 2},
        {L"mill", CWorld::kFindByFile, false, 0, 0},
        {L"", CWorld::kFindByFile, true, 0, 0}, // the first empty file name
        {L"mill", CWorld::kFindByKey, true, 1, 0},
        {L"Mill", 1, true, 1, 0}, // any mode but 2 compares keys
        {L"mill.map", CWorld::kFindByKey, false, 0, 0},
        {L"2,1", CWorld::kFindByKey, true, 2, 1},
        {L"", CWorld::kFindByKey, true, 0, 2},
    };
    for (const auto& c : cases) {
        uint16_t x = 99;
        uint16_t y = 99;
        EXPECT_EQ(world.FindLocation(c.name, x, y, c.mode), c.found) << platform::ToUtf8(c.name);
        if (c.found) {
            EXPECT_EQ(x, c.x) << platform::ToUtf8(c.name);
            EXPECT_EQ(y, c.y) << platform::ToUtf8(c.name);
        }
    }
}

TEST_F(WorldFind, ByNameChoosesByTheEnding) {
    const struct {
        const wchar_t* name;
        bool found;
        uint16_t x;
        uint16_t y;
    } cases[] = {{L"cave.map", true, 2, 2}, {L"CAVE.MAP", true, 2, 2}, {L"ford", true, 3, 0},
                 {L"second", true, 0, 1},   {L"cave", false, 0, 0},    {L"ford.map", false, 0, 0}};
    for (const auto& c : cases) {
        uint16_t x = 99;
        uint16_t y = 99;
        EXPECT_EQ(world.FindLocationByName(c.name, x, y), c.found) << platform::ToUtf8(c.name);
        if (c.found) {
            EXPECT_EQ(x, c.x);
            EXPECT_EQ(y, c.y);
        }
    }
}

TEST_F(WorldFind, LocInfoIsACopyOfTheRecord) {
    world.grid.At(2, 2).danger = 44;
    world.grid.At(2, 2).text6 = L"six";
    TWorldLocInfo info;
    ASSERT_TRUE(world.GetLocInfo(L"Cave.map", info));
    EXPECT_EQ(info.nameKey, L"MILL");
    EXPECT_EQ(info.worldX, 2);
    EXPECT_EQ(info.danger, 44);
    EXPECT_EQ(info.text6, L"six");
    info.name = L"changed";
    EXPECT_TRUE(world.grid.At(2, 2).name.empty());
    EXPECT_FALSE(world.GetLocInfo(L"none.map", info));
}

TEST_F(WorldFind, CollectedCellsAreShownAndNotPlainRandom) {
    world.grid.At(1, 0).randomKind = kWorldRandom;
    world.grid.At(2, 0).randomKind = kWorldDungeonSite;
    world.grid.At(3, 1).shown = 0;
    std::vector<std::wstring> keys;
    for (const TWorldLocInfo* cell : world.CollectLocations()) {
        keys.push_back(cell->nameKey);
    }
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"0,0", L"2,0", L"ford", L"second", L"1,1", L"2,1", L"", L"", L"MILL",
                                               L"3,2"}));
}

// A location of 40 x 30 cells at (2, 1) covers (2, 1), (3, 1), (2, 2), (3, 2).
class WorldBlock : public testing::Test {
protected:
    void SetUp() override {
        world.Resize(5, 4);
        for (uint16_t y = 1; y <= 2; ++y) {
            for (uint16_t x = 2; x <= 3; ++x) {
                world.grid.At(x, y).nameKey = L"Hall";
                world.grid.At(x, y).width = 40;
                world.grid.At(x, y).height = 30;
            }
        }
        world.grid.At(3, 2).nameKey = L"HALL";
    }
    CWorld world;
};

TEST_F(WorldBlock, StartOfTheBlock) {
    const struct {
        uint16_t x;
        uint16_t y;
        uint16_t startX;
        uint16_t startY;
    } cases[] = {{3, 2, 2, 1}, {2, 2, 2, 1}, {3, 1, 2, 1}, {2, 1, 2, 1}, {4, 2, 4, 2}, {1, 1, 1, 1}, {0, 0, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(world.FindLocStartX(c.x, c.y), c.startX) << c.x << "," << c.y;
        EXPECT_EQ(world.FindLocStartY(c.x, c.y), c.startY) << c.x << "," << c.y;
        EXPECT_EQ(world.FindLocStart(c.x, c.y), (vek::TPoint{c.startX, c.startY}));
        EXPECT_EQ(world.GetLocationIndex(c.x, c.y), 5u * c.startY + c.startX);
    }
    EXPECT_EQ(world.LocBlock(2, 1), (std::vector<vek::TPoint>{{2, 1}, {3, 1}, {2, 2}, {3, 2}}));
    EXPECT_EQ(world.LocBlock(0, 0), (std::vector<vek::TPoint>{{0, 0}}));
}

TEST_F(WorldBlock, EmptyKeysAreSharedWithNoCell) {
    for (uint16_t x = 0; x < 5; ++x) {
        world.grid.At(x, 3).nameKey.clear();
        world.grid.At(x, 3).width = 100;
    }
    world.grid.At(2, 0).nameKey.clear();
    EXPECT_EQ(world.FindLocStartX(4, 3), 4);
    EXPECT_EQ(world.FindLocStartY(2, 3), 3);
    EXPECT_EQ(world.LocBlock(0, 3), (std::vector<vek::TPoint>{{0, 3}}));
}

TEST_F(WorldBlock, BlockEndsAtTheGridAndAtOtherKeys) {
    // The record asks for 3 x 3 cells; the grid and the key allow fewer.
    world.grid.At(3, 2).width = 60;
    world.grid.At(3, 2).height = 45;
    world.grid.At(4, 2).nameKey = L"hall";
    world.grid.At(4, 3).nameKey = L"hall";
    world.grid.At(3, 3).nameKey = L"other";
    EXPECT_EQ(world.LocBlock(3, 2), (std::vector<vek::TPoint>{{3, 2}, {4, 2}, {4, 3}}));
    // A record smaller than a world cell still covers its own cell.
    world.grid.At(0, 0).width = 10;
    world.grid.At(0, 0).height = 5;
    EXPECT_EQ(world.LocBlock(0, 0), (std::vector<vek::TPoint>{{0, 0}}));
}

TEST_F(WorldBlock, CellOutsideIsTheGridError) {
    EXPECT_THROW(world.FindLocStartX(5, 0), vek::CException);
    EXPECT_THROW(world.LoadLocAt(0, 4), vek::CException);
    uint16_t x = 0;
    uint16_t y = 0;
    TWorldLocInfo stranger;
    EXPECT_FALSE(world.FindCell(&stranger, x, y));
    EXPECT_FALSE(world.FindCell(nullptr, x, y));
    EXPECT_TRUE(world.FindCell(&world.grid.At(3, 2), x, y));
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 2);
    try {
        static_cast<const CWorld&>(world).grid.At(9, 9);
        ADD_FAILURE();
    } catch (const vek::CException& e) {
        EXPECT_EQ(e.GetLine(), 201);
        EXPECT_EQ(e.GetFunction(), L"vek::CMap<struct TWorldLocInfo>::At");
    }
}

} // namespace
