// The entry point of a benchmark that drives the engine without the shell:
// the layers are connected first, as the player's start-up does, then
// Google Benchmark runs what the file registered.
#pragma once
#include <benchmark/benchmark.h>

#include "application/Application.h"

#define VELMORA_BENCHMARK_MAIN()                      \
  int main(int argc, char** argv) {                   \
    ConnectEngineLayers();                            \
    benchmark::Initialize(&argc, argv);               \
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1; \
    benchmark::RunSpecifiedBenchmarks();              \
    benchmark::Shutdown();                            \
    return 0;                                         \
  }
