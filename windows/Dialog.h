#pragma once
// The conversation window: one node of a conversation at a time, with its
// text in the display language, one answer button per option (the buttons
// that earlier nodes needed beyond those hidden) and the button that ends the
// conversation. What the player does in it (Choose, End) sets the answer that
// the conversation reads once the game's modal loop returns.
#include <cstdint>
#include <string>
#include <vector>

#include "script/ScriptGame.h"

class CScript;

// The variant of a text whose variants are separated by "|", by language
// index; the first variant when the text has fewer.
std::wstring SelectTextVariant(const std::wstring& text, uint32_t index);

class CDialog final : public IConversationWindow {
public:
    struct TButton {
        std::wstring label;
        bool visible = false;

        bool operator==(const TButton&) const = default;
    };

    // The texts in the display language ("lang"); the end button's label is
    // the text of "STR_DLG_BTN_END". The answer is -1 until the player gives one.
    void ShowNode(const TDialogNode& node) override;
    int32_t GetAnswer() const override { return m_answer; }

    // The player takes a visible answer button; any other index changes nothing.
    void Choose(int32_t index);
    // The player ends the conversation without a choice.
    void End() { m_answer = -1; }

    // Opens the window and runs the script as a conversation; the window
    // closes when it ends, also by a script error, which passes on.
    void RunScript(CScript& script);
    bool IsOpen() const { return m_open; }

    const std::wstring& GetText() const { return m_text; }
    const std::vector<TButton>& GetAnswerButtons() const { return m_buttons; }
    const std::wstring& GetEndLabel() const { return m_endLabel; }

private:
    std::wstring m_text;
    std::vector<TButton> m_buttons;
    std::wstring m_endLabel;
    int32_t m_answer = -1;
    bool m_open = false;
};
