// The data archive's cost at start-up: opening it (the directory check and
// the password proof) and reading every stored file once, as set-up reads
// the tables, strings and pictures. Deriving each encrypted file's key is
// the bulk of it.
#include <benchmark/benchmark.h>

#include <string>

#include "data/DataArchive.h"
#include "data/ZipArchive.h"

namespace {

void OpenArchive(benchmark::State& state) {
    for (auto _ : state) {
        CZipArchive archive(OpenZipFile(MORVHELD_ARCHIVE));
        benchmark::DoNotOptimize(archive.SetPassword(CDataArchive::GetPassword()));
    }
}
BENCHMARK(OpenArchive)->Unit(benchmark::kMillisecond);

void OpenAndReadEveryFile(benchmark::State& state) {
    uint64_t bytes = 0;
    for (auto _ : state) {
        CZipArchive archive(OpenZipFile(MORVHELD_ARCHIVE));
        archive.SetPassword(CDataArchive::GetPassword());
        for (size_t i = 0; i < archive.GetCount(); ++i) {
            benchmark::DoNotOptimize(archive.Read(i));
            bytes += archive.GetEntry(i).size;
        }
        state.counters["files"] = static_cast<double>(archive.GetCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(OpenAndReadEveryFile)->Unit(benchmark::kMillisecond);

} // namespace
