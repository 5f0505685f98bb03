// Variables and scopes: lookups by symbol, assignment, locals and the scope
// stack.
#include "script/ScriptVariables.h"

#include "script/ScriptException.h"

CScriptVariables::CScriptVariables() {
    m_symbolNames.emplace_back(); // symbol 0: no name
    m_bindings.Add();
}

uint32_t CScriptVariables::Intern(const std::wstring& name) {
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

void CScriptVariables::IndexDeclaredVariables() {
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

void CScriptVariables::CheckDeclared() {
    const std::vector<CVariable>& variables = m_results.Variables();
    if (variables.size() != m_declaredIndexed || variables.data() != m_declaredData) {
        IndexDeclaredVariables();
        ForgetLookups();
    }
}

void CScriptVariables::InvalidateLookups() {
    CheckDeclared();
    ForgetLookups();
}

void CScriptVariables::ForgetLookups() {
    m_bindings.ForgetOutside();
    // A binding is valid while its epoch is the current one; 0 is never one.
    if (++m_epoch == 0) {
        for (TBinding& binding : m_bindings.entries) {
            binding.epoch = 0;
        }
        m_epoch = 1;
    }
}

CVariable* CScriptVariables::LookupAgain(uint32_t symbol) {
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

void CScriptVariables::FailMissing() { FailHere(kErrVariableNotFound, L"CScriptBase::ExecuteUnit", __LINE__); }

void CScriptVariables::AfterBuiltIn() {
    // A built-in may change what FindVariable finds outside this script, and
    // the declared variables.
    m_bindings.ForgetOutside();
    CheckDeclared();
}

CVariable* CScriptVariables::FindVariable(const std::wstring& name, bool localsOnly) {
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

int32_t CScriptVariables::FindDeclared(const std::wstring& name) {
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

void CScriptVariables::VariableAssign(const std::wstring& name, int64_t value, bool fromCall) {
    CheckDeclared();
    if (name.empty()) {
        FailHere(kErrVariableNotFound, L"CScriptBase::VariableAssign", __LINE__);
    }
    AssignBySymbol(Intern(name), value, fromCall);
}

void CScriptVariables::AssignBySymbol(uint32_t symbol, int64_t value, bool fromCall) {
    CVariable* variable = Lookup(symbol);
    if (!variable) {
        FailHere(kErrVariableNotFound, L"CScriptBase::VariableAssign", __LINE__);
    }
    if (value < 0) {
        FailHere(kErrExecution, L"CScriptBase::VariableAssign", __LINE__);
    }
    if (fromCall) {
        // A super hands its result on like a call does.
        const auto& commands = m_results.Commands();
        const uint32_t kind =
            m_current >= 0 && static_cast<size_t>(m_current) < commands.size() ? commands[m_current].kind : 0;
        if (!IsCallKind(kind)) {
            FailHere(kErrExecution, L"CScriptBase::VariableAssign", __LINE__);
        }
    }
    variable->SetValue(value);
}

void CScriptVariables::GrowLocals() {
    const CVariable* before = m_locals.data();
    m_locals.emplace_back();
    m_localSymbols.push_back(0);
    m_localSources.push_back(nullptr);
    if (m_locals.data() != before) {
        ForgetLookups(); // every local moved
    }
}

void CScriptVariables::AddVariable(const std::wstring& name, uint32_t low, uint32_t high) {
    m_pending.emplace_back(name, low, high, CVariable::kKindU32);
}

void CScriptVariables::AddGlobalVariable(const std::wstring& name) {
    if (FindVariable(name, false)) {
        Fail(kErrExecution, L"CScriptBase::AddGlobalVariable", __LINE__);
    }
    m_results.Variables().emplace_back(name, 0, 0, CVariable::kKindU32);
    CheckDeclared();
}

// --- Scopes -------------------------------------------------------------------------------

void CScriptVariables::PushScope() { PushScopeAt(m_current); }

void CScriptVariables::PopScope() { UpdateLocalVars(); }

void CScriptVariables::UpdateLocalVars() {
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
