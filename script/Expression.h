#pragma once
// Logical expressions of the script language (the conditions of if
// statements): compiled once into a postfix node list, evaluated on a value
// stack to an unsigned 64-bit number (0 false, anything else true).
//
// Operands are variable names, unsigned decimal numbers and calls of
// functions with literal arguments; operators are || ^^ && ! == != < > <= >=
// and brackets. There is no arithmetic and there are no negative numbers.
// Every fault is a CScriptException thrown at once.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "script/Records.h"

class CParserCore;

// Node kinds (TNode::kind).
enum : uint32_t {
    kNodeName = 1,
    kNodeNumber = 2,
    kNodeOr = 3,
    kNodeXor = 4,
    kNodeNot = 5,
    kNodeAnd = 6,
    kNodeEqual = 7,
    kNodeNotEqual = 8,
    kNodeLess = 9,
    kNodeGreater = 10,
    kNodeLessEqual = 11,
    kNodeGreaterEqual = 12,
    kNodeOpenBracket = 13,  // only while compiling
    kNodeCloseBracket = 14, // only while compiling
    kNodeCall = 15,
    kNodeArgument = 16,
};

// What compiling and evaluating need of the interpreter.
class IExpressionHost {
public:
    virtual ~IExpressionHost() = default;

    // The scanner whose token start places an error in the script text: the
    // statement being parsed while compiling, the current command while
    // evaluating.
    virtual const CParserCore& GetErrorLocator() const = 0;
    // The argument signature ("s" text, "n" whole number, "f" number with a
    // point, one letter per argument) of a function that is registered or
    // defined in the script; false when there is none.
    virtual bool FindExpressionFunction(const std::wstring& name, std::wstring& signature) = 0;
    // The variable of that name, or null.
    virtual CVariable* FindExpressionVariable(const std::wstring& name) = 0;
    // Runs the function with the arguments in order (the host may take them
    // out of the list) and gives its 32-bit result.
    virtual int32_t CallExpressionFunction(const std::wstring& name, std::deque<std::wstring>& arguments) = 0;
    // The text of a node being compiled; a host may hand out one shared text
    // for equal texts.
    virtual CSharedText NodeText(std::wstring_view text) { return CSharedText(text); }
};

// Compiling priority of an operator kind; brackets 0, operands -1.
int32_t ExpressionPriority(uint32_t kind);

// First pass: the text as tokens in infix order. A call comes out as its
// argument nodes (kind 16) followed by the call node (kind 15), which is the
// order in which the evaluator wants them.
TNodeList TokenizeExpression(const std::wstring& text, IExpressionHost& host);
// Second pass: infix to postfix. Operators of equal priority group from the
// right (a == b == c is a == (b == c)); ! never pops anything.
TNodeList ToPostfix(const TNodeList& infix, const CParserCore& locator);
// Both passes; the postfix list is appended to the expressions and its
// index is the result. An empty text gives an empty list.
uint32_t CompileExpression(const std::wstring& text, std::vector<TNodeList>& expressions, IExpressionHost& host);
// Evaluates a postfix list. The list must leave exactly one value: none is
// error 14, more than one error 25.
uint64_t EvaluateExpression(const TNodeList& postfix, IExpressionHost& host);

// Token builders of the first pass; each empties its text.
// A one-character operator: ! < > (any other character is error 17).
void AddOperator(std::wstring& op, TNodeList& nodes, const CParserCore& locator);
void AddNameOperand(std::wstring& name, TNodeList& nodes);
// The digits as an unsigned decimal number (saturating at 4294967295).
void AddNumberOperand(std::wstring& number, TNodeList& nodes);

// The value stack of a built-in call holds its arguments, the last on top.
// Each pop takes the top argument off; an empty stack is error 42 "Invalid
// argument count" (the call did not bring the arguments the function reads).
// As an unsigned decimal number (digits as far as they go, 0 when none).
int32_t PopArgInt(std::deque<std::wstring>& stack, const CParserCore& locator);
float PopArgFloat(std::deque<std::wstring>& stack, const CParserCore& locator);
std::wstring PopArgString(std::deque<std::wstring>& stack, const CParserCore& locator);
