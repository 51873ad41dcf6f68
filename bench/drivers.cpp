// Driver evaluations per second, one driver kind per benchmark, with a time
// that moves as an effect's clock does. Run by hand:
//   build/bench/bench_drivers
#include <benchmark/benchmark.h>

#include <memory>

#include "core/ClassDesc.h"
#include "sequence/fxBase.h"
#include "sequence/DriverExpression.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/DriverProcedural.h"
#include "BenchMain.h"

namespace {

class BenchFx : public fxBase {
 public:
  static ClassDesc* Desc() {
    static ClassDesc* desc = [] {
      ClassDesc* d = new ClassDesc("BenchFx", nullptr, nullptr);
      d->AddAttribute(AttrFloat, "Value", RV_OFFSETOF(BenchFx, value));
      return d;
    }();
    return desc;
  }
  BenchFx() : fxBase(Desc()) {}
  float value = 0.0f;
};

void Run(benchmark::State& state, NoneDriver& driver) {
  float t = 0.0f;
  for (auto _ : state) {
    t += 1.0f / 60.0f;
    if (t > 10.0f) t = 0.0f;
    benchmark::DoNotOptimize(driver.Evaluate(t));
  }
  state.SetItemsProcessed(state.iterations());
}

std::unique_ptr<NoneDriver> Make(BenchFx& fx, DriverType type) {
  return std::unique_ptr<NoneDriver>(CreateDriver(&fx, static_cast<uint8_t>(type), fx.Desc()->FindAttribute("Value")));
}

void KeyFrames(benchmark::State& state) {
  BenchFx fx;
  auto d = Make(fx, DriverKeyFrame);
  auto& keys = static_cast<KeyFrameDriver&>(*d);
  keys._eInterpolation = static_cast<int>(state.range(0));
  for (int i = 0; i < 100; ++i) keys._aKeys.push_back(KeyFrame{i * 0.1f, static_cast<float>(i % 7), 0});
  Run(state, *d);
}

void Sine(benchmark::State& state) {
  BenchFx fx;
  auto d = Make(fx, DriverSinus);
  static_cast<SinusDriver&>(*d)._Count = 4;
  Run(state, *d);
}

void Triangle(benchmark::State& state) {
  BenchFx fx;
  auto d = Make(fx, DriverTriangle);
  Run(state, *d);
}

void Noise(benchmark::State& state) {
  BenchFx fx;
  auto d = Make(fx, DriverNoise);
  Run(state, *d);
}

void ExpressionFormula(benchmark::State& state) {
  BenchFx fx;
  auto d = Make(fx, DriverExpression);
  static_cast<ExpressionDriver&>(*d)._sExpression = "sin(x*3)*0.5+0.5";
  Run(state, *d);
}

void ApplyToAttribute(benchmark::State& state) {
  BenchFx fx;
  auto d = Make(fx, DriverNoise);
  for (auto _ : state) {
    fx.m_localTime += 1.0f / 60.0f;
    d->Apply();
    benchmark::DoNotOptimize(fx.value);
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(KeyFrames)->Arg(InterpLinear)->Arg(InterpSpline)->Arg(InterpEasyInOut);
BENCHMARK(Sine);
BENCHMARK(Triangle);
BENCHMARK(Noise);
BENCHMARK(ExpressionFormula);
BENCHMARK(ApplyToAttribute);

VELMORA_BENCHMARK_MAIN()
