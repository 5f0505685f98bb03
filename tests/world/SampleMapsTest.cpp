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
    // The record as read from the file, written out again, by a game that
    // has read no other NPC: an NPC's index is its place in the game's list.
    worldtest::Bytes Resaved(const std::wstring& name) {
        m_game.GetNpcList().clear();
        CLoc loc;
        loc.LoadFromFile(kLocationDir, name, true, false, false);
        vek::StreamReset();
        loc.SaveToFile(L"", false);
        return worldtest::Written();
    }
};

TEST_F(SampleMaps, LooseFilesLoadAsMade) {
    SetArchiveInUse(false);
    // What the NPCs' scripts need: the languages their texts are written in,
    // the tables by their names.
    m_game.GetConfig().SetFileName(L"Data/game.ini");
    m_game.GetConfig().Load();
    m_game.GetTableSet(kScriptTables).Load(L"pl", false);
    m_game.GetTableSet(kDisplayTables).Load(L"en", false);
    CLoc mill;
    mill.LoadFromFile(kLocationDir, L"mill.map", true, false, false);
    EXPECT_EQ(mill.GetOwnName(), L"Mill by the river");
    EXPECT_EQ(mill.GetFileName(), L"mill.map");
    EXPECT_EQ(mill.GetWidth(), 20);
    EXPECT_EQ(mill.GetHeight(), 15);
    EXPECT_EQ(mill.GetItemPiles().At(16, 6).size(), 2u);
    EXPECT_EQ(mill.GetSpecialObjects().At(17, 7).kind, kSpecialPassage);
    // Marta the herbalist, at home here, with her conversation, in the body
    // of the monster kind of a woman in a green robe.
    ASSERT_EQ(mill.GetCreatures().size(), 1u);
    const CNpc* marta = mill.GetNpcAt(17, 3);
    ASSERT_NE(marta, nullptr);
    EXPECT_EQ(marta->name, L"Marta");
    EXPECT_EQ(marta->homeLocation, L"mill.map");
    EXPECT_EQ(marta->scriptFile, L"herbalist.u");
    EXPECT_TRUE(marta->script);
    EXPECT_EQ(marta->GetBankDeposit(), 0u);
    const std::vector<TMonsterInfo>& kinds = m_game.GetTableSet(kDisplayTables).monsters;
    ASSERT_LT(marta->monsterType, kinds.size());
    EXPECT_EQ(kinds[marta->monsterType].name, L"marsh witch");

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
