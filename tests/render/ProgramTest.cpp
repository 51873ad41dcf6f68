// GPU program classes against a real GL context: the built-in 2D and 3D
// programs, rectangle placement (anchors, cover, flips, UV controls),
// colour controls, saved GL state, the program clock and failed builds.
#include <gtest/gtest.h>

#include <cmath>

#include <glm/gtc/matrix_transform.hpp>
#include <stb/stb_image_write.h>

#include "core/AppLog.h"
#include "sequence/fxBase.h"
#include "render/GpuBuffer.h"
#include "render/RenderTarget.h"
#include "render/rvProgram.h"
#include "sequence/rvSequence.h"
#include "support/GLFixture.h"
#include "support/LogCapture.h"
#include "support/TestPack.h"
#include "Loader/AssetPath.h"

namespace {

constexpr int kSize = 64;

// Shows the interpolated texture coordinates, squeezed from -1..3 into the
// 0..1 a colour can hold, so that coordinates outside 0..1 stay visible.
const char kUvProbe[] =
    "SHADER_HEADER\n"
    "in vec2 TexCoords;\n"
    "out vec4 fragColor;\n"
    "uniform vec4 vAddColor;\n"
    "uniform vec4 vMulColor;\n"
    "uniform vec4 vMaxColor;\n"
    "void main()\n"
    "{\n"
    "  vec4 col = vec4(TexCoords * 0.25 + 0.25, 0.0, 1.0);\n"
    "  fragColor = clamp((col+vAddColor)*vMulColor,vec4(0),vMaxColor);\n"
    "}\n";

class ProgramTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    MakeTarget(kSize, kSize);
    Clear();
  }
  static void Clear() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  // Pixel at target coordinates (x right, y down, in 0..1).
  static Rgba8 At(float x, float y) {
    return ReadPixel(static_cast<int>(x * kSize), kSize - 1 - static_cast<int>(y * kSize));
  }
  // Texture coordinates read back from the UV probe.
  static void UvAt(float x, float y, float& u, float& v) {
    Rgba8 p = At(x, y);
    u = (p[0] / 255.0f - 0.25f) * 4.0f;
    v = (p[1] / 255.0f - 0.25f) * 4.0f;
  }
};

TEST_F(ProgramTest, DrawFullCoversTheTargetWithUpwardV) {
  rvProgram2D program;
  program.m_stages[StageFragment].source = kUvProbe;
  program.Bind();
  program.DrawFull(0);
  program.Unbind();
  struct Case {
    float x, y, u, v;
  } cases[] = {{0.5f / kSize, 0.5f / kSize, 0.0f, 1.0f},
               {1.0f - 0.5f / kSize, 0.5f / kSize, 1.0f, 1.0f},
               {0.5f / kSize, 1.0f - 0.5f / kSize, 0.0f, 0.0f},
               {1.0f - 0.5f / kSize, 1.0f - 0.5f / kSize, 1.0f, 0.0f},
               {0.5f, 0.5f, 0.5f, 0.5f}};
  for (const Case& c : cases) {
    float u, v;
    UvAt(c.x, c.y, u, v);
    EXPECT_NEAR(u, c.u, 0.05f) << c.x << "," << c.y;
    EXPECT_NEAR(v, c.v, 0.05f) << c.x << "," << c.y;
  }
}

TEST_F(ProgramTest, RectanglesFollowTheirAnchors) {
  struct Case {
    int flags;
    float x, y, w, h;
    float left, top, right, bottom;  // expected, target units
  } cases[] = {
      {0, 0.5f, 0.5f, 0.5f, 0.5f, 0.25f, 0.25f, 0.75f, 0.75f},
      {RECT_LEFT | RECT_TOP, 0.0f, 0.0f, 0.5f, 0.25f, 0.0f, 0.0f, 0.5f, 0.25f},
      {RECT_RIGHT | RECT_BOTTOM, 1.0f, 1.0f, 0.25f, 0.5f, 0.75f, 0.5f, 1.0f, 1.0f},
      {RECT_LEFT | RECT_BOTTOM, 0.25f, 0.75f, 0.5f, 0.25f, 0.25f, 0.5f, 0.75f, 0.75f},
      {RECT_RIGHT, 0.5f, 0.5f, 0.25f, 0.5f, 0.25f, 0.25f, 0.5f, 0.75f},
      {RECT_TOP, 0.5f, 0.0f, 0.5f, 0.5f, 0.25f, 0.0f, 0.75f, 0.5f},
  };
  for (const Case& c : cases) {
    Clear();
    SetFillColor(1.0f, 1.0f, 1.0f, 1.0f);
    FillColorProgram().DrawRect(c.flags, c.x, c.y, c.w, c.h);
    FillColorProgram().Unbind();
    // Sample pixel centres half a pixel away from every edge.
    for (int py = 0; py < kSize; py += 3) {
      for (int px = 0; px < kSize; px += 3) {
        const float x = (px + 0.5f) / kSize, y = (py + 0.5f) / kSize;
        const bool inside = x > c.left && x < c.right && y > c.top && y < c.bottom;
        const Rgba8 want = inside ? Rgba8{255, 255, 255, 255} : Rgba8{0, 0, 0, 255};
        ASSERT_TRUE(PixelNear(At(x, y), want)) << "flags " << c.flags << " at " << x << "," << y;
      }
    }
  }
}

TEST_F(ProgramTest, UvControlsMoveFlipAndTurnTheTexture) {
  struct Case {
    float scaleX, scaleY, offsetX, offsetY, rotation;
    float x, y, u, v;  // a pixel and the coordinates it must show
  } cases[] = {
      {-1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.05f, 0.5f, 0.95f, 0.5f},            // horizontal flip
      {1.0f, -1.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.05f, 0.5f, 0.05f},            // vertical flip
      {2.0f, 2.0f, 0.0f, 0.0f, 0.0f, 0.05f, 0.05f, -0.4f, 1.4f},            // zoom out about the centre
      {1.0f, 1.0f, 0.25f, -0.5f, 0.0f, 0.05f, 0.05f, 0.3f, 0.45f},          // offset
      {1.0f, 1.0f, 0.0f, 0.0f, float(M_PI / 2), 0.05f, 0.05f, 0.05f, 0.05f},  // quarter turn
      {1.0f, 1.0f, 0.0f, 0.0f, float(M_PI / 2), 0.95f, 0.05f, 0.05f, 0.95f},
  };
  rvProgram2D program;
  program.m_stages[StageFragment].source = kUvProbe;
  for (const Case& c : cases) {
    Clear();
    program.Bind();
    program.m_uvScale[0] = c.scaleX;
    program.m_uvScale[1] = c.scaleY;
    program.m_uvOffset[0] = c.offsetX;
    program.m_uvOffset[1] = c.offsetY;
    program.m_uvRotation = c.rotation;
    program.DrawFull(0);
    program.Unbind();
    float u, v;
    UvAt(c.x, c.y, u, v);
    EXPECT_NEAR(u, c.u, 0.06f) << "case at " << c.x << "," << c.y << " rotation " << c.rotation;
    EXPECT_NEAR(v, c.v, 0.06f) << "case at " << c.x << "," << c.y << " rotation " << c.rotation;
  }
}

TEST_F(ProgramTest, CoverWidensToTheTargetAndKeepsTheTextureInPlace) {
  rvProgram2D program;
  program.m_stages[StageFragment].source = kUvProbe;
  program.Bind();
  program.DrawRect(RECT_COVER, 0.5f, 0.5f, 0.5f, 0.5f);
  program.Unbind();
  struct Case {
    float x, y, u, v;
  } cases[] = {{0.25f + 0.5f / kSize, 0.5f, 0.0f, 0.5f},
               {0.5f, 0.5f, 0.5f, 0.5f},
               {0.5f / kSize, 0.5f, -0.5f, 0.5f},
               {1.0f - 0.5f / kSize, 1.0f - 0.5f / kSize, 1.5f, -0.5f}};
  for (const Case& c : cases) {
    float u, v;
    UvAt(c.x, c.y, u, v);
    EXPECT_NEAR(u, c.u, 0.06f) << c.x << "," << c.y;
    EXPECT_NEAR(v, c.v, 0.06f) << c.x << "," << c.y;
  }
}

TEST_F(ProgramTest, PixelRectWithNegativeSizeSpansTheViewport) {
  SetFillColor(0.0f, 1.0f, 0.0f, 1.0f);
  FillColorProgram().DrawPixelRect(RECT_LEFT | RECT_TOP, 0, 16, -1, 16);
  FillColorProgram().Unbind();
  EXPECT_TRUE(PixelNear(At(0.01f, 0.3f), {0, 255, 0, 255}));
  EXPECT_TRUE(PixelNear(At(0.99f, 0.3f), {0, 255, 0, 255}));
  EXPECT_TRUE(PixelNear(At(0.5f, 0.2f), {0, 0, 0, 255}));
  EXPECT_TRUE(PixelNear(At(0.5f, 0.55f), {0, 0, 0, 255}));
}

TEST_F(ProgramTest, ColourControlsAddMultiplyAndCap) {
  struct Case {
    float fill[4], add[4], mul[4], max[4];
    Rgba8 want;
  } cases[] = {
      {{0.2f, 0.4f, 0.6f, 1.0f}, {0, 0, 0, 0}, {1, 1, 1, 1}, {9999, 9999, 9999, 1}, {51, 102, 153, 255}},
      {{0.2f, 0.4f, 0.6f, 1.0f}, {0.2f, 0.2f, 0.2f, 0}, {1, 1, 1, 1}, {9999, 9999, 9999, 1}, {102, 153, 204, 255}},
      {{0.2f, 0.4f, 0.6f, 1.0f}, {0, 0, 0, 0}, {2, 0.5f, 1, 1}, {9999, 9999, 9999, 1}, {102, 51, 153, 255}},
      {{0.2f, 0.4f, 0.6f, 1.0f}, {0, 0, 0, 0}, {1, 1, 1, 1}, {0.3f, 0.3f, 0.3f, 1}, {51, 77, 77, 255}},
      {{0.2f, 0.4f, 0.6f, 1.0f}, {-1, 0, 0, 0}, {1, 1, 1, 1}, {9999, 9999, 9999, 1}, {0, 102, 153, 255}},
  };
  rvFillColorProgram2D& p = FillColorProgram();
  for (const Case& c : cases) {
    Clear();
    SetFillColor(c.fill[0], c.fill[1], c.fill[2], c.fill[3]);
    std::copy(c.add, c.add + 4, p.m_addColor);
    std::copy(c.mul, c.mul + 4, p.m_mulColor);
    std::copy(c.max, c.max + 4, p.m_maxColor);
    p.UploadColor(p.m_addColorLocation, p.m_addColor);
    p.UploadColor(p.m_mulColorLocation, p.m_mulColor);
    p.UploadColor(p.m_maxColorLocation, p.m_maxColor);
    p.DrawFull(0);
    p.Unbind();
    EXPECT_TRUE(PixelNear(At(0.5f, 0.5f), c.want));
  }
  // The next bind resets the controls.
  Clear();
  SetFillColor(0.2f, 0.4f, 0.6f, 1.0f);
  p.DrawFull(0);
  p.Unbind();
  EXPECT_TRUE(PixelNear(At(0.5f, 0.5f), {51, 102, 153, 255}));
}

TEST_F(ProgramTest, BindSavesAndUnbindRestoresDepthBlendAndCull) {
  struct Case {
    bool depth, blend, cull;
  } cases[] = {{true, false, false}, {false, true, false}, {false, false, true}, {true, true, true}};
  rvProgram2D program;
  program.m_stages[StageFragment].source = kUvProbe;
  for (const Case& c : cases) {
    c.depth ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
    c.blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
    c.cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
    program.Bind();
    EXPECT_EQ(g_pCurrentProgram, &program);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    program.Unbind();
    EXPECT_EQ(g_pCurrentProgram, nullptr);
    EXPECT_EQ(bool(glIsEnabled(GL_DEPTH_TEST)), c.depth);
    EXPECT_EQ(bool(glIsEnabled(GL_BLEND)), c.blend);
    EXPECT_EQ(bool(glIsEnabled(GL_CULL_FACE)), c.cull);
  }
}

// ---------------------------------------------------------------------------
// Texture programs
// ---------------------------------------------------------------------------

// A 2 x 1 texture: red on the left, green on the right.
GLuint MakeTwoTexelTexture() {
  const uint8_t texels[8] = {255, 0, 0, 255, 0, 255, 0, 255};
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glBindTexture(GL_TEXTURE_2D, 0);
  return tex;
}

TEST_F(ProgramTest, TexturedFullPassKeepsTheTextureAspect) {
  const GLuint tex = MakeTwoTexelTexture();
  const Rgba8 red{255, 0, 0, 255}, green{0, 255, 0, 255}, black{0, 0, 0, 255};
  struct Case {
    int flags;
    float x, y;
    Rgba8 want;
  } cases[] = {
      {RECT_KEEP_ASPECT_H, 0.25f, 0.5f, red},             // centred band, half the height
      {RECT_KEEP_ASPECT_H, 0.75f, 0.5f, green},
      {RECT_KEEP_ASPECT_H, 0.25f, 0.1f, black},
      {RECT_KEEP_ASPECT_H, 0.25f, 0.9f, black},
      {RECT_KEEP_ASPECT_H | RECT_TOP, 0.25f, 0.1f, red},  // anchored at the top
      {RECT_KEEP_ASPECT_H | RECT_TOP, 0.25f, 0.9f, black},
      {RECT_KEEP_ASPECT_H | RECT_BOTTOM, 0.75f, 0.9f, green},
      {RECT_KEEP_ASPECT_H | RECT_BOTTOM, 0.75f, 0.1f, black},
      {RECT_KEEP_ASPECT_W, 0.1f, 0.5f, red},              // twice as wide: the centre columns only
      {RECT_KEEP_ASPECT_W, 0.9f, 0.5f, green},
  };
  rvTexColorProgram2D program;
  for (const Case& c : cases) {
    Clear();
    program.BindTexture(tex);
    EXPECT_EQ(program.m_texWidth, 2);
    EXPECT_EQ(program.m_texHeight, 1);
    program.DrawFull(c.flags);
    program.Unbind();
    EXPECT_TRUE(PixelNear(At(c.x, c.y), c.want)) << "flags " << c.flags << " at " << c.x << "," << c.y;
  }
  GLint bound = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0);
  glDeleteTextures(1, &tex);
}

// A PNG of w x h: the top row red, every other row blue.
std::string TopRowRedPng(int w, int h) {
  std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4, 0);
  for (int i = 0; i < w * h; ++i) {
    const bool top = i < w;
    rgba[i * 4 + 0] = top ? 255 : 0;
    rgba[i * 4 + 2] = top ? 0 : 255;
    rgba[i * 4 + 3] = 255;
  }
  std::string png;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) { static_cast<std::string*>(context)->append((char*)data, size); },
      &png, w, h, 4, rgba.data(), w * 4);
  return png;
}

TEST_F(ProgramTest, TextureFileShowsUprightWithItsSize) {
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/img/rows.png", TopRowRedPng(8, 4)}}));
  EnterDir(dir);
  SetDataDirectory("Data");
  rvTexColorProgram2D program;
  program.SetTexture("img/rows.png");
  EXPECT_EQ(program.m_texWidth, 8);
  EXPECT_EQ(program.m_texHeight, 4);
  program.m_textureSlot.m_filter = 0;  // nearest: rows stay sharp
  program.Bind();
  program.DrawFull(RECT_KEEP_ASPECT_H);  // 8 x 4 over a square: a centred band of half the height
  program.Unbind();
  EXPECT_TRUE(PixelNear(At(0.5f, 0.3f), {255, 0, 0, 255}));  // the image's top row at the top
  EXPECT_TRUE(PixelNear(At(0.5f, 0.6f), {0, 0, 255, 255}));
  EXPECT_TRUE(PixelNear(At(0.5f, 0.1f), {0, 0, 0, 255}));
  EXPECT_TRUE(PixelNear(At(0.5f, 0.9f), {0, 0, 0, 255}));

  program.SetTexture("img/missing.png");
  EXPECT_EQ(program.m_texWidth, 0);
  Clear();
  program.Bind();
  program.DrawFull(0);
  program.Unbind();
  EXPECT_TRUE(PixelNear(At(0.5f, 0.5f), {0, 0, 0, 255}));
}

TEST_F(ProgramTest, TexturedFullPassWithoutTextureSizeDrawsNothing) {
  rvTexColorProgram2D program;
  program.Bind();
  program.DrawFull(0);
  program.Unbind();
  EXPECT_TRUE(PixelNear(At(0.5f, 0.5f), {0, 0, 0, 255}));
}

TEST_F(ProgramTest, TextureViewsShowAlphaDepthAndColour) {
  const uint8_t texel[4] = {200, 100, 50, 128};
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  rvTexAlphaProgram2D alpha;
  rvTexDepthProgram2D depth;
  rvTexStencilProgram2D stencil;
  const float d = std::pow(200.0f / 255.0f, 100.0f) * 255.0f;
  struct Case {
    rvProgram2D* program;
    Rgba8 want;
  } cases[] = {{&alpha, {128, 128, 128, 255}},
               {&depth, {uint8_t(d), uint8_t(d), uint8_t(d), 255}},
               {&stencil, {200, 100, 50, 255}}};
  for (const Case& c : cases) {
    Clear();
    c.program->Bind();
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, tex);
    c.program->DrawFull(0);
    c.program->Unbind();
    EXPECT_NE(c.program->m_program, 0u);
    EXPECT_TRUE(PixelNear(At(0.5f, 0.5f), c.want));
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0) << "the texture views unbind unit 0";
  }
  EXPECT_EQ(depth.m_zFar, 1000.0f);
  glDeleteTextures(1, &tex);
}

// ---------------------------------------------------------------------------
// 3D program
// ---------------------------------------------------------------------------

TEST_F(ProgramTest, Program3DDrawsThroughTheCurrentTargetCamera) {
  const char white[] = "SHADER_HEADER\nout vec4 c;\nvoid main(){ c = vec4(1.0); }\n";
  rvProgram3D program;
  program.m_stages[StageFragment].source = white;
  RenderTarget target;
  target.m_viewProjection = glm::scale(glm::mat4(1.0f), glm::vec3(0.5f, 0.25f, 1.0f));
  RenderTarget* previous = g_pCurrentRenderTarget;
  g_pCurrentRenderTarget = &target;

  VertexArray quad;
  auto* buffer = new VertexBuffer(GL_ARRAY_BUFFER, GL_STATIC_DRAW);
  buffer->CreateQuad();
  buffer->AddAttribute2(0);
  buffer->AddAttribute2(1);
  quad.AddBuffer(buffer);
  quad.Build();

  program.Bind();
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  quad.Draw();
  program.Unbind();
  EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
  g_pCurrentRenderTarget = previous;

  EXPECT_TRUE(PixelNear(At(0.5f, 0.5f), {255, 255, 255, 255}));
  EXPECT_TRUE(PixelNear(At(0.3f, 0.4f), {255, 255, 255, 255}));
  EXPECT_TRUE(PixelNear(At(0.2f, 0.5f), {0, 0, 0, 255}));
  EXPECT_TRUE(PixelNear(At(0.5f, 0.3f), {0, 0, 0, 255}));
  EXPECT_EQ(program.m_mvp, target.m_viewProjection);
}

// ---------------------------------------------------------------------------
// Clock and failures
// ---------------------------------------------------------------------------

const char kTimeProbe[] =
    "SHADER_HEADER\nout vec4 c;\nvoid main(){ c = vec4(iTime / 10.0, iResolution / 256.0, 1.0); }\n";

TEST_F(ProgramTest, TimeAndResolutionComeFromTheEffectAndTheViewport) {
  fxBase fx(fxBase::GetClassDesc());
  fx.m_localTime = 5.0f;
  g_pCurrentFx = &fx;
  rvProgram2D program;
  program.m_stages[StageFragment].source = kTimeProbe;
  program.m_timeOffset = 1.0f;
  program.Bind();
  program.DrawFull(0);
  EXPECT_FLOAT_EQ(program.m_time, 6.0f);
  EXPECT_FLOAT_EQ(program.m_delta, 6.0f);
  program.Bind();  // same frame, same effect time
  EXPECT_FLOAT_EQ(program.m_delta, 0.0f);
  fx.m_localTime = 5.5f;
  program.Bind();
  EXPECT_FLOAT_EQ(program.m_delta, 0.5f);
  program.Unbind();
  g_pCurrentFx = nullptr;
  EXPECT_TRUE(PixelNear(At(0.5f, 0.5f), {153, 64, 64, 255}));
}

TEST_F(ProgramTest, TimeSourcesWalkTheOwnerChain) {
  // outer sequence (12 s) holds `nest`, whose nested sequence (7 s) holds
  // `inner`; `loose` belongs to no sequence.
  rvSequence outer(0), nested(0);
  outer.m_time = 12.0f;
  nested.m_time = 7.0f;
  fxBase nest(fxBase::GetClassDesc()), inner(fxBase::GetClassDesc()), loose(fxBase::GetClassDesc());
  nest.m_owner = &outer;
  nest.m_localTime = 4.0f;
  nested.m_ownerFx = &nest;
  inner.m_owner = &nested;
  inner.m_localTime = 2.0f;
  loose.m_localTime = 3.0f;
  struct Case {
    fxBase* current;
    int source;
    float want;
  } cases[] = {
      {&inner, TimeSourceEffect, 2.0f},         {&inner, TimeSourceSequence, 7.0f},
      {&inner, TimeSourceOuterSequence, 12.0f}, {&nest, TimeSourceOuterSequence, 12.0f},
      {&nest, TimeSourceSequence, 12.0f},       {&loose, TimeSourceSequence, 3.0f},
      {&loose, TimeSourceOuterSequence, 3.0f},  {nullptr, TimeSourceEffect, 0.0f},
      {nullptr, TimeSourceSequence, 0.0f},      {&inner, 7, 0.0f},
  };
  rvProgram2D program;
  program.m_timeOffset = 0.5f;
  for (const Case& c : cases) {
    g_pCurrentFx = c.current;
    program.m_timeSource = c.source;
    EXPECT_FLOAT_EQ(program.ProgramTime(), c.want + 0.5f) << "source " << c.source;
  }
  g_pCurrentFx = nullptr;
  nest.m_owner = nullptr;  // `nest` becomes the owner of a sequence with no owner
  g_pCurrentFx = &inner;
  program.m_timeSource = TimeSourceOuterSequence;
  EXPECT_FLOAT_EQ(program.ProgramTime(), 4.5f);
  g_pCurrentFx = nullptr;

  program.m_timeSource = TimeSourceWallClock;
  const float a = program.ProgramTime();
  EXPECT_GT(a, 0.5f);
  EXPECT_GE(program.ProgramTime(), a);
}

TEST_F(ProgramTest, ShaderThatDoesNotCompileDrawsNothingAndLogs) {
  LogCapture log;
  const char broken[] =
      "SHADER_HEADER\n"
      "out vec4 c;\n"
      "void main()\n"
      "{ c = undefinedThing; }\n";
  rvProgram2D program;
  program.m_stages[StageFragment].source = broken;
  EXPECT_FALSE(program.Link());
  EXPECT_EQ(program.m_program, 0u);
  // The stage title, then the mapped compiler log with nothing added.
  EXPECT_EQ(ShaderErrorLog().rfind("Fragment Shader:\n    \xEF\x84\x98 Line 4", 0), 0u) << ShaderErrorLog();
  EXPECT_NE(ShaderErrorLog().find("undefinedThing"), std::string::npos) << ShaderErrorLog();
  EXPECT_NE(ShaderErrorLog().back(), '\n') << ShaderErrorLog();
  EXPECT_TRUE(log.Contains("Fragment Shader:\n"));

  program.Bind();
  program.DrawFull(0);
  program.Unbind();
  EXPECT_TRUE(PixelNear(At(0.5f, 0.5f), {0, 0, 0, 255}));
}

TEST_F(ProgramTest, ProgramThatDoesNotLinkReportsTheLinkLog) {
  LogCapture log;
  // The fragment stage reads an input no earlier stage writes.
  const char fragment[] =
      "SHADER_HEADER\nin vec3 missingVarying;\nout vec4 c;\nvoid main(){ c = vec4(missingVarying, 1.0); }\n";
  rvProgram2D program;
  program.m_stages[StageFragment].source = fragment;
  program.Bind();
  EXPECT_EQ(program.m_program, 0u);
  EXPECT_EQ(ShaderErrorLog().rfind("ERROR: ", 0), 0u) << ShaderErrorLog();
  EXPECT_NE(ShaderErrorLog().find("missingVarying"), std::string::npos) << ShaderErrorLog();
  EXPECT_TRUE(log.Contains("ERROR: "));
  EXPECT_FALSE(program.Link());
  program.DrawFull(0);
  program.Unbind();
  EXPECT_TRUE(PixelNear(At(0.5f, 0.5f), {0, 0, 0, 255}));
}

TEST_F(ProgramTest, ReleaseReturnsTheProgramToUnbuilt) {
  rvProgram2D program;
  program.m_stages[StageFragment].source = kUvProbe;
  program.Bind();
  const GLuint name = program.m_program;
  ASSERT_NE(name, 0u);
  program.Release();
  EXPECT_EQ(g_pCurrentProgram, nullptr);
  EXPECT_EQ(program.m_program, 0u);
  EXPECT_FALSE(glIsProgram(name));
  program.Bind();  // builds again
  EXPECT_NE(program.m_program, 0u);
  program.Unbind();
}

}  // namespace
