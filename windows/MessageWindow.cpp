#include "windows/MessageWindow.h"

#include <irrlicht.h>

#include <algorithm>

namespace {

constexpr int32_t kWidth = 420;
constexpr int32_t kMargin = 10;
constexpr int32_t kButtonWidth = 90;
constexpr int32_t kButtonHeight = 26;

} // namespace

CMessageWindow::CMessageWindow(CScreen& screen, const std::wstring& caption, const std::wstring& text)
    : m_screen(screen) {
    irr::gui::IGUIEnvironment& gui = screen.GetGui();
    m_window = screen.AddWindow(caption, kWidth, 200);
    const irr::core::rect<irr::s32> client = m_window->getClientRect();
    m_text =
        screen.AddText(*m_window, text,
                       irr::core::rect<irr::s32>(client.UpperLeftCorner.X + kMargin, client.UpperLeftCorner.Y + kMargin,
                                                 client.LowerRightCorner.X - kMargin, client.LowerRightCorner.Y));
    const int32_t buttonTop = m_text->getRelativePosition().LowerRightCorner.Y + kMargin;
    const int32_t buttonLeft = (kWidth - kButtonWidth) / 2;
    m_button = gui.addButton(
        irr::core::rect<irr::s32>(buttonLeft, buttonTop, buttonLeft + kButtonWidth, buttonTop + kButtonHeight),
        m_window, -1, gui.getSkin()->getDefaultText(irr::gui::EGDT_MSG_BOX_OK));
    screen.PlaceWindow(*m_window, kWidth, buttonTop + kButtonHeight + kMargin);
    gui.setFocus(m_button);
    screen.Open(*this);
}

CMessageWindow::~CMessageWindow() {
    m_screen.Close(*this);
    m_screen.GetGui().removeFocus(m_button);
    m_window->remove();
}

void CMessageWindow::Close() {
    m_waiting = false;
    m_window->setVisible(false);
    m_screen.Close(*this);
}

bool CMessageWindow::OnEvent(const irr::SEvent& event) {
    if (!m_waiting) {
        return false;
    }
    if (event.EventType == irr::EET_KEY_INPUT_EVENT && event.KeyInput.PressedDown &&
        event.KeyInput.Key == irr::KEY_RETURN) {
        Close();
        return true;
    }
    if (event.EventType == irr::EET_GUI_EVENT && event.GUIEvent.EventType == irr::gui::EGET_BUTTON_CLICKED &&
        event.GUIEvent.Caller == m_button) {
        Close();
        return true;
    }
    return false;
}
