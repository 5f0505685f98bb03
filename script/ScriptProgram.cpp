// The program's registry, its console and the errors that point into it.
#include "script/ScriptProgram.h"

#include <algorithm>

#include "script/ScriptException.h"

void CScriptProgram::Fail(EScriptError code, const wchar_t* function, uint32_t line) const {
    throw CScriptException(code, L"M_ScriptBase", function, line, *this);
}

void CScriptProgram::FailHere(EScriptError code, const wchar_t* function, uint32_t line) {
    FailHere(code, function, line, std::wstring());
}

void CScriptProgram::FailHere(EScriptError code, const wchar_t* function, uint32_t line, const std::wstring& details) {
    const auto& commands = m_results.Commands();
    if (m_current >= 0 && static_cast<size_t>(m_current) < commands.size()) {
        m_tokenStart = commands[m_current].textPosition;
    }
    throw CScriptException(code, L"M_ScriptBase", function, line, *this).SetDetails(details);
}

IScriptConsole& CScriptProgram::Console() const { return m_console ? *m_console : DefaultScriptConsole(); }

// --- Registry ---------------------------------------------------------------------

void CScriptProgram::RegisterFunction(const CSharedText& name, uint32_t id, const CSharedText& signature,
                                      uint32_t value1, uint32_t value2, uint32_t value3) {
    m_registry.push_back(TSystemFunction{name, id, signature, value1, value2, value3});
    m_registryIndex.Add(RegistryNames(), static_cast<uint32_t>(m_registry.size() - 1));
}

void CScriptProgram::RebuildRegistryIndex() {
    m_registryIndex.Clear();
    for (size_t i = 0; i < m_registry.size(); ++i) {
        m_registryIndex.Add(RegistryNames(), static_cast<uint32_t>(i));
    }
}

int32_t CScriptProgram::FindSystemFunction(const std::wstring& name) const {
    return m_registryIndex.Find(RegistryNames(), name);
}

int32_t CScriptProgram::FindFunctionIndex(const CSharedText& name) const {
    return m_registryIndex.Find(RegistryNames(), name);
}

const TSystemFunction& CScriptProgram::FindUserFunction(const std::wstring& name) const {
    for (const TSystemFunction& function : m_registry) {
        if (function.id == TSystemFunction::kUserFunction && TNoCaseEqual()(function.name, name)) {
            return function;
        }
    }
    Fail(kErrFunctionNotFound, L"CScriptBase::FindUserFunction", __LINE__);
}

void CScriptProgram::ClearLocalVariables() {
    m_currentDepth = 0;
    m_extends = 0;
    m_registry.erase(std::remove_if(m_registry.begin(), m_registry.end(),
                                    [](const TSystemFunction& f) { return static_cast<int32_t>(f.id) < 0; }),
                     m_registry.end());
    RebuildRegistryIndex();
    m_parameterPool.clear();
}
