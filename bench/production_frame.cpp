// Frame cost of the whole sample production: the packed sequence loaded as
// the player loads it and played at fixed 1/60 s steps in a hidden window,
// one benchmark iteration per frame, every frame of the production once.
// Each frame is the player's frame: start, sequence update (every effect
// draws), presentation, swap, then glFinish so the software rasteriser's
// work is inside the measured time. The counters give the mean frame by
// scene (the windows of the production's scenes, cut at the middle of their
// cross-fades), and the processor time of all the process's threads per
// frame by scene (<scene>_cpu, ms).
//
// The breakdown printed after each run says where a scene's frame goes: GL
// timestamps taken at the start and end of every profiler block (each
// effect's update under its class name, the vector display's flushes with
// their line, triangle and glow steps, the frame start and the
// presentation) give each block's own time, its nested blocks taken out, in
// milliseconds per frame of the scene. A second table names the items.
// llvmpipe bins a framebuffer's drawing and rasterises it later, and a
// timestamp query object is resolved when its rasteriser reaches it, so it
// would land near the end of a pass: each timestamp is read from the GL
// clock (GL_TIMESTAMP) right after a glFinish. The finishes cost a little;
// VELMORA_BENCH_BREAKDOWN=0 leaves the breakdown out for the plain frame
// times. With the breakdown, each block also shows how often it ran per
// frame, and each scene the GL calls of a frame that make the rasteriser
// work (framebuffer binds, clears, texture binds, draws, blits, flushes,
// program binds).
//
// BM_FrameFixedCost is what every frame pays whatever it shows: the frame
// start, an empty sequence, the presentation of "Default" into the window,
// the swap.
//
// One hidden window serves every size: GL objects that the engine keeps for
// the whole process (the shared rectangle array, the built-in programs)
// belong to the first context and would not draw in a second one.
//
// Run from a build directory, where the pack lies:
//   cd build && bench/bench_production_frame --benchmark_filter=640
// VELMORA_BENCH_FRAMES=960:1920 plays only those frames (a seek to the first)
// instead of all 6480.
//
// Index
//   [SECTION] Scenes
//   [SECTION] Block timing (GL timestamps)
//   [SECTION] Benchmark
#include <benchmark/benchmark.h>

#include <glad/gl.h>

#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchGL.h"
#include "support/GLWorkCount.h"
#include "Loader/AssetPath.h"
#include "application/Application.h"
#include "sequence/fxBase.h"
#include "platform/Profiler.h"
#include "render/RenderTarget.h"
#include "render/TextureImage.h"
#include "sequence/ClassRegistry.h"
#include "sequence/rvSequence.h"

namespace {

constexpr float kStep = 1.0f / 60.0f;
constexpr int kProductionFrames = 108 * 60;

// ---------------------------------------------------------------------------
// [SECTION] Scenes
// ---------------------------------------------------------------------------

struct Scene {
  const char* name;
  int first;  // frames [first, last)
  int last;
};

// The scene windows of demo/Data/seq/_DemoFull_.seq, each cut at the middle
// of the cross-fade it shares with the next.
const Scene kScenes[] = {
    {"dawn", 0, 960},        {"depths", 960, 1920},  {"rings", 1920, 2880}, {"vector", 2880, 3540},
    {"scene3d", 3540, 4200}, {"images", 4200, 4860}, {"wall", 4860, 5520},  {"night", 5520, 6480},
};
constexpr int kSceneCount = sizeof(kScenes) / sizeof(kScenes[0]);

int SceneOf(int frame) {
  for (int i = 0; i < kSceneCount; ++i)
    if (frame < kScenes[i].last) return i;
  return kSceneCount - 1;
}

// ---------------------------------------------------------------------------
// [SECTION] Block timing (GL timestamps)
// ---------------------------------------------------------------------------

// Takes a GL timestamp at the start and the end of every profiler block of
// a frame and, once the frame is finished, adds each block's own time (its
// nested blocks taken out) to its label. The top-level effect blocks of the
// sequence are named after the items they update, in the order the
// sequence runs them.
class GLBlockTimer : public platform::ProfileCapture {
 public:
  // The items the sequence will update this frame, in order.
  void StartFrame(std::vector<const fxBase*> items) {
    m_blocks.clear();
    m_open.clear();
    m_items = std::move(items);
    m_nextItem = 0;
  }

  void BeginBlock(const char* name) override {
    Block b;
    b.name = name;
    b.parent = m_open.empty() ? -1 : m_open.back();
    // An item's update opens with this block at the top of the sequence.
    if (std::strcmp(name, "fxBase::ExternalUpdate") == 0 && m_nextItem < m_items.size() &&
        OpenItemDepth() == 0) {
      b.item = m_items[m_nextItem++];
    }
    b.start = Stamp();
    m_open.push_back(static_cast<int>(m_blocks.size()));
    m_blocks.push_back(b);
  }

  void EndBlock() override {
    if (m_open.empty()) return;
    Block& b = m_blocks[m_open.back()];
    m_open.pop_back();
    b.end = Stamp();
  }

  // Own times into `byName` (label -> ns) and, for the item blocks, their
  // whole time into `byItem`.
  void Collect(std::map<std::string, double>& byName, std::map<std::string, double>& byItem,
               std::map<std::string, int>& calls) const {
    std::vector<double> whole(m_blocks.size(), 0.0);
    for (size_t i = 0; i < m_blocks.size(); ++i)
      whole[i] = m_blocks[i].end > m_blocks[i].start ? static_cast<double>(m_blocks[i].end - m_blocks[i].start) : 0.0;
    std::vector<double> own = whole;
    for (size_t i = 0; i < m_blocks.size(); ++i)
      if (m_blocks[i].parent >= 0) own[m_blocks[i].parent] -= whole[i];
    for (size_t i = 0; i < m_blocks.size(); ++i) {
      byName[m_blocks[i].name] += own[i];
      ++calls[m_blocks[i].name];
      if (const fxBase* fx = m_blocks[i].item) byItem[fx->m_classDesc->m_name + " \"" + fx->m_name + "\""] += whole[i];
    }
  }

 private:
  struct Block {
    const char* name = "";
    int parent = -1;
    const fxBase* item = nullptr;
    GLint64 start = 0, end = 0;
  };

  // The GL clock once everything issued so far is drawn.
  static GLint64 Stamp() {
    glFinish();
    GLint64 now = 0;
    glGetInteger64v(GL_TIMESTAMP, &now);
    return now;
  }

  // Effect updates open around the block being started: a nested sequence
  // runs its own items inside one.
  int OpenItemDepth() const {
    int depth = 0;
    for (int i : m_open) depth += std::strcmp(m_blocks[i].name, "fxBase::ExternalUpdate") == 0;
    return depth;
  }

  std::vector<Block> m_blocks;
  std::vector<int> m_open;
  std::vector<const fxBase*> m_items;
  size_t m_nextItem = 0;
};

// The items a sequence update at `time` will run, in its order.
std::vector<const fxBase*> ItemsRunAt(const rvSequence& sequence, float time) {
  std::vector<const fxBase*> items;
  for (const fxBase* fx : sequence.m_items)
    if (fx->IsInWindow(time) && fx->m_enabled) items.push_back(fx);
  return items;
}

void PrintTable(const char* title, const std::vector<std::map<std::string, double>>& perScene,
                const std::vector<std::map<std::string, int>>& calls, const std::vector<GLWork>& work,
                const std::vector<int>& frames, int width, int height) {
  std::printf("\n%s at %dx%d, ms per frame:\n", title, width, height);
  for (int s = 0; s < kSceneCount; ++s) {
    if (frames[s] == 0) continue;
    std::vector<std::pair<double, std::string>> rows;
    double total = 0.0;
    for (const auto& [label, ns] : perScene[s]) {
      rows.push_back({ns / 1e6 / frames[s], label});
      total += ns / 1e6 / frames[s];
    }
    std::sort(rows.rbegin(), rows.rend());
    std::printf("  %s (%d frames, %.2f ms in blocks)\n", kScenes[s].name, frames[s], total);
    if (!work.empty()) {
      const GLWork& w = work[s];
      std::printf("    GL calls per frame: fb %.1f clear %.1f tex %.1f draw %.1f blit %.1f flush %.1f prog %.1f\n",
                  double(w.framebufferBinds) / frames[s], double(w.clears) / frames[s],
                  double(w.textureBinds) / frames[s], double(w.draws) / frames[s], double(w.blits) / frames[s],
                  double(w.flushes) / frames[s], double(w.programBinds) / frames[s]);
    }
    for (const auto& [ms, label] : rows) {
      if (ms < 0.005) continue;
      const int runs = calls.empty() || !calls[s].count(label) ? 0 : calls[s].at(label);
      if (runs > 0)
        std::printf("    %8.3f  %5.1fx  %s\n", ms, double(runs) / frames[s], label.c_str());
      else
        std::printf("    %8.3f          %s\n", ms, label.c_str());
    }
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Benchmark
// ---------------------------------------------------------------------------

// The frames to play: VELMORA_BENCH_FRAMES="first:last", else all.
void FrameRange(int frameMax, int& first, int& last) {
  first = 0;
  last = frameMax;
  if (const char* range = std::getenv("VELMORA_BENCH_FRAMES")) {
    int a = 0, b = 0;
    if (std::sscanf(range, "%d:%d", &a, &b) == 2 && 0 <= a && a < b) {
      first = std::min(a, frameMax);
      last = std::min(b, frameMax);
    }
  }
}

// From the first frame of the range, every effect prepared, as the player
// starts; a later first frame is a seek, as an editor's scrub gives.
void Rewind(rvSequence& sequence, int firstFrame) {
  sequence.m_time = FrameToSeconds(firstFrame);
  sequence.m_playing = true;
  for (fxBase* fx : sequence.m_items) fx->SetState(StatePrepared);
  if (firstFrame > 0) {
    sequence.m_time -= kStep;
    sequence.m_scrub = true;
  }
}

GLFWwindow* s_window = nullptr;  // as large as the largest size measured

// Processor time of every thread of the process (the rasteriser's
// included): the work of a frame, which on a machine shared with other
// jobs moves far less than the wall-clock time.
double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The player's start for a window of the given size: "Default" made and
// bound. Null, with the benchmark skipped, without a context.
GLFWwindow* OpenFrames(benchmark::State& state, int width, int height) {
  if (!s_window) {
    state.SkipWithError("no OpenGL 4.5 context (is DISPLAY set?)");
    return nullptr;
  }
  Application::Get().StartUnboxed(width, height);
  GetClassRegistry();
  return s_window;
}

// Everything OpenFrames and the frames made, released while the context
// lives, so the next size starts as the player does.
void CloseFrames(rvSequence& sequence) {
  sequence.Clear();
  TextureImage::ReleaseAll();
  ReleaseFrameResources();
}

void BM_ProductionFrame(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0));
  const int height = static_cast<int>(state.range(1));
  GLFWwindow* window = OpenFrames(state, width, height);
  if (!window) return;
  rvSequence sequence(1);
  if (!sequence.LoadSequence("seq/_DemoFull_.seq", true) || sequence.m_frameMax <= 0) {
    state.SkipWithError("no production: run from the build directory that holds Velmora-Pinvale.sts");
  } else {
    int first = 0, last = 0;
    FrameRange(sequence.m_frameMax, first, last);
    Rewind(sequence, first);
    std::vector<double> sceneSeconds(kSceneCount, 0.0), sceneCpuSeconds(kSceneCount, 0.0);
    std::vector<int> sceneFrames(kSceneCount, 0);
    std::vector<std::map<std::string, double>> byName(kSceneCount), byItem(kSceneCount);
    std::vector<std::map<std::string, int>> calls(kSceneCount);
    std::vector<GLWork> work(kSceneCount);
    GLBlockTimer timer;
    const char* breakdown = std::getenv("VELMORA_BENCH_BREAKDOWN");
    const bool timeBlocks = !breakdown || std::strcmp(breakdown, "0") != 0;
    std::unique_ptr<GLWorkCount> count;
    if (timeBlocks) {
      platform::SetProfileCapture(&timer);
      count = std::make_unique<GLWorkCount>();
    }
    int frame = first;
    for (auto _ : state) {
      const double cpuStart = ProcessCpuSeconds();
      const auto start = std::chrono::steady_clock::now();
      timer.StartFrame(ItemsRunAt(sequence, sequence.m_time + kStep));
      BeginFrame();
      sequence.Update(kStep);
      PresentFrame(kStep, false, 0);
      glfwSwapBuffers(window);
      glFinish();
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const int scene = SceneOf(frame);
      sceneSeconds[scene] += seconds;
      sceneCpuSeconds[scene] += ProcessCpuSeconds() - cpuStart;
      ++sceneFrames[scene];
      timer.Collect(byName[scene], byItem[scene], calls[scene]);
      if (count) {
        work[scene] += count->Work();
        count->Reset();
      }
      if (++frame >= last) {
        frame = first;
        Rewind(sequence, first);
      }
    }
    platform::SetProfileCapture(nullptr);
    count.reset();
    for (int i = 0; i < kSceneCount; ++i) {
      if (sceneFrames[i] > 0) {
        state.counters[std::string(kScenes[i].name) + "_ms"] = sceneSeconds[i] * 1000.0 / sceneFrames[i];
        state.counters[std::string(kScenes[i].name) + "_cpu"] = sceneCpuSeconds[i] * 1000.0 / sceneFrames[i];
      }
    }
    if (timeBlocks) {
      PrintTable("Own time of each block (effect classes, flushes, frame steps) and its runs per frame", byName,
                 calls, work, sceneFrames, width, height);
      PrintTable("Whole time of each item's update", byItem, {}, {}, sceneFrames, width, height);
    }
  }
  CloseFrames(sequence);
}

// The frame of a production that shows nothing: what the frame loop costs
// before any effect draws.
void BM_FrameFixedCost(benchmark::State& state) {
  GLFWwindow* window = OpenFrames(state, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  if (!window) return;
  rvSequence sequence(1);
  for (auto _ : state) {
    BeginFrame();
    sequence.Update(kStep);
    PresentFrame(kStep, false, 0);
    glfwSwapBuffers(window);
    glFinish();
  }
  CloseFrames(sequence);
}

}  // namespace

int main(int argc, char** argv) {
  ConnectEngineLayers();
  // The soundtrack plays into no device; the data pack lies beside us.
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  SetDataDirectory("Data");
  if (!glfwInit()) return 1;
  s_window = OpenHiddenWindow(1920, 1080, "production_frame");
  // One iteration per frame played: the whole production, or the range.
  int first = 0, last = 0;
  FrameRange(kProductionFrames, first, last);
  benchmark::RegisterBenchmark("BM_ProductionFrame", BM_ProductionFrame)
      ->Args({640, 480})
      ->Args({1920, 1080})
      ->Iterations(last - first)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("BM_FrameFixedCost", BM_FrameFixedCost)
      ->Args({640, 480})
      ->Args({1920, 1080})
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (s_window) glfwDestroyWindow(s_window);
  glfwTerminate();
  return 0;
}
