// Evaluations per second of driver formulas, compiled once and run with a
// moving x as a driver does every frame, beside the same formulas written as
// plain C++ (the limit an evaluator can approach). Run by hand:
//   build/bench/bench_expression
// and compare each EvaluateFormula/<name> with PlainFormula/<name>; on a
// shared machine whose speed drifts, take the ratios from
//   taskset -c 7 tools/expression_ratios.py
// which interleaves the runs. Both loops are bound by their own x += 0.001
// (about 3.6 ns on the development machine): "variable" shows that floor.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

#include "sequence/Expression.h"
#include "BenchMain.h"

namespace {

// Each formula as plain C++, computing the same floats as the text.
float Variable(float x, float) { return x; }
float SineWave(float x, float) { return std::sin(x * 3.0f) * 0.5f + 0.5f; }
float Polynomial(float x, float a) { return 2.0f * std::pow(x, 2.0f) - 3.0f * x + a; }
float Branch(float x, float a) {
  return std::fmod(x, 2.0f) < 1.0f ? std::min(std::max(x * a, 0.0f), 1.0f) : std::max(std::max(a, 1.0f - x), 0.0f);
}

float SinCos(float x, float a) { return a * std::sin(x) + std::cos(x * a) * x; }
// A small loop over user variables (s and i are the driver's own).
float Loop(float x, float a) {
  float s = 0.0f;
  for (float i = 0.0f; i < 4.0f; i += 1.0f) s += a * i;
  return s + x;
}

const char kVariable[] = "x";
const char kSineWave[] = "sin(x*3)*0.5+0.5";
const char kPolynomial[] = "2x^2 - 3x + a";
const char kBranch[] = "x % 2 < 1 ? clamp(0, x*a, 1) : max(a, 1 - x, 0)";
const char kSinCos[] = "a*sin(x)+cos(x*a)*x";
const char kLoop[] = "s := 0; for (i := 0; i < 4; i += 1) { s += a * i; }; s + x";

void EvaluateFormula(benchmark::State& state, const char* formula) {
  float x = 0.0f;
  float a = 0.25f;
  float s = 0.0f;
  float i = 0.0f;
  ExprSymbolTable table;
  table.AddVariable("x", x);
  table.AddVariable("a", a);
  table.AddVariable("s", s);
  table.AddVariable("i", i);
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

// Stores v and reads it back, as the evaluator reads its bound variables
// through their addresses. (DoNotOptimize lets the compiler keep a float in
// a register, and it does: x then never went through memory.)
inline void ThroughMemory(float& v) { asm volatile("" : "+m"(v)); }

// The function is a template argument so that it is inlined, as code
// written in place would be.
template <float (*Plain)(float, float)>
void PlainFormula(benchmark::State& state) {
  float x = 0.0f;
  float a = 0.25f;
  for (auto _ : state) {
    x += 0.001f;
    ThroughMemory(x);
    ThroughMemory(a);
    benchmark::DoNotOptimize(Plain(x, a));
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
    benchmark::DoNotOptimize(e.Compile(kSineWave, table));
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

// The formula "x": what one evaluation costs beyond the loop around it.
BENCHMARK_CAPTURE(EvaluateFormula, variable, kVariable);
BENCHMARK_TEMPLATE(PlainFormula, Variable)->Name("PlainFormula/variable");
BENCHMARK_CAPTURE(EvaluateFormula, sine_wave, kSineWave);
BENCHMARK_TEMPLATE(PlainFormula, SineWave)->Name("PlainFormula/sine_wave");
BENCHMARK_CAPTURE(EvaluateFormula, polynomial, kPolynomial);
BENCHMARK_TEMPLATE(PlainFormula, Polynomial)->Name("PlainFormula/polynomial");
BENCHMARK_CAPTURE(EvaluateFormula, branch, kBranch);
BENCHMARK_TEMPLATE(PlainFormula, Branch)->Name("PlainFormula/branch");
BENCHMARK_CAPTURE(EvaluateFormula, sin_cos, kSinCos);
BENCHMARK_TEMPLATE(PlainFormula, SinCos)->Name("PlainFormula/sin_cos");
BENCHMARK_CAPTURE(EvaluateFormula, loop, kLoop);
BENCHMARK_TEMPLATE(PlainFormula, Loop)->Name("PlainFormula/loop");
BENCHMARK(CompileFormula);

VELMORA_BENCHMARK_MAIN()
