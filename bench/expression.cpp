// Evaluations per second of driver formulas, compiled once and run with a
// moving x as a driver does every frame. Run by hand:
//   build/bench/bench_expression
#include <benchmark/benchmark.h>

#include "sequence/Expression.h"

namespace {

void EvaluateFormula(benchmark::State& state, const char* formula) {
  float x = 0.0f;
  float a = 0.25f;
  ExprSymbolTable table;
  table.AddVariable("x", x);
  table.AddVariable("a", a);
  table.AddConstants();
  Expression e;
  if (!e.Compile(formula, table)) {
    state.SkipWithError(e.Error().c_str());
    return;
  }
  for (auto _ : state) {
    x += 0.001f;
    benchmark::DoNotOptimize(e.Value());
  }
  state.SetItemsProcessed(state.iterations());
}

void CompileFormula(benchmark::State& state) {
  float x = 0.0f;
  ExprSymbolTable table;
  table.AddVariable("x", x);
  table.AddConstants();
  for (auto _ : state) {
    Expression e;
    benchmark::DoNotOptimize(e.Compile("sin(x*3)*0.5+0.5", table));
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK_CAPTURE(EvaluateFormula, sine_wave, "sin(x*3)*0.5+0.5");
BENCHMARK_CAPTURE(EvaluateFormula, polynomial, "2x^2 - 3x + a");
BENCHMARK_CAPTURE(EvaluateFormula, branch, "x % 2 < 1 ? clamp(0, x*a, 1) : max(a, 1 - x, 0)");
BENCHMARK(CompileFormula);

BENCHMARK_MAIN();
