#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "platform/Console.h"
#include "script/ParserCore.h"
#include "script/ScriptException.h"
#include "support/TextConsole.h"

namespace {

constexpr uint32_t kEnd = CParserCore::kEndOfText;

CParserCore Scanner(const std::wstring& text) {
    CParserCore parser;
    parser.LoadText(text, L"test.u");
    return parser;
}

std::vector<std::wstring> AllWords(CParserCore& parser, uint32_t comma) {
    std::vector<std::wstring> words;
    // A bound, so a scanner that stops moving fails instead of hanging.
    for (int i = 0; i < 100 && parser.GetWord(comma); ++i) {
        words.push_back(parser.GetToken());
    }
    return words;
}

uint32_t ScriptErrorCode(const std::function<void()>& action) {
    try {
        action();
    } catch (const CScriptException& e) {
        return e.GetCode();
    }
    return 0xFFFFFFFF;
}

TEST(ParserCoreTest, GetWordSplitsTheText) {
    struct Case {
        const wchar_t* text;
        uint32_t comma;
        std::vector<std::wstring> words;
    };
    const Case cases[] = {
        {L"a , b", 1, {L"a", L"b"}},
        {L"a , b", 0, {L"a", L",", L"b"}},
        {L"a,b", 0, {L"a,b"}},
        {L"foo(x)", 0, {L"foo", L"x"}},
        {L"\t\r\n  ", 0, {}},
        {L"", 0, {}},
        {L"// only a comment\nfoo", 0, {L"foo"}},
        {L"a // trailing words\r\nb", 0, {L"a", L"b"}},
        // The comment word ends on the line break itself.
        {L"//x\nfoo\nbar", 0, {L"foo", L"bar"}},
        {L"//x\r\n\r\n//y\rfoo", 0, {L"foo"}},
        {L"a\n// last line", 0, {L"a"}},
        // The last word without a line break is read once, whole.
        {L"if x\n}", 0, {L"if", L"x", L"}"}},
        {L"word", 0, {L"word"}},
    };
    for (const Case& c : cases) {
        CParserCore parser = Scanner(c.text);
        EXPECT_EQ(AllWords(parser, c.comma), c.words) << c.text;
        EXPECT_EQ(parser.GetPosition(), kEnd) << c.text;
        EXPECT_EQ(parser.GetToken(), L"") << c.text;
    }
}

TEST(ParserCoreTest, GetWordPositionAndTokenStart) {
    CParserCore parser = Scanner(L"  ab  cd");
    ASSERT_TRUE(parser.GetWord(0));
    EXPECT_EQ(parser.GetTokenStart(), 2u);
    EXPECT_EQ(parser.GetPosition(), 4u); // on the delimiter after the word
    ASSERT_TRUE(parser.GetWord(0));
    EXPECT_EQ(parser.GetTokenStart(), 6u);
    EXPECT_EQ(parser.GetPosition(), kEnd);
    EXPECT_FALSE(parser.GetWord(0));
}

TEST(ParserCoreTest, LongRunOfCommentLinesIsSkipped) {
    std::wstring text;
    for (int i = 0; i < 200000; ++i) {
        text += L"// comment\n";
    }
    CParserCore parser = Scanner(text + L"end");
    ASSERT_TRUE(parser.GetWord(0));
    EXPECT_EQ(parser.GetToken(), L"end");
    EXPECT_EQ(parser.GetLineNumber(), 200001u);
}

TEST(ParserCoreTest, LineNumbersAgreeForEveryLineEnd) {
    // Words on lines 1, 2, 4 and 6 (line 3 blank, line 5 a comment).
    for (const std::wstring eol : {L"\r\n", L"\n", L"\r"}) {
        CParserCore parser = Scanner(L"a" + eol + L"b" + eol + eol + L"c" + eol + L"// x" + eol + L"d");
        std::vector<uint32_t> lines;
        while (parser.GetWord(0)) {
            lines.push_back(parser.GetLineNumber());
        }
        EXPECT_EQ(lines, (std::vector<uint32_t>{1, 2, 4, 6})) << eol.size();
    }
    EXPECT_EQ(Scanner(L"").GetLineNumber(), 0u);
    EXPECT_EQ(Scanner(L"x").GetLineNumber(), 1u);
    CParserCore parser = Scanner(L"\n\nx");
    parser.SetTokenStart(1000); // beyond the text: counts the whole text
    EXPECT_EQ(parser.GetLineNumber(), 3u);
}

TEST(ParserCoreTest, ReleasedTextKeepsTheLineOfEveryPosition) {
    // Past a checkpoint (64 breaks), gaps of one, two and three bytes, every
    // kind of line end, and texts without any.
    std::wstring many;
    for (int i = 0; i < 150; ++i) {
        many += i % 3 == 0 ? L"a\r\n" : i % 3 == 1 ? L"\n" : L"bc\r";
    }
    const std::wstring texts[] = {
        L"",
        L"x",
        L"\n",
        L"\r\n",
        L"\n\r",
        L"\r\r\n\n",
        many + std::wstring(200, L'y') + L"\n" + std::wstring(20000, L'z') + L"\r\nend",
    };
    for (const std::wstring& text : texts) {
        CParserCore kept = Scanner(text);
        CParserCore released = Scanner(text);
        released.ReleaseText();
        EXPECT_EQ(released.GetTextSize(), 0u);
        for (uint32_t position = 0; position <= text.size() + 2; ++position) {
            kept.SetTokenStart(position);
            released.SetTokenStart(position);
            ASSERT_EQ(released.GetLineNumber(), kept.GetLineNumber()) << text.size() << " at " << position;
        }
        kept.SetTokenStart(kEnd);
        released.SetTokenStart(kEnd);
        EXPECT_EQ(released.GetLineNumber(), kept.GetLineNumber()) << text.size();
    }
    CParserCore released = Scanner(many);
    released.ReleaseText();
    released.SetTokenStart(1000);
    EXPECT_EQ(released.GetLineNumber(), 151u);
    // Loading a text again counts in it.
    released.LoadText(L"\n\nx", L"test.u");
    EXPECT_EQ(released.GetLineNumber(), 3u);
}

TEST(ParserCoreTest, GetNumber) {
    struct Case {
        const wchar_t* text;
        bool ok;
        uint32_t number;
        const wchar_t* token;
        uint32_t position;
    };
    const Case cases[] = {
        {L"12abc next", true, 12, L"12abc", 5},
        {L"abc next", false, 0, L"old", 3},
        {L"0 ", true, 0, L"0", 1},
        {L"00 ", false, 0, L"old", 2},
        {L"  7\n", true, 7, L"7", 3},
        {L"123", true, 123, L"123", kEnd},
        {L"// note\n42\n", true, 42, L"42", 10},
        {L"// note", false, 0, L"//", kEnd},
        {L" \r\n", false, 0, L"old", kEnd},
    };
    for (const Case& c : cases) {
        CParserCore parser = Scanner(c.text);
        parser.SetToken(L"old");
        EXPECT_EQ(parser.GetNumber(), c.ok) << c.text;
        EXPECT_EQ(parser.GetLastNumber(), c.number) << c.text;
        EXPECT_EQ(parser.GetToken(), c.token) << c.text;
        EXPECT_EQ(parser.GetPosition(), c.position) << c.text;
    }
}

TEST(ParserCoreTest, GetExpressionDoesNotMove) {
    struct Case {
        const wchar_t* text;
        const wchar_t* expression;
    };
    const Case cases[] = {
        {L"  ( 1 + 2 ) next", L"(1+2)"},
        {L"(a, \"b\") x", L"(a,\"b\")"},
        {L"foo ( a ) x", L"foo"},
        {L"(( )) x", L"(())x"},
        {L"", L""},
    };
    for (const Case& c : cases) {
        CParserCore parser = Scanner(c.text);
        EXPECT_EQ(parser.GetExpression(), c.expression) << c.text;
        EXPECT_EQ(parser.GetPosition(), 0u);
    }
    CParserCore parser = Scanner(L"(x)");
    parser.SetPosition(kEnd);
    EXPECT_EQ(parser.GetExpression(), L"");
}

TEST(ParserCoreTest, StepBack) {
    CParserCore parser = Scanner(L"var x 55");
    ASSERT_EQ(AllWords(parser, 0).size(), 3u);
    ASSERT_EQ(parser.GetPosition(), kEnd);
    parser.StepBack(); // from a used-up text: before the last word
    EXPECT_EQ(parser.GetPosition(), 5u);
    EXPECT_EQ(parser.GetTokenStart(), 5u);
    ASSERT_TRUE(parser.GetNumber());
    EXPECT_EQ(parser.GetLastNumber(), 55u);

    parser = Scanner(L"a b");
    parser.SetPosition(2);
    parser.StepBack();
    EXPECT_EQ(parser.GetPosition(), 1u);
    parser.SetPosition(0);
    parser.StepBack();
    EXPECT_EQ(parser.GetPosition(), 0u);

    parser = Scanner(L"abc");
    parser.SetPosition(kEnd);
    parser.StepBack();
    EXPECT_EQ(parser.GetPosition(), kEnd);
    parser = Scanner(L"");
    parser.SetPosition(kEnd);
    parser.StepBack();
    EXPECT_EQ(parser.GetPosition(), kEnd);
}

TEST(ParserCoreTest, GetStringLiteral) {
    struct Case {
        const wchar_t* text;
        bool ok;
        const wchar_t* token;
        uint32_t position;
    };
    const Case cases[] = {
        {L" \"hello, world\" x", true, L"hello, world", 15},
        {L", \"a\",b", true, L"a", 5},
        {L"\"\"\"a\" x", true, L"a", 5},
        {L"\"end\"", true, L"end", kEnd},
        {L"\"a\"b c", true, L"a", 4},
        {L"  x \"a\"", false, L"old", 2},
        {L"\"unclosed", false, L"old", 0},
        {L"\"\"", false, L"old", 0},
        {L"// comment\n\"a\"", false, L"old", 0},
        {L"\"// c\" rest\n\"b\"\n", true, L"b", 15},
        {L"", false, L"old", kEnd},
    };
    for (const Case& c : cases) {
        CParserCore parser = Scanner(c.text);
        parser.SetToken(L"old");
        EXPECT_EQ(parser.GetStringLiteral(), c.ok) << c.text;
        EXPECT_EQ(parser.GetToken(), c.token) << c.text;
        EXPECT_EQ(parser.GetPosition(), c.position) << c.text;
    }
}

TEST(ParserCoreTest, GetBracketedExpr) {
    struct Case {
        const wchar_t* text;
        bool ok;
        const wchar_t* token;
        uint32_t position;
    };
    const Case cases[] = {
        {L"if (a == 1) {", true, L"a == 1", 11},
        {L" ((a)(b)) x", true, L"(a)(b)", 9},
        {L"foo() x", true, L"", 4},
        {L"(x)", true, L"x", 2},
        {L"(a\n)", false, L"old", 1},
        {L"(a\r)", false, L"old", 1},
        {L"((a) x", false, L"old", 1},
        {L"// c\n(x)", false, L"old", 1},
        {L"plain", false, L"old", 1},
        {L"(//c) rest\n(y) ", true, L"y", 14},
    };
    for (const Case& c : cases) {
        CParserCore parser = Scanner(c.text);
        parser.SetToken(L"old");
        EXPECT_EQ(parser.GetBracketedExpr(), c.ok) << c.text;
        EXPECT_EQ(parser.GetToken(), c.token) << c.text;
        EXPECT_EQ(parser.GetPosition(), c.position) << c.text;
    }
}

TEST(ParserCoreTest, GetBracketedExprEdges) {
    CParserCore parser = Scanner(L"a\nb ) (c)");
    ASSERT_TRUE(parser.GetWord(0));
    ASSERT_TRUE(parser.GetWord(0));
    try {
        parser.GetBracketedExpr();
        FAIL() << "no error";
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetCode(), 24u);
        EXPECT_EQ(e.GetFunction(), L"CParserCore::GetBracketedExpr");
        EXPECT_EQ(e.GetScriptLine(), 2u);
        EXPECT_EQ(e.GetScriptFile(), L"test.u");
    }
    // A used-up text stays used up rather than starting over.
    parser = Scanner(L"(x)");
    parser.SetPosition(kEnd);
    EXPECT_FALSE(parser.GetBracketedExpr());
    EXPECT_EQ(parser.GetPosition(), kEnd);
}

TEST(ParserCoreTest, ExtractArgs) {
    struct Case {
        const wchar_t* text;
        bool names;
        std::vector<std::wstring> args;
    };
    const Case cases[] = {
        {L"12, \"a, b\", 3.5", false, {L"12", L"a, b", L"3.5"}},
        {L"1, 2", false, {L"1", L"2"}},
        {L"1,23", false, {L"1", L"23"}},
        {L"", false, {}},
        {L"  ", false, {}},
        {L"1 2", false, {L"12"}},
        {L"1, -2", false, {L"1", L"2"}},
        {L"\"x", false, {L"x"}},
        {L"\"a\"z", false, {L"a"}},
        {L"a, b_c", true, {L"a", L"b_c"}},
        {L"1, \"\"", false, {L"1", L""}},
    };
    CParserCore parser = Scanner(L"");
    for (const Case& c : cases) {
        EXPECT_EQ(parser.ExtractArgs(c.text, c.names), c.args) << c.text;
    }
}

TEST(ParserCoreTest, DroppedMinusSignIsReported) {
    testsupport::CTextConsole console;
    platform::SetConsole(&console);
    CParserCore parser = Scanner(L"a\nb");
    parser.SetTokenStart(2);
    const auto args = parser.ExtractArgs(L"1, -2", false);
    vek::ConsoleOut().flush();
    platform::SetConsole(nullptr);
    EXPECT_EQ(args, (std::vector<std::wstring>{L"1", L"2"}));
    EXPECT_EQ(console.out, "test.u (2): warning: the minus sign before an argument is ignored: 1, -2\n");
}

TEST(ParserCoreTest, ExtractArgsRejects) {
    const struct {
        const wchar_t* text;
        bool names;
    } cases[] = {
        {L"1,", false}, {L"1,2", false}, {L"1, 2,", false},  {L"-1", false},
        {L"a", false},  {L"1a", false},  {L"\"a\".", false}, {L"1 \"a\"", false},
    };
    CParserCore parser = Scanner(L"x\ny");
    parser.SetTokenStart(2);
    for (const auto& c : cases) {
        EXPECT_EQ(ScriptErrorCode([&] { parser.ExtractArgs(c.text, c.names); }), 41u) << c.text;
    }
    try {
        parser.ExtractArgs(L"1,", false);
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetFunction(), L"CParserCore::ExtractSingleArg");
        EXPECT_EQ(e.GetSourceFile(), L"M_ParserCore");
        EXPECT_EQ(e.GetScriptLine(), 2u);
    }
}

TEST(ParserCoreTest, ExtractSingleArgMovesToTheNextArgument) {
    CParserCore parser;
    uint32_t index = 0;
    std::wstring arg;
    EXPECT_TRUE(CParserCore::ExtractSingleArg(L"7 , \"s\"", index, false, parser, arg));
    EXPECT_EQ(arg, L"7");
    EXPECT_EQ(index, 4u);
    EXPECT_FALSE(CParserCore::ExtractSingleArg(L"7 , \"s\"", index, false, parser, arg));
    EXPECT_EQ(arg, L"s");
    index = 50; // beyond the list
    EXPECT_FALSE(CParserCore::ExtractSingleArg(L"1", index, false, parser, arg));
    EXPECT_EQ(arg, L"");
}

TEST(ParserCoreTest, ResetAndLoad) {
    CParserCore parser = Scanner(L"\xFEFFword");
    EXPECT_EQ(parser.GetText(), L"word");
    EXPECT_TRUE(parser.IsLoaded());
    parser.SetParsed(true);
    parser.GetWord(0);
    parser.Reset();
    EXPECT_EQ(parser.GetText(), L"");
    EXPECT_EQ(parser.GetToken(), L"");
    EXPECT_EQ(parser.GetFileName(), L"");
    EXPECT_EQ(parser.GetPosition(), 0u);
    EXPECT_EQ(parser.GetTokenStart(), 0u);
    EXPECT_FALSE(parser.IsLoaded());
    EXPECT_FALSE(parser.IsParsed());
}

TEST(ParserCoreTest, TextIsKeptInUtf16Units) {
    // Every unit comes back as it went in; a unit beyond 16 bits, which the
    // program never makes, becomes its surrogate pair.
    const std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    const std::wstring units = L"a\u0142" + pair + L"\uFFFF z";
    EXPECT_EQ(Scanner(units).GetText(), units);
    const std::wstring wide = std::wstring(L"x") + static_cast<wchar_t>(0x1F600) + L" y";
    CParserCore parser = Scanner(wide);
    EXPECT_EQ(parser.GetText(), L"x" + pair + L" y");
    ASSERT_TRUE(parser.GetWord(0));
    EXPECT_EQ(parser.GetToken(), L"x" + pair);
    ASSERT_TRUE(parser.GetWord(0));
    EXPECT_EQ(parser.GetTokenStart(), 4u);
}

TEST(ParserCoreTest, LoadFileReadsUtf8WithoutMark) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "parsercore_test.u";
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("\xEF\xBB\xBFprint \"\xC5\xBC\"\r\nexit", f);
        std::fclose(f);
    }
    CParserCore parser;
    parser.SetPosition(3);
    parser.SetParsed(true);
    parser.LoadFile(path.wstring());
    EXPECT_EQ(parser.GetText(), L"print \"\x017C\"\r\nexit");
    EXPECT_EQ(parser.GetFileName(), path.wstring());
    EXPECT_EQ(parser.GetPosition(), 3u);
    EXPECT_TRUE(parser.IsLoaded());
    EXPECT_FALSE(parser.IsParsed());
    std::filesystem::remove(path);
    EXPECT_THROW(parser.LoadFile(path.wstring()), vek::CFileException);
}

} // namespace
