// Calls of user functions and built-ins: frames, arguments, returns.
#include "script/ScriptRun.h"

#include <algorithm>

#include "VEKLib/Strings.h"
#include "script/ScopedValue.h"
#include "script/ScriptException.h"

namespace {

constexpr const wchar_t* kExecuteUnit = L"CScriptBase::ExecuteUnit";
constexpr const wchar_t* kExecuteUserFunction = L"CScriptBase::ExecuteUserFunction";

const std::wstring kNoName;

} // namespace

bool CScriptRun::RunCall(const TCommand& command, const TLink& link) {
    const TCallSite& site = m_calls[link.call];
    const bool assign = command.argument == 1;
    LocateCommand(static_cast<uint32_t>(m_current));
    if (site.user) {
        // Also a call written above the function's definition.
        if (site.valid) {
            CallUserFunction(site, link, assign, site.values);
            return true;
        }
        std::vector<uint32_t> values;
        for (const std::wstring& text : ExtractArgs(command.Arguments(), false)) {
            values.push_back(vek::WcsToUL(text.c_str(), nullptr, 10));
        }
        CallUserFunction(site, link, assign, values);
        return true;
    }
    PrepareArguments(command, site);
    // By name, so that a derived script's own dispatch sees every call.
    ExecuteFunction(site.name, assign, assign ? site.receiver : kNoName);
    AfterBuiltIn();
    return true;
}

void CScriptRun::PrepareArguments(const TCommand& command, const TCallSite& site) {
    m_valueStack.clear();
    // Split when linked; a list that could not be split fails now.
    if (site.valid) {
        m_valueStack.assign(site.texts.begin(), site.texts.end());
        return;
    }
    for (std::wstring& text : ExtractArgs(command.Arguments(), false)) {
        m_valueStack.push_back(std::move(text));
    }
}

void CScriptRun::CallUserFunction(const TCallSite& site, const TLink& link, bool assign,
                                  const std::vector<uint32_t>& values) {
    const CHandoffScope offer(*this, THandoff{&site.name, m_current, true, link.jump, site.receiverSymbol,
                                              values.data(), static_cast<uint32_t>(values.size())});
    ExecuteUserFunction(site.name, assign ? 1 : 0, assign ? site.receiver : kNoName, true, true);
}

bool CScriptRun::RunSuper(const TCommand&, const TLink& link) {
    if (m_frames.empty()) {
        FailHere(kErrExecution, kExecuteUnit, __LINE__);
    }
    const std::wstring& name = m_calls[link.call].name;
    if (FindSystemFunction(name) < 0) {
        return true;
    }
    const TCallFrame frame = m_frames.back();
    // The overridden version gets the arguments that this call got.
    const std::vector<uint32_t> values = FrameArguments(frame);
    const TDefinitions* definitions = FindDefinitions(name);
    const CHandoffScope offer(*this, THandoff{&name, m_current, false, definitions ? definitions->plain : -1,
                                              frame.receiver, values.data(), static_cast<uint32_t>(values.size())});
    ExecuteUserFunction(name, frame.flag, m_symbolNames[frame.receiver], false, true);
    return true;
}

bool CScriptRun::ExecuteUserFunction(const std::wstring& name, uint8_t flag, const std::wstring& receiver,
                                     bool preferOverriding, bool mustExist) {
    if (IsIdle()) {
        StartRun();
    }
    EnsureLinked();
    // A call command resolved its function and arguments ahead; anyone else
    // is looked up by name and hands its arguments on the value stack.
    const THandoff* offered = m_handoff;
    const bool resolved = offered != nullptr && offered->command == m_current &&
                          offered->preferOverriding == preferOverriding &&
                          (offered->name == &name || TNoCaseEqual()(*offered->name, name));
    if (resolved) {
        m_handoff = nullptr; // taken once
    }
    int32_t definition = resolved ? offered->definition : -1;
    if (definition < 0) {
        if (const TDefinitions* definitions = FindDefinitions(name)) {
            definition = preferOverriding ? definitions->preferred : definitions->plain;
        }
    }
    if (definition < 0) {
        if (mustExist) {
            FailHere(kErrFunctionNotFound, kExecuteUserFunction, __LINE__);
        }
        return false;
    }
    const int32_t end = m_links[definition].end;
    if (end < 0) {
        FailHere(kErrExecution, kExecuteUserFunction, __LINE__);
    }
    if (m_frames.size() >= kMaxCallDepth) {
        FailHere(kErrExecution, kExecuteUserFunction, __LINE__, CallDepthDetails());
    }

    const uint32_t receiverSymbol =
        flag == 0 ? 0 : (resolved && offered->receiver != 0 ? offered->receiver : Intern(receiver));
    TCallFrame& frame = PushFrame(definition, flag, receiverSymbol);
    if (resolved) {
        for (uint32_t k = 0; k < offered->count; ++k) {
            m_argumentPool.push_back(offered->values[k]);
        }
    } else {
        for (const std::wstring& text : m_valueStack) {
            m_argumentPool.push_back(vek::WcsToUL(text.c_str(), nullptr, 10));
        }
    }
    if (!m_valueStack.empty()) {
        m_valueStack.clear();
    }
    frame.argumentCount = static_cast<uint32_t>(m_argumentPool.size()) - frame.argumentBase;
    m_scopeFloor = frame.scopeDepth + 1;

    EnterBody(frame);

    const size_t depth = m_frames.size();
    const bool outermost = IsIdle();
    const TScopedValue<uint32_t> nesting(m_nesting, m_nesting + 1);
    const TScopedValue<uint32_t> busy(m_busy, m_busy + 1);
    try {
        // The body runs until its frame is gone: by return, by its closing
        // brace, or by exit and jumps out of it.
        RunCommands(depth);
    } catch (const TUnwind& unwind) {
        if (!outermost) {
            throw;
        }
        if (unwind.exit) {
            ExitRun();
        }
    }
    return true;
}

std::vector<uint32_t> CScriptRun::FrameArguments(const TCallFrame& frame) const {
    if (frame.siteArguments != 0) {
        const std::vector<uint32_t>& values = m_calls[m_links[frame.returnCommand].call].values;
        return std::vector<uint32_t>(values.begin(), values.begin() + frame.argumentCount);
    }
    return std::vector<uint32_t>(m_argumentPool.begin() + frame.argumentBase,
                                 m_argumentPool.begin() + frame.argumentBase + frame.argumentCount);
}

void CScriptRun::KeepCallArguments() {
    // The pool again in frame order, with the arguments of every frame.
    if (std::none_of(m_frames.begin(), m_frames.end(), [](const TCallFrame& f) { return f.siteArguments != 0; })) {
        return;
    }
    std::vector<uint32_t> pool(m_argumentPool.begin(), m_argumentPool.begin() + m_frames.front().argumentBase);
    for (TCallFrame& frame : m_frames) {
        const std::vector<uint32_t> values = FrameArguments(frame);
        frame.argumentBase = static_cast<uint32_t>(pool.size());
        frame.siteArguments = 0;
        pool.insert(pool.end(), values.begin(), values.end());
    }
    m_argumentPool = std::move(pool);
}

void CScriptRun::EnterFunction(int32_t definition) {
    EnsureLinked();
    if (definition < 0 || static_cast<size_t>(definition) >= m_links.size() || m_links[definition].end < 0) {
        FailHere(kErrExecution, kExecuteUserFunction, __LINE__);
    }
    if (m_frames.size() >= kMaxCallDepth) {
        FailHere(kErrExecution, kExecuteUserFunction, __LINE__, CallDepthDetails());
    }
    m_scopeFloor = PushFrame(definition, 0, 0).scopeDepth + 1;
    PushScopeAt(definition);
    m_current = definition + 1;
}

void CScriptRun::ExecuteFunction(const std::wstring& name, bool assign, const std::wstring& target) {
    const int32_t index = FindSystemFunction(name);
    const int32_t result = ExecuteFunction(static_cast<uint32_t>(index));
    if (assign) {
        VariableAssign(target, result, true);
    }
}

int32_t CScriptRun::CallExpressionFunction(const std::wstring& name, std::deque<std::wstring>& arguments) {
    // The rest of the condition reports its errors on the if's line, not on
    // the line of whatever the call ran last.
    const TScopedValue<uint32_t> located(m_tokenStart, m_tokenStart);
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

int32_t CScriptRun::PopArgInt() { return ::PopArgInt(m_valueStack, *this); }

float CScriptRun::PopArgFloat() { return ::PopArgFloat(m_valueStack, *this); }

std::wstring CScriptRun::PopArgString() { return ::PopArgString(m_valueStack, *this); }
