// Parses a script file and runs it, as lua5.4 and tclsh8.6 run theirs, for
// the script benchmark's whole-process timings:
//   script_run [-p] FILE.u     -p: parse only
// The script is deleted before the program ends, as the other two close
// their interpreters. A script error is printed and ends with exit code 1.
#include <memory>
#include <string>

#include "VEKLib/Console.h"
#include "VEKLib/Exception.h"
#include "platform/Utf8.h"
#include "script/ScriptBase.h"
#include "script/ScriptException.h"

int main(int argc, char** argv) {
    const bool parseOnly = argc == 3 && std::string(argv[1]) == "-p";
    if (argc != 2 && !parseOnly) {
        vek::ConsoleErr() << L"usage: script_run [-p] FILE.u" << std::endl;
        return 2;
    }
    try {
        auto script = std::make_unique<CScriptBase>();
        script->LoadFile(platform::FromUtf8(argv[argc - 1]));
        script->Parse();
        if (!parseOnly) {
            script->SetStepBudget(0);
            script->Execute();
        }
        script.reset();
    } catch (const CScriptException& e) {
        vek::ConsoleErr() << e.GetText() << std::endl;
        return 1;
    } catch (const vek::CException& e) {
        vek::ConsoleErr() << e.GetText() << std::endl;
        return 1;
    }
    return 0;
}
