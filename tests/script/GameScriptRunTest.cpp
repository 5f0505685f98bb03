// Running game scripts: conversations played by a fake window, the dialog
// words, the script types, item declarations and the global variables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Utf8.h"
#include "support/GameScriptFixture.h"

namespace gamescripttest {
namespace {

class GameScriptRun : public CGameScriptTest {};

using Texts = std::vector<std::wstring>;
using Windows = std::vector<CRecordingDisplay::TWindow>;

// Hello offers Work, trade and end; Work offers Fine and Hello; Fine offers
// nothing.
constexpr const wchar_t* kFlowScript =
    L"default action Hello {\n"
    L"    text = \"Witaj|Hello\"\n"
    L"    option \"Praca|Work\" Work\n"
    L"    option \"Handel|Trade\" trade\n"
    L"    option \"Bywaj|Bye\" end\n"
    L"}\n"
    L"action Work {\n"
    L"    text = \"Zbierz zioła|Gather herbs\"\n"
    L"    option \"Dobrze|Fine\" fine\n"
    L"    option \"Wróć|Back\" HELLO\n"
    L"}\n"
    L"action Fine {\n"
    L"    text = \"Dziękuję|Thanks\"\n"
    L"}\n";

TEST_F(GameScriptRun, ConversationsFollowTheAnswers) {
    const std::wstring hello = L"Witaj|Hello", work = L"Zbierz zioła|Gather herbs", fine = L"Dziękuję|Thanks";
    const struct {
        const char* what;
        std::deque<int32_t> answers;
        Texts shown;
        Windows windows;
    } cases[] = {
        {"ended at once", {}, {hello}, {}},
        {"ended by -1", {-1}, {hello}, {}},
        {"a dialog word", {1}, {hello}, {{kTradeWindow, 0, 0}}},
        {"the end word", {2}, {hello}, {}},
        {"to an action that has no options", {0, 0}, {hello, work, fine}, {}},
        {"ended in the second node", {0, -1}, {hello, work}, {}},
        {"back to the first node", {0, 1, 2}, {hello, work, hello}, {}},
        {"round and on", {0, 1, 0, 0}, {hello, work, hello, work, fine}, {}},
        {"round and trade", {0, 1, 1}, {hello, work, hello}, {{kTradeWindow, 0, 0}}},
        // An answer that names no option ends it.
        {"one past the last option", {3}, {hello}, {}},
        {"the last option of two", {0, 1, -1}, {hello, work, hello}, {}},
        {"one past the options of two", {0, 2}, {hello, work}, {}},
        {"below -1", {-2}, {hello}, {}},
    };
    for (const auto& c : cases) {
        CScript script;
        ASSERT_EQ(Parse(script, kFlowScript), -1);
        m_window.shown.clear();
        m_window.answers = c.answers;
        m_windows.clear();
        m_modalLoops = 0;
        EXPECT_EQ(Run(script, kScriptTypeConversation), -1) << c.what;
        EXPECT_EQ(ShownTexts(), c.shown) << c.what;
        EXPECT_EQ(m_windows, c.windows) << c.what;
        // One modal loop for each node shown.
        EXPECT_EQ(m_modalLoops, static_cast<int>(c.shown.size())) << c.what;
        // Each node shows its own action's answers only.
        for (const TDialogNode& node : m_window.shown) {
            const size_t options = node.text == hello ? 3 : node.text == work ? 2 : 0;
            EXPECT_EQ(node.options.size(), options) << c.what;
        }
    }
}

TEST_F(GameScriptRun, NodesCarryTheOptionsTextsTargetsAndCommands) {
    CScript script;
    ASSERT_EQ(Parse(script, kFlowScript), -1);
    m_window.answers = {0, -1};
    ASSERT_EQ(Run(script, kScriptTypeConversation), -1);
    ASSERT_EQ(m_window.shown.size(), 2u);
    // Commands: 0 Hello, 1 text, 2-4 options, 5 end, 6 brace, 7 Work, 8 text, 9-10 options.
    const std::vector<TDialogOption> hello = {
        {L"Praca|Work", L"Work", 2}, {L"Handel|Trade", L"trade", 3}, {L"Bywaj|Bye", L"end", 4}};
    const std::vector<TDialogOption> work = {{L"Dobrze|Fine", L"fine", 9}, {L"Wróć|Back", L"HELLO", 10}};
    EXPECT_EQ(m_window.shown[0].options, hello);
    EXPECT_EQ(m_window.shown[1].options, work);
}

// A conversation that ended without a choice leaves nothing for the next one.
TEST_F(GameScriptRun, EachConversationStartsAfresh) {
    CScript script;
    ASSERT_EQ(Parse(script, kFlowScript), -1);
    for (int round = 0; round < 3; ++round) {
        m_window.answers = {0, -1};
        ASSERT_EQ(Run(script, kScriptTypeConversation), -1);
    }
    ASSERT_EQ(m_window.shown.size(), 6u);
    for (size_t i = 0; i < 6; i += 2) {
        EXPECT_EQ(m_window.shown[i].options.size(), 3u) << i;
        EXPECT_EQ(m_window.shown[i + 1].options.size(), 2u) << i;
    }
    script.ResetRuntime();
    EXPECT_EQ(script.GetNode(), TDialogNode());
    for (const TCommand& command : script.GetParseResults().Commands()) {
        EXPECT_NE(command.kind, static_cast<uint32_t>(kCmdActionJump));
    }
}

// An action without a text of its own shows the last node's text, but only
// within its conversation: the next one starts without a text.
TEST_F(GameScriptRun, ANodeWithoutATextShowsTheLastOne) {
    CScript script;
    ASSERT_EQ(Parse(script,
                    L"default action A {\noption \"x|x\" B\n}\naction B {\ntext = \"b|b\"\n"
                    L"option \"y|y\" C\n}\naction C {\n}"),
              -1);
    for (int round = 0; round < 2; ++round) {
        m_window.answers = {0, 0};
        ASSERT_EQ(Run(script, kScriptTypeConversation), -1);
    }
    EXPECT_EQ(ShownTexts(), (Texts{L"", L"b|b", L"b|b", L"", L"b|b", L"b|b"}));
}

// The jump to an option's target is an action end again once the step has
// gone through; a step that failed leaves it until the next reset.
TEST_F(GameScriptRun, AJumpTurnsBackAfterItsStep) {
    const auto jumps = [](const CScript& script) {
        Texts targets;
        for (const TCommand& command : script.GetParseResults().Commands()) {
            if (command.kind == kCmdActionJump) {
                targets.push_back(command.name);
            }
        }
        return targets;
    };
    CScript script;
    // The check refuses "nowhere", and the script runs all the same.
    ASSERT_EQ(Parse(script,
                    L"default action A {\ntext = \"a|a\"\noption \"x|x\" B\noption \"y|y\" nowhere\n"
                    L"option \"z|z\" trade\n}\naction B {\ntext = \"b|b\"\n}"),
              61);
    const struct {
        std::deque<int32_t> answers;
        int code;
        Texts left;
    } cases[] = {
        {{0}, -1, {}},
        {{2}, -1, {}},
        {{1}, 61, {L"nowhere"}},
    };
    for (const auto& c : cases) {
        m_window.answers = c.answers;
        EXPECT_EQ(Run(script, kScriptTypeConversation), c.code);
        EXPECT_EQ(jumps(script), c.left);
    }
    script.ResetRuntime();
    EXPECT_EQ(jumps(script), Texts());
}

TEST_F(GameScriptRun, DialogWordsAskTheGame) {
    int here = 0;
    const struct {
        const wchar_t* word;
        bool located;
        Texts calls;
        Windows windows;
    } cases[] = {
        {L"end", false, {}, {}},
        {L"trade", false, {}, {{kTradeWindow, 0, 0}}},
        {L"Repair", false, {}, {{kInventoryWindow, kWindowModeRepair, 0}}},
        {L"cure", false, {L"Cure"}, {}},
        {L"CURE_LIMB", false, {L"CureLimb"}, {}},
        {L"companion_attack", false, {L"OrderCompanion 0 23 nowhere", L"KeepInputMode"}, {}},
        {L"companion_attack", true, {L"OrderCompanion 0 23 here", L"KeepInputMode"}, {}},
        {L"companion_wait", true, {L"OrderCompanion 1 24 here"}, {}},
        {L"Companion_Follow", false, {L"OrderCompanion 3 26 nowhere"}, {}},
        {L"bank_deposit", true, {L"BankTransaction 1 here"}, {}},
        {L"bank_withdraw", false, {L"BankTransaction 2 nowhere"}, {}},
        {L"bank", false, {}, {}}, // no bank script: nothing more
    };
    for (const auto& c : cases) {
        CScript script;
        ASSERT_EQ(Parse(script, L"default action A {\ntext = \"a|a\"\noption \"x|x\" " + std::wstring(c.word) +
                                    L"\noption \"y|y\" A\n}"),
                  -1);
        m_game.SetCurrentLoc(c.located ? reinterpret_cast<CLoc*>(&here) : nullptr);
        m_host.calls.clear();
        m_windows.clear();
        m_window.shown.clear();
        m_window.answers = {0, 0};
        EXPECT_EQ(Run(script, kScriptTypeConversation), -1) << platform::ToUtf8(c.word);
        EXPECT_EQ(m_host.calls, c.calls) << platform::ToUtf8(c.word);
        EXPECT_EQ(m_windows, c.windows) << platform::ToUtf8(c.word);
        // Every dialog word ends the conversation: the second answer is not asked.
        EXPECT_EQ(m_window.shown.size(), 1u) << platform::ToUtf8(c.word);
        EXPECT_EQ(m_window.answers.size(), 1u) << platform::ToUtf8(c.word);
    }
    m_game.SetCurrentLoc(nullptr);
}

// Without a game side a conversation shows nothing and ends at its first
// node's end, and dialog words do nothing.
TEST_F(GameScriptRun, WithoutTheGameAConversationEndsAtOnce) {
    SetScriptGame(nullptr);
    CScript script;
    ASSERT_EQ(Parse(script, L"default action A {\ntext = \"a|a\"\noption \"x|x\" A\n}"), -1);
    EXPECT_EQ(Run(script, kScriptTypeConversation), -1);
    EXPECT_EQ(script.GetNode().options.size(), 1u);
    m_host.window = nullptr;
    SetScriptGame(&m_host);
    EXPECT_EQ(Run(script, kScriptTypeConversation), -1);
    EXPECT_TRUE(m_window.shown.empty());
}

TEST_F(GameScriptRun, TheBankWordHoldsTheBanksConversation) {
    CScript bank;
    ASSERT_EQ(Parse(bank,
                    L"default action Counter {\ntext = \"Bank|Bank\"\noption \"Wpłata|Deposit\" bank_deposit\n"
                    L"option \"Nic|Nothing\" end\n}"),
              -1);
    m_host.bank = &bank;
    CScript script;
    ASSERT_EQ(Parse(script, L"default action A {\ntext = \"a|a\"\noption \"x|x\" bank\n}"), -1);
    const struct {
        std::deque<int32_t> answers;
        Texts shown;
        Texts calls;
    } cases[] = {
        {{0, 0}, {L"a|a", L"Bank|Bank"}, {L"BankTransaction 1 nowhere"}},
        {{0, 1}, {L"a|a", L"Bank|Bank"}, {}},
        {{0, -1}, {L"a|a", L"Bank|Bank"}, {}},
        {{-1}, {L"a|a"}, {}},
    };
    for (const auto& c : cases) {
        m_window.shown.clear();
        m_window.answers = c.answers;
        m_host.calls.clear();
        EXPECT_EQ(Run(script, kScriptTypeConversation), -1);
        EXPECT_EQ(ShownTexts(), c.shown);
        EXPECT_EQ(m_host.calls, c.calls);
        EXPECT_TRUE(m_window.answers.empty());
    }
}

// A bank that offers the bank again holds conversations inside each other:
// eight at once, no more.
TEST_F(GameScriptRun, ConversationsInsideEachOtherAreBounded) {
    CScript bank;
    ASSERT_EQ(Parse(bank, L"default action Counter {\ntext = \"Bank|Bank\"\noption \"Znowu|Again\" bank\n}"), -1);
    m_host.bank = &bank;
    const struct {
        size_t again; // answers that open the bank again
        int code;
        size_t shown;
    } cases[] = {{6, -1, 7}, {7, -1, 8}, {8, 2, 8}};
    for (const auto& c : cases) {
        m_window.shown.clear();
        m_window.answers.assign(c.again, 0);
        m_window.answers.push_back(-1);
        EXPECT_EQ(Run(bank, kScriptTypeConversation), c.code) << c.again;
        EXPECT_EQ(m_window.shown.size(), c.shown) << c.again;
    }
    EXPECT_EQ(m_errorDetails, L"conversation depth cap of 8 reached");
    // The count is back at nothing after an error.
    m_window.shown.clear();
    m_window.answers = {-1};
    EXPECT_EQ(Run(bank, kScriptTypeConversation), -1);
    EXPECT_EQ(m_window.shown.size(), 1u);
}

// A function called from an action returns into it: the action's end still
// shows its node.
TEST_F(GameScriptRun, AFunctionCalledFromAnActionReturnsIntoIt) {
    CScript script;
    ASSERT_EQ(Parse(script,
                    L"var calls = 0\n"
                    L"function Count() {\n"
                    L"    again:\n"
                    L"    incr calls\n"
                    L"    if (calls < 3) {\n"
                    L"        goto again\n"
                    L"    }\n"
                    L"    return 0\n"
                    L"}\n"
                    L"default action A {\n"
                    L"    Count()\n"
                    L"    text = \"a|a\"\n"
                    L"    option \"b|b\" B\n"
                    L"}\n"
                    L"action B {\n"
                    L"    text = \"b|b\"\n"
                    L"}\n"),
              -1);
    m_window.answers = {0};
    EXPECT_EQ(Run(script, kScriptTypeConversation), -1);
    EXPECT_EQ(ShownTexts(), (Texts{L"a|a", L"b|b"}));
    EXPECT_EQ(script.FindVariable(L"calls", false)->GetValue(), 3);
}

TEST_F(GameScriptRun, FlowStatementsAreRefusedInAnAction) {
    const struct {
        const char* what;
        const wchar_t* text;
        uint32_t line;
        int whole; // the same text run whole, outside any conversation
    } cases[] = {
        {"label", L"default action A {\ntext = null\nhere:\n}", 3, -1},
        {"goto", L"top:\ndefault action A {\ngoto top\n}", 3, 2}, // round and round until the budget ends it
        {"return", L"default action A {\nreturn 1\n}", 2, 34},    // no call to return from
        {"function", L"default action A {\nfunction F() {\n}\n}", 2, -1},
    };
    for (const auto& c : cases) {
        CScript script;
        ASSERT_EQ(Parse(script, c.text), -1) << c.what;
        EXPECT_EQ(Run(script, kScriptTypeConversation), 59) << c.what;
        EXPECT_EQ(m_errorLine, c.line) << c.what;
        EXPECT_EQ(m_errorFunction, L"CScript::ExecuteUnit") << c.what;
        script.SetStepBudget(1000);
        EXPECT_EQ(Run(script, kScriptTypeWhole), c.whole) << c.what;
    }
}

TEST_F(GameScriptRun, ScriptTypes) {
    const std::wstring text = L"var runs = 0\nincr runs\n";
    const struct {
        uint32_t type;
        int code;
        int64_t runs;
    } cases[] = {
        // 4: no LoadTradeProfile call; 6 and 7: no "Init" or "AfterStart".
        {0, -1, 1}, {1, 52, 0}, {2, -1, 1}, {3, -1, 1}, {4, -1, 0},    {5, -1, 0},
        {6, -1, 0}, {7, -1, 0}, {8, -1, 0}, {9, -1, 0}, {1000, -1, 0}, {0xFFFFFFFF, -1, 0},
    };
    for (const auto& c : cases) {
        CScript script;
        ASSERT_EQ(Parse(script, text), -1);
        EXPECT_EQ(Run(script, c.type), c.code) << c.type;
        EXPECT_EQ(script.FindVariable(L"runs", false)->GetValue(), c.runs) << c.type;
        if (c.code >= 0) {
            EXPECT_EQ(m_errorFunction, L"CScript::ExecuteScript") << c.type;
        }
        CScript unparsed;
        unparsed.LoadText(text, L"test.u");
        EXPECT_EQ(Run(unparsed, c.type), 2) << c.type;
        EXPECT_EQ(m_errorFunction, L"CScript::ExecuteScript") << c.type;
    }
}

// A run of the whole text steps over alarm blocks and runs each action's body
// in text order: the node gathers every text and option.
TEST_F(GameScriptRun, WholeTextRuns) {
    CScript alarms;
    ASSERT_EQ(Parse(alarms,
                    L"var seen = 0\nalarm Guards {\nGroupMemberAttacked \"watch\", attack\n"
                    L"incr seen\n}\nincr seen\n"),
              -1);
    for (uint32_t type : {kScriptTypeWhole, kScriptTypeDeclarations, kScriptTypeTradeProfile}) {
        EXPECT_EQ(Run(alarms, type), -1) << type;
        EXPECT_EQ(alarms.FindVariable(L"seen", false)->GetValue(), 1) << type;
        alarms.FindVariable(L"seen", false)->SetValue(0);
    }
    CScript flow;
    ASSERT_EQ(Parse(flow, kFlowScript), -1);
    EXPECT_EQ(Run(flow, kScriptTypeWhole), -1);
    EXPECT_TRUE(m_window.shown.empty());
    EXPECT_EQ(flow.GetNode().text, L"Dziękuję|Thanks");
    EXPECT_EQ(flow.GetNode().options.size(), 5u);
}

TEST_F(GameScriptRun, DefaultActionsMoveAndLast) {
    CScript script;
    ASSERT_EQ(Parse(script,
                    L"default action A {\ntext = \"a|a\"\noption \"b|b\" B\n}\n"
                    L"action B {\ntext = \"b|b\"\nSetDefaultAction c\noption \"c|c\" end\n}\n"
                    L"action C {\ntext = \"c|c\"\noption \"a|a\" end\n}\n"),
              -1);
    const struct {
        std::deque<int32_t> answers;
        Texts shown;
    } rounds[] = {
        {{-1}, {L"a|a"}},
        {{0, -1}, {L"a|a", L"b|b"}},
        {{-1}, {L"c|c"}}, // B made C the default
        {{-1}, {L"c|c"}},
    };
    for (const auto& r : rounds) {
        m_window.shown.clear();
        m_window.answers = r.answers;
        EXPECT_EQ(Run(script, kScriptTypeConversation), -1);
        EXPECT_EQ(ShownTexts(), r.shown);
    }
    std::vector<std::wstring> marks;
    for (const TCommand& command : script.GetParseResults().Commands()) {
        if (command.kind == kCmdAction) {
            marks.push_back(command.name + L":" + command.Arguments());
        }
    }
    EXPECT_EQ(marks, (Texts{L"A:", L"B:", L"C:default"}));
    // A new parse puts the mark back where the text has it.
    script.Reset();
    ASSERT_EQ(Parse(script, L"default action A {\ntext = \"a|a\"\n}\naction C {\n}"), -1);
    m_window.shown.clear();
    EXPECT_EQ(Run(script, kScriptTypeConversation), -1);
    EXPECT_EQ(ShownTexts(), (Texts{L"a|a"}));
}

TEST_F(GameScriptRun, ItemDeclarationsRunOncePerConversationAndAreKeptOnce) {
    CScript script;
    ASSERT_EQ(Parse(script,
                    L"item \"herbs\" \"herb\" 5 7 9\nitem \"pay\" \"#2\" 12 0 0\nitem \"pelt\" \"##wolf\" 1 0 0\n"
                    L"default action A {\ntext = null\n}"),
              -1);
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(Run(script, kScriptTypeConversation), -1);
        ASSERT_EQ(script.GetExtraData().items.size(), 3u) << round;
    }
    const struct {
        const wchar_t* alias;
        uint16_t type;
        uint32_t count, number;
        const wchar_t* name;
    } cases[] = {
        {L"HERBS", 1, 5, 7, L"herb"},
        {L"pay", 2, 12, 0, L"#2"},
        {L"Pelt", kCorpseBase + 0, 1, 0, L"##wolf"},
    };
    for (const auto& c : cases) {
        TQuestItem item;
        script.GetItemByAlias(c.alias, item);
        EXPECT_EQ(item.itemType, c.type) << platform::ToUtf8(c.alias);
        EXPECT_EQ(item.count, c.count) << platform::ToUtf8(c.alias);
        EXPECT_EQ(item.number, c.number) << platform::ToUtf8(c.alias);
        EXPECT_EQ(item.name, c.name) << platform::ToUtf8(c.alias);
        EXPECT_EQ(script.FindItemAlias(c.alias), c.name) << platform::ToUtf8(c.alias);
    }
    TQuestItem item;
    try {
        script.GetItemByAlias(L"herb", item);
        ADD_FAILURE() << "an undeclared alias was found";
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetCode(), 68u);
        EXPECT_EQ(e.GetFunction(), L"CScript::GetItemByAlias");
    }
    EXPECT_EQ(script.FindItemAlias(L"herb"), L"");
    // A whole-text run declares them too, still once.
    ASSERT_EQ(Run(script, kScriptTypeWhole), -1);
    EXPECT_EQ(script.GetExtraData().items.size(), 3u);
}

TEST_F(GameScriptRun, UnknownVariablesAreTheGlobalScripts) {
    CScript global;
    ASSERT_EQ(Parse(global, L"var Gold = 7\nvar Mine = 1\nprintln Gold\nprintln Mine"), -1);
    CScript::SetGlobalScript(&global);
    CScript script;
    ASSERT_EQ(Parse(script, L"var Mine = 5\nincr GOLD\nincr mine\n"), -1);
    ASSERT_EQ(Run(script, kScriptTypeWhole), -1);
    EXPECT_EQ(global.FindVariable(L"Gold", false)->GetValue(), 8);
    EXPECT_EQ(global.FindVariable(L"Mine", false)->GetValue(), 1); // the script's own hides it
    EXPECT_EQ(script.FindVariable(L"mine", false)->GetValue(), 6);
    EXPECT_EQ(script.FindVariable(L"gold", false), global.FindVariable(L"Gold", false));
    EXPECT_EQ(script.FindVariable(L"gold", true), nullptr);
    EXPECT_EQ(script.FindVariable(L"silver", false), nullptr);
    // The global script does not look in itself again.
    EXPECT_EQ(global.FindVariable(L"silver", false), nullptr);
    CScript wrong;
    ASSERT_EQ(Parse(wrong, L"incr silver"), -1);
    EXPECT_EQ(Run(wrong, kScriptTypeWhole), 32);
    CScript::SetGlobalScript(&wrong);
    EXPECT_EQ(Run(wrong, kScriptTypeWhole), 32);
}

// In a conversation, conditions read the global variables too.
TEST_F(GameScriptRun, ConditionsInActionsReadGlobals) {
    CScript global;
    ASSERT_EQ(Parse(global, L"var Quest = 0\nprintln Quest"), -1);
    CScript::SetGlobalScript(&global);
    CScript script;
    ASSERT_EQ(
        Parse(script, L"default action A {\nif (Quest == 0) {\ntext = \"no|no\"\n} else {\ntext = \"yes|yes\"\n}\n}"),
        -1);
    for (int64_t quest : {0, 1}) {
        global.FindVariable(L"Quest", false)->SetValue(quest);
        m_window.shown.clear();
        EXPECT_EQ(Run(script, kScriptTypeConversation), -1);
        EXPECT_EQ(ShownTexts(), (Texts{quest == 0 ? L"no|no" : L"yes|yes"}));
    }
}

// While the window waits the game goes on, and may put new global variables
// in place of the old ones: the conversation reads the new ones.
TEST_F(GameScriptRun, GlobalsReplacedWhileTheWindowWaitsAreReadAfresh) {
    CScript global;
    ASSERT_EQ(Parse(global, L"var Quest = 0\nprintln Quest"), -1);
    CScript::SetGlobalScript(&global);
    CScript script;
    ASSERT_EQ(Parse(script,
                    L"default action A {\nif (Quest == 0) {\ntext = \"zero|zero\"\n} else {\n"
                    L"text = \"other|other\"\n}\nincr Quest\noption \"n|n\" A\n}"),
              -1);
    int64_t next = 10;
    m_display->onModalLoop = [&] {
        global.SetDeclaredVariables({CVariable(L"Quest", static_cast<uint32_t>(next), 0, CVariable::kKindU32)});
        next = 0;
    };
    m_window.answers = {0, 0};
    EXPECT_EQ(Run(script, kScriptTypeConversation), -1);
    // 0 read, 1 written; then 10 put in place, 11 written; then 0 again.
    EXPECT_EQ(ShownTexts(), (Texts{L"zero|zero", L"other|other", L"zero|zero"}));
    EXPECT_EQ(global.FindVariable(L"Quest", false)->GetValue(), 0);
    m_display->onModalLoop = nullptr;
}

} // namespace
} // namespace gamescripttest
