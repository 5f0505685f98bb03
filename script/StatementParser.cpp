// The statement parser: script text to the flat command list. Each statement
// form has one function below, headed by its grammar (capitals stand for what
// the script writes, brackets for what may be left out).
#include "script/ScriptParser.h"

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

// --- The whole text -------------------------------------------------------------

void CScriptParser::ClearParseState() {
    m_variablePositions.clear();
    m_scriptFunctions.clear();
    m_functionScan = kScanIdle;
    m_braces.Clear();
    m_lastAtDepth.clear();
    m_depthsSeen = 0;
}

void CScriptParser::Parse() {
    // A text is parsed once: its parse lets it go.
    if (!IsLoaded() || IsTextReleased()) {
        Fail(kErrParse, kParse, __LINE__);
    }
    ClearLocalVariables();
    m_position = 0;
    m_braces.Clear();
    Unlink(); // linked again when it runs
    // The text is searched for definitions only when a condition calls a
    // function that is not registered yet (see FindExpressionFunction).
    m_scriptFunctions.clear();
    m_functionScan = kScanPending;
    try {
        ParseStatements();
        RunParseChecks();
    } catch (...) {
        // A failed parse leaves the definitions found, as a search made
        // before it would have.
        if (m_functionScan == kScanPending) {
            PrescanFunctions();
        }
        m_functionScan = kScanIdle;
        throw;
    }
    m_functionScan = kScanIdle;
    // What only the parse needed goes; the rest is made again if needed.
    m_braces.Clear();
    m_lastAtDepth = std::vector<int32_t>();
    m_depthsSeen = 0;
    if (m_extendsDepth == 0) {
        m_texts.Clear();
        m_rareFields.Clear();
        m_scriptFunctions = TNoCaseMap<std::wstring>();
        m_variablePositions = std::vector<uint32_t>();
        m_declaredNames = TNoCaseMap<uint32_t>();
        m_declaredNamesFor = 0;
        ShrinkCommandList();
        m_results.Expressions().shrink_to_fit();
        m_results.Variables().shrink_to_fit();
        m_registry.shrink_to_fit();
        m_parameterPool.shrink_to_fit();
        // Errors need no more of the text than where its lines break.
        ReleaseText();
    }
}

void CScriptParser::ShrinkCommandList() {
    // A list that filled most of the room reserved for it keeps the rest:
    // the reserve's untouched pages cost no memory, and giving it back would
    // copy the whole list into memory touched anew.
    std::vector<TCommand>& commands = m_results.Commands();
    if (commands.capacity() - commands.size() > commands.size() / 16) {
        commands.shrink_to_fit();
    }
}

void CScriptParser::ParseStatements() {
    std::vector<TCommand>& commands = m_results.Commands();
    // Room for the commands the text is likely to make, taken at once: a
    // list grown by doubling touches about twice its final memory and copies
    // every command on the way. A statement is a line or a little more.
    size_t lines = 1;
    m_text.ForEachLineBreak([&lines](size_t) { ++lines; });
    commands.reserve(commands.size() + lines + lines / 4 + 1);
    while (GetWord(0)) {
        const uint32_t statementStart = m_tokenStart;
        TCommand command;
        bool store = true;
        ParseUnit(store, command);
        if (command.kind == kCmdElse) {
            CheckElsePlacement();
        } else if (command.kind == kCmdIf) {
            JoinElseIf();
        } else if (command.kind == kCmdCloseBrace) {
            CloseBlock(command);
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
            command.ShareRareFields(m_rareFields);
            commands.push_back(std::move(command));
        }
        // A statement that ends the text without a line end still counts.
        if (m_position == kEndOfText || m_position >= m_text.size()) {
            break;
        }
        // Every statement consumes its first word at least.
        if (m_position <= statementStart) {
            Fail(kErrParse, kParse, __LINE__);
        }
    }
    TCommand end;
    end.kind = kCmdEnd;
    commands.push_back(end);
}

void CScriptParser::ParseUnit(bool& store, TCommand& command) {
    static const CStatementTable<CScriptParser> kForms{
        {L"println", kCmdPrintln, &CScriptParser::ParsePrint},
        {L"print", kCmdPrint, &CScriptParser::ParsePrint},
        {L"input", kCmdInput, &CScriptParser::ParseVariableWord},
        {L"incr", kCmdIncr, &CScriptParser::ParseVariableWord},
        {L"decr", kCmdDecr, &CScriptParser::ParseVariableWord},
        {L"system", kCmdSystem, &CScriptParser::ParseSystem},
        {L"var", 0, &CScriptParser::ParseVar},
        {L"for", kCmdFor, &CScriptParser::ParseFor},
        {L"goto", kCmdGoto, &CScriptParser::ParseGoto},
        {L"}", kCmdCloseBrace, &CScriptParser::ParseCloseBrace},
        {L"function", kCmdFunction, &CScriptParser::ParseFunction},
        {L"return", kCmdReturn, &CScriptParser::ParseReturn},
        {L"if", kCmdIf, &CScriptParser::ParseIf},
        {L"else", kCmdElse, &CScriptParser::ParseElse},
        {L"break", kCmdBreak, &CScriptParser::ParseKeywordOnly},
        {L"continue", kCmdContinue, &CScriptParser::ParseKeywordOnly},
        {L"extends", 0, &CScriptParser::ParseExtends},
        {L"overridden", 0, &CScriptParser::ParseOverridden},
        {L"super", kCmdSuper, &CScriptParser::ParseSuper},
        {L"exit", kCmdExit, &CScriptParser::ParseKeywordOnly},
        {L"ishl", kCmdTapeLeft, &CScriptParser::ParseKeywordOnly},
        {L"ishr", kCmdTapeRight, &CScriptParser::ParseKeywordOnly},
        {L"i+", kCmdTapeAdd, &CScriptParser::ParseKeywordOnly},
        {L"iadd", kCmdTapeAdd, &CScriptParser::ParseKeywordOnly},
        {L"i-", kCmdTapeSub, &CScriptParser::ParseKeywordOnly},
        {L"isub", kCmdTapeSub, &CScriptParser::ParseKeywordOnly},
        {L"iin", kCmdTapeIn, &CScriptParser::ParseKeywordOnly},
        {L"iout", kCmdTapeOut, &CScriptParser::ParseKeywordOnly},
        {L"icmp", kCmdTapeTest, &CScriptParser::ParseKeywordOnly},
        {L"iloop", kCmdTapeLoop, &CScriptParser::ParseKeywordOnly},
    };
    TStatement statement{m_token, m_tokenStart, command, store};
    if (const TStatementForm<CScriptParser>* form = kForms.Find(statement.word)) {
        command.kind = form->kind;
        (this->*form->parse)(statement);
    } else if (!statement.word.empty() && statement.word.back() == L':') {
        ParseLabel(statement);
    } else if (ParseFunctionCall(command, false, false)) {
        store = false;
    } else {
        ParseAssignment(statement);
    }
}

// --- Statement forms ----------------------------------------------------------------

// println "TEXT" | println NAME        (print the same, without the line end)
void CScriptParser::ParsePrint(TStatement& statement) {
    TCommand& command = statement.command;
    command.argument = 0xFFFFFFFF;
    const uint32_t position = m_position;
    if (GetStringLiteral()) {
        command.name = m_texts.Intern(m_token);
        return;
    }
    m_position = position;
    if (!GetWord(0)) {
        Fail(kErrParse, kParseUnit, __LINE__);
    }
    command.name = m_texts.Intern(m_token);
    command.argument = 1;
}

// input NAME | incr NAME | decr NAME
void CScriptParser::ParseVariableWord(TStatement& statement) {
    if (!GetWord(0)) {
        Fail(kErrVariableExpected, kParseUnit, __LINE__);
    }
    statement.command.SetTargetName(m_texts.Intern(m_token));
}

// system "COMMAND"
void CScriptParser::ParseSystem(TStatement& statement) {
    if (!GetStringLiteral()) {
        Fail(kErrSystemCommandExpected, kParseUnit, __LINE__);
    }
    statement.command.name = m_texts.Intern(m_token);
}

// var NAME [=] NUMBER
void CScriptParser::ParseVar(TStatement& statement) {
    statement.store = false;
    CVariable variable;
    if (!GetWord(0)) {
        Fail(kErrVariableExpected, kParseUnit, __LINE__);
    }
    variable.SetName(m_token);
    const uint32_t afterName = m_position;
    if (!GetWord(0)) {
        Fail(kErrValueExpected, kParseUnit, __LINE__);
    }
    if (m_token != L"=") {
        m_position = afterName;
    }
    if (!GetNumber()) {
        Fail(kErrValueExpected, kParseUnit, __LINE__);
    }
    variable.SetValue(static_cast<int64_t>(m_number));
    DetermineVariableScope(variable, m_currentDepth, static_cast<uint32_t>(m_results.Commands().size()), true);
    m_variablePositions.resize(m_results.Variables().size());
    m_variablePositions.push_back(statement.start);
    m_results.Variables().push_back(variable);
}

// for NAME = NUMBER to NUMBER {
void CScriptParser::ParseFor(TStatement& statement) {
    TCommand& command = statement.command;
    if (!GetWord(0)) {
        Fail(kErrVariableExpected, kParseUnit, __LINE__);
    }
    command.name = m_texts.Intern(m_token);
    if (!NextWordIs(L"=")) {
        Fail(kErrAssignExpected, kParseUnit, __LINE__);
    }
    if (!GetNumber()) {
        Fail(kErrCounterStartExpected, kParseUnit, __LINE__);
    }
    command.argument = m_number;
    if (!GetWord(0) || !Is(m_token, L"to")) {
        Fail(kErrToExpected, kParseUnit, __LINE__);
    }
    if (!GetNumber()) {
        Fail(kErrCounterEndExpected, kParseUnit, __LINE__);
    }
    command.target = m_number;
    if (!NextWordIs(L"{")) {
        Fail(kErrLeftBraceExpected, kParseUnit, __LINE__);
    }
    const int32_t first = static_cast<int32_t>(command.argument);
    const int32_t last = static_cast<int32_t>(command.target);
    if (first > last || first < 0 || last < 0) {
        Fail(kErrBadCounterRange, kParseUnit, __LINE__);
    }
    command.SetExtra(0);
}

// goto NAME
void CScriptParser::ParseGoto(TStatement& statement) {
    if (!GetWord(0)) {
        Fail(kErrLabelExpected, kParseUnit, __LINE__);
    }
    statement.command.name = m_texts.Intern(m_token);
}

// }                                    (Parse ties it to its opener)
void CScriptParser::ParseCloseBrace(TStatement&) {}

// function NAME(PARAMETER, ...) {
void CScriptParser::ParseFunction(TStatement& statement) {
    TCommand& command = statement.command;
    if (!GetWord(0)) {
        Fail(kErrFunctionNameExpected, kParseUnit, __LINE__);
    }
    command.name = m_texts.Intern(m_token);
    if (!GetBracketedExpr()) {
        Fail(kErrBracketedExprExpected, kParseUnit, __LINE__);
    }
    const std::vector<std::wstring> parameters = ExtractArgs(m_token, true);
    command.SetExtra(static_cast<uint32_t>(parameters.size()));
    if (!parameters.empty()) {
        command.target = static_cast<uint32_t>(m_parameterPool.size());
    }
    command.argument = static_cast<uint32_t>(m_registry.size());
    RegisterFunction(command.name, TSystemFunction::kUserFunction,
                     m_texts.Intern(std::wstring(parameters.size(), L'n')), 0, 0, 0);
    for (auto parameter = parameters.rbegin(); parameter != parameters.rend(); ++parameter) {
        m_parameterPool.push_back(m_texts.Intern(*parameter));
    }
    if (!NextWordIs(L"{")) {
        Fail(kErrLeftBraceExpected, kParseUnit, __LINE__);
    }
}

// return [NUMBER]
void CScriptParser::ParseReturn(TStatement& statement) {
    const uint32_t afterReturn = m_position;
    if (!GetWord(0)) {
        return;
    }
    const uint32_t value = vek::WcsToUL(m_token.c_str(), nullptr, 10);
    // Anything else is the next statement's word. It is given back by
    // position: stepping back to white space would reach past a word that a
    // bracket ends ("return(x)") and read it again.
    if (value != 0 || m_token == L"0") {
        statement.command.argument = value;
    } else {
        m_position = afterReturn;
    }
}

// if (CONDITION) {
void CScriptParser::ParseIf(TStatement& statement) {
    TCommand& command = statement.command;
    if (!GetBracketedExpr()) {
        Fail(kErrConditionExpected, kParseUnit, __LINE__);
    }
    const size_t before = m_results.Expressions().size();
    const uint32_t index = ParseLogicalExpr(m_token);
    // A condition that compiles to nothing has nothing to test.
    if (m_results.Expressions().size() == before || m_results.Expressions()[index].empty()) {
        Fail(kErrConditionExpected, kParseUnit, __LINE__);
    }
    if (!NextWordIs(L"{")) {
        Fail(kErrLeftBraceExpected, kParseUnit, __LINE__);
    }
    command.argument = index;
    command.target = 0xFFFFFFFF;
}

// else { | else if ...                 (the if is the next statement)
void CScriptParser::ParseElse(TStatement& statement) {
    const uint32_t afterElse = m_position;
    if (!GetWord(0)) {
        Fail(kErrLeftBraceExpected, kParseUnit, __LINE__);
    }
    if (Is(m_token, L"if")) {
        statement.command.argument = 1;
        m_position = afterElse;
    } else if (m_token != L"{") {
        Fail(kErrLeftBraceExpected, kParseUnit, __LINE__);
    }
}

// break | continue | exit | ishl | ishr | i+ | iadd | i- | isub | iin | iout
// | icmp | iloop                      (the keyword alone)
void CScriptParser::ParseKeywordOnly(TStatement&) {}

// extends "PATH"                       (the first statement only)
void CScriptParser::ParseExtends(TStatement& statement) {
    statement.store = false;
    if (!m_results.Commands().empty()) {
        Fail(kErrExtendsPlacement, kParseUnit, __LINE__);
    }
    if (!GetStringLiteral()) {
        Fail(kErrStringExpected, kParseUnit, __LINE__);
    }
    // A script that extends itself, directly or not, would never end.
    if (m_extendsDepth >= kMaxExtendsDepth) {
        Fail(kErrExtendsPlacement, kParseUnit, __LINE__);
    }
    const std::wstring path = m_token;
    CScriptText text = m_text;
    std::wstring fileName = m_fileName;
    const uint32_t position = m_position;
    const bool loaded = IsLoaded(), parsed = IsParsed();
    TNoCaseMap<std::wstring> functions = m_scriptFunctions;
    const uint8_t functionScan = m_functionScan;
    {
        TRestore<uint32_t> depth(m_extendsDepth, m_extendsDepth);
        ++m_extendsDepth;
        LoadBaseScript(path);
        Parse();
    }
    for (TCommand& command : m_results.Commands()) {
        command.SetFlag(0);
    }
    m_text = std::move(text);
    m_fileName = std::move(fileName);
    m_position = position;
    // The base's parse marked the base parsed, not this text.
    SetLoaded(loaded);
    SetParsed(parsed);
    m_scriptFunctions = std::move(functions);
    m_functionScan = functionScan;
    m_extends = 1;
}

void CScriptParser::LoadBaseScript(const std::wstring& path) { LoadFile(path); }

// overridden function ...              (in a script that extends another)
void CScriptParser::ParseOverridden(TStatement& statement) {
    // Only a function definition can be overridden; anything else (another
    // "overridden" among it) is refused before it is parsed.
    if (!GetWord(0) || m_position == kEndOfText || !Is(m_token, L"function")) {
        Fail(kErrOverriddenUsage, kParseUnit, __LINE__);
    }
    TCommand definition;
    bool store = true;
    ParseUnit(store, definition);
    if (definition.kind != kCmdFunction || !m_extends) {
        Fail(kErrOverriddenUsage, kParseUnit, __LINE__);
    }
    definition.SetFlag(1);
    statement.command = std::move(definition);
}

// super                                (inside an overriding function)
void CScriptParser::ParseSuper(TStatement& statement) { statement.command.name = NearestFunctionName(); }

// NAME:
void CScriptParser::ParseLabel(TStatement& statement) {
    TCommand label;
    label.kind = kCmdLabel;
    label.name = m_texts.Intern(std::wstring_view(statement.word).substr(0, statement.word.size() - 1));
    // Stored at once, so a label never changes the depth.
    StoreCommand(statement, std::move(label));
}

// NAME = NUMBER | NAME = FUNCTION(ARGUMENTS)
void CScriptParser::ParseAssignment(TStatement& statement) {
    TCommand& command = statement.command;
    command.SetTargetName(m_texts.Intern(statement.word));
    if (!GetWord(0) || m_token.empty() || m_token[0] != L'=') {
        Fail(kErrAssignExpected, kParseUnit, __LINE__);
    }
    const uint32_t afterAssign = m_position;
    if (!GetWord(0)) {
        Fail(kErrValueExpected, kParseUnit, __LINE__);
    }
    command.kind = kCmdAssign;
    command.argument = TCommand::kValueFromCall;
    command.SetExtra(kAssignFromCall);
    // Stored ahead of the call, so it needs its place now.
    command.textPosition = statement.start;
    command.block = static_cast<uint32_t>(m_currentDepth);
    if (ParseFunctionCall(command, true, true)) {
        statement.store = false;
        return;
    }
    command.SetExtra(0);
    m_position = afterAssign;
    if (!GetNumber()) {
        Fail(kErrValueExpected, kParseUnit, __LINE__);
    }
    command.argument = m_number;
}

// FUNCTION(ARGUMENTS), the name being the current token.
bool CScriptParser::ParseFunctionCall(TCommand& command, bool assign, bool storeFirst) {
    if (!BracketFollows()) {
        return false;
    }
    const CSharedText name = m_texts.Intern(m_token);
    const uint32_t nameStart = m_tokenStart;
    const uint32_t position = m_position;
    if (!GetBracketedExpr()) {
        // A statement that is no call reads its word, the token, again.
        if (!assign) {
            name.AssignTo(m_token);
        }
        m_position = position;
        return false;
    }
    const int32_t index = FindFunctionIndex(name);
    const bool user = index >= 0 && m_registry[index].id == TSystemFunction::kUserFunction;
    std::vector<TCommand>& commands = m_results.Commands();
    if (storeFirst) {
        command.ShareRareFields(m_rareFields);
        commands.push_back(command);
    }
    command = TCommand();
    command.kind = user ? kCmdUserCall : kCmdCall;
    command.argument = assign ? 1 : 0;
    command.name = name;
    command.SetArguments(m_texts.Intern(m_token));
    command.textPosition = nameStart;
    command.block = static_cast<uint32_t>(m_currentDepth);
    command.ShareRareFields(m_rareFields);
    commands.push_back(command);
    return true;
}

uint32_t CScriptParser::ParseLogicalExpr(const std::wstring& text) {
    // The nodes' texts are shared through NodeText.
    return CompileExpression(text, m_results.Expressions(), *this);
}

// --- Helpers ------------------------------------------------------------------------------

void CScriptParser::StoreCommand(TStatement& statement, TCommand command) {
    command.block = static_cast<uint32_t>(m_currentDepth);
    command.textPosition = statement.start;
    m_results.Commands().push_back(std::move(command));
    statement.store = false;
}

bool CScriptParser::NextWordIs(const wchar_t* word) { return GetWord(0) && m_token == word; }

void CScriptParser::CheckElsePlacement() const {
    // An else belongs right after the closing brace of an if block.
    const std::vector<TCommand>& commands = m_results.Commands();
    if (commands.size() <= 1) {
        Fail(kErrElseWithoutIf, kParse, __LINE__);
    }
    const TCommand& last = commands.back();
    if (last.kind != kCmdCloseBrace || last.argument != kCmdIf || static_cast<int32_t>(last.block) != m_currentDepth) {
        Fail(kErrElseWithoutIf, kParse, __LINE__);
    }
}

void CScriptParser::JoinElseIf() {
    // The if of an "else if" stands in the else's place and shares its block.
    const std::vector<TCommand>& commands = m_results.Commands();
    if (commands.empty()) {
        return;
    }
    const TCommand& last = commands.back();
    if (last.kind == kCmdElse && last.argument == 1 && static_cast<int32_t>(last.block) == m_currentDepth - 1) {
        --m_currentDepth;
    }
}

void CScriptParser::CloseBlock(TCommand& brace) {
    if (m_currentDepth <= 0) {
        Fail(kErrNoMatchingBrace, kParse, __LINE__);
    }
    // The opener is the last command at the depth above.
    std::vector<TCommand>& commands = m_results.Commands();
    const int32_t last = LastCommandAtDepth(m_currentDepth - 1);
    if (last < 0) {
        return;
    }
    TCommand& opener = commands[last];
    brace.argument = opener.kind;
    if (opener.kind == kCmdIf) {
        opener.target = static_cast<uint32_t>(commands.size());
    }
}

void CScriptParser::PrescanFunctions() {
    // Conditions may call functions defined further down; their signatures
    // must be known when the condition is compiled.
    m_functionScan = kScanDone;
    m_scriptFunctions.clear();
    const uint32_t position = m_position, tokenStart = m_tokenStart, number = m_number;
    const std::wstring token = m_token;
    m_position = 0;
    while (GetWord(0)) {
        const size_t quote = m_token.find(L'"');
        if (quote != std::wstring::npos) {
            // Text in quotes is no statement: on after the closing quote.
            const size_t start = m_text.FindFirst(m_tokenStart + quote, [](char16_t c) { return c != u'"'; });
            const size_t close =
                start == CScriptText::npos ? start : m_text.FindFirst(start, [](char16_t c) { return c == u'"'; });
            if (close == CScriptText::npos) {
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

std::wstring CScriptParser::NearestFunctionName() const {
    const std::vector<TCommand>& commands = m_results.Commands();
    for (size_t i = commands.size(); i-- > 0;) {
        if (commands[i].kind == kCmdFunction) {
            return commands[i].name;
        }
    }
    return std::wstring();
}

bool CScriptParser::FindExpressionFunction(const std::wstring& name, std::wstring& signature) {
    const int32_t index = FindSystemFunction(name);
    if (index >= 0) {
        signature = m_registry[index].signature;
        return true;
    }
    // Defined further down the text than the condition that calls it.
    if (m_functionScan == kScanPending) {
        PrescanFunctions();
    }
    const auto it = m_scriptFunctions.find(name);
    if (it == m_scriptFunctions.end()) {
        return false;
    }
    signature = it->second;
    return true;
}
