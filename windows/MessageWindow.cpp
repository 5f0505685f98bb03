#include "windows/MessageWindow.h"

#include <irrlicht.h>

#include <algorithm>

namespace {

constexpr int32_t kWidth = 420;
constexpr int32_t kMargin = 10;
constexpr int32_t kButtonWidth = 90;
constexpr int32_t kButtonHeight = 26;

std::vector<TMessageButton> OkButton(const CScreen& screen) {
    return {{screen.GetGui().getSkin()->getDefaultText(irr::gui::EGDT_MSG_BOX_OK), irr::KEY_RETURN}};
}

} // namespace

CMessageWindow::CMessageWindow(CScreen& screen, const std::wstring& caption, const std::wstring& text)
    : CMessageWindow(screen, caption, text, OkButton(screen)) {}

CMessageWindow::CMessageWindow(CScreen& screen, const std::wstring& caption, const std::wstring& text,
                               const std::vector<TMessageButton>& buttons)
    : m_screen(screen) {
    irr::gui::IGUIEnvironment& gui = screen.GetGui();
    m_window = screen.AddWindow(caption, kWidth, 200);
    const irr::core::rect<irr::s32> client = m_window->getClientRect();
    m_text =
        screen.AddText(*m_window, text,
                       irr::core::rect<irr::s32>(client.UpperLeftCorner.X + kMargin, client.UpperLeftCorner.Y + kMargin,
                                                 client.LowerRightCorner.X - kMargin, client.LowerRightCorner.Y));
    // The row centred under the text.
    const int32_t buttonTop = m_text->getRelativePosition().LowerRightCorner.Y + kMargin;
    const auto count = static_cast<int32_t>(buttons.size());
    int32_t left = (kWidth - count * kButtonWidth - (count - 1) * kMargin) / 2;
    for (const TMessageButton& button : buttons) {
        m_buttons.push_back(
            gui.addButton(irr::core::rect<irr::s32>(left, buttonTop, left + kButtonWidth, buttonTop + kButtonHeight),
                          m_window, -1, button.label.c_str()));
        m_keys.push_back(button.key);
        left += kButtonWidth + kMargin;
    }
    screen.PlaceWindow(*m_window, kWidth, buttonTop + kButtonHeight + kMargin);
    if (!m_buttons.empty()) {
        gui.setFocus(m_buttons.front());
    }
    screen.Open(*this);
}

CMessageWindow::~CMessageWindow() {
    m_screen.Close(*this);
    for (irr::gui::IGUIButton* button : m_buttons) {
        m_screen.GetGui().removeFocus(button);
    }
    m_window->remove();
}

void CMessageWindow::Close(std::optional<size_t> answer) {
    m_waiting = false;
    m_answer = answer;
    m_window->setVisible(false);
    m_screen.Close(*this);
}

bool CMessageWindow::OnEvent(const irr::SEvent& event) {
    if (!m_waiting) {
        return false;
    }
    size_t chosen = m_buttons.size();
    if (event.EventType == irr::EET_KEY_INPUT_EVENT && event.KeyInput.PressedDown) {
        chosen = static_cast<size_t>(std::find(m_keys.begin(), m_keys.end(), event.KeyInput.Key) - m_keys.begin());
    } else if (event.EventType == irr::EET_GUI_EVENT && event.GUIEvent.EventType == irr::gui::EGET_BUTTON_CLICKED) {
        chosen = static_cast<size_t>(std::find(m_buttons.begin(), m_buttons.end(), event.GUIEvent.Caller) -
                                     m_buttons.begin());
    }
    if (chosen == m_buttons.size()) {
        return false;
    }
    Close(chosen);
    return true;
}
