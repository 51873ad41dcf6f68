// Import cost of glTF documents shaped the way crafted files attack the
// reader: deep chains of skinned nodes (every global and joint matrix), one
// mesh shared by many nodes, and many nodes looked up by animation channels
// and joints. Parse included; no GL. Run by hand: build-*/bench/bench_gltf_model
//
//   BM_SkinnedChains   four chains of range(0) skinned nodes; items = nodes.
//   BM_SharedMesh      200 primitives on one mesh used by range(0) nodes.
//   BM_AnimatedNodes   range(0) nodes, each an animation channel's target.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "effects/scenes/rvGltfModel.h"
#include "support/HostileInputs.h"
#include "BenchMain.h"

namespace {

void RunLoad(benchmark::State& state, const std::string& document, int64_t items) {
  const std::vector<unsigned char> bytes(document.begin(), document.end());
  for (auto _ : state) {
    rvGltfModel model;
    benchmark::DoNotOptimize(model.LoadFromMemory(bytes, "bench.glb"));
  }
  state.SetItemsProcessed(state.iterations() * items);
}

void BM_SkinnedChains(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0));
  RunLoad(state, hostile::GlbSkinnedChains(4, depth), 4 * depth);
}

void BM_SharedMesh(benchmark::State& state) {
  const int nodes = static_cast<int>(state.range(0));
  RunLoad(state, hostile::GlbSharedMesh(200, nodes), nodes);
}

void BM_AnimatedNodes(benchmark::State& state) {
  const int nodes = static_cast<int>(state.range(0));
  RunLoad(state, hostile::GlbManyAnimatedNodes(nodes), nodes);
}

BENCHMARK(BM_SkinnedChains)->Arg(64)->Arg(255)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SharedMesh)->Arg(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnimatedNodes)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

VELMORA_BENCHMARK_MAIN()
