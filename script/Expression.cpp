#include "script/Expression.h"

#include <optional>
#include <utility>

#include "VEKLib/IniFile.h"
#include "VEKLib/Strings.h"
#include "script/ParserCore.h"
#include "script/ScriptException.h"

namespace {

const wchar_t* const kSource = L"M_ScriptBase";
const wchar_t* const kCompileFunction = L"CScriptBase::ParseLogicalExpr";
const wchar_t* const kEvaluateFunction = L"CScriptBase::ExecuteLogExpr";

[[noreturn]] void Fail(EScriptError code, const wchar_t* function, uint32_t line, const CParserCore& locator) {
    throw CScriptException(code, kSource, function, line, locator);
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsLetter(wchar_t c) { return !IsDigit(c) && vek::IsAlnum(c); }

bool IsOperatorChar(wchar_t c) {
    switch (c) {
    case L'=':
    case L'!':
    case L'&':
    case L'|':
    case L'<':
    case L'>':
    case L'^':
        return true;
    default:
        return false;
    }
}

// Whether c joins first into a two-character operator. Of the doubled
// characters only && || ^^ == mean something.
bool JoinsOperator(wchar_t first, wchar_t c) {
    if (c == first) {
        return c == L'&' || c == L'|' || c == L'^' || c == L'=';
    }
    return c == L'=' && (first == L'!' || first == L'<' || first == L'>');
}

// A one-character operator's kind; any other text is error 17.
uint32_t OperatorKind(const std::wstring& op, const CParserCore& locator) {
    switch (op.size() == 1 ? op[0] : L'\0') {
    case L'!':
        return kNodeNot;
    case L'<':
        return kNodeLess;
    case L'>':
        return kNodeGreater;
    default:
        Fail(kErrInvalidOperator, L"CScriptBase::AddOperator", __LINE__, locator);
    }
}

// A two-character operator's kind, of those JoinsOperator lets through.
uint32_t TwoCharOperatorKind(const std::wstring& op) {
    switch (op[0]) {
    case L'|':
        return kNodeOr;
    case L'^':
        return kNodeXor;
    case L'&':
        return kNodeAnd;
    case L'=':
        return kNodeEqual;
    case L'!':
        return kNodeNotEqual;
    case L'<':
        return kNodeLessEqual;
    default:
        return kNodeGreaterEqual;
    }
}

struct TCallArgument {
    std::wstring text;
    bool quoted = false;
};

// Whether the argument may stand where the signature has the letter.
bool ArgumentFits(const TCallArgument& argument, wchar_t letter) {
    bool point = false, other = false;
    for (wchar_t c : argument.text) {
        if (c == L'.') {
            point = true;
        } else if (!IsDigit(c)) {
            other = true;
        }
    }
    // A quoted argument is text, points and all; only plain digits fit any
    // letter.
    if (argument.quoted && (point || other)) {
        return letter == L's';
    }
    if (other && letter != L's') {
        return false;
    }
    if (point && letter != L'f') {
        return false;
    }
    return true;
}

class CTokenizer {
public:
    CTokenizer(const std::wstring& text, IExpressionHost& host)
        : m_text(text), m_host(host), m_locator(host.GetErrorLocator()) {
        // Room for a usual condition at once.
        m_nodes.reserve(16);
    }

    TNodeList Run();

private:
    enum class EState { None, Name, Number, Operator };

    [[noreturn]] void Fail(EScriptError code, uint32_t line) const { ::Fail(code, kCompileFunction, line, m_locator); }
    void Add(uint32_t kind, std::wstring_view text, uint64_t value = 0) {
        m_nodes.emplace_back(kind, m_host.NodeText(text), value);
    }
    void Flush();
    // The call whose argument list starts at index; the index of its closing
    // bracket.
    size_t ReadCall(size_t index, const std::wstring& name);

    const std::wstring& m_text;
    IExpressionHost& m_host;
    const CParserCore& m_locator;
    TNodeList m_nodes;
    EState m_state = EState::None;
    std::wstring m_token;
};

void CTokenizer::Flush() {
    switch (m_state) {
    case EState::None:
        break;
    case EState::Name:
        Add(kNodeName, m_token);
        break;
    case EState::Number:
        Add(kNodeNumber, m_token, vek::WcsToUL(m_token.c_str(), nullptr, 10));
        break;
    case EState::Operator:
        Add(m_token.size() == 1 ? OperatorKind(m_token, m_locator) : TwoCharOperatorKind(m_token), m_token);
        break;
    }
    m_token.clear();
    m_state = EState::None;
}

TNodeList CTokenizer::Run() {
    for (size_t i = 0; i < m_text.size(); ++i) {
        const wchar_t c = m_text[i];
        if (vek::IsSpace(c)) {
            Flush();
        } else if (IsOperatorChar(c)) {
            if (m_state == EState::Operator) {
                if (m_token.size() >= 2) {
                    Fail(kErrOperatorTooLong, __LINE__);
                }
                if (!JoinsOperator(m_token[0], c)) {
                    Fail(kErrInvalidOperator, __LINE__);
                }
                m_token += c;
            } else {
                Flush();
                m_state = EState::Operator;
                m_token = c;
            }
        } else if (c == L'(') {
            if (m_state == EState::Name) {
                const std::wstring name = std::exchange(m_token, std::wstring());
                m_state = EState::None;
                i = ReadCall(i + 1, name);
            } else {
                Flush();
                Add(kNodeOpenBracket, L"(");
            }
        } else if (c == L')') {
            Flush();
            Add(kNodeCloseBracket, L")");
        } else if (m_state == EState::Name) {
            if (!IsLetter(c) && !IsDigit(c) && c != L'_') {
                Fail(kErrInvalidNameCharacter, __LINE__);
            }
            m_token += c;
        } else if (m_state == EState::Number) {
            if (IsLetter(c)) {
                Fail(kErrInvalidAfterNumber, __LINE__);
            }
            if (!IsDigit(c)) {
                Fail(kErrInvalidCharacter, __LINE__);
            }
            m_token += c;
        } else {
            Flush();
            if (IsDigit(c)) {
                m_state = EState::Number;
            } else if (IsLetter(c)) {
                m_state = EState::Name;
            } else if (c == L'_') {
                Fail(kErrNameMustStartWithLetter, __LINE__);
            } else {
                Fail(kErrInvalidCharacter, __LINE__);
            }
            m_token = c;
        }
    }
    Flush();
    return std::move(m_nodes);
}

size_t CTokenizer::ReadCall(size_t index, const std::wstring& name) {
    std::vector<TCallArgument> arguments;
    TCallArgument current;
    bool haveValue = false;
    for (;; ++index) {
        // The list must be closed before the text ends.
        if (index >= m_text.size()) {
            Fail(kErrInvalidBracePlacement, __LINE__);
        }
        const wchar_t c = m_text[index];
        if (c == L')') {
            if (haveValue) {
                arguments.push_back(std::move(current));
            } else if (!arguments.empty()) {
                Fail(kErrInvalidArgumentCharacter, __LINE__); // "f(1,)"
            }
            break;
        }
        if (c == L',') {
            if (!haveValue) {
                Fail(kErrInvalidArgumentCharacter, __LINE__); // empty argument
            }
            arguments.push_back(std::exchange(current, TCallArgument()));
            haveValue = false;
        } else if (c == L'"') {
            // A literal is a whole argument: nothing may stand beside it.
            if (haveValue) {
                Fail(kErrInvalidArgumentCharacter, __LINE__);
            }
            const size_t close = m_text.find(L'"', index + 1);
            if (close == std::wstring::npos) {
                Fail(kErrInvalidBracePlacement, __LINE__);
            }
            current.text = m_text.substr(index + 1, close - index - 1);
            current.quoted = true;
            haveValue = true;
            index = close;
        } else if (vek::IsSpace(c)) {
            continue;
        } else if (c == L'(') {
            Fail(kErrInvalidBracePlacement, __LINE__);
        } else if (IsDigit(c) || c == L'.') {
            if (current.quoted) {
                Fail(kErrInvalidArgumentCharacter, __LINE__);
            }
            current.text += c;
            haveValue = true;
        } else {
            Fail(kErrInvalidArgumentCharacter, __LINE__);
        }
    }

    std::wstring signature;
    if (!m_host.FindExpressionFunction(name, signature)) {
        Fail(kErrFunctionNotFound, __LINE__);
    }
    if (signature.size() != arguments.size()) {
        Fail(kErrFunctionArgumentCount, __LINE__);
    }
    for (size_t k = 0; k < arguments.size(); ++k) {
        if (!ArgumentFits(arguments[k], signature[k])) {
            Fail(kErrFunctionArgumentType, __LINE__);
        }
    }

    for (TCallArgument& argument : arguments) {
        Add(kNodeArgument, argument.text);
    }
    Add(kNodeCall, name);
    return index;
}

bool IsOperand(uint32_t kind) {
    return kind == kNodeName || kind == kNodeNumber || kind == kNodeCall || kind == kNodeArgument;
}

} // namespace

int32_t ExpressionPriority(uint32_t kind) {
    switch (kind) {
    case kNodeOr:
        return 3;
    case kNodeXor:
        return 4;
    case kNodeAnd:
        return 5;
    case kNodeEqual:
    case kNodeNotEqual:
    case kNodeLess:
    case kNodeGreater:
    case kNodeLessEqual:
    case kNodeGreaterEqual:
        return 9;
    case kNodeNot:
        return 15;
    case kNodeOpenBracket:
    case kNodeCloseBracket:
        return 0;
    default:
        return -1;
    }
}

void AddOperator(std::wstring& op, TNodeList& nodes, const CParserCore& locator) {
    nodes.emplace_back(OperatorKind(op, locator), op);
    op.clear();
}

void AddNameOperand(std::wstring& name, TNodeList& nodes) {
    nodes.emplace_back(kNodeName, name);
    name.clear();
}

void AddNumberOperand(std::wstring& number, TNodeList& nodes) {
    nodes.emplace_back(kNodeNumber, number, vek::WcsToUL(number.c_str(), nullptr, 10));
    number.clear();
}

TNodeList TokenizeExpression(const std::wstring& text, IExpressionHost& host) { return CTokenizer(text, host).Run(); }

TNodeList ToPostfix(const TNodeList& infix, const CParserCore& locator) {
    TNodeList output;
    output.reserve(infix.size());
    std::vector<const TNode*> operators;
    operators.reserve(infix.size());
    for (const TNode& node : infix) {
        if (IsOperand(node.kind)) {
            output.push_back(node);
        } else if (node.kind == kNodeOpenBracket) {
            operators.push_back(&node);
        } else if (node.kind == kNodeCloseBracket) {
            for (;;) {
                if (operators.empty()) {
                    Fail(kErrNoMatchingBrace, kCompileFunction, __LINE__, locator);
                }
                const TNode* top = operators.back();
                operators.pop_back();
                if (top->kind == kNodeOpenBracket) {
                    break;
                }
                output.push_back(*top);
            }
        } else {
            const int32_t priority = ExpressionPriority(node.kind);
            while (!operators.empty() && ExpressionPriority(operators.back()->kind) > priority) {
                output.push_back(*operators.back());
                operators.pop_back();
            }
            operators.push_back(&node);
        }
    }
    while (!operators.empty()) {
        if (operators.back()->kind == kNodeOpenBracket) {
            Fail(kErrInvalidBracePlacement, kCompileFunction, __LINE__, locator);
        }
        output.push_back(*operators.back());
        operators.pop_back();
    }
    return output;
}

uint32_t CompileExpression(const std::wstring& text, std::vector<TNodeList>& expressions, IExpressionHost& host) {
    TNodeList postfix = ToPostfix(TokenizeExpression(text, host), host.GetErrorLocator());
    expressions.push_back(std::move(postfix));
    return static_cast<uint32_t>(expressions.size() - 1);
}

namespace {

// The value stack of one evaluation. Conditions rarely need more than a few
// slots, so those live inline and an evaluation allocates nothing.
class CValueStack {
public:
    bool empty() const { return m_size == 0; }
    size_t size() const { return m_size; }
    void push_back(uint64_t value) {
        if (m_size < kInline) {
            m_inline[m_size] = value;
        } else {
            m_spill.push_back(value);
        }
        ++m_size;
    }
    uint64_t back() const { return m_size <= kInline ? m_inline[m_size - 1] : m_spill.back(); }
    void pop_back() {
        if (m_size > kInline) {
            m_spill.pop_back();
        }
        --m_size;
    }

private:
    static constexpr size_t kInline = 16;
    uint64_t m_inline[kInline];
    std::vector<uint64_t> m_spill;
    size_t m_size = 0;
};

} // namespace

uint64_t EvaluateExpression(const TNodeList& postfix, IExpressionHost& host) {
    const CParserCore& locator = host.GetErrorLocator();
    CValueStack stack;
    // Made on the first call argument only: most conditions have none.
    std::optional<std::deque<std::wstring>> pending;
    auto pop = [&]() {
        if (stack.empty()) {
            Fail(kErrUnexpectedStackEnd, kEvaluateFunction, __LINE__, locator);
        }
        const uint64_t value = stack.back();
        stack.pop_back();
        return value;
    };
    for (const TNode& node : postfix) {
        switch (node.kind) {
        case kNodeName: {
            const CVariable* variable = host.FindExpressionVariable(node.text);
            if (!variable) {
                Fail(kErrVariableNotFound, kEvaluateFunction, __LINE__, locator);
            }
            stack.push_back(static_cast<uint64_t>(variable->GetValue()));
            break;
        }
        case kNodeNumber:
            stack.push_back(node.GetValue());
            break;
        case kNodeArgument:
            if (!pending) {
                pending.emplace();
            }
            pending->push_back(node.text);
            break;
        case kNodeCall: {
            std::wstring signature;
            if (!host.FindExpressionFunction(node.text, signature)) {
                Fail(kErrFunctionNotFound, kEvaluateFunction, __LINE__, locator);
            }
            if (!pending) {
                pending.emplace();
            }
            if (pending->size() != signature.size()) {
                Fail(kErrInvalidArgumentCount, kEvaluateFunction, __LINE__, locator);
            }
            std::deque<std::wstring> arguments = std::exchange(*pending, {});
            const int32_t result = host.CallExpressionFunction(node.text, arguments);
            stack.push_back(static_cast<uint64_t>(static_cast<int64_t>(result)));
            break;
        }
        case kNodeNot:
            stack.push_back(pop() == 0 ? 1 : 0);
            break;
        case kNodeOr:
        case kNodeXor:
        case kNodeAnd:
        case kNodeEqual:
        case kNodeNotEqual:
        case kNodeLess:
        case kNodeGreater:
        case kNodeLessEqual:
        case kNodeGreaterEqual: {
            const uint64_t right = pop();
            const uint64_t left = pop();
            bool result = false;
            switch (node.kind) {
            case kNodeOr:
                result = left != 0 || right != 0;
                break;
            case kNodeXor:
                result = (left != 0) != (right != 0);
                break;
            case kNodeAnd:
                result = left != 0 && right != 0;
                break;
            case kNodeEqual:
                result = left == right;
                break;
            case kNodeNotEqual:
                result = left != right;
                break;
            case kNodeLess:
                result = left < right;
                break;
            case kNodeGreater:
                result = left > right;
                break;
            case kNodeLessEqual:
                result = left <= right;
                break;
            default:
                result = left >= right;
                break;
            }
            stack.push_back(result ? 1 : 0);
            break;
        }
        default:
            Fail(kErrUnknownOperator, kEvaluateFunction, __LINE__, locator);
        }
    }
    // An empty condition leaves nothing to test; operands without an
    // operator between them leave more than one value.
    if (stack.empty()) {
        Fail(kErrConditionExpected, kEvaluateFunction, __LINE__, locator);
    }
    if (stack.size() > 1) {
        Fail(kErrUnexpectedStackEnd, kEvaluateFunction, __LINE__, locator);
    }
    return stack.back();
}

namespace {

std::wstring PopArgument(std::deque<std::wstring>& stack, const wchar_t* function, uint32_t line,
                         const CParserCore& locator) {
    if (stack.empty()) {
        Fail(kErrInvalidArgumentCount, function, line, locator);
    }
    std::wstring top = std::move(stack.back());
    stack.pop_back();
    return top;
}

} // namespace

int32_t PopArgInt(std::deque<std::wstring>& stack, const CParserCore& locator) {
    const std::wstring top = PopArgument(stack, L"CScriptBase::PopArgInt", __LINE__, locator);
    return static_cast<int32_t>(vek::WcsToUL(top.c_str(), nullptr, 10));
}

float PopArgFloat(std::deque<std::wstring>& stack, const CParserCore& locator) {
    const std::wstring top = PopArgument(stack, L"CScriptBase::PopArgFloat", __LINE__, locator);
    return vek::StrToFloat(top.c_str());
}

std::wstring PopArgString(std::deque<std::wstring>& stack, const CParserCore& locator) {
    return PopArgument(stack, L"CScriptBase::PopArgString", __LINE__, locator);
}
