#include "shell/MessageDisplay.h"

#include "shell/Game.h"

CMorvheldMessageDisplay::CMorvheldMessageDisplay(CGame& game, const std::wstring& logFile)
    : m_game(game), m_logFile(logFile) {}

void CMorvheldMessageDisplay::Display(const std::wstring& text) {
    // Written first: the text survives whatever showing it does.
    Append(text);
    if (m_game.IsWindowUp()) {
        m_game.GetDisplay().ShowMessageBox(text);
    }
}

void CMorvheldMessageDisplay::Append(const std::wstring& text) const {
    vek::CLog log;
    vek::LogSessionStart(log, m_logFile, vek::kLogFile, true);
    vek::LogWrite(log, text, true);
    vek::LogSessionEnd(log);
}
