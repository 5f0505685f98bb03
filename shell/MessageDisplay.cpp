#include "shell/MessageDisplay.h"

#include "shell/Game.h"

CMorvheldMessageDisplay::CMorvheldMessageDisplay(CGame& game, const std::wstring& logFile) : m_game(game) {
    vek::LogSessionStart(m_log, logFile, vek::kLogFile, false);
}

void CMorvheldMessageDisplay::Display(const std::wstring& text) {
    // Written first: the text survives whatever showing it does.
    vek::LogWrite(m_log, text, true);
    if (m_game.IsWindowUp()) {
        m_game.GetDisplay().ShowMessageBox(text);
    }
}
