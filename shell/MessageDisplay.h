#pragma once
// The game's message display: where the library's exceptions and other
// texts the player must see end up.
#include <string>

#include "VEKLib/Exception.h"
#include "VEKLib/Log.h"

class CGame;

// The log file of texts shown as important.
inline constexpr wchar_t kErrorLogFile[] = L"error.log";

class CMorvheldMessageDisplay : public vek::CMessageDisplay {
public:
    explicit CMorvheldMessageDisplay(CGame& game, const std::wstring& logFile = kErrorLogFile);

    // Appends the text to the log file, then shows it in a message box when
    // the game's window is up.
    void Display(const std::wstring& text) override;
    // Appends the text to the log file in a session of its own: the session
    // line, the text with the time, the closing line.
    void Append(const std::wstring& text) const;

private:
    CGame& m_game;
    std::wstring m_logFile;
};
