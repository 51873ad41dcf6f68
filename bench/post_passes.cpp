// Cost of each post-processing pass on "Default": one iteration is one pass
// (copy of the target plus the full-target draw), followed by glFinish so
// the software rasteriser's work is inside the measured time. Each pass is
// measured at 640x480 and 1920x1080 with the settings named in its label.
//
// One hidden window serves every size: GL objects that the engine keeps for
// the whole process (the shared rectangle array, the built-in programs)
// belong to the first context and would not draw in a second one.
//
// Run from a build directory, where the pack lies (the noise images):
//   cd build && bench/bench_post_passes
#include <benchmark/benchmark.h>

#include <glad/gl.h>

#include <GLFW/glfw3.h>

#include <cstdlib>
#include <string>

#include "BenchGL.h"
#include "Loader/AssetPath.h"
#include "application/Application.h"
#include "sequence/fxBase.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/TextureImage.h"
#include "sequence/ClassRegistry.h"
#include "sequence/rvSequence.h"

namespace {

struct PassCase {
  const char* label;
  const char* item;  // sequence item of the pass
};

const PassCase kPasses[] = {
    {"grading_defaults", R"({"Class":"fxPostColorGradingAA","Properties":{}})"},
    {"grading_all", R"({"Class":"fxPostColorGradingAA","Properties":{"Apply Color Grading":true,)"
                    R"("Apply Anti-aliasing":true,"Apply Vignetting":true,"Apply Dither":true,"Tonemap Profile":2}})"},
    {"color_basic", R"({"Class":"fxPostColorBasic","Properties":{}})"},
    {"distortion", R"({"Class":"fxPostDistortion","Properties":{"  BumpStart":-0.5}})"},
    {"vhs_defaults", R"({"Class":"fxPostVHS","Properties":{}})"},
    {"vhs_all", R"({"Class":"fxPostVHS","Properties":{">>JumpsV":0.5,">>Monochrome":0.5}})"},
};

GLFWwindow* s_window = nullptr;  // as large as the largest size measured

void BM_PostPass(benchmark::State& state) {
  const PassCase& pass = kPasses[state.range(0)];
  const int width = static_cast<int>(state.range(1));
  const int height = static_cast<int>(state.range(2));
  state.SetLabel(pass.label);
  if (!s_window) {
    state.SkipWithError("no OpenGL 4.5 context (is DISPLAY set?)");
    return;
  }
  g_defaultRenderTarget.Create("Default", width, height, kDefaultTargetFlags, kDefaultFramebufferFlags);
  BindRenderTarget(&g_defaultRenderTarget, true);
  glClearColor(0.3f, 0.5f, 0.7f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);

  rvSequence sequence(1);
  Json::Value item;
  Json::Reader().parse(pass.item, item);
  fxBase* fx = CreateFxFromJson(GetClassRegistry(), item, &sequence);
  if (!fx) {
    state.SkipWithError("the pass's class is not registered");
  } else {
    sequence.AppendItem(fx);
    fx->SetState(StateRunning);
    fx->ExternalUpdate();  // builds the programs and fills the tables
    glFinish();
    for (auto _ : state) {
      fx->ExternalUpdate();
      glFinish();
    }
  }
  sequence.Clear();
  TextureImage::ReleaseAll();
  g_pCurrentRenderTarget = nullptr;
  g_pCurrentVectorDisplay = nullptr;
  g_defaultRenderTarget.Destroy(true);
  ResetFramebufferPool();
  ReleaseFramebufferPool();
}

void PassArguments(benchmark::internal::Benchmark* b) {
  for (int pass = 0; pass < static_cast<int>(sizeof kPasses / sizeof kPasses[0]); ++pass) {
    b->Args({pass, 640, 480});
    b->Args({pass, 1920, 1080});
  }
}

}  // namespace

BENCHMARK(BM_PostPass)->Apply(PassArguments)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

int main(int argc, char** argv) {
  ConnectEngineLayers();
  SetDataDirectory("Data");
  if (!glfwInit()) return 1;
  s_window = OpenHiddenWindow(1920, 1080, "post_passes");
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (s_window) glfwDestroyWindow(s_window);
  glfwTerminate();
  return 0;
}
