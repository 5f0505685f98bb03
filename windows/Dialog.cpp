#include "windows/Dialog.h"

#include <irrlicht.h>

#include <algorithm>

#include "data/GameData.h"
#include "script/Script.h"

namespace {

constexpr int32_t kWidth = 520;
constexpr int32_t kMargin = 10;
constexpr int32_t kButtonHeight = 26;
constexpr int32_t kButtonGap = 4;
constexpr int32_t kEndWidth = 220;

// The option that a number key (1 to 9, on either row of keys) stands for;
// -1 for any other key.
int32_t OptionOfKey(irr::EKEY_CODE key) {
    const int32_t digit = DigitOfKey(key);
    return digit >= 1 ? digit - 1 : -1;
}

} // namespace

std::wstring SelectTextVariant(const std::wstring& text, uint32_t index) {
    size_t start = 0;
    for (uint32_t i = 0; i < index; ++i) {
        const size_t bar = text.find(L'|', start);
        if (bar == std::wstring::npos) {
            // Fewer variants than languages: the first stands for the rest.
            return text.substr(0, text.find(L'|'));
        }
        start = bar + 1;
    }
    const size_t end = text.find(L'|', start);
    return text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

void CDialog::ShowNode(const TDialogNode& node) {
    uint32_t language = 0;
    if (g_gameData) {
        CMorvheldConfig& config = g_gameData->GetConfig();
        language = config.GetLangID(config.FindEntry(L"lang").GetString());
        m_endLabel = g_gameData->GetStrings().Get(L"STR_DLG_BTN_END");
    }
    m_text = SelectTextVariant(node.text, language);
    if (m_buttons.size() < node.options.size()) {
        m_buttons.resize(node.options.size());
    }
    for (size_t i = 0; i < m_buttons.size(); ++i) {
        const bool used = i < node.options.size();
        m_buttons[i].visible = used;
        m_buttons[i].label = used ? SelectTextVariant(node.options[i].text, language) : std::wstring();
    }
    m_answer = -1;
    m_waiting = true;
    Layout();
}

void CDialog::Choose(int32_t index) {
    if (index >= 0 && static_cast<size_t>(index) < m_buttons.size() && m_buttons[index].visible) {
        m_answer = index;
        m_waiting = false;
    }
}

void CDialog::End() {
    m_answer = -1;
    m_waiting = false;
}

void CDialog::RunScript(CScript& script) {
    struct TClose {
        CDialog* dialog;
        ~TClose() {
            if (dialog != nullptr) {
                dialog->Close();
            }
        }
    } close{m_open ? nullptr : this};
    if (!m_open) {
        Open();
    }
    script.ExecuteScript(kScriptTypeConversation);
}

// --- On the screen -------------------------------------------------------------------------

CDialog::~CDialog() { SetScreen(nullptr); }

void CDialog::SetScreen(CScreen* screen) {
    const bool open = m_open;
    Close();
    m_open = open;
    m_screen = screen;
}

void CDialog::Open() {
    m_open = true;
    if (m_screen == nullptr) {
        return;
    }
    irr::gui::IGUIEnvironment& gui = m_screen->GetGui();
    m_window = m_screen->AddWindow(L"", kWidth, 100);
    m_textElement = gui.addStaticText(L"", irr::core::rect<irr::s32>(0, 0, 1, 1), false, true, m_window);
    m_textElement->setWordWrap(true);
    m_endButton = gui.addButton(irr::core::rect<irr::s32>(0, 0, 1, 1), m_window);
    m_screen->Open(*this);
    Layout();
}

void CDialog::Close() {
    m_open = false;
    m_waiting = false;
    if (m_window == nullptr) {
        return;
    }
    m_screen->Close(*this);
    irr::gui::IGUIEnvironment& gui = m_screen->GetGui();
    for (irr::gui::IGUIButton* button : m_answerElements) {
        gui.removeFocus(button);
    }
    gui.removeFocus(m_endButton);
    // The window takes its children with it.
    m_window->remove();
    m_window = nullptr;
    m_textElement = nullptr;
    m_answerElements.clear();
    m_endButton = nullptr;
}

irr::gui::IGUIButton* CDialog::GetAnswerElement(size_t index) const {
    return index < m_answerElements.size() ? m_answerElements[index] : nullptr;
}

void CDialog::Layout() {
    if (m_window == nullptr) {
        return;
    }
    const irr::core::rect<irr::s32> client = m_window->getClientRect();
    const int32_t left = client.UpperLeftCorner.X + kMargin;
    const int32_t right = kWidth - kMargin;
    int32_t y = client.UpperLeftCorner.Y + kMargin;
    y += CScreen::FitText(*m_textElement, m_text, irr::core::rect<irr::s32>(left, y, right, y + CScreen::kMapHeight));
    y += kMargin;
    while (m_answerElements.size() < m_buttons.size()) {
        m_answerElements.push_back(m_screen->GetGui().addButton(irr::core::rect<irr::s32>(0, 0, 1, 1), m_window));
    }
    for (size_t i = 0; i < m_answerElements.size(); ++i) {
        const bool visible = m_buttons[i].visible;
        m_answerElements[i]->setVisible(visible);
        if (visible) {
            m_answerElements[i]->setText(m_buttons[i].label.c_str());
            m_answerElements[i]->setRelativePosition(irr::core::rect<irr::s32>(left, y, right, y + kButtonHeight));
            y += kButtonHeight + kButtonGap;
        }
    }
    y += kMargin;
    const int32_t endLeft = (kWidth - kEndWidth) / 2;
    m_endButton->setText(m_endLabel.c_str());
    m_endButton->setRelativePosition(irr::core::rect<irr::s32>(endLeft, y, endLeft + kEndWidth, y + kButtonHeight));
    y += kButtonHeight + kMargin;
    m_screen->PlaceWindow(*m_window, kWidth, y);
}

bool CDialog::OnEvent(const irr::SEvent& event) {
    if (!m_waiting) {
        return false;
    }
    if (event.EventType == irr::EET_KEY_INPUT_EVENT) {
        if (!event.KeyInput.PressedDown) {
            return false;
        }
        if (event.KeyInput.Key == irr::KEY_END || event.KeyInput.Key == irr::KEY_ESCAPE) {
            End();
            return true;
        }
        const int32_t option = OptionOfKey(event.KeyInput.Key);
        if (option >= 0) {
            Choose(option);
            return true;
        }
        return false;
    }
    if (event.EventType != irr::EET_GUI_EVENT || event.GUIEvent.EventType != irr::gui::EGET_BUTTON_CLICKED) {
        return false;
    }
    if (event.GUIEvent.Caller != nullptr && event.GUIEvent.Caller == m_endButton) {
        End();
        return true;
    }
    const auto clicked = std::find(m_answerElements.begin(), m_answerElements.end(), event.GUIEvent.Caller);
    if (event.GUIEvent.Caller == nullptr || clicked == m_answerElements.end()) {
        return false;
    }
    Choose(static_cast<int32_t>(clicked - m_answerElements.begin()));
    return true;
}
