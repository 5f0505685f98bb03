#include "script/Expression.h"

#include <gtest/gtest.h>

#include <map>

#include "script/ParserCore.h"
#include "script/ScriptException.h"

namespace {

class CTestHost : public IExpressionHost {
public:
    CTestHost() {
        parser.LoadText(L"var a\nif (x) {\n}\n", L"t.u");
        parser.SetTokenStart(6); // the if, on line 2
        variables.emplace(L"a", CVariable(L"a", 0, 0, CVariable::kKindU32));
        variables.emplace(L"b", CVariable(L"b", 5, 0, CVariable::kKindU32));
        variables.emplace(L"big", CVariable(L"big", 0, 1, CVariable::kKindI64));
    }

    const CParserCore& GetErrorLocator() const override { return parser; }
    bool FindExpressionFunction(const std::wstring& name, std::wstring& signature) override {
        const auto it = functions.find(name);
        if (it == functions.end()) {
            return false;
        }
        signature = it->second;
        return true;
    }
    CVariable* FindExpressionVariable(const std::wstring& name) override {
        const auto it = variables.find(name);
        return it == variables.end() ? nullptr : &it->second;
    }
    int32_t CallExpressionFunction(const std::wstring& name, std::deque<std::wstring>& arguments) override {
        calls.push_back(name);
        for (const std::wstring& argument : arguments) {
            calls.push_back(argument);
        }
        if (name == L"Neg") {
            return -1;
        }
        if (name == L"Rnd") {
            return static_cast<int32_t>(arguments.size() + 2);
        }
        return 0;
    }

    CParserCore parser;
    std::map<std::wstring, std::wstring> functions = {{L"Rnd", L"nn"}, {L"Neg", L""}, {L"Say", L"s"}, {L"Half", L"f"}};
    std::map<std::wstring, CVariable> variables;
    std::vector<std::wstring> calls;
};

// The postfix list as words: operands and operators by their text, arguments
// quoted, calls with brackets.
std::wstring Render(const TNodeList& nodes) {
    std::wstring out;
    for (const TNode& node : nodes) {
        if (!out.empty()) {
            out += L' ';
        }
        if (node.kind == kNodeArgument) {
            out += L"'" + node.text + L"'";
        } else if (node.kind == kNodeCall) {
            out += node.text + L"()";
        } else {
            out += node.text;
        }
    }
    return out;
}

std::wstring Compile(const std::wstring& text, CTestHost& host) {
    std::vector<TNodeList> expressions(2);
    EXPECT_EQ(CompileExpression(text, expressions, host), 2u);
    return Render(expressions.back());
}

template <class F>
uint32_t ErrorCode(F action) {
    try {
        action();
    } catch (const CScriptException& e) {
        return e.GetCode();
    }
    return 0;
}

TEST(ExpressionTest, CompilesToPostfixWithPriorities) {
    const struct {
        const wchar_t* text;
        const wchar_t* postfix;
    } cases[] = {
        {L"a == 1 || b == 2", L"a 1 == b 2 == ||"},
        {L"!a && b", L"a ! b &&"},
        {L"1 < 2 == 1", L"1 2 1 == <"},
        {L"(1 < 2) == 1", L"1 2 < 1 =="},
        {L"a||b&&c", L"a b c && ||"},
        {L"a&&b||c", L"a b && c ||"},
        {L"a ^^ b || c && d", L"a b ^^ c d && ||"},
        {L"a^^b^^c", L"a b c ^^ ^^"},
        {L"!(a || b)", L"a b || !"},
        {L"! ! a", L"a ! !"},
        {L"a!=b", L"a b !="},
        {L"x<=3 && y_2>=4",
         L"x 3 <= y_2 4 >="
         L" &&"},
        {L"Rnd(1, 6) > 3", L"'1' '6' Rnd() 3 >"},
        {L"Say( \"a, b.\" ) && Half(2.5) && Half(\"12\") && Neg( )",
         L"'a, b.' Say() '2.5' Half() '12' Half() Neg() && && &&"},
        {L"  ", L""},
    };
    for (const auto& c : cases) {
        CTestHost host;
        EXPECT_EQ(Compile(c.text, host), c.postfix) << c.text;
    }
}

TEST(ExpressionTest, NumbersAreUnsignedDecimals) {
    CTestHost host;
    const TNodeList nodes = TokenizeExpression(L"007 4294967295 4294967296", host);
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0].GetValue(), 7u);
    EXPECT_EQ(nodes[1].GetValue(), 4294967295u);
    EXPECT_EQ(nodes[1].High(), 0u);
    EXPECT_EQ(nodes[2].GetValue(), 4294967295u);
}

TEST(ExpressionTest, CompileErrors) {
    const struct {
        const wchar_t* text;
        uint32_t code;
    } cases[] = {
        {L"a = b", 17},
        {L"a & b", 17},
        {L"a | b", 17},
        {L"a ^ b", 17},
        {L"a << b", 17},
        {L"!!a", 17},
        {L"a =! b", 17},
        {L"a ><b", 17},
        {L"a === b", 16},
        {L"a &&! b", 16},
        {L"$", 18},
        {L"1_", 18},
        {L"1.5", 18},
        {L"_a", 19},
        {L"a$", 20},
        {L"a.b", 20},
        {L"1a", 21},
        {L"a)", 22},
        {L"(a))", 22},
        {L"(a", 24},
        {L"((a)", 24},
        {L"Rnd(1", 24},
        {L"Rnd(\"1, 2)", 24},
        {L"Rnd(1, (2))", 24},
        {L"Rnd(a, 1)", 26},
        {L"Rnd(1, -2)", 26},
        {L"Rnd(1,)", 26},
        {L"Rnd(,1)", 26},
        {L"Rnd(\"a\"1, 2)", 26},
        {L"Rnd(1\"a\", 2)", 26},
        {L"Rnd(1)", 27},
        {L"Rnd(1, 2, 3)", 27},
        {L"Rnd()", 27},
        {L"Rnd(1, 2.5)", 28},
        {L"Rnd(1, \"x\")", 28},
        {L"Say(2.5)", 28},
        {L"Half(\"2.5\")", 28},
        {L"Nope(1)", 33},
    };
    for (const auto& c : cases) {
        CTestHost host;
        std::vector<TNodeList> expressions;
        EXPECT_EQ(ErrorCode([&] { CompileExpression(c.text, expressions, host); }), c.code) << c.text;
    }
}

TEST(ExpressionTest, ErrorsNameTheRoutineAndTheStatementLine) {
    CTestHost host;
    std::vector<TNodeList> expressions;
    try {
        CompileExpression(L"a _", expressions, host);
        FAIL();
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetFunction(), L"CScriptBase::ParseLogicalExpr");
        EXPECT_EQ(e.GetSourceFile(), L"M_ScriptBase");
        EXPECT_EQ(e.GetScriptLine(), 2u);
        EXPECT_EQ(e.GetScriptFile(), L"t.u");
    }
    std::wstring op = L"=";
    TNodeList nodes;
    try {
        AddOperator(op, nodes, host.parser);
        FAIL();
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetCode(), 17u);
        EXPECT_EQ(e.GetFunction(), L"CScriptBase::AddOperator");
    }
    try {
        EvaluateExpression({TNode(kNodeName, L"nobody")}, host);
        FAIL();
    } catch (const CScriptException& e) {
        EXPECT_EQ(e.GetCode(), 32u);
        EXPECT_EQ(e.GetFunction(), L"CScriptBase::ExecuteLogExpr");
    }
}

TEST(ExpressionTest, EvaluatesAsUnsigned64BitValues) {
    const struct {
        const wchar_t* text;
        uint64_t value;
    } cases[] = {
        {L"a == 0 || b == 2", 1},
        {L"a == 1 || b == 2", 0},
        {L"big < 1", 0},
        {L"big > 4294967295", 1},
        {L"!a && b", 1},
        {L"!b && a", 0},
        {L"!(a && b)", 1},
        {L"1 < 2 == 1", 0},
        {L"(1 < 2) == 1", 1},
        {L"b ^^ a", 1},
        {L"b ^^ b", 0},
        {L"a ^^ a", 0},
        {L"b >= 5", 1},
        {L"b > 5", 0},
        {L"b <= 4", 0},
        {L"b != 5", 0},
        {L"b < 6", 1},
        {L"b", 5},
        // A call's 32-bit result is widened with its sign.
        {L"Neg() > 4294967295", 1},
        {L"Rnd(1, 6) == 4 && Rnd(2, 3) == 4", 1},
    };
    for (const auto& c : cases) {
        CTestHost host;
        std::vector<TNodeList> expressions;
        const uint32_t index = CompileExpression(c.text, expressions, host);
        EXPECT_EQ(EvaluateExpression(expressions[index], host), c.value) << c.text;
    }
}

TEST(ExpressionTest, CallsGetTheirArgumentsInOrder) {
    CTestHost host;
    std::vector<TNodeList> expressions;
    CompileExpression(L"Rnd(1, 6) == Say(\"x y\")", expressions, host);
    EvaluateExpression(expressions[0], host);
    EXPECT_EQ(host.calls, (std::vector<std::wstring>{L"Rnd", L"1", L"6", L"Say", L"x y"}));
}

TEST(ExpressionTest, EvaluationErrors) {
    const TNode a(kNodeName, L"a"), one(kNodeNumber, L"1", 1);
    const struct {
        const char* what;
        TNodeList nodes;
        uint32_t code;
    } cases[] = {
        {"empty condition", {}, 14},
        {"two values", {a, one}, 25},
        {"operator without operands", {TNode(kNodeEqual, L"==")}, 25},
        {"one operand", {one, TNode(kNodeAnd, L"&&")}, 25},
        {"not on nothing", {TNode(kNodeNot, L"!")}, 25},
        {"bracket", {one, TNode(kNodeOpenBracket, L"(")}, 23},
        {"unknown kind", {TNode(99, L"?")}, 23},
        {"missing variable", {TNode(kNodeName, L"zz")}, 32},
        {"missing function", {TNode(kNodeCall, L"Gone")}, 33},
        {"argument count", {TNode(kNodeArgument, L"1"), TNode(kNodeCall, L"Rnd")}, 42},
    };
    for (const auto& c : cases) {
        CTestHost host;
        EXPECT_EQ(ErrorCode([&] { EvaluateExpression(c.nodes, host); }), c.code) << c.what;
    }
    // What the compiler makes of "if () {" and "if (a b) {".
    CTestHost host;
    std::vector<TNodeList> expressions;
    CompileExpression(L"", expressions, host);
    CompileExpression(L"a b", expressions, host);
    EXPECT_EQ(ErrorCode([&] { EvaluateExpression(expressions[0], host); }), 14u);
    EXPECT_EQ(ErrorCode([&] { EvaluateExpression(expressions[1], host); }), 25u);
}

TEST(ExpressionTest, ArgumentPopsRefuseAnEmptyStack) {
    CParserCore parser;
    std::deque<std::wstring> stack = {L"12x", L"2.5", L"abc"};
    EXPECT_EQ(PopArgString(stack, parser), L"abc");
    EXPECT_FLOAT_EQ(PopArgFloat(stack, parser), 2.5f);
    EXPECT_EQ(PopArgInt(stack, parser), 12);
    EXPECT_EQ(ErrorCode([&] { PopArgInt(stack, parser); }), 42u);
    EXPECT_EQ(ErrorCode([&] { PopArgFloat(stack, parser); }), 42u);
    EXPECT_EQ(ErrorCode([&] { PopArgString(stack, parser); }), 42u);
}

} // namespace
