// The bestiary's lore, read from the sample lore files of both languages.
#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <string>

#include "VEKLib/Exception.h"
#include "data/GameData.h"
#include "support/Files.h"
#include "windows/Bestiary.h"

namespace {

namespace fs = std::filesystem;

// Loose files of the source folder: no archive is set up.
class BestiaryTest : public testing::Test {
protected:
    void SetUp() override {
        m_cwd = fs::current_path();
        fs::current_path(fs::path(__FILE__).parent_path().parent_path().parent_path());
    }
    void TearDown() override { fs::current_path(m_cwd); }

    fs::path m_cwd;
};

TEST_F(BestiaryTest, ReadsTheLoreOfTheDisplayLanguage) {
    const struct {
        const wchar_t* language;
        uint16_t monster;
        const wchar_t* begins;
    } cases[] = {
        {L"en", 0, L"Cave rats nest under mills"},
        {L"en", 5, L"Bandits keep to the forest roads"},
        {L"pl", 0, L"Szczury jaskiniowe gnieżdżą się"},
        {L"pl", 4, L"Wiedźma z moczarów rzadko walczy"},
        {L"en", 6, L""},
        {L"pl", 65535, L""},
    };
    CBestiary bestiary;
    for (const auto& c : cases) {
        bestiary.Load(c.language);
        EXPECT_EQ(bestiary.GetLore(c.monster).substr(0, std::wcslen(c.begins)), c.begins);
    }
    // A line break in the file is one in the lore.
    EXPECT_NE(bestiary.GetLore(1).find(L".\r\n"), std::wstring::npos);
    // Its own texts only: the game's strings are not among them.
    EXPECT_FALSE(bestiary.GetStrings().Exists(L"STR_GAME_DATE"));
}

// Every monster of the sample tables has lore in both languages.
TEST_F(BestiaryTest, EveryMonsterHasLoreInBothLanguages) {
    for (const wchar_t* language : {L"pl", L"en"}) {
        CDefinitionTables tables;
        tables.Load(language, false);
        CBestiary bestiary;
        bestiary.Load(language);
        ASSERT_FALSE(tables.monsters.empty());
        for (size_t i = 0; i < tables.monsters.size(); ++i) {
            EXPECT_FALSE(bestiary.GetLore(static_cast<uint16_t>(i)).empty()) << i;
        }
        EXPECT_EQ(bestiary.GetStrings().GetCount(), tables.monsters.size());
    }
}

TEST_F(BestiaryTest, AMissingLoreFileNamesItAndKeepsWhatWasRead) {
    CBestiary bestiary;
    bestiary.Load(L"en");
    const auto error = testsupport::Thrown<vek::CFileException>([&] { bestiary.Load(L"xx"); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->GetFileName(), L"Data/lore.xx.txt");
    EXPECT_FALSE(bestiary.GetLore(0).empty());
}

} // namespace
