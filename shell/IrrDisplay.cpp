#include "shell/IrrDisplay.h"

#include <irrlicht.h>

#include "shell/Game.h"

CIrrDisplay::CIrrDisplay(CGame& game)
    : m_game(game), m_console([&game](const std::wstring& text) { game.Log(text); }) {}

void CIrrDisplay::AddMessage(const std::wstring& text, uint32_t type, bool flag) {
    m_console.AddMessage(text, type, flag);
}

void CIrrDisplay::ShowMessage(const std::wstring& text, uint32_t duration) { m_console.ShowMessage(text, duration); }

void CIrrDisplay::ShowImportantMessage(const std::wstring& caption, const std::wstring& text, bool flag) {
    m_console.ShowImportantMessage(caption, text, flag);
}

void CIrrDisplay::OpenWindow(uint32_t windowId, uint32_t mode, uint32_t extra) {
    m_console.OpenWindow(windowId, mode, extra);
}

void CIrrDisplay::ShowMessageBox(const std::wstring& text) { m_console.ShowMessageBox(text); }

void CIrrDisplay::Draw() {
    irr::video::IVideoDriver* driver = m_game.GetDriver();
    if (driver == nullptr || !driver->beginScene(true, true, irr::video::SColor(255, 0, 0, 0))) {
        return;
    }
    m_view.Draw(m_game.GetCurrentLoc(), m_game.GetHero(), m_game.GetTables(), m_game.GetMapSprites());
    driver->endScene();
}

void CIrrDisplay::CenterView() { m_view.Center(m_game.GetCurrentLoc(), m_game.GetHero()); }
