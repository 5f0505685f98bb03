#include "windows/Screen.h"

#include <irrlicht.h>

#include <algorithm>

namespace {

// The key events; everything else goes to whichever window knows the element.
bool IsKey(const irr::SEvent& event) { return event.EventType == irr::EET_KEY_INPUT_EVENT; }

} // namespace

int32_t DigitOfKey(irr::EKEY_CODE key) {
    if (key >= irr::KEY_KEY_0 && key <= irr::KEY_KEY_9) {
        return key - irr::KEY_KEY_0;
    }
    if (key >= irr::KEY_NUMPAD0 && key <= irr::KEY_NUMPAD9) {
        return key - irr::KEY_NUMPAD0;
    }
    return -1;
}

void CScreen::Open(IModalWindow& window) {
    Close(window);
    m_open.push_back(&window);
}

void CScreen::Close(IModalWindow& window) { std::erase(m_open, &window); }

bool CScreen::IsOpen(const IModalWindow& window) const {
    return std::find(m_open.begin(), m_open.end(), &window) != m_open.end();
}

bool CScreen::OnEvent(const irr::SEvent& event) {
    if (m_open.empty()) {
        return false;
    }
    // While a window is open the keys are its own: none reaches the map,
    // nor the GUI's focus (Space would click a focused button).
    if (IsKey(event)) {
        m_open.back()->OnEvent(event);
        return true;
    }
    // A copy: a window may close while it handles the event.
    const std::vector<IModalWindow*> open = m_open;
    for (auto window = open.rbegin(); window != open.rend(); ++window) {
        if (IsOpen(**window) && (*window)->OnEvent(event)) {
            return true;
        }
    }
    return false;
}

void CScreen::CancelAll() {
    const std::vector<IModalWindow*> open = m_open;
    for (IModalWindow* window : open) {
        window->Cancel();
    }
}

irr::gui::IGUIWindow* CScreen::AddWindow(const std::wstring& caption, int32_t width, int32_t height) const {
    irr::gui::IGUIWindow* window =
        m_gui.addWindow(irr::core::rect<irr::s32>(0, 0, width, height), false, caption.c_str());
    window->setDraggable(false);
    window->getCloseButton()->setVisible(false);
    PlaceWindow(*window, width, height);
    return window;
}

void CScreen::PlaceWindow(irr::gui::IGUIWindow& window, int32_t width, int32_t height) const {
    const irr::core::rect<irr::s32> screen = m_gui.getRootGUIElement()->getAbsolutePosition();
    const int32_t x = std::clamp((kMapWidth - width) / 2, 0, std::max(screen.getWidth() - width, 0));
    const int32_t y = std::clamp((kMapHeight - height) / 2, 0, std::max(screen.getHeight() - height, 0));
    window.setRelativePosition(irr::core::rect<irr::s32>(x, y, x + width, y + height));
}

irr::gui::IGUIStaticText* CScreen::AddText(irr::gui::IGUIWindow& window, const std::wstring& text,
                                           const irr::core::rect<int32_t>& area) const {
    irr::gui::IGUIStaticText* element = m_gui.addStaticText(L"", area, false, true, &window);
    element->setWordWrap(true);
    FitText(*element, text, area);
    return element;
}

int32_t CScreen::FitText(irr::gui::IGUIStaticText& element, const std::wstring& text,
                         const irr::core::rect<int32_t>& area) {
    element.setRelativePosition(area);
    element.setText(text.c_str());
    const int32_t height = std::max(element.getTextHeight(), 0);
    element.setRelativePosition(irr::core::rect<irr::s32>(area.UpperLeftCorner.X, area.UpperLeftCorner.Y,
                                                          area.LowerRightCorner.X, area.UpperLeftCorner.Y + height));
    return height;
}
