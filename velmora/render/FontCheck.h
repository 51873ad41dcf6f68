// Font check: the one gate in front of stb_truetype for every font the
// player reads (vector text and the glyph atlas).
//
// stb_truetype trusts the font it reads: it follows every offset, count and
// index without knowing where the file ends, asserts on some malformed
// data, recurses through composite glyphs without limit and converts
// coordinates and scales to integers unchecked. A font comes from a data
// pack anyone can build, so before a font reaches stb_truetype this module
// walks every field stb_truetype will read: the table directory, the
// character map it picks (encoding records, format 0/4/6/12/13 lookups and
// the glyph indices they yield), the metrics, the kerning tables, and every
// glyph's outline (TrueType contours, flags, coordinates and composites, or
// CFF charstrings with their subroutines). A font that fails is refused with
// a reason; a glyph that fails is a glyph the font does not have.
//
// Depends on stb_truetype only (no GL, no file system). Owns nothing but
// the per-glyph verdicts: the caller keeps the file bytes and the
// stbtt_fontinfo, which point into them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct stbtt_fontinfo;

class FontCheck {
 public:
  // Glyph bitmaps larger than this on a side, or in area, are not made: the
  // glyph is drawn blank. No screen text needs more, and a crafted glyph box
  // times a scale could otherwise ask for any amount of memory.
  static constexpr int kMaxBitmapSide = 4096;
  static constexpr int64_t kMaxBitmapPixels = int64_t(1) << 22;
  // Outline vertices of one glyph, composites included (real glyphs, even
  // the densest CJK ones, have a few hundred).
  static constexpr int kMaxGlyphVertices = 1 << 14;
  // Nesting of composite glyphs (real fonts use two or three levels).
  static constexpr int kMaxCompositeDepth = 8;

  // Checks font 0 of the bytes and initialises `info` on them. On failure
  // returns false with the reason, and `info` must not be used.
  bool Open(const unsigned char* data, size_t size, stbtt_fontinfo& info, std::string& reason);

  // The glyph of a code point, 0 when the font has none or when the glyph
  // the character map yields is out of range or failed the check.
  int FindGlyph(const stbtt_fontinfo& info, uint32_t codepoint) const;
  // Whether the outline and metrics of a glyph index may be read.
  bool GlyphUsable(int glyph) const;
  // The pixel box of the glyph's bitmap at a scale (x0, y0, x1, y1, y down,
  // as stb_truetype computes it); false when the glyph is not usable, the
  // scale is not finite and positive, or the bitmap would be larger than the
  // limits above.
  bool BitmapBox(const stbtt_fontinfo& info, int glyph, float scale, int box[4]) const;

  int GlyphCount() const { return static_cast<int>(m_glyphUsable.size()); }

 private:
  std::vector<unsigned char> m_glyphUsable;  // one verdict per glyph index
};
