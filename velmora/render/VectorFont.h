// Vector text: turns a string into shape-tree geometry (one child node per
// character, one polyline per stroke) that the vector display draws as
// glowing strokes. Two kinds of font: the built-in stroke font "Simplex"
// (SimplexFont.h) and TrueType fonts read from the data pack through
// stb_truetype, which give glyph outlines, a dot per lit pixel of the
// rasterised glyph, or a stroke per horizontal run of lit pixels.
//
// Fonts live in the process-wide font list (GetFontCache), keyed by their
// data-relative, lower-cased, normalised path, so every effect naming the
// same file shares one parsed font. A font keeps its file buffer. Main
// thread only; the list is not guarded.
#pragma once
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "render/FontCheck.h"

struct stbtt_fontinfo;
class ShapeNode;

// A request for a text's vector geometry.
struct TextStyle {
  float size = 20.0f;    // text height
  std::string text;
  float scale = 1.0f;    // raster resolution factor of the bitmap modes
  float dotSize = 0.1f;  // length of a dot stroke
  bool renderOutline = true;
  bool renderDot = false;
  bool renderLines = false;
  float penX = 0.0f;  // written by the builds: the running position
  float penY = 0.0f;
  float glyphScale = 1.0f;  // written by the TrueType builds
};

class VectorFont {
 public:
  // Texts longer than this are cut (and logged): one node per character
  // would otherwise take the memory of the whole process.
  static constexpr size_t kMaxTextBytes = 65536;
  // What one TrueType build adds at most (the rest of the text is cut, and
  // logged): outline points, and dot or run strokes (a polyline each).
  static constexpr size_t kMaxOutlinePoints = size_t(1) << 21;
  static constexpr size_t kMaxBitmapStrokes = size_t(1) << 18;

  VectorFont(const std::string& key, bool builtIn);
  ~VectorFont();
  VectorFont(const VectorFont&) = delete;
  VectorFont& operator=(const VectorFont&) = delete;

  // Adds the text's geometry to the node: the stroke font, or the TrueType
  // modes the style asks for, in the order outline, dot, lines. Every new
  // polyline copies the four floats of `color` (r, g, b, a) as its own.
  void BuildText(TextStyle& style, ShapeNode* node, const float* color) const;

  void BuildSimplexText(TextStyle& style, ShapeNode* node, const float* color) const;
  void BuildOutlineText(TextStyle& style, ShapeNode* node, const float* color) const;
  void BuildBitmapDotText(TextStyle& style, ShapeNode* node, const float* color) const;
  void BuildBitmapRunText(TextStyle& style, ShapeNode* node, const float* color) const;

  // Takes the parsed font, the file buffer it points into and the check's
  // verdicts on its glyphs.
  void SetTrueType(std::unique_ptr<stbtt_fontinfo> info, std::vector<unsigned char> data, FontCheck check);
  // Glyph index of a character code, 0 when the font has none or when the
  // glyph failed the font check.
  int FindGlyph(unsigned int code) const;

  unsigned char m_builtIn = 0;
  std::string m_key;
  std::unique_ptr<stbtt_fontinfo> m_info;  // null for the built-in font

 private:
  std::vector<unsigned char> m_data;  // the whole file, kept for m_info
  FontCheck m_check;
};

// The font list; never shrinks. Deletes its fonts at exit.
class VectorFontList {
 public:
  VectorFontList() = default;
  ~VectorFontList();
  VectorFontList(const VectorFontList&) = delete;
  VectorFontList& operator=(const VectorFontList&) = delete;

  std::vector<VectorFont*> m_fonts;
  // Keys of files found missing or unusable, each logged once: callers look
  // such a font up again every frame.
  std::set<std::string> m_reportedMisses;
};

// The process-wide list, made on first use with the built-in "Simplex".
VectorFontList& GetFontCache();
// The font of `path`: the entry with the same key, else the file read from
// the pack and parsed; null (logged) when the file is missing or is not a
// usable TrueType font (logged the first time for each key).
VectorFont* FindOrLoadFont(VectorFontList& list, const std::string& path);
// Appends a TrueType font under the key of `path`: `info` parsed from
// `data` by `check`.
VectorFont* AddFont(VectorFontList& list, const std::string& path, std::unique_ptr<stbtt_fontinfo> info,
                    std::vector<unsigned char> data, FontCheck check);
// The key of a path: data-relative, lower-cased byte by byte, normalised.
std::string FontKey(const std::string& path);
