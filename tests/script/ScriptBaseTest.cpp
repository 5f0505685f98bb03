// The interpreter object: registry, built-ins, resets, user functions called
// from outside, variables, persistence and copies.
#include <gtest/gtest.h>

#include "VEKLib/Random.h"
#include "VEKLib/Stream.h"
#include "VEKLib/Strings.h"
#include "platform/CrtRand.h"
#include "script/ScriptBase.h"
#include "tests/script/ScriptRunner.h"
#include "tests/script/ScriptTestAccess.h"

namespace {

using scripttest::CRun;
using scripttest::CWarningCapture;

// A script with one more built-in, Peek (id 2), which records the names of
// the locals it can see.
class CPeekScript : public scripttest::CTestScript {
public:
    CPeekScript() { RegisterFunction(L"Peek", 2, L"", 0, 0, 0); }
    using CScriptBase::ExecuteFunction;
    int32_t ExecuteFunction(uint32_t id) override {
        if (id != 2) {
            return CScriptBase::ExecuteFunction(id);
        }
        std::wstring names;
        for (const std::wstring& name : CScriptTestAccess::LocalNames(*this)) {
            names += name + L" ";
        }
        seen.push_back(names);
        return 0;
    }
    std::vector<std::wstring> seen;
};

int32_t CallBuiltIn(CScriptBase& script, uint32_t id, const std::wstring& a, const std::wstring& b) {
    script.PushArgument(a);
    script.PushArgument(b);
    return script.ExecuteFunction(id);
}

TEST(ScriptBaseTest, FreshRegistryHoldsRndAndChance) {
    CScriptBase script;
    const auto& registry = script.GetRegistry();
    ASSERT_EQ(registry.size(), 2u);
    EXPECT_EQ(registry[0].name, L"Rnd");
    EXPECT_EQ(registry[0].id, 0u);
    EXPECT_EQ(registry[0].signature, L"nn");
    EXPECT_EQ(registry[1].name, L"Chance");
    EXPECT_EQ(registry[1].id, 1u);
    EXPECT_EQ(registry[1].signature, L"nn");
    EXPECT_EQ(script.FindSystemFunction(L"CHANCE"), 1);
    EXPECT_EQ(script.FindSystemFunction(L"Nope"), -1);
    EXPECT_TRUE(script.IsBlockKind(kCmdIf) && script.IsBlockKind(kCmdElse));
    EXPECT_TRUE(script.IsBlockKind(kCmdFunction) && script.IsBlockKind(kCmdFor));
    EXPECT_FALSE(script.IsBlockKind(kCmdCloseBrace));
    EXPECT_EQ(script.GetPosition(), CParserCore::kEndOfText);
}

TEST(ScriptBaseTest, RegisteringANameTwiceKeepsBoth) {
    CScriptBase script;
    script.RegisterFunction(L"Twice", 5, L"s");
    script.RegisterFunction(L"twice", 6, L"n");
    ASSERT_EQ(script.GetRegistry().size(), 4u);
    EXPECT_EQ(script.FindSystemFunction(L"TWICE"), 2);
}

TEST(ScriptBaseTest, RndAndChance) {
    CScriptBase script;
    // Without a generator both give 0 for ordered bounds.
    EXPECT_EQ(CallBuiltIn(script, 0, L"1", L"6"), 0);
    EXPECT_EQ(CallBuiltIn(script, 1, L"1", L"6"), 0);

    vek::CStdRand generator;
    generator.Seed(7);
    vek::SetRandomGenerator(&generator);
    const uint32_t before = platform::CrtRandState();
    // Reversed bounds give the upper bound and draw nothing.
    EXPECT_EQ(CallBuiltIn(script, 0, L"6", L"1"), 1);
    EXPECT_EQ(CallBuiltIn(script, 1, L"0", L"5"), 0);
    EXPECT_EQ(CallBuiltIn(script, 1, L"6", L"5"), 0);
    EXPECT_EQ(platform::CrtRandState(), before);
    EXPECT_EQ(CallBuiltIn(script, 0, L"3", L"3"), 3);
    EXPECT_EQ(CallBuiltIn(script, 1, L"5", L"5"), 1);
    for (int i = 0; i < 50; ++i) {
        const int32_t value = CallBuiltIn(script, 0, L"2", L"4");
        EXPECT_TRUE(value >= 2 && value <= 4) << value;
    }
    // Bounds whose range does not fit 32 bits.
    for (int i = 0; i < 50; ++i) {
        CallBuiltIn(script, 0, L"2147483648", L"2147483647");
        const int32_t value = CallBuiltIn(script, 0, L"0", L"2147483647");
        EXPECT_GE(value, 0);
    }
    vek::SetRandomGenerator(nullptr);
    EXPECT_EQ(CScriptTestAccess::ValueStackSize(script), 0u);
}

TEST(ScriptBaseTest, OtherIdsAreNotFound) {
    CScriptBase script;
    try {
        script.ExecuteFunction(2);
        FAIL();
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetCode(), 33u);
        EXPECT_EQ(e.GetFunction(), L"CScriptBase::ExecuteFunction");
        EXPECT_EQ(e.GetSourceFile(), L"M_ScriptBase");
    }
}

TEST(ScriptBaseTest, ResetRuntimeKeepsTheParse) {
    CRun run(L"var n = 0\nincr n\ni+ ishr i+\nF(1)\nfunction F(a) {\nfor i = 1 to 2 {\nexit\n}\n}\n");
    ASSERT_TRUE(run.Run());
    EXPECT_EQ(CScriptTestAccess::WorkCell(run.script, 0), 1);
    const size_t commands = run.Commands().size();
    run.script.ResetRuntime();
    EXPECT_EQ(run.script.GetCurrentCommand(), 0);
    EXPECT_EQ(CScriptTestAccess::WorkCell(run.script, 0), 0);
    EXPECT_EQ(CScriptTestAccess::WorkCell(run.script, 1), 0);
    EXPECT_EQ(CScriptTestAccess::WorkPointer(run.script), 0u);
    EXPECT_EQ(CScriptTestAccess::LocalCount(run.script), 0u);
    EXPECT_TRUE(CScriptTestAccess::CallDepth(run.script) == 0);
    EXPECT_TRUE(CScriptTestAccess::ScopeCount(run.script) == 0);
    EXPECT_EQ(run.Commands().size(), commands);
    // Declared variables keep their values; a second run goes on from them.
    run.script.Execute();
    EXPECT_EQ(run.Var(L"n"), 2);
}

TEST(ScriptBaseTest, ResetMakesAFreshObject) {
    CWarningCapture warnings;
    CRun run(L"var n = 0\nfunction F() {\n}\n");
    ASSERT_TRUE(run.Parse());
    run.script.Reset();
    EXPECT_EQ(run.script.GetText(), L"");
    EXPECT_EQ(run.script.GetFileName(), L"");
    EXPECT_FALSE(run.script.IsLoaded());
    EXPECT_FALSE(run.script.IsParsed());
    EXPECT_TRUE(run.Commands().empty());
    EXPECT_TRUE(run.script.GetParseResults().Variables().empty());
    EXPECT_EQ(run.script.GetRegistry().size(), 2u);
    EXPECT_TRUE(CScriptTestAccess::ParameterPool(run.script).empty());
    // It parses another text as if new.
    run.script.LoadText(L"var m = 3\nincr m\n", L"other.u");
    run.script.Parse();
    run.script.Execute();
    EXPECT_EQ(run.Var(L"m"), 4);
    EXPECT_EQ(run.Var(L"n"), -1);
}

TEST(ScriptBaseTest, ClearLocalVariablesDropsUserFunctions) {
    CScriptBase script;
    script.RegisterFunction(L"Game", 2, L"s");
    script.LoadText(L"function A(x) {\n}\nfunction B() {\n}\n", L"t.u");
    script.Parse();
    EXPECT_EQ(script.GetRegistry().size(), 5u);
    script.ClearLocalVariables();
    ASSERT_EQ(script.GetRegistry().size(), 3u);
    EXPECT_EQ(script.GetRegistry()[2].name, L"Game");
    EXPECT_EQ(script.FindSystemFunction(L"A"), -1);
    EXPECT_TRUE(CScriptTestAccess::ParameterPool(script).empty());
}

// A derived script with its own dispatch: built-in calls by name are
// recorded, and user functions are called with a copy of their name.
class CDispatchScript : public scripttest::CTestScript {
public:
    using CScriptBase::ExecuteFunction;
    void ExecuteFunction(const std::wstring& name, bool assign, const std::wstring& target) override {
        calls.push_back(assign ? name + L">" + target : name);
        CScriptBase::ExecuteFunction(name, assign, target);
    }
    bool ExecuteUserFunction(const std::wstring& name, uint8_t flag, const std::wstring& receiver,
                             bool preferOverriding, bool mustExist) override {
        const std::wstring copy = name;
        return CScriptBase::ExecuteUserFunction(copy, flag, receiver, preferOverriding, mustExist);
    }
    bool CallsInPlace() const override { return false; }
    std::vector<std::wstring> calls;
};

TEST(ScriptBaseTest, CallsGoThroughTheDerivedDispatch) {
    CWarningCapture warnings;
    CDispatchScript script;
    std::istringstream in;
    std::wostringstream out;
    CStreamScriptConsole console(in, out);
    script.SetConsole(&console);
    script.files[L"base.u"] = L"function G(a) {\nprint a\n}\n";
    script.LoadText(
        L"extends \"base.u\"\n"
        L"var x = 9\nvar y = 0\nvar z = 0\n"
        L"x = Rnd(3, 1)\n"
        L"RND(2, 1)\n"
        L"y = F(7)\n"
        L"function F(a) {\nif (a == 7) {\nreturn 4\n}\nreturn 1\n}\n"
        L"z = F(7)\n"
        L"overridden function G(a) {\nsuper\n}\n"
        L"G(5)\n",
        L"t.u");
    script.Parse();
    script.ResetRuntime();
    script.Execute();
    // Built-ins by name, with the receiving variable; user functions never.
    EXPECT_EQ(script.calls, (std::vector<std::wstring>{L"Rnd>x", L"RND"}));
    EXPECT_EQ(script.FindVariable(L"x", false)->GetValue(), 1);
    // The arguments reach the function above and below its definition, and
    // the overridden one through super.
    EXPECT_EQ(script.FindVariable(L"y", false)->GetValue(), 4);
    EXPECT_EQ(script.FindVariable(L"z", false)->GetValue(), 4);
    EXPECT_EQ(out.str(), L"5");
}

// The same script run with calls entered in the run's own loop and with
// every call through ExecuteUserFunction: what it prints, the error, where
// the run stopped and how many commands it took.
class CDispatchedCalls : public scripttest::CTestScript {
public:
    bool CallsInPlace() const override { return false; }
};

TEST(ScriptBaseTest, CallsInPlaceRunAsDispatchedCalls) {
    CWarningCapture warnings;
    const struct {
        const wchar_t* text;
        uint64_t budget;
    } cases[] = {
        // Recursion with results, a function that ends without return.
        {L"var d = 3\nvar r = 0\nfunction Down(n) {\nif (n == 0) {\nreturn 5\n}\ndecr d\nr = Down(d)\n"
         L"incr r\nreturn r\n}\nfunction None() {\n}\nr = Down(3)\nprintln r\nr = None()\nprintln r\n",
         0},
        // A parameter hides a declared variable until its function returns.
        {L"var a = 1\nvar r = 0\nfunction F(a) {\nprintln a\nreturn a\n}\nr = F(9)\nprintln a\nprintln r\n", 0},
        // exit, and goto out of a function, leave every call.
        {L"function F(a) {\nprintln a\nexit\n}\nF(1)\nprintln a\n", 0},
        {L"var x = 0\nfunction F(a) {\ngoto out\n}\nF(2)\nout:\nincr x\nprintln x\n", 0},
        // Too deep, the budget running out inside a call, a missing variable.
        {L"function F(a) {\nF(a)\n}\nF(1)\n", 0},
        {L"var x = 0\nfunction F(a) {\nincr x\nincr x\nreturn 1\n}\nfor i = 1 to 9 {\nx = F(1)\n}\n", 14},
        {L"var r = 0\nfunction F(a) {\nreturn 1\n}\nq = F(1)\n", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(scripttest::RunOutcome<scripttest::CTestScript>(c.text, c.budget),
                  scripttest::RunOutcome<CDispatchedCalls>(c.text, c.budget))
            << vek::WideToUtf8(c.text);
    }
}

// A built-in that links the list again while calls are running.
class CRelinkScript : public scripttest::CTestScript {
public:
    CRelinkScript() { RegisterFunction(L"Relink", 2, L"", 0, 0, 0); }
    using CScriptBase::ExecuteFunction;
    int32_t ExecuteFunction(uint32_t id) override {
        if (id != 2) {
            return CScriptBase::ExecuteFunction(id);
        }
        CScriptTestAccess::Relink(*this);
        return 0;
    }
};

TEST(ScriptBaseTest, SuperGetsTheArgumentsAfterALinkDroppedTheCallSites) {
    CWarningCapture warnings;
    CRelinkScript script;
    std::istringstream in;
    std::wostringstream out;
    CStreamScriptConsole console(in, out);
    script.SetConsole(&console);
    script.files[L"base.u"] = L"function F(a, b) {\nprint a\nprint b\n}\nfunction G(c) {\nprint c\n}\n";
    script.LoadText(
        L"extends \"base.u\"\nF(4, 9)\noverridden function F(a, b) {\nG(6)\nsuper\n}\n"
        L"overridden function G(c) {\nRelink()\nsuper\n}\n",
        L"t.u");
    script.Parse();
    script.ResetRuntime();
    script.Execute();
    EXPECT_EQ(out.str(), L"649");
}

TEST(ScriptBaseTest, EventsRunByName) {
    CWarningCapture warnings;
    CPeekScript script;
    std::istringstream in;
    std::wostringstream out;
    CStreamScriptConsole console(in, out);
    script.SetConsole(&console);
    script.files[L"base.u"] = L"function OnEnter() {\nprint \"base\"\n}\n";
    script.LoadText(
        L"extends \"base.u\"\n"
        L"overridden function onenter() {\nprint \"derived\"\nPeek()\n}\n",
        L"t.u");
    script.Parse();

    // An event the script does not define: nothing happens, the values wait.
    script.AddVariable(L"A", 1);
    script.AddVariable(L"B", 2);
    EXPECT_FALSE(script.ExecuteUserFunction(L"OnExit", 0, L"", true, false));
    EXPECT_EQ(CScriptTestAccess::PendingCount(script), 2u);
    EXPECT_THROW(script.ExecuteUserFunction(L"OnExit", 0, L"", true, true), CScriptException);

    // The overriding definition; the values arrive last first.
    EXPECT_TRUE(script.ExecuteUserFunction(L"ONENTER", 0, L"", true, false));
    EXPECT_EQ(out.str(), L"derived");
    EXPECT_EQ(script.seen, (std::vector<std::wstring>{L"B A "}));
    EXPECT_EQ(CScriptTestAccess::PendingCount(script), 0u);
    EXPECT_EQ(CScriptTestAccess::LocalCount(script), 0u);
    // Without preferring overrides: the base's.
    EXPECT_TRUE(script.ExecuteUserFunction(L"OnEnter", 0, L"", false, false));
    EXPECT_EQ(out.str(), L"derivedbase");
}

TEST(ScriptBaseTest, EventWithAResultAndAJumpOut) {
    CWarningCapture warnings;
    CRun run(L"var r = 0\nout:\nprint \"top\"\nfunction E() {\nreturn 3\n}\nfunction J() {\ngoto out\n}\n");
    ASSERT_TRUE(run.Parse());
    // Results go to their variable only from a call command; an event
    // wants none.
    EXPECT_TRUE(run.script.ExecuteUserFunction(L"E", 0, L"", true, true));
    EXPECT_EQ(run.script.GetReturnValue(), 3);
    EXPECT_THROW(run.script.ExecuteUserFunction(L"E", 1, L"r", true, true), CScriptException);
    run.script.ResetRuntime();
    // A jump out of the event ends it, at the label.
    EXPECT_TRUE(run.script.ExecuteUserFunction(L"J", 0, L"", true, true));
    EXPECT_EQ(run.script.GetCurrentCommand(), 0); // the label
    EXPECT_TRUE(CScriptTestAccess::CallDepth(run.script) == 0);
    EXPECT_EQ(run.Output(), L"");
}

TEST(ScriptBaseTest, FindVariableLocalsFirst) {
    CPeekScript script;
    script.LoadText(L"var Shared = 1\nvar LocWorldX = 5\nfunction F() {\nPeek()\n}\n", L"t.u");
    CWarningCapture warnings;
    script.Parse();
    EXPECT_EQ(script.FindVariable(L"locworldx", false)->GetValue(), 5);
    EXPECT_EQ(script.FindVariable(L"shared", true), nullptr);
    EXPECT_EQ(script.FindVariable(L"", false), nullptr);
    EXPECT_EQ(script.FindVariable(L"none", false), nullptr);
    // During a call a handed-in local hides the declared variable.
    script.AddVariable(L"SHARED", 9);
    script.ExecuteUserFunction(L"F", 0, L"", true, true);
    EXPECT_EQ(script.seen, (std::vector<std::wstring>{L"SHARED "}));
}

TEST(ScriptBaseTest, AddGlobalVariable) {
    CScriptBase script;
    script.AddGlobalVariable(L"Bank");
    const CVariable* bank = script.FindVariable(L"bank", false);
    ASSERT_NE(bank, nullptr);
    EXPECT_EQ(bank->GetValue(), 0);
    EXPECT_EQ(bank->GetKind(), CVariable::kKindU32);
    try {
        script.AddGlobalVariable(L"BANK");
        FAIL();
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetCode(), 2u);
        EXPECT_EQ(e.GetFunction(), L"CScriptBase::AddGlobalVariable");
    }
}

TEST(ScriptBaseTest, BoundVariablesAreReadAndWrittenInPlace) {
    uint16_t field = 7;
    CRun run(L"incr Field\nprintln Field\n");
    run.script.GetParseResults().Variables().emplace_back(L"Field", &field, CVariable::kKindU16);
    ASSERT_TRUE(run.Run());
    EXPECT_EQ(field, 8);
    EXPECT_EQ(run.Output(), L"8\n");
}

TEST(ScriptBaseTest, ScopesCloseToTheirMarks) {
    CPeekScript script;
    script.LoadText(
        L"for a = 1 to 1 {\n"
        L"  for b = 1 to 1 {\n"
        L"    Peek()\n"
        L"  }\n"
        L"  Peek()\n"
        L"}\n"
        L"Peek()\n",
        L"t.u");
    script.Parse();
    script.Execute();
    EXPECT_EQ(script.seen, (std::vector<std::wstring>{L"a b ", L"a ", L""}));
    EXPECT_TRUE(CScriptTestAccess::ScopeCount(script) == 0);
}

TEST(ScriptBaseTest, SavesItsDeclaredVariablesOnly) {
    vek::StreamReset();
    CWarningCapture warnings;
    CRun run(L"var gold = 5\nvar days = 2\nincr gold\n");
    ASSERT_TRUE(run.Run());
    run.script.Save();
    EXPECT_EQ(vek::GetStream().objectCount(), 1u + 2u + 1u);
    // 4-byte count, then each variable: name (4 + 2 per unit), 15 bytes, 8 bytes.
    EXPECT_EQ(vek::GetStream().size(), 4u + (4 + 8 + 23) + (4 + 8 + 23));

    // Loaded over a fresh parse of the same text.
    CRun again(L"var gold = 5\nvar days = 2\nincr gold\n");
    ASSERT_TRUE(again.Parse());
    again.script.Load();
    EXPECT_EQ(again.Var(L"gold"), 6);
    again.script.Execute();
    EXPECT_EQ(again.Var(L"gold"), 7);
    vek::StreamReset();

    CScriptBase empty;
    empty.Save();
    EXPECT_EQ(vek::GetStream().size(), 4u);
    vek::StreamReset();
}

TEST(ScriptBaseTest, CopiesRunOnTheirOwn) {
    CRun run(L"var n = 0\nincr n\ni+\n");
    ASSERT_TRUE(run.Parse());
    CScriptBase copy(run.script);
    copy.Execute();
    EXPECT_EQ(copy.FindVariable(L"n", false)->GetValue(), 1);
    EXPECT_EQ(CScriptTestAccess::WorkCell(copy, 0), 1);
    EXPECT_EQ(run.Var(L"n"), 0);
    EXPECT_EQ(CScriptTestAccess::WorkCell(run.script, 0), 0);
    CScriptBase assigned;
    assigned = copy;
    assigned.ResetRuntime();
    assigned.Execute();
    EXPECT_EQ(assigned.FindVariable(L"n", false)->GetValue(), 2);
    EXPECT_EQ(copy.FindVariable(L"n", false)->GetValue(), 1);
}

} // namespace
