// The particle emitter with 10,000 live particles, in milliseconds per frame:
// the update alone (step every particle and write its streak into the line
// array, on the CPU), and the update plus the vector display's flush of
// those 10,000 streaks at 640x480 through the production's default camera
// (upload, glow, composite). Runs under a
// hidden GLFW window with a 4.5 core context:
//   DISPLAY=:N build/bench/bench_particle_emitter
#include <benchmark/benchmark.h>

#include <memory>

#include "BenchGL.h"
#include "effects/images/fxParticleEmitter.h"
#include "BenchMain.h"

namespace {

constexpr int kLive = 10000;
constexpr float kFrame = 1.0f / 60.0f;

// An emitter holding kLive particles that live far longer than the run, so
// every frame steps and draws the same population and emits nothing.
std::unique_ptr<fxParticleEmitter> FullEmitter() {
  auto* fx = static_cast<fxParticleEmitter*>(fxParticleEmitter::Create(fxParticleEmitter::GetClassDesc()));
  fx->m_fadeIn = fx->m_fadeOut = 0.0f;
  fx->m_particleMax = kLive;
  fx->m_initialCount = kLive;
  fx->m_lifeTime = glm::vec2(1000.0f, 1000.0f);
  fx->m_accelRadial = glm::vec2(-2.0f, 2.0f);
  fx->m_accelTangential = glm::vec2(-3.0f, 3.0f);
  fx->m_accelFriction = 0.1f;
  fx->m_planeRebound = glm::vec4(0.0f, 1.0f, 0.0f, -30.0f);
  fx->m_accelRebound = 0.5f;
  fx->m_segmentLength = 0.5f;
  fx->Init();
  fx->Start();
  fx->m_appliedDelta = kFrame;
  return std::unique_ptr<fxParticleEmitter>(fx);
}

void BM_EmitterUpdate(benchmark::State& state) {
  std::unique_ptr<fxParticleEmitter> fx = FullEmitter();
  VectorGeometry geometry;
  for (auto _ : state) {
    fx->m_localTime += kFrame;
    fx->Simulate(kFrame);
    fx->DrawStreaks(geometry);
    benchmark::DoNotOptimize(geometry.m_lines.data());
    geometry.ClearGeometry();
  }
  state.counters["particles"] = double(fx->m_particles.size());
}
BENCHMARK(BM_EmitterUpdate)->Unit(benchmark::kMillisecond);

void BM_EmitterUpdateAndFlush(benchmark::State& state) {
  const int width = 640, height = 480;
  BenchScene scene;
  if (!scene.Open(state, width, height)) return;
  // The production's camera: 100 units back with a 60 degree field, so the
  // streaks are a few pixels long as on screen.
  RenderTarget* target = g_pCurrentRenderTarget;
  target->m_width = width;
  target->m_height = height;
  target->UpdateMatrices(glm::mat4(1.0f));
  vector_display* display = scene.Display();
  display->m_settings.decaySteps = 1.0f;
  std::unique_ptr<fxParticleEmitter> fx = FullEmitter();
  int frame = 0;
  for (auto _ : state) {
    glBindFramebuffer(GL_FRAMEBUFFER, scene.Fbo());
    glViewport(0, 0, width, height);
    g_nVectorHistoryIndex = frame++ % VectorHistory::kSlots;
    fx->m_localTime += kFrame;
    fx->Update();  // draws into the current display
    display->Flush();
    glFinish();  // count the GPU's work, not only its queueing
  }
  state.counters["particles"] = double(fx->m_particles.size());
  fx.reset();
  scene.Close();
}
BENCHMARK(BM_EmitterUpdateAndFlush)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

VELMORA_BENCHMARK_MAIN()
