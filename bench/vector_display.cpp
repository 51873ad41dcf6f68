// Line segments per second through the vector display: appending strips on
// the CPU alone, and appending plus the flush (upload, decay history, glow,
// composite) at 640x480 and 1920x1080, drawing the current frame only or
// with the default ten frames of decay. Runs under a hidden GLFW window with
// a 4.5 core context:  DISPLAY=:N build/bench/bench_vector_display
#include <benchmark/benchmark.h>
#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdio>

#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/VectorDisplay.h"

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

// One hidden window for the whole run (made on first need): opening and
// closing GLFW per benchmark is slow and, on a loaded X server, flaky.
bool GLContext() {
  static bool ready = [] {
    if (!glfwInit()) return false;
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 5);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    GLFWwindow* window = glfwCreateWindow(64, 64, "bench", nullptr, nullptr);
    if (!window) return false;
    glfwMakeContextCurrent(window);
    return gladLoadGL(glfwGetProcAddress) != 0;
  }();
  return ready;
}

// A render target with a vector layer, its set-up display and a colour
// framebuffer to composite into.
class Scene {
 public:
  bool Open(int width, int height) {
    m_color = new Framebuffer();
    m_color->Create("Bench", width, height, 7);
    m_target.m_vectorFramebuffer = new Framebuffer();
    m_target.m_vectorFramebuffer->Create("Bench.vector", width, height, 7);
    g_pCurrentRenderTarget = &m_target;
    vector_display::Create("Bench.vector", float(width), float(height), &m_display);
    g_pCurrentVectorDisplay = m_display;
    m_fbo = m_color->GL()->m_framebuffer;
    return m_display->Setup() == 0;
  }
  void Close() {
    g_pCurrentVectorDisplay = nullptr;
    g_pCurrentRenderTarget = nullptr;
    vector_display::Destroy(m_display);
    if (m_target.m_vectorFramebuffer) Framebuffer::Destroy(m_target.m_vectorFramebuffer);
    if (m_color) Framebuffer::Destroy(m_color);
  }
  vector_display* Display() const { return m_display; }
  GLuint Fbo() const { return m_fbo; }

 private:
  RenderTarget m_target;
  Framebuffer* m_color = nullptr;
  vector_display* m_display = nullptr;
  GLuint m_fbo = 0;
};

void BM_AppendAndFlush(benchmark::State& state) {
  const int width = int(state.range(0)), height = int(state.range(1)), segments = int(state.range(2));
  // Decay steps: how many history frames each flush redraws (10 by default).
  const float steps = float(state.range(3));
  if (!GLContext()) {
    state.SkipWithError("no GL 4.5 context (set DISPLAY)");
    return;
  }
  Scene scene;
  if (!scene.Open(width, height)) {
    state.SkipWithError("the vector display did not set up");
    scene.Close();
    return;
  }
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

}  // namespace

BENCHMARK_MAIN();
