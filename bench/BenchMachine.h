#pragma once
// What every benchmark prints beside its figures: the machine it ran on (the
// figures vary from one machine to another), and its default of several
// repetitions whose median is the figure.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace bench {

// The processor's model name as the kernel gives it; "unknown" elsewhere.
inline std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0) {
            const size_t colon = line.find(':');
            if (colon != std::string::npos) {
                const size_t start = line.find_first_not_of(' ', colon + 1);
                return start == std::string::npos ? std::string() : line.substr(start);
            }
        }
    }
    return "unknown";
}

inline std::string MachineLine() {
    return CpuModel() + ", " + std::to_string(std::thread::hardware_concurrency()) + " cores";
}

inline constexpr int kRepetitions = 5;

// Runs the benchmarks given on the command line, then prints each one's
// median with the machine (bench/BenchMain.cpp).
int MedianMain(int argc, char** argv);

// Adds five repetitions, of which the console shows only the aggregates
// (mean, median, spread), unless the caller chose repetitions.
inline void AddDefaultRepetitions(std::vector<char*>& arguments) {
    static std::string repetitions = "--benchmark_repetitions=" + std::to_string(kRepetitions);
    static std::string aggregates = "--benchmark_display_aggregates_only=true";
    if (std::none_of(arguments.begin(), arguments.end(),
                     [](const char* a) { return std::strstr(a, "repetitions") != nullptr; })) {
        arguments.push_back(repetitions.data());
        arguments.push_back(aggregates.data());
    }
}

// Runs the benchmarks the arguments choose, five repetitions of each unless
// they say otherwise, reporting to reporter, with the machine named in the
// run's header. False when an argument is not known.
inline bool RunBenchmarks(int argc, char** argv, benchmark::BenchmarkReporter& reporter) {
    std::vector<char*> arguments(argv, argv + argc);
    AddDefaultRepetitions(arguments);
    argc = static_cast<int>(arguments.size());
    benchmark::AddCustomContext("machine", MachineLine());
    benchmark::Initialize(&argc, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(argc, arguments.data())) {
        return false;
    }
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return true;
}

} // namespace bench
