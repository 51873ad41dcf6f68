// Colour conversion of decoded BPG planes into 8-bit RGBA rows.
//
// [SECTION] Chroma upsampling
// [SECTION] Colour matrices
// [SECTION] Conversion
#include "production/BpgPixels.h"

#include <algorithm>
#include <vector>

#include "production/BpgStream.h"

namespace bpg {
namespace {

// Upsampled chroma and scaled luma carry this many fraction bits.
constexpr int kFrac = 12;
// Colour coefficients carry this many.
constexpr int kCoefBits = 16;

//-----------------------------------------------------------------------------
// [SECTION] Chroma upsampling
//-----------------------------------------------------------------------------

// Chroma centred between two luma samples: the output pair around input i
// lies a quarter sample before and after it (7 taps, sum 64).
constexpr int kQuarterTaps[7] = {2, -6, 18, 57, -10, 4, -1};
// Chroma on the even luma samples: even outputs copy, odd ones lie half way
// (8 taps, sum 64).
constexpr int kHalfTaps[8] = {-1, 4, -11, 40, 40, -11, 4, -1};

// Doubles a line of n values (scaled by 64) into out[0 .. 2n). get(i) reads
// input i clamped to the line.
template <typename Get>
void DoubleLine(int n, bool centred, Get get, int64_t* out) {
  for (int i = 0; i < n; ++i) {
    int64_t a = 0, b = 0;
    if (centred) {
      for (int k = 0; k < 7; ++k) {
        a += kQuarterTaps[k] * get(i + k - 3);
        b += kQuarterTaps[6 - k] * get(i + k - 3);
      }
    } else {
      a = 64 * get(i);
      for (int k = 0; k < 8; ++k) b += kHalfTaps[k] * get(i + k - 3);
    }
    out[2 * i] = a;
    out[2 * i + 1] = b;
  }
}

// A chroma plane at full size, every value scaled by 2^kFrac.
std::vector<int64_t> UpsampleChroma(const PlaneView& p, int format, int width, int height) {
  const bool halfWidth = format != kFormat444;
  const bool halfHeight = format == kFormat420 || format == kFormat420Video;
  const bool centredColumns = format == kFormat420 || format == kFormat422;
  const int cw = p.width, ch = p.height;
  // Vertical pass first: rows of cw values at full height.
  const int rows = halfHeight ? 2 * ch : ch;
  std::vector<int64_t> tall(size_t(rows) * cw);
  std::vector<int64_t> column(static_cast<size_t>(rows));
  for (int x = 0; x < cw; ++x) {
    if (halfHeight) {
      DoubleLine(ch, true, [&](int y) { return int64_t(p.Sample(x, y)); }, column.data());
    } else {
      for (int y = 0; y < ch; ++y) column[y] = int64_t(p.Sample(x, y)) * 64;
    }
    for (int y = 0; y < rows; ++y) tall[size_t(y) * cw + x] = column[y];
  }
  // Horizontal pass, then crop to the picture.
  const int cols = halfWidth ? 2 * cw : cw;
  std::vector<int64_t> out(size_t(width) * height);
  std::vector<int64_t> line(static_cast<size_t>(cols));
  for (int y = 0; y < height; ++y) {
    const int64_t* src = &tall[size_t(std::min(y, rows - 1)) * cw];
    if (halfWidth) {
      DoubleLine(cw, centredColumns, [&](int x) { return src[std::clamp(x, 0, cw - 1)]; },
                 line.data());
    } else {
      for (int x = 0; x < cw; ++x) line[x] = src[x] * 64;
    }
    for (int x = 0; x < width; ++x) out[size_t(y) * width + x] = line[std::min(x, cols - 1)];
  }
  // Two passes scaled by 64 each: 12 fraction bits.
  return out;
}

//-----------------------------------------------------------------------------
// [SECTION] Colour matrices
//-----------------------------------------------------------------------------

struct Matrix {
  // R = Y + crR Cr; G = Y + cbG Cb + crG Cr; B = Y + cbB Cb (16-bit fixed).
  int64_t crR = 0, cbG = 0, crG = 0, cbB = 0;
};

int64_t Fixed(double v) { return int64_t(v * (1 << kCoefBits) + (v < 0 ? -0.5 : 0.5)); }

Matrix MatrixFor(int colorSpace) {
  double kr = 0.299, kb = 0.114;
  if (colorSpace == kColorYCbCrBT709) {
    kr = 0.2126;
    kb = 0.0722;
  } else if (colorSpace == kColorYCbCrBT2020) {
    kr = 0.2627;
    kb = 0.0593;
  }
  const double kg = 1.0 - kr - kb;
  Matrix m;
  m.crR = Fixed(2 * (1 - kr));
  m.cbG = Fixed(-2 * kb * (1 - kb) / kg);
  m.crG = Fixed(-2 * kr * (1 - kr) / kg);
  m.cbB = Fixed(2 * (1 - kb));
  return m;
}

// Scale and offset that bring samples of the layout's depth and range to
// 8-bit full range (16-bit fixed), for luma-like and chroma-like planes.
struct Range {
  int64_t lumaScale, chromaScale;
  int64_t lumaOffset, chromaOffset;  // in samples, scaled by 2^kFrac
};

Range RangeFor(const PixelLayout& l) {
  const double shift = double(1 << (l.bitDepth - 8));
  Range r;
  r.lumaScale = Fixed((l.limitedRange ? 255.0 / 219.0 : 1.0) / shift);
  r.chromaScale = Fixed((l.limitedRange ? 255.0 / 224.0 : 1.0) / shift);
  r.lumaOffset = l.limitedRange ? (int64_t(16) << (l.bitDepth - 8)) << kFrac : 0;
  r.chromaOffset = (int64_t(1) << (l.bitDepth - 1)) << kFrac;
  return r;
}

uint8_t ToByte(int64_t fixed) {
  const int64_t v = (fixed + (int64_t(1) << (kFrac + kCoefBits - 1))) >> (kFrac + kCoefBits);
  return uint8_t(std::clamp<int64_t>(v, 0, 255));
}

//-----------------------------------------------------------------------------
// [SECTION] Conversion
//-----------------------------------------------------------------------------

struct Rgb {
  int64_t r, g, b;
};

// y, c1, c2 are offset-free values scaled to 8-bit range (both fixed parts).
Rgb Combine(int colorSpace, const Matrix& m, int64_t y, int64_t c1, int64_t c2) {
  switch (colorSpace) {
    case kColorRGB:  // planes hold G, B, R
      return {c2, y, c1};
    case kColorYCgCo: {
      const int64_t t = y - c1;
      return {t + c2, y + c1, t - c2};
    }
    default:
      return {y + ((m.crR * c2) >> kCoefBits), y + ((m.cbG * c1 + m.crG * c2) >> kCoefBits),
              y + ((m.cbB * c1) >> kCoefBits)};
  }
}

uint8_t Unpremultiply(uint8_t c, uint8_t a) {
  if (a == 0) return 0;
  return uint8_t(std::min(255, (c * 255 + a / 2) / a));
}

}  // namespace

int PlaneView::Sample(int x, int y) const {
  x = std::clamp(x, 0, width - 1);
  y = std::clamp(y, 0, height - 1);
  const uint8_t* row = data + size_t(y) * stride;
  if (bitDepth > 8) return reinterpret_cast<const uint16_t*>(row)[x];
  return row[x];
}

void ConvertToRgba(const PixelLayout& l, const PlaneView planes[3], const PlaneView* alpha,
                   int width, int height, uint8_t* out) {
  const bool grey = l.format == kFormatGray;
  std::vector<int64_t> c1, c2;
  if (!grey) {
    c1 = UpsampleChroma(planes[1], l.format, width, height);
    c2 = UpsampleChroma(planes[2], l.format, width, height);
  }
  const Matrix m = MatrixFor(l.colorSpace);
  const Range rg = RangeFor(l);
  // RGB stores every plane like luma; the others centre chroma on mid-grey.
  const bool rgb = l.colorSpace == kColorRGB;
  const int64_t cOffset = rgb ? rg.lumaOffset : rg.chromaOffset;
  const int64_t cScale = rgb ? rg.lumaScale : rg.chromaScale;
  const int alphaShift = l.bitDepth - 8;
  for (int y = 0; y < height; ++y) {
    uint8_t* px = out + size_t(y) * width * 4;
    for (int x = 0; x < width; ++x, px += 4) {
      const int64_t luma = ((int64_t(planes[0].Sample(x, y)) << kFrac) - rg.lumaOffset) * rg.lumaScale;
      Rgb v = {luma, luma, luma};
      if (!grey) {
        const size_t i = size_t(y) * width + x;
        v = Combine(l.colorSpace, m, luma, (c1[i] - cOffset) * cScale, (c2[i] - cOffset) * cScale);
      }
      px[0] = ToByte(v.r);
      px[1] = ToByte(v.g);
      px[2] = ToByte(v.b);
      px[3] = alpha ? uint8_t(std::min(255, alpha->Sample(x, y) >> alphaShift)) : 255;
      if (alpha && l.premultiplied)
        for (int c = 0; c < 3; ++c) px[c] = Unpremultiply(px[c], px[3]);
    }
  }
}

}  // namespace bpg
