#pragma once
// A message over the game's window: a caption, the text and one button that
// closes it, as Enter does. It is open from its making until it closes, and
// its elements go with the object.
#include <string>

#include "windows/Screen.h"

namespace irr::gui {
class IGUIButton;
class IGUIStaticText;
class IGUIWindow;
} // namespace irr::gui

class CMessageWindow final : public IModalWindow {
public:
    // Opens on the screen, newest of its windows; the button is labelled
    // as the engine labels its own message boxes' button.
    CMessageWindow(CScreen& screen, const std::wstring& caption, const std::wstring& text);
    ~CMessageWindow() override;
    CMessageWindow(const CMessageWindow&) = delete;
    CMessageWindow& operator=(const CMessageWindow&) = delete;

    // Its button, or Enter, closes it.
    bool OnEvent(const irr::SEvent& event) override;
    bool IsWaiting() const override { return m_waiting; }
    void Cancel() override { Close(); }

    irr::gui::IGUIWindow* GetWindow() const { return m_window; }
    irr::gui::IGUIButton* GetButton() const { return m_button; }
    irr::gui::IGUIStaticText* GetText() const { return m_text; }

private:
    // Hidden and off the screen's list at once; the elements are removed
    // only with the object, never while the engine is handing on an event
    // of theirs.
    void Close();

    CScreen& m_screen;
    irr::gui::IGUIWindow* m_window = nullptr;
    irr::gui::IGUIStaticText* m_text = nullptr;
    irr::gui::IGUIButton* m_button = nullptr;
    bool m_waiting = true;
};
