// Frame cost of the whole sample production: the packed sequence loaded as
// the player loads it and played at fixed 1/60 s steps in a hidden window,
// one benchmark iteration per frame, 3840 iterations = the whole 64 s once.
// Each frame is the player's frame: start, sequence update (every effect
// draws), presentation, swap, then glFinish so the software rasteriser's
// work is inside the measured time. The counters split the mean by scene
// (16 s each: dawn, depths, rings, night).
//
// One hidden window serves every size: GL objects that the engine keeps for
// the whole process (the shared rectangle array, the built-in programs)
// belong to the first context and would not draw in a second one.
//
// Run from a build directory, where the pack lies:
//   cd build-prod && bench/bench_production_frame
#include <benchmark/benchmark.h>

#include <glad/gl.h>

#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdlib>

#include "Loader/AssetPath.h"
#include "application/Application.h"
#include "effects/fxBase.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/TextureImage.h"
#include "sequence/ClassRegistry.h"
#include "sequence/rvSequence.h"

namespace {

constexpr float kStep = 1.0f / 60.0f;
constexpr int kProductionFrames = 64 * 60;
constexpr int kScenes = 4;
const char* const kSceneNames[kScenes] = {"dawn_ms", "depths_ms", "rings_ms", "night_ms"};

GLFWwindow* OpenHiddenWindow(int width, int height) {
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 5);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  glfwWindowHint(GLFW_DEPTH_BITS, 24);
  glfwWindowHint(GLFW_STENCIL_BITS, 8);
  GLFWwindow* window = glfwCreateWindow(width, height, "production_frame", nullptr, nullptr);
  if (!window) return nullptr;
  glfwMakeContextCurrent(window);
  if (!gladLoadGL(glfwGetProcAddress)) {
    glfwDestroyWindow(window);
    return nullptr;
  }
  glfwSwapInterval(0);
  return window;
}

// From the start of the range, every effect prepared, as the player starts.
void Rewind(rvSequence& sequence) {
  sequence.m_time = 0.0f;
  sequence.m_playing = true;
  for (fxBase* fx : sequence.m_items) fx->SetState(StatePrepared);
}

GLFWwindow* s_window = nullptr;  // as large as the largest size measured

void BM_ProductionFrame(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  GLFWwindow* window = s_window;
  if (!window) {
    state.SkipWithError("no OpenGL 4.5 context (is DISPLAY set?)");
    return;
  }
  Application& app = Application::Get();
  app.m_aspect = 0.0f;
  app.m_windowRect = {0, 0, width, height};
  app.UpdateViewport();
  g_defaultRenderTarget.Create("Default", width, height, kDefaultTargetFlags, kDefaultFramebufferFlags);
  BindRenderTarget(&g_defaultRenderTarget, true);

  GetClassRegistry();
  rvSequence sequence(1);
  if (!sequence.LoadSequence("seq/_DemoFull_.seq", true) || sequence.m_frameMax <= 0) {
    state.SkipWithError("no production: run from the build directory that holds Velmora-Pinvale.sts");
  } else {
    Rewind(sequence);
    double sceneSeconds[kScenes] = {0.0, 0.0, 0.0, 0.0};
    int sceneFrames[kScenes] = {0, 0, 0, 0};
    int frame = 0;
    for (auto _ : state) {
      const auto start = std::chrono::steady_clock::now();
      BeginFrame();
      sequence.Update(kStep);
      PresentFrame(kStep, false, 0);
      glfwSwapBuffers(window);
      glFinish();
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const int scene = std::min(frame * kScenes / kProductionFrames, kScenes - 1);
      sceneSeconds[scene] += seconds;
      ++sceneFrames[scene];
      if (++frame >= sequence.m_frameMax) {
        frame = 0;
        Rewind(sequence);
      }
    }
    for (int i = 0; i < kScenes; ++i)
      if (sceneFrames[i] > 0) state.counters[kSceneNames[i]] = sceneSeconds[i] * 1000.0 / sceneFrames[i];
  }
  sequence.Clear();
  TextureImage::ReleaseAll();
  g_pCurrentRenderTarget = nullptr;
  g_pCurrentVectorDisplay = nullptr;
  g_defaultRenderTarget.Destroy(true);
  ReleaseFramePresentation();
  ResetFramebufferPool();
  ReleaseFramebufferPool();
}

}  // namespace

BENCHMARK(BM_ProductionFrame)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Iterations(kProductionFrames)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
  // The soundtrack plays into no device; the data pack lies beside us.
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  SetDataDirectory("Data");
  if (!glfwInit()) return 1;
  s_window = OpenHiddenWindow(1920, 1080);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (s_window) glfwDestroyWindow(s_window);
  glfwTerminate();
  return 0;
}
