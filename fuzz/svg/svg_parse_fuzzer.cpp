// libFuzzer target for the SVG parser: any bytes are a document. Besides
// parsing, it walks every result the way the vector-art effects do
// (flattening every segment, the enclosing circle of every shape) and builds
// the shape set (objects, ENG groups, tessellated fills) and the edge set of
// it without GL, so that values the parser lets through are exercised
// downstream too. Built by tools/fuzz_svg.sh, not by CMake.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "svg/EnclosingBall.h"
#include "render/CubicFlatten.h"
#include "svg/SvgImage.h"
#include "svg/nanoSVG2Edge.h"

namespace {

// Bounds the downstream work per input so that a document of many curves
// does not read as a hang.
constexpr int kMaxSegmentsFlattened = 2000;
constexpr size_t kMaxCirclePoints = 4000;

void Walk(const SvgImage& image) {
  int segments = 0;
  volatile float sink = image.width + image.height;
  for (const SvgShape* shape = image.shapes; shape; shape = shape->next) {
    for (const SvgPath* path = shape->paths; path; path = path->next) {
      for (int i = 0; i + 3 < path->npts && segments < kMaxSegmentsFlattened; i += 3, ++segments)
        FlattenCubic(&path->pts[i * 2], 1.0f, 0, [&](float x, float y) { sink = sink + x + y; });
      for (int i = 0; i < path->npts; ++i) sink = sink + path->pointData[i * 4];
    }
    std::vector<double> xy;
    AppendEnclosingCirclePoints(*shape, xy);
    if (xy.size() <= kMaxCirclePoints * 2) {
      const EnclosingCircle c = SmallestEnclosingCircle(xy);
      sink = sink + c.radius;
    }
    for (const SvgPaint* paint : {&shape->fill, &shape->stroke}) {
      if (paint->type == kSvgPaintLinearGradient || paint->type == kSvgPaintRadialGradient)
        for (int i = 0; i < paint->gradient->nstops; ++i) sink = sink + paint->gradient->stops[i].offset;
    }
  }
}

int CountSegments(const SvgImage& image) {
  int segments = 0;
  for (const SvgShape* shape = image.shapes; shape; shape = shape->next)
    for (const SvgPath* path = shape->paths; path; path = path->next) segments += path->npts / 3;
  return segments;
}

// The shape set and the edge set take the image over; every edge must own
// its two points inside the lists, every fill index must be in range.
void BuildSets(SvgImage* image) {
  nanoSVG2Edge set;
  set.Adopt(image, 1920, 1080);
  if (set.BuildEdges() != 0) __builtin_trap();
  if (set.m_points.size() != static_cast<size_t>(set.m_pointCount) ||
      set.m_edges.size() != static_cast<size_t>(set.m_edgeCount) || set.m_pointCount != 2 * set.m_edgeCount)
    __builtin_trap();
  for (int i = 0; i < set.m_edgeCount; ++i)
    if (set.m_edges[i].start != 2.0f * i || set.m_edges[i].end != 2.0f * i + 1) __builtin_trap();
  for (const SvgObject* object : set.m_objects)
    for (uint16_t index : object->fillIndices)
      if (index >= object->fillVertices.size() / 2) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(size + 1);
  if (size) std::memcpy(text.data(), data, size);
  text[size] = '\0';
  SvgImage* image = ParseSvg(text.data(), 96.0f);
  if (!image) return 0;
  Walk(*image);
  if (CountSegments(*image) <= kMaxSegmentsFlattened)
    BuildSets(image);  // takes the image
  else
    DeleteSvgImage(image);
  return 0;
}
