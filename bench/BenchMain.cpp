// The main of the benchmarks that print Google Benchmark's table alone: five
// repetitions unless asked otherwise, and after the runs each benchmark's
// median with the machine it ran on.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "bench/BenchMachine.h"

namespace {

class CMedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" && !run.error_occurred) {
                medians.emplace_back(run.run_name.str(), std::make_pair(run.GetAdjustedRealTime(), run.time_unit));
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::vector<std::pair<std::string, std::pair<double, benchmark::TimeUnit>>> medians;
};

const char* UnitName(benchmark::TimeUnit unit) {
    switch (unit) {
    case benchmark::kNanosecond:
        return "ns";
    case benchmark::kMicrosecond:
        return "us";
    case benchmark::kMillisecond:
        return "ms";
    default:
        return "s";
    }
}

} // namespace

int main(int argc, char** argv) {
    CMedianReporter reporter;
    if (!bench::RunBenchmarks(argc, argv, reporter)) {
        return 1;
    }
    if (!reporter.medians.empty()) {
        std::printf("\nMedians on %s (figures vary by machine):\n", bench::MachineLine().c_str());
        for (const auto& [name, time] : reporter.medians) {
            std::printf("  %-52s %10.4g %s\n", name.c_str(), time.first, UnitName(time.second));
        }
    }
    return 0;
}
