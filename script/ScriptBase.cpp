#include "script/ScriptBase.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "VEKLib/Console.h"
#include "VEKLib/Format.h"
#include "VEKLib/Random.h"
#include "VEKLib/Strings.h"
#include "script/ScriptException.h"

namespace {

class CProcessScriptConsole final : public IScriptConsole {
public:
    std::wostream& Output() override { return vek::ConsoleOut(); }
    std::istream& Input() override { return std::cin; }
    int System(const std::wstring& command) override {
        // Whatever the script printed comes before the command's own output.
        vek::ConsoleOut().flush();
        return std::system(vek::WideToUtf8(command).c_str());
    }
};

} // namespace

IScriptConsole& ProcessScriptConsole() {
    static CProcessScriptConsole console;
    return console;
}

namespace {
IScriptConsole* g_defaultConsole = nullptr;
} // namespace

void SetDefaultScriptConsole(IScriptConsole* console) { g_defaultConsole = console; }

IScriptConsole& DefaultScriptConsole() { return g_defaultConsole ? *g_defaultConsole : ProcessScriptConsole(); }

// --- Object -----------------------------------------------------------------------

CScriptBase::CScriptBase(const std::wstring& path) : m_workArea(kWorkAreaSize, 0) {
    m_position = kEndOfText;
    m_symbolNames.emplace_back(); // symbol 0: no name
    m_bindings.Add();
    StartRun();
    if (!path.empty()) {
        LoadFile(path);
    }
    for (uint32_t kind : {kCmdIf, kCmdElse, kCmdFunction, kCmdFor}) {
        AddBlockKind(kind);
    }
    RegisterFunction(L"Rnd", 0, L"nn", 0, 0, 0);
    RegisterFunction(L"Chance", 1, L"nn", 0, 0, 0);
}

void CScriptBase::Reset() {
    CParserCore::Reset();
    std::fill(m_workArea.begin(), m_workArea.end(), 0);
    m_workPointer = 0;
    m_results.Clear();
    m_variablePositions.clear();
    m_scriptFunctions.clear();
    m_functionScan = kScanIdle;
    m_links.clear();
    m_calls.clear();
    m_conditions.clear();
    m_steps.clear();
    m_linkedBytes = static_cast<size_t>(-1);
    m_linkLimit = 0;
    m_declaredIndexed = static_cast<size_t>(-1);
    m_declaredNames.clear();
    m_declaredNamesFor = 0;
    m_braces.Clear();
    m_lastAtDepth.clear();
    m_depthsSeen = 0;
    ClearLocalVariables();
    ResetRuntime();
}

void CScriptBase::ResetRuntime() {
    StartRun();
    m_current = 0;
    m_returnValue = 0;
    std::fill(m_workArea.begin(), m_workArea.end(), 0);
    m_workPointer = 0;
    CutLocals(0);
    m_frames.clear();
    m_scopeFloor = 0;
    m_scopes.clear();
    m_valueStack.clear();
    m_argumentPool.clear();
    m_handoff = nullptr;
    m_pendingInput = 0;
}

void CScriptBase::ClearLocalVariables() {
    m_currentDepth = 0;
    m_extends = 0;
    m_registry.erase(std::remove_if(m_registry.begin(), m_registry.end(),
                                    [](const TSystemFunction& f) { return static_cast<int32_t>(f.id) < 0; }),
                     m_registry.end());
    RebuildRegistryIndex();
    m_parameterPool.clear();
}

void CScriptBase::Fail(EScriptError code, const wchar_t* function, uint32_t line) const {
    throw CScriptException(code, L"M_ScriptBase", function, line, *this);
}

void CScriptBase::FailHere(EScriptError code, const wchar_t* function, uint32_t line) {
    FailHere(code, function, line, std::wstring());
}

void CScriptBase::FailHere(EScriptError code, const wchar_t* function, uint32_t line, const std::wstring& details) {
    const auto& commands = m_results.Commands();
    if (m_current >= 0 && static_cast<size_t>(m_current) < commands.size()) {
        m_tokenStart = commands[m_current].textPosition;
    }
    throw CScriptException(code, L"M_ScriptBase", function, line, *this).SetDetails(details);
}

std::wstring CScriptBase::CallDepthDetails() {
    return vek::Format(L"call depth cap of %u calls reached", kMaxCallDepth);
}

IScriptConsole& CScriptBase::Console() const { return m_console ? *m_console : DefaultScriptConsole(); }

void CScriptBase::SetStepBudget(uint64_t steps) {
    m_stepBudget = steps;
    StartRun();
}

void CScriptBase::StartRun() {
    const uint64_t executed = GetExecutedCount();
    m_budgetEnd = m_stepBudget == 0 ? 0 : executed + m_stepBudget;
    CheckAt(executed + 1); // CheckBudget settles the next check point
    InvalidateLookups();
}

void CScriptBase::SetCancelHook(std::function<bool()> hook) {
    m_cancelHook = std::move(hook);
    CheckAt(GetExecutedCount() + 1);
}

void CScriptBase::CheckAt(uint64_t count) {
    const uint64_t executed = GetExecutedCount();
    m_nextCheck = count;
    m_countdown = count - executed;
}

void CScriptBase::CheckBudget() {
    // The countdown has run out: this is the command numbered m_nextCheck.
    const uint64_t executed = m_nextCheck;
    CheckAt(executed + 1); // at the next command again, if this one fails
    if (m_budgetEnd != 0 && executed > m_budgetEnd) {
        FailHere(kErrExecution, L"CScriptBase::ExecuteUnit", __LINE__,
                 vek::Format(L"step budget of %llu commands ran out", m_stepBudget));
    }
    if (m_cancelHook && m_cancelHook()) {
        FailHere(kErrExecution, L"CScriptBase::ExecuteUnit", __LINE__);
    }
    // The hook is asked every so often, not at every command.
    constexpr uint64_t kHookInterval = 1024;
    uint64_t next = UINT64_MAX;
    if (m_budgetEnd != 0) {
        next = m_budgetEnd + 1;
    }
    if (m_cancelHook) {
        next = std::min(next, executed + kHookInterval);
    }
    CheckAt(next);
}

// --- Registry and built-ins -------------------------------------------------------

void CScriptBase::RegisterFunction(const std::wstring& name, uint32_t id, const std::wstring& signature,
                                   uint32_t value1, uint32_t value2, uint32_t value3) {
    m_registry.push_back(TSystemFunction{name, id, signature, value1, value2, value3});
    m_registryIndex.Add(RegistryNames(), static_cast<uint32_t>(m_registry.size() - 1));
}

void CScriptBase::RebuildRegistryIndex() {
    m_registryIndex.Clear();
    for (size_t i = 0; i < m_registry.size(); ++i) {
        m_registryIndex.Add(RegistryNames(), static_cast<uint32_t>(i));
    }
}

int32_t CScriptBase::FindSystemFunction(const std::wstring& name) const {
    return m_registryIndex.Find(RegistryNames(), name);
}

int32_t CScriptBase::FindFunctionIndex(const CSharedText& name) const {
    return m_registryIndex.Find(RegistryNames(), name);
}

const TSystemFunction& CScriptBase::FindUserFunction(const std::wstring& name) const {
    for (const TSystemFunction& function : m_registry) {
        if (function.id == TSystemFunction::kUserFunction && TNoCaseEqual()(function.name, name)) {
            return function;
        }
    }
    Fail(kErrFunctionNotFound, L"CScriptBase::FindUserFunction", __LINE__);
}

void CScriptBase::ExecuteFunction(const std::wstring& name, bool assign, const std::wstring& target) {
    const int32_t index = FindSystemFunction(name);
    const int32_t result = ExecuteFunction(static_cast<uint32_t>(index));
    if (assign) {
        VariableAssign(target, result, true);
    }
}

int32_t CScriptBase::ExecuteFunction(uint32_t id) {
    switch (id) {
    case 0: { // Rnd (lower, upper)
        const int32_t upper = PopArgInt();
        const int32_t lower = PopArgInt();
        if (lower > upper) {
            return upper;
        }
        return vek::RandomRange(lower, upper);
    }
    case 1: { // Chance (chances, out of)
        const int32_t outOf = PopArgInt();
        const int32_t chances = PopArgInt();
        if (chances > outOf || chances <= 0 || outOf <= 0) {
            return 0;
        }
        return vek::Chance(chances, outOf) ? 1 : 0;
    }
    default:
        FailHere(kErrFunctionNotFound, L"CScriptBase::ExecuteFunction", __LINE__);
    }
}

int32_t CScriptBase::PopArgInt() { return ::PopArgInt(m_valueStack, *this); }
float CScriptBase::PopArgFloat() { return ::PopArgFloat(m_valueStack, *this); }
std::wstring CScriptBase::PopArgString() { return ::PopArgString(m_valueStack, *this); }

// --- Variables ---------------------------------------------------------------------------

uint32_t CScriptBase::Intern(const std::wstring& name) {
    if (name.empty()) {
        return 0;
    }
    const auto [it, added] = m_symbolIds.emplace(name, static_cast<uint32_t>(m_symbolNames.size()));
    if (added) {
        m_symbolNames.push_back(name);
        m_bindings.Add();
    }
    return it->second;
}

void CScriptBase::IndexDeclaredVariables() {
    const std::vector<CVariable>& variables = m_results.Variables();
    std::vector<uint32_t> symbols;
    symbols.reserve(variables.size());
    for (const CVariable& variable : variables) {
        symbols.push_back(Intern(variable.GetName()));
    }
    m_declaredBySymbol.assign(m_symbolNames.size(), -1);
    // The first of equal names wins, as a search in order would find it.
    for (size_t i = symbols.size(); i-- > 0;) {
        if (symbols[i] != 0) {
            m_declaredBySymbol[symbols[i]] = static_cast<int32_t>(i);
        }
    }
    m_declaredIndexed = variables.size();
    m_declaredData = variables.data();
}

void CScriptBase::CheckDeclared() {
    const std::vector<CVariable>& variables = m_results.Variables();
    if (variables.size() != m_declaredIndexed || variables.data() != m_declaredData) {
        IndexDeclaredVariables();
        ForgetLookups();
    }
}

void CScriptBase::InvalidateLookups() {
    CheckDeclared();
    ForgetLookups();
}

void CScriptBase::ForgetLookups() {
    m_bindings.ForgetOutside();
    // A binding is valid while its epoch is the current one; 0 is never one.
    if (++m_epoch == 0) {
        for (TBinding& binding : m_bindings.entries) {
            binding.epoch = 0;
        }
        m_epoch = 1;
    }
}

CVariable* CScriptBase::LookupAgain(uint32_t symbol) {
    if (symbol == 0) {
        return nullptr;
    }
    CVariable* variable = nullptr;
    // Newest first: an inner loop's counter and a recursive call's parameter
    // hide the outer ones.
    for (uint32_t i = m_localCount; i-- > 0;) {
        if (m_localSymbols[i] == symbol) {
            variable = &m_locals[i];
            break;
        }
    }
    if (!variable && symbol < m_declaredBySymbol.size() && m_declaredBySymbol[symbol] >= 0) {
        variable = &m_results.Variables()[m_declaredBySymbol[symbol]];
    }
    if (!variable) {
        // Whatever a derived script adds to the lookup.
        variable = FindVariable(m_symbolNames[symbol], false);
        if (!variable) {
            return nullptr;
        }
        m_bindings.ListOutside(symbol);
    }
    m_bindings.entries[symbol] = TBinding{variable, m_epoch};
    return variable;
}

void CScriptBase::FailMissing() { FailHere(kErrVariableNotFound, L"CScriptBase::ExecuteUnit", __LINE__); }

void CScriptBase::AfterBuiltIn() {
    // A built-in may change what FindVariable finds outside this script, and
    // the declared variables.
    m_bindings.ForgetOutside();
    CheckDeclared();
}

CVariable* CScriptBase::FindVariable(const std::wstring& name, bool localsOnly) {
    if (name.empty()) {
        return nullptr;
    }
    const TNoCaseEqual equal;
    for (uint32_t i = m_localCount; i-- > 0;) {
        if (equal(m_locals[i].GetName(), name)) {
            return &m_locals[i];
        }
    }
    if (localsOnly) {
        return nullptr;
    }
    const int32_t at = FindDeclared(name);
    return at < 0 ? nullptr : &m_results.Variables()[at];
}

int32_t CScriptBase::FindDeclared(const std::wstring& name) {
    std::vector<CVariable>& variables = m_results.Variables();
    if (variables.size() < m_declaredNamesFor) {
        m_declaredNames.clear();
        m_declaredNamesFor = 0;
    }
    // Variables are appended; the first of a name stays the one found.
    for (; m_declaredNamesFor < variables.size(); ++m_declaredNamesFor) {
        m_declaredNames.emplace(variables[m_declaredNamesFor].GetName(), static_cast<uint32_t>(m_declaredNamesFor));
    }
    const auto it = m_declaredNames.find(name);
    if (it == m_declaredNames.end()) {
        return -1;
    }
    if (!TNoCaseEqual()(variables[it->second].GetName(), name)) {
        // Renamed in place: index them again.
        m_declaredNames.clear();
        m_declaredNamesFor = 0;
        return FindDeclared(name);
    }
    return static_cast<int32_t>(it->second);
}

void CScriptBase::VariableAssign(const std::wstring& name, int64_t value, bool fromCall) {
    CheckDeclared();
    if (name.empty()) {
        FailHere(kErrVariableNotFound, L"CScriptBase::VariableAssign", __LINE__);
    }
    AssignBySymbol(Intern(name), value, fromCall);
}

void CScriptBase::AddVariable(const std::wstring& name, uint32_t low, uint32_t high) {
    m_pending.emplace_back(name, low, high, CVariable::kKindU32);
}

void CScriptBase::AddGlobalVariable(const std::wstring& name) {
    if (FindVariable(name, false)) {
        Fail(kErrExecution, L"CScriptBase::AddGlobalVariable", __LINE__);
    }
    m_results.Variables().emplace_back(name, 0, 0, CVariable::kKindU32);
    CheckDeclared();
}

// --- Scopes -------------------------------------------------------------------------------

void CScriptBase::PushScope() { PushScopeAt(m_current); }

void CScriptBase::PopScope() { UpdateLocalVars(); }

void CScriptBase::UpdateLocalVars() {
    if (m_scopes.empty()) {
        return;
    }
    const TScopeMark mark = m_scopes.back();
    m_scopes.pop_back();
    // Marks only grow towards the top; anything else is a broken stack.
    if (!m_scopes.empty() && m_scopes.back().count > mark.count) {
        Fail(kErrExecution, L"CScriptBase::UpdateLocalVars", __LINE__);
    }
    CutLocals(mark.count);
}

void CScriptBase::CutScopesFrom(int32_t index, size_t floor) {
    // The running function's own mark holds its whole body.
    // Blocks nest, so the first block that holds the index holds the rest.
    while (m_scopes.size() > floor && !ScopeStays(m_scopes.back(), index)) {
        CutLocals(m_scopes.back().count);
        m_scopes.pop_back();
    }
}

// --- Functions ---------------------------------------------------------------------------

const CScriptBase::TDefinitions* CScriptBase::FindDefinitions(const std::wstring& name) const {
    const auto it = m_definitions.find(name);
    return it == m_definitions.end() ? nullptr : &it->second;
}

bool CScriptBase::FindExpressionFunction(const std::wstring& name, std::wstring& signature) {
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

int32_t CScriptBase::CallExpressionFunction(const std::wstring& name, std::deque<std::wstring>& arguments) {
    const int32_t index = FindSystemFunction(name);
    if (index >= 0 && m_registry[index].id == TSystemFunction::kUserFunction) {
        std::vector<uint32_t> values;
        values.reserve(arguments.size());
        for (const std::wstring& argument : arguments) {
            values.push_back(vek::WcsToUL(argument.c_str(), nullptr, 10));
        }
        const CHandoffScope offer(
            *this, THandoff{&name, m_current, true, -1, 0, values.data(), static_cast<uint32_t>(values.size())});
        ExecuteUserFunction(name, 0, std::wstring(), true, true);
        return m_returnValue;
    }
    m_valueStack.clear();
    for (std::wstring& argument : arguments) {
        m_valueStack.push_back(std::move(argument));
    }
    const int32_t result = ExecuteFunction(static_cast<uint32_t>(index));
    AfterBuiltIn();
    return result;
}

// --- Persistence -----------------------------------------------------------------------

void CScriptBase::Save() const {
    m_results.Save();
    CountObject();
}

void CScriptBase::Load() {
    m_results.Load();
    m_declaredNames.clear();
    m_declaredNamesFor = 0;
    CountObject();
    // Names may have changed in place.
    IndexDeclaredVariables();
    ForgetLookups();
}
