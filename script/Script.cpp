// The game script's statements and the checks after parsing. Running them is
// in ScriptDialog.cpp.
#include "script/Script.h"

#include <algorithm>

#include "VEKLib/Strings.h"
#include "data/GameData.h"
#include "script/ScriptException.h"
#include "script/ScriptHandle.h"

namespace {

constexpr const wchar_t* kParse = L"CScript::Parse";
constexpr const wchar_t* kParseUnit = L"CScript::ParseUnit";

IScriptGame* g_scriptGame = nullptr;

bool Is(const std::wstring& word, const wchar_t* keyword) { return vek::equals(word, keyword, false); }

// The targets an option may name besides actions.
constexpr const wchar_t* kDialogWords[] = {
    L"end",
    L"trade",
    L"repair",
    L"cure",
    L"cure_limb",
    L"companion_attack",
    L"companion_wait",
    L"companion_follow",
    L"bank",
    L"bank_deposit",
    L"bank_withdraw",
};

bool IsDialogWord(const std::wstring& word) {
    return std::any_of(std::begin(kDialogWords), std::end(kDialogWords),
                       [&](const wchar_t* dialogWord) { return Is(word, dialogWord); });
}

} // namespace

void TScriptDeleter::operator()(CScript* script) const { delete script; }

TScriptHandle CScriptCopy::Clone(const CScript* script) {
    return script != nullptr ? TScriptHandle(new CScript(*script)) : TScriptHandle();
}

IScriptGame* GetScriptGame() { return g_scriptGame; }

void SetScriptGame(IScriptGame* game) { g_scriptGame = game; }

CScript::CScript(const std::wstring& path) : CScriptBase(path) {
    AddBlockKind(kCmdAction);
    AddBlockKind(kCmdActionEnd);
    AddBlockKind(kCmdAlarm);
    RegisterBuiltins();
}

void CScript::Raise(EScriptError code, const wchar_t* function, uint32_t line, const std::wstring& details) const {
    throw CScriptException(code, L"M_Script", function, line, *this).SetDetails(details);
}

void CScript::RaiseHere(EScriptError code, const wchar_t* function, uint32_t line, const std::wstring& details) {
    LocateCurrentCommand();
    Raise(code, function, line, details);
}

void CScript::LocateCurrentCommand() {
    const std::vector<TCommand>& commands = GetParseResults().Commands();
    const int32_t current = GetCurrentCommand();
    if (current >= 0 && static_cast<size_t>(current) < commands.size()) {
        SetTokenStart(commands[current].textPosition);
    }
}

// --- Resets -----------------------------------------------------------------------------

void CScript::Reset() {
    CScriptBase::Reset();
    m_alarms.clear();
    m_node = TDialogNode();
    m_extra = TScriptExtraData();
}

void CScript::ResetRuntime() {
    CScriptBase::ResetRuntime();
    for (TCommand& command : GetParseResults().Commands()) {
        if (command.kind == kCmdActionJump) {
            command.kind = kCmdActionEnd;
            command.name = CSharedText();
        }
    }
    m_inAction = 0;
    // A conversation that ended without a choice leaves its last node; the
    // next one must show neither its text nor its answers.
    m_node = TDialogNode();
}

void CScript::ClearLocalVariables() {
    CScriptBase::ClearLocalVariables();
    m_inAction = 0;
    m_defaultDeclared = 0;
    m_alarmName.clear();
    // A "default" that a failed parse left waiting must not reach the next
    // script's first statement.
    s_pendingDefault = false;
}

// --- Parsing ----------------------------------------------------------------------------

void CScript::Parse() {
    ClearLocalVariables();
    CScriptBase::Parse();
    // The text counts as parsed by now, so a failed check leaves it
    // runnable: an option that names nothing is refused again when chosen.
    CheckOptionTargets();
    CheckActionNames();
    CheckItemNames();
}

void CScript::ParseUnit(bool& store, TCommand& command) {
    static const CStatementTable<CScript> kForms{
        {L"default", 0, &CScript::ParseDefault},
        {L"action", kCmdAction, &CScript::ParseAction},
        {L"text", kCmdText, &CScript::ParseText},
        {L"option", kCmdOption, &CScript::ParseOption},
        {L"item", kCmdItem, &CScript::ParseItem},
        {L"SetDefaultAction", kCmdSetDefaultAction, &CScript::ParseSetDefaultAction},
        {L"alarm", kCmdAlarm, &CScript::ParseAlarm},
        {L"GroupMemberAttacked", kCmdGroupMemberAttacked, &CScript::ParseGroupMemberAttacked},
    };
    TStatement statement{m_token, m_tokenStart, command, store};
    if (s_pendingDefault && !Is(statement.word, L"action")) {
        Raise(kErrActionExpected, kParseUnit, __LINE__);
    }
    if (const TStatementForm<CScript>* form = kForms.Find(statement.word)) {
        command.kind = form->kind;
        (this->*form->parse)(statement);
        return;
    }
    if (statement.word == L"}" && GetCurrentDepth() == 1 && m_inAction) {
        // The end of the action: the conversation step waits here, and the
        // brace after it gets the argument 35.
        TCommand end;
        end.kind = kCmdActionEnd;
        end.textPosition = statement.start;
        GetParseResults().Commands().push_back(std::move(end));
        m_inAction = 0;
    }
    CScriptBase::ParseUnit(store, command);
}

// default                               (before an action)
void CScript::ParseDefault(TStatement& statement) {
    statement.store = false;
    if (m_defaultDeclared) {
        Raise(kErrSecondDefaultAction, kParseUnit, __LINE__);
    }
    m_defaultDeclared = 1;
    s_pendingDefault = true;
}

// [default] action NAME {
void CScript::ParseAction(TStatement& statement) {
    if (m_inAction) {
        Raise(kErrNestedAction, kParseUnit, __LINE__);
    }
    TCommand& command = statement.command;
    if (!GetWord(0) || m_token == L"{") {
        Raise(kErrActionNameExpected, kParseUnit, __LINE__);
    }
    command.name = m_token;
    if (!NextWordIs(L"{")) {
        Raise(kErrLeftBraceExpected, kParseUnit, __LINE__);
    }
    SetCurrentDepth(0);
    command.block = 0;
    if (s_pendingDefault) {
        command.SetArguments(L"default");
        s_pendingDefault = false;
    }
    m_inAction = 1;
}

// text = "TEXT" | text = null          (inside an action)
void CScript::ParseText(TStatement& statement) {
    if (!m_inAction) {
        Raise(kErrTextOutsideAction, kParseUnit, __LINE__);
    }
    if (!NextWordIs(L"=")) {
        Raise(kErrAssignExpected, kParseUnit, __LINE__);
    }
    if (GetStringLiteral()) {
        statement.command.name = m_token;
        CheckLanguages(m_token);
        return;
    }
    if (!GetWord(0) || !Is(m_token, L"null")) {
        Raise(kErrStringExpected, kParseUnit, __LINE__);
    }
    statement.command.name = CSharedText();
}

// option "TEXT" TARGET                 (inside an action)
void CScript::ParseOption(TStatement& statement) {
    if (!m_inAction) {
        Raise(kErrOptionOutsideAction, kParseUnit, __LINE__);
    }
    if (!GetStringLiteral()) {
        Raise(kErrStringExpected, kParseUnit, __LINE__);
    }
    statement.command.name = m_token;
    CheckLanguages(m_token);
    if (!GetWord(1)) {
        Raise(kErrActionNameExpected, kParseUnit, __LINE__);
    }
    statement.command.SetArguments(m_token);
}

// item "ALIAS" "NAME" NUMBER NUMBER NUMBER
void CScript::ParseItem(TStatement& statement) {
    TCommand& command = statement.command;
    if (!GetStringLiteral()) {
        Raise(kErrStringExpected, kParseUnit, __LINE__);
    }
    command.name = m_token;
    if (!GetStringLiteral()) {
        Raise(kErrStringExpected, kParseUnit, __LINE__);
    }
    command.SetArguments(m_token);
    // A word that is no number would be taken as 0 and the next statement
    // lost with it.
    uint32_t numbers[3] = {};
    for (uint32_t& number : numbers) {
        if (!GetNumber()) {
            Raise(kErrValueExpected, kParseUnit, __LINE__);
        }
        number = m_number;
    }
    command.argument = numbers[0], command.target = numbers[1];
    command.SetExtra(numbers[2]);
}

// SetDefaultAction NAME
void CScript::ParseSetDefaultAction(TStatement& statement) {
    if (!GetWord(0)) {
        Raise(kErrActionExpected, kParseUnit, __LINE__);
    }
    statement.command.name = m_token;
}

// alarm NAME {
void CScript::ParseAlarm(TStatement& statement) {
    TCommand& command = statement.command;
    if (!GetWord(0) || m_token == L"{") {
        Raise(kErrActionNameExpected, kParseUnit, __LINE__);
    }
    command.name = m_token;
    m_alarmName = m_token;
    if (!NextWordIs(L"{")) {
        Raise(kErrLeftBraceExpected, kParseUnit, __LINE__);
    }
    TAlarm alarm;
    alarm.name = command.name;
    m_alarms.push_back(std::move(alarm));
    SetCurrentDepth(0);
    command.block = 0;
}

// GroupMemberAttacked "GROUP" , REACTION     (inside an alarm block)
void CScript::ParseGroupMemberAttacked(TStatement& statement) {
    TCommand& command = statement.command;
    if (!GetStringLiteral()) {
        Raise(kErrStringExpected, kParseUnit, __LINE__);
    }
    command.name = m_token;
    if (!NextWordIs(L",")) {
        Raise(kErrParse, kParseUnit, __LINE__);
    }
    if (!GetWord(0)) {
        Raise(kErrValueExpected, kParseUnit, __LINE__);
    }
    command.argument = Is(m_token, L"attack") ? uint32_t{TAlarmEntry::kRaise} : 0u;
    const TNoCaseEqual equal;
    const auto alarm = std::find_if(m_alarms.begin(), m_alarms.end(), [&](const TAlarm& a) {
        return !m_alarmName.empty() && equal(a.name, m_alarmName);
    });
    if (alarm == m_alarms.end()) {
        Raise(kErrParse, kParseUnit, __LINE__);
    }
    alarm->entries.push_back(TAlarmEntry{TAlarmEntry::kGroup, command.argument, command.name});
}

void CScript::CheckLanguages(const std::wstring& text) const {
    const size_t languages = g_gameData ? g_gameData->GetConfig().GetLanguages().size() : 0;
    const size_t pieces = static_cast<size_t>(std::count(text.begin(), text.end(), L'|')) + 1;
    if (pieces < languages) {
        Raise(kErrMissingLanguage, kParseUnit, __LINE__);
    }
}

// --- Checks after parsing -------------------------------------------------------------

void CScript::CheckOptionTargets() {
    const std::vector<TCommand>& commands = GetParseResults().Commands();
    std::unordered_set<std::wstring, TNoCaseHash, TNoCaseEqual> actions;
    for (const TCommand& command : commands) {
        if (command.kind == kCmdAction) {
            actions.insert(command.name);
        }
    }
    for (const TCommand& command : commands) {
        if (command.kind != kCmdOption) {
            continue;
        }
        SetTokenStart(command.textPosition);
        if (!IsDialogWord(command.Arguments()) && !actions.count(command.Arguments())) {
            Raise(kErrActionNotFound, kParse, __LINE__);
        }
    }
}

void CScript::CheckActionNames() {
    // Reported at the first action whose name comes again.
    const std::vector<TCommand>& commands = GetParseResults().Commands();
    TNoCaseMap<uint32_t> count;
    for (const TCommand& command : commands) {
        if (command.kind == kCmdAction) {
            ++count[command.name];
        }
    }
    for (const TCommand& command : commands) {
        if (command.kind == kCmdAction && count[command.name] > 1) {
            SetTokenStart(command.textPosition);
            Raise(kErrDuplicateAction, kParse, __LINE__);
        }
    }
}

void CScript::CheckItemNames() {
    // Without a game there are no tables to name anything in.
    if (!g_gameData) {
        return;
    }
    for (const TCommand& command : GetParseResults().Commands()) {
        if (command.kind != kCmdItem) {
            continue;
        }
        SetTokenStart(command.textPosition);
        if (!g_gameData->IsKnownEntityName(command.Arguments())) {
            Raise(kErrItemNotFound, kParse, __LINE__);
        }
    }
}

// --- Look-ups ------------------------------------------------------------------------------

int32_t CScript::FindMatchingCommand(uint32_t start, uint32_t closingKind) {
    if (closingKind == kCmdAction) {
        return CScriptBase::FindMatchingCommand(start, kCmdActionEnd);
    }
    if (closingKind < kCmdFirstGameKind || closingKind == kCmdActionEnd || closingKind == kCmdAlarm) {
        return CScriptBase::FindMatchingCommand(start, closingKind);
    }
    return -1;
}

CVariable* CScript::FindVariable(const std::wstring& name, bool localsOnly) {
    CVariable* variable = CScriptBase::FindVariable(name, localsOnly);
    if (variable || localsOnly || !s_globalScript || s_globalScript == this || name.empty()) {
        return variable;
    }
    // The global script's declared table itself: its own lookup would come
    // back here.
    const TNoCaseEqual equal;
    for (CVariable& global : s_globalScript->GetParseResults().Variables()) {
        if (equal(global.GetName(), name)) {
            return &global;
        }
    }
    return nullptr;
}

void CScript::SetDeclaredVariables(std::vector<CVariable> variables) {
    GetParseResults().Variables() = std::move(variables);
    // What the run found by name was in the old table.
    InvalidateLookups();
}

bool CScript::IsDialogScript() const {
    if (!IsParsed()) {
        Raise(kErrExecution, L"CScript::IsDialogScript", __LINE__);
    }
    const std::vector<TCommand>& commands = GetParseResults().Commands();
    return std::any_of(commands.begin(), commands.end(),
                       [](const TCommand& command) { return command.kind >= kCmdFirstGameKind; });
}

void CScript::GetItemByAlias(const std::wstring& alias, TQuestItem& item) {
    const TNoCaseEqual equal;
    for (const TQuestItem& declared : m_extra.items) {
        if (equal(declared.alias, alias)) {
            item = declared;
            return;
        }
    }
    RaiseHere(kErrItemAliasNotDeclared, L"CScript::GetItemByAlias", __LINE__);
}

std::wstring CScript::FindItemAlias(const std::wstring& alias) const {
    const TNoCaseEqual equal;
    for (const TCommand& command : GetParseResults().Commands()) {
        if (command.kind == kCmdItem && equal(command.name, alias)) {
            return command.Arguments();
        }
    }
    return std::wstring();
}
