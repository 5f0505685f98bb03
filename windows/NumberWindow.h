#pragma once
// A window that asks the player for an amount: a caption, a prompt, a field
// of digits and the buttons OK and Cancel. Digits (either row of keys) are
// typed into the field, Backspace takes the last one back; Enter or OK
// accepts what the field holds (an empty field is 0), Escape or Cancel
// cancels. Keys answer as they go down, never as they come up. It is open
// from its making until it closes, and its elements go with the object.
#include <Keycodes.h>

#include <cstdint>
#include <optional>
#include <string>

#include "windows/Screen.h"

namespace irr::gui {
class IGUIButton;
class IGUIStaticText;
class IGUIWindow;
} // namespace irr::gui

struct TNumberWindowTexts {
    std::wstring caption;
    std::wstring prompt;
    std::wstring ok;
    std::wstring cancel;
};

class CNumberWindow final : public IModalWindow {
public:
    // The field holds at most this many digits, so any amount fits a u32.
    static constexpr size_t kMaxDigits = 9;

    // Opens on the screen, newest of its windows, with an empty field.
    CNumberWindow(CScreen& screen, const TNumberWindowTexts& texts);
    ~CNumberWindow() override;
    CNumberWindow(const CNumberWindow&) = delete;
    CNumberWindow& operator=(const CNumberWindow&) = delete;

    bool OnEvent(const irr::SEvent& event) override;
    bool IsWaiting() const override { return m_waiting; }
    // Closes it with no answer.
    void Cancel() override { Close(std::nullopt); }
    // The amount accepted; none while it waits or once it was cancelled.
    std::optional<uint32_t> GetAnswer() const { return m_answer; }
    // What the field shows: the digits typed, without leading zeros.
    const std::wstring& GetDigits() const { return m_digits; }

    irr::gui::IGUIWindow* GetWindow() const { return m_window; }
    irr::gui::IGUIStaticText* GetPrompt() const { return m_prompt; }
    irr::gui::IGUIStaticText* GetField() const { return m_field; }
    irr::gui::IGUIButton* GetOkButton() const { return m_ok; }
    irr::gui::IGUIButton* GetCancelButton() const { return m_cancel; }

private:
    // A key going down: true when it meant something here.
    bool OnKey(irr::EKEY_CODE key);
    void Type(wchar_t digit);
    void Accept();
    // Hidden and off the screen's list at once; the elements are removed
    // only with the object, never while the engine is handing on an event
    // of theirs.
    void Close(std::optional<uint32_t> answer);

    CScreen& m_screen;
    irr::gui::IGUIWindow* m_window = nullptr;
    irr::gui::IGUIStaticText* m_prompt = nullptr;
    irr::gui::IGUIStaticText* m_field = nullptr;
    irr::gui::IGUIButton* m_ok = nullptr;
    irr::gui::IGUIButton* m_cancel = nullptr;
    std::wstring m_digits;
    bool m_waiting = true;
    std::optional<uint32_t> m_answer;
};
