// Vector text and the font list.
//
// [SECTION] Font file checks (stb_truetype trusts its input)
// [SECTION] VectorFont
// [SECTION] Stroke font
// [SECTION] TrueType outlines
// [SECTION] TrueType bitmaps: dots and runs
// [SECTION] Font list
//
// stb_truetype reads wherever the tables of a font point and knows nothing of
// the file's length, so every font is checked before it is parsed (table
// directory, the tables it reads, the character map) and every glyph before
// its shape or bitmap is made (location, outline data, composites). A font
// that fails is a miss; a glyph that fails is a glyph the font does not have.
#include "render/VectorFont.h"

#include <stb/stb_truetype.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "Loader/AssetPath.h"
#include "Loader/DataPack.h"
#include "core/AppLog.h"
#include "render/ShapeNode.h"
#include "render/SimplexFont.h"

//-----------------------------------------------------------------------------
// [SECTION] Font file checks (stb_truetype trusts its input)
//-----------------------------------------------------------------------------

namespace {

struct FontBytes {
  const unsigned char* data;
  size_t size;

  bool Has(size_t offset, size_t length) const { return offset <= size && length <= size - offset; }
  uint16_t U16(size_t o) const { return static_cast<uint16_t>(data[o] << 8 | data[o + 1]); }
  int16_t I16(size_t o) const { return static_cast<int16_t>(U16(o)); }
  uint32_t U32(size_t o) const { return static_cast<uint32_t>(U16(o)) << 16 | U16(o + 2); }
};

struct Table {
  size_t offset = 0;
  size_t length = 0;
  bool found = false;
};

// The tables stb_truetype reads for outlines, bitmaps and metrics.
struct FontTables {
  Table cmap, head, hhea, hmtx, maxp, loca, glyf;
  size_t indexMap = 0;  // the character map subtable stb_truetype chose
  int numGlyphs = 0;
  int numLongMetrics = 0;
  int locFormat = 0;
};

bool ReadTables(const FontBytes& f, size_t fontStart, FontTables& t) {
  if (!f.Has(fontStart, 12)) return false;
  const size_t count = f.U16(fontStart + 4);
  if (!f.Has(fontStart + 12, count * 16)) return false;
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = fontStart + 12 + i * 16;
    Table table;
    table.offset = f.U32(entry + 8);
    table.length = f.U32(entry + 12);
    table.found = true;
    if (!f.Has(table.offset, table.length)) return false;
    const char* tag = reinterpret_cast<const char*>(f.data + entry);
    for (auto [name, slot] : {std::pair<const char*, Table*>{"cmap", &t.cmap}, {"head", &t.head}, {"hhea", &t.hhea},
                              {"hmtx", &t.hmtx}, {"maxp", &t.maxp}, {"loca", &t.loca}, {"glyf", &t.glyf}}) {
      if (std::memcmp(tag, name, 4) == 0) *slot = table;
    }
  }
  for (const Table* table : {&t.cmap, &t.head, &t.hhea, &t.hmtx, &t.maxp, &t.loca, &t.glyf})
    if (!table->found) return false;
  if (t.head.length < 54 || t.hhea.length < 36 || t.maxp.length < 6 || t.cmap.length < 4) return false;
  t.numGlyphs = f.U16(t.maxp.offset + 4);
  t.numLongMetrics = f.U16(t.hhea.offset + 34);
  t.locFormat = f.I16(t.head.offset + 50);
  if (t.numLongMetrics == 0 || t.hmtx.length < static_cast<size_t>(t.numLongMetrics) * 4) return false;
  return true;
}

// The subtable stb_truetype will use must lie inside the character map, with
// the arrays its lookup walks.
bool CheckIndexMap(const FontBytes& f, const FontTables& t, size_t indexMap) {
  const size_t end = t.cmap.offset + t.cmap.length;
  if (indexMap < t.cmap.offset || !f.Has(indexMap, 8) || indexMap + 8 > end) return false;
  const uint16_t format = f.U16(indexMap);
  size_t length = 0;
  size_t needed = 0;
  switch (format) {
    case 0:
      length = f.U16(indexMap + 2);
      needed = 6 + 256;
      break;
    case 4:
      length = f.U16(indexMap + 2);
      needed = 16 + 4 * static_cast<size_t>(f.U16(indexMap + 6) / 2) * 2;
      break;
    case 6:
      length = f.U16(indexMap + 2);
      needed = 10 + 2 * static_cast<size_t>(f.U16(indexMap + 8));
      break;
    case 12:
    case 13:
      if (indexMap + 16 > end) return false;
      length = f.U32(indexMap + 4);
      needed = 16 + 12 * static_cast<size_t>(f.U32(indexMap + 12));
      break;
    default:
      return false;  // format 2 and others: stb_truetype has no lookup for them
  }
  return needed <= length && indexMap + length <= end;
}

// Where glyph g's data lies in the glyf table; false when outside it.
bool GlyphRange(const FontBytes& f, const FontTables& t, int g, size_t& start, size_t& end) {
  if (g < 0 || g >= t.numGlyphs) return false;
  const size_t gi = static_cast<size_t>(g);
  if (t.locFormat == 0) {
    if (t.loca.length < (gi + 2) * 2) return false;
    start = static_cast<size_t>(f.U16(t.loca.offset + gi * 2)) * 2;
    end = static_cast<size_t>(f.U16(t.loca.offset + gi * 2 + 2)) * 2;
  } else {
    if (t.loca.length < (gi + 2) * 4) return false;
    start = f.U32(t.loca.offset + gi * 4);
    end = f.U32(t.loca.offset + gi * 4 + 4);
  }
  return start <= end && end <= t.glyf.length;
}

// A simple glyph's contour ends, instructions, flags and coordinates all lie
// inside its data.
bool CheckSimpleGlyph(const FontBytes& f, size_t at, size_t length, int contours) {
  size_t p = 10 + 2 * static_cast<size_t>(contours);
  if (p + 2 > length) return false;
  const size_t points = static_cast<size_t>(f.U16(at + p - 2)) + 1;
  p += 2 + f.U16(at + p);
  size_t xBytes = 0, yBytes = 0;
  for (size_t n = 0; n < points;) {
    if (p >= length) return false;
    const uint8_t flag = f.data[at + p++];
    size_t repeat = 1;
    if (flag & 8) {
      if (p >= length) return false;
      repeat += f.data[at + p++];
    }
    const size_t xs = (flag & 2) ? 1 : ((flag & 16) ? 0 : 2);
    const size_t ys = (flag & 4) ? 1 : ((flag & 32) ? 0 : 2);
    xBytes += xs * repeat;
    yBytes += ys * repeat;
    n += repeat;
  }
  return p + xBytes + yBytes <= length;
}

bool CheckGlyph(const FontBytes& f, const FontTables& t, int g, int depth = 0) {
  size_t start = 0, end = 0;
  if (!GlyphRange(f, t, g, start, end)) return false;
  // Horizontal metrics of glyphs past the long ones sit after them.
  if (g >= t.numLongMetrics &&
      t.hmtx.length < static_cast<size_t>(t.numLongMetrics) * 4 + static_cast<size_t>(g - t.numLongMetrics + 1) * 2)
    return false;
  const size_t length = end - start;
  if (length == 0) return true;  // an empty glyph (a space)
  if (length < 10) return false;
  const size_t at = t.glyf.offset + start;
  const int contours = f.I16(at);
  if (contours >= 0) return contours == 0 || CheckSimpleGlyph(f, at, length, contours);
  // Composite: every component is a glyph that passes too.
  if (depth > 4) return false;
  size_t p = 10;
  for (;;) {
    if (p + 4 > length) return false;
    const uint16_t flags = f.U16(at + p);
    if (!CheckGlyph(f, t, f.U16(at + p + 2), depth + 1)) return false;
    p += 4 + ((flags & 1) ? 4 : 2);
    if (flags & 8) p += 2;
    else if (flags & 0x40) p += 4;
    else if (flags & 0x80) p += 8;
    if (!(flags & 0x20)) return p <= length;
  }
}

// Parses the font at offset 0 of the file when its tables hold together.
std::unique_ptr<stbtt_fontinfo> ParseFont(const std::vector<unsigned char>& data, FontTables& tables) {
  const FontBytes f{data.data(), data.size()};
  // The collection header is read before any length is known.
  if (data.size() < 16) return nullptr;
  const int start = stbtt_GetFontOffsetForIndex(data.data(), 0);
  if (start < 0 || !ReadTables(f, static_cast<size_t>(start), tables)) return nullptr;
  auto info = std::make_unique<stbtt_fontinfo>();
  if (!stbtt_InitFont(info.get(), data.data(), start)) return nullptr;
  if (!CheckIndexMap(f, tables, static_cast<size_t>(info->index_map))) return nullptr;
  return info;
}

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] VectorFont
//-----------------------------------------------------------------------------

VectorFont::VectorFont(const std::string& key, bool builtIn) : m_builtIn(builtIn ? 1 : 0), m_key(key) {}

VectorFont::~VectorFont() = default;

void VectorFont::SetTrueType(std::unique_ptr<stbtt_fontinfo> info, std::vector<unsigned char> data) {
  m_data = std::move(data);
  m_info = std::move(info);
}

int VectorFont::FindGlyph(unsigned int code) const {
  if (!m_info) return 0;
  const int g = stbtt_FindGlyphIndex(m_info.get(), static_cast<int>(code));
  if (g == 0) return 0;
  const FontBytes f{m_data.data(), m_data.size()};
  FontTables tables;
  if (!ReadTables(f, static_cast<size_t>(m_info->fontstart), tables) || !CheckGlyph(f, tables, g)) return 0;
  return g;
}

namespace {

// The text a build walks: cut to the largest size a build takes.
size_t TextLength(const TextStyle& style) {
  if (style.text.size() <= VectorFont::kMaxTextBytes) return style.text.size();
  AppLog::Get().AddLog("[VectorFont] Text of %zu bytes cut to %zu\n", style.text.size(), VectorFont::kMaxTextBytes);
  return VectorFont::kMaxTextBytes;
}

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
  Polyline* stroke = nullptr;

  static constexpr int kMaxDepth = 16;

  void Start(float x, float y) {
    stroke = NewPolyline(child, color);
    Add(x, y);
  }
  void Add(float x, float y) {
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
      OutlineWriter w{node->AddChild(), color, style.glyphScale, style.penX, style.penY};
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

// A rasterised glyph, freed with the object.
struct GlyphBitmap {
  unsigned char* pixels = nullptr;
  int w = 0, h = 0, xoff = 0, yoff = 0;

  GlyphBitmap(const stbtt_fontinfo* info, float scale, int glyph) {
    if (glyph != 0) pixels = stbtt_GetGlyphBitmapSubpixel(info, scale, scale, 0.0f, 0.0f, glyph, &w, &h, &xoff, &yoff);
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
    const GlyphBitmap bitmap(info, style.glyphScale, g);
    ShapeNode* child = node->AddChild();
    for (int row = 0; row < bitmap.h; ++row) {
      for (int col = 0; col < bitmap.w; ++col) {
        if (!bitmap.Lit(col, row)) continue;
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
  style.penX = 0.0f;
  const size_t length = TextLength(style);
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(style.text[i]);
    const int g = FindGlyph(c);
    if (SkipUnknownHighCode(c, g)) continue;
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(info, g, &advance, &bearing);
    const GlyphBitmap bitmap(info, style.glyphScale, g);
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
                    std::vector<unsigned char> data) {
  VectorFont* font = new VectorFont(FontKey(path), false);
  font->SetTrueType(std::move(info), std::move(data));
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
  FontTables tables;
  std::unique_ptr<stbtt_fontinfo> info = ParseFont(data, tables);
  if (!info) {
    if (list.m_reportedMisses.insert(key).second)
      AppLog::Get().AddLog("[VectorFont] Not a usable TrueType font: %s\n", path.c_str());
    return nullptr;
  }
  return AddFont(list, path, std::move(info), std::move(data));
}
