// libFuzzer target for the SVG parser: any bytes are a document. Besides
// parsing, it walks every result the way the vector-art effects do
// (flattening every segment, the enclosing circle of every shape) so that
// values the parser lets through are exercised downstream too.
// Built by tools/fuzz_svg.sh, not by CMake.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "svg/EnclosingBall.h"
#include "svg/SvgFlatten.h"
#include "svg/SvgImage.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(size + 1);
  if (size) std::memcpy(text.data(), data, size);
  text[size] = '\0';
  SvgImage* image = ParseSvg(text.data(), 96.0f);
  if (image) Walk(*image);
  DeleteSvgImage(image);
  return 0;
}
