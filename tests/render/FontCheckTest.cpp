// The font check on a real font with one glyph header changed: glyphs whose
// bitmap box is inverted or beyond the limits get no bitmap, the others
// keep theirs.
#include <gtest/gtest.h>

#include <stb/stb_truetype.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "render/FontCheck.h"

namespace {

const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

uint32_t U32(const std::string& f, size_t o) {
  return static_cast<uint32_t>(static_cast<unsigned char>(f[o])) << 24 |
         static_cast<uint32_t>(static_cast<unsigned char>(f[o + 1])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(f[o + 2])) << 8 | static_cast<unsigned char>(f[o + 3]);
}
uint16_t U16(const std::string& f, size_t o) {
  return static_cast<uint16_t>(static_cast<unsigned char>(f[o]) << 8 | static_cast<unsigned char>(f[o + 1]));
}
void Put16(std::string& f, size_t o, int v) {
  f[o] = static_cast<char>((v >> 8) & 0xFF);
  f[o + 1] = static_cast<char>(v & 0xFF);
}

size_t TableOffset(const std::string& f, const char* tag) {
  for (size_t i = 0; i < U16(f, 4); ++i)
    if (f.compare(12 + 16 * i, 4, tag) == 0) return U32(f, 12 + 16 * i + 8);
  return 0;
}

// Where glyph g's header lies in the file.
size_t GlyphHeader(const std::string& f, int g) {
  const bool longOffsets = U16(f, TableOffset(f, "head") + 50) == 1;
  const size_t loca = TableOffset(f, "loca");
  const size_t at = longOffsets ? U32(f, loca + 4 * g) : 2u * U16(f, loca + 2 * g);
  return TableOffset(f, "glyf") + at;
}

}  // namespace

TEST(FontCheck, GlyphBoxesThatAreInvertedOrHugeGetNoBitmap) {
  std::ifstream in(kDejaVu, std::ios::binary);
  const std::string original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(original.size(), 10000u);
  const struct {
    const char* what;
    int xMin, yMin, xMax, yMax;
    float scale;
    bool bitmap;
  } cases[] = {
      {"as it is", 0, 0, 0, 0, 0.05f, true},
      {"inverted horizontally", 1200, 0, 16, 1493, 0.05f, false},
      {"inverted vertically", 16, 1493, 1200, 0, 0.05f, false},
      // 50 x 0.12f rounds up to 6 in float: one column less than nothing.
      {"inverted within a pixel", 50, 2, 38, 700, 0.12f, false},
      {"from edge to edge", -32768, -32768, 32767, 32767, 0.05f, false},
  };
  for (const auto& c : cases) {
    std::string font = original;
    stbtt_fontinfo info{};
    FontCheck check;
    std::string reason;
    ASSERT_TRUE(check.Open(reinterpret_cast<const unsigned char*>(original.data()), original.size(), info, reason));
    const int a = check.FindGlyph(info, 'A');
    ASSERT_GT(a, 0);
    if (c.xMin || c.yMin || c.xMax || c.yMax) {
      const size_t header = GlyphHeader(font, a);
      Put16(font, header + 2, c.xMin);
      Put16(font, header + 4, c.yMin);
      Put16(font, header + 6, c.xMax);
      Put16(font, header + 8, c.yMax);
    }
    ASSERT_TRUE(check.Open(reinterpret_cast<const unsigned char*>(font.data()), font.size(), info, reason)) << c.what;
    int box[4] = {0, 0, 0, 0};
    EXPECT_EQ(check.BitmapBox(info, a, c.scale, box), c.bitmap) << c.what;
    if (c.bitmap) {
      EXPECT_GT(box[2], box[0]) << c.what;
      EXPECT_GT(box[3], box[1]) << c.what;
    }
    // Not a finite, positive scale: no bitmap either.
    EXPECT_FALSE(check.BitmapBox(info, a, 0.0f, box)) << c.what;
    EXPECT_FALSE(check.BitmapBox(info, a, std::numeric_limits<float>::infinity(), box)) << c.what;
  }
}
