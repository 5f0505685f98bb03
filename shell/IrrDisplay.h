#pragma once
// The display over the game's window: frames of the map view drawn by the
// engine. Until the game has its windows, messages and windows go where the
// console display puts them.
#include <cstdint>
#include <string>

#include "data/GameDisplay.h"
#include "shell/MapView.h"

class CGame;

class CIrrDisplay final : public IGameDisplay {
public:
    explicit CIrrDisplay(CGame& game);

    void AddMessage(const std::wstring& text, uint32_t type, bool flag) override;
    void ShowMessage(const std::wstring& text, uint32_t duration) override;
    void ShowImportantMessage(const std::wstring& caption, const std::wstring& text, bool flag) override;
    void OpenWindow(uint32_t windowId, uint32_t mode, uint32_t extra) override;
    void SetInputMode(uint32_t mode) override { m_console.SetInputMode(mode); }
    // One frame on a black background: the view of the current location.
    void Draw() override;
    // The view centred on the hero.
    void CenterView() override;
    void UpdateAutomapImage() override {}
    // No modal window can be open yet.
    void RunModalLoop() override {}
    // No message box can be shown over the window yet: texts go to the log.
    bool HasWindow() const override { return false; }
    void ShowMessageBox(const std::wstring& text) override;

    const CMapView& GetView() const { return m_view; }
    const CConsoleDisplay& GetConsole() const { return m_console; }

private:
    CGame& m_game;
    CConsoleDisplay m_console;
    CMapView m_view;
};
