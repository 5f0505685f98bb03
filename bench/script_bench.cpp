// The script interpreter's speed beside two other embedded interpreters, Lua
// 5.4 and Tcl 8.6, on the same workloads: a counting loop, user-function
// calls with a parameter and a result, a loop with an if/else on conditions
// of several comparisons, a loop with a chain of eight if/else branches,
// three nested loops of the tape commands (Lua runs the same tape machine
// over a table; Tcl sits this one out, as it would take minutes), and
// parsing a generated 50,000-line script (Lua compiles the same program; Tcl
// has no separate compile step). A last case parses 40,000 nested blocks.
//
// Each workload runs twice over: in this process (ours, Lua linked as the
// lua5.4 program is, from the static library of Debian's build, and Tcl as
// tclsh8.6 is, from its shared library), and as whole processes (script_run,
// lua5.4 and tclsh8.6 each given the workload as a file; CPU time of the
// process, start-up and clean-up included). Both sides' clean-up is timed
// alike: in process our parse deletes the previous script where Lua collects
// the previous chunk. A table of medians and ratios to Lua follows the runs,
// with the machine they ran on and the memory a parsed script holds.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tcl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "VEKLib/Format.h"
#include "VEKLib/Strings.h"
#include "bench/BenchMachine.h"
#include "platform/Console.h"
#include "platform/Utf8.h"
#include "script/ScriptBase.h"
#include "tests/support/SilentConsole.h"

namespace {

// One workload in the three languages. Script variables become Lua locals
// (Lua's fastest form) and variables of a Tcl procedure.
struct TWorkload {
    const char* name;
    const wchar_t* ours;
    const char* lua;
    const char* tcl; // the body of a Tcl procedure; null: Tcl does not run it
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

// One comparison after another down a chain of eight branches, 4.5 a round.
const TWorkload kChain{
    "IfElseChain",
    L"var a = 0\n"
    L"var n = 0\n"
    L"for i = 1 to 10000000 {\n"
    L"  if (a == 0) {\n"
    L"    a = 1\n"
    L"  } else if (a == 1) {\n"
    L"    a = 2\n"
    L"  } else if (a == 2) {\n"
    L"    a = 3\n"
    L"  } else if (a == 3) {\n"
    L"    a = 4\n"
    L"  } else if (a == 4) {\n"
    L"    a = 5\n"
    L"  } else if (a == 5) {\n"
    L"    a = 6\n"
    L"  } else if (a == 6) {\n"
    L"    a = 7\n"
    L"  } else {\n"
    L"    a = 0\n"
    L"    incr n\n"
    L"  }\n"
    L"}\n",
    "local a, n = 0, 0\n"
    "for i = 1, 10000000 do\n"
    "  if a == 0 then\n"
    "    a = 1\n"
    "  elseif a == 1 then\n"
    "    a = 2\n"
    "  elseif a == 2 then\n"
    "    a = 3\n"
    "  elseif a == 3 then\n"
    "    a = 4\n"
    "  elseif a == 4 then\n"
    "    a = 5\n"
    "  elseif a == 5 then\n"
    "    a = 6\n"
    "  elseif a == 6 then\n"
    "    a = 7\n"
    "  else\n"
    "    a = 0\n"
    "    n = n + 1\n"
    "  end\n"
    "end\n",
    "set a 0\n"
    "set n 0\n"
    "for {set i 1} {$i <= 10000000} {incr i} {\n"
    "  if {$a == 0} {\n"
    "    set a 1\n"
    "  } elseif {$a == 1} {\n"
    "    set a 2\n"
    "  } elseif {$a == 2} {\n"
    "    set a 3\n"
    "  } elseif {$a == 3} {\n"
    "    set a 4\n"
    "  } elseif {$a == 4} {\n"
    "    set a 5\n"
    "  } elseif {$a == 5} {\n"
    "    set a 6\n"
    "  } elseif {$a == 6} {\n"
    "    set a 7\n"
    "  } else {\n"
    "    set a 0\n"
    "    incr n\n"
    "  }\n"
    "}\n",
};

// Three loops of 255 rounds each, one inside the other, made of the tape
// commands; the middle one counts its rounds in a variable. About 50
// million commands.
const TWorkload kTape{
    "TapeLoops",
    L"var x = 0\n"
    L"isub\n"
    L"icmp\n"
    L"  ishr\n"
    L"  isub\n"
    L"  icmp\n"
    L"    incr x\n"
    L"    ishr\n"
    L"    isub\n"
    L"    icmp\n"
    L"      isub\n"
    L"    iloop\n"
    L"    ishl\n"
    L"    isub\n"
    L"  iloop\n"
    L"  ishl\n"
    L"  isub\n"
    L"iloop\n",
    "local tape = {}\n"
    "for i = 1, 30000 do tape[i] = 0 end\n"
    "local p, x = 1, 0\n"
    "tape[p] = (tape[p] - 1) % 256\n"
    "while tape[p] ~= 0 do\n"
    "  p = p + 1\n"
    "  tape[p] = (tape[p] - 1) % 256\n"
    "  while tape[p] ~= 0 do\n"
    "    x = x + 1\n"
    "    p = p + 1\n"
    "    tape[p] = (tape[p] - 1) % 256\n"
    "    while tape[p] ~= 0 do\n"
    "      tape[p] = (tape[p] - 1) % 256\n"
    "    end\n"
    "    p = p - 1\n"
    "    tape[p] = (tape[p] - 1) % 256\n"
    "  end\n"
    "  p = p - 1\n"
    "  tape[p] = (tape[p] - 1) % 256\n"
    "end\n",
    nullptr,
};

const TWorkload* const kWorkloads[] = {&kCounting, &kCalls, &kBranches, &kChain, &kTape};

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
    script.SetStepBudget(0); // as script_run runs it
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
    CScriptBase* previous = nullptr;
    for (auto _ : state) {
        // The previous script goes inside the timing, as Lua's collection of
        // its previous chunk does.
        delete previous;
        state.PauseTiming();
        const size_t before = HeapInUse();
        state.ResumeTiming();
        CScriptBase* script = new CScriptBase;
        script->LoadText(text, L"generated.u");
        script->Parse();
        state.PauseTiming();
        bytes = HeapInUse() - before;
        state.ResumeTiming();
        previous = script;
    }
    delete previous;
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

// The workload as a procedure, and the procedure it calls.
std::string TclProcedures(const TWorkload& workload) {
    return std::string("proc Check {n} {\n  if {$n == 7} {\n    return 1\n  }\n  return 0\n}\n") +
           "proc Workload {} {\n" + workload.tcl + "}\n";
}

void RunTcl(benchmark::State& state, const TWorkload& workload) {
    Tcl_Interp* tcl = Tcl_CreateInterp();
    if (Tcl_Eval(tcl, TclProcedures(workload).c_str()) != TCL_OK) {
        state.SkipWithError(Tcl_GetStringResult(tcl));
    }
    for (auto _ : state) {
        Tcl_Eval(tcl, "Workload");
    }
    Tcl_DeleteInterp(tcl);
}

// --- Whole processes -------------------------------------------------------------------

// The CPU time (user and system) of one run of a program, output discarded;
// a negative value when it could not run or failed.
double ProcessSeconds(const std::vector<std::string>& command) {
    const pid_t pid = fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& part : command) {
            argv.push_back(const_cast<char*>(part.c_str()));
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const size_t half = values.size() / 2;
    return values.size() % 2 == 1 ? values[half] : (values[half - 1] + values[half]) / 2;
}

// The median CPU time of the runs in milliseconds; 0 when a run failed.
double ProcessMilliseconds(const std::vector<std::string>& command) {
    std::vector<double> runs;
    for (int i = 0; i < bench::kRepetitions; ++i) {
        const double seconds = ProcessSeconds(command);
        if (seconds < 0) {
            return 0;
        }
        runs.push_back(seconds * 1e3);
    }
    return Median(runs);
}

// The workload files of the whole-process runs, removed with it.
class CWorkFolder {
public:
    CWorkFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "script_bench_XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~CWorkFolder() {
        if (!m_path.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    CWorkFolder(const CWorkFolder&) = delete;
    CWorkFolder& operator=(const CWorkFolder&) = delete;
    bool Valid() const { return !m_path.empty(); }
    // Writes the file and gives its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = (m_path / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

private:
    std::filesystem::path m_path;
};

// Whole-process times of one workload, in milliseconds (0: not run).
struct TProcessTimes {
    double ours = 0;
    double lua = 0;
    double tcl = 0;
};

TProcessTimes TimeProcesses(const CWorkFolder& folder, const std::string& name, const std::wstring& ours,
                            const std::string& lua, const std::string& tcl) {
    TProcessTimes times;
    times.ours = ProcessMilliseconds({MORVHELD_SCRIPT_RUN, folder.Write(name + ".u", platform::ToUtf8(ours))});
    times.lua = ProcessMilliseconds({"lua5.4", folder.Write(name + ".lua", lua)});
    if (!tcl.empty()) {
        times.tcl = ProcessMilliseconds({"tclsh8.6", folder.Write(name + ".tcl", tcl)});
    }
    return times;
}

// --- Registration and the table -------------------------------------------------------------

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
    if (workload.tcl != nullptr) {
        benchmark::RegisterBenchmark((std::string(workload.name) + kTcl).c_str(), [&workload](benchmark::State& state) {
            RunTcl(state, workload);
        })->Unit(benchmark::kMillisecond);
    }
}

// Keeps each benchmark's median time (and bytes) for the table: the median
// of its repetitions, or its one run.
class CMedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || (run.run_type != Run::RT_Iteration && !median)) {
                continue;
            }
            TResult& result = results[run.run_name.function_name];
            if (median || !result.median) {
                result.median = median;
                result.milliseconds = run.GetAdjustedRealTime();
                const auto bytes = run.counters.find("bytes");
                if (bytes != run.counters.end()) {
                    result.bytes = bytes->second.value;
                }
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Milliseconds(const std::string& name) const {
        const auto it = results.find(name);
        return it == results.end() ? 0 : it->second.milliseconds;
    }
    double Bytes(const std::string& name) const {
        const auto it = results.find(name);
        return it == results.end() ? 0 : it->second.bytes;
    }

private:
    struct TResult {
        bool median = false;
        double milliseconds = 0;
        double bytes = 0;
    };
    std::map<std::string, TResult> results;
};

// The table's numbers: empty where a side did not run.
std::string Cell(double value, const char* format = "%.1f") {
    if (value <= 0) {
        return "";
    }
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), format, value);
    return buffer;
}

std::string Ratio(double ours, double theirs) { return ours > 0 && theirs > 0 ? Cell(ours / theirs, "%.2f") : ""; }

// One row; the worst whole-process ratio to Lua so far is kept for the
// verdict.
void PrintRow(const std::string& label, double ours, double lua, double tcl, const TProcessTimes& process,
              double& worst) {
    std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", label.c_str(), Cell(ours).c_str(),
                Cell(lua).c_str(), Cell(tcl).c_str(), Ratio(ours, lua).c_str(), Cell(process.ours).c_str(),
                Cell(process.lua).c_str(), Cell(process.tcl).c_str(), Ratio(process.ours, process.lua).c_str());
    const double ratio = process.ours / process.lua;
    if (ratio > 0 && ratio < 1e9 && ratio > worst) {
        worst = ratio;
    }
}

const char* Label(const std::string& name) {
    static const std::map<std::string, const char*> labels = {
        {"CountingLoop", "counting loop, 10 million rounds"},
        {"UserFunctionCalls", "user calls with a parameter and a result, 1 million"},
        {"BranchyLoop", "loop with an if/else of several comparisons, 10 million rounds"},
        {"IfElseChain", "loop with a chain of eight if/else branches, 10 million rounds"},
        {"TapeLoops", "three nested loops of tape commands, 255 rounds each (50 million commands)"},
        {"Parse50000Lines", "parsing a generated 50,000-line script"},
    };
    const auto it = labels.find(name);
    return it == labels.end() ? name.c_str() : it->second;
}

} // namespace

int main(int argc, char** argv) {
    for (const TWorkload* workload : kWorkloads) {
        Register(*workload);
    }
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

    CMedianReporter reporter;
    if (!bench::RunBenchmarks(argc, argv, reporter)) {
        return 1;
    }

    // The same workloads as whole processes.
    const CWorkFolder folder;
    if (!folder.Valid()) {
        std::printf("No folder for the workload files: whole processes not timed.\n");
    }
    std::map<std::string, TProcessTimes> processes;
    if (folder.Valid()) {
        for (const TWorkload* workload : kWorkloads) {
            const std::string tcl = workload->tcl != nullptr ? TclProcedures(*workload) + "Workload\n" : "";
            processes[workload->name] = TimeProcesses(folder, workload->name, workload->ours, workload->lua, tcl);
        }
        const std::string lua = folder.Write("Parse50000Lines.lua", GeneratedLua());
        TProcessTimes& times = processes["Parse50000Lines"];
        times.ours = ProcessMilliseconds(
            {MORVHELD_SCRIPT_RUN, "-p", folder.Write("Parse50000Lines.u", platform::ToUtf8(GeneratedScript()))});
        times.lua = ProcessMilliseconds({"lua5.4", "-e", "assert(loadfile('" + lua + "'))"});
        processes["start-up"] = TimeProcesses(folder, "Empty", L"", "", " ");
    }

    std::printf(
        "\nMedians of %d runs in milliseconds on %s (figures vary by machine). In process: this\n"
        "program's own run (Lua linked as lua5.4 is); whole process: script_run, lua5.4 and tclsh8.6\n"
        "on the workload as a file, CPU time with start-up and clean-up.\n\n",
        bench::kRepetitions, bench::MachineLine().c_str());
    std::printf(
        "| workload | ours | Lua 5.4 | Tcl 8.6 | ours / Lua | ours, process | Lua 5.4, process | "
        "Tcl 8.6, process | ours / Lua, process |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    double worst = 0;
    for (const TWorkload* workload : kWorkloads) {
        const std::string name = workload->name;
        PrintRow(Label(name), reporter.Milliseconds(name + kOurs), reporter.Milliseconds(name + kLua),
                 reporter.Milliseconds(name + kTcl), processes[name], worst);
    }
    PrintRow(Label("Parse50000Lines"), reporter.Milliseconds(parse),
             reporter.Milliseconds(std::string("Parse50000Lines") + kLua), 0, processes["Parse50000Lines"], worst);
    const TProcessTimes& startUp = processes["start-up"];
    std::printf("| start-up and end of an empty script | | | | | %s | %s | %s | |\n",
                Cell(startUp.ours, "%.2f").c_str(), Cell(startUp.lua, "%.2f").c_str(),
                Cell(startUp.tcl, "%.2f").c_str());

    // The Lua linked here runs as the lua5.4 program does: its times beside
    // the program's, the program's start-up and end taken off.
    std::printf("\nLua in process / lua5.4 as a process less its start-up:");
    for (const TWorkload* workload : kWorkloads) {
        const double program = processes[workload->name].lua - startUp.lua;
        std::printf(" %s", Ratio(reporter.Milliseconds(std::string(workload->name) + kLua), program).c_str());
    }
    std::printf("\n");
    std::printf("\nEvery whole-process ratio to Lua at most 1.2: %s (the largest %.2f)\n",
                worst <= 1.2 ? "met" : "NOT met", worst);
    const double parsed = reporter.Bytes(parse);
    const double compiled = reporter.Bytes(std::string("Parse50000Lines") + kLua);
    if (parsed > 0) {
        std::printf("Parsed 50,000-line script: ours %.1f MB (target under 4 MB: %s), Lua's compiled chunk %.1f MB\n",
                    parsed / 1e6, parsed < 4e6 ? "met" : "NOT met", compiled / 1e6);
    }
    const double deep = reporter.Milliseconds(nested);
    if (deep > 0) {
        std::printf("Parsing 40,000 nested blocks: %.1f ms (target under 100 ms: %s)\n", deep,
                    deep < 100 ? "met" : "NOT met");
    }
    return 0;
}
