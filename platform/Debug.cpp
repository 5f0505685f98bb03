#include "platform/Debug.h"

#include <csignal>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/Console.h"
#include "platform/Utf8.h"

namespace platform {

namespace {

class RealDebugger final : public IDebugger {
public:
    bool IsAttached() override {
        std::ifstream in("/proc/self/status");
        if (!in) {
            return false;
        }
        std::ostringstream text;
        text << in.rdbuf();
        return TracerPidFromStatus(text.str()) != 0;
    }
    // A debugger on this system shows what the program writes to stderr.
    void Output(std::string_view utf8) override { Console().Write(2, utf8); }
    void Break() override { std::raise(SIGTRAP); }
};

RealDebugger g_real;
IDebugger* g_debugger = nullptr;

} // namespace

IDebugger& Debugger() { return g_debugger ? *g_debugger : g_real; }

void SetDebugger(IDebugger* debugger) { g_debugger = debugger; }

void DebugOutput(std::wstring_view text) {
    IDebugger& debugger = Debugger();
    if (debugger.IsAttached()) {
        debugger.Output(ToUtf8(text));
    }
}

void DebugBreakIfAttached() {
    // SIGTRAP without a tracer would end the program, so ask first.
    IDebugger& debugger = Debugger();
    if (debugger.IsAttached()) {
        debugger.Break();
    }
}

long TracerPidFromStatus(std::string_view status) {
    constexpr std::string_view kKey = "TracerPid:";
    size_t pos = 0;
    while (pos < status.size()) {
        size_t end = status.find('\n', pos);
        if (end == std::string_view::npos) {
            end = status.size();
        }
        std::string_view line = status.substr(pos, end - pos);
        pos = end + 1;
        if (line.substr(0, kKey.size()) != kKey) {
            continue;
        }
        line.remove_prefix(kKey.size());
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        long value = 0;
        size_t digits = 0;
        for (char c : line) {
            if (c < '0' || c > '9' || value > 100000000) {
                break;
            }
            value = value * 10 + (c - '0');
            ++digits;
        }
        return digits > 0 ? value : 0;
    }
    return 0;
}

} // namespace platform
