// Vector text and the font list.
//
// [SECTION] VectorFont
// [SECTION] Stroke font
// [SECTION] TrueType outlines
// [SECTION] TrueType bitmaps: dots and runs
// [SECTION] Font list
//
// stb_truetype trusts the font it reads: every font goes through the font
// check (FontCheck.h) before it is parsed. A font that fails is a miss; a
// glyph that fails is a glyph the font does not have, and a glyph bitmap
// beyond the check's limits is drawn blank.
#include "render/VectorFont.h"

#include <stb/stb_truetype.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "Loader/AssetPath.h"
#include "Loader/DataPack.h"
#include "core/AppLog.h"
#include "render/FontCheck.h"
#include "render/ShapeNode.h"
#include "render/SimplexFont.h"

//-----------------------------------------------------------------------------
// [SECTION] VectorFont
//-----------------------------------------------------------------------------

VectorFont::VectorFont(const std::string& key, bool builtIn) : m_builtIn(builtIn ? 1 : 0), m_key(key) {}

VectorFont::~VectorFont() = default;

void VectorFont::SetTrueType(std::unique_ptr<stbtt_fontinfo> info, std::vector<unsigned char> data,
                             FontCheck check) {
  m_data = std::move(data);
  m_info = std::move(info);
  m_check = std::move(check);
}

int VectorFont::FindGlyph(unsigned int code) const { return m_info ? m_check.FindGlyph(*m_info, code) : 0; }

namespace {

// The text a build walks: cut to the largest size a build takes.
size_t TextLength(const TextStyle& style) {
  if (style.text.size() <= VectorFont::kMaxTextBytes) return style.text.size();
  AppLog::Get().AddLog("[VectorFont] Text of %zu bytes cut to %zu\n", style.text.size(), VectorFont::kMaxTextBytes);
  return VectorFont::kMaxTextBytes;
}

// What one TrueType build may add: a hostile font (thousands of curved
// vertices in a glyph, a huge bitmap in dot or run mode) times a long text
// would otherwise take all memory. A build stops adding at the budget and
// says so once.
class BuildBudget {
 public:
  BuildBudget(size_t limit, const char* what) : m_left(limit), m_limit(limit), m_what(what) {}
  bool Take() {
    if (m_left > 0) {
      --m_left;
      return true;
    }
    if (!m_logged) AppLog::Get().AddLog("[VectorFont] Text cut at %zu %s\n", m_limit, m_what);
    m_logged = true;
    return false;
  }

 private:
  size_t m_left, m_limit;
  const char* m_what;
  bool m_logged = false;
};

Polyline* NewPolyline(ShapeNode* node, const float* color) {
  Polyline* p = node->AddPolyline();
  if (color) p->m_color = glm::vec4(color[0], color[1], color[2], color[3]);
  return p;
}

}  // namespace

void VectorFont::BuildText(TextStyle& style, ShapeNode* node, const float* color) const {
  if (!node) return;
  if (m_builtIn) {
    BuildSimplexText(style, node, color);
    return;
  }
  if (!m_info) return;
  if (style.renderOutline) BuildOutlineText(style, node, color);
  if (style.renderDot) BuildBitmapDotText(style, node, color);
  if (style.renderLines) BuildBitmapRunText(style, node, color);
}

//-----------------------------------------------------------------------------
// [SECTION] Stroke font
//-----------------------------------------------------------------------------

void VectorFont::BuildSimplexText(TextStyle& style, ShapeNode* node, const float* color) const {
  const float a = style.size * 0.03f;
  style.penX = 0.0f;
  style.penY = 0.0f;
  const size_t length = TextLength(style);
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(style.text[i]);
    if (c == '\n') {
      style.penX = 0.0f;
      style.penY -= 35.0f * a;
      continue;
    }
    if (c == '\t') {
      // A zero size has no tab stops to move to.
      if (a != 0.0f) style.penX = (std::floor((style.penX + 0.001f) / a / 40.0f) + 1.0f) * 40.0f * a;
      continue;
    }
    if (c < kSimplexFirstChar || c >= kSimplexFirstChar + kSimplexGlyphCount) continue;
    const SimplexGlyph& glyph = kSimplexFont[c - kSimplexFirstChar];
    ShapeNode* child = node->AddChild();
    Polyline* stroke = nullptr;
    for (int k = 0; k < glyph.count; ++k) {
      const int x = glyph.pairs[2 * k];
      const int y = glyph.pairs[2 * k + 1];
      if (x == -1 && y == -1) {
        stroke = nullptr;
        continue;
      }
      if (!stroke) stroke = NewPolyline(child, color);
      stroke->AddPoint(glm::vec3(float(x) * a + style.penX, float(y) * a + style.penY, 0.0f));
    }
    style.penX += float(glyph.advance) * a;
  }
}

//-----------------------------------------------------------------------------
// [SECTION] TrueType outlines
//-----------------------------------------------------------------------------

namespace {

// Appends outline points in font units, placed by the glyph scale and pen.
struct OutlineWriter {
  ShapeNode* child;
  const float* color;
  float scale, penX, penY;
  BuildBudget& budget;
  Polyline* stroke = nullptr;

  static constexpr int kMaxDepth = 16;

  void Start(float x, float y) {
    stroke = NewPolyline(child, color);
    Add(x, y);
  }
  void Add(float x, float y) {
    if (!budget.Take()) return;
    if (!stroke) stroke = NewPolyline(child, color);  // a contour that does not start with a move
    stroke->AddPoint(glm::vec3(x * scale + penX, y * scale + penY, 0.0f));
  }
  void Quadratic(glm::vec2 p0, glm::vec2 p1, glm::vec2 p2, int depth) {
    if (depth > kMaxDepth) return;
    const glm::vec2 m = (p0 + 2.0f * p1 + p2) * 0.25f;
    const glm::vec2 e = (p0 + p2) * 0.5f - m;
    if (glm::dot(e, e) > 1.0f) {
      Quadratic(p0, (p0 + p1) * 0.5f, m, depth + 1);
      Quadratic(m, (p1 + p2) * 0.5f, p2, depth + 1);
    } else {
      Add(p2.x, p2.y);
    }
  }
  void Cubic(glm::vec2 p0, glm::vec2 p1, glm::vec2 p2, glm::vec2 p3, int depth) {
    if (depth > kMaxDepth) return;
    const float longLen = glm::distance(p0, p1) + glm::distance(p1, p2) + glm::distance(p2, p3);
    const float shortLen = glm::distance(p0, p3);
    if (longLen * longLen - shortLen * shortLen > 1.0f) {
      const glm::vec2 p01 = (p0 + p1) * 0.5f, p12 = (p1 + p2) * 0.5f, p23 = (p2 + p3) * 0.5f;
      const glm::vec2 p012 = (p01 + p12) * 0.5f, p123 = (p12 + p23) * 0.5f;
      const glm::vec2 mid = (p012 + p123) * 0.5f;
      Cubic(p0, p01, p012, mid, depth + 1);
      Cubic(mid, p123, p23, p3, depth + 1);
    } else {
      Add(p3.x, p3.y);
    }
  }
};

// Codes 128 and above are bytes of texts in other encodings: those the font
// has no glyph for are left out altogether.
bool SkipUnknownHighCode(unsigned char c, int glyph) { return c >= 128 && glyph == 0; }

}  // namespace

void VectorFont::BuildOutlineText(TextStyle& style, ShapeNode* node, const float* color) const {
  const stbtt_fontinfo* info = m_info.get();
  style.glyphScale = stbtt_ScaleForPixelHeight(info, style.size);
  BuildBudget budget(kMaxOutlinePoints, "outline points");
  style.penX = 0.0f;
  style.penY = 0.0f;
  const size_t length = TextLength(style);
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(style.text[i]);
    if (c == '\n') {
      style.penX = 0.0f;
      style.penY -= style.size;
      continue;
    }
    const int g = FindGlyph(c);
    if (SkipUnknownHighCode(c, g)) continue;
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(info, g, &advance, &bearing);
    if (g != 0) {
      OutlineWriter w{node->AddChild(), color, style.glyphScale, style.penX, style.penY, budget};
      stbtt_vertex* v = nullptr;
      const int n = stbtt_GetGlyphShape(info, g, &v);
      glm::vec2 prev(0.0f);
      for (int k = 0; k < n; ++k) {
        const glm::vec2 p(v[k].x, v[k].y);
        switch (v[k].type) {
          case STBTT_vmove:
            w.Start(p.x, p.y);
            break;
          case STBTT_vline:
            w.Add(p.x, p.y);
            break;
          case STBTT_vcurve:
            w.Quadratic(prev, glm::vec2(v[k].cx, v[k].cy), p, 0);
            break;
          case STBTT_vcubic:
            w.Cubic(prev, glm::vec2(v[k].cx, v[k].cy), glm::vec2(v[k].cx1, v[k].cy1), p, 0);
            break;
          default:
            break;
        }
        prev = p;
      }
      stbtt_FreeShape(info, v);
    }
    style.penX += float(advance) * style.glyphScale;
  }
}

//-----------------------------------------------------------------------------
// [SECTION] TrueType bitmaps: dots and runs
//-----------------------------------------------------------------------------

namespace {

constexpr unsigned char kLit = 128;

// A rasterised glyph, freed with the object; blank when the check finds its
// bitmap beyond the limits (or the scale not finite).
struct GlyphBitmap {
  unsigned char* pixels = nullptr;
  int w = 0, h = 0, xoff = 0, yoff = 0;

  GlyphBitmap(const stbtt_fontinfo* info, const FontCheck& check, float scale, int glyph) {
    int box[4];
    if (glyph != 0 && check.BitmapBox(*info, glyph, scale, box))
      pixels = stbtt_GetGlyphBitmapSubpixel(info, scale, scale, 0.0f, 0.0f, glyph, &w, &h, &xoff, &yoff);
    if (!pixels) w = h = 0;
  }
  ~GlyphBitmap() { stbtt_FreeBitmap(pixels, nullptr); }
  GlyphBitmap(const GlyphBitmap&) = delete;
  GlyphBitmap& operator=(const GlyphBitmap&) = delete;
  bool Lit(int col, int row) const { return pixels[row * w + col] >= kLit; }
};

void AddSegment(ShapeNode* child, const float* color, glm::vec3 a, glm::vec3 b) {
  Polyline* p = NewPolyline(child, color);
  p->AddPoint(a);
  p->AddPoint(b);
}

}  // namespace

void VectorFont::BuildBitmapDotText(TextStyle& style, ShapeNode* node, const float* color) const {
  const stbtt_fontinfo* info = m_info.get();
  // A zero raster scale gives no pixels to place.
  if (style.scale == 0.0f) return;
  style.glyphScale = stbtt_ScaleForPixelHeight(info, style.size * style.scale);
  const float halfDot = style.dotSize * 0.5f;
  BuildBudget budget(kMaxBitmapStrokes, "strokes");
  style.penX = 0.0f;
  style.penY = 0.0f;
  const size_t length = TextLength(style);
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(style.text[i]);
    if (c == '\n') {
      // Later lines go one text height lower, as in outline mode (pen y is
      // in raster pixels here).
      style.penX = 0.0f;
      style.penY -= style.size * style.scale;
      continue;
    }
    const int g = FindGlyph(c);
    if (SkipUnknownHighCode(c, g)) continue;
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(info, g, &advance, &bearing);
    const GlyphBitmap bitmap(info, m_check, style.glyphScale, g);
    ShapeNode* child = node->AddChild();
    for (int row = 0; row < bitmap.h; ++row) {
      for (int col = 0; col < bitmap.w; ++col) {
        if (!bitmap.Lit(col, row)) continue;
        if (!budget.Take()) return;
        const float x = (float(col) + 0.5f + style.penX) / style.scale;
        const float y = (style.penY - (float(row) + 0.5f + float(bitmap.yoff))) / style.scale;
        AddSegment(child, color, glm::vec3(x - halfDot, y, 0.0f), glm::vec3(x + halfDot, y, 0.0f));
      }
    }
    style.penX += float(advance) * style.glyphScale;
  }
}

void VectorFont::BuildBitmapRunText(TextStyle& style, ShapeNode* node, const float* color) const {
  const stbtt_fontinfo* info = m_info.get();
  if (style.scale == 0.0f) return;
  style.glyphScale = stbtt_ScaleForPixelHeight(info, style.size * style.scale);
  BuildBudget budget(kMaxBitmapStrokes, "strokes");
  style.penX = 0.0f;
  const size_t length = TextLength(style);
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(style.text[i]);
    const int g = FindGlyph(c);
    if (SkipUnknownHighCode(c, g)) continue;
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(info, g, &advance, &bearing);
    const GlyphBitmap bitmap(info, m_check, style.glyphScale, g);
    ShapeNode* child = node->AddChild();
    for (int row = 0; row < bitmap.h; ++row) {
      const float y = -(float(row) + float(bitmap.yoff)) / style.scale;
      for (int col = 0; col < bitmap.w;) {
        if (!bitmap.Lit(col, row)) {
          ++col;
          continue;
        }
        const int first = col;
        while (col + 1 < bitmap.w && bitmap.Lit(col + 1, row)) ++col;
        if (!budget.Take()) return;
        AddSegment(child, color, glm::vec3((float(first) + style.penX) / style.scale, y, 0.0f),
                   glm::vec3((float(col) + style.penX) / style.scale, y, 0.0f));
        ++col;
      }
    }
    style.penX += float(advance) * style.glyphScale;
  }
}

//-----------------------------------------------------------------------------
// [SECTION] Font list
//-----------------------------------------------------------------------------

VectorFontList::~VectorFontList() {
  for (VectorFont* font : m_fonts) delete font;
}

std::string FontKey(const std::string& path) {
  std::string key = ResolveDataPath(path);
  for (char& ch : key) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  NormalizePath(key);
  return key;
}

VectorFontList& GetFontCache() {
  static VectorFontList list;
  if (list.m_fonts.empty()) list.m_fonts.push_back(new VectorFont(FontKey("Simplex"), true));
  return list;
}

VectorFont* AddFont(VectorFontList& list, const std::string& path, std::unique_ptr<stbtt_fontinfo> info,
                    std::vector<unsigned char> data, FontCheck check) {
  VectorFont* font = new VectorFont(FontKey(path), false);
  font->SetTrueType(std::move(info), std::move(data), std::move(check));
  list.m_fonts.push_back(font);
  return font;
}

VectorFont* FindOrLoadFont(VectorFontList& list, const std::string& path) {
  const std::string key = FontKey(path);
  for (VectorFont* font : list.m_fonts)
    if (font->m_key == key) return font;
  std::vector<unsigned char> data;
  if (!DataPack::Get().LoadFileToVector(path, data)) {
    if (list.m_reportedMisses.insert(key).second) AppLog::Get().AddLog("[VectorFont] Font not found: %s\n", path.c_str());
    return nullptr;
  }
  auto info = std::make_unique<stbtt_fontinfo>();
  FontCheck check;
  std::string reason;
  if (!check.Open(data.data(), data.size(), *info, reason)) {
    if (list.m_reportedMisses.insert(key).second)
      AppLog::Get().AddLog("[VectorFont] Not a usable TrueType font: %s (%s)\n", path.c_str(), reason.c_str());
    return nullptr;
  }
  return AddFont(list, path, std::move(info), std::move(data), std::move(check));
}
