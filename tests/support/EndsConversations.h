#pragma once
// The frame clock of a player who ends every conversation as soon as it
// shows, as the herbalist's greeting that opens a new game in a window. Its
// time stands still, so each step of a loop naps and the nap ends it.
#include <cstdint>

#include "shell/Game.h"
#include "shell/MainLoop.h"

namespace testsupport {

class CEndsConversations final : public IFrameClock {
public:
    explicit CEndsConversations(CGame& game) : m_game(game) {}
    uint32_t Now() override { return 0; }
    void Sleep(uint32_t) override { m_game.GetDialog().End(); }

private:
    CGame& m_game;
};

} // namespace testsupport
