#include <gtest/gtest.h>
#include <irrlicht.h>

#include <filesystem>
#include <string>

#include "data/DataArchive.h"
#include "data/Globals.h"
#include "tests/support/Files.h"
#include "tests/world/GameFolder.h"
#include "world/Loc.h"

// The sample locations as the game finds them in its folder: loose files in
// Data/Locations/ and the same files in the data archive.
namespace {

namespace fs = std::filesystem;

class SampleMaps : public worldtest::GameFolder {
protected:
    // The record as read from the file, written out again.
    worldtest::Bytes Resaved(const std::wstring& name) {
        CLoc loc;
        loc.LoadFromFile(kLocationDir, name, true, false, false);
        vek::StreamReset();
        loc.SaveToFile(L"", false);
        return worldtest::Written();
    }
};

TEST_F(SampleMaps, LooseFilesLoadAsMade) {
    SetArchiveInUse(false);
    CLoc mill;
    mill.LoadFromFile(kLocationDir, L"mill.map", true, false, false);
    EXPECT_EQ(mill.GetOwnName(), L"Mill by the river");
    EXPECT_EQ(mill.GetFileName(), L"mill.map");
    EXPECT_EQ(mill.GetWidth(), 20);
    EXPECT_EQ(mill.GetHeight(), 15);
    EXPECT_EQ(mill.GetItemPiles().At(16, 6).size(), 2u);
    EXPECT_EQ(mill.GetSpecialObjects().At(17, 7).kind, kSpecialPassage);

    CLoc cellar;
    cellar.LoadFromFile(kLocationDir, L"cellar.map", true, false, false);
    EXPECT_EQ(cellar.GetOwnName(), L"Mill cellar");
    EXPECT_EQ(cellar.GetCreatures().size(), 3u);
    EXPECT_EQ(cellar.GetRules().size(), 2u);
    EXPECT_EQ(cellar.GetSpecialObjects().At(16, 6).value, 0x0005FFFEu);

    for (const char* name : {"mill.map", "cellar.map"}) {
        const std::string file = testsupport::ReadBytes(fs::path("Data/Locations") / name);
        EXPECT_EQ(Resaved(platform::FromUtf8(name)), worldtest::Bytes(file.begin(), file.end())) << name;
    }
}

TEST_F(SampleMaps, ArchiveHoldsTheSameFiles) {
    SetArchiveInUse(false);
    const worldtest::Bytes mill = Resaved(L"mill.map");
    const worldtest::Bytes cellar = Resaved(L"cellar.map");

    UseArchive();
    EXPECT_EQ(Resaved(L"mill.map"), mill);
    EXPECT_EQ(Resaved(L"cellar.map"), cellar);
}

} // namespace
