// Throughput of the SVG parser on large generated documents, in bytes of SVG
// text per second. Run by hand: build-*/bench/bench_svg_parse
//
//   BM_ParseMixedDocument  groups with transforms and styles, every basic
//                          shape, paths with curves, arcs and relative forms,
//                          gradients: the mix a drawing program writes.
//   BM_ParsePathData       one long path: the number and command reader.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "svg/SvgImage.h"
#include "BenchMain.h"

namespace {

std::string MixedDocument(int groups) {
  std::string doc =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"210mm\" height=\"297mm\" viewBox=\"0 0 2100 2970\">\n"
      "<defs><linearGradient id=\"lg\" x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\">"
      "<stop offset=\"0\" stop-color=\"#ff8800\"/><stop offset=\"1\" stop-color=\"rgb(10,20,30)\" "
      "stop-opacity=\"0.5\"/></linearGradient></defs>\n";
  char buf[1024];
  for (int g = 0; g < groups; ++g) {
    const int x = (g * 37) % 2000, y = (g * 53) % 2900;
    std::snprintf(buf, sizeof buf,
                  "<g id=\"layer%d\" class=\"cls-%d\" transform=\"translate(%d,%d) rotate(%d) scale(0.75)\" "
                  "style=\"fill:#%06x;stroke:#000000;stroke-width:1.5;stroke-linejoin:round\">\n",
                  g, g % 8 + 1, x, y, g % 360, (g * 2654435761u) & 0xffffff);
    doc += buf;
    std::snprintf(buf, sizeof buf,
                  "  <path id=\"p%d\" d=\"m %d.5,%d.25 c 10.5,-20.25 30.75,-20.5 40,0 s 30,20 40,0 "
                  "q 15,-25 30,0 t 30,0 a 12.5,7.5 30 1 1 -25,10 l -20,15 h -30 v -12.5 z "
                  "M 12e1 3.5E1 L 130,45 140,35 C 150,25 160,45 170,35 Z\"/>\n",
                  g, g % 100, g % 50);
    doc += buf;
    std::snprintf(buf, sizeof buf,
                  "  <rect x=\"%d\" y=\"%d\" width=\"48.5\" height=\"32\" rx=\"4\" fill=\"url(#lg)\"/>\n"
                  "  <circle cx=\"%d\" cy=\"%d\" r=\"12.25\" stroke-dasharray=\"4,2\" opacity=\"0.8\"/>\n"
                  "  <ellipse cx=\"20\" cy=\"30\" rx=\"15\" ry=\"7.5\" transform=\"skewX(10)\"/>\n"
                  "  <line x1=\"0\" y1=\"0\" x2=\"%d\" y2=\"40\" stroke=\"blue\"/>\n"
                  "  <polygon points=\"0,0 10,0 15,8.66 10,17.32 0,17.32 -5,8.66\" fill=\"none\"/>\n"
                  "  <polyline points=\"0,0 5,5 10,0 15,5 20,0 25,5\" fill-opacity=\"0.25\"/>\n"
                  "</g>\n",
                  g % 60, g % 40, g % 70 + 10, g % 30 + 10, g % 90);
    doc += buf;
  }
  doc += "</svg>\n";
  return doc;
}

std::string PathDocument(int segments) {
  std::string doc = "<svg width=\"1000\" height=\"1000\" viewBox=\"0 0 1000 1000\"><path d=\"M 0,0";
  char buf[128];
  for (int i = 0; i < segments; ++i) {
    std::snprintf(buf, sizeof buf, " c %d.125,-%d.5 %d.75,%d 1.5,-0.25 l %d,%d", i % 17, i % 13, i % 11, i % 7,
                  i % 5 - 2, i % 3 - 1);
    doc += buf;
  }
  doc += "\"/></svg>";
  return doc;
}

void RunParse(benchmark::State& state, const std::string& doc) {
  std::vector<char> work(doc.size() + 1);
  size_t shapes = 0;
  for (auto _ : state) {
    // The parser cuts its text in place: every round reads a fresh copy.
    state.PauseTiming();
    std::copy(doc.begin(), doc.end(), work.begin());
    work[doc.size()] = '\0';
    state.ResumeTiming();
    SvgImage* image = ParseSvg(work.data(), 96.0f);
    shapes = 0;
    for (const SvgShape* s = image->shapes; s; s = s->next) ++shapes;
    DeleteSvgImage(image);
    benchmark::DoNotOptimize(shapes);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.size()));
  state.counters["MB"] = static_cast<double>(doc.size()) / 1e6;
  state.counters["shapes"] = static_cast<double>(shapes);
}

void BM_ParseMixedDocument(benchmark::State& state) {
  static const std::string doc = MixedDocument(static_cast<int>(state.range(0)));
  RunParse(state, doc);
}
BENCHMARK(BM_ParseMixedDocument)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ParsePathData(benchmark::State& state) {
  static const std::string doc = PathDocument(static_cast<int>(state.range(0)));
  RunParse(state, doc);
}
BENCHMARK(BM_ParsePathData)->Arg(200000)->Unit(benchmark::kMillisecond);

}  // namespace

VELMORA_BENCHMARK_MAIN()
