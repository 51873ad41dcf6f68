// Load-time cost of the vector art built from SVG documents: the shape set
// (objects, ENG groups with their circles, tessellated CACHE fills), the
// edge set of the morph, and the morph's pairing, which is quadratic in the
// number of edges. Run by hand: build-*/bench/bench_svg_sets
//
//   BM_ShapeSetAndEdges/N  N gear outlines (ENGo.1) and hubs (ENGo.2) on a
//                          1000 x 1000 view box, against a 1920 x 1080 target
//   BM_CachedFill/N        one CACHE1 ring of N points (a star: every other
//                          point inwards) with a hole
//   BM_MorphPairing/N      N edges of a circle against 1.3 N of a square
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "effects/vector/ShapeMorph.h"
#include "svg/nanoSVG2Edge.h"
#include "BenchMain.h"

namespace {

SvgImage* Parse(const std::string& doc) {
  std::vector<char> text(doc.begin(), doc.end());
  text.push_back('\0');
  return ParseSvg(text.data(), 96.0f);
}

std::string GearDocument(int gears) {
  std::string doc = "<svg width=\"1000\" height=\"1000\" viewBox=\"0 0 1000 1000\">";
  char buf[256];
  for (int g = 0; g < gears; ++g) {
    const float cx = 50.0f + (g * 97) % 900, cy = 50.0f + (g * 61) % 900;
    std::string d = "M";
    for (int i = 0; i < 64; ++i) {
      const float a = 6.2831853f * i / 64, r = i % 4 < 2 ? 40.0f : 48.0f;
      std::snprintf(buf, sizeof buf, " %.2f %.2f", cx + r * std::cos(a), cy + r * std::sin(a));
      d += buf;
    }
    doc += "<path id=\"ENG" + std::to_string(g + 1) + ".1\" d=\"" + d + " Z\"/>";
    std::snprintf(buf, sizeof buf, "<circle id=\"ENG%d.2\" cx=\"%.1f\" cy=\"%.1f\" r=\"12\"/>", g + 1, cx, cy);
    doc += buf;
  }
  return doc + "</svg>";
}

void BM_ShapeSetAndEdges(benchmark::State& state) {
  const std::string doc = GearDocument(static_cast<int>(state.range(0)));
  int edges = 0;
  for (auto _ : state) {
    nanoSVG2Edge set;
    set.Adopt(Parse(doc), 1920, 1080);
    set.BuildEdges();
    edges = set.m_edgeCount;
    benchmark::DoNotOptimize(edges);
  }
  state.counters["edges"] = edges;
}
BENCHMARK(BM_ShapeSetAndEdges)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_CachedFill(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::string d = "M";
  char buf[64];
  for (int i = 0; i < n; ++i) {
    const float a = 6.2831853f * i / n, r = i % 2 ? 400.0f : 380.0f;
    std::snprintf(buf, sizeof buf, " %.3f %.3f", 500 + r * std::cos(a), 500 + r * std::sin(a));
    d += buf;
  }
  const std::string doc = "<svg width=\"1000\" height=\"1000\"><path id=\"CACHE1\" d=\"" + d +
                          " Z M 450 450 H 550 V 550 H 450 Z\"/></svg>";
  for (auto _ : state) {
    nanoSVGBase set;
    set.Adopt(Parse(doc), 1920, 1080);
    benchmark::DoNotOptimize(set.m_objects[0]->fillIndices.size());
  }
}
BENCHMARK(BM_CachedFill)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void FillRing(nanoSVG2Edge& side, int n, bool square) {
  for (int i = 0; i < n; ++i) {
    const float a0 = 6.2831853f * i / n, a1 = 6.2831853f * (i + 1) / n;
    auto at = [square](float a) {
      const float c = std::cos(a), s = std::sin(a);
      const float k = square ? 1.0f / std::fmax(std::fabs(c), std::fabs(s)) : 1.0f;
      return EdgePoint{50 * k * c, 50 * k * s, 0};
    };
    const float first = static_cast<float>(side.m_points.size());
    side.m_points.push_back(at(a0));
    side.m_points.push_back(at(a1));
    side.m_edges.push_back(EdgeSegment{first, first + 1, 0});
  }
  side.m_pointCount = static_cast<int>(side.m_points.size());
  side.m_edgeCount = static_cast<int>(side.m_edges.size());
}

void BM_MorphPairing(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    ShapeMorph morph;
    FillRing(morph.m_source, n, false);
    FillRing(morph.m_destination, n * 13 / 10, true);
    morph.PairEdges();
    benchmark::DoNotOptimize(morph.m_pairCount);
  }
}
BENCHMARK(BM_MorphPairing)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

VELMORA_BENCHMARK_MAIN()
