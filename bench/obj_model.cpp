// Per-frame cost of an OBJ model's outlines: every polygon of every mesh
// copied into the vector display's triangle array as a fan, as fxObjLoader
// does each frame. Run by hand: build-*/bench/bench_obj_model
//
//   BM_QuadGridFans   a grid of quads (two triangles each), the shape of a
//                     wire-frame floor or town; items = triangles.
//   BM_HeptagonFans   seven-sided polygons (five triangles each).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "effects/scenes/rvObjModel.h"
#include "BenchMain.h"

namespace {

// One mesh of `faces` polygons of `corners` corners each.
rvObjModel Model(int faces, uint32_t corners) {
  std::vector<rvObjVertex> vertices;
  std::vector<uint32_t> polygons;
  for (int f = 0; f < faces; ++f) {
    polygons.push_back(corners);
    for (uint32_t k = 0; k < corners; ++k) {
      rvObjVertex v;
      v.position = glm::vec3(static_cast<float>(f % 100) + static_cast<float>(k), 0.0f, static_cast<float>(f / 100));
      polygons.push_back(static_cast<uint32_t>(vertices.size()));
      vertices.push_back(v);
    }
  }
  rvObjModel model;
  model.m_meshes.emplace_back(vertices, polygons, glm::vec3(0.3f, 0.8f, 1.0f), 0.7f);
  return model;
}

void RunFans(benchmark::State& state, uint32_t corners) {
  const rvObjModel model = Model(static_cast<int>(state.range(0)), corners);
  VectorGeometry display;
  for (auto _ : state) {
    display.ClearGeometry();
    model.DrawToVectorDisplay(display);
    benchmark::DoNotOptimize(display.m_triangles.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * (corners - 2));
}

void BM_QuadGridFans(benchmark::State& state) { RunFans(state, 4); }
void BM_HeptagonFans(benchmark::State& state) { RunFans(state, 7); }

BENCHMARK(BM_QuadGridFans)->Arg(100)->Arg(10000);
BENCHMARK(BM_HeptagonFans)->Arg(10000);

}  // namespace

VELMORA_BENCHMARK_MAIN()
