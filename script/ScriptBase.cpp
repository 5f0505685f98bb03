// The interpreter's face: construction, the resets, persistence and the
// two built-ins of its own.
#include "script/ScriptBase.h"

#include "VEKLib/Random.h"
#include "script/ScriptException.h"

CScriptBase::CScriptBase(const std::wstring& path) {
    m_position = kEndOfText;
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
    ClearTape();
    m_results.Clear();
    ClearParseState();
    ClearLinks();
    ClearDeclaredIndex();
    ClearLocalVariables();
    ResetRuntime();
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
