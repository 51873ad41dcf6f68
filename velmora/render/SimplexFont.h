// The stroke table of the built-in "Simplex" vector font (the Hershey
// simplex font): one glyph per character from 32 to 126, in font units with
// x from the glyph's left edge and y upwards from the baseline (capital
// height 21). The pair (-1, -1) lifts the pen. The table itself is generated
// (SimplexFont.cpp, tools/make_simplex_font.py); VectorFont.cpp walks it.
#pragma once

constexpr int kSimplexFirstChar = 32;
constexpr int kSimplexGlyphCount = 95;
constexpr int kSimplexMaxPairs = 55;
constexpr int kSimplexCapHeight = 21;

struct SimplexGlyph {
  signed char count;    // (x, y) pairs used, pen lifts included
  signed char advance;  // width in font units
  signed char pairs[2 * kSimplexMaxPairs];
};

extern const SimplexGlyph kSimplexFont[kSimplexGlyphCount];
