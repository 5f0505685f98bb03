// The statement parser and the checks after it.
#include <gtest/gtest.h>

#include "VEKLib/Strings.h"
#include "script/ScriptBase.h"
#include "tests/script/ScriptRunner.h"
#include "tests/script/ScriptTestAccess.h"

namespace {

using scripttest::CRun;
using scripttest::CWarningCapture;

struct TErrorCase {
    const wchar_t* text;
    int error; // -1: parses
    uint32_t line;
};

void CheckParses(const TErrorCase* cases, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        CWarningCapture warnings;
        CRun run(cases[i].text);
        run.With(L"base.u", L"function F(a) {\n}\nfunction G() {\n}\n");
        run.Parse();
        EXPECT_EQ(run.error, cases[i].error) << cases[i].text;
        if (cases[i].error >= 0) {
            EXPECT_EQ(run.errorLine, cases[i].line) << cases[i].text;
        }
    }
}

TEST(ScriptParseTest, EmptyTextGivesTheEndMarkerOnly) {
    for (const wchar_t* text : {L"", L"// nothing\n   // more nothing\n"}) {
        CRun run(text);
        ASSERT_TRUE(run.Parse());
        ASSERT_EQ(run.Commands().size(), 1u);
        EXPECT_EQ(run.Commands()[0].kind, kCmdEnd);
        EXPECT_TRUE(run.script.IsParsed());
    }
}

TEST(ScriptParseTest, Assignments) {
    CWarningCapture warnings;
    CRun number(L"x = 5\n");
    ASSERT_TRUE(number.Parse());
    ASSERT_EQ(number.Commands().size(), 2u);
    EXPECT_EQ(number.Commands()[0].kind, kCmdAssign);
    EXPECT_EQ(number.Commands()[0].argument, 5u);
    EXPECT_EQ(number.Commands()[0].TargetName(), L"x");
    EXPECT_NE(number.Commands()[0].Extra(), kAssignFromCall);

    CRun call(L"  x = Rnd(1, 6)\n");
    ASSERT_TRUE(call.Parse());
    ASSERT_EQ(call.Commands().size(), 3u);
    const TCommand& assign = call.Commands()[0];
    const TCommand& rnd = call.Commands()[1];
    EXPECT_EQ(assign.kind, kCmdAssign);
    EXPECT_EQ(assign.argument, 2147483647u);
    EXPECT_EQ(assign.Extra(), kAssignFromCall);
    EXPECT_EQ(assign.TargetName(), L"x");
    EXPECT_EQ(assign.textPosition, 2u);
    EXPECT_EQ(rnd.kind, kCmdCall);
    EXPECT_EQ(rnd.name, L"Rnd");
    EXPECT_EQ(rnd.Arguments(), L"1, 6");
    EXPECT_EQ(rnd.argument, 1u);

    CRun variable(L"x = y\n");
    EXPECT_FALSE(variable.Parse());
    EXPECT_EQ(variable.error, 6);
}

TEST(ScriptParseTest, StatementForms) {
    CWarningCapture warnings;
    CRun run(
        L"var a 3\n"
        L"var b = 4\n"
        L"function F(p, q, r) {\n"
        L"  return\n"
        L"  exit\n"
        L"}\n"
        L"lbl:\n"
        L"if (a == 1) {\n"
        L"  in:\n"
        L"  println a\n"
        L"} else if (b == 2) {\n"
        L"  print \"two words\"\n"
        L"} else {\n"
        L"  system \"cmd\"\n"
        L"}\n");
    ASSERT_TRUE(run.Parse()) << run.error;
    const auto& variables = run.script.GetParseResults().Variables();
    ASSERT_EQ(variables.size(), 2u);
    EXPECT_EQ(variables[0].GetValue(), 3);
    EXPECT_EQ(variables[1].GetValue(), 4);

    const auto& c = run.Commands();
    const uint32_t kinds[] = {kCmdFunction,   kCmdReturn,  kCmdExit,       kCmdCloseBrace, kCmdLabel, kCmdIf,
                              kCmdLabel,      kCmdPrintln, kCmdCloseBrace, kCmdElse,       kCmdIf,    kCmdPrint,
                              kCmdCloseBrace, kCmdElse,    kCmdSystem,     kCmdCloseBrace, kCmdEnd};
    ASSERT_EQ(c.size(), sizeof(kinds) / sizeof(kinds[0]));
    for (size_t i = 0; i < c.size(); ++i) {
        EXPECT_EQ(c[i].kind, kinds[i]) << i;
    }
    // The function: three parameters stored last first, signature "nnn".
    EXPECT_EQ(c[0].Extra(), 3u);
    EXPECT_EQ(c[0].target, 0u);
    EXPECT_EQ(CScriptTestAccess::ParameterPool(run.script), (std::vector<std::wstring>{L"r", L"q", L"p"}));
    const int32_t f = run.script.FindSystemFunction(L"f");
    ASSERT_EQ(f, static_cast<int32_t>(c[0].argument));
    EXPECT_EQ(run.script.GetRegistry()[f].signature, L"nnn");
    EXPECT_EQ(run.script.GetRegistry()[f].id, TSystemFunction::kUserFunction);
    // "return" before another statement returns 0.
    EXPECT_EQ(c[1].argument, 0u);
    EXPECT_EQ(c[3].argument, kCmdFunction);
    // A label does not change the depth.
    EXPECT_EQ(c[6].block, 1u);
    EXPECT_EQ(c[7].block, 1u);
    EXPECT_EQ(c[7].argument, 1u);
    EXPECT_EQ(c[7].name, L"a");
    // The if's target is its brace; the else if's if shares the else's depth.
    EXPECT_EQ(c[5].target, 8u);
    EXPECT_EQ(c[9].argument, 1u);
    EXPECT_EQ(c[10].block, c[9].block);
    EXPECT_EQ(c[11].argument, 0xFFFFFFFFu);
    EXPECT_EQ(c[11].name, L"two words");
    EXPECT_EQ(c[13].argument, 0u);
    EXPECT_EQ(c[14].name, L"cmd");
    for (size_t brace : {8u, 12u, 15u}) {
        EXPECT_EQ(c[brace].block, 0u);
    }
    EXPECT_EQ(c[15].argument, kCmdElse);
    EXPECT_EQ(c[5].block, 0u);
}

TEST(ScriptParseTest, AssignmentFromACallKeepsItsBlock) {
    // Stored ahead of its call, the assignment still gets its depth, so the
    // brace after it finds the function it closes.
    CRun run(L"function F() {\n  x = Rnd(1, 2)\n}\n");
    ASSERT_TRUE(run.Parse());
    const auto& c = run.Commands();
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(c[1].block, 1u);
    EXPECT_EQ(c[1].textPosition, 17u);
    EXPECT_EQ(c[2].block, 1u);
    EXPECT_EQ(c[3].kind, kCmdCloseBrace);
    EXPECT_EQ(c[3].argument, kCmdFunction);
}

TEST(ScriptParseTest, CallsBeforeAndAfterTheDefinition) {
    CRun run(L"F(1)\nfunction F(a) {\n}\nF(2)\n");
    ASSERT_TRUE(run.Parse());
    EXPECT_EQ(run.Commands()[0].kind, kCmdCall);
    EXPECT_EQ(run.Commands()[3].kind, kCmdUserCall);
}

TEST(ScriptParseTest, StatementErrors) {
    const TErrorCase cases[] = {
        {L"println\n", 1, 1},
        {L"extends\n", 3, 1},
        {L"input\n", 4, 1},
        {L"incr\n", 4, 1},
        {L"var\n", 4, 1},
        {L"for\n", 4, 1},
        {L"system ls\n", 5, 1},
        {L"var a\n", 6, 1},
        {L"var a = b\n", 6, 1},
        {L"x =\n", 6, 1},
        {L"x 5\n", 7, 1},
        {L"for i 1 to 2 {\n}\n", 7, 1},
        {L"for i = 1 till 2 {\n}\n", 8, 1},
        {L"for i = a to 2 {\n}\n", 9, 1},
        {L"for i = 1 to b {\n}\n", 10, 1},
        {L"for i = 1 to 2\n}\n", 11, 2},
        {L"if (1 == 1)\nx = 1\n", 11, 2},
        {L"if (1 == 1) {\n} else x\n", 11, 2},
        {L"goto\n", 12, 1},
        {L"function\n", 13, 1},
        {L"if {\n}\n", 14, 1},
        {L"if () {\n}\n", 14, 1},
        {L"function F {\n}\n", 15, 1},
        {L"for i = 5 to 1 {\n}\n", 29, 1},
        {L"for i = 0 to 0 {\n}\n", -1, 0},
        {L"for i = 1 to 4294967295 {\n}\n", 29, 1},
        {L"else {\n}\n", 36, 1},
        {L"x = 1\nelse {\n}\n", 36, 2},
        {L"x = 1\nextends \"base.u\"\n", 45, 2},
        {L"overridden function F(a) {\n}\n", 46, 1},
        {L"extends \"base.u\"\noverridden x = 1\n", 46, 2},
        // a run of "overridden" is refused before it nests
        {L"extends \"base.u\"\noverridden overridden function F(a) {\n}\n", 46, 2},
        {L"extends \"base.u\"\noverridden function F(a) {\n}\n", -1, 0},
        {L"extends \"missing.u\"\n", 0, 1},
        // a closing brace without a block, an else that does not follow an if block
        {L"x = 1\n}\n", 22, 2},
        {L"if (1 == 1) {\n}\nx = 1\nelse {\n}\n", 36, 4},
        {L"if (1 == 1) {\n} else {\n} else {\n}\n", 36, 3},
        // a word that a bracket ends is given back without reading "return" again
        {L"return(x)\n", 7, 1},
        {L"if (1 == 1) {\n} else if(0 == 1) {\n}\n", -1, 0},
        {L"for i = 1 to 2 {\n}\nelse {\n}\n", 36, 3},
    };
    CheckParses(cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(ScriptParseTest, ExtendsCycleEnds) {
    CRun run(L"extends \"a.u\"\n");
    run.With(L"a.u", L"extends \"b.u\"\n").With(L"b.u", L"extends \"a.u\"\n");
    EXPECT_FALSE(run.Parse());
    EXPECT_EQ(run.error, 45);
}

TEST(ScriptParseTest, FailedParseAfterExtendsIsNotParsed) {
    CWarningCapture warnings;
    CRun run(L"extends \"base.u\"\ngoto nowhere\n");
    run.With(L"base.u", L"print \"base\"\n");
    EXPECT_FALSE(run.Parse());
    EXPECT_EQ(run.error, 31);
    EXPECT_FALSE(run.script.IsParsed());
}

TEST(ScriptParseTest, ExtendsPutsTheBaseFirst) {
    CWarningCapture warnings;
    CRun run(L"extends \"base.u\"\nprint \"derived\"\n");
    run.With(L"base.u", L"print \"base\"\n");
    ASSERT_TRUE(run.Run());
    EXPECT_EQ(run.Output(), L"basederived");
    EXPECT_TRUE(CScriptTestAccess::IsExtending(run.script));
    EXPECT_EQ(run.script.GetFileName(), L"test.u");
}

TEST(ScriptParseTest, CheckErrors) {
    const TErrorCase cases[] = {
        // loops
        {L"for i = 1 to 2 {\n", 1, 1},
        {L"var i = 0\nfunction F() {\nvar j = 0\nfor j = 1 to 2 {\n}\n}\n", 38, 4},
        {L"break\n", 49, 1},
        {L"continue\n", 50, 1},
        {L"function F() {\nbreak\n}\n", 49, 2},
        // a function defined inside a loop body is not in the loop
        {L"for i = 1 to 2 {\nfunction F() {\nbreak\n}\n}\n", 49, 3},
        {L"for i = 1 to 2 {\nif (i == 1) {\nbreak\n}\ncontinue\n}\n", -1, 0},
        // blocks
        {L"if (1 == 1) {\n", 30, 1},
        {L"function F() {\n", 30, 1},
        {L"if (1 == 1) {\n} else {\n", 30, 2},
        // functions
        {L"function F() {\n}\nfunction f() {\n}\n", 37, 3},
        {L"function F() {\n}\nfunction G() {\n}\nfunction H() {\n}\nfunction g() {\n}\n", 37, 7},
        {L"extends \"base.u\"\noverridden function F(a, b) {\n}\n", 48, 2},
        {L"extends \"base.u\"\nfunction F(a) {\n}\n", 37, 2},
        // super belongs in an overriding function with a plain definition
        {L"super\n", 47, 1},
        {L"function F() {\nsuper\n}\n", 47, 2},
        {L"extends \"base.u\"\noverridden function F(a) {\nsuper\n}\n", -1, 0},
        {L"extends \"base.u\"\noverridden function H() {\nsuper\n}\n", 47, 3},
        {L"extends \"base.u\"\noverridden function F(a) {\nfunction K() {\nsuper\n}\n}\n", 47, 4},
        // calls
        {L"Chance(a, 1)\n", 41, 1},
        // a name in place of a later argument is skipped by the splitter
        {L"Chance(1, a)\n", 42, 1},
        {L"Rnd(1, 2, 3)\n", 42, 1},
        {L"Rnd(1, 2.5)\n", 43, 1},
        {L"F(1)\nfunction F(a) {\n}\n", -1, 0},
        {L"F(1, 2)\nfunction F(a) {\n}\n", 42, 1},
        {L"Unknown(1, x, 2.5)\n", -1, 0},
        // declared variables
        {L"var 1a = 0\n", 40, 1},
        {L"var a_b = 0\n", 40, 1},
        {L"var a = 0\nvar A = 1\n", 38, 2},
        // labels
        {L"goto nowhere\n", 31, 1},
        {L"goto LBL\nlbl:\n", -1, 0},
        {L"lbl:\nLBL:\n", 39, 2},
        // a variable declared in a block is used inside it only
        {L"function F() {\nvar a = 1\nincr a\n}\nincr a\n", 35, 5},
        {L"function F() {\nif (1 == 1) {\n}\nvar a = 1\nincr a\n}\n", -1, 0},
        // the condition's names count as uses
        {L"function F() {\nvar a = 1\n}\nif (a == 1) {\n}\n", 35, 4},
    };
    CheckParses(cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(ScriptParseTest, BreakAndContinueFindTheirLoop) {
    CRun run(
        L"for i = 1 to 2 {\n"   // 0
        L"  break\n"            // 1
        L"  for j = 1 to 2 {\n" // 2
        L"    if (j == 1) {\n"  // 3
        L"      continue\n"     // 4
        L"    }\n"              // 5
        L"  }\n"                // 6
        L"  if (i == 1) {\n"    // 7
        L"    break\n"          // 8
        L"  }\n"                // 9
        L"}\n");                // 10
    ASSERT_TRUE(run.Parse()) << run.error;
    const auto& c = run.Commands();
    EXPECT_EQ(c[1].argument, 10u);
    EXPECT_EQ(c[4].argument, 6u);
    EXPECT_EQ(c[8].argument, 10u);
    EXPECT_EQ(c[6].argument, kCmdFor);
    EXPECT_EQ(c[6].target, 2u);
    EXPECT_EQ(c[10].target, 0u);
}

TEST(ScriptParseTest, UnusedVariableWarnings) {
    const char* expected = "Warning: unused variable 'b'\nWarning: unused variable 'c'\n";
    const wchar_t* text = L"var a = 0\nvar b = 0\nvar c = 0\nvar d = 0\nincr A\nRnd(c, 1)\nif (d == 0) {\n}\n";
    {
        CWarningCapture warnings;
        CRun run(text, "", L"Scripts/npc.u");
        run.Parse(); // c in a call's arguments is no use, and fails as a name
        EXPECT_EQ(warnings.Text(), expected);
    }
    for (const wchar_t* name : {L"_global.u", L"Data\\Scripts\\_GLOBAL.U", L"x/_Global.u"}) {
        CWarningCapture warnings;
        CRun run(text, "", name);
        run.Parse();
        EXPECT_EQ(warnings.Text(), "") << name;
    }
}

TEST(ScriptParseTest, DroppedSignIsWarnedOnce) {
    CWarningCapture warnings;
    CRun run(L"var x = 0\nx = Unknown(1, -2)\nx = Rnd(1, -2)\nx = Unknown(\"a,-b\", 3)\n");
    ASSERT_TRUE(run.Parse());
    EXPECT_EQ(warnings.Text(),
              "test.u (2): warning: the minus sign before an argument is ignored: 1, -2\n"
              "test.u (3): warning: the minus sign before an argument is ignored: 1, -2\n");
}

TEST(ScriptParseTest, DefinitionsWarnOnce) {
    CWarningCapture warnings;
    CRun run(L"\nfunction F(a, -b) {\n}\n");
    ASSERT_TRUE(run.Parse());
    EXPECT_EQ(warnings.Text(), "test.u (2): warning: the minus sign before an argument is ignored: a, -b\n");
}

TEST(ScriptParseTest, QuotedTextDefinesNoFunction) {
    CWarningCapture warnings;
    CRun quoted(L"println \"see function G(1) here\"\nif (G(1) == 0) {\n}\n");
    EXPECT_FALSE(quoted.Parse());
    EXPECT_EQ(quoted.error, 33);
    // A definition after a literal is still known to conditions above it.
    CRun later(L"println \"a (\"\nif (G(1) == 5) {\nprint \"yes\"\n}\nfunction G(a) {\nreturn 5\n}\n");
    ASSERT_TRUE(later.Run()) << later.error;
    EXPECT_EQ(later.Output(), L"a (\nyes");
}

TEST(ScriptParseTest, CheckPassErrorsCarryTheParseName) {
    const struct {
        const wchar_t* text;
        int error;
    } cases[] = {
        // scope pass: the block around the variable never closes
        {L"var b = 0\nif (b == 0) {\nvar a = 0\nprint a\n", 1},
        // unused-variable pass: used outside its block
        {L"var b = 0\nif (b == 0) {\nvar a = 0\n}\nincr a\n", 35},
    };
    for (const auto& c : cases) {
        CWarningCapture warnings;
        CRun run(c.text);
        EXPECT_FALSE(run.Parse()) << c.text;
        EXPECT_EQ(run.error, c.error) << c.text;
        EXPECT_EQ(run.errorFunction, L"CScriptBase::Parse") << c.text;
    }
}

TEST(ScriptParseTest, ErrorsCarryTheParserNames) {
    CRun unit(L"goto\n");
    unit.Parse();
    EXPECT_EQ(unit.errorFunction, L"CScriptBase::ParseUnit");
    CRun check(L"goto x\n");
    check.Parse();
    EXPECT_EQ(check.errorFunction, L"CScriptBase::Parse");
    CScriptBase empty;
    try {
        empty.Parse();
        FAIL();
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetCode(), 1u);
        EXPECT_EQ(e.GetSourceFile(), L"M_ScriptBase");
    }
}

TEST(ScriptParseTest, ReturnValueInBrackets) {
    CRun run(L"var x = 0\nx = F()\nprint x\nfunction F() {\nreturn(5)\n}\n");
    ASSERT_TRUE(run.Run()) << run.error;
    EXPECT_EQ(run.Output(), L"5");
}

TEST(ScriptParseTest, LastStatementWithoutLineEnd) {
    CRun run(L"for i = 1 to 2 {\nprint i\n}");
    ASSERT_TRUE(run.Run()) << run.error;
    EXPECT_EQ(run.Output(), L"12");
}

TEST(ScriptParseTest, ConditionMayCallAFunctionDefinedBelow) {
    CRun run(L"if (Later(2) == 5) {\nprint \"yes\"\n}\nfunction Later(a) {\nreturn 5\n}\n");
    ASSERT_TRUE(run.Run()) << run.error;
    EXPECT_EQ(run.Output(), L"yes");
    CRun wrong(L"if (Later(2, 3) == 5) {\n}\nfunction Later(a) {\n}\n");
    EXPECT_FALSE(wrong.Parse());
    EXPECT_EQ(wrong.error, 27);
}

// The text is searched for definitions below their calls only when needed,
// but a parse that fails leaves what a search before it would have found.
TEST(ScriptParseTest, SignaturesFoundAheadAfterTheParse) {
    const struct {
        const wchar_t* text;
        bool parses;
        const wchar_t* signature; // of H after the parse; null: none
    } cases[] = {
        {L"x =\nfunction H(a, b) {\n}\n", false, L"nn"},
        {L"if (H(1, 2)) {\n}\nx =\nfunction H(a, b) {\n}\n", false, L"nn"},
        {L"println \"function H(a)\"\nx =\n", false, nullptr},
        {L"print \"abc\nx =\nfunction H(a) {\n}\n", false, nullptr},
        {L"println \"function H(a)\"\n", true, nullptr},
        {L"if (H(1)) {\n}\nfunction H(a) {\n}\n", true, L"n"},
    };
    for (const auto& c : cases) {
        CWarningCapture warnings;
        CRun run(c.text);
        EXPECT_EQ(run.Parse(), c.parses) << c.text;
        std::wstring signature;
        EXPECT_EQ(run.script.FindExpressionFunction(L"H", signature), c.signature != nullptr) << c.text;
        EXPECT_EQ(signature, c.signature ? c.signature : L"") << c.text;
    }
}

} // namespace

// A derived script with statement forms of its own, as the game script adds
// its conversation grammar: "ring NAME {" opens a block of a game kind, and
// "chime" counts the rings around it when it runs.
class CBellScript : public scripttest::CTestScript {
public:
    static constexpr uint32_t kRing = kCmdFirstGameKind;
    static constexpr uint32_t kChime = kCmdFirstGameKind + 1;

    CBellScript() { AddBlockKind(kRing); }
    void ParseUnit(bool& store, TCommand& command) override {
        static const CStatementTable<CBellScript> kForms{
            {L"ring", kRing, &CBellScript::ParseRing},
            {L"chime", kChime, &CBellScript::ParseChime},
        };
        TStatement statement{GetToken(), GetTokenStart(), command, store};
        if (const TStatementForm<CBellScript>* form = kForms.Find(statement.word)) {
            command.kind = form->kind;
            (this->*form->parse)(statement);
            return;
        }
        CScriptBase::ParseUnit(store, command);
    }
    bool ExecuteUnit() override {
        const TCommand& command = GetParseResults().Commands()[GetCurrentCommand()];
        if (command.kind == kRing) {
            rings.push_back(command.name);
            return true;
        }
        if (command.kind == kChime) {
            chimes += std::wstring(command.name) + L"/" + std::to_wstring(rings.size()) + L" ";
            return true;
        }
        return CScriptBase::ExecuteUnit();
    }
    std::vector<std::wstring> rings;
    std::wstring chimes;

private:
    // ring NAME {
    void ParseRing(TStatement& statement) {
        if (!GetWord(0) || GetToken() == L"{") {
            Fail(kErrActionNameExpected, L"CBellScript::ParseUnit", __LINE__);
        }
        statement.command.name = GetToken();
        if (!NextWordIs(L"{")) {
            Fail(kErrLeftBraceExpected, L"CBellScript::ParseUnit", __LINE__);
        }
    }
    // chime [LOUD]
    void ParseChime(TStatement& statement) {
        const uint32_t position = GetPosition();
        if (GetWord(0) && vek::equals(GetToken(), L"loud", false)) {
            statement.command.name = L"loud";
        } else {
            SetPosition(position);
        }
    }
};

TEST(ScriptParseTest, TheCommandListKeepsLittleSpareRoom) {
    // The list is sized ahead from the line count: whether the text makes
    // fewer commands than lines, about one a line or more, what is left
    // spare stays within a sixteenth of it.
    const struct {
        const wchar_t* line;
        int repeats;
    } cases[] = {
        {L"incr a\n", 500},
        {L"incr a\n\n\n", 500},
        {L"a = Rnd(1, 2)\n", 500},
        {L"if (a == 1) {\n} else {\n}\n", 200},
    };
    for (const auto& c : cases) {
        std::wstring text = L"var a = 0\n";
        for (int i = 0; i < c.repeats; ++i) {
            text += c.line;
        }
        CRun run(text);
        ASSERT_TRUE(run.Parse()) << c.line;
        const std::vector<TCommand>& commands = run.Commands();
        EXPECT_LE(commands.capacity() - commands.size(), commands.size() / 16) << c.line;
    }
}

TEST(ScriptParseTest, DerivedScriptsAddStatementForms) {
    CBellScript script;
    script.LoadText(L"RING first {\nchime\nfor i = 1 to 2 {\nring inner {\nchime LOUD\n}\n}\n}\nchime\n", L"bell.u");
    script.Parse();
    const auto& c = script.GetParseResults().Commands();
    ASSERT_EQ(c.size(), 10u);
    EXPECT_EQ(c[0].kind, CBellScript::kRing);
    EXPECT_EQ(c[0].name, L"first");
    EXPECT_EQ(c[3].block, 2u);
    EXPECT_EQ(c[5].argument, CBellScript::kRing); // the inner ring's brace
    EXPECT_EQ(c[7].argument, CBellScript::kRing);
    EXPECT_EQ(c[7].block, 0u);
    script.Execute();
    EXPECT_EQ(script.rings, (std::vector<std::wstring>{L"first", L"inner", L"inner"}));
    EXPECT_EQ(script.chimes, L"/1 loud/2 loud/3 /3 ");

    const struct {
        const wchar_t* text;
        int error;
        uint32_t line;
    } errors[] = {
        {L"ring {\n}\n", 53, 1},
        {L"\nring bell\nchime\n}\n", 11, 3},
        {L"ring bell {\n", 30, 1},
        {L"ring bell {\n}\n", -1, 0},
    };
    for (const auto& e : errors) {
        CBellScript bad;
        bad.LoadText(e.text, L"bell.u");
        int error = -1;
        uint32_t line = 0;
        try {
            bad.Parse();
        } catch (const CScriptException& x) {
            error = static_cast<int>(x.GetCode());
            line = x.GetScriptLine();
        }
        EXPECT_EQ(error, e.error) << e.text;
        EXPECT_EQ(line, e.line) << e.text;
    }
}

TEST(ScriptParseTest, DeepNestingParsesAndRuns) {
    // Thousands of blocks inside each other: ifs, else chains and loops, a
    // variable declared at the bottom, and a break out of the innermost loop.
    constexpr int kDepth = 3000;
    std::wstring text = L"var hits = 0\n";
    for (int i = 0; i < kDepth; ++i) {
        text += i % 3 == 2 ? L"for k = 1 to 1 {\n" : L"if (hits == 0) {\n";
    }
    text += L"var deep = 5\nincr hits\nincr deep\nprint deep\nbreak\n";
    for (int i = kDepth; i-- > 0;) {
        text += i % 3 == 1 ? L"} else {\nprint \"no\"\n}\n" : L"}\n";
    }
    text += L"print hits\n";
    CWarningCapture warnings;
    CRun run(text);
    ASSERT_TRUE(run.Run()) << run.error << " on line " << run.errorLine;
    EXPECT_EQ(run.Output(), L"61");
    const auto& c = run.Commands();
    // The innermost block's opener is the last one at depth kDepth - 1; the
    // first command's brace is far down.
    EXPECT_EQ(c[kDepth - 1].block, static_cast<uint32_t>(kDepth - 1));
    const CVariable* deep = nullptr;
    for (const CVariable& variable : run.script.GetParseResults().Variables()) {
        if (variable.GetName() == L"deep") {
            deep = &variable;
        }
    }
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(deep->GetScopeStart(), kDepth - 1);
    EXPECT_GT(deep->GetScopeEnd(), kDepth);
    // One brace short: the outermost block is not closed.
    text.resize(text.rfind(L"}\n"));
    CRun open(text);
    EXPECT_FALSE(open.Parse());
    EXPECT_EQ(open.error, 30);
    EXPECT_EQ(open.errorLine, 2u);
}
