// Colour conversion of decoded BPG planes into 8-bit RGBA rows.
//
// Takes the luma (or G, or grey) plane, two chroma planes at their
// subsampled size and an optional alpha plane, and writes width x height
// RGBA pixels, line 0 first. Chroma is upsampled with short windowed
// interpolators (the phase depends on whether chroma sits between the luma
// samples or on the even ones), then converted with the matrix of the
// colour space: BT.601, BT.709, BT.2020, RGB or YCgCo, full or limited
// range; samples of more than 8 bits are shifted down. Premultiplied alpha
// is divided out. Depends on nothing but the standard library.
#pragma once
#include <cstdint>

namespace bpg {

// One decoded plane: 8-bit samples, or 16-bit ones when bitDepth > 8.
struct PlaneView {
  const uint8_t* data = nullptr;
  int stride = 0;  // bytes a row
  int width = 0, height = 0;
  int bitDepth = 8;
  int Sample(int x, int y) const;  // clamped to the plane's edges
};

struct PixelLayout {
  int format = 0;  // PixelFormat
  int colorSpace = 0;
  int bitDepth = 8;
  bool limitedRange = false;
  bool premultiplied = false;
};

// planes[1] and planes[2] are unused for grey; alpha may be null (opaque).
void ConvertToRgba(const PixelLayout& layout, const PlaneView planes[3], const PlaneView* alpha,
                   int width, int height, uint8_t* out);

}  // namespace bpg
