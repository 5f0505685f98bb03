// The run of the benchmarks that print Google Benchmark's table alone: five
// repetitions unless asked otherwise, and after the runs each benchmark's
// median with the machine it ran on.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchMachine.h"

namespace {

class CMedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" && !run.error_occurred) {
                medians.push_back(
                    TMedian{run.run_name.str(), run.GetAdjustedRealTime(), run.GetAdjustedCPUTime(), run.time_unit});
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    struct TMedian {
        std::string name;
        double real = 0;
        double cpu = 0;
        benchmark::TimeUnit unit = benchmark::kNanosecond;
    };
    std::vector<TMedian> medians;
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

int bench::MedianMain(int argc, char** argv) {
    CMedianReporter reporter;
    if (!bench::RunBenchmarks(argc, argv, reporter)) {
        return 1;
    }
    if (!reporter.medians.empty()) {
        std::printf("\nMedians of %d runs on %s (figures vary by machine):\n", bench::kRepetitions,
                    bench::MachineLine().c_str());
        std::printf("  %-52s %12s %12s\n", "", "time", "CPU");
        for (const auto& median : reporter.medians) {
            std::printf("  %-52s %9.4g %-2s %9.4g %-2s\n", median.name.c_str(), median.real, UnitName(median.unit),
                        median.cpu, UnitName(median.unit));
        }
    }
    return 0;
}
