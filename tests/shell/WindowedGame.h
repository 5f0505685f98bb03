#pragma once
// A game set up with its window (under xvfb-run) in the build's game folder,
// which gets no autosave; without a display the test fails or is skipped as
// Display.h says.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "shell/Game.h"
#include "tests/support/Display.h"
#include "tests/support/EndsConversations.h"

namespace shelltest {

class WindowedGame : public testing::Test {
protected:
    void SetUp() override {
        MORVHELD_NEED_DISPLAY();
        const std::filesystem::path folder =
            std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "game";
        ASSERT_TRUE(std::filesystem::exists(folder / "Morvheld.dat")) << folder;
        m_cwd = std::filesystem::current_path();
        std::filesystem::current_path(folder);
        m_game = std::make_unique<CGame>();
        g_game = m_game.get();
        g_gameData = m_game.get();
        m_game->SetLogSink([](const std::wstring&) {});
        m_game->SetAutosaveEnabled(false);
        BeforeSetUp(*m_game);
        m_game->SetUp();
    }
    void TearDown() override {
        if (m_game != nullptr) {
            m_game.reset();
            std::filesystem::current_path(m_cwd);
        }
    }
    // What a test gives the game before it is set up.
    virtual void BeforeSetUp(CGame& /*game*/) {}

    // A new game, whose first conversation (the herbalist's greeting at the
    // mill) the player ends as soon as it shows; then the system's clock.
    void NewGameGreeted() {
        m_game->SetFrameClock(std::make_unique<testsupport::CEndsConversations>(*m_game));
        m_game->New();
        m_game->SetFrameClock(nullptr);
    }

    std::filesystem::path m_cwd;
    std::unique_ptr<CGame> m_game;
};

} // namespace shelltest
