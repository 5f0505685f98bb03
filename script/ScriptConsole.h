#pragma once
// Where a script's console statements go: the interface, the process's
// console, the default for scripts without one of their own, and a console
// over given streams.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// Where a script's console statements go: print, println and iout write to
// Output(); input and iin read UTF-8 text from Input(); system hands its
// command to System().
class IScriptConsole {
public:
    virtual ~IScriptConsole() = default;
    virtual std::wostream& Output() = 0;
    virtual std::istream& Input() = 0;
    // The command processor's result.
    virtual int System(const std::wstring& command) = 0;
};

// The process's console: vek::ConsoleOut(), standard input and the command
// processor (given the command as UTF-8).
IScriptConsole& ProcessScriptConsole();
// The console of every script that has none of its own; null: the process's.
// A fuzzer puts one here so that no script it makes reaches a real shell.
void SetDefaultScriptConsole(IScriptConsole* console);
IScriptConsole& DefaultScriptConsole();

// Writes an unsigned number in decimal digits.
void WriteDecimal(std::wostream& out, uint64_t value);

// A console over given streams. System commands are recorded, not run.
class CStreamScriptConsole final : public IScriptConsole {
public:
    CStreamScriptConsole(std::istream& input, std::wostream& output) : m_input(input), m_output(output) {}
    std::wostream& Output() override { return m_output; }
    std::istream& Input() override { return m_input; }
    int System(const std::wstring& command) override {
        commands.push_back(command);
        return 0;
    }

    std::vector<std::wstring> commands;

private:
    std::istream& m_input;
    std::wostream& m_output;
};
