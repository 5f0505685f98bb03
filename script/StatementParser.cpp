// The statement parser: script text to the flat command list.
#include "script/ScriptBase.h"

#include "VEKLib/Strings.h"
#include "script/ScriptException.h"

namespace {

constexpr const wchar_t* kParse = L"CScriptBase::Parse";
constexpr const wchar_t* kParseUnit = L"CScriptBase::ParseUnit";

bool Is(const std::wstring& word, const wchar_t* keyword) { return vek::equals(word, keyword, false); }

// Restores a value when the scope ends, also when an error leaves it.
template <class T>
class TRestore {
public:
    TRestore(T& target, T value) : m_target(target), m_value(std::move(value)) {}
    ~TRestore() { m_target = std::move(m_value); }
    TRestore(const TRestore&) = delete;
    TRestore& operator=(const TRestore&) = delete;

private:
    T& m_target;
    T m_value;
};

} // namespace

void CScriptBase::Parse() {
    if (!IsLoaded()) {
        Fail(1, kParse, __LINE__);
    }
    ClearLocalVariables();
    m_position = 0;
    m_callArguments.clear(); // made again by the checks
    PrescanFunctions();
    std::vector<TCommand>& commands = m_results.Commands();
    while (GetWord(0)) {
        const uint32_t statementStart = m_tokenStart;
        TCommand command;
        bool store = true;
        ParseUnit(store, command);
        if (command.kind == kCmdElse) {
            // An else belongs right after the closing brace of an if block.
            if (commands.size() <= 1) {
                Fail(36, kParse, __LINE__);
            }
            const TCommand& last = commands.back();
            if (last.kind != kCmdCloseBrace || last.argument != kCmdIf ||
                static_cast<int32_t>(last.block) != m_currentDepth) {
                Fail(36, kParse, __LINE__);
            }
        } else if (command.kind == kCmdIf) {
            // The if of an "else if" stands in the else's place and shares its block.
            if (!commands.empty()) {
                const TCommand& last = commands.back();
                if (last.kind == kCmdElse && last.argument == 1 &&
                    static_cast<int32_t>(last.block) == m_currentDepth - 1) {
                    --m_currentDepth;
                }
            }
        } else if (command.kind == kCmdCloseBrace) {
            if (m_currentDepth <= 0) {
                Fail(22, kParse, __LINE__);
            }
            for (size_t i = commands.size(); i-- > 0;) {
                TCommand& opener = commands[i];
                if (static_cast<int32_t>(opener.block) != m_currentDepth - 1) {
                    continue;
                }
                command.argument = opener.kind;
                if (opener.kind == kCmdIf) {
                    opener.target = static_cast<uint32_t>(commands.size());
                }
                break;
            }
        }
        if (store) {
            command.textPosition = statementStart;
            command.block = static_cast<uint32_t>(m_currentDepth);
            if (IsBlockKind(command.kind)) {
                ++m_currentDepth;
            }
            if (command.kind == kCmdCloseBrace) {
                --m_currentDepth;
                command.block = static_cast<uint32_t>(m_currentDepth);
            }
            commands.push_back(std::move(command));
        }
        // A statement that ends the text without a line end still counts.
        if (m_position == kEndOfText || m_position >= m_text.size()) {
            break;
        }
        // Every statement consumes its first word at least.
        if (m_position <= statementStart) {
            Fail(1, kParse, __LINE__);
        }
    }
    TCommand end;
    end.kind = kCmdEnd;
    commands.push_back(end);
    RunParseChecks();
    Link();
}

void CScriptBase::PrescanFunctions() {
    // Conditions may call functions defined further down; their signatures
    // must be known when the condition is compiled.
    m_scriptFunctions.clear();
    const uint32_t position = m_position, tokenStart = m_tokenStart, number = m_number;
    const std::wstring token = m_token;
    m_position = 0;
    while (GetWord(0)) {
        const size_t quote = m_token.find(L'"');
        if (quote != std::wstring::npos) {
            // Text in quotes is no statement: on after the closing quote.
            const size_t start = m_text.find_first_not_of(L'"', m_tokenStart + quote);
            const size_t close = start == std::wstring::npos ? start : m_text.find(L'"', start);
            if (close == std::wstring::npos) {
                break;
            }
            m_position = static_cast<uint32_t>(close + 1);
            continue;
        }
        if (Is(m_token, L"function") && GetWord(0)) {
            const std::wstring name = m_token;
            const uint32_t after = m_position;
            try {
                // Quietly: the statement parser warns when it reads the list.
                if (GetBracketedExpr()) {
                    m_scriptFunctions.emplace(name, std::wstring(ExtractArgs(m_token, true, false).size(), L'n'));
                } else {
                    m_position = after;
                }
            } catch (const CScriptException&) {
                m_position = after; // the statement parser reports it in its place
            }
        }
        if (m_position == kEndOfText) {
            break;
        }
    }
    m_position = position, m_tokenStart = tokenStart, m_number = number;
    m_token = token;
}

void CScriptBase::ParseUnit(bool& store, TCommand& command) {
    const std::wstring word = m_token;
    const uint32_t statementStart = m_tokenStart;
    std::vector<TCommand>& commands = m_results.Commands();

    if (Is(word, L"println") || Is(word, L"print")) {
        command.kind = Is(word, L"println") ? kCmdPrintln : kCmdPrint;
        command.argument = 0xFFFFFFFF;
        const uint32_t position = m_position;
        if (GetStringLiteral()) {
            command.name = m_token;
        } else {
            m_position = position;
            if (!GetWord(0)) {
                Fail(1, kParseUnit, __LINE__);
            }
            command.name = m_token;
            command.argument = 1;
        }
    } else if (Is(word, L"input") || Is(word, L"incr") || Is(word, L"decr")) {
        command.kind = Is(word, L"input") ? kCmdInput : Is(word, L"incr") ? kCmdIncr : kCmdDecr;
        if (!GetWord(0)) {
            Fail(4, kParseUnit, __LINE__);
        }
        command.targetName = m_token;
    } else if (Is(word, L"system")) {
        command.kind = kCmdSystem;
        if (!GetStringLiteral()) {
            Fail(5, kParseUnit, __LINE__);
        }
        command.name = m_token;
    } else if (Is(word, L"var")) {
        store = false;
        CVariable variable;
        if (!GetWord(0)) {
            Fail(4, kParseUnit, __LINE__);
        }
        variable.SetName(m_token);
        const uint32_t afterName = m_position;
        if (!GetWord(0)) {
            Fail(6, kParseUnit, __LINE__);
        }
        // The "=" may be left out.
        if (m_token != L"=") {
            m_position = afterName;
        }
        if (!GetNumber()) {
            Fail(6, kParseUnit, __LINE__);
        }
        variable.SetValue(static_cast<int64_t>(m_number));
        DetermineVariableScope(variable, m_currentDepth, static_cast<uint32_t>(commands.size()), true);
        m_variablePositions.resize(m_results.Variables().size());
        m_variablePositions.push_back(statementStart);
        m_results.Variables().push_back(variable);
    } else if (Is(word, L"for")) {
        command.kind = kCmdFor;
        if (!GetWord(0)) {
            Fail(4, kParseUnit, __LINE__);
        }
        command.name = m_token;
        if (!GetWord(0) || m_token != L"=") {
            Fail(7, kParseUnit, __LINE__);
        }
        if (!GetNumber()) {
            Fail(9, kParseUnit, __LINE__);
        }
        command.argument = m_number;
        if (!GetWord(0) || !Is(m_token, L"to")) {
            Fail(8, kParseUnit, __LINE__);
        }
        if (!GetNumber()) {
            Fail(10, kParseUnit, __LINE__);
        }
        command.target = m_number;
        if (!GetWord(0) || m_token != L"{") {
            Fail(11, kParseUnit, __LINE__);
        }
        const int32_t first = static_cast<int32_t>(command.argument);
        const int32_t last = static_cast<int32_t>(command.target);
        if (first > last || first < 0 || last < 0) {
            Fail(29, kParseUnit, __LINE__);
        }
        command.extra = 0;
    } else if (Is(word, L"goto")) {
        command.kind = kCmdGoto;
        if (!GetWord(0)) {
            Fail(12, kParseUnit, __LINE__);
        }
        command.name = m_token;
    } else if (word == L"}") {
        command.kind = kCmdCloseBrace;
    } else if (Is(word, L"function")) {
        command.kind = kCmdFunction;
        if (!GetWord(0)) {
            Fail(13, kParseUnit, __LINE__);
        }
        command.name = m_token;
        if (!GetBracketedExpr()) {
            Fail(15, kParseUnit, __LINE__);
        }
        const std::vector<std::wstring> parameters = ExtractArgs(m_token, true);
        command.extra = static_cast<uint32_t>(parameters.size());
        if (!parameters.empty()) {
            command.target = static_cast<uint32_t>(m_parameterPool.size());
        }
        command.argument = static_cast<uint32_t>(m_registry.size());
        RegisterFunction(command.name, TSystemFunction::kUserFunction, std::wstring(parameters.size(), L'n'), 0, 0, 0);
        m_parameterPool.insert(m_parameterPool.end(), parameters.rbegin(), parameters.rend());
        if (!GetWord(0) || m_token != L"{") {
            Fail(11, kParseUnit, __LINE__);
        }
    } else if (Is(word, L"return")) {
        command.kind = kCmdReturn;
        const uint32_t afterReturn = m_position;
        if (GetWord(0)) {
            const uint32_t value = vek::WcsToUL(m_token.c_str(), nullptr, 10);
            // Anything else is the next statement's word. It is given back
            // by position: stepping back to white space would reach past a
            // word that a bracket ends ("return(x)") and read it again.
            if (value != 0 || m_token == L"0") {
                command.argument = value;
            } else {
                m_position = afterReturn;
            }
        }
    } else if (Is(word, L"if")) {
        command.kind = kCmdIf;
        if (!GetBracketedExpr()) {
            Fail(14, kParseUnit, __LINE__);
        }
        const size_t before = m_results.Expressions().size();
        const uint32_t index = ParseLogicalExpr(m_token);
        // A condition that compiles to nothing has nothing to test.
        if (m_results.Expressions().size() == before || m_results.Expressions()[index].empty()) {
            Fail(14, kParseUnit, __LINE__);
        }
        if (!GetWord(0) || m_token != L"{") {
            Fail(11, kParseUnit, __LINE__);
        }
        command.argument = index;
        command.target = 0xFFFFFFFF;
    } else if (Is(word, L"else")) {
        command.kind = kCmdElse;
        const uint32_t afterElse = m_position;
        if (!GetWord(0)) {
            Fail(11, kParseUnit, __LINE__);
        }
        if (Is(m_token, L"if")) {
            command.argument = 1;
            m_position = afterElse; // the if is the next statement
        } else if (m_token != L"{") {
            Fail(11, kParseUnit, __LINE__);
        }
    } else if (Is(word, L"break") || Is(word, L"continue")) {
        command.kind = Is(word, L"break") ? kCmdBreak : kCmdContinue;
    } else if (Is(word, L"extends")) {
        store = false;
        ParseExtends();
    } else if (Is(word, L"overridden")) {
        ParseOverridden(command);
    } else if (Is(word, L"super")) {
        command.kind = kCmdSuper;
        command.name = NearestFunctionName();
    } else if (Is(word, L"exit")) {
        command.kind = kCmdExit;
    } else if (Is(word, L"ishl")) {
        command.kind = kCmdTapeLeft;
    } else if (Is(word, L"ishr")) {
        command.kind = kCmdTapeRight;
    } else if (Is(word, L"i+") || Is(word, L"iadd")) {
        command.kind = kCmdTapeAdd;
    } else if (Is(word, L"i-") || Is(word, L"isub")) {
        command.kind = kCmdTapeSub;
    } else if (Is(word, L"iin")) {
        command.kind = kCmdTapeIn;
    } else if (Is(word, L"iout")) {
        command.kind = kCmdTapeOut;
    } else if (Is(word, L"icmp")) {
        command.kind = kCmdTapeTest;
    } else if (Is(word, L"iloop")) {
        command.kind = kCmdTapeLoop;
    } else if (!word.empty() && word.back() == L':') {
        command.kind = kCmdLabel;
        command.name = word.substr(0, word.size() - 1);
        command.block = static_cast<uint32_t>(m_currentDepth);
        command.textPosition = statementStart;
        commands.push_back(command);
        store = false;
    } else if (ParseFunctionCall(command, false, false)) {
        store = false;
    } else {
        // An assignment: a number, or the result of the call stored after it.
        command.targetName = word;
        if (!GetWord(0) || m_token.empty() || m_token[0] != L'=') {
            Fail(7, kParseUnit, __LINE__);
        }
        const uint32_t afterAssign = m_position;
        if (!GetWord(0)) {
            Fail(6, kParseUnit, __LINE__);
        }
        command.kind = kCmdAssign;
        command.argument = TCommand::kValueFromCall;
        command.extra = kAssignFromCall;
        // Stored ahead of the call, so it needs its place now.
        command.textPosition = statementStart;
        command.block = static_cast<uint32_t>(m_currentDepth);
        if (ParseFunctionCall(command, true, true)) {
            store = false;
        } else {
            command.extra = 0;
            m_position = afterAssign;
            if (!GetNumber()) {
                Fail(6, kParseUnit, __LINE__);
            }
            command.argument = m_number;
        }
    }
}

bool CScriptBase::ParseFunctionCall(TCommand& command, bool assign, bool storeFirst) {
    const std::wstring name = m_token;
    const uint32_t nameStart = m_tokenStart;
    const uint32_t position = m_position;
    const int32_t index = FindSystemFunction(name);
    const bool user = index >= 0 && m_registry[index].id == TSystemFunction::kUserFunction;
    const std::wstring expression = GetExpression();
    if (expression.empty() || expression[0] != L'(' || !GetBracketedExpr()) {
        m_position = position;
        return false;
    }
    std::vector<TCommand>& commands = m_results.Commands();
    if (storeFirst) {
        commands.push_back(command);
    }
    command = TCommand();
    command.kind = user ? kCmdUserCall : kCmdCall;
    command.argument = assign ? 1 : 0;
    command.name = name;
    command.arguments = m_token;
    command.textPosition = nameStart;
    command.block = static_cast<uint32_t>(m_currentDepth);
    commands.push_back(command);
    return true;
}

void CScriptBase::ParseExtends() {
    if (!m_results.Commands().empty()) {
        Fail(45, kParseUnit, __LINE__);
    }
    if (!GetStringLiteral()) {
        Fail(3, kParseUnit, __LINE__);
    }
    // A script that extends itself, directly or not, would never end.
    if (m_extendsDepth >= kMaxExtendsDepth) {
        Fail(45, kParseUnit, __LINE__);
    }
    const std::wstring path = m_token;
    std::wstring text = m_text, fileName = m_fileName;
    const uint32_t position = m_position;
    const bool loaded = IsLoaded(), parsed = IsParsed();
    TNoCaseMap<std::wstring> functions = m_scriptFunctions;
    {
        TRestore<uint32_t> depth(m_extendsDepth, m_extendsDepth);
        ++m_extendsDepth;
        LoadBaseScript(path);
        Parse();
    }
    for (TCommand& command : m_results.Commands()) {
        command.flag = 0;
    }
    m_text = std::move(text);
    m_fileName = std::move(fileName);
    m_position = position;
    // The base's parse marked the base parsed, not this text.
    SetLoaded(loaded);
    SetParsed(parsed);
    m_scriptFunctions = std::move(functions);
    m_extends = 1;
}

void CScriptBase::LoadBaseScript(const std::wstring& path) { LoadFile(path); }

void CScriptBase::ParseOverridden(TCommand& command) {
    // Only a function definition can be overridden; anything else (another
    // "overridden" among it) is refused before it is parsed.
    if (!GetWord(0) || m_position == kEndOfText || !Is(m_token, L"function")) {
        Fail(46, kParseUnit, __LINE__);
    }
    TCommand definition;
    bool store = true;
    ParseUnit(store, definition);
    if (definition.kind != kCmdFunction || !m_extends) {
        Fail(46, kParseUnit, __LINE__);
    }
    definition.flag = 1;
    command = std::move(definition);
}

std::wstring CScriptBase::NearestFunctionName() const {
    const std::vector<TCommand>& commands = m_results.Commands();
    for (size_t i = commands.size(); i-- > 0;) {
        if (commands[i].kind == kCmdFunction) {
            return commands[i].name;
        }
    }
    return std::wstring();
}

uint32_t CScriptBase::ParseLogicalExpr(const std::wstring& text) {
    return CompileExpression(text, m_results.Expressions(), *this);
}
