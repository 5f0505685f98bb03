// The conversation window: the text variant of the display language, its
// buttons, the answer, and a conversation played through it.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Utf8.h"
#include "support/Events.h"
#include "support/GameScriptFixture.h"
#include "windows/Dialog.h"
#include "windows/ScreenFixture.h"

namespace {

using gamescripttest::CGameScriptTest;
using Texts = std::vector<std::wstring>;

TEST(TextVariant, ByLanguageIndex) {
    const struct {
        const wchar_t* text;
        uint32_t index;
        const wchar_t* variant;
    } cases[] = {
        {L"Witaj|Hello", 0, L"Witaj"},
        {L"Witaj|Hello", 1, L"Hello"},
        {L"a|b|c", 2, L"c"},
        {L"a|b|c", 1, L"b"},
        // Fewer variants than the index asks for: the first.
        {L"a|b", 2, L"a"},
        {L"a|b|c", 3, L"a"},
        {L"only", 1, L"only"},
        {L"only", 0, L"only"},
        {L"", 0, L""},
        {L"", 1, L""},
        // Empty variants are variants.
        {L"a||c", 1, L""},
        {L"|b", 0, L""},
        {L"a|", 1, L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SelectTextVariant(c.text, c.index), c.variant) << platform::ToUtf8(c.text) << " " << c.index;
    }
}

class DialogWindow : public CGameScriptTest {
protected:
    void SetUp() override {
        CGameScriptTest::SetUp();
        m_game.GetStrings().AddString(L"Zakończ|End conversation", L"STR_DLG_BTN_END");
    }

    static TDialogNode Node(const std::wstring& text, const Texts& options) {
        TDialogNode node;
        node.text = text;
        for (const std::wstring& option : options) {
            node.options.push_back(TDialogOption{option, L"end", 0});
        }
        return node;
    }
    static Texts Labels(const CDialog& dialog, bool visible) {
        Texts labels;
        for (const CDialog::TButton& button : dialog.GetAnswerButtons()) {
            if (button.visible == visible) {
                labels.push_back(button.label);
            }
        }
        return labels;
    }
};

TEST_F(DialogWindow, ShowsTheDisplayLanguagesVariant) {
    const struct {
        const wchar_t* languages;
        const wchar_t* display;
        const wchar_t* text;
        Texts labels;
    } cases[] = {
        {L"pl|en", L"en", L"Hello", {L"Yes", L"No", L"Maybe"}},
        {L"pl|en", L"pl", L"Witaj", {L"Tak", L"Nie", L"Może"}},
        {L"pl|en", L"EN", L"Hello", {L"Yes", L"No", L"Maybe"}},
        {L"en|pl", L"pl", L"Hello", {L"Yes", L"No", L"Maybe"}},
        {L"pl|en|de", L"de", L"Witaj", {L"Tak", L"Nie", L"Vielleicht"}},
    };
    for (const auto& c : cases) {
        UseLanguages(c.languages, c.display);
        CDialog dialog;
        dialog.ShowNode(Node(L"Witaj|Hello", {L"Tak|Yes", L"Nie|No", L"Może|Maybe|Vielleicht"}));
        EXPECT_EQ(dialog.GetText(), c.text) << platform::ToUtf8(c.display);
        EXPECT_EQ(Labels(dialog, true), c.labels) << platform::ToUtf8(c.display);
        // The string's own text, whole: the strings are in one language.
        EXPECT_EQ(dialog.GetEndLabel(), L"Zakończ|End conversation");
    }
}

TEST_F(DialogWindow, ButtonsBeyondTheOptionsAreHidden) {
    CDialog dialog;
    const struct {
        Texts options;
        Texts visible;
        size_t hidden;
    } nodes[] = {
        {{L"a|A", L"b|B", L"c|C"}, {L"A", L"B", L"C"}, 0},
        {{L"d|D"}, {L"D"}, 2},
        {{}, {}, 3},
        {{L"e|E", L"f|F", L"g|G", L"h|H"}, {L"E", L"F", L"G", L"H"}, 0},
    };
    for (const auto& n : nodes) {
        dialog.ShowNode(Node(L"t|T", n.options));
        EXPECT_EQ(Labels(dialog, true), n.visible);
        EXPECT_EQ(Labels(dialog, false), Texts(n.hidden, L""));
    }
}

TEST_F(DialogWindow, TheAnswerIsAVisibleButtonOrNone) {
    CDialog dialog;
    EXPECT_EQ(dialog.GetAnswer(), -1);
    dialog.ShowNode(Node(L"t|T", {L"a|A", L"b|B", L"c|C"}));
    dialog.ShowNode(Node(L"t|T", {L"a|A", L"b|B"}));
    const struct {
        int32_t chosen;
        int32_t answer;
    } cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 1}, {-1, 1}, {-2, 1}, {0, 0}};
    for (const auto& c : cases) {
        dialog.Choose(c.chosen);
        EXPECT_EQ(dialog.GetAnswer(), c.answer) << c.chosen;
    }
    dialog.End();
    EXPECT_EQ(dialog.GetAnswer(), -1);
    // A new node waits for a new answer.
    dialog.Choose(1);
    dialog.ShowNode(Node(L"t|T", {L"a|A", L"b|B"}));
    EXPECT_EQ(dialog.GetAnswer(), -1);
}

// A modal loop in which the player clicks: each run takes the next action.
class CClickingDisplay final : public IGameDisplay {
public:
    void AddMessage(const std::wstring&, uint32_t, bool) override {}
    void ShowMessage(const std::wstring&, uint32_t) override {}
    void ShowImportantMessage(const std::wstring&, const std::wstring&, bool) override {}
    void OpenWindow(uint32_t, uint32_t, uint32_t) override {}
    void SetInputMode(uint32_t) override {}
    void Draw() override {}
    void CenterView() override {}
    void UpdateAutomapImage() override {}
    void RunModalLoop() override {
        if (!clicks.empty()) {
            clicks.front()();
            clicks.pop_front();
        }
    }
    bool HasWindow() const override { return true; }
    void ShowMessageBox(const std::wstring&) override {}

    std::deque<std::function<void()>> clicks;
};

TEST_F(DialogWindow, AConversationIsPlayedThroughIt) {
    CDialog dialog;
    m_host.window = &dialog;
    auto display = std::make_unique<CClickingDisplay>();
    CClickingDisplay& clicking = *display;
    m_game.SetDisplay(std::move(display));
    CScript script;
    ASSERT_EQ(Parse(script,
                    L"default action Hello {\n"
                    L"    text = \"Witaj|Hello\"\n"
                    L"    option \"Dalej|Go on\" More\n"
                    L"    option \"Koniec|Stop\" end\n"
                    L"}\n"
                    L"action More {\n"
                    L"    text = \"Więcej|More\"\n"
                    L"    option \"Wróć|Back\" Hello\n"
                    L"}\n"),
              -1);
    Texts seen;
    std::vector<bool> open;
    auto click = [&](int32_t index) {
        return [&, index] {
            seen.push_back(dialog.GetText() + L": " + Labels(dialog, true).front());
            open.push_back(dialog.IsOpen());
            index < 0 ? dialog.End() : dialog.Choose(index);
        };
    };
    clicking.clicks = {click(0), click(0), click(1)};
    dialog.RunScript(script);
    EXPECT_EQ(seen, (Texts{L"Hello: Go on", L"More: Back", L"Hello: Go on"}));
    EXPECT_EQ(open, (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(dialog.IsOpen());

    // Ended with the end button in the second node.
    seen.clear();
    clicking.clicks = {click(0), click(-1)};
    dialog.RunScript(script);
    EXPECT_EQ(seen, (Texts{L"Hello: Go on", L"More: Back"}));
    EXPECT_TRUE(clicking.clicks.empty());

    // A script error passes on and the window closes.
    CScript broken;
    ASSERT_EQ(Parse(broken, L"action NotDefault {\n}"), -1);
    EXPECT_THROW(dialog.RunScript(broken), CScriptException);
    EXPECT_FALSE(dialog.IsOpen());
}

// On a screen the window shows while the conversation runs: number keys and
// clicks answer, the end button, End and Escape end it.
class DialogOnScreen : public DialogWindow, protected windowstest::ScreenFixture {
protected:
    void SetUp() override {
        DialogWindow::SetUp();
        m_dialog.SetScreen(&m_screen);
        m_host.window = &m_dialog;
        auto display = std::make_unique<CClickingDisplay>();
        m_clicking = display.get();
        m_game.SetDisplay(std::move(display));
        ASSERT_EQ(Parse(m_script,
                        L"default action Hello {\n"
                        L"    text = \"Witaj|Hello\"\n"
                        L"    option \"Tak|Yes\" More\n"
                        L"    option \"Nie|No\" end\n"
                        L"    option \"Może|Maybe\" end\n"
                        L"}\n"
                        L"action More {\n"
                        L"    text = \"Więcej|More\"\n"
                        L"    option \"Wróć|Back\" end\n"
                        L"}\n"),
                  -1);
    }
    void TearDown() override {
        m_dialog.SetScreen(nullptr);
        DialogWindow::TearDown();
    }

    CDialog m_dialog;
    CScript m_script;
    CClickingDisplay* m_clicking = nullptr;
};

TEST_F(DialogOnScreen, KeysAndClicksAnswer) {
    using testsupport::PostClick;
    using testsupport::PostKey;
    using Input = std::function<void(irr::IrrlichtDevice&, CDialog&)>;
    const auto key = [](irr::EKEY_CODE code) { return [code](irr::IrrlichtDevice& d, CDialog&) { PostKey(d, code); }; };
    const auto click = [](size_t i) {
        return [i](irr::IrrlichtDevice& d, CDialog& dialog) { PostClick(d, *dialog.GetAnswerElement(i)); };
    };
    const struct {
        const char* what;
        Input input;
        bool waiting;
        int32_t answer;
    } cases[] = {
        {"key 2", key(irr::KEY_KEY_2), false, 1},
        {"key 3 of the number pad", key(irr::KEY_NUMPAD3), false, 2},
        {"key 4: no such option", key(irr::KEY_KEY_4), true, -1},
        {"a letter", key(irr::KEY_KEY_A), true, -1},
        {"a click on the second", click(1), false, 1},
        {"the end button", [](irr::IrrlichtDevice& d, CDialog& dialog) { PostClick(d, *dialog.GetEndElement()); },
         false, -1},
        {"End", key(irr::KEY_END), false, -1},
        {"Escape", key(irr::KEY_ESCAPE), false, -1},
        // The key that answered the window before comes up now: nothing.
        {"key 2 let go alone",
         [](irr::IrrlichtDevice& d, CDialog&) { testsupport::PostKeyEvent(d, irr::KEY_KEY_2, false); }, true, -1},
        {"Escape let go alone",
         [](irr::IrrlichtDevice& d, CDialog&) { testsupport::PostKeyEvent(d, irr::KEY_ESCAPE, false); }, true, -1},
    };
    const size_t before = Elements();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bool waiting = false;
        int32_t answer = -2;
        m_clicking->clicks = {[&] {
            ASSERT_NE(m_dialog.GetWindowElement(), nullptr);
            EXPECT_EQ(m_screen.GetTop(), &m_dialog);
            EXPECT_EQ(std::wstring(m_dialog.GetEndElement()->getText()), L"Zakończ|End conversation");
            c.input(*m_device, m_dialog);
            waiting = m_dialog.IsWaiting();
            answer = m_dialog.GetAnswer();
            m_dialog.End();
        }};
        m_dialog.RunScript(m_script);
        EXPECT_EQ(waiting, c.waiting);
        EXPECT_EQ(answer, c.answer);
        // The window goes when the conversation ends.
        EXPECT_EQ(m_dialog.GetWindowElement(), nullptr);
        EXPECT_EQ(m_screen.GetTop(), nullptr);
        EXPECT_EQ(Elements(), before);
    }
}

TEST_F(DialogOnScreen, ShowsTheNodeAndHidesTheButtonsBeyondIt) {
    std::vector<Texts> seen;
    auto look = [&](irr::EKEY_CODE code) {
        return [&, code] {
            Texts shown{m_dialog.GetTextElement()->getText(), m_dialog.GetEndElement()->getText()};
            for (size_t i = 0; m_dialog.GetAnswerElement(i) != nullptr; ++i) {
                irr::gui::IGUIButton& button = *m_dialog.GetAnswerElement(i);
                shown.push_back(button.isVisible() ? std::wstring(button.getText()) : L"-");
            }
            seen.push_back(shown);
            testsupport::PostKey(*m_device, code);
        };
    };
    m_clicking->clicks = {look(irr::KEY_KEY_1), look(irr::KEY_KEY_1)};
    m_dialog.RunScript(m_script);
    EXPECT_EQ(seen, (std::vector<Texts>{{L"Hello", L"Zakończ|End conversation", L"Yes", L"No", L"Maybe"},
                                        {L"More", L"Zakończ|End conversation", L"Back", L"-", L"-"}}));
}

} // namespace
