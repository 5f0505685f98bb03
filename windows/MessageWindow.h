#pragma once
// A message over the game's window: a caption, the text and a row of
// buttons, each with a key that presses it as well. A button closes it with
// its answer. It is open from its making until it closes, and its elements
// go with the object.
#include <Keycodes.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "windows/Screen.h"

namespace irr::gui {
class IGUIButton;
class IGUIStaticText;
class IGUIWindow;
} // namespace irr::gui

struct TMessageButton {
    std::wstring label;
    irr::EKEY_CODE key;
};

class CMessageWindow final : public IModalWindow {
public:
    // Opens on the screen, newest of its windows, with one button labelled
    // as the engine labels its own message boxes' button; Enter presses it.
    CMessageWindow(CScreen& screen, const std::wstring& caption, const std::wstring& text);
    // With these buttons in a row, in their order.
    CMessageWindow(CScreen& screen, const std::wstring& caption, const std::wstring& text,
                   const std::vector<TMessageButton>& buttons);
    ~CMessageWindow() override;
    CMessageWindow(const CMessageWindow&) = delete;
    CMessageWindow& operator=(const CMessageWindow&) = delete;

    // A button, or its key, closes it.
    bool OnEvent(const irr::SEvent& event) override;
    bool IsWaiting() const override { return m_waiting; }
    // Closes it with no answer.
    void Cancel() override { Close(std::nullopt); }
    // The index of the button that closed it; none while it waits or once
    // it was cancelled.
    std::optional<size_t> GetAnswer() const { return m_answer; }

    irr::gui::IGUIWindow* GetWindow() const { return m_window; }
    irr::gui::IGUIButton* GetButton(size_t index = 0) const { return m_buttons.at(index); }
    irr::gui::IGUIStaticText* GetText() const { return m_text; }

private:
    // Hidden and off the screen's list at once; the elements are removed
    // only with the object, never while the engine is handing on an event
    // of theirs.
    void Close(std::optional<size_t> answer);

    CScreen& m_screen;
    irr::gui::IGUIWindow* m_window = nullptr;
    irr::gui::IGUIStaticText* m_text = nullptr;
    std::vector<irr::gui::IGUIButton*> m_buttons;
    std::vector<irr::EKEY_CODE> m_keys;
    bool m_waiting = true;
    std::optional<size_t> m_answer;
};
