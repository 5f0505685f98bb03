#pragma once
// Running script texts in tests: base scripts served from memory, the script
// console over string streams, parse warnings caught off the process console.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <sstream>
#include <string>

#include "VEKLib/Console.h"
#include "platform/Console.h"
#include "script/ScriptBase.h"
#include "script/ScriptException.h"
#include "support/TextConsole.h"
#include "tests/script/ScriptTestAccess.h"

namespace scripttest {

class CWarningCapture {
public:
    CWarningCapture() {
        vek::ConsoleOut().flush();
        platform::SetConsole(&console);
    }
    ~CWarningCapture() {
        vek::ConsoleOut().flush();
        platform::SetConsole(nullptr);
    }
    const std::string& Text() {
        vek::ConsoleOut().flush();
        return console.out;
    }
    testsupport::CTextConsole console;
};

// A script whose "extends" reads texts from a table.
class CTestScript : public CScriptBase {
public:
    void LoadBaseScript(const std::wstring& path) override {
        const auto it = files.find(path);
        if (it == files.end()) {
            throw CScriptException(0, L"Test", L"CTestScript::LoadBaseScript", __LINE__, *this);
        }
        LoadText(it->second, path);
    }
    std::map<std::wstring, std::wstring> files;
};

// One script: parsed, then run from the start; the first script error is
// kept rather than thrown.
class CRun {
public:
    explicit CRun(const std::wstring& text, const std::string& input = std::string(),
                  const std::wstring& fileName = L"test.u")
        : m_input(input), console(m_input, m_output) {
        script.SetConsole(&console);
        script.LoadText(text, fileName);
    }
    CRun& With(const std::wstring& path, const std::wstring& text) {
        script.files[path] = text;
        return *this;
    }
    // True when the parse succeeded.
    bool Parse() {
        try {
            script.Parse();
            return true;
        } catch (const CScriptException& e) {
            Keep(e);
            return false;
        }
    }
    // Parses and runs; true when both succeeded.
    bool Run() {
        if (!Parse()) {
            return false;
        }
        try {
            script.ResetRuntime();
            script.Execute();
            return true;
        } catch (const CScriptException& e) {
            Keep(e);
            return false;
        }
    }
    std::wstring Output() const { return m_output.str(); }
    // A variable's value as the script sees it; -1 when there is none.
    int64_t Var(const std::wstring& name) {
        const CVariable* variable = script.FindVariable(name, false);
        return variable ? variable->GetValue() : -1;
    }
    const std::vector<TCommand>& Commands() const { return script.GetParseResults().Commands(); }

    CTestScript script;
    int error = -1; // code of the script error, -1 when none
    uint32_t errorLine = 0;
    std::wstring errorFunction;

private:
    void Keep(const CScriptException& e) {
        error = static_cast<int>(e.GetCode());
        errorLine = e.GetScriptLine();
        errorFunction = e.GetFunction();
    }

    std::istringstream m_input;
    std::wostringstream m_output;

public:
    CStreamScriptConsole console;
};

// What a whole run came to, for comparing two ways of running one text:
// what it printed, the error and its line, where it stopped, how many
// commands it took and the locals it left.
struct TRunOutcome {
    bool parsed = true;
    std::wstring output;
    int error = -1;
    uint32_t line = 0;
    int32_t current = 0;
    uint64_t steps = 0;
    uint32_t locals = 0;
    bool operator==(const TRunOutcome&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const TRunOutcome& o) {
    return out << (o.parsed ? "" : "not parsed, ") << "output " << std::string(o.output.begin(), o.output.end())
               << ", error " << o.error << " on line " << o.line << ", stopped at " << o.current << ", " << o.steps
               << " steps, " << o.locals << " locals";
}

// The text parsed and run from the start by a TScript under a step budget
// (0: none); a script error is kept in the outcome.
template <class TScript>
TRunOutcome RunOutcome(const std::wstring& text, uint64_t budget) {
    std::istringstream input;
    std::wostringstream output;
    CStreamScriptConsole console(input, output);
    CWarningCapture warnings; // of variables a script leaves unused
    TScript script;
    script.SetConsole(&console);
    script.LoadText(text, L"t.u");
    TRunOutcome outcome;
    outcome.parsed = false;
    try {
        script.Parse();
        outcome.parsed = true;
        script.ResetRuntime();
        script.SetStepBudget(budget);
        script.Execute();
    } catch (const CScriptException& e) {
        outcome.error = static_cast<int>(e.GetCode());
        outcome.line = e.GetScriptLine();
    }
    outcome.output = output.str();
    outcome.current = script.GetCurrentCommand();
    outcome.steps = script.GetExecutedCount();
    outcome.locals = CScriptTestAccess::LocalCount(script);
    return outcome;
}

} // namespace scripttest
