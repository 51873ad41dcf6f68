// Cost of the screen wall's frame: 16 screens each decoding a new frame of
// a 256 x 200 animation (the largest a slot holds) into the atlas, spread
// over 1 to 8 decode workers as the wall spreads them, then the upload of
// the whole 4096 x 200 atlas into a texture.
//   build-*/bench/bench_screen_wall [path of an animated .bpg]
// The default file is the reference encoder's anim420.bpg of the shared
// test data.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchGL.h"
#include "production/DecodeWorker.h"
#include "production/fxPinvaleScreens.h"
#include "application/Application.h"

namespace {

std::string g_bpgPath = VELMORA_BENCH_BPG;

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
  }
  return bytes;
}

// Sixteen open screens over one atlas.
struct Wall {
  std::vector<uint8_t> atlas = std::vector<uint8_t>(kAtlasBytes);
  ScreenEntry screens[kScreenCount];
  bool Open() {
    const std::vector<uint8_t> bytes = ReadFile(g_bpgPath);
    for (int i = 0; i < kScreenCount; ++i) {
      screens[i].m_bpg = g_bpgPath;
      screens[i].m_fileBytes = bytes;
      if (!screens[i].Open(atlas.data(), i)) return false;
    }
    return true;
  }
};

// One wall frame where every screen shows its next picture: the step that
// prepares a frame and copies it, as the wall queues them (screen k on
// worker k mod workers).
void BM_WallDecode(benchmark::State& state) {
  const int workers = int(state.range(0));
  auto wall = std::make_unique<Wall>();
  if (!wall->Open()) {
    state.SkipWithError(("cannot decode " + g_bpgPath).c_str());
    return;
  }
  StartDecodeWorkers();
  for (auto _ : state) {
    for (int i = 0; i < kScreenCount; ++i) {
      ScreenEntry& s = wall->screens[i];
      s.m_restart = true;
      GetDecodeWorker(i % workers).QueueFrames(&s, 1);
    }
    WaitDecodeWorkersIdle();
  }
  StopDecodeWorkers();
  state.counters["screens"] = kScreenCount;
  state.counters["ms_per_wall_frame"] =
      benchmark::Counter(double(state.iterations()) / 1000.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WallDecode)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->UseRealTime()->Unit(benchmark::kMillisecond);

// The upload of one frame: the whole atlas, tightly packed, into an RGBA8
// texture of its size (finished with glFinish so the copy is counted).
void BM_AtlasUpload(benchmark::State& state) {
  if (!GLContext()) {
    state.SkipWithError("no GL context");
    return;
  }
  std::vector<uint8_t> atlas(kAtlasBytes, 0x5A);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kAtlasWidth, kAtlasHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  for (auto _ : state) {
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kAtlasWidth, kAtlasHeight, GL_RGBA, GL_UNSIGNED_BYTE, atlas.data());
    glFinish();
  }
  glDeleteTextures(1, &texture);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kAtlasBytes));
}
BENCHMARK(BM_AtlasUpload)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  ConnectEngineLayers();
  benchmark::Initialize(&argc, argv);
  if (argc > 1) g_bpgPath = argv[1];
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
