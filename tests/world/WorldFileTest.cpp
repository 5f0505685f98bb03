#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"
#include "platform/Utf8.h"
#include "tests/support/Files.h"
#include "tests/world/WorldFixture.h"
#include "world/World.h"

// The world file and the records it holds.
namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& bytes, std::initializer_list<uint8_t> more) { bytes.insert(bytes.end(), more); }

// A wide string in the stream: u32 count, then the units.
void AppendText(Bytes& bytes, const std::string& ascii) {
    Append(bytes, {static_cast<uint8_t>(ascii.size()), 0, 0, 0});
    for (const char c : ascii) {
        Append(bytes, {static_cast<uint8_t>(c), 0});
    }
}

// Every field different from its neighbours, to catch a swapped pair.
void FillCell(TWorldLocInfo& cell) {
    cell.name = L"Mill";
    cell.fileName = L"m.map";
    cell.nameKey = L"mill";
    cell.width = 40;
    cell.height = 30;
    cell.worldX = 2;
    cell.worldY = 1;
    cell.terrainType = 7;
    cell.randomKind = kWorldDungeonSite;
    cell.shown = 1;
    cell.towerFlag = 1;
    cell.values16 = {0x0102, 0x0304};
    cell.values32 = {0x05060708, 0x090A0B0C};
    cell.flags = 0x11223344;
    cell.danger = 0x5566;
    cell.text4 = L"a";
    cell.text5 = L"b";
    cell.text6 = L"c";
}

// That cell's record, worked out field by field: three texts, the 31-byte
// block, the danger level again, texts 4, 6, 5 and the marker.
Bytes CellRecord(uint32_t marker = 0) {
    Bytes b;
    AppendText(b, "Mill");
    AppendText(b, "m.map");
    AppendText(b, "mill");
    // width 40, height 30, world x 2, world y 1, terrain 7
    Append(b, {0x28, 0, 0x1E, 0, 2, 0, 1, 0, 7, 0});
    // random kind 2, shown 1, tower 1
    Append(b, {2, 1, 1});
    // the two u16 and the two u32 values
    Append(b, {0x02, 0x01, 0x04, 0x03, 0x08, 0x07, 0x06, 0x05, 0x0C, 0x0B, 0x0A, 0x09});
    // flags, danger level, danger level again
    Append(b, {0x44, 0x33, 0x22, 0x11, 0x66, 0x55, 0x66, 0x55});
    AppendText(b, "a");
    AppendText(b, "c");
    AppendText(b, "b");
    Append(b, {static_cast<uint8_t>(marker), static_cast<uint8_t>(marker >> 8), static_cast<uint8_t>(marker >> 16),
               static_cast<uint8_t>(marker >> 24)});
    return b;
}

Bytes Written() {
    const auto bytes = vek::GetStream().bytes();
    return Bytes(bytes.begin(), bytes.end());
}

TEST(WorldRecords, CellRecordGoldenBytes) {
    vek::StreamReset();
    TWorldLocInfo cell;
    FillCell(cell);
    cell.Save();
    EXPECT_EQ(Written(), CellRecord());
    EXPECT_EQ(CellRecord().size(), 12u + 14 + 12 + 31 + 2 + 3 * 6 + 4);
    EXPECT_EQ(vek::GetStream().objectCount(), 1u);
    vek::StreamReset();
}

TEST(WorldRecords, CellRecordLoadsWithTheDefaultDangerLevel) {
    for (const uint32_t marker : {0u, 0xDEADDEADu, 0xDEADDEAEu}) {
        const Bytes record = CellRecord(marker);
        vek::StreamAssign(record);
        TWorldLocInfo cell;
        cell.Load();
        EXPECT_EQ(vek::GetStream().remaining(), 0u);
        TWorldLocInfo expected;
        FillCell(expected);
        expected.danger = 10;
        EXPECT_EQ(cell.name, expected.name);
        EXPECT_EQ(cell.fileName, expected.fileName);
        EXPECT_EQ(cell.nameKey, expected.nameKey);
        EXPECT_EQ(cell.width, expected.width);
        EXPECT_EQ(cell.height, expected.height);
        EXPECT_EQ(cell.worldX, expected.worldX);
        EXPECT_EQ(cell.worldY, expected.worldY);
        EXPECT_EQ(cell.terrainType, expected.terrainType);
        EXPECT_EQ(cell.randomKind, expected.randomKind);
        EXPECT_EQ(cell.shown, expected.shown);
        EXPECT_EQ(cell.towerFlag, expected.towerFlag);
        EXPECT_EQ(cell.values16, expected.values16);
        EXPECT_EQ(cell.values32, expected.values32);
        EXPECT_EQ(cell.flags, expected.flags);
        EXPECT_EQ(cell.danger, 10);
        EXPECT_EQ(cell.text4, L"a");
        EXPECT_EQ(cell.text5, L"b");
        EXPECT_EQ(cell.text6, L"c");
        EXPECT_EQ(cell.pendingLoad, marker == 0xDEADDEAD);
        EXPECT_EQ(cell.loc, nullptr);
    }
    vek::StreamReset();
}

TEST(WorldRecords, CellRecordCutShortChangesNothing) {
    const Bytes record = CellRecord();
    for (size_t length = 0; length < record.size(); ++length) {
        vek::StreamAssign(Bytes(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(length)));
        TWorldLocInfo cell;
        cell.name = L"before";
        EXPECT_THROW(cell.Load(), vek::CFileException) << length;
        EXPECT_EQ(cell.name, L"before");
        EXPECT_EQ(vek::GetStream().objectCount(), 0u);
    }
    vek::StreamReset();
}

// A world of one cell with every field of its own set: "WORLD", 2, 0, 0;
// the texts, languages, width, height, reserved bytes, factor; the cell.
CWorld& OneCellWorld(CWorld& world) {
    world.texts = {L"T", L"", L"", L"", L"five"};
    world.languages = L"en";
    world.width = 1;
    world.height = 1;
    world.reserved = {1, 2, 3, 4, 5};
    world.partFactor = 3;
    world.grid.Resize(1, 1);
    FillCell(world.grid.At(0, 0));
    world.grid.At(0, 0).worldX = 0;
    world.grid.At(0, 0).worldY = 0;
    return world;
}

Bytes OneCellFile() {
    Bytes b{'W', 'O', 'R', 'L', 'D', 2, 0, 0};
    AppendText(b, "T");
    AppendText(b, "");
    AppendText(b, "");
    AppendText(b, "");
    AppendText(b, "five");
    AppendText(b, "en");
    Append(b, {1, 0, 1, 0, 1, 2, 3, 4, 5, 3, 0});
    Bytes cell = CellRecord();
    // The cell lies at (0, 0): world x and y follow the three texts (38
    // bytes), width and height.
    cell[42] = 0;
    cell[44] = 0;
    b.insert(b.end(), cell.begin(), cell.end());
    return b;
}

TEST(WorldFile, GoldenBytes) {
    CWorld world;
    EXPECT_EQ(OneCellWorld(world).GetFileContent(), OneCellFile());
}

TEST(WorldFile, ReadBack) {
    CWorld world;
    world.LoadFileContent(OneCellFile(), L"Data/one.world");
    EXPECT_EQ(world.texts[0], L"T");
    EXPECT_EQ(world.texts[4], L"five");
    EXPECT_EQ(world.languages, L"en");
    EXPECT_EQ(world.reserved, (std::array<uint8_t, 5>{1, 2, 3, 4, 5}));
    EXPECT_EQ(world.partFactor, 3);
    EXPECT_EQ(world.grid.GetWidth(), 1);
    EXPECT_EQ(world.grid.At(0, 0).values32[1], 0x090A0B0Cu);
    EXPECT_EQ(world.grid.At(0, 0).danger, 10);
    // What is read writes the same file again, but for the danger level.
    Bytes again = OneCellFile();
    // Tag and version 8, texts 6 + 12 + 12, languages 8, block 11; in the
    // cell the texts 38 and the block up to the danger level 29.
    const size_t danger = 57 + 67;
    again[danger] = 10;
    again[danger + 1] = 0;
    again[danger + 2] = 10;
    again[danger + 3] = 0;
    EXPECT_EQ(world.GetFileContent(), again);
    EXPECT_EQ(vek::GetStream().size(), 0u); // released
}

// A 3 x 2 world file with texts in every cell, for cutting and changing.
Bytes SmallWorldFile() {
    CWorld world;
    world.texts[1] = L"second";
    world.Resize(3, 2);
    for (uint16_t y = 0; y < 2; ++y) {
        for (uint16_t x = 0; x < 3; ++x) {
            world.grid.At(x, y).name = L"n";
            world.grid.At(x, y).text6 = L"six";
        }
    }
    world.grid.At(1, 1).fileName = L"hall.map";
    return world.GetFileContent();
}

vek::CFileException LoadError(CWorld& world, const Bytes& content) {
    try {
        world.LoadFileContent(content, L"Data/bad.world");
    } catch (const vek::CFileException& e) {
        return e;
    }
    ADD_FAILURE() << "no error for " << content.size() << " bytes";
    return vek::CFileException(0, L"", L"", L"", 0, L"");
}

bool Mentions(const vek::CException& e, const wchar_t* text) { return e.GetText().find(text) != std::wstring::npos; }

TEST(WorldFile, VersionBytesAreComparedUnsigned) {
    const struct {
        uint8_t major;
        uint8_t minor;
        uint8_t third;
        bool loads;
    } cases[] = {
        {2, 0, 9, true},     {2, 0, 0, true},     {1, 0, 0, true},     {0, 0, 0xFF, true},
        {3, 0, 0, false},    {1, 1, 0, false},    {2, 1, 0, false},    {0x7F, 0, 0, false},
        {0x80, 0, 0, false}, {0xFF, 0, 0, false}, {2, 0x80, 0, false}, {2, 0xFF, 0, false},
    };
    for (const auto& c : cases) {
        Bytes content = SmallWorldFile();
        content[5] = c.major;
        content[6] = c.minor;
        content[7] = c.third;
        CWorld world;
        if (c.loads) {
            world.LoadFileContent(content, L"Data/v.world");
            EXPECT_EQ(world.grid.At(1, 1).fileName, L"hall.map");
            // The third byte is carried unchanged.
            EXPECT_EQ(world.GetFileContent()[7], c.third);
        } else {
            const auto e = LoadError(world, content);
            EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent);
            EXPECT_EQ(e.GetFileName(), L"Data/bad.world");
            EXPECT_EQ(e.GetFunction(), L"CWorld::Load");
            EXPECT_TRUE(Mentions(e, L"invalid version")) << int(c.major) << "." << int(c.minor);
        }
    }
}

TEST(WorldFile, TagAndHeader) {
    const Bytes good = SmallWorldFile();
    const struct {
        size_t at;
        uint8_t value;
    } changed[] = {{0, 'w'}, {4, 'd'}, {2, 0}};
    for (const auto& c : changed) {
        Bytes content = good;
        content[c.at] = c.value;
        CWorld world;
        EXPECT_TRUE(Mentions(LoadError(world, content), L"invalid format")) << c.at;
    }
    // Shorter than tag and version.
    for (size_t length = 0; length < 8; ++length) {
        CWorld world;
        const auto e = LoadError(world, Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_TRUE(Mentions(e, L"invalid format")) << length;
    }
}

TEST(WorldFile, MarkersOfAWorldFileAreIgnored) {
    CWorld source;
    source.grid.At(2, 3).name = L"marked";
    Bytes content = source.GetFileContent();
    // The marker is the last four bytes of the last cell.
    const uint8_t marker[] = {0xAD, 0xDE, 0xAD, 0xDE};
    std::copy(std::begin(marker), std::end(marker), content.end() - 4);
    CWorld world;
    world.LoadFileContent(content, L"Data/m.world");
    for (uint16_t y = 0; y < 4; ++y) {
        for (uint16_t x = 0; x < 4; ++x) {
            EXPECT_FALSE(world.grid.At(x, y).pendingLoad);
            EXPECT_EQ(world.grid.At(x, y).loc, nullptr);
        }
    }
    EXPECT_EQ(world.GetLocationCount(), 0u);
    EXPECT_EQ(world.grid.At(3, 3).name, L"");
}

// A world of no cells, sizes and text lengths beyond what the file holds:
// refused, without a large allocation.
TEST(WorldFile, SizesBeyondTheFile) {
    const Bytes good = SmallWorldFile();
    // Offsets: the texts (second is "second"), languages "en pl", block.
    const size_t widthAt = 8 + 4 + 16 + 12 + 14;
    const struct {
        size_t at;
        std::vector<uint8_t> bytes;
        const wchar_t* details;
    } cases[] = {
        {widthAt, {0, 0}, L"a world of 0x2 cells"},
        {widthAt + 2, {0, 0}, L"a world of 3x0 cells"},
        {widthAt, {0xFF, 0xFF, 0xFF, 0xFF}, L"cannot be in the"},
        {widthAt, {4, 0}, L"cannot be in the"}, // one cell more than the file holds
        {8, {0xFF, 0xFF, 0xFF, 0x7F}, L"header is cut short"},
        {8 + 4, {0xFF, 0xFF, 0xFF, 0xFF}, L"header is cut short"}, // the second text's length
        {widthAt + 11, {0xFF, 0xFF, 0xFF, 0xFF}, L"cell (0, 0) is cut short"},
    };
    for (const auto& c : cases) {
        Bytes content = good;
        std::copy(c.bytes.begin(), c.bytes.end(), content.begin() + static_cast<std::ptrdiff_t>(c.at));
        CWorld world;
        const auto e = LoadError(world, content);
        EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent);
        EXPECT_TRUE(Mentions(e, c.details)) << platform::ToUtf8(e.GetText());
        EXPECT_EQ(world.width, 4);
    }
}

// The place a cell's record names is carried as read: the cell's place in the
// grid is where it was read.
TEST(WorldFile, ACellMayNameAnotherPlace) {
    Bytes content = SmallWorldFile();
    // World x and y of cell (0, 0): behind the block, its name "n", no file,
    // key "0,0", width and height.
    const size_t worldXAt = 8 + 4 + 16 + 12 + 14 + 11 + 6 + 4 + 10 + 4;
    content[worldXAt] = 1;
    content[worldXAt + 2] = 7;
    CWorld world;
    world.LoadFileContent(content, L"Data/small.world");
    EXPECT_EQ(world.grid.At(0, 0).worldX, 1);
    EXPECT_EQ(world.grid.At(0, 0).worldY, 7);
    EXPECT_EQ(world.grid.At(0, 0).name, L"n");
    EXPECT_EQ(world.GetFileContent(), content);
}

// --- In the game's folder, with the location names -------------------------------------------

class WorldFileLoad : public worldtest::WorldFixture {
protected:
    void SetUp() override {
        WorldFixture::SetUp();
        m_content = SmallWorldFile();
        testsupport::WriteBytes("Data/small.world", std::string(m_content.begin(), m_content.end()));
        m_game.GetStrings().SetPlaceNames({{L"OLD", L"Old name"}});
    }
    Bytes m_content;
};

TEST_F(WorldFileLoad, LoadsWithNamesAndDangerLevels) {
    Place(1, 1, L"hall.map", L"hall");
    m_world.SaveFile(L"Data/small.world");
    WriteText("Data/locs.dat", "1,1,3\n0,0,5\n");
    CWorld world;
    world.texts[0] = L"replaced";
    world.Load(L"small.world");
    EXPECT_EQ(world.texts[0], L"");
    EXPECT_EQ(world.grid.At(1, 1).nameKey, L"hall");
    EXPECT_EQ(world.grid.At(1, 1).danger, 3);
    EXPECT_EQ(world.grid.At(0, 0).danger, 5);
    EXPECT_EQ(world.grid.At(2, 2).danger, 10);
    EXPECT_EQ(m_game.GetStrings().GetLocName(L"hall", true), L"Great Hall");
    EXPECT_EQ(m_game.GetStrings().GetLocName(L"old", true), L"");
    const TRegionQuery region{L"hall", L""};
    EXPECT_EQ(m_game.GetStrings().GetRegionName(&region), L"Vale");
    EXPECT_EQ(vek::GetStream().size(), 0u);
}

TEST_F(WorldFileLoad, EveryPrefixIsRefusedAndNothingChanges) {
    m_world.texts[0] = L"before";
    m_world.grid.At(2, 2).danger = 77;
    const std::wstring before = worldtest::Snapshot(m_world);
    for (size_t length = 0; length < m_content.size(); ++length) {
        const auto e =
            LoadError(m_world, Bytes(m_content.begin(), m_content.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent) << length;
        EXPECT_EQ(e.GetFileName(), L"Data/bad.world") << length;
        EXPECT_EQ(worldtest::Snapshot(m_world), before) << length;
        EXPECT_EQ(m_game.GetStrings().GetLocName(L"old", true), L"Old name") << length;
    }
    m_world.Load(L"small.world");
    EXPECT_EQ(m_world.width, 3);
    EXPECT_EQ(m_world.grid.At(1, 1).fileName, L"hall.map");
}

TEST_F(WorldFileLoad, BadOrMissingFilesChangeNothing) {
    const std::wstring before = worldtest::Snapshot(m_world);
    const auto missing = testsupport::Thrown<vek::CFileException>([&] { m_world.Load(L"none.world"); });
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->GetCode(), vek::CFileException::kNotFound);

    WriteText("Data/locations.en.ini", "[locnames]\nmill = \"Mill\"\n[worldparts]\nworldpart0 = \"Vale\"\n");
    const auto part = testsupport::Thrown<vek::CException>([&] { m_world.Load(L"small.world"); });
    ASSERT_TRUE(part);
    EXPECT_TRUE(Mentions(*part, L"World part name incomplete: missing worldpart0_b (Data/locations.en.ini)"));

    std::filesystem::remove("Data/locations.en.ini");
    EXPECT_THROW(m_world.Load(L"small.world"), vek::CFileException);

    WriteText("Data/locations.en.ini", worldtest::kNamesIni);
    std::filesystem::remove("Data/locs.dat");
    EXPECT_THROW(m_world.Load(L"small.world"), vek::CFileException);
    WriteText("Data/locs.dat", "1,1,\xFF\n");
    EXPECT_THROW(m_world.Load(L"small.world"), vek::CFileException);

    EXPECT_EQ(worldtest::Snapshot(m_world), before);
    EXPECT_EQ(m_game.GetStrings().GetLocName(L"old", true), L"Old name");
}

TEST_F(WorldFileLoad, SavedFileLoadsBack) {
    m_world.Resize(5, 2);
    m_world.texts = {L"a", L"b", L"c", L"d", L"e"};
    m_world.reserved = {9, 8, 7, 6, 5};
    Place(2, 0, L"hall.map", L"hall", 40, 30);
    m_world.grid.At(4, 1).values32 = {1, 2};
    m_world.SaveFile(L"Data/saved.world");
    const std::string first = testsupport::ReadBytes("Data/saved.world");
    CWorld world;
    world.Load(L"saved.world");
    EXPECT_EQ(world.texts[4], L"e");
    EXPECT_EQ(world.grid.At(3, 1).nameKey, L"hall");
    EXPECT_EQ(world.FindLocStart(3, 1), (vek::TPoint{2, 0}));
    world.SaveFile(L"Data/again.world");
    EXPECT_EQ(testsupport::ReadBytes("Data/again.world"), first);
}

} // namespace
