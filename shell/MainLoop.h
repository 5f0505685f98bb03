#pragma once
// The main loop: the entry function steps the game until a step reports the
// end. A step lets the device handle its events, then draws one frame while
// the window is active and sleeps out the rest of the frame's time, or naps
// while it is not; once the game is quitting it ends the game instead.
#include <cstdint>

class CGame;

// A frame lasts at least this long; an inactive window is polled this often.
inline constexpr uint32_t kFrameMilliseconds = 30;
inline constexpr uint32_t kIdleMilliseconds = 1;

// Time as the main loop sees it; tests put a clock of their own in its place.
class IFrameClock {
public:
    virtual ~IFrameClock() = default;
    // Milliseconds on a monotonic clock, wrapping at 2^32.
    virtual uint32_t Now() = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
};

// The system's tick count and a real sleep.
class CSystemFrameClock final : public IFrameClock {
public:
    uint32_t Now() override;
    void Sleep(uint32_t milliseconds) override;
};

// What a step asks of the game.
class IMainLoopGame {
public:
    virtual ~IMainLoopGame() = default;
    // Lets the device handle its events; false once it has stopped (its
    // window closed).
    virtual bool RunDevice() = 0;
    virtual bool IsWindowActive() = 0;
    // The game has entered its quit state.
    virtual bool IsQuitting() = 0;
    // The program was asked to end from outside (an end signal).
    virtual bool IsEndAsked() = 0;
    virtual void DrawFrame() = 0;
    // Clears the game and closes the device.
    virtual void End() = 0;
};

// One step: false when the loop must end (the device stopped, the program
// was asked to end, or the game was quitting and has been ended). A modal
// window's loop takes the same steps while it waits for the player
// (CGame::StepModal). The events waiting are handled before an end that was
// asked for. The frame's time counts from the step's start, so handling
// events is part of it.
bool RunMainLoopStep(IMainLoopGame& game, IFrameClock& clock);

// After set-up: starts the game (CGame::StartGame), then with a window draws
// its first frame and steps it until the window closes, the game quits or
// an end signal comes, and ends it (the autosave); without one (the null
// driver) nothing is played. Shuts the game down; the program's exit code:
// 128 + the number of the end signal that came, else 1 when the autosave
// failed, else 0.
int RunGame(CGame& game, bool newGame);
