#pragma once
// Running script texts in tests: base scripts served from memory, the script
// console over string streams, parse warnings caught off the process console.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "VEKLib/Console.h"
#include "platform/Console.h"
#include "script/ScriptBase.h"
#include "script/ScriptException.h"
#include "support/TextConsole.h"

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

} // namespace scripttest
