// The process's console for scripts, and the default console of scripts
// that have none of their own.
#include "script/ScriptConsole.h"

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <ostream>

#include "VEKLib/Console.h"
#include "VEKLib/Strings.h"

namespace {

// The game ignores a broken pipe and a file-size limit for itself; a command
// it runs must meet them as it would from a shell, and an ignored signal
// outlives exec. Put back for the game when the command ends.
class CDefaultSignalsScope {
public:
    CDefaultSignalsScope() : m_pipe(std::signal(SIGPIPE, SIG_DFL)), m_fileSize(std::signal(SIGXFSZ, SIG_DFL)) {}
    ~CDefaultSignalsScope() {
        std::signal(SIGPIPE, m_pipe);
        std::signal(SIGXFSZ, m_fileSize);
    }
    CDefaultSignalsScope(const CDefaultSignalsScope&) = delete;
    CDefaultSignalsScope& operator=(const CDefaultSignalsScope&) = delete;

private:
    void (*m_pipe)(int);
    void (*m_fileSize)(int);
};

class CProcessScriptConsole final : public IScriptConsole {
public:
    std::wostream& Output() override { return vek::ConsoleOut(); }
    std::istream& Input() override { return std::cin; }
    int System(const std::wstring& command) override {
        // Whatever the script printed comes before the command's own output.
        vek::ConsoleOut().flush();
        const CDefaultSignalsScope signals;
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
