// The script interpreter's speed: simple loops, branches, user-function
// calls, and parsing a large script. "per_command" is the time per executed
// command (the interpreter's own count).
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "VEKLib/Format.h"
#include "platform/Console.h"
#include "script/ScriptBase.h"
#include "tests/support/SilentConsole.h"

namespace {

void RunScript(benchmark::State& state, const wchar_t* text) {
    testsupport::CSilentConsole silent;
    platform::SetConsole(&silent);
    std::istringstream input;
    std::wostringstream output;
    CStreamScriptConsole console(input, output);
    CScriptBase script;
    script.SetConsole(&console);
    script.LoadText(text, L"bench.u");
    script.Parse();
    uint64_t commands = 0;
    for (auto _ : state) {
        script.ResetRuntime();
        const uint64_t before = script.GetExecutedCount();
        script.Execute();
        commands += script.GetExecutedCount() - before;
    }
    state.counters["commands"] = benchmark::Counter(static_cast<double>(commands) / state.iterations());
    state.counters["per_command"] =
        benchmark::Counter(static_cast<double>(commands), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    platform::SetConsole(nullptr);
}

void CountingLoop(benchmark::State& state) {
    RunScript(state,
              L"var x = 0\n"
              L"for i = 1 to 10000000 {\n"
              L"  incr x\n"
              L"}\n");
}
BENCHMARK(CountingLoop)->Unit(benchmark::kMillisecond);

void BranchyLoop(benchmark::State& state) {
    RunScript(state,
              L"var a = 0\n"
              L"var b = 0\n"
              L"var c = 0\n"
              L"for i = 1 to 1000000 {\n"
              L"  if (a == 0) {\n"
              L"    incr b\n"
              L"    a = 1\n"
              L"  } else if (a == 1 && b != 0) {\n"
              L"    incr c\n"
              L"    a = 2\n"
              L"  } else {\n"
              L"    a = 0\n"
              L"  }\n"
              L"}\n");
}
BENCHMARK(BranchyLoop)->Unit(benchmark::kMillisecond);

void UserFunctionCalls(benchmark::State& state) {
    RunScript(state,
              L"var x = 0\n"
              L"for i = 1 to 1000000 {\n"
              L"  x = Check(7)\n"
              L"}\n"
              L"function Check(n) {\n"
              L"  if (n == 7) {\n"
              L"    return 1\n"
              L"  }\n"
              L"  return 0\n"
              L"}\n");
}
BENCHMARK(UserFunctionCalls)->Unit(benchmark::kMillisecond);

// 50,000 lines: functions with loops, branches, assignments and calls.
std::wstring GeneratedScript() {
    std::wstring text;
    int lines = 0;
    for (int f = 0; lines < 50000; ++f) {
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
        lines += 20;
    }
    return text;
}

void ParseGeneratedScript(benchmark::State& state) {
    testsupport::CSilentConsole silent;
    platform::SetConsole(&silent);
    const std::wstring text = GeneratedScript();
    for (auto _ : state) {
        CScriptBase script;
        script.LoadText(text, L"generated.u");
        script.Parse();
        benchmark::DoNotOptimize(script.GetParseResults().Commands().data());
    }
    state.counters["lines"] = 50000;
    state.counters["per_line"] =
        benchmark::Counter(50000.0 * state.iterations(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    platform::SetConsole(nullptr);
}
BENCHMARK(ParseGeneratedScript)->Unit(benchmark::kMillisecond);

} // namespace
