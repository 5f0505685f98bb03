#pragma once
// The debugger, as far as the game uses it: debugger output and a break that
// only ever happens while a debugger is attached.
#include <string_view>

namespace platform {

// An interface so tests can stand in for a debugger.
class IDebugger {
public:
    virtual ~IDebugger() = default;
    virtual bool IsAttached() = 0;
    // UTF-8 text for the debugger's output window.
    virtual void Output(std::string_view utf8) = 0;
    // Stops in the debugger. Called only when IsAttached() said yes.
    virtual void Break() = 0;
};

IDebugger& Debugger();
// Installs a replacement (tests); null restores the real one.
void SetDebugger(IDebugger* debugger);

// Text to the debugger's output; dropped when no debugger is attached.
void DebugOutput(std::wstring_view text);
// A breakpoint when a debugger is attached; nothing otherwise.
void DebugBreakIfAttached();

// The TracerPid value of a /proc/<pid>/status text; 0 when absent or malformed.
long TracerPidFromStatus(std::string_view status);

} // namespace platform
