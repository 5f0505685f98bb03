// The game script's statements as the parser reads them, and the checks it
// adds: codes, lines and the routine that reports them.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/Utf8.h"
#include "support/GameScriptFixture.h"

namespace gamescripttest {
namespace {

class GameScriptParse : public CGameScriptTest {};

struct TParseCase {
    const char* what;
    const wchar_t* text;
    int code; // -1: parses
    uint32_t line;
    const wchar_t* function;
};

constexpr const wchar_t* kUnit = L"CScript::ParseUnit";
constexpr const wchar_t* kParse = L"CScript::Parse";
constexpr const wchar_t* kBaseParse = L"CScriptBase::Parse";

// Two languages are configured ("pl|en").
const TParseCase kParseCases[] = {
    // default
    {"one default action", L"default action A {\n}\naction B {\n}", -1, 0, L""},
    {"second default", L"default action A {\n}\ndefault action B {\n}", 60, 3, kUnit},
    {"default before var", L"default\nvar x = 1", 54, 2, kUnit},
    {"default before text", L"default\ntext = null", 54, 2, kUnit},
    // action
    {"action without brace", L"action A\ntext = null\n}", 11, 2, kUnit},
    {"action brace for a name", L"action {\n}", 53, 1, kUnit},
    {"action at the end", L"action", 53, 1, kUnit},
    {"action name at the end", L"action A", 11, 1, kUnit},
    {"action in an action", L"action A {\naction B {\n}\n}", 55, 2, kUnit},
    {"action never closed", L"action A {\ntext = null", 30, 1, kBaseParse},
    {"two actions of one name", L"action Same {\n}\naction SAME {\n}", 63, 1, kParse},
    // text
    {"text null", L"action A {\ntext = null\n}", -1, 0, L""},
    {"text NULL", L"action A {\ntext = NULL\n}", -1, 0, L""},
    {"text outside an action", L"text = null", 57, 1, kUnit},
    {"text after its action", L"action A {\n}\ntext = null", 57, 3, kUnit},
    {"text without =", L"action A {\ntext \"a|b\"\n}", 7, 2, kUnit},
    {"text of a word", L"action A {\ntext = hello\n}", 3, 2, kUnit},
    {"text of nothing", L"action A {\ntext =", 3, 2, kUnit},
    {"text of one language", L"action A {\ntext = \"tylko\"\n}", 64, 2, kUnit},
    {"text of both languages", L"action A {\ntext = \"a|b\"\n}", -1, 0, L""},
    {"text of three variants", L"action A {\ntext = \"a|b|c\"\n}", -1, 0, L""},
    {"empty literal (no literal to the scanner)", L"action A {\ntext = \"\"\n}", 3, 2, kUnit},
    // option
    {"option outside an action", L"option \"a|b\" end", 58, 1, kUnit},
    {"option without its text", L"action A {\noption end\n}", 3, 2, kUnit},
    {"option of one language", L"action A {\noption \"a\" end\n}", 64, 2, kUnit},
    {"option without a target", L"action A {\noption \"a|b\"", 53, 2, kUnit},
    {"option to an action", L"action A {\noption \"a|b\" b\n}\naction B {\n}", -1, 0, L""},
    {"option to TRADE", L"action A {\noption \"a|b\" TRADE\n}", -1, 0, L""},
    {"option to nothing", L"action A {\ntext = null\noption \"a|b\" nowhere\n}", 61, 3, kParse},
    // item
    {"item", L"item \"a\" \"herb\" 1 2 3", -1, 0, L""},
    {"item by number", L"item \"a\" \"#2\" 1 0 0", -1, 0, L""},
    {"item of a monster", L"item \"##a\" \"##WOLF\" 1 0 0", -1, 0, L""},
    {"item in any case", L"item \"a\" \"HERB\" 1 0 0", -1, 0, L""},
    {"item in an action", L"action A {\nitem \"a\" \"herb\" 1 0 0\n}", -1, 0, L""},
    {"item of nothing known", L"// weeds\nitem \"a\" \"weed\" 1 0 0", 67, 2, kParse},
    {"item without alias", L"item herb", 3, 1, kUnit},
    {"item without value", L"item \"a\" herb", 3, 1, kUnit},
    {"item with two numbers", L"item \"a\" \"herb\" 1 2", 6, 1, kUnit},
    {"item with a word for a number", L"item \"a\" \"herb\" 1 2 x", 6, 1, kUnit},
    // SetDefaultAction
    {"SetDefaultAction", L"action A {\nSetDefaultAction A\n}", -1, 0, L""},
    {"SetDefaultAction without a name", L"SetDefaultAction", 54, 1, kUnit},
    // alarm
    {"alarm", L"alarm Guards {\nGroupMemberAttacked \"watch\", attack\n}", -1, 0, L""},
    {"alarm brace for a name", L"alarm {\n}", 53, 1, kUnit},
    {"alarm without brace", L"alarm Guards\n}", 11, 2, kUnit},
    {"alarm never closed", L"alarm Guards {", 30, 1, kBaseParse},
    {"attacked outside an alarm", L"GroupMemberAttacked \"watch\", attack", 1, 1, kUnit},
    // The alarm named last is the current one until the next parse.
    {"attacked after the alarm", L"alarm A {\n}\nGroupMemberAttacked \"watch\", attack", -1, 0, L""},
    {"attacked after a function", L"function F() {\n}\nGroupMemberAttacked \"watch\", attack", 1, 3, kUnit},
    {"attacked without a comma", L"alarm A {\nGroupMemberAttacked \"watch\" attack\n}", 1, 2, kUnit},
    {"attacked without a group", L"alarm A {\nGroupMemberAttacked watch\n}", 3, 2, kUnit},
    {"attacked without a reaction", L"alarm A {\nGroupMemberAttacked \"watch\" ,", 6, 2, kUnit},
    // the base's statements beside them
    {"goto in an action parses", L"top:\naction A {\ngoto top\n}", -1, 0, L""},
};

TEST_F(GameScriptParse, StatementsAndChecks) {
    for (const TParseCase& c : kParseCases) {
        CScript script;
        const int code = Parse(script, c.text);
        EXPECT_EQ(code, c.code) << c.what;
        if (c.code >= 0 && code == c.code) {
            EXPECT_EQ(m_errorLine, c.line) << c.what;
            EXPECT_EQ(m_errorFunction, c.function) << c.what;
        }
        // The checks after the parse leave the script parsed.
        EXPECT_EQ(script.IsParsed(), c.code < 0 || c.function == std::wstring(kParse)) << c.what;
    }
}

// Texts and options need one variant per configured language.
TEST_F(GameScriptParse, LanguageCountAtAndAroundTheLimit) {
    UseLanguages(L"pl|en|de", L"en");
    const struct {
        const wchar_t* literal;
        int code;
    } cases[] = {{L"a|b", 64}, {L"a|b|c", -1}, {L"a|b|c|d", -1}, {L"a||", -1}, {L"|", 64}};
    for (const auto& c : cases) {
        for (const std::wstring& statement :
             {L"text = \"" + std::wstring(c.literal) + L"\"", L"option \"" + std::wstring(c.literal) + L"\" end"}) {
            CScript script;
            EXPECT_EQ(Parse(script, L"action A {\n" + statement + L"\n}"), c.code) << platform::ToUtf8(statement);
        }
    }
}

// Without a game: no languages to count, no tables to look names up in.
TEST_F(GameScriptParse, WithoutAGameTextsAndNamesAreNotChecked) {
    g_gameData = nullptr;
    CScript script;
    EXPECT_EQ(Parse(script, L"item \"a\" \"weed\" 1 0 0\naction A {\ntext = \"one\"\n}"), -1);
}

struct TFields {
    uint32_t kind, argument, target, extra, block;
    std::wstring name, arguments;
    bool operator==(const TFields&) const = default;
};

void PrintTo(const TFields& f, std::ostream* out) {
    *out << f.kind << " " << f.argument << " " << f.target << " " << f.extra << " @" << f.block << " '"
         << platform::ToUtf8(f.name) << "' '" << platform::ToUtf8(f.arguments) << "'";
}

TEST_F(GameScriptParse, CommandFieldsOfEachStatement) {
    CScript script;
    ASSERT_EQ(Parse(script,
                    L"item \"herbs\" \"herb\" 5 7 9\n"
                    L"alarm Guards {\n"
                    L"    GroupMemberAttacked \"watch\", attack\n"
                    L"    GroupMemberAttacked \"dogs\", flee\n"
                    L"}\n"
                    L"default action Start {\n"
                    L"    text = \"Witaj|Hello\"\n"
                    L"    option \"Dalej|On\" Next\n"
                    L"    SetDefaultAction Next\n"
                    L"}\n"
                    L"action Next {\n"
                    L"    text = null\n"
                    L"}\n"),
              -1);
    std::vector<TFields> fields;
    for (const TCommand& c : script.GetParseResults().Commands()) {
        fields.push_back({c.kind, c.argument, c.kind == kCmdItem ? c.target : 0, c.kind == kCmdItem ? c.Extra() : 0,
                          c.block, c.name, c.Arguments()});
    }
    const std::vector<TFields> expected = {
        {38, 5, 7, 9, 0, L"herbs", L"herb"},
        {44, 0, 0, 0, 0, L"Guards", L""},
        {45, 1, 0, 0, 1, L"watch", L""},
        {45, 0, 0, 0, 1, L"dogs", L""},
        {2, 44, 0, 0, 0, L"", L""},
        {33, 0, 0, 0, 0, L"Start", L"default"},
        {36, 0, 0, 0, 1, L"Witaj|Hello", L""},
        {37, 0, 0, 0, 1, L"Dalej|On", L"Next"},
        {39, 0, 0, 0, 1, L"Next", L""},
        {35, 0, 0, 0, 0, L"", L""}, // made at the action's end
        {2, 35, 0, 0, 0, L"", L""},
        {33, 0, 0, 0, 0, L"Next", L""},
        {36, 0, 0, 0, 1, L"", L""},
        {35, 0, 0, 0, 0, L"", L""},
        {2, 35, 0, 0, 0, L"", L""},
        {32, 0, 0, 0, 0, L"", L""},
    };
    EXPECT_EQ(fields, expected);
    // The action's end stands where its closing brace begins.
    const std::vector<TCommand>& commands = script.GetParseResults().Commands();
    EXPECT_EQ(commands[9].textPosition, commands[10].textPosition);

    const std::vector<TAlarm> alarms = {
        TAlarm{L"Guards", 0, TAlarm::kPresetCounter, {{0, 1, L"watch"}, {0, 0, L"dogs"}}}};
    EXPECT_EQ(script.GetAlarms(), alarms);
    // A new parse after a reset declares them once.
    script.Reset();
    EXPECT_TRUE(script.GetAlarms().empty());
}

// An entry joins the alarm named last, even after its block has closed; a
// new parse starts without a current alarm.
TEST_F(GameScriptParse, AttackedEntriesJoinTheAlarmNamedLast) {
    CScript script;
    ASSERT_EQ(Parse(script,
                    L"alarm A {\n"
                    L"    GroupMemberAttacked \"watch\", attack\n"
                    L"}\n"
                    L"GroupMemberAttacked \"dogs\", flee\n"
                    L"alarm B {\n"
                    L"}\n"
                    L"default action Start {\n"
                    L"    if (1 == 1) {\n"
                    L"        GroupMemberAttacked \"crows\", ATTACK\n"
                    L"    }\n"
                    L"}\n"
                    L"GroupMemberAttacked \"rats\", attack\n"),
              -1);
    const std::vector<TAlarm> alarms = {
        TAlarm{L"A", 0, TAlarm::kPresetCounter, {{0, 1, L"watch"}, {0, 0, L"dogs"}}},
        TAlarm{L"B", 0, TAlarm::kPresetCounter, {{0, 1, L"crows"}, {0, 1, L"rats"}}},
    };
    EXPECT_EQ(script.GetAlarms(), alarms);
    // Parsed again without a reset: the alarms stand, the current name not.
    EXPECT_EQ(Parse(script, L"GroupMemberAttacked \"rats\", attack"), 1);
    EXPECT_EQ(m_errorLine, 1u);
}

TEST_F(GameScriptParse, MatchingCommandsOfGameBlocks) {
    CScript script;
    ASSERT_EQ(Parse(script,
                    L"alarm G {\n}\n"               // 0, 1
                    L"default action A {\n"         // 2
                    L"  if (1 == 1) {\n"            // 3
                    L"    text = \"a|b\"\n"         // 4
                    L"  }\n"                        // 5
                    L"  option \"a|b\" end\n"       // 6
                    L"  SetDefaultAction A\n"       // 7
                    L"  item \"x\" \"key\" 1 0 0\n" // 8
                    L"}\n"),                        // 9 (action end), 10
              -1);
    const struct {
        uint32_t start, kind;
        int32_t match;
    } cases[] = {
        {2, 33, 10}, {9, 35, 10}, {0, 44, 1},  {3, 3, 5},   {4, 36, -1}, {6, 37, -1},
        {8, 38, -1}, {7, 39, -1}, {2, 34, -1}, {0, 45, -1}, {2, 40, -1}, {2, 43, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(script.FindMatchingCommand(c.start, c.kind), c.match) << c.start << " " << c.kind;
    }
}

// The "default" that a failed parse leaves waiting is every script's: it must
// not fail the next parse, of this script or another.
TEST_F(GameScriptParse, AWaitingDefaultDoesNotReachTheNextParse) {
    const struct {
        const wchar_t* text;
        int code;
    } firsts[] = {{L"default\nvar x = 1", 54}, {L"default", -1}};
    for (const auto& first : firsts) {
        CScript script;
        EXPECT_EQ(Parse(script, first.text), first.code) << platform::ToUtf8(first.text);
        CScript other;
        EXPECT_EQ(Parse(other, L"var y = 2\nprintln y"), -1) << platform::ToUtf8(first.text);
    }
}

// A script that fails a game check is parsed all the same and runs; an option
// that names nothing is refused when it is chosen.
TEST_F(GameScriptParse, FailedGameChecksLeaveTheScriptRunnable) {
    const std::wstring nowhere =
        L"default action A {\ntext = \"a|a\"\noption \"x|x\" nowhere\noption \"y|y\" B\n}\n"
        L"action B {\ntext = \"b|b\"\n}";
    const std::wstring twice =
        L"default action A {\ntext = \"a|a\"\noption \"x|x\" b\n}\n"
        L"action B {\ntext = \"b|b\"\n}\naction b {\ntext = \"c|c\"\n}";
    const std::wstring weed = L"item \"w\" \"weed\" 1 0 0\ndefault action A {\ntext = \"a|a\"\n}";
    const struct {
        const char* what;
        const std::wstring& text;
        int parseCode;
        std::deque<int32_t> answers;
        int runCode;
        uint32_t runLine;
        std::vector<std::wstring> shown;
    } cases[] = {
        {"option to nothing, another chosen", nowhere, 61, {1, -1}, -1, 0, {L"a|a", L"b|b"}},
        {"option to nothing, ended", nowhere, 61, {-1}, -1, 0, {L"a|a"}},
        // Refused at the action's end, where the jump stands.
        {"option to nothing, chosen", nowhere, 61, {0}, 61, 5, {L"a|a"}},
        {"two actions of one name: the first", twice, 63, {0, -1}, -1, 0, {L"a|a", L"b|b"}},
        {"an item of nothing known", weed, 67, {}, -1, 0, {L"a|a"}},
    };
    for (const auto& c : cases) {
        CScript script;
        ASSERT_EQ(Parse(script, c.text), c.parseCode) << c.what;
        EXPECT_TRUE(script.IsParsed()) << c.what;
        EXPECT_TRUE(script.IsDialogScript()) << c.what;
        m_window.shown.clear();
        m_window.answers = c.answers;
        EXPECT_EQ(Run(script, kScriptTypeConversation), c.runCode) << c.what;
        if (c.runCode >= 0) {
            EXPECT_EQ(m_errorLine, c.runLine) << c.what;
            EXPECT_EQ(m_errorFunction, L"CScript::ExecuteUnit") << c.what;
        }
        std::vector<std::wstring> shown;
        for (const TDialogNode& node : m_window.shown) {
            shown.push_back(node.text);
        }
        EXPECT_EQ(shown, c.shown) << c.what;
        EXPECT_EQ(Run(script, kScriptTypeWhole), -1) << c.what;
    }
}

TEST_F(GameScriptParse, DialogScriptsHaveAGameStatement) {
    const struct {
        const wchar_t* text;
        bool dialog;
    } cases[] = {
        {L"var x = 1\nif (x == 1) {\nprintln x\n}\nfunction F() {\nreturn 2\n}", false},
        {L"", false},
        {L"item \"a\" \"key\" 1 0 0", true},
        {L"SetDefaultAction A", true},
        {L"alarm G {\n}", true},
        {L"action A {\n}", true},
    };
    for (const auto& c : cases) {
        CScript script;
        ASSERT_EQ(Parse(script, c.text), -1) << platform::ToUtf8(c.text);
        EXPECT_EQ(script.IsDialogScript(), c.dialog) << platform::ToUtf8(c.text);
    }
    CScript unparsed;
    unparsed.LoadText(L"action A {\n}", L"test.u");
    try {
        unparsed.IsDialogScript();
        ADD_FAILURE() << "an unparsed script answered";
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetCode(), 2u);
    }
}

} // namespace
} // namespace gamescripttest
