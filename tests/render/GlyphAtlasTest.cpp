// The glyph atlas on the CPU: layout against stb_truetype's own metrics,
// packing, growth, reset, flushing, and input that is not a font or not
// valid UTF-8. A shadow backend plays the GL texture: it applies every
// update rectangle to its own copy and, at each draw, reads the texels under
// every quad, so a glyph drawn from a stale or missing upload shows up.
#include <gtest/gtest.h>
#include <stb/stb_truetype.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "render/GlyphAtlas.h"

namespace {

const char* const kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::string ReadBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The font with the tag of one table record changed, so the table is gone.
std::string Renamed(std::string font, const char* tag, const char* to) {
  const size_t tables = static_cast<unsigned char>(font[4]) << 8 | static_cast<unsigned char>(font[5]);
  for (size_t i = 0; i < tables; ++i)
    if (font.compare(12 + 16 * i, 4, tag) == 0) font.replace(12 + 16 * i, 4, to);
  return font;
}

std::unique_ptr<char[]> Buffer(const std::string& bytes) {
  std::unique_ptr<char[]> data(new char[bytes.size() + 1]);
  std::memcpy(data.get(), bytes.data(), bytes.size());
  data[bytes.size()] = 0;
  return data;
}

struct Quad {
  float x0, y0, x1, y1;                 // positions of the first and last corner
  int s0, t0, s1, t1;                   // texel rectangle in the atlas
  std::vector<unsigned char> texels;    // as the backend's texture held them at the draw
  unsigned int color;
};

struct ShadowBackend {
  int width = 0, height = 0;
  std::vector<unsigned char> texture;
  int creates = 0, deletes = 0, updates = 0, draws = 0;
  std::vector<std::pair<int, int>> resizes;
  std::vector<std::array<int, 4>> updateRects;
  std::vector<Quad> quads;
  bool failCreate = false;

  static int Create(void* u, int w, int h) {
    auto* b = static_cast<ShadowBackend*>(u);
    ++b->creates;
    if (b->failCreate) return 0;
    b->width = w, b->height = h;
    b->texture.assign(static_cast<size_t>(w) * h, 0);
    return 1;
  }
  static int Resize(void* u, int w, int h) {
    auto* b = static_cast<ShadowBackend*>(u);
    b->resizes.push_back({w, h});
    b->width = w, b->height = h;
    b->texture.assign(static_cast<size_t>(w) * h, 0);  // remade empty, like the GL texture
    return 1;
  }
  static void Update(void* u, int* r, const unsigned char* data) {
    auto* b = static_cast<ShadowBackend*>(u);
    ++b->updates;
    b->updateRects.push_back({r[0], r[1], r[2], r[3]});
    for (int y = r[1]; y < r[3]; ++y) {
      std::memcpy(&b->texture[static_cast<size_t>(y) * b->width + r[0]], &data[static_cast<size_t>(y) * b->width + r[0]],
                  static_cast<size_t>(r[2] - r[0]));
    }
  }
  static void Draw(void* u, const float* v, const float* t, const unsigned int* c, int n) {
    auto* b = static_cast<ShadowBackend*>(u);
    ++b->draws;
    EXPECT_EQ(n % 6, 0);
    for (int i = 0; i + 5 < n; i += 6) {
      // Corners 0 and 1 of each quad are opposite: (x0, top) and (x1, bottom).
      Quad q{v[i * 2], v[i * 2 + 1], v[i * 2 + 2], v[i * 2 + 3],
             static_cast<int>(std::lround(t[i * 2] * b->width)), static_cast<int>(std::lround(t[i * 2 + 1] * b->height)),
             static_cast<int>(std::lround(t[i * 2 + 2] * b->width)), static_cast<int>(std::lround(t[i * 2 + 3] * b->height)),
             {}, c[i]};
      for (int y = q.t0; y < q.t1; ++y)
        for (int x = q.s0; x < q.s1; ++x) q.texels.push_back(b->texture[static_cast<size_t>(y) * b->width + x]);
      b->quads.push_back(std::move(q));
    }
  }
  static void Delete(void* u) { ++static_cast<ShadowBackend*>(u)->deletes; }

  FONSparams Params(int w, int h, unsigned char flags = FONS_ZERO_TOPLEFT) {
    FONSparams p;
    p.width = w;
    p.height = h;
    p.flags = flags;
    p.userPtr = this;
    p.renderCreate = Create;
    p.renderResize = Resize;
    p.renderUpdate = Update;
    p.renderDraw = Draw;
    p.renderDelete = Delete;
    return p;
  }
};

// stb_truetype as the reference: the font as the atlas should see it.
struct Reference {
  std::string bytes = ReadBytes(kFontPath);
  stbtt_fontinfo info{};
  Reference() { stbtt_InitFont(&info, reinterpret_cast<const unsigned char*>(bytes.data()), 0); }
  float Scale(float px) const { return stbtt_ScaleForPixelHeight(&info, px); }
  // Pen advance of a run of code points, kerning included.
  float Width(const std::vector<int>& cps, float px) const {
    const float s = Scale(px);
    float x = 0;
    int prev = -1;
    for (int cp : cps) {
      const int g = stbtt_FindGlyphIndex(&info, cp);
      if (prev >= 0) x += stbtt_GetGlyphKernAdvance(&info, prev, g) * s;
      int adv = 0, lsb = 0;
      stbtt_GetGlyphHMetrics(&info, g, &adv, &lsb);
      x += adv * s;
      prev = g;
    }
    return x;
  }
  std::vector<unsigned char> Bitmap(int cp, float px, int* w, int* h, int* xoff, int* yoff) const {
    const float s = Scale(px);
    unsigned char* bmp = stbtt_GetCodepointBitmap(&info, s, s, cp, w, h, xoff, yoff);
    std::vector<unsigned char> out(bmp, bmp + static_cast<size_t>(*w) * *h);
    stbtt_FreeBitmap(bmp, nullptr);
    return out;
  }
  bool HasInk(int cp, float px) const {
    int x0, y0, x1, y1;
    stbtt_GetCodepointBitmapBox(&info, cp, Scale(px), Scale(px), &x0, &y0, &x1, &y1);
    return x1 > x0 && y1 > y0;
  }
};

class GlyphAtlas : public ::testing::Test {
 protected:
  void TearDown() override { fonsDeleteInternal(ctx); }
  void Make(int w, int h, unsigned char flags = FONS_ZERO_TOPLEFT) {
    FONSparams p = backend.Params(w, h, flags);
    ctx = fonsCreateInternal(&p);
    ASSERT_NE(ctx, nullptr);
    font = fonsAddFontMem(ctx, "sans", Buffer(ref.bytes), static_cast<int>(ref.bytes.size()));
    ASSERT_NE(font, FONS_INVALID);
    fonsSetFont(ctx, font);
  }
  // Every quad must show exactly the glyph stb_truetype rasterises for the
  // code point, in string order (blank glyphs have no quad), from quad
  // `firstQuad` on; returns the index after the last quad checked.
  size_t ExpectQuadsShow(const std::vector<int>& cps, float px, size_t firstQuad = 0) {
    size_t q = firstQuad;
    for (int cp : cps) {
      if (!ref.HasInk(cp, px)) continue;
      EXPECT_LT(q, backend.quads.size()) << "missing quad for U+" << std::hex << cp;
      if (q >= backend.quads.size()) return q;
      int w, h, xo, yo;
      const auto want = ref.Bitmap(cp, px, &w, &h, &xo, &yo);
      const Quad& quad = backend.quads[q++];
      EXPECT_EQ(quad.s1 - quad.s0, w) << "U+" << std::hex << cp;
      EXPECT_EQ(quad.t1 - quad.t0, h) << "U+" << std::hex << cp;
      EXPECT_EQ(quad.texels, want) << "atlas texels of U+" << std::hex << cp << " differ from stb_truetype's bitmap";
    }
    return q;
  }
  void ExpectAllQuadsShow(const std::vector<int>& cps, float px) {
    EXPECT_EQ(ExpectQuadsShow(cps, px), backend.quads.size());
  }

  Reference ref;
  ShadowBackend backend;
  FONScontext* ctx = nullptr;
  int font = FONS_INVALID;
};

std::vector<int> Codepoints(const char* ascii) {
  std::vector<int> cps;
  for (const char* p = ascii; *p; ++p) cps.push_back(static_cast<unsigned char>(*p));
  return cps;
}

}  // namespace

TEST_F(GlyphAtlas, MeasuredWidthsAreStbTruetypeAdvancesWithKerning) {
  Make(256, 256);
  struct Case {
    const char* utf8;
    std::vector<int> cps;
    float px;
  } cases[] = {
      {"", {}, 16.0f},
      {"A", {'A'}, 16.0f},
      {"AV", {'A', 'V'}, 48.0f},  // a kerned pair
      {"To Wa", {'T', 'o', ' ', 'W', 'a'}, 33.5f},
      {"Hello World!", Codepoints("Hello World!"), 12.0f},
      {"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC", {0xE9, 't', 0xE9, ' ', 0x20AC}, 20.0f},
      {"\xF0\x9F\x98\x80", {0x1F600}, 20.0f},  // not in the font: the missing-glyph box
  };
  for (const Case& c : cases) {
    fonsSetSize(ctx, c.px);
    const float want = ref.Width(c.cps, c.px);
    EXPECT_NEAR(fonsTextWidth(ctx, c.utf8), want, 1e-3f) << c.utf8;
    EXPECT_NEAR(fonsDrawText(ctx, 10.0f, 50.0f, c.utf8) - 10.0f, want, 1e-3f) << c.utf8;
  }
  // Kerning really is part of it: "AV" is narrower than A and V apart.
  fonsSetSize(ctx, 48.0f);
  EXPECT_LT(fonsTextWidth(ctx, "AV"), fonsTextWidth(ctx, "A") + fonsTextWidth(ctx, "V"));
}

TEST_F(GlyphAtlas, SizesAreKeptInTenthsOfAPixel) {
  Make(256, 256);
  const struct {
    float asked, used;
  } cases[] = {{20.04f, 20.0f}, {20.06f, 20.1f}, {7.25f, 7.3f}};
  for (const auto& c : cases) {
    fonsSetSize(ctx, c.asked);
    EXPECT_NEAR(fonsTextWidth(ctx, "Quantum"), ref.Width(Codepoints("Quantum"), c.used), 1e-3f) << c.asked;
  }
  // Both draws reuse the glyphs of the first: sizes in one tenth share them.
  fonsSetSize(ctx, 20.0f);
  fonsDrawText(ctx, 0, 30, "abc");
  const int glyphs = fonsGetGlyphCount(ctx);
  fonsSetSize(ctx, 20.03f);
  fonsDrawText(ctx, 0, 30, "abc");
  EXPECT_EQ(fonsGetGlyphCount(ctx), glyphs);
}

TEST_F(GlyphAtlas, DrawnQuadsShowTheRasterisedGlyphsAtThePen) {
  Make(256, 256);
  const float px = 24.0f;
  fonsSetSize(ctx, px);
  fonsSetColor(ctx, 0x80FF4020u);
  const char* text = "Ring jig, 4Q!";
  fonsDrawText(ctx, 10.0f, 40.0f, text);
  ExpectAllQuadsShow(Codepoints(text), px);
  // Each quad sits at its pen position plus the glyph's bitmap offset, on
  // the baseline y = 40.
  float pen = 10.0f;
  size_t q = 0;
  int prev = -1;
  for (int cp : Codepoints(text)) {
    const int g = stbtt_FindGlyphIndex(&ref.info, cp);
    if (prev >= 0) pen += stbtt_GetGlyphKernAdvance(&ref.info, prev, g) * ref.Scale(px);
    if (ref.HasInk(cp, px)) {
      int w, h, xo, yo;
      ref.Bitmap(cp, px, &w, &h, &xo, &yo);
      const Quad& quad = backend.quads[q++];
      EXPECT_FLOAT_EQ(quad.x0, std::floor(pen + 0.5f) + xo) << char(cp);
      EXPECT_FLOAT_EQ(quad.y0, 40.0f + yo) << char(cp);
      EXPECT_FLOAT_EQ(quad.x1 - quad.x0, float(w));
      EXPECT_FLOAT_EQ(quad.y1 - quad.y0, float(h));
      EXPECT_EQ(quad.color, 0x80FF4020u);
    }
    int adv, lsb;
    stbtt_GetGlyphHMetrics(&ref.info, g, &adv, &lsb);
    pen += adv * ref.Scale(px);
    prev = g;
  }
  // One flush at the end: one upload of the new glyphs, then one draw.
  EXPECT_EQ(backend.updates, 1);
  EXPECT_EQ(backend.draws, 1);
}

TEST_F(GlyphAtlas, AlignmentMovesTheTextByItsWidthAndFontMetrics) {
  Make(256, 256);
  const float px = 30.0f;
  fonsSetSize(ctx, px);
  float asc = 0, desc = 0, lineh = 0;
  fonsVertMetrics(ctx, &asc, &desc, &lineh);
  int a, d, g;
  stbtt_GetFontVMetrics(&ref.info, &a, &d, &g);
  EXPECT_FLOAT_EQ(asc, a * ref.Scale(px));
  EXPECT_FLOAT_EQ(desc, d * ref.Scale(px));
  EXPECT_FLOAT_EQ(lineh, (a - d + g) * ref.Scale(px));

  const float width = fonsTextWidth(ctx, "Hxy");
  const struct {
    int align;
    float dx, dy;  // shift of the text against left/baseline
  } cases[] = {
      {FONS_ALIGN_LEFT | FONS_ALIGN_BASELINE, 0, 0},
      {FONS_ALIGN_CENTER | FONS_ALIGN_BASELINE, -width / 2, 0},
      {FONS_ALIGN_RIGHT | FONS_ALIGN_BASELINE, -width, 0},
      {FONS_ALIGN_LEFT | FONS_ALIGN_TOP, 0, asc},
      {FONS_ALIGN_CENTER | FONS_ALIGN_MIDDLE, -width / 2, (asc + desc) / 2},
      {FONS_ALIGN_RIGHT | FONS_ALIGN_BOTTOM, -width, desc},
  };
  fonsSetAlign(ctx, FONS_ALIGN_LEFT | FONS_ALIGN_BASELINE);
  fonsDrawText(ctx, 100.0f, 100.0f, "Hxy");
  const Quad base = backend.quads.front();
  for (const auto& c : cases) {
    backend.quads.clear();
    fonsSetAlign(ctx, c.align);
    const float end = fonsDrawText(ctx, 100.0f, 100.0f, "Hxy");
    EXPECT_NEAR(end, 100.0f + c.dx + width, 1e-3f) << c.align;
    // Glyphs land on whole pixels: the shift is the rounded one.
    EXPECT_FLOAT_EQ(backend.quads.front().x0, base.x0 + std::floor(100.0f + c.dx + 0.5f) - 100.0f) << c.align;
    EXPECT_FLOAT_EQ(backend.quads.front().y0, base.y0 + std::floor(100.0f + c.dy + 0.5f) - 100.0f) << c.align;
  }
}

TEST_F(GlyphAtlas, BottomLeftOriginMirrorsTheQuadsAboutTheBaseline) {
  Make(256, 256, FONS_ZERO_BOTTOMLEFT);
  fonsSetSize(ctx, 20.0f);
  fonsDrawText(ctx, 10.0f, 50.0f, "H");
  int w, h, xo, yo;
  ref.Bitmap('H', 20.0f, &w, &h, &xo, &yo);
  ASSERT_EQ(backend.quads.size(), 1u);
  EXPECT_FLOAT_EQ(backend.quads[0].y0, 50.0f - yo);  // top edge above the baseline
  EXPECT_FLOAT_EQ(backend.quads[0].y1, 50.0f - yo - h);
}

TEST_F(GlyphAtlas, PackedGlyphsNeverOverlap) {
  Make(256, 256);
  std::string all;
  for (char c = '!'; c <= '~'; ++c) all += c;
  fonsSetSize(ctx, 18.0f);
  fonsDrawText(ctx, 0, 20, all.c_str());
  fonsSetSize(ctx, 11.0f);
  fonsDrawText(ctx, 0, 40, all.c_str());
  ASSERT_TRUE(backend.resizes.empty()) << "these fit a 256 atlas";
  const auto& q = backend.quads;
  for (size_t i = 0; i < q.size(); ++i) {
    EXPECT_GE(q[i].s0, 1);  // one texel of padding inside the atlas
    EXPECT_GE(q[i].t0, 1);
    EXPECT_LE(q[i].s1, 255);
    EXPECT_LE(q[i].t1, 255);
    for (size_t j = i + 1; j < q.size(); ++j) {
      // Padded rectangles are disjoint: at least one empty texel between glyphs.
      const bool apart = q[i].s1 + 1 <= q[j].s0 - 1 || q[j].s1 + 1 <= q[i].s0 - 1 ||
                         q[i].t1 + 1 <= q[j].t0 - 1 || q[j].t1 + 1 <= q[i].t0 - 1;
      EXPECT_TRUE(apart) << "quads " << i << " and " << j << " share texels";
    }
  }
  const size_t next = ExpectQuadsShow(Codepoints(all.c_str()), 18.0f);
  EXPECT_EQ(ExpectQuadsShow(Codepoints(all.c_str()), 11.0f, next), q.size());
}

TEST_F(GlyphAtlas, FullAtlasDoublesAndKeepsItsGlyphs) {
  Make(64, 64);
  fonsSetSize(ctx, 30.0f);
  fonsDrawText(ctx, 0, 40, "ab");
  ASSERT_TRUE(backend.resizes.empty());
  const std::vector<Quad> before = backend.quads;
  backend.quads.clear();

  fonsDrawText(ctx, 0, 40, "cdefghijklmnop");
  ASSERT_FALSE(backend.resizes.empty());
  EXPECT_EQ(backend.resizes.front(), std::make_pair(128, 128));
  int w = 0, h = 0;
  fonsGetAtlasSize(ctx, &w, &h);
  EXPECT_EQ(std::make_pair(w, h), backend.resizes.back());
  // After a growth the whole atlas goes up again (the texture was remade).
  bool wholeUpload = false;
  for (const auto& r : backend.updateRects) wholeUpload |= r == std::array<int, 4>{0, 0, w, h};
  EXPECT_TRUE(wholeUpload);
  ExpectAllQuadsShow(Codepoints("cdefghijklmnop"), 30.0f);

  // The first glyphs kept their texels: drawn again, they need no new upload
  // and show the same rectangle.
  backend.quads.clear();
  const int updates = backend.updates;
  fonsDrawText(ctx, 0, 40, "ab");
  EXPECT_EQ(backend.updates, updates);
  ASSERT_EQ(backend.quads.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(backend.quads[i].s0, before[i].s0);
    EXPECT_EQ(backend.quads[i].t0, before[i].t0);
    EXPECT_EQ(backend.quads[i].texels, before[i].texels);
  }
}

TEST_F(GlyphAtlas, FullAtlasAtTheLargestSizeIsEmptiedAndRefilled) {
  Make(kGlyphAtlasMaxSize, kGlyphAtlasMaxSize);
  // Glyphs of about a million texels: some twenty fill the largest atlas.
  const float px = 1400.0f;
  fonsSetSize(ctx, px);
  const char* text = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  int most = 0;
  for (const char* p = text; *p; ++p) {
    fonsDrawText(ctx, 0, 1200, std::string(1, *p).c_str());
    most = std::max(most, fonsGetGlyphCount(ctx));
  }
  EXPECT_TRUE(backend.resizes.empty()) << "the atlas cannot grow past its largest size";
  EXPECT_LT(fonsGetGlyphCount(ctx), 26) << "the cache was emptied once full";
  EXPECT_GT(most, fonsGetGlyphCount(ctx));
  // Every letter, drawn before or after the reset, showed its own bitmap.
  ExpectAllQuadsShow(Codepoints(text), px);
}

TEST_F(GlyphAtlas, LongTextIsFlushedInFullVertexBuffers) {
  Make(512, 512);
  fonsSetSize(ctx, 10.0f);
  std::string text;
  for (int i = 0; i < 30; ++i) text += "The quick brown fox. ";
  fonsDrawText(ctx, 0, 20, text.c_str());
  EXPECT_GE(backend.draws, 3);
  EXPECT_EQ(backend.updates, 1) << "glyphs are uploaded once, before the first draw";
  ExpectAllQuadsShow(Codepoints(text.c_str()), 10.0f);
}

TEST_F(GlyphAtlas, MalformedUtf8DrawsReplacementCharacters) {
  Make(256, 256);
  fonsSetSize(ctx, 20.0f);
  const float replacement = fonsTextWidth(ctx, "\xEF\xBF\xBD");
  ASSERT_GT(replacement, 0.0f);
  const struct {
    std::string text;
    int replacements;
  } cases[] = {
      {"\x80", 1},                  // stray continuation byte
      {"\xC3", 1},                  // truncated two-byte sequence
      {"\xE2\x82", 2},              // truncated three-byte sequence: each byte on its own
      {"\xC0\xAF", 2},              // overlong '/'
      {"\xED\xA0\x80", 3},          // a surrogate
      {"\xF4\x90\x80\x80", 4},      // above U+10FFFF
      {"\xFF", 1},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(fonsTextWidth(ctx, c.text.c_str()), c.replacements * replacement, 1e-3f) << c.replacements;
  }
  // The end pointer bounds the walk, even inside a sequence.
  const char* euro = "\xE2\x82\xAC";
  EXPECT_NEAR(fonsTextWidth(ctx, euro, euro + 3), ref.Width({0x20AC}, 20.0f), 1e-3f);
  EXPECT_NEAR(fonsTextWidth(ctx, euro, euro + 2), 2 * replacement, 1e-3f);
}

TEST(GlyphAtlasInput, BytesThatAreNotAFontAreRefused) {
  const std::string font = ReadBytes(kFontPath);
  ASSERT_GT(font.size(), 10000u);
  auto withU32 = [&](size_t at, uint32_t v) {
    std::string s = font;
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (24 - 8 * i));
    return s;
  };
  // Offset of the first table record's offset field: 12 + 8.
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"three bytes", "\0\1\0"},
      {"text", "This is a text file, not a font at all.\n"},
      {"PNG header", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x06\0\0\0"},
      {"truncated to its directory", font.substr(0, 200)},
      {"truncated to half", font.substr(0, font.size() / 2)},
      {"table beyond the end", withU32(20, 0x7FFFFFF0u)},
      {"CFF flavour without CFF outlines", "OTTO" + Renamed(font, "glyf", "glyx")},
      {"collection", "ttcf" + font.substr(4)},
  };
  for (const auto& c : cases) {
    ShadowBackend backend;
    FONSparams p = backend.Params(64, 64);
    FONScontext* ctx = fonsCreateInternal(&p);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(fonsAddFontMem(ctx, c.what, Buffer(c.bytes), static_cast<int>(c.bytes.size())), FONS_INVALID)
        << c.what;
    // With no valid font nothing is drawn and the pen stays.
    fonsSetFont(ctx, 0);
    EXPECT_FLOAT_EQ(fonsDrawText(ctx, 5.0f, 5.0f, "abc"), 5.0f) << c.what;
    EXPECT_EQ(backend.draws, 0) << c.what;
    fonsDeleteInternal(ctx);
    EXPECT_EQ(backend.deletes, 1);
  }
}

TEST(GlyphAtlasInput, CreationFailsCleanlyAndClampsOversizedAtlases) {
  const struct {
    const char* what;
    int w, h;
    bool failCreate;
    int creates;
  } cases[] = {
      {"zero width", 0, 64, false, 0},
      {"negative height", 64, -1, false, 0},
      {"backend refuses", 64, 64, true, 1},
  };
  for (const auto& c : cases) {
    ShadowBackend backend;
    backend.failCreate = c.failCreate;
    FONSparams p = backend.Params(c.w, c.h);
    EXPECT_EQ(fonsCreateInternal(&p), nullptr) << c.what;
    EXPECT_EQ(backend.creates, c.creates) << c.what;
    EXPECT_EQ(backend.deletes, 1) << c.what;
  }
  // A side above the largest atlas is clamped, not refused.
  ShadowBackend big;
  FONSparams p = big.Params(kGlyphAtlasMaxSize + 1000, 64);
  FONScontext* ctx = fonsCreateInternal(&p);
  ASSERT_NE(ctx, nullptr);
  int w = 0, h = 0;
  fonsGetAtlasSize(ctx, &w, &h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(kGlyphAtlasMaxSize, 64));
  EXPECT_EQ(std::make_pair(big.width, big.height), std::make_pair(kGlyphAtlasMaxSize, 64));
  fonsDeleteInternal(ctx);
  // The calls accept a null context.
  EXPECT_EQ(fonsAddFontMem(nullptr, "x", nullptr, 0), FONS_INVALID);
  EXPECT_FLOAT_EQ(fonsDrawText(nullptr, 3.0f, 0.0f, "x"), 3.0f);
  fonsDeleteInternal(nullptr);
}
