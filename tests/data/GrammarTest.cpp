#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "VEKLib/Config.h"
#include "VEKLib/UnitTest.h"
#include "data/GameTests.h"
#include "data/Grammar.h"
#include "data/MConfig.h"
#include "data/StringResource.h"
#include "data/Tables.h"

namespace {

CMorvheldConfig& ConfigFor(const wchar_t* language) {
    static CMorvheldConfig config;
    config.ResetToDefaults();
    config.SetValue(L"lang", vek::CValue(language));
    return config;
}

TEST(Grammar, PluralForm) {
    const struct {
        const wchar_t* language;
        uint32_t count;
        bool plural;
    } cases[] = {
        {L"pl", 1, false},
        {L"pl", 4, true},
        {L"pl", 5, false},
        {L"pl", 20, false},
        {L"pl", 21, false},
        {L"pl", 22, true},
        {L"pl", 24, true},
        {L"pl", 25, false},
        // Above 20 only the last digit counts, the teens of a hundred too.
        {L"pl", 112, true},
        {L"pl", 4294967294u, true},
        {L"PL", 3, true},
        {L"en", 21, true},
        {L"de", 1, false},
        {L"de", 5, true},
        {L"", 0, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CGrammar::UsePluralForm(c.count, ConfigFor(c.language)), c.plural)
            << c.count << " in " << testing::PrintToString(std::wstring(c.language));
    }
}

TEST(Grammar, Pronoun) {
    CStringResource strings(true);
    strings.LoadText(L"STR_PRONOUN_HIM him\nSTR_PRONOUN_HER her\nSTR_PRONOUN_IT it\n");
    std::vector<TMonsterInfo> monsters(5);
    monsters[1].flags = kMonsterFlagMale;
    monsters[2].flags = kMonsterFlagFemale;
    monsters[3].flags = kMonsterFlagMale | kMonsterFlagFemale;
    monsters[4].flags = 3;
    const struct {
        const wchar_t* language;
        uint32_t type;
        std::optional<uint16_t> kind;
        const wchar_t* pronoun;
    } cases[] = {
        {L"pl", kCreatureMonster, 1, L"him"},
        {L"pl", kCreatureMonster, 2, L"her"},
        {L"pl", kCreatureMonster, 3, L"her"}, // both bits: female wins
        {L"pl", kCreatureMonster, 0, L""},
        {L"pl", kCreatureMonster, 4, L""},
        {L"Pl", kCreatureNpc, 1, L"him"},
        {L"en", kCreatureMonster, 2, L"it"},
        {L"en", kCreatureNpc, 2, L"her"},
        {L"en", kCreatureNpc, 0, L""},
        {L"en", kCreatureHero, std::nullopt, L"it"},
        // No kind, or one the table does not hold: no gender known.
        {L"pl", kCreatureHero, std::nullopt, L""},
        {L"pl", kCreatureHero, 65535, L""},
        {L"pl", kCreatureNpc, 5, L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CGrammar::GetPronoun(ConfigFor(c.language), strings, c.type, c.kind, monsters), c.pronoun)
            << testing::PrintToString(std::wstring(c.language)) << " type " << c.type << " kind "
            << (c.kind ? int(*c.kind) : -1);
    }
}

// The in-program self-test passes whole in the suite "Game".
TEST(Grammar, GameSuitePasses) {
    vek::CSuite game(L"", nullptr);
    CreateGameSuite(game, nullptr);
    EXPECT_EQ(game.GetName(), L"Game");
    ASSERT_EQ(game.GetTestCount(), 2u);
    game.Execute();
    EXPECT_EQ(game.GetFailedTotal(), 0);
    EXPECT_EQ(game.GetPassedTotal(), 24);
    game.DeleteAll();
}

} // namespace
