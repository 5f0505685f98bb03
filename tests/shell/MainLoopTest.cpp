#include <gtest/gtest.h>

#include <irrlicht.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "platform/Signals.h"
#include "platform/Utf8.h"
#include "rules/Hero.h"
#include "shell/Game.h"
#include "shell/MainLoop.h"
#include "tests/support/SteppedClock.h"
#include "world/Loc.h"

namespace {

namespace fs = std::filesystem;

using testsupport::CSteppedClock;

// A game whose device and frame take the time they are given.
class CFakeGame final : public IMainLoopGame {
public:
    explicit CFakeGame(CSteppedClock& clock) : m_clock(clock) {}

    bool RunDevice() override {
        calls += "run ";
        m_clock.now += runTime;
        return runs;
    }
    bool IsWindowActive() override { return active; }
    bool IsQuitting() override { return quitting; }
    bool IsEndAsked() override { return endAsked; }
    void DrawFrame() override {
        calls += "draw ";
        m_clock.now += drawTime;
    }
    void End() override { calls += "end "; }

    bool runs = true;
    bool active = true;
    bool quitting = false;
    bool endAsked = false;
    uint32_t runTime = 0;
    uint32_t drawTime = 0;
    std::string calls;

private:
    CSteppedClock& m_clock;
};

TEST(MainLoopStep, FramesLastAtLeastThirtyMilliseconds) {
    const struct {
        const char* what;
        uint32_t start;
        bool runs, active, quitting;
        uint32_t runTime, drawTime;
        bool goesOn;
        std::string calls;
        std::vector<uint32_t> sleeps;
        bool endAsked = false;
    } cases[] = {
        {"a quick frame sleeps out the rest", 1000, true, true, false, 0, 0, true, "run draw ", {30}},
        {"a frame of 29 ms sleeps 1", 1000, true, true, false, 0, 29, true, "run draw ", {1}},
        {"a frame of 30 ms sleeps no more", 1000, true, true, false, 0, 30, true, "run draw ", {}},
        {"a frame of 31 ms neither", 1000, true, true, false, 0, 31, true, "run draw ", {}},
        {"handling events is part of the frame", 1000, true, true, false, 10, 5, true, "run draw ", {15}},
        {"events that take a whole frame", 1000, true, true, false, 30, 0, true, "run draw ", {}},
        {"the tick count wraps during the frame", 0xFFFFFFF0u, true, true, false, 0, 21, true, "run draw ", {9}},
        {"an inactive window naps 1 ms and draws nothing", 1000, true, false, false, 0, 50, true, "run ", {1}},
        {"a stopped device ends the loop", 1000, false, true, false, 0, 0, false, "run ", {}},
        {"the quit state ends the game, without a frame", 1000, true, true, true, 0, 0, false, "run end ", {}},
        {"quitting with an inactive window", 1000, true, false, true, 0, 0, false, "run end ", {}},
        {"a stopped device is not ended again", 1000, false, true, true, 0, 0, false, "run ", {}},
        // The caller ends the game: inside a modal window's loop it must not.
        {"an end asked for ends the loop after the events", 1000, true, true, false, 0, 0, false, "run ", {}, true},
        {"an end asked for while quitting", 1000, true, true, true, 0, 0, false, "run ", {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CSteppedClock clock(c.start);
        CFakeGame game(clock);
        game.runs = c.runs;
        game.active = c.active;
        game.quitting = c.quitting;
        game.endAsked = c.endAsked;
        game.runTime = c.runTime;
        game.drawTime = c.drawTime;
        EXPECT_EQ(RunMainLoopStep(game, clock), c.goesOn);
        EXPECT_EQ(game.calls, c.calls);
        EXPECT_EQ(clock.sleeps, c.sleeps);
    }
}

// The build's game folder, with the data archive and the sample locations.
class GameLoop : public testing::Test {
protected:
    void SetUp() override {
        const fs::path folder = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "game";
        if (!fs::exists(folder / "Morvheld.dat")) {
            GTEST_SKIP() << "no data archive in " << folder;
        }
        m_cwd = fs::current_path();
        fs::current_path(folder);
        m_game = std::make_unique<CGame>();
        g_game = m_game.get();
        g_gameData = m_game.get();
        m_game->ForceNullDriver(true);
        // The build's game folder gets no autosave.
        m_game->SetAutosaveEnabled(false);
        m_game->SetLogSink([](const std::wstring&) {});
        auto clock = std::make_unique<CSteppedClock>();
        m_clock = clock.get();
        m_game->SetFrameClock(std::move(clock));
        m_game->SetUp();
    }
    void TearDown() override {
        if (m_game != nullptr) {
            m_game.reset();
            fs::current_path(m_cwd);
        }
    }

    fs::path m_cwd;
    std::unique_ptr<CGame> m_game;
    CSteppedClock* m_clock = nullptr;
};

TEST_F(GameLoop, NewGameIsShownUntilTheGameQuits) {
    m_game->New();
    CLoc* loc = m_game->GetCurrentLoc();
    CHero* hero = m_game->GetHero();
    ASSERT_NE(loc, nullptr);
    ASSERT_NE(hero, nullptr);
    // The start-up commands' start: the mill, by its display name, known whole.
    EXPECT_EQ(loc->GetFileName(), L"mill.map");
    EXPECT_EQ(loc->GetOwnName(), L"Mill by the River");
    EXPECT_EQ(m_game->GetState(), kStateGame);
    // Off the border, on a cell the hero can stand on, which names him.
    EXPECT_GE(hero->x, 1u);
    EXPECT_LE(hero->x, 18u);
    EXPECT_GE(hero->y, 1u);
    EXPECT_LE(hero->y, 13u);
    EXPECT_EQ(loc->GetCreatureIds().At(static_cast<uint16_t>(hero->x), static_cast<uint16_t>(hero->y)), kHeroCell);
    for (uint16_t y = 0; y < loc->GetHeight(); ++y) {
        for (uint16_t x = 0; x < loc->GetWidth(); ++x) {
            ASSERT_EQ(loc->GetExplored().At(x, y), 255) << x << "," << y;
        }
    }

    // The null device has no window to be active: each step naps.
    EXPECT_TRUE(m_game->Step());
    EXPECT_TRUE(m_game->Step());
    EXPECT_EQ(m_clock->sleeps, (std::vector<uint32_t>{kIdleMilliseconds, kIdleMilliseconds}));

    m_game->SetState(kStateExiting);
    EXPECT_FALSE(m_game->Step());
    EXPECT_EQ(m_game->GetCurrentLoc(), nullptr);
    EXPECT_EQ(m_game->GetHero(), nullptr);
    EXPECT_EQ(m_game->GetWorld(), nullptr);
    EXPECT_TRUE(m_game->GetNpcList().empty());
    ASSERT_NE(m_game->GetDevice(), nullptr);
    EXPECT_FALSE(m_game->GetDevice()->run());
    // The loop stays ended.
    EXPECT_FALSE(m_game->Step());
    EXPECT_EQ(m_clock->sleeps.size(), 2u);
}

TEST_F(GameLoop, NewGameThatFailsLeavesNone) {
    m_game->New();
    ASSERT_NE(m_game->GetCurrentLoc(), nullptr);
    // The set-up's world is played now: the next new game reads the file.
    m_game->GetConfig().SetValue(L"world", vek::CValue(L"nowhere.world"));
    try {
        m_game->New();
        ADD_FAILURE() << "nothing thrown";
    } catch (const vek::CFileException& e) {
        EXPECT_NE(e.GetFileName().find(L"nowhere.world"), std::wstring::npos) << platform::ToUtf8(e.GetText());
    }
    EXPECT_EQ(m_game->GetCurrentLoc(), nullptr);
    EXPECT_EQ(m_game->GetHero(), nullptr);
    EXPECT_EQ(m_game->GetWorld(), nullptr);
    EXPECT_FALSE(m_game->HasGame());
    // Without a location a frame draws nothing, and the loop goes on.
    m_game->Draw();
    EXPECT_TRUE(m_game->Step());
}

// An end signal stops the loop after the events it finds; the game is ended
// by the caller, and the program's exit code names the signal.
TEST_F(GameLoop, AnEndSignalEndsTheLoopAndNamesTheExitCode) {
    m_game->New();
    platform::InstallEndSignals();
    EXPECT_TRUE(m_game->Step());
    ::raise(SIGTERM);
    EXPECT_FALSE(m_game->Step());
    EXPECT_TRUE(m_game->HasGame());
    EXPECT_FALSE(m_game->StepModal());
    EXPECT_EQ(RunGame(*m_game, true), 128 + SIGTERM);
    platform::RestoreEndSignals();
    EXPECT_FALSE(m_game->HasGame());
}

// Without a device there is no loop to run.
TEST(GameLoopWithoutDevice, StepEndsAtOnce) {
    CGame game;
    EXPECT_FALSE(game.Step());
}

} // namespace
