#include "data/GameDisplay.h"

#include <utility>

#include "VEKLib/Format.h"

CConsoleDisplay::CConsoleDisplay(LogFunction log)
    : m_log(std::move(log)), m_messageLog([this](const TMessageLine& line) {
          if (m_log) {
              m_log(line.text);
          }
      }) {}

void CConsoleDisplay::AddMessage(const std::wstring& text, uint32_t type, bool flag) {
    m_messageLog.AddMessage(text, type, flag);
}

void CConsoleDisplay::ShowMessage(const std::wstring& text, uint32_t /*duration*/) {
    m_messageLog.AddMessage(text, kMessageInfo, false);
}

void CConsoleDisplay::ShowImportantMessage(const std::wstring& caption, const std::wstring& text, bool /*flag*/) {
    if (m_log) {
        m_log(caption + L": " + text);
    }
}

void CConsoleDisplay::ShowMessageBox(const std::wstring& text) {
    if (m_log) {
        m_log(text);
    }
}

void CConsoleDisplay::OpenWindow(uint32_t windowId, uint32_t mode, uint32_t /*extra*/) {
    if (m_log) {
        m_log(vek::Format(L"Window %lu (mode %lu) not opened: the game has no windows yet.", windowId, mode));
    }
}

std::optional<uint32_t> CConsoleDisplay::AskNumber(const std::wstring& caption, const std::wstring& prompt) {
    if (m_log) {
        m_log(L"No window to ask for an amount, so none is given: " + caption + L": " + prompt);
    }
    return std::nullopt;
}
