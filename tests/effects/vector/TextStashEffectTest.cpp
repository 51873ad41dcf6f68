// Atlas text: the atlas side from Dpi and the target's height, alignment
// read back from the pixels, colour times fade with every byte clamped, the
// glow capture (closed and the display's brightness restored, also over the
// window's framebuffer 0), and bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "effects/vector/fxTextStash.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/VectorDisplay.h"
#include "support/DefaultTargetFixture.h"
#include "support/TestPack.h"

namespace {

constexpr int kSize = 128;
const char* const kDejaVuPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::string FileBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Lit pixels of a frame, with y from the top as the text is placed.
struct Lit {
  int x0 = kSize, y0 = kSize, x1 = -1, y1 = -1;
  int count = 0;
  int maxRed = 0, maxGreen = 0, maxBlue = 0;
};

Lit ReadLit(GLuint framebuffer) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
  std::vector<uint8_t> pixels(size_t(kSize) * kSize * 4);
  glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  Lit lit;
  for (int row = 0; row < kSize; ++row) {
    for (int x = 0; x < kSize; ++x) {
      const uint8_t* p = &pixels[(size_t(row) * kSize + x) * 4];
      lit.maxRed = std::max<int>(lit.maxRed, p[0]);
      lit.maxGreen = std::max<int>(lit.maxGreen, p[1]);
      lit.maxBlue = std::max<int>(lit.maxBlue, p[2]);
      if (std::max({p[0], p[1], p[2]}) < 100) continue;
      const int y = kSize - 1 - row;
      ++lit.count;
      lit.x0 = std::min(lit.x0, x);
      lit.x1 = std::max(lit.x1, x);
      lit.y0 = std::min(lit.y0, y);
      lit.y1 = std::max(lit.y1, y);
    }
  }
  return lit;
}

class TextStashEffect : public DefaultTargetTest {
 protected:
  TextStashEffect() : DefaultTargetTest(kSize, kSize) {}
  void SetUp() override {
    DefaultTargetTest::SetUp();
    if (HasFatalFailure()) return;
    const std::string dejavu = FileBytes(kDejaVuPath);
    ASSERT_GT(dejavu.size(), 10000u);
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/font/DejaVuSans.ttf", dejavu}}));
    EnterDir(m_dir);
  }
  fxTextStash* Add(const std::string& properties) {
    fxBase* fx =
        AddRunning("fxTextStash", "{\"Font\":\"font/DejaVuSans.ttf\",\"Dpi\":256," + properties.substr(1));
    EXPECT_NE(fx, nullptr);
    return static_cast<fxTextStash*>(fx);
  }
  static GLuint DefaultFramebuffer() { return g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer; }
  // Clears "Default", draws one frame of the effect into it and reads it.
  Lit DrawAndRead(fxBase* fx, float t = 0.0f) {
    glBindFramebuffer(GL_FRAMEBUFFER, DefaultFramebuffer());
    glViewport(0, 0, kSize, kSize);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Frame(fx, t);
    return ReadLit(DefaultFramebuffer());
  }
  TempDir m_dir;
};

}  // namespace

TEST_F(TextStashEffect, AtlasSideFollowsDpiAndTheTargetHeight) {
  struct Case {
    int dpi, height, side;
  };
  const Case cases[] = {{1024, 1080, 1228}, {1024, 720, 1024}, {256, 128, 256}, {100, 9000, 1000}};
  for (const Case& c : cases) {
    fxTextStash* fx = Add("{\"Dpi\":" + std::to_string(c.dpi) + "}");
    EXPECT_EQ(fx->AtlasSide(c.height), c.side) << c.dpi << " " << c.height;
    RenderTarget target;
    target.m_height = c.height;
    RenderTarget* saved = g_pCurrentRenderTarget;
    g_pCurrentRenderTarget = &target;
    fx->Init();
    g_pCurrentRenderTarget = saved;
    int w = 0, h = 0;
    ASSERT_NE(fx->m_renderer.Context(), nullptr);
    fonsGetAtlasSize(fx->m_renderer.Context(), &w, &h);
    EXPECT_EQ(w, c.side);
    EXPECT_EQ(h, c.side);
  }
}

TEST_F(TextStashEffect, AlignmentPlacesTheTextAroundItsPosition) {
  struct Case {
    int h, v;
    int bits;
  };
  const Case cases[] = {{0, 3, 1 | 64}, {1, 3, 2 | 64}, {2, 3, 4 | 64}, {0, 0, 1 | 8}, {1, 1, 2 | 16}, {9, -4, 4 | 8}};
  for (const Case& c : cases) {
    fxTextStash* fx = Add("{\"Text\":\"HH\",\"Size\":0.2,\"AlignH\":" + std::to_string(c.h) +
                          ",\"AlignV\":" + std::to_string(c.v) + "}");
    EXPECT_EQ(fx->Alignment(), c.bits);
    const Lit lit = DrawAndRead(fx);
    ASSERT_GT(lit.count, 20) << c.h << " " << c.v;
    const int h = std::clamp(c.h, 0, 2), v = std::clamp(c.v, 0, 3);
    // The pen is at (64, 64).
    const double x = h == 0 ? lit.x0 : h == 1 ? (lit.x0 + lit.x1) / 2.0 : lit.x1;
    EXPECT_NEAR(x, 64, h == 1 ? 2 : 4) << "horizontal " << h;
    if (v == 0) {
      EXPECT_NEAR(lit.y0, 64, 6) << "top";
    } else if (v == 3) {
      EXPECT_NEAR(lit.y1, 63, 2) << "baseline";
    }
  }
}

TEST_F(TextStashEffect, TheFadeScalesAlphaOnlyAndEveryByteIsClamped) {
  fxTextStash* fx = Add(R"({"Text":"HH","Size":0.2,"FadeIn":1.0,"Color.r":1,"Color.g":0.5,"Color.b":0.25})");
  Frame(fx, 0.5f);
  EXPECT_EQ(fx->PackedColor(0.5f), 0x7F3F7FFFu);
  fx->m_color = glm::vec4(2.0f, -1.0f, 0.0f, 4.0f);
  EXPECT_EQ(fx->PackedColor(1.0f), 0xFF0000FFu);

  // Drawn: pure red at fade 1 and at fade 0.5 (over black, alpha blended).
  fxTextStash* full = Add(R"({"Text":"HH","Size":0.2,"Color.r":1,"Color.g":0,"Color.b":0})");
  const Lit bright = DrawAndRead(full);
  fxTextStash* faded = Add(R"({"Text":"HH","Size":0.2,"Color.r":1,"Color.g":0,"Color.b":0,"FadeIn":1.0})");
  const Lit half = DrawAndRead(faded, 0.5f);
  EXPECT_GE(bright.maxRed, 250);
  EXPECT_NEAR(half.maxRed, 128, 3);
  // A driven red of 2 would spill into green without the clamp.
  full->m_color = glm::vec4(2.0f, 0.0f, 0.0f, 1.0f);
  const Lit over = DrawAndRead(full);
  EXPECT_GE(over.maxRed, 250);
  EXPECT_EQ(over.maxGreen, 0);
  EXPECT_EQ(over.maxBlue, 0);
}

TEST_F(TextStashEffect, GlowDrawsThroughTheDisplayAndRestoresItsBrightness) {
  vector_display* display = g_pCurrentVectorDisplay;
  ASSERT_NE(display, nullptr);
  for (const char* text : {"HH", ""}) {
    fxTextStash* fx = Add(std::string("{\"Text\":\"") + text + "\",\"Size\":0.2,\"Glow\":0.5}");
    display->m_settings.colorBrightness = 0.8f;
    const Lit lit = DrawAndRead(fx);
    EXPECT_FLOAT_EQ(display->m_settings.colorBrightness, 0.8f) << text;
    EXPECT_EQ(display->m_glowPasses, 4) << text;  // ceil(0.5 x 8)
    GLint bound = -1;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), DefaultFramebuffer()) << text;
    EXPECT_EQ(lit.count > 20, text[0] != '\0') << text;
  }
}

TEST_F(TextStashEffect, TheGlowSpreadsLightAroundTheGlyphs) {
  // Pixels lit at all (above 8): the blur reaches past the glyphs' edges.
  auto faintlyLit = [this](fxBase* fx) {
    glBindFramebuffer(GL_FRAMEBUFFER, DefaultFramebuffer());
    glViewport(0, 0, kSize, kSize);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Frame(fx, 0.0f);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, DefaultFramebuffer());
    const std::vector<uint8_t> pixels = ReadPixels(0, 0, kSize, kSize);
    int count = 0;
    for (size_t i = 0; i < pixels.size(); i += 4) count += std::max({pixels[i], pixels[i + 1], pixels[i + 2]}) > 8;
    return count;
  };
  const int plain = faintlyLit(Add(R"({"Text":"HH","Size":0.2})"));
  const int glowing = faintlyLit(Add(R"({"Text":"HH","Size":0.2,"Glow":1.0})"));
  EXPECT_GT(plain, 50);
  EXPECT_GT(glowing, plain * 3 / 2);
}

TEST_F(TextStashEffect, AGlowCaptureOverTheWindowsFramebufferIsClosedToo) {
  vector_display* display = g_pCurrentVectorDisplay;
  fxTextStash* fx = Add(R"({"Text":"HH","Size":0.2,"Glow":0.5})");
  display->m_settings.colorBrightness = 0.3f;
  display->m_glowPasses = 0;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  Frame(fx, 0.0f);
  GLint bound = -1;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
  EXPECT_EQ(bound, 0) << "the pass framebuffer was left bound";
  EXPECT_FLOAT_EQ(display->m_settings.colorBrightness, 0.3f);
  EXPECT_EQ(display->m_glowPasses, 4);
}

TEST_F(TextStashEffect, AMissingFontOrNoContextDrawsNothing) {
  // Every case but the first has the real font of the pack: only the Dpi or
  // the font name keeps the text away. The first shows the text would draw.
  struct Case {
    const char* properties;
    bool draws;
  };
  const Case cases[] = {{R"({"Text":"HH","Size":0.2})", true},
                        {R"({"Text":"HH","Size":0.2,"Font":"font/missing.ttf"})", false},
                        {R"({"Text":"HH","Size":0.2,"Dpi":0})", false},
                        {R"({"Text":"HH","Size":0.2,"Dpi":-5,"Glow":0.5})", false}};
  for (const Case& c : cases) {
    fxTextStash* fx = Add(c.properties);
    ASSERT_NE(fx, nullptr);
    EXPECT_EQ(fx->m_renderer.Context() != nullptr, c.draws || fx->m_dpi > 0) << c.properties;
    EXPECT_EQ(DrawAndRead(fx).count > 20, c.draws) << c.properties;
    EXPECT_EQ(fx->m_renderer.Context() != nullptr, c.draws || fx->m_dpi > 0) << "no atlas made by the draw";
  }
}

TEST_F(TextStashEffect, EditingLayoutAttributesAsksForANewInit) {
  fxTextStash* fx = Add(R"({"Text":"HH"})");
  for (const char* name : {"Font", "Dpi", "AlignH", "AlignV", "Size", "Text", "Color", "Glow", "Pos"}) {
    fx->m_reInit = false;
    fx->OnAttributeEdited(fx->m_classDesc->FindAttribute(name));
    const std::string n = name;
    EXPECT_EQ(fx->m_reInit, n == "Font" || n == "Dpi" || n == "AlignH" || n == "AlignV" || n == "Size") << name;
  }
}
