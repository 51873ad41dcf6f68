// Line segments per second through the vector display: appending strips on
// the CPU alone, and appending plus the flush (upload, decay history, glow,
// composite) at 640x480 and 1920x1080, drawing the current frame only or
// with the default ten frames of decay; and the glow capture's passes alone.
// Runs under a hidden GLFW window with a 4.5 core context:
//   DISPLAY=:N build/bench/bench_vector_display
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

#include "BenchGL.h"
#include "BenchMain.h"

namespace {

// Short segments spread over the screen, in strips of `perStrip` segments.
void AppendSegments(VectorGeometry& g, int segments, int perStrip) {
  for (int s = 0; s < segments; s += perStrip) {
    const float y = std::fmod(float(s) * 0.0137f, 1.8f) - 0.9f;
    const float x = std::fmod(float(s) * 0.0071f, 1.6f) - 0.8f;
    g.MoveTo(x, y, 0.0f);
    for (int k = 1; k <= perStrip; ++k) g.LineTo(x + 0.01f * float(k), y + 0.005f * float(k & 1), 0.0f);
    g.EndLine();
  }
}

void BM_Append(benchmark::State& state) {
  VectorGeometry g;
  const int segments = int(state.range(0));
  for (auto _ : state) {
    AppendSegments(g, segments, 8);
    benchmark::DoNotOptimize(g.m_lines.data());
    g.ClearGeometry();
  }
  state.SetItemsProcessed(state.iterations() * segments);
}
BENCHMARK(BM_Append)->Arg(10000)->Arg(100000);

void BM_AppendAndFlush(benchmark::State& state) {
  const int width = int(state.range(0)), height = int(state.range(1)), segments = int(state.range(2));
  // Decay steps: how many history frames each flush redraws (10 by default).
  const float steps = float(state.range(3));
  BenchScene scene;
  if (!scene.Open(state, width, height)) return;
  vector_display* d = scene.Display();
  d->m_settings.decaySteps = steps;
  int frame = 0;
  for (auto _ : state) {
    glBindFramebuffer(GL_FRAMEBUFFER, scene.Fbo());
    glViewport(0, 0, width, height);
    g_nVectorHistoryIndex = frame++ % VectorHistory::kSlots;
    AppendSegments(*d, segments, 8);
    d->Flush();
    glFinish();  // count the GPU's work, not only its queueing
  }
  state.SetItemsProcessed(state.iterations() * segments);
  state.counters["segments/s"] =
      benchmark::Counter(double(state.iterations()) * segments, benchmark::Counter::kIsRate);
  scene.Close();
}
BENCHMARK(BM_AppendAndFlush)
    ->ArgNames({"w", "h", "segments", "decay"})
    ->Args({640, 480, 10000, 1})
    ->Args({1920, 1080, 10000, 1})
    ->Args({640, 480, 50000, 1})
    ->Args({1920, 1080, 50000, 1})
    ->Args({640, 480, 50000, 10})
    ->Args({1920, 1080, 50000, 10})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The pass framing alone, as a glow capture uses it: the pass cleared, the
// glow passes at the brightness given in hundredths (1: 8 passes, 1.35: 11)
// and the composite of pass and glow onto the target.
void BM_GlowCapture(benchmark::State& state) {
  const int width = int(state.range(0)), height = int(state.range(1));
  BenchScene scene;
  if (!scene.Open(state, width, height)) return;
  vector_display* d = scene.Display();
  d->m_settings.colorBrightness = float(state.range(2)) / 100.0f;
  for (auto _ : state) {
    glBindFramebuffer(GL_FRAMEBUFFER, scene.Fbo());
    glViewport(0, 0, width, height);
    d->EndPass(d->BeginPass());
    glFinish();
  }
  scene.Close();
}
BENCHMARK(BM_GlowCapture)
    ->ArgNames({"w", "h", "brightness%"})
    ->Args({640, 480, 100})
    ->Args({640, 480, 135})
    ->Args({1920, 1080, 100})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

VELMORA_BENCHMARK_MAIN()
