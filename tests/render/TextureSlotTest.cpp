// Texture slots and the image cache, for real: images are encoded here (PNG
// and JPEG, odd sizes), packed into an encrypted data pack, loaded through
// slots and sampled by a probe program that reads one texel at a chosen
// coordinate and level of detail, so filter and wrap modes show in pixels.
//
// [SECTION] Images, packs and the probe
// [SECTION] Codes and decoding (CPU)
// [SECTION] Sampling pack images
// [SECTION] Sharing and video-memory accounting
// [SECTION] Bad files
// [SECTION] Resolving files and effect names
#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Loader/AssetPath.h"
#include "Loader/rvLoader.h"
#include "application/Application.h"
#include "effects/buffers/fxBuffer.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/TextureImage.h"
#include "render/TextureSlot.h"
#include "render/rvProgram.h"
#include "sequence/rvSequence.h"
#include "support/GLFixture.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"

//-----------------------------------------------------------------------------
// [SECTION] Images, packs and the probe
//-----------------------------------------------------------------------------

namespace {

// Pixels in file order: row 0 is the top of the picture.
struct Picture {
  int w = 0, h = 0, comp = 4;
  std::vector<unsigned char> px;
  unsigned char* At(int x, int y) { return &px[(static_cast<size_t>(y) * w + x) * comp]; }
};

void Append(void* context, void* data, int size) {
  static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
}

std::string EncodePng(const Picture& p) {
  std::string out;
  stbi_write_png_to_func(Append, &out, p.w, p.h, p.comp, p.px.data(), p.w * p.comp);
  return out;
}

std::string EncodeJpeg(const Picture& p, int quality) {
  std::string out;
  stbi_write_jpg_to_func(Append, &out, p.w, p.h, p.comp, p.px.data(), quality);
  return out;
}

struct Rgb {
  unsigned char r, g, b;
};

// Four flat quadrants: top-left, top-right, bottom-left, bottom-right.
Picture Quadrants(int w, int h, int comp, const Rgb (&q)[4]) {
  Picture p{w, h, comp, std::vector<unsigned char>(static_cast<size_t>(w) * h * comp)};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb& c = q[(y < h / 2 ? 0 : 2) + (x < w / 2 ? 0 : 1)];
      unsigned char* d = p.At(x, y);
      d[0] = c.r, d[1] = c.g, d[2] = c.b;
      if (comp == 4) d[3] = static_cast<unsigned char>(64 + (x * 5 + y * 3) % 190);
    }
  }
  return p;
}

const Rgb kQuadrantColors[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

// 4 x 4 texels: red from the column, green from the row, counted from the
// picture's bottom row (so texture row t has green kLevels[t] once flipped).
const unsigned char kLevels[4] = {10, 90, 170, 250};
Picture Gradient4x4() {
  Picture p{4, 4, 4, std::vector<unsigned char>(64)};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      unsigned char* d = p.At(x, y);
      d[0] = kLevels[x], d[1] = kLevels[3 - y], d[2] = 0, d[3] = 255;
    }
  return p;
}

// 4 x 4 texels whose columns alternate 0 and 255 in red: level 0 and the
// mipmap levels (all about 128) tell apart which level a sample came from.
Picture Stripes4x4() {
  Picture p{4, 4, 4, std::vector<unsigned char>(64)};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      unsigned char* d = p.At(x, y);
      d[0] = (x % 2) ? 255 : 0, d[1] = 0, d[2] = 0, d[3] = 255;
    }
  return p;
}

GLuint Compile(GLenum stage, const char* src) {
  GLuint s = glCreateShader(stage);
  glShaderSource(s, 1, &src, nullptr);
  glCompileShader(s);
  GLint ok = 0;
  glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
  EXPECT_TRUE(ok) << "probe shader";
  return s;
}

class TextureTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    if (HasFatalFailure()) return;
    SetDataDirectory("Data");
    MakeTarget(4, 4);
    const char* vs =
        "#version 330\n"
        "void main() { vec2 p = vec2((gl_VertexID & 1) * 4 - 1, (gl_VertexID & 2) * 2 - 1);"
        " gl_Position = vec4(p, 0.0, 1.0); }\n";
    const char* fs =
        "#version 330\n"
        "uniform sampler2D tex; uniform vec2 uv; uniform float lod; out vec4 color;\n"
        "void main() { color = textureLod(tex, uv, lod); }\n";
    GLuint v = Compile(GL_VERTEX_SHADER, vs), f = Compile(GL_FRAGMENT_SHADER, fs);
    m_probe = glCreateProgram();
    glAttachShader(m_probe, v);
    glAttachShader(m_probe, f);
    glLinkProgram(m_probe);
    glDeleteShader(v);
    glDeleteShader(f);
    glGenVertexArrays(1, &m_vao);
  }
  void TearDown() override {
    if (m_probe) glDeleteProgram(m_probe);
    if (m_vao) glDeleteVertexArrays(1, &m_vao);
    GLTest::TearDown();
  }

  // Packs the files under "Data/" and makes the pack the working one.
  void UsePack(const PackFiles& files) {
    PackFiles inData;
    for (const auto& [name, bytes] : files) inData["Data/" + name] = bytes;
    ASSERT_TRUE(BuildPack(m_dir, inData));
    EnterDir(m_dir);
  }

  // One sample of the texture at (u, v) and level of detail lod.
  Rgba8 Probe(GLuint texture, float u, float v, float lod = -1.0f) {
    glUseProgram(m_probe);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glUniform1i(glGetUniformLocation(m_probe, "tex"), 0);
    glUniform2f(glGetUniformLocation(m_probe, "uv"), u, v);
    glUniform1f(glGetUniformLocation(m_probe, "lod"), lod);
    glBindVertexArray(m_vao);
    glDisable(GL_BLEND);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glUseProgram(0);
    return ReadPixel(1, 1);
  }

  static std::vector<unsigned char> TexImage(GLuint texture, int w, int h) {
    std::vector<unsigned char> texels(static_cast<size_t>(w) * h * 4);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return texels;
  }

  static int Count(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
  }

  TempDir m_dir;
  GLuint m_probe = 0, m_vao = 0;
};

// The picture as the texture should hold it: RGBA, rows bottom-up.
std::vector<unsigned char> Flipped(const Picture& p) {
  std::vector<unsigned char> out;
  for (int y = p.h - 1; y >= 0; --y)
    for (int x = 0; x < p.w; ++x) {
      const unsigned char* s = &p.px[(static_cast<size_t>(y) * p.w + x) * p.comp];
      const unsigned char grey = s[0];
      switch (p.comp) {
        case 1: out.insert(out.end(), {grey, grey, grey, 255}); break;
        case 2: out.insert(out.end(), {grey, grey, grey, s[1]}); break;
        case 3: out.insert(out.end(), {s[0], s[1], s[2], 255}); break;
        default: out.insert(out.end(), {s[0], s[1], s[2], s[3]}); break;
      }
    }
  return out;
}

}  // namespace

//-----------------------------------------------------------------------------
// [SECTION] Codes and decoding (CPU)
//-----------------------------------------------------------------------------

TEST(TextureCodes, FilterAndWrapCodesChooseTheGLModes) {
  const struct {
    int code;
    GLint min, mag;
    bool mipmaps;
  } filters[] = {
      {0, GL_NEAREST, GL_NEAREST, false},
      {1, GL_LINEAR, GL_LINEAR, false},
      {2, GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST, true},
      {3, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR, true},
      {4, GL_NEAREST_MIPMAP_LINEAR, GL_NEAREST, true},
      {5, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, true},
      {6, GL_LINEAR, GL_LINEAR, false},
      {-1, GL_LINEAR, GL_LINEAR, false},
  };
  for (const auto& f : filters) {
    EXPECT_EQ(TextureMinFilter(f.code), f.min) << f.code;
    EXPECT_EQ(TextureMagFilter(f.code), f.mag) << f.code;
    EXPECT_EQ(TextureFilterBuildsMipmaps(f.code), f.mipmaps) << f.code;
  }
  const struct {
    int code;
    GLint mode;
  } wraps[] = {{0, GL_CLAMP_TO_EDGE}, {1, GL_MIRRORED_REPEAT}, {2, GL_REPEAT}, {3, GL_REPEAT}, {-1, GL_REPEAT}};
  for (const auto& w : wraps) EXPECT_EQ(TextureWrapMode(w.code), w.mode) << w.code;
}

TEST(TextureDecode, EveryPixelFormatBecomesRgbaWithRowsBottomUp) {
  for (int comp = 1; comp <= 4; ++comp) {
    Picture p{5, 3, comp, {}};
    for (int i = 0; i < 5 * 3 * comp; ++i) p.px.push_back(static_cast<unsigned char>(i * 37 % 251));
    const std::string png = EncodePng(p);
    const DecodedImage d = DecodeImage(reinterpret_cast<const unsigned char*>(png.data()), static_cast<int>(png.size()));
    EXPECT_TRUE(d.error.empty()) << comp;
    EXPECT_EQ(d.width, 5);
    EXPECT_EQ(d.height, 3);
    EXPECT_EQ(d.channels, comp);
    EXPECT_EQ(d.pixels, Flipped(p)) << "components " << comp;
  }
}

//-----------------------------------------------------------------------------
// [SECTION] Sampling pack images
//-----------------------------------------------------------------------------

TEST_F(TextureTest, OddSizedPngAndJpegFromThePackSampleRightSideUp) {
  const Picture png = Quadrants(37, 21, 3, kQuadrantColors);
  const Picture pngAlpha = Quadrants(19, 7, 4, kQuadrantColors);
  const Picture jpg = Quadrants(45, 29, 3, kQuadrantColors);
  UsePack({{"img/q.png", EncodePng(png)}, {"img/qa.png", EncodePng(pngAlpha)}, {"img/q.jpg", EncodeJpeg(jpg, 95)}});

  const struct {
    const char* file;
    const Picture* picture;
    int channels;
    int tolerance;  // JPEG is lossy
  } cases[] = {{"img/q.png", &png, 3, 0}, {"img/qa.png", &pngAlpha, 4, 0}, {"img/q.jpg", &jpg, 3, 12}};
  for (const auto& c : cases) {
    TextureSlot slot;
    slot.m_file = c.file;
    slot.m_filter = 0;
    const GLuint texture = slot.GetTexture();
    ASSERT_NE(texture, 0u) << c.file;
    ASSERT_NE(slot.m_image, nullptr);
    EXPECT_EQ(slot.m_image->m_width, c.picture->w) << c.file;
    EXPECT_EQ(slot.m_image->m_height, c.picture->h) << c.file;
    EXPECT_EQ(slot.m_image->m_channels, c.channels) << c.file;
    if (c.tolerance == 0) {
      EXPECT_EQ(TexImage(texture, c.picture->w, c.picture->h), Flipped(*c.picture)) << c.file;
    }
    // The picture's top-left corner is at the top (v near 1) on the left.
    const struct {
      float u, v;
      int quadrant;
    } probes[] = {{0.2f, 0.8f, 0}, {0.8f, 0.8f, 1}, {0.2f, 0.2f, 2}, {0.8f, 0.2f, 3}};
    for (const auto& p : probes) {
      const Rgb& want = kQuadrantColors[p.quadrant];
      const Rgba8 got = Probe(texture, p.u, p.v);
      EXPECT_TRUE(PixelNear({got[0], got[1], got[2], 0}, {want.r, want.g, want.b, 0}, c.tolerance + 1))
          << c.file << " quadrant " << p.quadrant;
    }
  }
}

TEST_F(TextureTest, WrapModesRepeatMirrorOrClampOutsideTheImage) {
  UsePack({{"img/g.png", EncodePng(Gradient4x4())}});
  // Texel centres are at 0.125, 0.375, 0.625, 0.875 on both axes.
  const struct {
    int wrapU, wrapV;
    float u, v;
    unsigned char red, green;
  } cases[] = {
      {0, 0, 1.375f, -0.375f, 250, 10},   // clamp: the edge texels
      {2, 2, 1.375f, -0.375f, 90, 170},   // repeat: 0.375 and 0.625
      {1, 1, 1.375f, -0.375f, 170, 90},   // mirror: 0.625 and 0.375
      {7, 0, -0.375f, 1.125f, 170, 250},  // any other code repeats
      {0, 1, 0.125f, 1.375f, 10, 170},
      {2, 2, 0.125f, 0.125f, 10, 10},     // inside: the picture's bottom-left texel
  };
  for (const auto& c : cases) {
    TextureSlot slot;
    slot.m_file = "img/g.png";
    slot.m_filter = 0;
    slot.m_wrapU = c.wrapU;
    slot.m_wrapV = c.wrapV;
    const Rgba8 got = Probe(slot.GetTexture(), c.u, c.v);
    EXPECT_TRUE(PixelNear(got, {c.red, c.green, 0, 255}, 1))
        << "wrap " << c.wrapU << "/" << c.wrapV << " at (" << c.u << ", " << c.v << ")";
  }
}

TEST_F(TextureTest, FilterCodesPickPixelsAndMipmapLevels) {
  UsePack({{"img/s.png", EncodePng(Stripes4x4())}});
  // At u = 0.49, level 0 holds 255 (nearest) or 255 x 0.54 = 138 (linear);
  // every mipmap level holds about 128.
  const struct {
    int filter;
    int magnified, lod025, lod1;
  } cases[] = {
      {0, 255, 255, 255}, {1, 138, 138, 138}, {2, 255, 255, 128}, {3, 138, 138, 128},
      {4, 255, 223, 128}, {5, 138, 135, 128}, {9, 138, 138, 138},
  };
  for (const auto& c : cases) {
    TextureSlot slot;
    slot.m_file = "img/s.png";
    slot.m_filter = c.filter;
    const GLuint texture = slot.GetTexture();
    EXPECT_NEAR(Probe(texture, 0.49f, 0.5f, -1.0f)[0], c.magnified, 4) << "filter " << c.filter << " magnified";
    EXPECT_NEAR(Probe(texture, 0.49f, 0.5f, 0.25f)[0], c.lod025, 4) << "filter " << c.filter << " at lod 0.25";
    EXPECT_NEAR(Probe(texture, 0.49f, 0.5f, 1.0f)[0], c.lod1, 4) << "filter " << c.filter << " at lod 1";
  }
}

TEST_F(TextureTest, UploadIgnoresUnpackStateLeftByOtherUploads) {
  const Picture p = Quadrants(13, 9, 3, kQuadrantColors);
  UsePack({{"img/p.png", EncodePng(p)}});
  // What a glyph-atlas upload leaves behind.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 512);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 7);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 3);
  TextureSlot slot;
  slot.m_file = "img/p.png";
  EXPECT_EQ(TexImage(slot.GetTexture(), 13, 9), Flipped(p));
}

TEST_F(TextureTest, SampleProductionImagesLoadFromItsPack) {
  std::filesystem::copy_file(VELMORA_PACK_PATH, m_dir.Path() + "/Velmora-Pinvale.sts");
  EnterDir(m_dir);
  LogCapture log;
  const struct {
    const char* file;
    int w, h, channels;
  } cases[] = {
      {"img/velmora/quadrants_37x21.png", 37, 21, 3},
      {"img/velmora/sky_45x29.jpg", 45, 29, 3},
      {"img/Shadertoy/RGBANoiseMedium256.png", 256, 256, 4},
      {"img/Shadertoy/Pebbles512.png", 512, 512, 3},
  };
  for (const auto& c : cases) {
    TextureSlot slot;
    slot.m_file = c.file;
    EXPECT_NE(slot.GetTexture(), 0u) << c.file;
    ASSERT_NE(slot.m_image, nullptr);
    EXPECT_EQ(slot.m_image->m_width, c.w) << c.file;
    EXPECT_EQ(slot.m_image->m_height, c.h) << c.file;
    EXPECT_EQ(slot.m_image->m_channels, c.channels) << c.file;
  }
  EXPECT_FALSE(log.Contains("cannot load")) << log.Text();
  TextureSlot quadrants;
  quadrants.m_file = "img/velmora/quadrants_37x21.png";
  quadrants.m_filter = 0;
  EXPECT_TRUE(PixelNear(Probe(quadrants.GetTexture(), 0.1f, 0.9f), {255, 0, 0, 255}));
  EXPECT_TRUE(PixelNear(Probe(quadrants.GetTexture(), 0.9f, 0.1f), {255, 255, 255, 255}));
}

// A first read of the image ticks the loading screen, which draws a whole
// frame with its own programs: the texture program is still the one in use
// when its bind returns.
TEST_F(TextureTest, TextureProgramReadsItsImageBeforeItTakesTheProgram) {
  UsePack({{"img/q.png", EncodePng(Quadrants(8, 8, 3, kQuadrantColors))}});
  Application& app = Application::Get();
  app.m_windowRect = {0, 0, 64, 64};
  app.m_viewport = app.m_windowRect;
  rvLoader::s_loadingWindow = Window();

  rvTexColorProgram2D program;
  program.m_textureSlot.m_file = "img/q.png";
  program.Bind();
  rvLoader::s_loadingWindow = nullptr;
  ASSERT_NE(program.m_textureSlot.m_image, nullptr);
  GLint inUse = 0, texture = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &inUse);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
  EXPECT_NE(program.m_program, 0u);
  EXPECT_EQ(GLuint(inUse), program.m_program);
  EXPECT_EQ(GLuint(texture), program.m_textureSlot.m_image->m_texture);
  EXPECT_EQ(g_pCurrentProgram, &program);
  program.Unbind();

  g_pCurrentRenderTarget = nullptr;
  g_pCurrentVectorDisplay = nullptr;
  g_defaultRenderTarget.Destroy(true);
  ReleaseFramePresentation();
}

//-----------------------------------------------------------------------------
// [SECTION] Sharing and video-memory accounting
//-----------------------------------------------------------------------------

TEST_F(TextureTest, SlotsWithTheSameKeyShareOneDecodedTexture) {
  UsePack({{"img/a.png", EncodePng(Gradient4x4())}});
  LogCapture log;
  auto a = std::make_unique<TextureSlot>();
  auto b = std::make_unique<TextureSlot>();
  a->m_file = b->m_file = "img/a.png";
  const GLuint texture = a->GetTexture();
  EXPECT_EQ(b->GetTexture(), texture);
  EXPECT_EQ(a->m_image, b->m_image);
  EXPECT_EQ(Count(log.Text(), "[Texture] alloc image img/a.png"), 1) << "read and decoded once";
  EXPECT_EQ(TextureImage::Cache().size(), 1u);

  a.reset();
  EXPECT_TRUE(glIsTexture(texture)) << "the other slot still uses it";
  EXPECT_EQ(Count(log.Text(), "[Texture] free image"), 0);
  EXPECT_TRUE(PixelNear(Probe(b->GetTexture(), 0.125f, 0.875f), {10, 250, 0, 255}, 1));
  b.reset();
  EXPECT_FALSE(glIsTexture(texture));
  EXPECT_EQ(Count(log.Text(), "[Texture] free image img/a.png --> vram=0Mo\n"), 1);
  EXPECT_TRUE(TextureImage::Cache().empty());
}

TEST_F(TextureTest, EachFilterAndWrapGetsItsOwnCacheEntry) {
  UsePack({{"img/a.png", EncodePng(Gradient4x4())}});
  LogCapture log;
  TextureSlot base, otherFilter, otherWrap, same;
  base.m_file = otherFilter.m_file = otherWrap.m_file = same.m_file = "img/a.png";
  otherFilter.m_filter = 0;
  otherWrap.m_wrapV = 0;
  const GLuint t1 = base.GetTexture(), t2 = otherFilter.GetTexture(), t3 = otherWrap.GetTexture();
  EXPECT_NE(t1, t2);
  EXPECT_NE(t1, t3);
  EXPECT_NE(t2, t3);
  EXPECT_EQ(same.GetTexture(), t1);
  EXPECT_EQ(TextureImage::Cache().size(), 3u);
  EXPECT_EQ(Count(log.Text(), "[Texture] alloc image"), 3);
}

TEST_F(TextureTest, VideoMemoryIsCountedInMillionsOfBytes) {
  auto picture = [](int w, int h) {
    Picture p{w, h, 3, std::vector<unsigned char>(static_cast<size_t>(w) * h * 3, 77)};
    return EncodePng(p);
  };
  UsePack({{"img/a.png", picture(256, 256)}, {"img/b.png", picture(700, 500)}});
  LogCapture log;
  // bytes = w x h x 4, doubled with mipmaps; Mo drops the fraction.
  const struct {
    const char* file;
    int filter;
    uint64_t total;
    const char* line;
  } loads[] = {
      {"img/a.png", 5, 524288, "[Texture] alloc image img/a.png (256x256) --> vram=0Mo (+0Mo)\n"},
      {"img/b.png", 0, 1924288, "[Texture] alloc image img/b.png (700x500) --> vram=1Mo (+1Mo)\n"},
      {"img/b.png", 3, 4724288, "[Texture] alloc image img/b.png (700x500) --> vram=4Mo (+2Mo)\n"},
  };
  std::vector<std::unique_ptr<TextureSlot>> slots;
  for (const auto& l : loads) {
    slots.push_back(std::make_unique<TextureSlot>());
    slots.back()->m_file = l.file;
    slots.back()->m_filter = l.filter;
    slots.back()->LoadImage();
    EXPECT_EQ(TextureImage::TotalBytes(), l.total) << l.line;
    EXPECT_TRUE(log.Contains(l.line)) << log.Text();
  }
  EXPECT_EQ(slots[0]->m_image->m_bytes, 524288u);
  slots[1].reset();
  EXPECT_TRUE(log.Contains("[Texture] free image img/b.png --> vram=3Mo\n")) << log.Text();
  slots[0].reset();
  EXPECT_TRUE(log.Contains("[Texture] free image img/a.png --> vram=2Mo\n")) << log.Text();
  EXPECT_EQ(TextureImage::TotalBytes(), 2800000u);
}

TEST_F(TextureTest, ReleasingTheCacheAtExitDetachesEverySlot) {
  UsePack({{"img/a.png", EncodePng(Gradient4x4())}, {"img/b.png", EncodePng(Stripes4x4())}});
  // A process-wide slot is destroyed after the cache is released: it must
  // not reach back into a freed image.
  static TextureSlot s_longLived;
  s_longLived.m_file = "img/a.png";
  TextureSlot a, b;
  a.m_file = "img/a.png";
  b.m_file = "img/b.png";
  s_longLived.LoadImage();
  a.LoadImage();
  b.LoadImage();
  LogCapture log;
  TextureImage::ReleaseAll();
  EXPECT_EQ(Count(log.Text(), "[Texture] free image img/a.png"), 1);
  EXPECT_EQ(Count(log.Text(), "[Texture] free image img/b.png"), 1);
  EXPECT_TRUE(log.Contains("--> vram=0Mo\n"));
  EXPECT_EQ(s_longLived.m_image, nullptr);
  EXPECT_EQ(a.m_image, nullptr);
  EXPECT_TRUE(TextureImage::Cache().empty());
  EXPECT_EQ(TextureImage::TotalBytes(), 0u);
  // A later use loads again.
  EXPECT_NE(a.GetTexture(), 0u);
  EXPECT_EQ(Count(log.Text(), "[Texture] alloc image img/a.png"), 1);
}

TEST_F(TextureTest, ACopiedSlotBindsOnItsOwn) {
  UsePack({{"img/a.png", EncodePng(Gradient4x4())}});
  auto original = std::make_unique<TextureSlot>();
  original->m_file = "img/a.png";
  original->m_filter = 0;
  const GLuint texture = original->GetTexture();
  TextureSlot copy(*original);
  EXPECT_EQ(copy.m_image, nullptr);
  EXPECT_EQ(copy.m_filter, 0);
  EXPECT_EQ(copy.GetTexture(), texture);
  original.reset();
  EXPECT_TRUE(glIsTexture(texture));
  TextureSlot assigned;
  assigned = copy;
  EXPECT_EQ(assigned.GetTexture(), texture);
  EXPECT_EQ(copy.m_image->m_users.size(), 2u);
}

//-----------------------------------------------------------------------------
// [SECTION] Bad files
//-----------------------------------------------------------------------------

TEST_F(TextureTest, MissingOrBrokenImagesGiveAnEmptyEntryThatIsNotReadAgain) {
  const std::string png = EncodePng(Quadrants(37, 21, 3, kQuadrantColors));
  const std::string jpg = EncodeJpeg(Quadrants(45, 29, 3, kQuadrantColors), 90);
  UsePack({{"img/truncated.png", png.substr(0, png.size() / 2)},
           {"img/header-only.png", png.substr(0, 8)},
           {"img/text.png", "this is not an image\n"},
           {"img/empty.png", ""},
           {"img/truncated.jpg", jpg.substr(0, 60)}});
  const char* files[] = {"img/missing.png", "img/truncated.png", "img/header-only.png",
                         "img/text.png",    "img/empty.png",     "img/truncated.jpg"};
  for (const char* file : files) {
    LogCapture log;
    TextureSlot first, second;
    first.m_file = second.m_file = file;
    const GLuint texture = first.GetTexture();
    EXPECT_NE(texture, 0u) << file;
    ASSERT_NE(first.m_image, nullptr) << file;
    EXPECT_EQ(first.m_image->m_width, 0) << file;
    EXPECT_EQ(first.m_image->m_bytes, 0u) << file;
    EXPECT_TRUE(log.Contains(std::string("[Texture] cannot load image ") + file + ": ")) << log.Text();
    EXPECT_TRUE(log.Contains(std::string("[Texture] alloc image ") + file + " (0x0) --> vram=0Mo (+0Mo)\n"))
        << log.Text();
    // Asked again, the entry answers: no second read, no second line.
    EXPECT_EQ(second.GetTexture(), texture) << file;
    EXPECT_EQ(Count(log.Text(), "[Texture] alloc image"), 1) << file;
    // Sampling an empty texture is harmless.
    Probe(texture, 0.5f, 0.5f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << file;
  }
}

//-----------------------------------------------------------------------------
// [SECTION] Resolving files and effect names
//-----------------------------------------------------------------------------

namespace {

// Effects of two kinds: render-target effects (fxBufferDisplay or a class
// derived from it) and any other kind, in a sequence nested in another.
struct EffectWorld {
  ClassDesc derived{"fxDerivedBuffer", fxBufferDisplay::GetClassDesc(), nullptr};
  ClassDesc other{"fxOther", fxBase::GetClassDesc(), nullptr};
  rvSequence outer{0};
  rvSequence inner{0};
  fxBase* nest = nullptr;  // the effect embedding `inner`

  EffectWorld() {
    nest = Add(outer, CreateZeroFilled<fxBase>(&other), "Nest");
    inner.m_ownerFx = nest;
  }
  ~EffectWorld() {
    inner.Clear();
    outer.Clear();
  }
  fxBase* Add(rvSequence& s, fxBase* fx, const char* name) {
    fx->m_name = name;
    fx->m_owner = &s;
    s.AppendItem(fx);
    return fx;
  }
  fxBase* AddBuffer(rvSequence& s, const char* name, ClassDesc* desc = fxBufferDisplay::GetClassDesc()) {
    return Add(s, fxBufferDisplay::Create(desc), name);
  }
  fxBase* AddOther(rvSequence& s, const char* name) { return Add(s, CreateZeroFilled<fxBase>(&other), name); }
};

}  // namespace

TEST(TextureResolve, EffectNamesFindRenderTargetEffectsThroughEnclosingSequences) {
  EffectWorld w;
  fxBase* outerBuffer = w.AddBuffer(w.outer, "Glow");
  fxBase* innerDerived = w.AddBuffer(w.inner, "Trail", &w.derived);
  w.AddOther(w.inner, "Plain");
  w.AddBuffer(w.outer, "Plain");

  const struct {
    const char* name;
    rvSequence* sequence;
    fxBase* want;
  } cases[] = {
      {"Glow", &w.inner, outerBuffer},   // found through the enclosing sequence
      {"Trail", &w.inner, innerDerived}, // a class derived from the buffer display
      {"Plain", &w.inner, nullptr},      // found, not a buffer: the outer one is not searched
      {"Nowhere", &w.inner, nullptr},
      {"Glow", nullptr, nullptr},        // no sequence: files only
  };
  for (const auto& c : cases) {
    TextureSlot slot;
    slot.m_effectName = c.name;
    slot.Resolve(c.sequence);
    EXPECT_EQ(slot.m_effect, c.want) << c.name;
  }
}

TEST(TextureResolve, RenamingOrClearingTheEffectNameDropsTheOldEffect) {
  EffectWorld w;
  fxBase* glow = w.AddBuffer(w.outer, "Glow");
  TextureSlot slot;
  slot.m_effectName = "Glow";
  slot.Resolve(&w.outer);
  ASSERT_EQ(slot.m_effect, glow);
  slot.Resolve(nullptr);  // no sequence to search: the binding stays
  EXPECT_EQ(slot.m_effect, glow);
  slot.m_effectName = "Gone";
  slot.Resolve(&w.outer);
  EXPECT_EQ(slot.m_effect, nullptr);
  slot.m_effectName = "Glow";
  slot.Resolve(&w.outer);
  EXPECT_EQ(slot.m_effect, glow);
  slot.m_effectName.clear();
  slot.Resolve(nullptr);
  EXPECT_EQ(slot.m_effect, nullptr);
}

TEST_F(TextureTest, AFileNameWinsOverAnEffectAndRebindsOnChange) {
  UsePack({{"img/a.png", EncodePng(Gradient4x4())}, {"img/b.png", EncodePng(Stripes4x4())}});
  EffectWorld w;
  w.AddBuffer(w.outer, "Glow");
  TextureSlot slot;
  slot.m_effectName = "Glow";
  slot.Resolve(&w.outer);
  ASSERT_NE(slot.m_effect, nullptr);

  slot.m_file = "img/a.png";
  slot.Resolve(&w.outer);
  EXPECT_TRUE(slot.m_effectName.empty());
  EXPECT_EQ(slot.m_effect, nullptr);
  const GLuint a = slot.GetTexture();
  EXPECT_NE(a, 0u);

  LogCapture log;
  slot.m_file = "img/b.png";
  const GLuint b = slot.GetTexture();
  EXPECT_TRUE(log.Contains("[Texture] free image img/a.png")) << "no other user: freed";
  EXPECT_TRUE(PixelNear(Probe(b, 0.375f, 0.5f), {255, 0, 0, 255}, 1));

  slot.m_filter = 0;  // a mode change rebinds as well
  EXPECT_NE(slot.GetTexture(), 0u);
  EXPECT_EQ(slot.m_image->m_filter, 0);
  EXPECT_EQ(TextureImage::Cache().size(), 1u);

  slot.m_file.clear();  // no file, no effect: nothing to sample
  EXPECT_EQ(slot.GetTexture(), 0u);
  EXPECT_TRUE(TextureImage::Cache().empty());
}

TEST_F(TextureTest, AnEffectBufferIsSampledOnlyWhileItsEffectRuns) {
  EffectWorld w;
  auto* glow = static_cast<fxBufferDisplay*>(w.AddBuffer(w.outer, "Glow"));
  // The buffer as the effect's Init makes it, without a vector layer.
  glow->m_target.Create("Glow", 8, 8, 1, glow->FramebufferFlags());
  ASSERT_NE(glow->m_target.m_colorFramebuffer, nullptr);
  FramebufferGL* gl = glow->m_target.m_colorFramebuffer->GL();
  glBindFramebuffer(GL_FRAMEBUFFER, gl->m_framebuffer);
  glClearColor(0.2f, 0.6f, 1.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  MakeTarget(4, 4);

  TextureSlot slot;
  slot.m_effectName = "Glow";
  slot.Resolve(&w.inner);  // found through the enclosing sequence
  ASSERT_EQ(slot.m_effect, glow);
  const struct {
    int state;
    bool sampled;
  } cases[] = {{StateRunning, true}, {StatePrepared, false}, {StateInitialized, false}, {StateRunning, true}};
  for (const auto& c : cases) {
    glow->m_state = c.state;
    const GLuint texture = slot.GetTexture();
    if (!c.sampled) {
      EXPECT_EQ(texture, 0u) << "state " << c.state;
      continue;
    }
    EXPECT_EQ(texture, gl->m_colorTexture);
    EXPECT_TRUE(PixelNear(Probe(texture, 0.5f, 0.5f), {51, 153, 255, 255}, 1));
  }
  glow->m_state = StateNone;
}
