// Glyph atlas: fonts, glyph cache, rectangle packing and text layout.
//
// [SECTION] Context data
// [SECTION] UTF-8 decoding
// [SECTION] Atlas packing, growth and reset
// [SECTION] Glyph cache
// [SECTION] Layout and drawing
// [SECTION] Public calls
#include "render/GlyphAtlas.h"

#include "render/FontCheck.h"

#include <stb/stb_rect_pack.h>
#include <stb/stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

//-----------------------------------------------------------------------------
// [SECTION] Context data
//-----------------------------------------------------------------------------

namespace {

// Quads flushed at once: 170 glyphs of 6 vertices.
constexpr int kMaxVertices = 1020;
// Empty texels around every glyph, so linear filtering never picks up a
// neighbour's coverage.
constexpr int kGlyphPadding = 1;
// Sizes are kept in tenths of a pixel: a size animated by a float would
// otherwise rasterise a new set of glyphs every frame.
constexpr int kMaxSizeTenths = 0xFFFF;

struct Font {
  std::string name;
  std::unique_ptr<char[]> data;
  stbtt_fontinfo info{};
  FontCheck check;  // stb_truetype trusts the font: every glyph goes through it
  int ascent = 0, descent = 0, lineGap = 0;  // font units
};

struct Glyph {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // bitmap in the atlas, padding excluded; empty for blanks
  int xoff = 0, yoff = 0;              // bitmap's top-left from the pen on the baseline, y down
};

}  // namespace

struct FONScontext {
  FONSparams params;
  int width = 0, height = 0;
  std::vector<unsigned char> texels;
  stbrp_context packer{};
  std::vector<stbrp_node> nodes;
  std::vector<Font> fonts;
  std::unordered_map<uint64_t, Glyph> glyphs;
  FONSstate state;
  int dirty[4] = {0, 0, 0, 0};  // x0, y0, x1, y1; empty when x0 >= x1
  int nverts = 0;
  float verts[kMaxVertices * 2];
  float tcoords[kMaxVertices * 2];
  unsigned int colors[kMaxVertices];
};

namespace {

//-----------------------------------------------------------------------------
// [SECTION] UTF-8 decoding
//-----------------------------------------------------------------------------

constexpr uint32_t kReplacement = 0xFFFD;

// Decodes one code point at s and moves s past it. A malformed sequence
// (stray continuation byte, truncated, overlong, surrogate or above U+10FFFF)
// yields U+FFFD and consumes one byte, so the walk always advances.
uint32_t DecodeUtf8(const char*& s, const char* end) {
  const unsigned char c = static_cast<unsigned char>(*s);
  if (c < 0x80) {
    ++s;
    return c;
  }
  int extra = 0;
  uint32_t cp = 0, min = 0;
  if ((c & 0xE0) == 0xC0) {
    extra = 1, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3, cp = c & 0x07, min = 0x10000;
  } else {
    ++s;
    return kReplacement;
  }
  if (end - s <= extra) {
    ++s;
    return kReplacement;
  }
  for (int i = 1; i <= extra; ++i) {
    const unsigned char cc = static_cast<unsigned char>(s[i]);
    if ((cc & 0xC0) != 0x80) {
      ++s;
      return kReplacement;
    }
    cp = cp << 6 | (cc & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++s;
    return kReplacement;
  }
  s += extra + 1;
  return cp;
}

//-----------------------------------------------------------------------------
// [SECTION] Atlas packing, growth and reset
//-----------------------------------------------------------------------------

void ResetPacker(FONScontext* ctx) {
  ctx->nodes.assign(static_cast<size_t>(ctx->width), stbrp_node{});
  stbrp_init_target(&ctx->packer, ctx->width, ctx->height, ctx->nodes.data(), ctx->width);
}

bool PackRect(FONScontext* ctx, int w, int h, int* x, int* y) {
  stbrp_rect r{};
  r.w = w;
  r.h = h;
  stbrp_pack_rects(&ctx->packer, &r, 1);
  if (!r.was_packed) return false;
  *x = r.x;
  *y = r.y;
  return true;
}

void MarkDirty(FONScontext* ctx, int x0, int y0, int x1, int y1) {
  if (ctx->dirty[0] >= ctx->dirty[2]) {
    ctx->dirty[0] = x0, ctx->dirty[1] = y0, ctx->dirty[2] = x1, ctx->dirty[3] = y1;
    return;
  }
  ctx->dirty[0] = std::min(ctx->dirty[0], x0);
  ctx->dirty[1] = std::min(ctx->dirty[1], y0);
  ctx->dirty[2] = std::max(ctx->dirty[2], x1);
  ctx->dirty[3] = std::max(ctx->dirty[3], y1);
}

// Hands the changed atlas rectangle, then the pending quads, to the backend.
// The upload comes first: the quads may use glyphs added since the last one.
void Flush(FONScontext* ctx) {
  if (ctx->dirty[0] < ctx->dirty[2] && ctx->dirty[1] < ctx->dirty[3]) {
    if (ctx->params.renderUpdate) ctx->params.renderUpdate(ctx->params.userPtr, ctx->dirty, ctx->texels.data());
  }
  ctx->dirty[0] = ctx->dirty[1] = ctx->dirty[2] = ctx->dirty[3] = 0;
  if (ctx->nverts > 0 && ctx->params.renderDraw) {
    ctx->params.renderDraw(ctx->params.userPtr, ctx->verts, ctx->tcoords, ctx->colors, ctx->nverts);
  }
  ctx->nverts = 0;
}

// Forgets every glyph; the texels stay until new glyphs overwrite them (each
// glyph clears its own padded rectangle).
void ResetAtlas(FONScontext* ctx) {
  Flush(ctx);
  ctx->glyphs.clear();
  ResetPacker(ctx);
}

// Doubles the atlas up to kGlyphAtlasMaxSize on each side. The old contents
// keep their place in the top-left corner, reserved as one rectangle in the
// new packer, so cached glyphs stay valid. The backend remakes its texture
// empty at the new size, hence the whole atlas is uploaded at the next flush.
bool GrowAtlas(FONScontext* ctx) {
  const int oldW = ctx->width, oldH = ctx->height;
  const int newW = std::min(oldW * 2, kGlyphAtlasMaxSize), newH = std::min(oldH * 2, kGlyphAtlasMaxSize);
  if (newW == oldW && newH == oldH) return false;
  // Pending quads carry texture coordinates of the old size.
  Flush(ctx);
  std::vector<unsigned char> grown(static_cast<size_t>(newW) * newH, 0);
  for (int y = 0; y < oldH; ++y) {
    std::memcpy(&grown[static_cast<size_t>(y) * newW], &ctx->texels[static_cast<size_t>(y) * oldW],
                static_cast<size_t>(oldW));
  }
  ctx->texels.swap(grown);
  ctx->width = newW;
  ctx->height = newH;
  ResetPacker(ctx);
  int x = -1, y = -1;
  // An empty skyline puts its first rectangle at the origin; anything else
  // would move the cached glyphs, so they are dropped instead.
  if (!PackRect(ctx, oldW, oldH, &x, &y) || x != 0 || y != 0) {
    ctx->glyphs.clear();
    ResetPacker(ctx);
  }
  if (ctx->params.renderResize) ctx->params.renderResize(ctx->params.userPtr, newW, newH);
  MarkDirty(ctx, 0, 0, newW, newH);
  return true;
}

//-----------------------------------------------------------------------------
// [SECTION] Glyph cache
//-----------------------------------------------------------------------------

uint64_t GlyphKey(int font, int sizeTenths, int glyphIndex) {
  return static_cast<uint64_t>(font) << 48 | static_cast<uint64_t>(sizeTenths) << 32 |
         static_cast<uint32_t>(glyphIndex);
}

// The cached glyph, rasterised into the atlas on first use; null when its
// bitmap cannot fit even the largest atlas.
const Glyph* GetGlyph(FONScontext* ctx, int fontId, int sizeTenths, float scale, int glyphIndex) {
  const uint64_t key = GlyphKey(fontId, sizeTenths, glyphIndex);
  auto found = ctx->glyphs.find(key);
  if (found != ctx->glyphs.end()) return &found->second;

  const Font& font = ctx->fonts[static_cast<size_t>(fontId)];
  const stbtt_fontinfo& info = font.info;
  // A glyph the check refuses, or whose bitmap is beyond its limits, stays
  // blank.
  int box[4] = {0, 0, 0, 0};
  if (!font.check.BitmapBox(info, glyphIndex, scale, box)) box[0] = box[1] = box[2] = box[3] = 0;
  Glyph glyph;
  glyph.xoff = box[0];
  glyph.yoff = box[1];
  const int gw = box[2] - box[0], gh = box[3] - box[1];
  if (gw > 0 && gh > 0) {
    const int pw = gw + 2 * kGlyphPadding, ph = gh + 2 * kGlyphPadding;
    if (pw > kGlyphAtlasMaxSize || ph > kGlyphAtlasMaxSize) return nullptr;
    int px = 0, py = 0;
    while (!PackRect(ctx, pw, ph, &px, &py)) {
      if (GrowAtlas(ctx)) continue;
      ResetAtlas(ctx);
      if (!PackRect(ctx, pw, ph, &px, &py)) return nullptr;
      break;
    }
    for (int y = py; y < py + ph; ++y) {
      std::memset(&ctx->texels[static_cast<size_t>(y) * ctx->width + px], 0, static_cast<size_t>(pw));
    }
    glyph.x0 = px + kGlyphPadding;
    glyph.y0 = py + kGlyphPadding;
    glyph.x1 = glyph.x0 + gw;
    glyph.y1 = glyph.y0 + gh;
    stbtt_MakeGlyphBitmap(&info, &ctx->texels[static_cast<size_t>(glyph.y0) * ctx->width + glyph.x0], gw, gh,
                          ctx->width, scale, scale, glyphIndex);
    MarkDirty(ctx, px, py, px + pw, py + ph);
  }
  return &ctx->glyphs.emplace(key, glyph).first->second;
}

//-----------------------------------------------------------------------------
// [SECTION] Layout and drawing
//-----------------------------------------------------------------------------

// The current font and its scale, or null when no text can be laid out.
const Font* CurrentFont(FONScontext* ctx, int* sizeTenths, float* scale) {
  if (!ctx) return nullptr;
  const int id = ctx->state.font;
  if (id < 0 || id >= static_cast<int>(ctx->fonts.size())) return nullptr;
  const float tenths = std::round(ctx->state.size * 10.0f);
  if (!(tenths >= 1.0f)) return nullptr;
  *sizeTenths = static_cast<int>(std::min(tenths, static_cast<float>(kMaxSizeTenths)));
  const Font& font = ctx->fonts[static_cast<size_t>(id)];
  *scale = stbtt_ScaleForPixelHeight(&font.info, static_cast<float>(*sizeTenths) / 10.0f);
  return &font;
}

// Walks the text as the pen moves: kerning before each glyph, its advance
// after. `visit` gets the glyph index and the pen position on the baseline.
template <class Visit>
float WalkText(const Font& font, float scale, float x, const char* s, const char* end, Visit visit) {
  int previous = -1;
  while (s < end) {
    const uint32_t cp = DecodeUtf8(s, end);
    const int glyph = font.check.FindGlyph(font.info, cp);
    if (previous >= 0) x += static_cast<float>(stbtt_GetGlyphKernAdvance(&font.info, previous, glyph)) * scale;
    visit(glyph, x);
    int advance = 0, bearing = 0;
    stbtt_GetGlyphHMetrics(&font.info, glyph, &advance, &bearing);
    x += static_cast<float>(advance) * scale;
    previous = glyph;
  }
  return x;
}

const char* TextEnd(const char* str, const char* end) { return end ? end : str + std::strlen(str); }

// Distance from the draw position down (top-left origin) to the baseline.
float BaselineOffset(const Font& font, float scale, int align) {
  if (align & FONS_ALIGN_TOP) return static_cast<float>(font.ascent) * scale;
  if (align & FONS_ALIGN_MIDDLE) return static_cast<float>(font.ascent + font.descent) * 0.5f * scale;
  if (align & FONS_ALIGN_BOTTOM) return static_cast<float>(font.descent) * scale;
  return 0.0f;
}

void PushVertex(FONScontext* ctx, float x, float y, float s, float t) {
  const int i = ctx->nverts++;
  ctx->verts[i * 2] = x;
  ctx->verts[i * 2 + 1] = y;
  ctx->tcoords[i * 2] = s;
  ctx->tcoords[i * 2 + 1] = t;
  ctx->colors[i] = ctx->state.color;
}

// One glyph quad at the pen. The bitmap lands on whole pixels so that each
// texel covers one pixel and the text stays sharp.
void PushGlyphQuad(FONScontext* ctx, const Glyph& g, float penX, float baseline) {
  if (g.x1 <= g.x0 || g.y1 <= g.y0) return;
  if (ctx->nverts + 6 > kMaxVertices) Flush(ctx);
  const float w = static_cast<float>(g.x1 - g.x0), h = static_cast<float>(g.y1 - g.y0);
  const float x0 = std::floor(penX + 0.5f) + static_cast<float>(g.xoff);
  const float x1 = x0 + w;
  const bool down = (ctx->params.flags & FONS_ZERO_BOTTOMLEFT) == 0;
  const float top = down ? baseline + static_cast<float>(g.yoff) : baseline - static_cast<float>(g.yoff);
  const float bottom = down ? top + h : top - h;
  const float iw = 1.0f / static_cast<float>(ctx->width), ih = 1.0f / static_cast<float>(ctx->height);
  const float s0 = static_cast<float>(g.x0) * iw, s1 = static_cast<float>(g.x1) * iw;
  const float t0 = static_cast<float>(g.y0) * ih, t1 = static_cast<float>(g.y1) * ih;
  PushVertex(ctx, x0, top, s0, t0);
  PushVertex(ctx, x1, bottom, s1, t1);
  PushVertex(ctx, x1, top, s1, t0);
  PushVertex(ctx, x0, top, s0, t0);
  PushVertex(ctx, x0, bottom, s0, t1);
  PushVertex(ctx, x1, bottom, s1, t1);
}

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] Public calls
//-----------------------------------------------------------------------------

FONScontext* fonsCreateInternal(const FONSparams* params) {
  if (!params) return nullptr;
  // A request above the largest atlas (a large DPI setting) gets the largest.
  const int width = std::min(params->width, kGlyphAtlasMaxSize), height = std::min(params->height, kGlyphAtlasMaxSize);
  if (width < 1 || height < 1 || (params->renderCreate && !params->renderCreate(params->userPtr, width, height))) {
    if (params->renderDelete) params->renderDelete(params->userPtr);
    return nullptr;
  }
  FONScontext* ctx = new FONScontext();
  ctx->params = *params;
  ctx->width = width;
  ctx->height = height;
  ctx->texels.assign(static_cast<size_t>(width) * height, 0);
  ResetPacker(ctx);
  return ctx;
}

void fonsDeleteInternal(FONScontext* ctx) {
  if (!ctx) return;
  if (ctx->params.renderDelete) ctx->params.renderDelete(ctx->params.userPtr);
  delete ctx;
}

int fonsAddFontMem(FONScontext* ctx, const char* name, std::unique_ptr<char[]> data, int dataSize,
                   std::string* reason) {
  std::string why;
  if (!reason) reason = &why;
  if (!ctx) return FONS_INVALID;
  // Font ids share the glyph key with the size and glyph index.
  if (ctx->fonts.size() >= 0xFFFF) return *reason = "too many fonts", FONS_INVALID;
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.get());
  Font font;
  font.name = name ? name : "";
  if (dataSize < 0 || !font.check.Open(bytes, static_cast<size_t>(dataSize), font.info, *reason)) return FONS_INVALID;
  stbtt_GetFontVMetrics(&font.info, &font.ascent, &font.descent, &font.lineGap);
  font.data = std::move(data);  // the heap block does not move: info keeps pointing into it
  ctx->fonts.push_back(std::move(font));
  return static_cast<int>(ctx->fonts.size()) - 1;
}

void fonsSetFont(FONScontext* ctx, int font) {
  if (ctx) ctx->state.font = font;
}
void fonsSetSize(FONScontext* ctx, float size) {
  if (ctx) ctx->state.size = size;
}
void fonsSetColor(FONScontext* ctx, unsigned int color) {
  if (ctx) ctx->state.color = color;
}
void fonsSetAlign(FONScontext* ctx, int align) {
  if (ctx) ctx->state.align = align;
}

float fonsTextWidth(FONScontext* ctx, const char* str, const char* end) {
  int tenths = 0;
  float scale = 0.0f;
  const Font* font = CurrentFont(ctx, &tenths, &scale);
  if (!font || !str) return 0.0f;
  return WalkText(*font, scale, 0.0f, str, TextEnd(str, end), [](int, float) {});
}

float fonsDrawText(FONScontext* ctx, float x, float y, const char* str, const char* end) {
  int tenths = 0;
  float scale = 0.0f;
  const Font* font = CurrentFont(ctx, &tenths, &scale);
  if (!font || !str) return x;
  end = TextEnd(str, end);
  const int align = ctx->state.align;
  if (align & (FONS_ALIGN_CENTER | FONS_ALIGN_RIGHT)) {
    const float width = fonsTextWidth(ctx, str, end);
    x -= (align & FONS_ALIGN_CENTER) ? width * 0.5f : width;
  }
  const float down = BaselineOffset(*font, scale, align);
  const bool topLeft = (ctx->params.flags & FONS_ZERO_BOTTOMLEFT) == 0;
  const float baseline = std::floor((topLeft ? y + down : y - down) + 0.5f);
  const int fontId = ctx->state.font;
  const float penEnd = WalkText(*font, scale, x, str, end, [&](int glyphIndex, float penX) {
    if (const Glyph* g = GetGlyph(ctx, fontId, tenths, scale, glyphIndex)) PushGlyphQuad(ctx, *g, penX, baseline);
  });
  Flush(ctx);
  return penEnd;
}

void fonsVertMetrics(FONScontext* ctx, float* ascender, float* descender, float* lineh) {
  int tenths = 0;
  float scale = 0.0f;
  const Font* font = CurrentFont(ctx, &tenths, &scale);
  const float a = font ? static_cast<float>(font->ascent) * scale : 0.0f;
  const float d = font ? static_cast<float>(font->descent) * scale : 0.0f;
  const float g = font ? static_cast<float>(font->lineGap) * scale : 0.0f;
  if (ascender) *ascender = a;
  if (descender) *descender = d;
  if (lineh) *lineh = a - d + g;
}

void fonsGetAtlasSize(FONScontext* ctx, int* width, int* height) {
  if (width) *width = ctx ? ctx->width : 0;
  if (height) *height = ctx ? ctx->height : 0;
}

const unsigned char* fonsGetAtlasData(FONScontext* ctx) { return ctx ? ctx->texels.data() : nullptr; }

int fonsGetGlyphCount(FONScontext* ctx) { return ctx ? static_cast<int>(ctx->glyphs.size()) : 0; }
