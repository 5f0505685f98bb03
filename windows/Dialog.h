#pragma once
// The conversation window: one node of a conversation at a time, with its
// text in the display language, one answer button per option (the buttons
// that earlier nodes needed beyond those hidden) and the button that ends the
// conversation. What the player does in it (Choose, End) sets the answer that
// the conversation reads once the game's modal loop returns.
//
// The model stands on its own (the console display and the tests play it
// through Choose and End). Given a screen, the window is also there while a
// conversation runs: the player clicks an answer button or presses the
// option's number key (1 to 9), and the end button, End or Escape end the
// conversation.
#include <cstdint>
#include <string>
#include <vector>

#include "script/ScriptGame.h"
#include "windows/Screen.h"

class CScript;

namespace irr::gui {
class IGUIButton;
class IGUIStaticText;
class IGUIWindow;
} // namespace irr::gui

// The variant of a text whose variants are separated by "|", by language
// index; the first variant when the text has fewer.
std::wstring SelectTextVariant(const std::wstring& text, uint32_t index);

class CDialog final : public IConversationWindow, public IModalWindow {
public:
    struct TButton {
        std::wstring label;
        bool visible = false;

        bool operator==(const TButton&) const = default;
    };

    CDialog() = default;
    ~CDialog() override;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // The screen the window shows on from the next conversation on; null
    // keeps it to the model. An open window leaves the old screen first.
    void SetScreen(CScreen* screen);

    // The texts in the display language ("lang"); the end button's label is
    // the text of "STR_DLG_BTN_END". The answer is -1 until the player gives
    // one; until then the window waits.
    void ShowNode(const TDialogNode& node) override;
    int32_t GetAnswer() const override { return m_answer; }

    // The player takes a visible answer button; any other index changes nothing.
    void Choose(int32_t index);
    // The player ends the conversation without a choice.
    void End();

    // Opens the window and runs the script as a conversation; the window
    // closes when it ends, also by a script error, which passes on. A
    // conversation run from inside another keeps the one window.
    void RunScript(CScript& script);
    bool IsOpen() const { return m_open; }

    // On the screen: the answer buttons, the end button and the keys.
    bool OnEvent(const irr::SEvent& event) override;
    bool IsWaiting() const override { return m_waiting; }
    void Cancel() override { End(); }

    const std::wstring& GetText() const { return m_text; }
    const std::vector<TButton>& GetAnswerButtons() const { return m_buttons; }
    const std::wstring& GetEndLabel() const { return m_endLabel; }

    // The window's elements while it is on a screen; null otherwise.
    irr::gui::IGUIWindow* GetWindowElement() const { return m_window; }
    irr::gui::IGUIStaticText* GetTextElement() const { return m_textElement; }
    irr::gui::IGUIButton* GetAnswerElement(size_t index) const;
    irr::gui::IGUIButton* GetEndElement() const { return m_endButton; }

private:
    void Open();
    void Close();
    // The node as the model holds it, laid out in the window.
    void Layout();

    std::wstring m_text;
    std::vector<TButton> m_buttons;
    std::wstring m_endLabel;
    int32_t m_answer = -1;
    bool m_open = false;
    bool m_waiting = false;

    CScreen* m_screen = nullptr;
    irr::gui::IGUIWindow* m_window = nullptr;
    irr::gui::IGUIStaticText* m_textElement = nullptr;
    std::vector<irr::gui::IGUIButton*> m_answerElements;
    irr::gui::IGUIButton* m_endButton = nullptr;
};
