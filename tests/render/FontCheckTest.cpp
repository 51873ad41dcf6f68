// The font check on a real font with one glyph header changed: glyphs whose
// bitmap box is inverted, beyond the limits or below an outline that cannot
// be cut off get no bitmap, the others keep theirs and draw.
#include <gtest/gtest.h>

#include <stb/stb_truetype.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

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

TEST(FontCheck, GlyphBoxesThatAreInvertedHugeOrBelowTheirOutlineGetNoBitmap) {
  std::ifstream in(kDejaVu, std::ios::binary);
  const std::string original((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(original.size(), 10000u);
  // 'A' is drawn from y 0 to 1493, '_' from -483 to -399.
  const struct {
    const char* what;
    uint32_t codepoint;
    int xMin, yMin, xMax, yMax;
    float scale;
    bool bitmap, ink;
  } cases[] = {
      {"as it is", 'A', 0, 0, 0, 0, 0.05f, true, true},
      {"inverted horizontally", 'A', 1200, 0, 16, 1493, 0.05f, false, false},
      {"inverted vertically", 'A', 16, 1493, 1200, 0, 0.05f, false, false},
      // 50 x 0.12f rounds up to 6 in float: one column less than nothing.
      {"inverted within a pixel", 'A', 50, 2, 38, 700, 0.12f, false, false},
      {"from edge to edge", 'A', -32768, -32768, 32767, 32767, 0.05f, false, false},
      // A box ending at the baseline puts the bitmap's top row at 0, where
      // the outline above it cannot be cut off.
      {"outline above a box ending at the baseline", 'A', 16, -300, 1200, 0, 0.05f, false, false},
      // Lower down, the outline above the box is cut off: a blank bitmap.
      {"outline above a box lower down", 'A', 16, -300, 1200, -100, 0.05f, true, false},
      // A real glyph whose bitmap starts at row 0 keeps it.
      {"below the baseline, drawn small", '_', 0, 0, 0, 0, 0.002f, true, true},
  };
  for (const auto& c : cases) {
    std::string font = original;
    stbtt_fontinfo info{};
    FontCheck check;
    std::string reason;
    ASSERT_TRUE(check.Open(reinterpret_cast<const unsigned char*>(original.data()), original.size(), info, reason));
    const int glyph = check.FindGlyph(info, c.codepoint);
    ASSERT_GT(glyph, 0);
    if (c.xMin || c.yMin || c.xMax || c.yMax) {
      const size_t header = GlyphHeader(font, glyph);
      Put16(font, header + 2, c.xMin);
      Put16(font, header + 4, c.yMin);
      Put16(font, header + 6, c.xMax);
      Put16(font, header + 8, c.yMax);
    }
    ASSERT_TRUE(check.Open(reinterpret_cast<const unsigned char*>(font.data()), font.size(), info, reason)) << c.what;
    int box[4] = {0, 0, 0, 0};
    EXPECT_EQ(check.BitmapBox(info, glyph, c.scale, box), c.bitmap) << c.what;
    if (c.bitmap) {
      ASSERT_GT(box[2], box[0]) << c.what;
      ASSERT_GT(box[3], box[1]) << c.what;
      const int w = box[2] - box[0], h = box[3] - box[1];
      std::vector<unsigned char> pixels(static_cast<size_t>(w * h), 0);
      stbtt_MakeGlyphBitmap(&info, pixels.data(), w, h, w, c.scale, c.scale, glyph);
      EXPECT_EQ(std::any_of(pixels.begin(), pixels.end(), [](unsigned char p) { return p != 0; }), c.ink) << c.what;
    }
    // Not a finite, positive scale: no bitmap either.
    EXPECT_FALSE(check.BitmapBox(info, glyph, 0.0f, box)) << c.what;
    EXPECT_FALSE(check.BitmapBox(info, glyph, std::numeric_limits<float>::infinity(), box)) << c.what;
  }
}

// Real fonts of both outline flavours pass whole: every glyph usable, and a
// letter drawn at text size has ink. The CFF fonts call global and local
// subroutines, set hint masks and use most curve operators.
TEST(FontCheck, RealFontsOfBothFlavoursPassWhole) {
  const char* const fonts[] = {
      kDejaVu,
      "/usr/share/fonts/opentype/cantarell/Cantarell-Regular.otf",
      "/usr/share/fonts/opentype/freefont/FreeSerif.otf",
      "/usr/share/fonts/opentype/freefont/FreeMonoBoldOblique.otf",
  };
  for (const char* path : fonts) {
    std::ifstream in(path, std::ios::binary);
    const std::string font((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(font.size(), 10000u) << path;
    stbtt_fontinfo info{};
    FontCheck check;
    std::string reason;
    ASSERT_TRUE(check.Open(reinterpret_cast<const unsigned char*>(font.data()), font.size(), info, reason))
        << path << ": " << reason;
    ASSERT_EQ(check.GlyphCount(), info.numGlyphs) << path;
    int refused = 0;
    for (int g = 0; g < info.numGlyphs; ++g) refused += !check.GlyphUsable(g);
    EXPECT_EQ(refused, 0) << path << " of " << info.numGlyphs;
    const float scale = stbtt_ScaleForPixelHeight(&info, 32.0f);
    for (uint32_t c : {uint32_t('a'), uint32_t('Q'), uint32_t('&')}) {
      const int glyph = check.FindGlyph(info, c);
      ASSERT_GT(glyph, 0) << path << " " << char(c);
      int box[4];
      ASSERT_TRUE(check.BitmapBox(info, glyph, scale, box)) << path << " " << char(c);
      const int w = box[2] - box[0], h = box[3] - box[1];
      ASSERT_GT(w, 4) << path << " " << char(c);
      ASSERT_GT(h, 4) << path << " " << char(c);
      std::vector<unsigned char> pixels(static_cast<size_t>(w * h), 0);
      stbtt_MakeGlyphBitmap(&info, pixels.data(), w, h, w, scale, scale, glyph);
      const auto lit = std::count_if(pixels.begin(), pixels.end(), [](unsigned char p) { return p >= 128; });
      EXPECT_GT(lit, w * h / 10) << path << " " << char(c);
    }
  }
}
