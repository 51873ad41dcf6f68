// Frame cost of the timeline: N running effects, each with four key-frame
// drivers (eight spline keys each), advanced by one 60 Hz step per iteration
// through a looping 15 s range.
// The effects are demo-wide parameter sets driving their four colour
// channels, so the cost measured is the timeline's own: the window walk,
// the clock, the driver evaluation and the attribute writes.
//   build-*/bench/bench_effects_frame
#include <benchmark/benchmark.h>

#include "sequence/fxBase.h"
#include "sequence/ClassRegistry.h"
#include "sequence/Driver.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/rvSequence.h"
#include "BenchMain.h"

namespace {

Json::Value DrivenItem(int index) {
  Json::Value item;
  item["Class"] = "fxDemoGlobalParams";
  Json::Value& props = item["Properties"];
  props["Name"] = "params" + std::to_string(index);
  props["Start"] = 0;
  props["End"] = 60 * 60 * 60 * 24;  // a day: never leaves its window while measured
  for (const char* channel : {"MonochromeColor.r", "MonochromeColor.g", "MonochromeColor.b", "MonochromeColor.a"}) {
    Json::Value driver;
    driver["_eType"] = DriverKeyFrame;
    driver["_attribName"] = channel;
    driver["_eInterpolation"] = InterpSpline;
    for (int k = 0; k < 8; ++k) {
      Json::Value key;
      key["x"] = k * 2.0;
      key["y"] = (k * 37 + index) % 10 / 10.0;
      key["z"] = 0.0;
      driver["_aKeys"].append(key);
    }
    props["_apAttribDrivers"].append(driver);
  }
  return item;
}

void BM_EffectsFrame(benchmark::State& state) {
  GetClassRegistry();
  Json::Value root;
  for (int i = 0; i < state.range(0); ++i) root["Items"].append(DrivenItem(i));
  rvSequence sequence(1);
  sequence.LoadItems(root, true);
  // The keys span 14 s; a 15 s loop keeps every frame between keys (the
  // restart once per loop is part of the measured cost).
  sequence.m_loop = true;
  sequence.m_loopStart = 0;
  sequence.m_loopEnd = 15 * 60;
  sequence.m_playing = true;
  for (fxBase* fx : sequence.m_items) fx->SetState(StatePrepared);

  for (auto _ : state) {
    sequence.Update(1.0f / 60.0f);
    benchmark::ClobberMemory();
  }
  state.counters["effects"] = static_cast<double>(sequence.m_items.size());
  state.counters["drivers"] = static_cast<double>(sequence.m_items.size() * 4);
  sequence.Clear();
}

}  // namespace

BENCHMARK(BM_EffectsFrame)->Arg(1000)->Arg(100)->Unit(benchmark::kMicrosecond);

VELMORA_BENCHMARK_MAIN()
