// Running scripts: statements, calls, scopes, the tape and the console.
#include <gtest/gtest.h>

#include <map>
#include <span>
#include <sstream>

#include "VEKLib/Random.h"
#include "VEKLib/Stream.h"
#include "platform/Utf8.h"
#include "script/ScriptBase.h"
#include "tests/script/ScriptRunner.h"
#include "tests/script/ScriptTestAccess.h"

namespace {

using scripttest::CRun;
using scripttest::CWarningCapture;

// Most of the language in one script. The language has no arithmetic, and
// return values and call arguments are literals, so the results are counts
// kept with incr and decr, and constants returned by branches.
const wchar_t* const kBase =
    L"var baseRuns = 0\n"
    L"function Greet(times) {\n"
    L"  incr baseRuns\n"
    L"  println \"base greet\"\n"
    L"  return 5\n"
    L"}\n";

const wchar_t* const kProgram =
    L"extends \"base.u\"\n"
    L"var count = 0\n"
    L"var loops = 0\n"
    L"var calls = 0\n"
    L"var result = 0\n"
    L"var x = 0\n"
    L"var g = 0\n"
    L"var derivedRuns = 0\n"
    L"var big = 0\n"
    L"// nested loops with continue and break\n"
    L"for i = 1 to 5 {\n"
    L"  for j = 1 to 5 {\n"
    L"    if (j == 2) {\n"
    L"      continue\n"
    L"    }\n"
    L"    if (j > i) {\n"
    L"      break\n"
    L"    }\n"
    L"    incr count\n"
    L"  }\n"
    L"}\n"
    L"// an if / else if / else chain\n"
    L"for k = 1 to 4 {\n"
    L"  if (k == 1) {\n"
    L"    print \"one \"\n"
    L"  } else if (k == 2) {\n"
    L"    print \"two \"\n"
    L"  } else if (k == 3 || k == 4 && count == 0) {\n"
    L"    print \"three \"\n"
    L"  } else {\n"
    L"    print \"other \"\n"
    L"  }\n"
    L"}\n"
    L"println \"!\"\n"
    L"// a label and goto\n"
    L"again:\n"
    L"incr loops\n"
    L"if (loops < 3) {\n"
    L"  goto again\n"
    L"}\n"
    L"// recursion: each level reads its own parameter after the inner call\n"
    L"result = Rec(3)\n"
    L"function Rec(n) {\n"
    L"  incr calls\n"
    L"  if (n == 3) {\n"
    L"    x = Rec(2)\n"
    L"  }\n"
    L"  if (n == 2) {\n"
    L"    x = Rec(1)\n"
    L"  }\n"
    L"  if (n == 1) {\n"
    L"    return 10\n"
    L"  }\n"
    L"  if (n == 3) {\n"
    L"    return 30\n"
    L"  }\n"
    L"  return 20\n"
    L"}\n"
    L"function IsBig(n) {\n"
    L"  if (n > 5) {\n"
    L"    return 1\n"
    L"  }\n"
    L"  return 0\n"
    L"}\n"
    L"if (IsBig(7) == 1 && IsBig(3) == 0) {\n"
    L"  big = 1\n"
    L"}\n"
    L"overridden function Greet(times) {\n"
    L"  incr derivedRuns\n"
    L"  super\n"
    L"  println \"derived greet\"\n"
    L"  return 6\n"
    L"}\n"
    L"g = Greet(2)\n"
    L"// the tape counts down from 3\n"
    L"i+ i+ i+\n"
    L"icmp\n"
    L"  i-\n"
    L"  iout\n"
    L"iloop\n"
    L"println \"!\"\n";

TEST(ScriptRunTest, ProgramUsingMostOfTheLanguage) {
    CWarningCapture warnings;
    CRun run(kProgram);
    run.With(L"base.u", kBase);
    ASSERT_TRUE(run.Run()) << "error " << run.error << " on line " << run.errorLine;
    EXPECT_EQ(run.Output(), L"one two three other !\nbase greet\nderived greet\n210!\n");
    // i = 1..5 counts the j from 1 to i except 2: 1 + 1 + 2 + 3 + 4.
    EXPECT_EQ(run.Var(L"count"), 11);
    EXPECT_EQ(run.Var(L"loops"), 3);
    EXPECT_EQ(run.Var(L"calls"), 3);
    EXPECT_EQ(run.Var(L"x"), 20);
    EXPECT_EQ(run.Var(L"result"), 30);
    EXPECT_EQ(run.Var(L"big"), 1);
    EXPECT_EQ(run.Var(L"g"), 6);
    EXPECT_EQ(run.Var(L"baseRuns"), 1);
    EXPECT_EQ(run.Var(L"derivedRuns"), 1);
    // Loop counters and parameters are gone once their blocks are closed.
    EXPECT_EQ(run.Var(L"i"), -1);
    EXPECT_EQ(run.Var(L"n"), -1);
    EXPECT_EQ(CScriptTestAccess::LocalCount(run.script), 0u);
    EXPECT_TRUE(CScriptTestAccess::ScopeCount(run.script) == 0);
    EXPECT_TRUE(CScriptTestAccess::CallDepth(run.script) == 0);
    EXPECT_EQ(warnings.Text(), "");
}

struct TRunCase {
    const wchar_t* text;
    const char* input;
    const wchar_t* output;
    int error; // -1: runs through
};

void CheckRuns(const TRunCase* cases, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const TRunCase& c = cases[i];
        CWarningCapture warnings;
        CRun run(c.text, c.input);
        run.Run();
        EXPECT_EQ(run.error, c.error) << c.text;
        EXPECT_EQ(run.Output(), c.output) << c.text;
    }
}

TEST(ScriptRunTest, SuperGetsTheArgumentsOfACallEnteredInPlace) {
    // The call's arguments stay at its call site, not in the argument pool.
    CWarningCapture warnings;
    CRun run(
        L"extends \"base.u\"\nvar r = 0\nfor i = 1 to 2 {\nr = F(4, 9)\n}\nprintln r\n"
        L"overridden function F(a, b) {\nincr a\nsuper\nreturn 2\n}\n");
    run.With(L"base.u", L"function F(a, b) {\nprintln a\nprintln b\n}\n");
    ASSERT_TRUE(run.Run()) << "error " << run.error << " on line " << run.errorLine;
    EXPECT_EQ(run.Output(), L"4\n9\n4\n9\n2\n");
}

TEST(ScriptRunTest, Statements) {
    const TRunCase cases[] = {
        {L"var x = 0\nx = 5\nprintln x\n", "", L"5\n", -1},
        {L"var v = 7\nprint v\nprint \"x\"\n", "", L"7x", -1},
        // for: the counter runs from the start to the end value, both included
        {L"for i = 1 to 3 {\n print i\n}\n", "", L"123", -1},
        {L"for i = 0 to 0 {\n print i\n}\n", "", L"0", -1},
        {L"var n = 4294967295\nincr n\nprintln n\n", "", L"4294967295\n", -1},
        {L"var n = 0\ndecr n\nprintln n\nincr n\nincr n\ndecr n\nprintln n\n", "", L"0\n1\n", -1},
        // if / else if / else: exactly one branch runs
        {L"var a = 2\nif (a == 1) {\nprint \"1\"\n} else if (a == 2) {\nprint \"2\"\n} else {\nprint \"3\"\n}\nprint "
         L"\"|\"\n",
         "", L"2|", -1},
        {L"var a = 5\nif (a == 1) {\nprint \"1\"\n} else if (a == 2) {\nprint \"2\"\n} else {\nprint \"3\"\n}\n", "",
         L"3", -1},
        {L"var a = 1\nif (a == 1) {\nprint \"1\"\n} else {\nprint \"3\"\n}\nprint \"|\"\n", "", L"1|", -1},
        {L"var a = 0\nif (a == 1) {\nprint \"1\"\n}\nprint \"|\"\n", "", L"|", -1},
        // exit ends the run, also from inside calls and conditions
        {L"print \"a\"\nexit\nprint \"b\"\n", "", L"a", -1},
        {L"F()\nprint \"after\"\nfunction F() {\nprint \"in\"\nexit\n}\n", "", L"in", -1},
        {L"function F() {\nexit\n}\nif (F() == 0) {\nprint \"then\"\n}\nprint \"after\"\n", "", L"", -1},
        // goto inside a called function abandons the call; the run goes on at the label
        {L"F()\nprint \"skipped\"\nout:\nprint \"out\"\nfunction F() {\ngoto out\n}\n", "", L"out", -1},
        // the tape
        {L"i+ i+ iout ishr iout ishl isub iout iadd iadd iout\n", "", L"2013", -1},
        {L"icmp\nprint \"next\"\n", "", L"next", -1},
        {L"i- iout\n", "", L"255", -1},
        // the end of input reads as all ones
        {L"iin iout ishr iin iout ishr iin iout\n", "AB", L"6566255", -1},
        {L"iin iout\n", "", L"255", -1},
        {L"iin iout\n", "\xC5\x82", L"66", -1}, // U+0142: its low 8 bits
        // a tape loop that reads until a zero cell: U+0100 has low bits 0
        {L"iin\nicmp\niout\niin\niloop\n",
         "abc\xC4\x80"
         "def",
         L"979899", -1},
        // upper-case tape words
        {L"I+ I+ I- iout\n", "", L"1", -1},
        // input: numbers; bad input and the end of input give 0
        {L"var a = 9\nvar b = 9\nvar c = 9\ninput a\ninput b\ninput c\nprint a\nprint b\nprint c\n", "42 x7 ", L"4200",
         -1},
        {L"var n = 1\nvar k = 0\nmore:\ninput n\nincr k\nif (n != 0) {\ngoto more\n}\nprint k\n", "3 2 oops", L"3", -1},
        {L"var n = 1\nmore:\ninput n\nif (n != 0) {\ngoto more\n}\nprint \"done\"\n", "5 6", L"done", -1},
        // a returned value is signed: one above 2147483647 is negative when assigned
        {L"var x = 0\nx = F()\nprint x\nfunction F() {\nreturn 2147483647\n}\n", "", L"2147483647", -1},
        {L"var x = 0\nx = F()\nfunction F() {\nreturn 3000000000\n}\n", "", L"", 2},
        // run-time errors
        {L"return 1\n", "", L"", 34},
        {L"var x = 0\nx = Foo(1)\n", "", L"", 33},
        {L"var x = 0\nx = Rnd(5, 4294967295)\n", "", L"", 2},
        {L"input nothere\n", "1", L"", 32},
    };
    CheckRuns(cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(ScriptRunTest, PrintingAMissingVariableFailsWhenItRuns) {
    CRun run(L"print \"a\"\nprintln missing\n");
    EXPECT_FALSE(run.Run());
    EXPECT_EQ(run.error, 32);
    EXPECT_EQ(run.errorLine, 2u);
    EXPECT_EQ(run.Output(), L"a");
}

TEST(ScriptRunTest, LoadedButNotParsedFailsAtOnce) {
    CRun run(L"println \"a\"\n");
    try {
        run.script.Execute();
        FAIL() << "ran an unparsed script";
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetCode(), 2u);
        EXPECT_EQ(e.GetFunction(), L"CScriptBase::Execute");
    }
}

TEST(ScriptRunTest, SystemGoesToTheConsole) {
    CRun run(L"system \"echo hi\"\nsystem \"ls\"\n");
    ASSERT_TRUE(run.Run());
    EXPECT_EQ(run.console.commands, (std::vector<std::wstring>{L"echo hi", L"ls"}));
}

TEST(ScriptRunTest, TapePointerWraps) {
    CRun left(L"ishl\n");
    ASSERT_TRUE(left.Run());
    EXPECT_EQ(CScriptTestAccess::WorkPointer(left.script), 29999u);
    CRun right(L"ishl\nishr\n");
    ASSERT_TRUE(right.Run());
    EXPECT_EQ(CScriptTestAccess::WorkPointer(right.script), 0u);
}

// Each of the following was broken by the way statement execution, the
// interpreter object and the call machinery fitted together.
TEST(ScriptRunTest, CallsReturnToTheirCaller) {
    const TRunCase cases[] = {
        // the result is assigned and the caller goes on
        {L"var x = 0\nx = F()\nprint x\nprint \"after\"\nfunction F() {\nreturn 4\n}\n", "", L"4after", -1},
        // a condition that calls a user function
        {L"function F() {\nreturn 4\n}\nif (F() == 4) {\nprint \"yes\"\n}\nprint \"after\"\n", "", L"yesafter", -1},
        // a body without return returns 0 and leaves nothing behind
        {L"var x = 9\nx = F()\nprint x\nfunction F() {\nprint \"in\"\n}\n", "", L"in0", -1},
        // parameters are bound to the arguments
        {L"F(7, 8)\nfunction F(a, b) {\nprint a\nprint b\n}\n", "", L"78", -1},
        // a call above the definition reaches the user function
        {L"var x = 0\nx = G(3)\nprint x\nfunction G(n) {\nif (n == 3) {\nreturn 1\n}\nreturn 2\n}\n", "", L"1", -1},
        // the result goes to the caller's variable, even when the callee has one of the same name
        {L"var x = 0\nx = F(3)\nprint x\nfunction F(x) {\nreturn 8\n}\n", "", L"8", -1},
        // a call inside a loop keeps the loop's counter
        {L"for i = 1 to 3 {\nF(9)\nprint i\n}\nfunction F(i) {\nprint \"-\"\n}\n", "", L"-1-2-3", -1},
        // goto to a label inside the same function keeps its frame
        {L"var n = 0\nvar r = 0\nr = F()\nprint r\nprint n\nfunction F() {\ntop:\nincr n\nif (n < 3) {\ngoto "
         L"top\n}\nreturn 9\n}\n",
         "", L"93", -1},
        // labels are matched without regard to case
        {L"var n = 0\nagain:\nincr n\nif (n < 2) {\ngoto AGAIN\n}\nprint n\n", "", L"2", -1},
        // the innermost counter of a name is the one read
        {L"for i = 1 to 2 {\nfor i = 5 to 6 {\nprint i\n}\nprint i\n}\n", "", L"561562", -1},
        // a number that happens to be the largest signed 32-bit value
        {L"var x = 0\nx = 2147483647\nprint x\n", "", L"2147483647", -1},
        // a loop up to the largest end value ends
        {L"var n = 0\nfor i = 2147483646 to 2147483647 {\nincr n\n}\nprint n\n", "", L"2", -1},
    };
    CheckRuns(cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(ScriptRunTest, BlocksLeaveNoScopesBehind) {
    // Taken ifs, breaks, continues and jumps out of blocks, many times over.
    CRun run(
        L"var n = 0\n"
        L"for i = 1 to 500 {\n"
        L"  if (i > 0) {\n"
        L"    for j = 1 to 3 {\n"
        L"      if (j == 2) {\n"
        L"        continue\n"
        L"      }\n"
        L"      if (j == 3) {\n"
        L"        break\n"
        L"      }\n"
        L"    }\n"
        L"  }\n"
        L"  if (i > 0) {\n"
        L"    goto on\n"
        L"  }\n"
        L"  on:\n"
        L"  F(1)\n"
        L"}\n"
        // The body's end closes the scope of a taken if whose body may hold
        // locals, also where no loop end follows to close it.
        L"if (n == 500) {\n"
        L"  for k = 1 to 2 {\n"
        L"    incr n\n"
        L"  }\n"
        L"}\n"
        L"function F(a) {\n"
        L"  if (a == 1) {\n"
        L"    incr n\n"
        L"    return 0\n"
        L"  }\n"
        L"}\n");
    ASSERT_TRUE(run.Run()) << run.error;
    EXPECT_EQ(run.Var(L"n"), 502);
    EXPECT_TRUE(CScriptTestAccess::ScopeCount(run.script) == 0);
    EXPECT_EQ(CScriptTestAccess::LocalCount(run.script), 0u);
}

TEST(ScriptRunTest, DeepRecursionIsAScriptError) {
    CRun run(L"F()\nfunction F() {\nF()\n}\n");
    EXPECT_FALSE(run.Run());
    EXPECT_EQ(run.error, 2);
    EXPECT_EQ(run.errorFunction, L"CScriptBase::ExecuteUserFunction");
    EXPECT_EQ(CScriptTestAccess::CallDepth(run.script), CScriptBase::kMaxCallDepth);
    // So is the same through conditions.
    CRun viaIf(L"F()\nfunction F() {\nif (F() == 1) {\n}\n}\n");
    EXPECT_FALSE(viaIf.Run());
    EXPECT_EQ(viaIf.error, 2);
}

TEST(ScriptRunTest, RunawayScriptsEndAtTheStepBudget) {
    // A fresh script runs at most the default budget per run.
    EXPECT_EQ(CScriptBase().GetStepBudget(), 100000000u);
    // Each runaway form ends with error 2 at the command that would pass the
    // budget, naming the file and that command's line.
    const struct {
        const wchar_t* text;
        uint32_t line;
    } cases[] = {
        {L"top:\ngoto top\n", 1},
        {L"F()\nfunction F() {\n  again:\n  goto again\n}\n", 4},
        {L"for i = 1 to 2000000000 {\n}\n", 2},
        {L"var n = 0\nfor i = 1 to 2000000000 {\n  incr n\n}\n", 4},
        {L"i+\nicmp\niloop\n", 3},
    };
    for (const auto& c : cases) {
        CRun run(c.text, "", L"Data/Scripts/runaway.u");
        ASSERT_TRUE(run.Parse()) << c.text;
        run.script.SetStepBudget(1000);
        const uint64_t before = run.script.GetExecutedCount();
        try {
            run.script.Execute();
            ADD_FAILURE() << c.text;
        } catch (const CScriptException& e) {
            EXPECT_EQ(e.GetCode(), 2u) << c.text;
            EXPECT_EQ(e.GetScriptFile(), L"Data/Scripts/runaway.u") << c.text;
            EXPECT_EQ(e.GetScriptLine(), c.line) << c.text;
            EXPECT_EQ(e.GetFunction(), L"CScriptBase::ExecuteUnit") << c.text;
        }
        EXPECT_EQ(run.script.GetExecutedCount() - before, 1001u) << c.text;
    }
}

TEST(ScriptRunTest, StepBudgetCountsEachRun) {
    // About 400 commands a run and 3 an event: within a budget of 700 each,
    // though not all together.
    CRun run(L"var n = 0\nfor i = 1 to 200 {\n  incr n\n}\nF()\nfunction F() {\n  incr n\n}\n");
    ASSERT_TRUE(run.Parse());
    run.script.SetStepBudget(700);
    for (int i = 0; i < 3; ++i) {
        run.script.ResetRuntime();
        EXPECT_NO_THROW(run.script.Execute()) << i;
        EXPECT_NO_THROW(run.script.ExecuteUserFunction(L"F", 0, L"", true, true)) << i;
    }
    EXPECT_EQ(run.Var(L"n"), 3 * 202);
    // Events that follow each other without a reset are runs of their own.
    for (int i = 0; i < 400; ++i) {
        run.script.ExecuteUserFunction(L"F", 0, L"", true, true);
    }
    EXPECT_EQ(run.Var(L"n"), 3 * 202 + 400);
    // No budget at all.
    CRun unlimited(L"var n = 0\nfor i = 1 to 5000 {\n  incr n\n}\n");
    ASSERT_TRUE(unlimited.Parse());
    unlimited.script.SetStepBudget(0);
    unlimited.script.Execute();
    EXPECT_EQ(unlimited.Var(L"n"), 5000);
}

TEST(ScriptRunTest, StepBudgetStopsEndlessRuns) {
    CRun run(L"top:\ngoto top\n");
    ASSERT_TRUE(run.Parse());
    run.script.SetStepBudget(1000);
    EXPECT_THROW(run.script.Execute(), CScriptException);
    EXPECT_EQ(run.script.GetExecutedCount(), 1001u);

    CRun cancelled(L"F()\nfunction F() {\ntop:\ngoto top\n}\n");
    ASSERT_TRUE(cancelled.Parse());
    int asked = 0;
    cancelled.script.SetCancelHook([&asked] { return ++asked == 3; });
    EXPECT_THROW(cancelled.script.Execute(), CScriptException);
    EXPECT_EQ(asked, 3);
}

TEST(ScriptRunTest, RndAndChanceInScripts) {
    vek::CStdRand generator;
    generator.Seed(1);
    vek::SetRandomGenerator(&generator);
    CRun run(
        L"var a = 0\nvar b = 0\nvar c = 0\na = Rnd(3, 3)\nb = Rnd(6, 1)\nc = Chance(5, 5)\nprint a\nprint b\nprint "
        L"c\n");
    const bool ran = run.Run();
    vek::SetRandomGenerator(nullptr);
    ASSERT_TRUE(ran);
    EXPECT_EQ(run.Output(), L"311");
}

} // namespace

namespace {

// A script whose lookup falls back to variables kept outside it, as the
// game's falls back to the global declarations, with a built-in (Swap, id 2)
// that puts another variable in the place of one of them while it runs.
class COutsideScript : public scripttest::CTestScript {
public:
    COutsideScript() { RegisterFunction(L"Swap", 2, L"", 0, 0, 0); }
    CVariable* FindVariable(const std::wstring& name, bool localsOnly) override {
        if (CVariable* own = CScriptBase::FindVariable(name, localsOnly)) {
            return own;
        }
        const auto it = outside.find(name);
        return localsOnly || it == outside.end() ? nullptr : it->second;
    }
    using CScriptBase::ExecuteFunction;
    int32_t ExecuteFunction(uint32_t id) override {
        if (id != 2) {
            return CScriptBase::ExecuteFunction(id);
        }
        outside[L"G"] = swapIn;
        return 0;
    }
    std::map<std::wstring, CVariable*> outside;
    CVariable* swapIn = nullptr;
};

} // namespace

TEST(ScriptRunTest, LookupsFollowEveryBindingChange) {
    const TRunCase cases[] = {
        // a loop counter hides a declared variable of its name, until the loop ends
        {L"var i = 7\nprint i\nfor i = 1 to 2 {\nprint i\n}\nprint i\n", "", L"7127", -1},
        // a parameter hides a declared variable; the caller's comes back after the call
        {L"var n = 5\nvar r = 0\nprint n\nr = F(9)\nprint n\nfunction F(n) {\nprint n\nincr n\nprint n\nreturn 1\n}\n",
         "", L"59105", -1},
        // nested loops over the same name: the inner counter hides the outer
        {L"for i = 1 to 2 {\nprint i\nfor i = 5 to 6 {\nprint i\n}\nprint i\n}\n", "", L"15612562", -1},
        // a counter left behind by a loop that a goto left is gone with its scope
        {L"var k = 0\nfor i = 3 to 3 {\ngoto out\n}\nout:\nincr k\nif (k < 3) {\ngoto again\n}\nagain:\nprint k\n", "",
         L"1", -1},
        // a variable gone with its scope is missing, not the value it had
        {L"function F() {\nfor j = 1 to 1 {\n}\nprint j\n}\nF()\n", "", L"", 32},
        // conditions see the same changes
        {L"var a = 1\nfor a = 5 to 5 {\nif (a == 5) {\nprint \"inner\"\n}\n}\nif (a == 1) {\nprint \"outer\"\n}\n", "",
         L"innerouter", -1},
    };
    CheckRuns(cases, sizeof(cases) / sizeof(cases[0]));
}

TEST(ScriptRunTest, LookupsFollowChangesFromOutside) {
    CWarningCapture warnings;
    CVariable first(L"G", 10, 0, CVariable::kKindU32);
    CVariable second(L"G", 20, 0, CVariable::kKindU32);
    COutsideScript script;
    std::istringstream in;
    std::wostringstream out;
    CStreamScriptConsole console(in, out);
    script.SetConsole(&console);
    script.outside[L"G"] = &first;
    script.swapIn = &second;
    script.LoadText(L"incr G\nprint G\nSwap()\nincr G\nprint G\nprint \" \"\n", L"t.u");
    script.Parse();
    // Within the run the built-in moves G; between runs the owner does.
    script.Execute();
    EXPECT_EQ(out.str(), L"1121 ");
    EXPECT_EQ(first.GetValue(), 11);
    EXPECT_EQ(second.GetValue(), 21);
    CVariable third(L"G", 30, 0, CVariable::kKindU32);
    script.outside[L"G"] = &third;
    script.swapIn = &third;
    script.ResetRuntime();
    script.Execute();
    EXPECT_EQ(out.str(), L"1121 3132 ");
    // A declared variable of the name comes before the outside one.
    script.AddGlobalVariable(L"g");
    script.ResetRuntime();
    script.Execute();
    EXPECT_EQ(out.str(), L"1121 3132 12 ");
    EXPECT_EQ(third.GetValue(), 32);
}

TEST(ScriptRunTest, LookupsFollowTheDeclaredVariables) {
    CWarningCapture warnings;
    uint32_t field = 4;
    CRun run(L"var a = 1\nincr a\nincr b\nprint a\nprint b\n");
    run.script.GetParseResults().Variables().emplace_back(L"b", &field, CVariable::kKindU32);
    ASSERT_TRUE(run.Run()) << run.error;
    EXPECT_EQ(run.Output(), L"25");
    // More declared variables (the list grows and moves) between runs.
    for (int i = 0; i < 50; ++i) {
        run.script.AddGlobalVariable(L"extra" + std::to_wstring(i));
    }
    run.script.ResetRuntime();
    run.script.Execute();
    EXPECT_EQ(run.Output(), L"2536");
    EXPECT_EQ(field, 6u);
    // Loaded over from a save whose variable is named otherwise: "a" is
    // gone, so the first command fails.
    vek::StreamReset();
    CParseResults stored;
    stored.Variables().emplace_back(L"z", 9, 0, CVariable::kKindU32);
    stored.Save();
    const std::span<const uint8_t> bytes = vek::GetStream().bytes();
    vek::StreamAssign(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    run.script.Load();
    vek::StreamReset();
    run.script.ResetRuntime();
    try {
        run.script.Execute();
        FAIL();
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetCode(), 32u);
        EXPECT_EQ(e.GetScriptLine(), 2u);
    }
}

TEST(ScriptRunTest, CopiesMadeAfterARunKeepToTheirOwnVariables) {
    CRun run(L"var n = 0\nfor i = 1 to 3 {\nincr n\n}\n");
    ASSERT_TRUE(run.Run());
    EXPECT_EQ(run.Var(L"n"), 3);
    // The source's lookups point into the source; a copy must not use them.
    CScriptBase copy(run.script);
    copy.ResetRuntime();
    copy.Execute();
    EXPECT_EQ(copy.FindVariable(L"n", false)->GetValue(), 6);
    EXPECT_EQ(run.Var(L"n"), 3);
    CScriptBase assigned;
    assigned = copy;
    assigned.ResetRuntime();
    assigned.Execute();
    EXPECT_EQ(assigned.FindVariable(L"n", false)->GetValue(), 9);
    EXPECT_EQ(copy.FindVariable(L"n", false)->GetValue(), 6);
    run.script.ResetRuntime();
    run.script.Execute();
    EXPECT_EQ(run.Var(L"n"), 6);
}

namespace {

// What a comparison or a joining operator answers, worked out apart from
// the interpreter.
bool Holds(const std::wstring& op, uint64_t left, uint64_t right) {
    if (op == L"==") {
        return left == right;
    }
    if (op == L"!=") {
        return left != right;
    }
    if (op == L"<") {
        return left < right;
    }
    if (op == L">") {
        return left > right;
    }
    if (op == L"<=") {
        return left <= right;
    }
    if (op == L">=") {
        return left >= right;
    }
    if (op == L"&&") {
        return left != 0 && right != 0;
    }
    if (op == L"||") {
        return left != 0 || right != 0;
    }
    return (left != 0) != (right != 0); // ^^
}

// Runs the condition three times over; the rounds after the first use the
// lookups that the first one made. "111" or "000".
std::wstring RoundsOf(const std::wstring& declarations, const std::wstring& condition) {
    CRun run(declarations + L"for r = 1 to 3 {\nif (" + condition + L") {\nprint \"1\"\n} else {\nprint \"0\"\n}\n}\n");
    if (!run.Run()) {
        return L"error " + std::to_wstring(run.error);
    }
    return run.Output();
}

} // namespace

TEST(ScriptRunTest, ConditionsAnswerAlikeOnEveryRound) {
    CWarningCapture warnings;
    const std::wstring comparisons[] = {L"==", L"!=", L"<", L">", L"<=", L">="};
    const uint64_t values[] = {0, 5, 4294967295};
    for (const std::wstring& op : comparisons) {
        for (uint64_t a : values) {
            for (uint64_t b : values) {
                const std::wstring declared =
                    L"var a = " + std::to_wstring(a) + L"\nvar b = " + std::to_wstring(b) + L"\n";
                const std::wstring expected = Holds(op, a, b) ? L"111" : L"000";
                EXPECT_EQ(RoundsOf(declared, L"a " + op + L" b"), expected) << a << op << b;
                EXPECT_EQ(RoundsOf(declared, L"a " + op + L" " + std::to_wstring(b)), expected) << a << op << b;
            }
        }
    }
    // Two comparisons joined: every operator on every pair of answers.
    const std::wstring joiners[] = {L"&&", L"||", L"^^", L"==", L"!=", L"<", L">", L"<=", L">="};
    for (const std::wstring& op : joiners) {
        for (int left = 0; left < 2; ++left) {
            for (int right = 0; right < 2; ++right) {
                // a < b holds for left; c == 7 for right.
                const std::wstring declared = L"var a = " + std::to_wstring(left ? 1 : 2) + L"\nvar b = 2\nvar c = " +
                                              std::to_wstring(right ? 7 : 8) + L"\n";
                const std::wstring expected = Holds(op, left, right) ? L"111" : L"000";
                EXPECT_EQ(RoundsOf(declared, L"(a < b) " + op + L" (c == 7)"), expected) << left << op << right;
            }
        }
    }
}

TEST(ScriptRunTest, AMissingVariableOfAConditionIsReportedAtItsIf) {
    const struct {
        const wchar_t* text;
        uint32_t line;
    } cases[] = {
        {L"var a = 1\nif (a == 1 && b == 2) {\n}\n", 2},
        {L"var a = 1\nif (b == 1 || a == 2) {\n}\n", 2},
        {L"var a = 1\nif (a < b) {\n}\n", 2},
        // found on the first rounds, gone on a later one
        {L"var a = 1\nfor r = 1 to 3 {\nfor j = 1 to 1 {\nif (a == 1 && j == 1) {\n}\n}\nif (r == 2 && j == 1) "
         L"{\n}\n}\n",
         7},
    };
    for (const auto& c : cases) {
        CRun run(c.text);
        EXPECT_FALSE(run.Run()) << c.text;
        EXPECT_EQ(run.error, 32) << c.text;
        EXPECT_EQ(run.errorLine, c.line) << c.text;
        EXPECT_EQ(run.errorFunction, L"CScriptBase::ExecuteLogExpr") << c.text;
    }
}

TEST(ScriptRunTest, ErrorsOfAParsedScriptKeepTheirLinesWithoutItsText) {
    const std::wstring longLine = L"// " + std::wstring(300, L'-') + L"\n";
    std::wstring many;
    for (int i = 0; i < 100; ++i) {
        many += L"incr a\n";
    }
    const struct {
        std::wstring text;
        uint32_t line;
    } cases[] = {
        {L"println missing", 1},
        {L"var a = 1\r\n\r\nprintln missing\r\n", 3},
        {L"var a = 1\r\rprintln missing", 3},
        {L"var a = 1\n" + longLine + longLine + L"\n  println missing\n", 5},
        {L"var a = 1\n" + many + L"label:\nprintln missing", 103},
        {L"function F() {\nprintln missing\n}\nF()\n", 2},
    };
    for (const auto& c : cases) {
        CRun run(c.text);
        EXPECT_FALSE(run.Run()) << platform::ToUtf8(c.text);
        EXPECT_EQ(run.error, 32) << platform::ToUtf8(c.text);
        EXPECT_EQ(run.errorLine, c.line) << platform::ToUtf8(c.text);
    }
}

TEST(ScriptRunTest, AParsedTextIsNotParsedAgain) {
    CRun run(L"var a = 1\nincr a\n");
    ASSERT_TRUE(run.Run());
    try {
        run.script.Parse();
        FAIL() << "parsed twice";
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetCode(), static_cast<uint32_t>(kErrParse));
        EXPECT_EQ(e.GetFunction(), L"CScriptBase::Parse");
    }
    run.script.Reset();
    run.script.LoadText(L"var b = 2\n", L"again.u");
    run.script.Parse();
    EXPECT_EQ(run.script.GetParseResults().Variables().size(), 1u);
}

namespace {

// A script with every hook a game script uses: a statement of its own
// ("tick"), a base statement it sees itself (incr), a variable kept outside
// it (G) and a built-in it dispatches by name (Bump). Handed everything, it
// sees every command, as a run did before it was asked which.
class CHookScript : public scripttest::CTestScript {
public:
    static constexpr uint32_t kTick = kCmdFirstGameKind;

    explicit CHookScript(bool everything) : m_everything(everything) { RegisterFunction(L"Bump", 2, L"n"); }
    void ParseUnit(bool& store, TCommand& command) override {
        if (GetToken() == L"tick") {
            command.kind = kTick;
            return;
        }
        CScriptBase::ParseUnit(store, command);
    }
    bool HandlesCommand(const TCommand& command) const override {
        return m_everything || command.kind == kCmdIncr || CScriptBase::HandlesCommand(command);
    }
    bool ExecuteUnit() override {
        const TCommand& command = GetParseResults().Commands()[GetCurrentCommand()];
        if (command.kind == kTick) {
            ++ticks;
            return true;
        }
        ++seen[command.kind];
        return CScriptBase::ExecuteUnit();
    }
    CVariable* FindVariable(const std::wstring& name, bool localsOnly) override {
        if (CVariable* own = CScriptBase::FindVariable(name, localsOnly)) {
            return own;
        }
        return !localsOnly && name == L"G" ? &outside : nullptr;
    }
    using CScriptBase::ExecuteFunction;
    void ExecuteFunction(const std::wstring& name, bool assign, const std::wstring& target) override {
        if (name != L"Bump") {
            CScriptBase::ExecuteFunction(name, assign, target);
            return;
        }
        outside.SetValue(outside.GetValue() + PopArgInt());
        ++bumps;
        if (assign) {
            VariableAssign(target, outside.GetValue(), true);
        }
    }

    CVariable outside{L"G", 10, 0, CVariable::kKindU32};
    std::map<uint32_t, int> seen; // by kind, what reached ExecuteUnit
    int ticks = 0;
    int bumps = 0;

private:
    bool m_everything;
};

} // namespace

TEST(ScriptRunTest, DerivedScriptsKeepTheirHooks) {
    const wchar_t* const text =
        L"var n = 0\n"
        L"var got = 0\n"
        L"for i = 1 to 4 {\n"
        L"  tick\n"
        L"  incr n\n"
        L"  incr G\n"
        L"  got = Bump(2)\n"
        L"  if (G > 12 && n != 3) {\n"
        L"    tick\n"
        L"  } else {\n"
        L"    decr n\n"
        L"  }\n"
        L"}\n"
        L"F()\n"
        L"function F() {\n"
        L"  tick\n"
        L"  incr n\n"
        L"  return 1\n"
        L"}\n";
    for (bool everything : {false, true}) {
        CHookScript script(everything);
        script.LoadText(text, L"hooks.u");
        script.Parse();
        const uint64_t before = script.GetExecutedCount();
        script.Execute();
        // G: 10, then each round one incr and 2 from Bump; the condition
        // holds on the first two rounds, while n is 1 and 2.
        EXPECT_EQ(script.FindVariable(L"n", false)->GetValue(), 3) << everything;
        EXPECT_EQ(script.outside.GetValue(), 22) << everything;
        EXPECT_EQ(script.FindVariable(L"got", false)->GetValue(), 22) << everything;
        EXPECT_EQ(script.ticks, 4 + 2 + 1) << everything;
        EXPECT_EQ(script.bumps, 4) << everything;
        EXPECT_EQ(script.seen[kCmdIncr], 4 + 4 + 1) << everything;
        EXPECT_EQ(script.seen[kCmdDecr], everything ? 2 : 0) << everything;
        // Base commands count, the script's own do not: the for; rounds of
        // 7 (incr, incr, assignment, call, if, brace, loop end) and of 9
        // (the same with else, decr and its brace in place of the if's
        // brace); the call, incr and return of F; the definition stepped
        // over and the end marker.
        EXPECT_EQ(script.GetExecutedCount() - before, 1u + 7 + 7 + 9 + 9 + 3 + 2) << everything;
    }
}

TEST(ScriptRunTest, ConditionErrorsAfterACallReportTheIfsLine) {
    // The called function runs commands of its own lines; the condition's
    // missing variable is still reported on the if's line.
    const struct {
        const wchar_t* text;
        int error;
        uint32_t line;
    } cases[] = {
        {L"var a = 1\nif (F() == 1 && zz == 2) {\nprint \"y\"\n}\nfunction F() {\nG(1)\nreturn 1\n}\nfunction G(k) "
         L"{\nprint \"g\"\n}\n",
         32, 2},
        {L"var a = 1\nif (Rnd(1, 1) == 1 && zz == 2) {\nprint \"y\"\n}\n", 32, 2},
        // the callee's own error keeps its own line
        {L"var a = 1\nif (F() == 1) {\nprint \"y\"\n}\nfunction F() {\nprint zz\n}\n", 32, 6},
    };
    for (const auto& c : cases) {
        CWarningCapture warnings;
        CRun run(c.text);
        EXPECT_FALSE(run.Run()) << c.text;
        EXPECT_EQ(run.error, c.error) << c.text;
        EXPECT_EQ(run.errorLine, c.line) << c.text;
    }
}

TEST(ScriptRunTest, CallResultsLandInTheirVariables) {
    const TRunCase cases[] = {
        // the receiver, round after round, also one named like a parameter
        {L"var x = 0\nfor i = 1 to 3 {\nx = F(7)\nprint x\n}\nfunction F(x) {\nreturn 4\n}\n", "", L"444", -1},
        // a loop counter as the receiver
        {L"for i = 1 to 2 {\ni = F()\nprint i\n}\nfunction F() {\nreturn 2\n}\n", "", L"2", -1},
        // a negative result is refused where it would land, also after rounds that landed
        {L"var x = 0\nx = F()\nprint x\nfunction F() {\nreturn -1\n}\n", "", L"", 2},
        {L"var x = 0\nvar n = 0\nfor i = 1 to 3 {\nx = F()\nprint x\n}\nfunction F() {\nincr n\nif (n == 2) "
         L"{\nreturn -1\n}\nreturn 1\n}\n",
         "", L"1", 2},
    };
    CheckRuns(cases, sizeof(cases) / sizeof(cases[0]));
    // Called from outside with a receiver, the result has no call to take it.
    CRun run(L"var x = 0\nfunction F() {\nreturn 3\n}\n");
    ASSERT_TRUE(run.Parse());
    try {
        run.script.ExecuteUserFunction(L"F", 1, L"x", true, true);
        ADD_FAILURE();
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetCode(), 2u);
        EXPECT_EQ(e.GetFunction(), L"CScriptBase::VariableAssign");
    }
    EXPECT_EQ(run.Var(L"x"), 0);
}
