#include "shell/MainLoop.h"

#include <irrlicht.h>

#include <chrono>
#include <thread>

#include "data/Version.h"
#include "platform/Signals.h"
#include "platform/Time.h"
#include "shell/Game.h"

namespace {

// The main loop's questions, answered by the game and its device. Inside a
// modal window's loop the game is not ended: that loop stops, and the main
// loop it returns to ends the game.
class CGameLoop final : public IMainLoopGame {
public:
    CGameLoop(CGame& game, bool modal) : m_game(game), m_modal(modal) {}

    bool RunDevice() override { return m_game.RunDevice(); }
    bool IsWindowActive() override { return m_game.GetDevice()->isWindowActive(); }
    bool IsQuitting() override { return m_game.GetState() == kStateExiting; }
    bool IsEndAsked() override { return platform::ReceivedEndSignal() != 0; }
    void DrawFrame() override { m_game.Draw(); }
    void End() override {
        if (!m_modal) {
            m_game.EndGame();
            m_game.GetDevice()->closeDevice();
        }
    }

private:
    CGame& m_game;
    bool m_modal;
};

} // namespace

uint32_t CSystemFrameClock::Now() { return platform::TickCount(); }

void CSystemFrameClock::Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool RunMainLoopStep(IMainLoopGame& game, IFrameClock& clock) {
    const uint32_t start = clock.Now();
    if (!game.RunDevice() || game.IsEndAsked()) {
        return false;
    }
    // The events just handled may have asked to quit: no frame after that.
    if (game.IsQuitting()) {
        game.End();
        return false;
    }
    if (!game.IsWindowActive()) {
        clock.Sleep(kIdleMilliseconds);
        return true;
    }
    game.DrawFrame();
    // Unsigned difference: right across the tick count's wrap.
    const uint32_t elapsed = clock.Now() - start;
    if (elapsed < kFrameMilliseconds) {
        clock.Sleep(kFrameMilliseconds - elapsed);
    }
    return true;
}

bool CGame::Step() {
    CGameLoop loop(*this, false);
    return RunMainLoopStep(loop, *m_frameClock);
}

bool CGame::StepModal() {
    CGameLoop loop(*this, true);
    return RunMainLoopStep(loop, *m_frameClock);
}

bool CGame::RunDevice() {
    if (m_device == nullptr || m_deviceStopped) {
        return false;
    }
    m_deviceStopped = !m_device->run();
    return !m_deviceStopped;
}

void CGame::WaitUntil(uint64_t timeOfDay) {
    if (!HasGame()) {
        return;
    }
    // Every second of the wait is a turn, as if the hero stood still.
    for (uint64_t wait = GetTimeUntil(m_clock, timeOfDay); wait > 0; --wait) {
        Tick();
    }
}

void CGame::SetFrameClock(std::unique_ptr<IFrameClock> clock) {
    m_frameClock = clock != nullptr ? std::move(clock) : std::make_unique<CSystemFrameClock>();
}

namespace {

int ExitCode(const CGame& game) {
    // As the shell reports a process the signal ended.
    if (const int signal = platform::ReceivedEndSignal()) {
        return 128 + signal;
    }
    return game.AutosaveFailed() ? 1 : 0;
}

} // namespace

int RunGame(CGame& game, bool newGame) {
    game.StartGame(newGame);
    irr::video::IVideoDriver* driver = game.GetDriver();
    if (driver == nullptr || driver->getDriverType() == irr::video::EDT_NULL) {
        // Nothing can be played without a window: the game is let go unsaved.
        game.Log(L"No display: the game is not played.");
        game.Clear();
        game.ShutDown();
        return ExitCode(game);
    }
    // The first frame goes up as the window opens, active or not: a window
    // that a window manager leaves without focus shows the game, not nothing.
    // A window closed under a message at the start gets none.
    if (game.IsDeviceRunning()) {
        game.Draw();
    }
    while (game.Step()) {
    }
    // The window was closed, or the program told to end: the game as it
    // stands is the autosave.
    game.EndGame();
    game.ShutDown();
    return ExitCode(game);
}
