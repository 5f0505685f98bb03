#pragma once
// The generic interpreter of ".u" scripts, as callers use it: one object
// holds one script's text and what parsing it produced, and runs it. Its
// parts, bottom up, each in a class and header of its own:
//   CScriptProgram (ScriptProgram.h)     the text, commands, registry, errors
//   CScriptVariables (ScriptVariables.h) variables and scopes
//   CScriptParser (ScriptParser.h)       parsing and the checks after it
//   CScriptLinker (ScriptLinker.h)       the command list made ready to run
//   CScriptRun (ScriptRun.h)             the run, its frames and its budget
// This class adds construction, the resets, saving and loading, and its two
// built-ins, Rnd and Chance. The game script (Script.h) derives from it.
//
// Every run has a step budget (SetStepBudget), and a cancel hook can stop it
// (SetCancelHook).
#include <cstdint>
#include <string>

#include "script/ScriptRun.h"

class CScriptBase : public CScriptRun {
public:
    // Loads the file when the path is not empty; registers Rnd (id 0) and
    // Chance (id 1). Does not parse.
    explicit CScriptBase(const std::wstring& path = std::wstring());
    CScriptBase(const CScriptBase&) = default;
    CScriptBase& operator=(const CScriptBase&) = default;
    ~CScriptBase() override = default;

    // Back to a fresh object without text (registry keeps the built-ins).
    void Reset() override;
    // Runs the built-in at a registry index; ids 0 (Rnd) and 1 (Chance) here,
    // anything else is error 33.
    int32_t ExecuteFunction(uint32_t id) override;
    using CScriptRun::ExecuteFunction;

    // --- Persistence: the declared variables only ----------------------------------
    void Load() override;
    virtual void Save() const;
};
