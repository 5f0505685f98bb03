// The main of the benchmarks without one of their own.
#include "bench/BenchMachine.h"

int main(int argc, char** argv) { return bench::MedianMain(argc, argv); }
