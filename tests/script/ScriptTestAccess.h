#pragma once
// What tests look at inside a script object beyond its public interface: the
// tape, the locals, the call frames and scopes, the value stack and the
// parser's leftovers.
#include <string>
#include <vector>

#include "script/ScriptBase.h"

class CScriptTestAccess {
public:
    static uint8_t WorkCell(const CScriptBase& script, uint32_t index) { return script.m_workArea.at(index); }
    static uint32_t WorkPointer(const CScriptBase& script) { return script.m_workPointer; }
    static uint32_t LocalCount(const CScriptBase& script) { return script.m_localCount; }
    // The names of the locals, oldest first.
    static std::vector<std::wstring> LocalNames(const CScriptBase& script) {
        std::vector<std::wstring> names;
        for (uint32_t i = 0; i < script.m_localCount; ++i) {
            names.push_back(script.m_locals[i].GetName());
        }
        return names;
    }
    static size_t CallDepth(const CScriptBase& script) { return script.m_frames.size(); }
    // Links again, as a run does when a built-in has changed the list.
    static void Relink(CScriptBase& script) { script.Link(); }
    // "function " and the name of each running function, outermost first.
    static std::vector<std::wstring> CallFrameLabels(const CScriptBase& script) {
        std::vector<std::wstring> labels;
        const auto& commands = script.m_results.Commands();
        for (const CScriptBase::TCallFrame& frame : script.m_frames) {
            const bool known = frame.definition >= 0 && static_cast<size_t>(frame.definition) < commands.size();
            labels.push_back(L"function " + (known ? std::wstring(commands[frame.definition].name) : std::wstring()));
        }
        return labels;
    }
    static size_t ScopeCount(const CScriptBase& script) { return script.m_scopes.size(); }
    static size_t ValueStackSize(const CScriptBase& script) { return script.m_valueStack.size(); }
    static size_t PendingCount(const CScriptBase& script) { return script.m_pending.size(); }
    static std::vector<std::wstring> ParameterPool(const CScriptBase& script) {
        return std::vector<std::wstring>(script.m_parameterPool.begin(), script.m_parameterPool.end());
    }
    static bool IsExtending(const CScriptBase& script) { return script.m_extends != 0; }
};
