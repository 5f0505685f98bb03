#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"
#include "platform/Utf8.h"
#include "tests/support/Files.h"
#include "tests/world/WorldFixture.h"
#include "world/Loc.h"
#include "world/World.h"

// The world in a saved game: its record, then the records of the locations
// that were entered or are kept, each once, in row order of first cells.
namespace {

using worldtest::Bytes;
using worldtest::Written;

// A 4 x 3 world: the hall (2 x 2 cells at (2, 0)) entered, the mill at
// (1, 1) kept (flag 4) with an NPC, the cave at (0, 2) prepared but never
// entered.
class WorldSave : public worldtest::WorldFixture {
protected:
    void SetUp() override {
        WorldFixture::SetUp();
        m_world.Resize(4, 3);
        WriteMap(L"hall.map", L"Hall", 40, 30);
        WriteMap(L"mill.map", L"Mill");
        WriteMap(L"cave.map", L"Cave");
        Place(2, 0, L"hall.map", L"hall", 40, 30);
        Place(1, 1, L"mill.map", L"mill");
        Place(0, 2, L"cave.map", L"cave");
        m_world.grid.At(3, 2).text5 = L"carried";
        m_world.LoadLocNames(CWorld::GetLocNamesFileName(L"en"));
        CLoc& hall = m_world.LoadLocAt(3, 1);
        hall.SetFlags(hall.GetFlags() | kLocEntered);
        hall.SetExitTime(777);
        CLoc& mill = m_world.LoadLocAt(1, 1);
        mill.SetFlags(mill.GetFlags() | kLocSaved);
        worldtest::AddNpc(mill, L"Miller", 7, 7);
        m_world.LoadLocAt(0, 2);
        m_npcsBefore = m_game.GetNpcList().size();
    }

    Bytes Save() {
        vek::StreamReset();
        m_world.SaveGame();
        return Written();
    }

    size_t m_npcsBefore = 0;
};

// Where each cell's marker stands in a saved world: read the record back
// cell by cell.
std::vector<bool> Markers(const Bytes& saved) {
    vek::StreamAssign(saved);
    CWorld header;
    // The world's fields, then each cell.
    std::vector<bool> markers;
    TWorldInfo& info = header;
    info.TWorldInfo::Load();
    for (uint16_t y = 0; y < info.height; ++y) {
        for (uint16_t x = 0; x < info.width; ++x) {
            markers.push_back(info.grid.At(x, y).pendingLoad);
        }
    }
    return markers;
}

TEST_F(WorldSave, OneMarkerAndOneRecordPerSavedLocation) {
    const Bytes saved = Save();
    // Only the first cells of the hall (2, 0) and the mill (1, 1).
    EXPECT_EQ(Markers(saved), (std::vector<bool>{false, false, true, false, // row 0
                                                 false, true, false, false, // row 1
                                                 false, false, false, false}));
    // Behind the world: the hall's record, then the mill's, then nothing.
    vek::StreamAssign(saved);
    CWorld skipped;
    static_cast<TWorldInfo&>(skipped).TWorldInfo::Load();
    CLoc hall;
    hall.LoadFromFile(L"", L"hall.map", false, true, false);
    EXPECT_EQ(hall.GetWidth(), 40);
    EXPECT_EQ(hall.GetExitTime(), 777u);
    CLoc mill;
    mill.LoadFromFile(L"", L"mill.map", false, true, false);
    EXPECT_EQ(mill.GetOwnName(), L"Mill");
    EXPECT_EQ(vek::GetStream().remaining(), 0u);
    // The world file written for the data carries none.
    const Bytes file = m_world.GetFileContent();
    EXPECT_EQ(Markers(Bytes(file.begin() + CWorld::kFileHeaderSize, file.end())), std::vector<bool>(12, false));
}

TEST_F(WorldSave, RoundTripWithTwoLocations) {
    const Bytes saved = Save();
    // As a game is loaded: the old locations and their NPCs are gone first,
    // so that the miller comes back under his own NPC index.
    m_world.Init();
    m_game.GetNpcList().resize(m_npcsBefore - 1);
    vek::StreamAssign(saved);
    CWorld loaded;
    m_game.SetWorld(&loaded);
    loaded.LoadGame(L"Save/test.sav");
    EXPECT_EQ(vek::GetStream().remaining(), 0u);
    EXPECT_EQ(loaded.GetLocationCount(), 2u);
    CLoc* hall = loaded.grid.At(2, 0).loc;
    ASSERT_NE(hall, nullptr);
    for (const auto& [x, y] : {std::pair{2, 0}, {3, 0}, {2, 1}, {3, 1}}) {
        EXPECT_EQ(loaded.grid.At(static_cast<uint16_t>(x), static_cast<uint16_t>(y)).loc, hall);
    }
    EXPECT_EQ(hall->GetWorldCell(), &loaded.grid.At(2, 0));
    EXPECT_EQ(hall->GetExitTime(), 777u);
    EXPECT_EQ(hall->GetName(), L"Great Hall");
    CLoc* mill = loaded.grid.At(1, 1).loc;
    ASSERT_NE(mill, nullptr);
    EXPECT_EQ(mill->GetFlags() & kLocSaved, kLocSaved);
    ASSERT_EQ(mill->GetCreatures().size(), 1u);
    EXPECT_EQ(m_game.GetNpcList().size(), m_npcsBefore);
    EXPECT_EQ(m_game.GetNpcList().back(), mill->GetCreatures()[0]);
    EXPECT_EQ(loaded.grid.At(0, 2).loc, nullptr); // never entered: read again from its file when needed
    EXPECT_EQ(loaded.grid.At(3, 2).text5, L"carried");
    for (uint16_t y = 0; y < 3; ++y) {
        for (uint16_t x = 0; x < 4; ++x) {
            EXPECT_FALSE(loaded.grid.At(x, y).pendingLoad);
        }
    }
    // Saved again: the same bytes.
    vek::StreamReset();
    loaded.SaveGame();
    EXPECT_EQ(Written(), saved);
    m_game.SetWorld(&m_world);
}

TEST_F(WorldSave, LoadingReplacesTheWholeWorld) {
    const Bytes saved = Save();
    CWorld other;
    other.Resize(2, 2);
    other.grid.At(0, 0).fileName = L"cave.map";
    other.grid.At(0, 0).nameKey = L"cave";
    CLoc& cave = other.LoadLocAt(0, 0);
    m_game.SetCurrentLoc(&cave);
    vek::StreamAssign(saved);
    other.Load();
    EXPECT_EQ(other.width, 4);
    EXPECT_EQ(other.GetLocationCount(), 2u);
    EXPECT_EQ(m_game.GetCurrentLoc(), nullptr); // the cave is gone with the old world
}

TEST_F(WorldSave, EveryPrefixIsRefusedAndNothingChanges) {
    const Bytes saved = Save();
    CWorld target;
    target.texts[0] = L"kept";
    const std::wstring before = worldtest::Snapshot(target);
    for (size_t length = 0; length < saved.size(); ++length) {
        vek::StreamAssign(Bytes(saved.begin(), saved.begin() + static_cast<std::ptrdiff_t>(length)));
        const auto e = testsupport::Thrown<vek::CFileException>([&] { target.LoadGame(L"Save/cut.sav"); });
        ASSERT_TRUE(e) << length;
        EXPECT_EQ(e->GetCode(), vek::CFileException::kInvalidContent) << length;
        EXPECT_EQ(e->GetFileName(), L"Save/cut.sav") << length;
        EXPECT_EQ(worldtest::Snapshot(target), before) << length;
        EXPECT_EQ(m_game.GetNpcList().size(), m_npcsBefore) << length;
    }
}

TEST_F(WorldSave, NothingEnteredNothingFollows) {
    for (uint16_t y = 0; y < 3; ++y) {
        for (uint16_t x = 0; x < 4; ++x) {
            if (CLoc* loc = m_world.grid.At(x, y).loc) {
                loc->SetFlags(static_cast<uint16_t>(loc->GetFlags() & ~(kLocEntered | kLocSaved)));
            }
        }
    }
    const Bytes saved = Save();
    vek::StreamReset();
    static_cast<TWorldInfo&>(m_world).Save();
    EXPECT_EQ(Written(), saved);
    EXPECT_EQ(Markers(saved), std::vector<bool>(12, false));
}

} // namespace
