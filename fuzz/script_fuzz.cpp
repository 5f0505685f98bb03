// Parses and runs arbitrary script texts (UTF-8) with a step budget: the
// whole text from the start, then every user function as an event. "extends"
// reads one fixed base script; the console reads nothing and writes nowhere.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "VEKLib/Console.h"
#include "VEKLib/Strings.h"
#include "platform/Console.h"
#include "script/ScriptBase.h"
#include "script/ScriptException.h"
#include "tests/support/SilentConsole.h"

namespace {

constexpr uint64_t kStepBudget = 20000;

class CNullBuffer : public std::wstreambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
};

class CFuzzScript : public CScriptBase {
public:
    void LoadBaseScript(const std::wstring& path) override {
        if (!vek::StartsWithNoCase(L"base", path)) {
            throw CScriptException(0, L"Fuzz", L"CFuzzScript::LoadBaseScript", __LINE__, *this);
        }
        LoadText(
            L"var baseValue = 1\nfunction OnEnter(a) {\nincr baseValue\nreturn 2\n}\n"
            L"function Helper() {\nprintln baseValue\n}\n",
            path);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static testsupport::CSilentConsole silent;
    platform::SetConsole(&silent);
    const std::wstring text = vek::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));

    std::istringstream input("12 abc\n");
    CNullBuffer nothing;
    std::wostream output(&nothing);
    CStreamScriptConsole console(input, output);
    SetDefaultScriptConsole(&console);
    CFuzzScript script;
    script.SetConsole(&console);
    script.LoadText(text, L"fuzz.u");
    try {
        script.Parse();
    } catch (const CScriptException&) {
        SetDefaultScriptConsole(nullptr);
        vek::ConsoleOut().flush();
        return 0;
    }
    try {
        script.SetStepBudget(kStepBudget);
        script.Execute();
    } catch (const CScriptException&) {
    }
    std::vector<std::wstring> functions;
    for (const TSystemFunction& function : script.GetRegistry()) {
        if (function.id == TSystemFunction::kUserFunction) {
            functions.push_back(function.name);
        }
    }
    for (const std::wstring& name : functions) {
        try {
            script.ResetRuntime();
            script.SetStepBudget(kStepBudget);
            script.AddVariable(L"LocWorldX", 3);
            script.ExecuteUserFunction(name, 0, std::wstring(), true, false);
        } catch (const CScriptException&) {
        }
    }
    SetDefaultScriptConsole(nullptr);
    vek::ConsoleOut().flush();
    return 0;
}
