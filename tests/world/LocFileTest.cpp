#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"
#include "platform/Console.h"
#include "platform/File.h"
#include "platform/Utf8.h"
#include "tests/support/Files.h"
#include "tests/support/TextConsole.h"
#include "tests/world/LocFixture.h"
#include "world/Loc.h"

namespace {

using worldtest::Bytes;
using worldtest::Written;

void Append(Bytes& bytes, std::initializer_list<uint8_t> more) { bytes.insert(bytes.end(), more); }

class LocFile : public worldtest::GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        m_dir = testsupport::MakeScratchFolder();
    }
    void TearDown() override {
        std::filesystem::remove_all(m_dir);
        GameFixture::TearDown();
    }

    std::wstring Dir() const { return platform::FromUtf8(m_dir.string() + "/"); }

    void WriteFile(const std::string& name, const Bytes& bytes) const {
        std::ofstream out(m_dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    Bytes ReadFile(const std::string& name) const {
        std::ifstream in(m_dir / name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Reads the record from the stream as a saved game would.
    static void LoadFromStream(CLoc& loc, const Bytes& bytes, const std::wstring& fileName = L"full.map") {
        vek::StreamAssign(bytes);
        loc.LoadFromFile(L"", fileName, false, true, false);
    }

    std::filesystem::path m_dir;
};

// A 3 x 2 cave with nothing on its cells.
void MakeCave(CLoc& loc) {
    loc.Init(L"Cave", 3, 2, 5, kLocLayoutPresent);
    loc.SetFileName(L"c.map");
    const uint16_t terrain[] = {0, 1, 2, 0, 0, 0};
    for (uint16_t i = 0; i < 6; ++i) {
        loc.GetTerrain().At(i % 3, i / 3) = terrain[i];
        loc.GetExplored().At(i % 3, i / 3) = i < 3 ? 0 : 255;
    }
    loc.GetObjects().At(1, 1) = 1;
}

// The empty cave's record, worked out field by field.
Bytes CaveRecord() {
    Bytes b{'M', 'A', 'P', 3, 0};
    Append(b, {4, 0, 0, 0, 'C', 0, 'a', 0, 'v', 0, 'e', 0});
    Append(b, {5, 0, 0, 0, 'c', 0, '.', 0, 'm', 0, 'a', 0, 'p', 0});
    // flags, reserved byte, width, height, terrain type, rule count,
    // reserved word, direction answer, exit time
    Append(b, {2, 0, 0, 3, 0, 2, 0, 5, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0});
    Append(b, {3, 0, 2, 0, 0, 0, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0});                               // terrain
    Append(b, {3, 0, 2, 0, 0xFE, 0xFF, 0xFE, 0xFF, 0xFE, 0xFF, 0xFE, 0xFF, 1, 0, 0xFE, 0xFF}); // objects
    Append(b, {3, 0, 2, 0, 0, 0, 0, 255, 255, 255});                                           // explored
    Append(b, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});                   // five empty counts
    return b;
}

TEST_F(LocFile, EmptyLocationGoldenBytes) {
    CLoc loc;
    MakeCave(loc);
    loc.SaveToFile(L"unused", false);
    EXPECT_EQ(Written(), CaveRecord());
    EXPECT_TRUE(m_log.empty()); // only a file write is logged
}

TEST_F(LocFile, FileWriteLogsAndReleasesTheStream) {
    CLoc loc;
    MakeCave(loc);
    vek::StreamWrite(uint32_t{77}); // a file write starts with an empty stream
    loc.SaveToFile(Dir() + L"cave.map", true);
    EXPECT_EQ(ReadFile("cave.map"), CaveRecord());
    EXPECT_EQ(vek::GetStream().size(), 0u);
    ASSERT_EQ(m_log.size(), 1u);
    // Three layers are three serialized objects.
    EXPECT_EQ(m_log[0].rfind(L"Serialized 3 of ", 0), 0u) << platform::ToUtf8(m_log[0]);
    EXPECT_NE(m_log[0].find(L" objects, " + std::to_wstring(CaveRecord().size()) + L" bytes total."),
              std::wstring::npos);
}

TEST_F(LocFile, FileWriteLineIsDarkYellowAndCountsTheLiveObjects) {
    testsupport::CColourConsole console;
    vek::ConsoleOut().flush();
    vek::ResetConsoleState();
    platform::SetConsole(&console);
    // The game's log writes to the console here.
    m_game.SetLogSink([](const std::wstring& line) { vek::ConsoleOut() << line << L'\n'; });
    CLoc loc;
    MakeCave(loc);
    const uint32_t live = vek::GetLiveObjectCount();
    loc.SaveToFile(Dir() + L"cave.map", true);
    vek::ConsoleOut().flush();
    vek::ResetConsoleState();
    platform::SetConsole(nullptr);
    // Dark yellow is 6; 7 restores the console's own colour.
    EXPECT_EQ(console.events, "<6>Serialized 3 of " + std::to_string(live) + " objects, " +
                                  std::to_string(CaveRecord().size()) + " bytes total.\n<7>");
}

TEST_F(LocFile, UnopenableTargetWritesNothing) {
    CLoc loc;
    MakeCave(loc);
    EXPECT_THROW(loc.SaveToFile(Dir() + L"missing/cave.map", true), vek::CFileException);
    EXPECT_TRUE(m_log.empty());
    EXPECT_FALSE(std::filesystem::exists(m_dir / "missing"));
}

// Fails the one call it is told to; the others are the system's.
class FailingCalls : public platform::IFileCalls {
public:
    explicit FailingCalls(std::string call) : m_call(std::move(call)) {}
    size_t Write(std::FILE* stream, const void* data, size_t size) override {
        if (m_call == "write") {
            errno = ENOSPC;
            return size / 2;
        }
        return IFileCalls::Write(stream, data, size);
    }
    int Sync(std::FILE* stream) override { return m_call == "sync" ? EIO : IFileCalls::Sync(stream); }
    int Rename(const std::string& from, const std::string& to) override {
        return m_call == "rename" ? EACCES : IFileCalls::Rename(from, to);
    }

private:
    std::string m_call;
};

TEST_F(LocFile, FailedWriteKeepsTheOldFile) {
    CLoc loc;
    MakeCave(loc);
    for (const char* call : {"write", "sync", "rename"}) {
        WriteFile("cave.map", Bytes{'o', 'l', 'd'});
        {
            FailingCalls calls(call);
            const testsupport::CInstalledFileCalls installed(calls);
            EXPECT_THROW(loc.SaveToFile(Dir() + L"cave.map", true), vek::CFileException) << call;
        }
        EXPECT_EQ(ReadFile("cave.map"), (Bytes{'o', 'l', 'd'})) << call;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), {}), 1) << call;
        EXPECT_TRUE(m_log.empty());
    }
    loc.SaveToFile(Dir() + L"cave.map", true);
    EXPECT_EQ(ReadFile("cave.map"), CaveRecord());
}

TEST_F(LocFile, LocationWithoutCellsIsNotSaved) {
    CLoc loc;
    EXPECT_THROW(loc.SaveToFile(L"x", false), vek::CException);
    EXPECT_EQ(vek::GetStream().size(), 0u);
}

TEST_F(LocFile, ReadBackFromFile) {
    WriteFile("cave.map", CaveRecord());
    CLoc loc;
    loc.LoadFromFile(Dir(), L"cave.map", true, false, false);
    EXPECT_EQ(loc.GetOwnName(), L"Cave");
    EXPECT_EQ(loc.GetFileName(), L"cave.map"); // the name asked for, not the stored one
    EXPECT_EQ(loc.GetWidth(), 3);
    EXPECT_EQ(loc.GetHeight(), 2);
    EXPECT_EQ(loc.GetTerrainType(), 5);
    EXPECT_EQ(loc.GetFlags(), kLocLayoutPresent);
    EXPECT_EQ(loc.GetDirectionAnswer(), -1);
    EXPECT_EQ(loc.GetTerrain().At(2, 0), 2);
    EXPECT_EQ(loc.GetObjects().At(1, 1), 1);
    EXPECT_EQ(loc.GetExplored().At(0, 1), 255);
    EXPECT_EQ(loc.GetCreatureIds().At(2, 1), kNoCreature);
    EXPECT_FALSE(loc.IsPassabilityValid());
    EXPECT_EQ(vek::GetStream().size(), 0u); // released

    // Saved again it is the same record (the file name is the one it was read as).
    loc.SetFileName(L"c.map");
    loc.SaveToFile(L"", false);
    EXPECT_EQ(Written(), CaveRecord());
}

TEST_F(LocFile, FileNameFieldFollowsTheDirectory) {
    WriteFile("cave.map", CaveRecord());
    CLoc loc;
    loc.LoadFromFile(L"", Dir() + L"cave.map", true, false, false);
    EXPECT_EQ(loc.GetFileName(), L"cave.map");
    loc.LoadFromFile(Dir(), L"cave.map", true, false, false);
    EXPECT_EQ(loc.GetFileName(), L"cave.map");
    LoadFromStream(loc, CaveRecord(), L"Data/Locations/x.map");
    EXPECT_EQ(loc.GetFileName(), L"x.map");
}

TEST_F(LocFile, ExitTimeIsKeptOnlyInSavedGames) {
    Bytes record = CaveRecord();
    const size_t exitTime = 5 + 12 + 14 + 18;
    record[exitTime] = 0x10;
    record[exitTime + 7] = 0x01;
    WriteFile("cave.map", record);
    CLoc loc;
    loc.LoadFromFile(Dir(), L"cave.map", true, false, false);
    EXPECT_EQ(loc.GetExitTime(), 0u);
    LoadFromStream(loc, record);
    EXPECT_EQ(loc.GetExitTime(), 0x0100000000000010u);
}

TEST_F(LocFile, ReservedFieldsTravel) {
    CLoc loc;
    MakeCave(loc);
    loc.SetReservedByte(0xAB);
    loc.SetReservedWord(0x12345678);
    loc.SetDirectionAnswer(6);
    loc.SetFlags(0x7FF2);
    loc.SaveToFile(L"", false);
    CLoc back;
    LoadFromStream(back, Written());
    EXPECT_EQ(back.GetReservedByte(), 0xAB);
    EXPECT_EQ(back.GetReservedWord(), 0x12345678u);
    EXPECT_EQ(back.GetDirectionAnswer(), 6);
    EXPECT_EQ(back.GetFlags(), 0x7FF2);
}

TEST_F(LocFile, WorldNameOutsideTheEditor) {
    WriteFile("cave.map", CaveRecord());
    CLoc loc;
    // No world cell names the file: with the world's name asked for, the
    // name is empty outside the editor and the stored one in it.
    loc.LoadFromFile(Dir(), L"cave.map", true, false, true);
    EXPECT_EQ(loc.GetOwnName(), L"");
    m_game.SetState(kStateEditor);
    loc.LoadFromFile(Dir(), L"cave.map", true, false, true);
    EXPECT_EQ(loc.GetOwnName(), L"Cave");
    m_game.SetState(kStateGame);
    loc.LoadFromFile(Dir(), L"cave.map", true, false, false);
    EXPECT_EQ(loc.GetOwnName(), L"Cave");
}

TEST_F(LocFile, ThreeRulesEndTheRecord) {
    CLoc loc;
    MakeCave(loc);
    loc.AddRule({1, 0, 2, 1});
    loc.AddRule({0, 0, 0, 1});
    loc.AddRule({-1, 2, 3, 4});
    loc.SaveToFile(L"", false);
    const Bytes record = Written();
    Bytes expected = CaveRecord();
    expected[5 + 12 + 14 + 9] = 3; // rule count
    Append(expected, {1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0});
    Append(expected, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0});
    Append(expected, {0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0});
    EXPECT_EQ(record, expected);
    CLoc back;
    LoadFromStream(back, record);
    EXPECT_EQ(back.GetRules(), loc.GetRules());
}

TEST_F(LocFile, RuleCountZeroLeavesNoRules) {
    CLoc loc;
    loc.AddRule({1, 1, 1, 1});
    LoadFromStream(loc, CaveRecord());
    EXPECT_TRUE(loc.GetRules().empty());
}

TEST_F(LocFile, RecordInsideAStreamLeavesTheRest) {
    Bytes bytes = CaveRecord();
    Append(bytes, {0xAA, 0xBB});
    vek::StreamAssign(bytes);
    CLoc loc;
    loc.LoadFromFile(L"", L"x", false, true, false);
    EXPECT_EQ(vek::GetStream().remaining(), 2u);
}

// --- Bad records ---------------------------------------------------------------------------

vek::CFileException LoadError(CLoc& loc, const Bytes& bytes) {
    try {
        vek::StreamAssign(bytes);
        loc.LoadFromFile(L"Data/Locations/", L"bad.map", false, false, false);
    } catch (const vek::CFileException& e) {
        return e;
    }
    ADD_FAILURE() << "no exception";
    return vek::CFileException(0, L"", L"", L"", 0, L"");
}

// Every field of the location that a load could touch, as text.
std::wstring Snapshot(const CLoc& loc) {
    std::wstring s = loc.GetOwnName() + L"|" + loc.GetFileName() + L"|" + std::to_wstring(loc.GetFlags()) + L"|" +
                     std::to_wstring(loc.GetWidth()) + L"x" + std::to_wstring(loc.GetHeight()) + L"|" +
                     std::to_wstring(loc.GetExitTime()) + L"|" + std::to_wstring(loc.GetDirectionAnswer()) + L"|" +
                     std::to_wstring(loc.GetEffects().size()) + L"|" + std::to_wstring(loc.GetRules().size()) + L"|";
    for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
        for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
            s += std::to_wstring(loc.GetTerrain().At(x, y)) + L"," + std::to_wstring(loc.GetObjects().At(x, y)) + L"," +
                 std::to_wstring(loc.GetExplored().At(x, y)) + L"," +
                 std::to_wstring(loc.GetSpecialObjects().At(x, y).active) + L";";
        }
    }
    return s;
}

TEST_F(LocFile, WrongTagOrVersion) {
    const struct {
        size_t at;
        uint8_t value;
        const wchar_t* details;
    } cases[] = {{0, 'm', L"invalid format"},
                 {2, 'X', L"invalid format"},
                 {3, 2, L"incorrect version"},
                 {3, 4, L"incorrect version"},
                 {4, 1, L"incorrect version"}};
    for (const auto& c : cases) {
        Bytes bytes = CaveRecord();
        bytes[c.at] = c.value;
        CLoc loc;
        const auto e = LoadError(loc, bytes);
        EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent);
        EXPECT_EQ(e.GetFileName(), L"Data/Locations/bad.map");
        EXPECT_EQ(e.GetFunction(), L"CLoc::LoadFromFile");
        EXPECT_NE(e.GetText().find(c.details), std::wstring::npos) << platform::ToUtf8(e.GetText());
    }
    // A record cut inside the tag has no tag; one cut inside the version has
    // no version 3.
    const Bytes record = CaveRecord();
    const wchar_t* const shortDetails[] = {L"invalid format", L"invalid format", L"invalid format",
                                           L"incorrect version", L"incorrect version"};
    for (size_t length = 0; length < 5; ++length) {
        CLoc loc;
        const auto e = LoadError(loc, Bytes(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent) << length;
        EXPECT_NE(e.GetText().find(shortDetails[length]), std::wstring::npos) << length;
        EXPECT_EQ(e.GetText().find(L"ends inside"), std::wstring::npos) << length;
    }
}

TEST_F(LocFile, WrongTagInAFile) {
    Bytes bytes = CaveRecord();
    bytes[1] = 'B';
    WriteFile("bad.map", bytes);
    CLoc loc;
    try {
        loc.LoadFromFile(Dir(), L"bad.map", true, false, false);
        ADD_FAILURE() << "no exception";
    } catch (const vek::CFileException& e) {
        EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent);
        EXPECT_EQ(e.GetFileName(), Dir() + L"bad.map");
        EXPECT_NE(e.GetText().find(L"invalid format"), std::wstring::npos);
    }
    EXPECT_EQ(vek::GetStream().size(), 0u);
}

TEST_F(LocFile, MissingFilePassesTheFileError) {
    CLoc loc;
    try {
        loc.LoadFromFile(Dir(), L"none.map", true, false, false);
        ADD_FAILURE() << "no exception";
    } catch (const vek::CFileException& e) {
        EXPECT_EQ(e.GetCode(), vek::CFileException::kNotFound);
    }
}

TEST_F(LocFile, EveryTruncationIsRefusedAndChangesNothing) {
    const Bytes record = CaveRecord();
    CLoc loc;
    loc.Init(L"Before", 2, 2, 1, 0x40);
    loc.GetEffects().emplace_back(3, 4);
    loc.AddRule({1, 1, 1, 1});
    const std::wstring before = Snapshot(loc);
    for (size_t length = 0; length < record.size(); ++length) {
        const auto e = LoadError(loc, Bytes(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent) << length;
        EXPECT_EQ(Snapshot(loc), before) << length;
    }
}

TEST_F(LocFile, CountsBeyondTheRecord) {
    const size_t layersEnd = CaveRecord().size() - 20;
    for (size_t field = 0; field < 5; ++field) {
        Bytes bytes = CaveRecord();
        const size_t at = layersEnd + 4 * field;
        bytes[at] = 0xFF;
        bytes[at + 1] = 0xFF;
        bytes[at + 2] = 0xFF;
        bytes[at + 3] = 0x7F;
        CLoc loc;
        const auto e = LoadError(loc, bytes);
        EXPECT_NE(e.GetText().find(L"cannot be in the"), std::wstring::npos) << field;
    }
    // A string count beyond the record.
    Bytes bytes = CaveRecord();
    bytes[5] = 0xFF;
    bytes[8] = 0x40;
    CLoc loc;
    EXPECT_NE(LoadError(loc, bytes).GetText().find(L"the name"), std::wstring::npos);
}

TEST_F(LocFile, HeaderSizeMustMatchTheLayers) {
    const size_t width = 5 + 12 + 14 + 3;
    const size_t layers = 5 + 12 + 14 + 26;
    const struct {
        size_t at;
        uint8_t value;
        const wchar_t* details;
    } cases[] = {
        {width, 0, L"a location of 0x2 cells"},
        {width + 2, 0, L"a location of 3x0 cells"},
        {width, 2, L"the terrain layer is 3x2 cells, the location 2x2"},
        {layers, 4, L"the terrain layer is 4x2 cells, the location 3x2"},
        {layers + 16 + 2, 1, L"the object layer is 3x1 cells"},
        {layers + 32, 1, L"the explored layer is 1x2 cells"},
        {width, 0xFF, L"the file ends inside the layers"},
    };
    for (const auto& c : cases) {
        Bytes bytes = CaveRecord();
        bytes[c.at] = c.value;
        CLoc loc;
        const auto e = LoadError(loc, bytes);
        EXPECT_NE(e.GetText().find(c.details), std::wstring::npos) << platform::ToUtf8(e.GetText());
    }
}

TEST_F(LocFile, ObjectOutsideTheMap) {
    for (const auto& cell : {std::pair<uint8_t, uint8_t>{3, 0}, {0, 2}, {0xFF, 0xFF}}) {
        Bytes bytes = CaveRecord();
        bytes.resize(bytes.size() - 16); // the counts after the piles' go
        Append(bytes, {1, 0, 0, 0, cell.first, 0, cell.second, 0});
        Append(bytes, {1, 0, 3, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        Append(bytes, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        CLoc loc;
        const auto e = LoadError(loc, bytes);
        EXPECT_NE(e.GetText().find(L"a special object at"), std::wstring::npos) << platform::ToUtf8(e.GetText());
    }
}

} // namespace

// --- A location with something of everything ------------------------------------------------------

namespace {

using worldtest::MakeFullLocation;

class FullFile : public LocFile {
protected:
    Bytes FullRecord() {
        CLoc loc;
        MakeFullLocation(loc);
        vek::StreamReset();
        loc.SaveToFile(L"", false);
        return Written();
    }
};

TEST_F(FullFile, SaveLoadSaveIsByteIdentical) {
    const Bytes record = FullRecord();
    m_game.GetNpcList().clear(); // as when the game that saved it is loaded
    CLoc loc;
    LoadFromStream(loc, record);
    vek::StreamReset();
    loc.SaveToFile(L"", false);
    EXPECT_EQ(Written(), record);
    EXPECT_EQ(loc.GetExitTime(), 123456789012ull);
    EXPECT_EQ(loc.GetReservedWord(), 0xCAFEu);
    EXPECT_EQ(loc.GetItemPiles().At(1, 0).size(), 2u);
    EXPECT_EQ(loc.GetItemPiles().At(1, 0)[0].durability, 7);
    EXPECT_EQ(loc.GetItemPiles().At(4, 3)[0].property2, 34);
    ASSERT_EQ(loc.GetItemPiles().At(5, 4).size(), 1u);
    EXPECT_EQ(loc.GetItemPiles().At(5, 4)[0].count, 5u);
    EXPECT_EQ(loc.GetSpecialObjects().At(5, 4).kind, kSpecialDoor);
    for (uint16_t kind = kSpecialPassage; kind <= kSpecialGrowingSpot; ++kind) {
        bool found = false;
        for (uint16_t y = 0; y < 5; ++y) {
            for (uint16_t x = 0; x < 6; ++x) {
                found =
                    found || (loc.GetSpecialObjects().At(x, y).active && loc.GetSpecialObjects().At(x, y).kind == kind);
            }
        }
        EXPECT_TRUE(found) << kind;
    }
    ASSERT_EQ(loc.GetCreatures().size(), 3u);
    EXPECT_EQ(loc.GetCreatures()[0]->GetKind(), CGroupMember::kKindMonster);
    EXPECT_EQ(loc.GetCreatures()[2]->GetKind(), CGroupMember::kKindNpc);
    EXPECT_EQ(loc.GetCreatures()[0]->hostile, (std::vector<uint32_t>{1, CGroupMember::kHeroId}));
    // The troll's block, the rat and the miller stand in the creature layer.
    EXPECT_EQ(loc.GetCreatureIds().At(5, 4), 1);
    EXPECT_EQ(loc.GetCreatureIds().At(0, 4), 0);
    EXPECT_EQ(loc.GetCreatureIds().At(5, 0), 2);
    EXPECT_EQ(loc.GetCreatureIds().At(1, 4), kNoCreature);
    EXPECT_EQ(static_cast<CNpc*>(loc.GetCreatures()[2])->name, L"Miller");
    ASSERT_EQ(m_game.GetNpcList().size(), 1u);
    EXPECT_EQ(m_game.GetNpcList()[0], loc.GetCreatures()[2]);
}

TEST_F(FullFile, LoadedNpcsJoinTheEndOfTheNpcList) {
    const Bytes record = FullRecord();
    m_game.GetNpcList().assign(2, nullptr); // two NPCs known before
    CLoc loc;
    LoadFromStream(loc, record);
    ASSERT_EQ(m_game.GetNpcList().size(), 3u);
    EXPECT_EQ(m_game.GetNpcList()[2], loc.GetCreatures()[2]);
    EXPECT_EQ(static_cast<CNpc*>(loc.GetCreatures()[2])->npcIndex, 2u);
    // Loading over it: the old NPC leaves the list, the new one joins.
    LoadFromStream(loc, record);
    ASSERT_EQ(m_game.GetNpcList().size(), 4u);
    EXPECT_EQ(m_game.GetNpcList()[2], nullptr);
    EXPECT_EQ(m_game.GetNpcList()[3], loc.GetCreatures()[2]);
    EXPECT_EQ(loc.GetEffects().size(), 2u);
    EXPECT_EQ(loc.GetRules().size(), 3u);
}

TEST_F(FullFile, FileRoundTripDropsOnlyTheExitTime) {
    uint64_t exitTime = 0;
    {
        CLoc loc;
        MakeFullLocation(loc);
        exitTime = loc.GetExitTime();
        loc.SaveToFile(Dir() + L"full.map", true);
    }
    m_game.GetNpcList().clear();
    CLoc back;
    back.LoadFromFile(Dir(), L"full.map", true, false, false);
    EXPECT_EQ(back.GetExitTime(), 0u);
    back.SetExitTime(exitTime);
    back.SaveToFile(Dir() + L"again.map", true);
    EXPECT_EQ(ReadFile("again.map"), ReadFile("full.map"));
}

TEST_F(FullFile, SavingCompactsTheCreatures) {
    CLoc loc;
    MakeFullLocation(loc);
    loc.RemoveMonster(0, 4); // the rat
    loc.SaveToFile(L"", false);
    ASSERT_EQ(loc.GetCreatures().size(), 2u);
    CLoc back;
    LoadFromStream(back, Written());
    ASSERT_EQ(back.GetCreatures().size(), 2u);
    EXPECT_EQ(back.GetCreatures()[0]->monsterType, worldtest::kTroll);
    EXPECT_EQ(back.GetCreatures()[0]->friendly, (std::vector<uint32_t>{1}));
}

TEST_F(FullFile, ALocalIdIsTheCreaturesPlaceInTheList) {
    Bytes record = FullRecord();
    // The troll's block: global id 1, local id 1, x 2, y 3.
    const Bytes troll = {1, 0, 0, 0, 1, 0, 2, 0, 0, 0, 3, 0, 0, 0};
    const auto at = std::search(record.begin(), record.end(), troll.begin(), troll.end());
    ASSERT_NE(at, record.end());
    at[4] = 7; // stored as local id 7
    m_game.GetNpcList().clear();
    CLoc loc;
    LoadFromStream(loc, record);
    ASSERT_EQ(loc.GetCreatures().size(), 3u);
    EXPECT_EQ(loc.GetCreatures()[1]->localId, 1);
    EXPECT_EQ(loc.GetCreatureIds().At(2, 3), 1);
    EXPECT_EQ(loc.GetCreatureAt(2, 3), loc.GetCreatures()[1]);
}

// Every field a failed load could have touched, creatures and piles included.
std::wstring FullSnapshot(const CLoc& loc) {
    std::wstring s = Snapshot(loc);
    for (uint16_t y = 0; y < loc.GetHeight(); ++y) {
        for (uint16_t x = 0; x < loc.GetWidth(); ++x) {
            s += std::to_wstring(loc.GetItemPiles().At(x, y).size()) + std::to_wstring(loc.GetCreatureIds().At(x, y));
        }
    }
    for (const CMonster* creature : loc.GetCreatures()) {
        s += L"|" + std::to_wstring(creature->globalId) + L"," + std::to_wstring(creature->hitPoints);
    }
    return s;
}

TEST_F(FullFile, EveryTruncationChangesNeitherLocationNorNpcList) {
    const Bytes record = FullRecord();
    CLoc loc;
    MakeFullLocation(loc);
    const std::wstring before = FullSnapshot(loc);
    const std::vector<CNpc*> npcs = m_game.GetNpcList();
    const uint32_t live = vek::GetLiveObjectCount();
    for (size_t length = 0; length < record.size(); ++length) {
        const auto e = LoadError(loc, Bytes(record.begin(), record.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_EQ(e.GetCode(), vek::CFileException::kInvalidContent) << length;
        EXPECT_EQ(e.GetFileName(), L"Data/Locations/bad.map") << length;
        EXPECT_EQ(FullSnapshot(loc), before) << length;
        EXPECT_EQ(m_game.GetNpcList(), npcs) << length;
        EXPECT_EQ(vek::GetLiveObjectCount(), live) << length;
    }
}

// Where the creature part of the full record starts: after the objects.
size_t CreatureTypesAt(const Bytes& record) {
    // The type vector is 03 00 00 00 01 00 01 00 02 00: find it.
    const Bytes types{3, 0, 0, 0, 1, 0, 1, 0, 2, 0};
    const auto at = std::search(record.begin(), record.end(), types.begin(), types.end());
    EXPECT_NE(at, record.end());
    return static_cast<size_t>(at - record.begin());
}

TEST_F(FullFile, TypeListShorterThanTheCreatures) {
    Bytes record = FullRecord();
    const size_t at = CreatureTypesAt(record);
    record[at] = 2; // two types
    record.erase(record.begin() + static_cast<std::ptrdiff_t>(at + 8),
                 record.begin() + static_cast<std::ptrdiff_t>(at + 10));
    const std::vector<CNpc*> npcs = m_game.GetNpcList();
    CLoc loc;
    const auto e = LoadError(loc, record);
    EXPECT_NE(e.GetText().find(L"3 creatures but only 2 creature types"), std::wstring::npos)
        << platform::ToUtf8(e.GetText());
    EXPECT_EQ(m_game.GetNpcList(), npcs);
}

TEST_F(FullFile, CreatureOutsideTheMap) {
    Bytes record = FullRecord();
    // The first creature's x (after the count and its global and local id).
    const size_t x = CreatureTypesAt(record) + 10 + 4 + 4 + 2;
    ASSERT_EQ(record[x], 0);
    record[x] = 6;
    CLoc loc;
    const auto e = LoadError(loc, record);
    EXPECT_NE(e.GetText().find(L"creature 0 at (6, 4) lies outside"), std::wstring::npos)
        << platform::ToUtf8(e.GetText());
}

TEST_F(FullFile, PileOutsideOrTooLarge) {
    const Bytes record = FullRecord();
    const size_t piles = 5 + 12 + 20 + 26 + 3 * 4 + 6 * 5 * 2 * 2 + 6 * 5;
    ASSERT_EQ(record[piles], 3); // three piles
    Bytes outside = record;
    outside[piles + 4] = 6; // the first pile's x
    CLoc loc;
    EXPECT_NE(LoadError(loc, outside).GetText().find(L"a pile at (6, 0) lies outside"), std::wstring::npos);
    Bytes huge = record;
    huge[piles + 8 + 3] = 0x10; // the first pile's item count
    EXPECT_NE(LoadError(loc, huge).GetText().find(L"the file ends inside a pile"), std::wstring::npos);
}

} // namespace
