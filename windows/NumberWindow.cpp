#include "windows/NumberWindow.h"

#include <irrlicht.h>

#include "VEKLib/Strings.h"

namespace {

constexpr int32_t kWidth = 360;
constexpr int32_t kMargin = 10;
constexpr int32_t kFieldHeight = 26;
constexpr int32_t kButtonWidth = 90;
constexpr int32_t kButtonHeight = 26;

} // namespace

CNumberWindow::CNumberWindow(CScreen& screen, const TNumberWindowTexts& texts) : m_screen(screen) {
    irr::gui::IGUIEnvironment& gui = screen.GetGui();
    m_window = screen.AddWindow(texts.caption, kWidth, 200);
    const irr::core::rect<irr::s32> client = m_window->getClientRect();
    const int32_t left = client.UpperLeftCorner.X + kMargin;
    const int32_t right = client.LowerRightCorner.X - kMargin;
    m_prompt = screen.AddText(
        *m_window, texts.prompt,
        irr::core::rect<irr::s32>(left, client.UpperLeftCorner.Y + kMargin, right, client.LowerRightCorner.Y));
    const int32_t fieldTop = m_prompt->getRelativePosition().LowerRightCorner.Y + kMargin;
    m_field = gui.addStaticText(L"", irr::core::rect<irr::s32>(left, fieldTop, right, fieldTop + kFieldHeight), true,
                                false, m_window);
    m_field->setTextAlignment(irr::gui::EGUIA_UPPERLEFT, irr::gui::EGUIA_CENTER);
    // The buttons centred under the field.
    const int32_t buttonTop = fieldTop + kFieldHeight + kMargin;
    const int32_t buttonLeft = (kWidth - 2 * kButtonWidth - kMargin) / 2;
    m_ok = gui.addButton(
        irr::core::rect<irr::s32>(buttonLeft, buttonTop, buttonLeft + kButtonWidth, buttonTop + kButtonHeight),
        m_window, -1, texts.ok.c_str());
    const int32_t cancelLeft = buttonLeft + kButtonWidth + kMargin;
    m_cancel = gui.addButton(
        irr::core::rect<irr::s32>(cancelLeft, buttonTop, cancelLeft + kButtonWidth, buttonTop + kButtonHeight),
        m_window, -1, texts.cancel.c_str());
    screen.PlaceWindow(*m_window, kWidth, buttonTop + kButtonHeight + kMargin);
    screen.Open(*this);
}

CNumberWindow::~CNumberWindow() {
    m_screen.Close(*this);
    m_screen.GetGui().removeFocus(m_ok);
    m_screen.GetGui().removeFocus(m_cancel);
    m_window->remove();
}

void CNumberWindow::Close(std::optional<uint32_t> answer) {
    m_waiting = false;
    m_answer = answer;
    m_window->setVisible(false);
    m_screen.Close(*this);
}

void CNumberWindow::Type(wchar_t digit) {
    if (m_digits == L"0") {
        m_digits.clear();
    }
    if (m_digits.size() < kMaxDigits) {
        m_digits += digit;
    }
    m_field->setText(m_digits.c_str());
}

void CNumberWindow::Accept() {
    // Nine digits at most: the number always fits.
    Close(m_digits.empty() ? 0u : vek::WcsToUL(m_digits.c_str(), nullptr, 10));
}

bool CNumberWindow::OnKey(irr::EKEY_CODE key) {
    if (const int32_t digit = DigitOfKey(key); digit >= 0) {
        Type(static_cast<wchar_t>(L'0' + digit));
        return true;
    }
    switch (key) {
    case irr::KEY_BACK:
        if (!m_digits.empty()) {
            m_digits.pop_back();
            m_field->setText(m_digits.c_str());
        }
        return true;
    case irr::KEY_RETURN:
        Accept();
        return true;
    case irr::KEY_ESCAPE:
        Cancel();
        return true;
    default:
        return false;
    }
}

bool CNumberWindow::OnEvent(const irr::SEvent& event) {
    if (!m_waiting) {
        return false;
    }
    if (event.EventType == irr::EET_KEY_INPUT_EVENT) {
        // The key that closed the window before this one may come up only
        // now: that must not answer this one.
        return event.KeyInput.PressedDown && OnKey(event.KeyInput.Key);
    }
    if (event.EventType != irr::EET_GUI_EVENT || event.GUIEvent.EventType != irr::gui::EGET_BUTTON_CLICKED) {
        return false;
    }
    if (event.GUIEvent.Caller == m_ok) {
        Accept();
        return true;
    }
    if (event.GUIEvent.Caller == m_cancel) {
        Cancel();
        return true;
    }
    return false;
}
