// The script interpreter's speed beside two other embedded interpreters, Lua
// 5.4 and Tcl 8.6, on the same workloads in the same run: a counting loop,
// user-function calls with a parameter and a result, a loop with an if/else
// chain on conditions of several comparisons, and parsing a generated
// 50,000-line script (Lua compiles the same program; Tcl has no separate
// compile step). A last case parses 40,000 nested blocks. After the runs a
// table gives each ratio to Lua and to Tcl, and the memory a parsed script
// holds. Lua and Tcl are linked by this benchmark only.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <tcl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "platform/Console.h"
#include "script/ScriptBase.h"
#include "tests/support/SilentConsole.h"

namespace {

// One workload in the three languages. Script variables become Lua locals
// (Lua's fastest form) and variables of a Tcl procedure.
struct TWorkload {
    const char* name;
    const wchar_t* ours;
    const char* lua;
    const char* tcl; // the body of a Tcl procedure
};

const TWorkload kCounting{
    "CountingLoop",
    L"var x = 0\n"
    L"for i = 1 to 10000000 {\n"
    L"  incr x\n"
    L"}\n",
    "local x = 0\n"
    "for i = 1, 10000000 do\n"
    "  x = x + 1\n"
    "end\n",
    "set x 0\n"
    "for {set i 1} {$i <= 10000000} {incr i} {\n"
    "  incr x\n"
    "}\n",
};

const TWorkload kCalls{
    "UserFunctionCalls",
    L"var x = 0\n"
    L"for i = 1 to 1000000 {\n"
    L"  x = Check(7)\n"
    L"}\n"
    L"function Check(n) {\n"
    L"  if (n == 7) {\n"
    L"    return 1\n"
    L"  }\n"
    L"  return 0\n"
    L"}\n",
    "function Check(n)\n"
    "  if n == 7 then\n"
    "    return 1\n"
    "  end\n"
    "  return 0\n"
    "end\n"
    "local x = 0\n"
    "for i = 1, 1000000 do\n"
    "  x = Check(7)\n"
    "end\n",
    "set x 0\n"
    "for {set i 1} {$i <= 1000000} {incr i} {\n"
    "  set x [Check 7]\n"
    "}\n",
};

const TWorkload kBranches{
    "BranchyLoop",
    L"var a = 0\n"
    L"var b = 0\n"
    L"var c = 0\n"
    L"for i = 1 to 10000000 {\n"
    L"  if (a == 0) {\n"
    L"    incr b\n"
    L"    a = 1\n"
    L"  } else if (a == 1 && b != 0) {\n"
    L"    incr c\n"
    L"    a = 2\n"
    L"  } else {\n"
    L"    a = 0\n"
    L"  }\n"
    L"}\n",
    "local a, b, c = 0, 0, 0\n"
    "for i = 1, 10000000 do\n"
    "  if a == 0 then\n"
    "    b = b + 1\n"
    "    a = 1\n"
    "  elseif a == 1 and b ~= 0 then\n"
    "    c = c + 1\n"
    "    a = 2\n"
    "  else\n"
    "    a = 0\n"
    "  end\n"
    "end\n",
    "set a 0\n"
    "set b 0\n"
    "set c 0\n"
    "for {set i 1} {$i <= 10000000} {incr i} {\n"
    "  if {$a == 0} {\n"
    "    incr b\n"
    "    set a 1\n"
    "  } elseif {$a == 1 && $b != 0} {\n"
    "    incr c\n"
    "    set a 2\n"
    "  } else {\n"
    "    set a 0\n"
    "  }\n"
    "}\n",
};

constexpr int kGeneratedLines = 50000;
constexpr int kNestedBlocks = 40000;

// 50,000 lines: functions with loops, branches, assignments and calls. Lua's
// version is the same program, line for line where the languages allow.
std::wstring GeneratedScript() {
    std::wstring text;
    for (int f = 0, lines = 0; lines < kGeneratedLines; ++f, lines += 20) {
        text += vek::Format(L"var v%d = 0\n", f);
        text += vek::Format(L"function F%d(a, b) {\n", f);
        text += L"  for i = 1 to 10 {\n";
        text += vek::Format(L"    if (a == %d || v%d > 3 && b != 0) {\n", f, f);
        text += vek::Format(L"      incr v%d\n", f);
        text += L"      continue\n";
        text += L"    } else if (b == 2) {\n";
        text += vek::Format(L"      v%d = Rnd(1, 6)\n", f);
        text += L"    } else {\n";
        text += L"      break\n";
        text += L"    }\n";
        text += L"  }\n";
        text += vek::Format(L"  label%d:\n", f);
        text += vek::Format(L"  decr v%d\n", f);
        text += vek::Format(L"  if (v%d > 100) {\n", f);
        text += vek::Format(L"    goto label%d\n", f);
        text += L"  }\n";
        text += L"  return 1\n";
        text += L"}\n";
        text += vek::Format(L"v%d = F%d(1, 2)\n", f, f);
    }
    return text;
}

std::string GeneratedLua() {
    std::string text;
    char buffer[1024];
    for (int f = 0, lines = 0; lines < kGeneratedLines; ++f, lines += 20) {
        std::snprintf(buffer, sizeof(buffer),
                      "v%d = 0\n"
                      "function F%d(a, b)\n"
                      "  for i = 1, 10 do\n"
                      "    if a == %d or v%d > 3 and b ~= 0 then\n"
                      "      v%d = v%d + 1\n"
                      "      goto continue\n"
                      "    elseif b == 2 then\n"
                      "      v%d = Rnd(1, 6)\n"
                      "    else\n"
                      "      break\n"
                      "    end\n"
                      "    ::continue::\n"
                      "  end\n"
                      "  ::label%d::\n"
                      "  v%d = v%d - 1\n"
                      "  if v%d > 100 then\n"
                      "    goto label%d\n"
                      "  end\n"
                      "  return 1\n"
                      "end\n"
                      "v%d = F%d(1, 2)\n",
                      f, f, f, f, f, f, f, f, f, f, f, f, f, f);
        text += buffer;
    }
    return text;
}

std::wstring NestedScript() {
    std::wstring text = L"var a = 1\n";
    for (int i = 0; i < kNestedBlocks; ++i) {
        text += L"if (a == 1) {\n";
    }
    text += L"incr a\n";
    for (int i = 0; i < kNestedBlocks; ++i) {
        text += L"}\n";
    }
    return text;
}

size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// --- Our interpreter ---------------------------------------------------------------------

void RunOurs(benchmark::State& state, const TWorkload& workload) {
    testsupport::CSilentConsole silent;
    platform::SetConsole(&silent);
    std::istringstream input;
    std::wostringstream output;
    CStreamScriptConsole console(input, output);
    CScriptBase script;
    script.SetConsole(&console);
    script.LoadText(workload.ours, L"bench.u");
    script.Parse();
    uint64_t commands = 0;
    for (auto _ : state) {
        script.ResetRuntime();
        const uint64_t before = script.GetExecutedCount();
        script.Execute();
        commands += script.GetExecutedCount() - before;
    }
    state.counters["per_command"] =
        benchmark::Counter(static_cast<double>(commands), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    platform::SetConsole(nullptr);
}

void ParseOurs(benchmark::State& state, const std::wstring& text) {
    testsupport::CSilentConsole silent;
    platform::SetConsole(&silent);
    size_t bytes = 0;
    for (auto _ : state) {
        const size_t before = HeapInUse();
        CScriptBase* script = new CScriptBase;
        script->LoadText(text, L"generated.u");
        script->Parse();
        bytes = HeapInUse() - before;
        state.PauseTiming();
        delete script;
        state.ResumeTiming();
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    platform::SetConsole(nullptr);
}

// --- Lua ------------------------------------------------------------------------------------

int LuaRnd(lua_State* lua) {
    lua_pushinteger(lua, luaL_checkinteger(lua, 1));
    return 1;
}

lua_State* NewLua() {
    lua_State* lua = luaL_newstate();
    luaL_openlibs(lua);
    lua_register(lua, "Rnd", LuaRnd);
    return lua;
}

void RunLua(benchmark::State& state, const TWorkload& workload) {
    lua_State* lua = NewLua();
    if (luaL_loadstring(lua, workload.lua) != LUA_OK) {
        state.SkipWithError(lua_tostring(lua, -1));
    }
    for (auto _ : state) {
        lua_pushvalue(lua, -1);
        lua_call(lua, 0, 0);
    }
    lua_close(lua);
}

void ParseLua(benchmark::State& state) {
    const std::string text = GeneratedLua();
    lua_State* lua = NewLua();
    size_t bytes = 0;
    for (auto _ : state) {
        lua_gc(lua, LUA_GCCOLLECT);
        const size_t before = static_cast<size_t>(lua_gc(lua, LUA_GCCOUNT)) * 1024 + lua_gc(lua, LUA_GCCOUNTB);
        if (luaL_loadbuffer(lua, text.data(), text.size(), "generated") != LUA_OK) {
            state.SkipWithError(lua_tostring(lua, -1));
            break;
        }
        state.PauseTiming();
        lua_gc(lua, LUA_GCCOLLECT);
        bytes = static_cast<size_t>(lua_gc(lua, LUA_GCCOUNT)) * 1024 + lua_gc(lua, LUA_GCCOUNTB) - before;
        lua_pop(lua, 1);
        state.ResumeTiming();
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    lua_close(lua);
}

// --- Tcl ------------------------------------------------------------------------------------

void RunTcl(benchmark::State& state, const TWorkload& workload) {
    Tcl_Interp* tcl = Tcl_CreateInterp();
    const std::string procs = std::string("proc Check {n} {\n  if {$n == 7} {\n    return 1\n  }\n  return 0\n}\n") +
                              "proc Workload {} {\n" + workload.tcl + "}\n";
    if (Tcl_Eval(tcl, procs.c_str()) != TCL_OK) {
        state.SkipWithError(Tcl_GetStringResult(tcl));
    }
    for (auto _ : state) {
        Tcl_Eval(tcl, "Workload");
    }
    Tcl_DeleteInterp(tcl);
}

// --- Registration and the table of ratios -----------------------------------------------------

const char* const kOurs = "/Morvheld";
const char* const kLua = "/Lua";
const char* const kTcl = "/Tcl";

void Register(const TWorkload& workload) {
    benchmark::RegisterBenchmark((std::string(workload.name) + kOurs).c_str(), [&workload](benchmark::State& state) {
        RunOurs(state, workload);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string(workload.name) + kLua).c_str(), [&workload](benchmark::State& state) {
        RunLua(state, workload);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string(workload.name) + kTcl).c_str(), [&workload](benchmark::State& state) {
        RunTcl(state, workload);
    })->Unit(benchmark::kMillisecond);
}

// Keeps each benchmark's time (and bytes) for the table after the runs: the
// shortest of its repetitions, which the other work of the machine disturbed
// least.
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) {
                continue;
            }
            TResult& result = results[run.run_name.function_name];
            const double seconds = run.GetAdjustedRealTime() * 1e-3; // milliseconds
            if (result.seconds == 0 || seconds < result.seconds) {
                result.seconds = seconds;
            }
            const auto bytes = run.counters.find("bytes");
            if (bytes != run.counters.end()) {
                result.bytes = bytes->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    struct TResult {
        double seconds = 0;
        double bytes = 0;
    };
    std::map<std::string, TResult> results;
};

void PrintRatio(const CRatioReporter& reporter, const std::string& name, const char* other, double target) {
    const auto ours = reporter.results.find(name + kOurs);
    const auto theirs = reporter.results.find(name + other);
    if (ours == reporter.results.end() || theirs == reporter.results.end() || theirs->second.seconds <= 0) {
        return;
    }
    const double ratio = ours->second.seconds / theirs->second.seconds;
    std::printf("%-22s ours / %-4s %6.2f  (target at most %.1f: %s)\n", name.c_str(), other + 1, ratio, target,
                ratio <= target ? "met" : "NOT met");
}

} // namespace

int main(int argc, char** argv) {
    Register(kCounting);
    Register(kCalls);
    Register(kBranches);
    const std::string parse = std::string("Parse50000Lines") + kOurs;
    const std::string nested = std::string("Parse40000NestedBlocks") + kOurs;
    benchmark::RegisterBenchmark(parse.c_str(), [](benchmark::State& state) {
        ParseOurs(state, GeneratedScript());
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("Parse50000Lines") + kLua).c_str(), ParseLua)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(nested.c_str(), [](benchmark::State& state) {
        ParseOurs(state, NestedScript());
    })->Unit(benchmark::kMillisecond);

    // Five repetitions unless asked otherwise; the table takes the shortest.
    std::vector<char*> arguments(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5";
    if (std::none_of(argv, argv + argc, [](const char* a) { return std::strstr(a, "repetitions") != nullptr; })) {
        arguments.push_back(repetitions.data());
    }
    argc = static_cast<int>(arguments.size());
    argv = arguments.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n");
    for (const TWorkload* workload : {&kCounting, &kCalls, &kBranches}) {
        PrintRatio(reporter, workload->name, kLua, 2.0);
        PrintRatio(reporter, workload->name, kTcl, 1.0);
    }
    PrintRatio(reporter, "Parse50000Lines", kLua, 2.0);
    const auto parsed = reporter.results.find(std::string("Parse50000Lines") + kOurs);
    const auto compiled = reporter.results.find(std::string("Parse50000Lines") + kLua);
    if (parsed != reporter.results.end()) {
        std::printf("%-22s ours %.1f MB (target under 10 MB: %s)", "Parse50000Lines", parsed->second.bytes / 1e6,
                    parsed->second.bytes < 10e6 ? "met" : "NOT met");
        if (compiled != reporter.results.end()) {
            std::printf(", Lua %.1f MB", compiled->second.bytes / 1e6);
        }
        std::printf("\n");
    }
    const auto deep = reporter.results.find(std::string("Parse40000NestedBlocks") + kOurs);
    if (deep != reporter.results.end()) {
        std::printf("%-22s ours %.1f ms (target under 100 ms: %s)\n", "Parse40000NestedBlocks",
                    deep->second.seconds * 1e3, deep->second.seconds < 0.1 ? "met" : "NOT met");
    }
    return 0;
}
