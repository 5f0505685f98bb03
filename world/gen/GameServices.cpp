#include "world/gen/GameServices.h"

#include "data/GameDisplay.h"

namespace gen {

namespace {

// The guard that holds the mode now; null when none does.
const CBusyInput* g_innermost = nullptr;

} // namespace

CBusyInput::CBusyInput(IGameServices* game) : m_game(game), m_mode(kInputModeNormal), m_enclosing(nullptr) {
    if (m_game == nullptr) {
        return;
    }
    m_mode = m_game->InEditor() ? kInputModeNormal : kInputModeBusy;
    m_enclosing = g_innermost;
    g_innermost = this;
    m_game->SetInputMode(m_mode);
}

CBusyInput::~CBusyInput() {
    if (m_game == nullptr) {
        return;
    }
    g_innermost = m_enclosing;
    m_game->SetInputMode(m_enclosing != nullptr ? m_enclosing->m_mode : kInputModeNormal);
}

} // namespace gen
