// The process's console for scripts, and the default console of scripts
// that have none of their own.
#include "script/ScriptConsole.h"

#include <cstdlib>
#include <iostream>
#include <ostream>

#include "VEKLib/Console.h"
#include "VEKLib/Strings.h"

namespace {

class CProcessScriptConsole final : public IScriptConsole {
public:
    std::wostream& Output() override { return vek::ConsoleOut(); }
    std::istream& Input() override { return std::cin; }
    int System(const std::wstring& command) override {
        // Whatever the script printed comes before the command's own output.
        vek::ConsoleOut().flush();
        return std::system(vek::WideToUtf8(command).c_str());
    }
};

IScriptConsole* g_defaultConsole = nullptr;

} // namespace

IScriptConsole& ProcessScriptConsole() {
    static CProcessScriptConsole console;
    return console;
}

void SetDefaultScriptConsole(IScriptConsole* console) { g_defaultConsole = console; }

IScriptConsole& DefaultScriptConsole() { return g_defaultConsole ? *g_defaultConsole : ProcessScriptConsole(); }

void WriteDecimal(std::wostream& out, uint64_t value) {
    wchar_t digits[24];
    size_t at = sizeof(digits) / sizeof(digits[0]);
    do {
        digits[--at] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    out.write(digits + at, static_cast<std::streamsize>(sizeof(digits) / sizeof(digits[0]) - at));
}
