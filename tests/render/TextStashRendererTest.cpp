// The screen-text renderer on GL: fonts from an encrypted data pack, text
// drawn into a framebuffer and read back, the pixel projection, the atlas
// texture against the atlas bytes, and fonts that are missing or not fonts.
#include <gtest/gtest.h>
#include <stb/stb_image_write.h>
#include <stb/stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Loader/AssetPath.h"
#include "render/TextStashRenderer.h"
#include "render/TextureSlot.h"
#include "support/GLFixture.h"
#include "support/TestPack.h"

namespace {

const char* const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::string ReadBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A 5 x 3 RGB picture: each row its own shade of red, green from the column.
const unsigned char kRowShades[3] = {40, 120, 200};
std::string RowsPng() {
  std::vector<unsigned char> px;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) px.insert(px.end(), {kRowShades[y], static_cast<unsigned char>(x * 50), 7});
  std::string png;
  stbi_write_png_to_func(
      [](void* out, void* data, int size) { static_cast<std::string*>(out)->append(static_cast<char*>(data), size); },
      &png, 5, 3, 3, px.data(), 15);
  return png;
}

struct Box {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -(1 << 30), y1 = -(1 << 30);  // inclusive, y down
  bool Empty() const { return x1 < x0; }
  void Add(int x, int y) {
    x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
  }
};

// Where stb_truetype puts the ink of ASCII text drawn left/baseline at
// (x, baseline), glyph bitmaps on whole pixels, y down.
Box InkBox(const std::string& font, const char* text, float px, float x, int baseline) {
  stbtt_fontinfo info;
  stbtt_InitFont(&info, reinterpret_cast<const unsigned char*>(font.data()), 0);
  const float s = stbtt_ScaleForPixelHeight(&info, px);
  Box box;
  int prev = -1;
  for (const char* p = text; *p; ++p) {
    const int g = stbtt_FindGlyphIndex(&info, static_cast<unsigned char>(*p));
    if (prev >= 0) x += stbtt_GetGlyphKernAdvance(&info, prev, g) * s;
    int bx0, by0, bx1, by1;
    stbtt_GetGlyphBitmapBox(&info, g, s, s, &bx0, &by0, &bx1, &by1);
    if (bx1 > bx0 && by1 > by0) {
      const int left = static_cast<int>(std::floor(x + 0.5f)) + bx0;
      box.Add(left, baseline + by0);
      box.Add(left + (bx1 - bx0) - 1, baseline + by1 - 1);
    }
    int adv, lsb;
    stbtt_GetGlyphHMetrics(&info, g, &adv, &lsb);
    x += adv * s;
    prev = g;
  }
  return box;
}

class TextStash : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (HasFatalFailure()) return;
    SetDataDirectory("Data");
    m_font = ReadBytes(kFontFile);
    ASSERT_FALSE(m_font.empty());
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/font/sans.ttf", m_font},
                                  {"Data/font/notes.ttf", "These are notes, not a font.\n"},
                                  {"Data/font/empty.ttf", ""},
                                  {"Data/font/cut.ttf", m_font.substr(0, 4000)},
                                  {"Data/img/rows.png", RowsPng()}}));
    EnterDir(m_dir);
  }

  void Clear() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }

  // Lit pixels of the bound target, y down (row 0 at the top).
  Box LitBox(int w, int h, int threshold = 0) {
    const auto px = ReadPixels(0, 0, w, h);
    Box box;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const unsigned char* p = &px[(static_cast<size_t>(y) * w + x) * 4];
        if (std::max({p[0], p[1], p[2]}) > threshold) box.Add(x, h - 1 - y);
      }
    return box;
  }

  TempDir m_dir;
  std::string m_font;
};

}  // namespace

TEST_F(TextStash, BeginFrameWithoutAContextMakesA512Atlas) {
  MakeTarget(64, 64);
  TextStashRenderer text;
  EXPECT_EQ(text.Context(), nullptr);
  text.BeginFrame();
  ASSERT_NE(text.Context(), nullptr);
  int w = 0, h = 0;
  fonsGetAtlasSize(text.Context(), &w, &h);
  EXPECT_EQ(w, 512);
  EXPECT_EQ(h, 512);
  EXPECT_TRUE(glIsEnabled(GL_BLEND));
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
}

TEST_F(TextStash, ProjectionMapsViewportPixelsToClipSpaceFromTheTopLeft) {
  MakeTarget(64, 64);
  glViewport(0, 0, 1920, 1080);
  TextStashRenderer text;
  text.BeginFrame();
  ASSERT_NE(text.Backend(), nullptr);
  const float* m = text.Backend()->projMat;
  const struct {
    float x, y, cx, cy;
  } cases[] = {{0, 0, -1, 1}, {1920, 1080, 1, -1}, {960, 540, 0, 0}, {480, 810, -0.5f, -0.5f}};
  for (const auto& c : cases) {
    // Column-major: clip = M * (x, y, 1, 1).
    const float v[4] = {c.x, c.y, 1.0f, 1.0f};
    float clip[4] = {0, 0, 0, 0};
    for (int row = 0; row < 4; ++row)
      for (int col = 0; col < 4; ++col) clip[row] += m[col * 4 + row] * v[col];
    EXPECT_FLOAT_EQ(clip[0], c.cx) << c.x << "," << c.y;
    EXPECT_FLOAT_EQ(clip[1], c.cy) << c.x << "," << c.y;
    EXPECT_FLOAT_EQ(clip[2], 1.0f) << "glyphs lie on the far plane";
    EXPECT_FLOAT_EQ(clip[3], 1.0f);
  }
}

TEST_F(TextStash, TextLightsTheAreaOfItsGlyphsInItsColour) {
  const int W = 128, H = 64;
  MakeTarget(W, H);
  TextStashRenderer text;
  ASSERT_TRUE(text.AddFont("font/sans.ttf"));
  const struct {
    const char* text;
    float px, x;
    int baseline;
    unsigned int abgr;
    Rgba8 solid;  // a pixel fully inside a stem (alpha not compared: it blends too)
  } cases[] = {
      {"Hi", 24.0f, 10.0f, 40, 0xFFFFFFFFu, {255, 255, 255, 255}},
      {"LT", 30.0f, 50.5f, 50, 0xFF0000FFu, {255, 0, 0, 255}},
      {"Il", 20.0f, 3.0f, 20, 0x80FF0000u, {0, 0, 128, 255}},  // half alpha over black
  };
  for (const auto& c : cases) {
    Clear();
    text.BeginFrame();
    text.SetSize(c.px);
    text.SetColor(c.abgr);
    text.DrawText(c.x, static_cast<float>(c.baseline), c.text);
    const Box want = InkBox(m_font, c.text, c.px, c.x, c.baseline);
    const Box got = LitBox(W, H);
    ASSERT_FALSE(got.Empty()) << c.text;
    EXPECT_EQ(got.x0, want.x0) << c.text;
    EXPECT_EQ(got.x1, want.x1) << c.text;
    EXPECT_EQ(got.y0, want.y0) << c.text;
    EXPECT_EQ(got.y1, want.y1) << c.text;
    // The first glyph's stem: one pixel right of its left edge, mid-height.
    const int stemX = want.x0 + 1, stemY = (want.y0 + want.y1) / 2;
    Rgba8 stem = ReadPixel(stemX, H - 1 - stemY);
    stem[3] = c.solid[3];
    EXPECT_TRUE(PixelNear(stem, c.solid, 3)) << c.text;
  }
}

TEST_F(TextStash, CentredTextSitsAroundItsPosition) {
  const int W = 128, H = 64;
  MakeTarget(W, H);
  TextStashRenderer text;
  ASSERT_TRUE(text.AddFont("font/sans.ttf"));
  Clear();
  text.BeginFrame();
  text.SetSize(28.0f);
  text.SetAlign(FONS_ALIGN_CENTER | FONS_ALIGN_MIDDLE);
  text.DrawText(64.0f, 32.0f, "OHO");
  const Box got = LitBox(W, H);
  ASSERT_FALSE(got.Empty());
  // "OHO" is symmetric; the middle of the font's ascent and descent is
  // close to the middle of capitals.
  EXPECT_NEAR((got.x0 + got.x1) / 2.0, 64.0, 2.0);
  EXPECT_NEAR((got.y0 + got.y1) / 2.0, 32.0, 4.0);
}

TEST_F(TextStash, AtlasTextureHoldsTheAtlasBytesAfterGrowing) {
  MakeTarget(64, 64);
  TextStashRenderer text;
  text.Create(64, 64);
  ASSERT_TRUE(text.AddFont("font/sans.ttf"));
  text.BeginFrame();
  text.SetSize(30.0f);
  text.DrawText(0, 40, "ABCDEFGHIJKLMNOPQRSTUVWXYZ");
  int w = 0, h = 0;
  fonsGetAtlasSize(text.Context(), &w, &h);
  EXPECT_GT(w, 64) << "26 capitals of 30 pixels do not fit 64 x 64";
  // The backend's texture: the atlas the glyphs were drawn from.
  const FontBackendGL3* backend = text.Backend();
  ASSERT_NE(backend, nullptr);
  const GLuint texture = backend->texture;
  ASSERT_TRUE(glIsTexture(texture));
  EXPECT_EQ(backend->width, w);
  EXPECT_EQ(backend->height, h);
  std::vector<unsigned char> texels(static_cast<size_t>(w) * h);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RED, GL_UNSIGNED_BYTE, texels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  const unsigned char* atlas = fonsGetAtlasData(text.Context());
  EXPECT_TRUE(std::equal(texels.begin(), texels.end(), atlas)) << "texture and atlas bytes differ";
  // Glyph uploads leave their unpack state behind on purpose.
  GLint rowLength = 0;
  glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
  EXPECT_EQ(rowLength, w);
}

TEST_F(TextStash, ImagesLoadedAfterTextUploadIntact) {
  MakeTarget(64, 64);
  TextStashRenderer text;
  ASSERT_TRUE(text.AddFont("font/sans.ttf"));
  text.BeginFrame();
  text.SetSize(20.0f);
  text.DrawText(2, 30, "Wg");
  TextureSlot slot;
  slot.m_file = "img/rows.png";
  std::vector<unsigned char> texels(5 * 3 * 4);
  glBindTexture(GL_TEXTURE_2D, slot.GetTexture());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  for (int t = 0; t < 3; ++t)
    for (int x = 0; x < 5; ++x) {
      const unsigned char* p = &texels[(static_cast<size_t>(t) * 5 + x) * 4];
      EXPECT_EQ(p[0], kRowShades[2 - t]) << "row " << t << " x " << x;
      EXPECT_EQ(p[1], x * 50) << "row " << t << " x " << x;
    }
}

TEST_F(TextStash, FontsThatAreMissingOrNotFontsDrawNothing) {
  MakeTarget(64, 64);
  const char* files[] = {"font/missing.ttf", "font/notes.ttf", "font/empty.ttf", "font/cut.ttf", ""};
  for (const char* file : files) {
    TextStashRenderer text;
    EXPECT_FALSE(text.AddFont(file)) << file;
    EXPECT_FALSE(text.HasFont()) << file;
    EXPECT_EQ(text.FontId(), FONS_INVALID) << file;
    Clear();
    text.BeginFrame();
    text.SetSize(20.0f);
    EXPECT_FLOAT_EQ(text.DrawText(5, 30, "Nothing"), 5.0f) << file;
    EXPECT_TRUE(LitBox(64, 64).Empty()) << file;
  }
  // A good font added after a bad one is used.
  TextStashRenderer text;
  EXPECT_FALSE(text.AddFont("font/notes.ttf"));
  EXPECT_TRUE(text.AddFont("font/sans.ttf"));
  Clear();
  text.BeginFrame();
  text.SetSize(20.0f);
  text.DrawText(5, 30, "Some");
  EXPECT_FALSE(LitBox(64, 64).Empty());
}

TEST_F(TextStash, DestroyingTheContextReleasesItsGLObjects) {
  MakeTarget(64, 64);
  TextStashRenderer text;
  ASSERT_TRUE(text.AddFont("font/sans.ttf"));
  text.BeginFrame();
  const FontBackendGL3* backend = text.Backend();
  ASSERT_NE(backend, nullptr);
  const GLuint texture = backend->texture, program = backend->program;
  ASSERT_TRUE(glIsTexture(texture));
  ASSERT_TRUE(glIsProgram(program));
  text.DestroyFontContext();
  EXPECT_EQ(text.Context(), nullptr);
  EXPECT_FALSE(text.HasFont());
  EXPECT_FALSE(glIsTexture(texture));
  EXPECT_FALSE(glIsProgram(program));
  // Drawing without a context does nothing; the next frame makes a new one.
  EXPECT_FLOAT_EQ(text.DrawText(1, 2, "x"), 1.0f);
  text.BeginFrame();
  EXPECT_NE(text.Context(), nullptr);
}
