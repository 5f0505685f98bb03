#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "data/GameDisplay.h"
#include "shell/Game.h"
#include "tests/shell/SampleGameFixture.h"

// A continued game tells the player that the saved game was loaded: the
// message log's first line, which the console shows once.
namespace {

using samplegame::SampleGame;

TEST_F(SampleGame, AContinuedGamesLogBeginsWithTheLoad) {
    {
        CGame& game = MakeGame(true);
        game.StartGame(false);
        game.EndGame();
    }
    CGame& game = MakeGame(true);
    game.StartGame(false);
    ASSERT_TRUE(game.HasGame());
    const auto* display = dynamic_cast<const CConsoleDisplay*>(&game.GetDisplay());
    ASSERT_NE(display, nullptr);
    const auto& lines = display->GetMessageLog().GetLines();
    ASSERT_FALSE(lines.empty());
    const std::wstring loaded = L"Game loaded: Save/autosave.sav";
    EXPECT_EQ(lines.front().text, loaded);
    EXPECT_EQ(std::count(m_log.begin(), m_log.end(), loaded), 1);
}

} // namespace
