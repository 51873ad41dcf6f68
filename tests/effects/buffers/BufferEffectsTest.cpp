// Render-target effects: the size a buffer takes from the current target,
// the returns of fxBufferDefault, clears, and the stencil range pass, checked
// by readback of colour and stencil.
#include <gtest/gtest.h>

#include <cmath>

#include "effects/buffers/fxBuffer.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/rvProgram.h"
#include "support/DefaultTargetFixture.h"

namespace {

template <class T>
T* Make(const char* name = "") {
  T* fx = static_cast<T*>(T::Create(T::GetClassDesc()));
  fx->m_name = name;
  return fx;
}

Rgba8 ReadTargetPixel(RenderTarget& target, int x, int y) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, target.m_colorFramebuffer->GL()->m_framebuffer);
  Rgba8 p{};
  glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
  return p;
}

int ReadStencil(RenderTarget& target, int x, int y) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, target.m_colorFramebuffer->GL()->m_framebuffer);
  GLubyte s = 0;
  glReadPixels(x, y, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &s);
  return s;
}

class BufferEffects : public DefaultTargetTest {
 protected:
  BufferEffects() : DefaultTargetTest(64, 32) {}
  void ReleaseEffects() override {
    for (fxBase* fx : m_effects) {
      fx->SetState(StateNone);
      delete fx;
    }
  }
  template <class T>
  T* Running(const char* name = "") {
    T* fx = Make<T>(name);
    m_effects.push_back(fx);
    return fx;
  }
  std::vector<fxBase*> m_effects;
};

}  // namespace

TEST(BufferDisplaySize, FollowsTheCurrentTarget) {
  struct Case {
    glm::vec2 unit, pixel;
    bool keepRatio;
    int w, h, expectW, expectH;
  };
  const Case cases[] = {
      {{1, 1}, {0, 0}, true, 1920, 1080, 1920, 1080},
      {{0.5f, 0.5f}, {0, 0}, false, 1920, 1080, 540, 540},
      {{0, 0}, {256, 128}, false, 1920, 1080, 256, 128},
      {{0, 0}, {256, 128}, true, 1920, 1080, 227, 128},
      {{0, 0}, {0, 0}, false, 640, 480, 640, 480},  // a zero size falls back to the current one
      {{0.25f, 0}, {0, 64}, false, 800, 600, 150, 64},
      // Sizes no texture can have, from a broken file, fall back as well.
      {{-1, -1}, {0, 0}, false, 640, 480, 640, 480},
      {{-1, -1}, {0, 0}, true, 640, 480, 640, 480},
      {{1e9f, 1e9f}, {0, 0}, true, 640, 480, 640, 480},
      {{NAN, 0.5f}, {0, 0}, false, 800, 600, 800, 600},
      {{0, 0}, {-256, 1e12f}, false, 800, 600, 800, 600},
  };
  fxBufferDisplay* fx = Make<fxBufferDisplay>();
  for (const Case& c : cases) {
    fx->m_sizeUnit = c.unit;
    fx->m_sizePixel = c.pixel;
    fx->m_keepRatio = c.keepRatio;
    int w = 0, h = 0;
    fx->ComputeSize(c.w, c.h, w, h);
    EXPECT_EQ(w, c.expectW) << c.unit.x << " " << c.pixel.x;
    EXPECT_EQ(h, c.expectH) << c.unit.y << " " << c.pixel.y;
  }
  delete fx;
}

TEST(BufferDisplaySize, ColorFormatAndRepeatSelectFramebufferFlags) {
  fxBufferDisplay* fx = Make<fxBufferDisplay>();
  const struct {
    int format;
    bool repeat;
    uint32_t flags;
  } cases[] = {{0, true, 0x1B}, {0, false, 0x0B}, {1, true, 0x3B}, {2, false, 0x4B}, {3, true, 0x9B}};
  for (const auto& c : cases) {
    fx->m_colorFormat = c.format;
    fx->m_repeatUV = c.repeat;
    EXPECT_EQ(fx->FramebufferFlags(), c.flags) << c.format;
  }
  delete fx;
}

TEST_F(BufferEffects, BufferBecomesCurrentAndClearsToItsBackColor) {
  fxBufferDisplay* buffer = Running<fxBufferDisplay>("BufA");
  buffer->m_clear = true;
  buffer->m_backColor = {1.0f, 0.0f, 0.0f, 0.25f};
  buffer->SetState(StateRunning);
  ASSERT_EQ(buffer->GetBuffer()->m_width, 64);
  ASSERT_EQ(buffer->GetBuffer()->m_height, 32);
  buffer->ExternalUpdate();
  EXPECT_EQ(g_pCurrentRenderTarget, buffer->GetBuffer());
  EXPECT_EQ(buffer->GetBuffer()->m_previous, &g_defaultRenderTarget);
  EXPECT_TRUE(PixelNear(ReadTargetPixel(*buffer->GetBuffer(), 10, 10), {255, 0, 0, 255}))
      << "clear alpha is always 1";
  // Without Clear the contents stay from one frame to the next.
  buffer->m_clear = false;
  buffer->m_backColor = {0.0f, 1.0f, 0.0f, 1.0f};
  buffer->ExternalUpdate();
  EXPECT_TRUE(PixelNear(ReadTargetPixel(*buffer->GetBuffer(), 10, 10), {255, 0, 0, 255}));
}

TEST_F(BufferEffects, DefaultModesReturnToPreviousOrDefault) {
  fxBufferDisplay* a = Running<fxBufferDisplay>("A");
  fxBufferDisplay* b = Running<fxBufferDisplay>("B");
  fxBufferDefault* back = Running<fxBufferDefault>();
  back->m_mode = fxBufferDefault::UnbindToPrevious;
  for (fxBase* fx : m_effects) fx->SetState(StateRunning);
  a->ExternalUpdate();
  b->ExternalUpdate();
  ASSERT_EQ(g_pCurrentRenderTarget, b->GetBuffer());
  back->ExternalUpdate();
  EXPECT_EQ(g_pCurrentRenderTarget, a->GetBuffer());
  EXPECT_EQ(b->GetBuffer()->m_previous, nullptr);
  back->ExternalUpdate();
  EXPECT_EQ(g_pCurrentRenderTarget, &g_defaultRenderTarget);

  b->ExternalUpdate();
  back->m_mode = fxBufferDefault::ResetToDefault;
  back->ExternalUpdate();
  EXPECT_EQ(g_pCurrentRenderTarget, &g_defaultRenderTarget);
  GLint bound = -1;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
  EXPECT_EQ(GLuint(bound), g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
}

TEST_F(BufferEffects, KilledBufferHandsBackDefault) {
  fxBufferDisplay* a = Running<fxBufferDisplay>("A");
  a->SetState(StateRunning);
  a->ExternalUpdate();
  a->SetState(StateNone);
  EXPECT_EQ(g_pCurrentRenderTarget, &g_defaultRenderTarget);
}

TEST_F(BufferEffects, StencilRangePassMarksPixelsInRange) {
  fxBufferDisplay* target = Running<fxBufferDisplay>("T");
  fxBufferStencil* stencil = Running<fxBufferStencil>();
  target->SetState(StateRunning);
  stencil->SetState(StateRunning);
  target->ExternalUpdate();
  // Left half bright red, right half dark red.
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0.2f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, 32, 32);
  glClearColor(0.8f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

  stencil->m_clear = true;
  stencil->m_writeRangeEnabled = true;
  stencil->m_colorI = {0.5f, 0.0f, 0.0f, 0.0f};
  stencil->m_colorF = {1.0f, 1.0f, 1.0f, 1.0f};
  stencil->ExternalUpdate();

  RenderTarget& t = *target->GetBuffer();
  EXPECT_TRUE(t.m_colorFramebuffer->m_flags & FB_DEPTH_STENCIL) << "a depth-stencil texture was added";
  EXPECT_EQ(ReadStencil(t, 8, 16), 2);
  EXPECT_EQ(ReadStencil(t, 48, 16), 1) << "cleared to 1, out of range";
  // Everything but the stencil operation is given back.
  GLboolean mask[4];
  glGetBooleanv(GL_COLOR_WRITEMASK, mask);
  EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]);
  GLboolean depthMask = GL_FALSE;
  glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
  EXPECT_TRUE(depthMask);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
  GLint pass = 0;
  glGetIntegerv(GL_STENCIL_PASS_DEPTH_PASS, &pass);
  EXPECT_EQ(pass, GL_REPLACE);
  // The colour is untouched by the pass.
  EXPECT_TRUE(PixelNear(ReadTargetPixel(t, 8, 16), {204, 0, 0, 255}));
}

// Every pixel against the range rule applied to its own colour and depth,
// on a picture whose neighbours differ widely and whose channels cross the
// bounds (set between 8-bit levels and between the depth steps, so no
// rounding decides): a tap that read a neighbour or a blend would mark
// other pixels. With and without a depth range.
TEST_F(BufferEffects, StencilRangeFollowsEachPixelsOwnColourAndDepth) {
  fxBufferDisplay* target = Running<fxBufferDisplay>("T");
  fxBufferStencil* stencil = Running<fxBufferStencil>();
  target->SetState(StateRunning);
  stencil->SetState(StateRunning);
  target->ExternalUpdate();
  stencil->ExternalUpdate();  // gives the target its depth-stencil texture
  RenderTarget& t = *target->GetBuffer();
  FramebufferGL* gl = t.m_colorFramebuffer->GL();
  const int w = t.m_width, h = t.m_height;
  std::vector<uint8_t> colour(size_t(w) * h * 4);
  std::vector<uint32_t> depthStencil(size_t(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &colour[(size_t(y) * w + x) * 4];
      p[0] = uint8_t((x * 37 + y * 11) % 256);
      p[1] = uint8_t((x * 13 + y * 29) % 256);
      p[2] = uint8_t((x * 5 + y * 53) % 256);
      p[3] = 255;
      const uint32_t depth = uint32_t((x * 7 + y * 3) % 64) * 0xFFFFFFu / 63u;
      depthStencil[size_t(y) * w + x] = depth << 8;
    }
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_2D, gl->m_colorTexture);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, colour.data());
  glBindTexture(GL_TEXTURE_2D, 0);

  stencil->m_clear = true;
  stencil->m_writeRangeEnabled = true;
  stencil->m_colorI = {0.3f, 0.21f, 0.5f, 1.0f};  // alpha open: its lower bound is above its upper one
  stencil->m_colorF = {0.7f, 0.9f, 1.0f, 0.0f};
  const struct {
    float depthI, depthF;
  } cases[] = {{1.0f, 0.0f}, {0.25f, 0.6f}};
  for (const auto& c : cases) {
    glBindTexture(GL_TEXTURE_2D, gl->m_depthStencilTexture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, depthStencil.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    stencil->m_depthI = c.depthI;
    stencil->m_depthF = c.depthF;
    stencil->ExternalUpdate();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, gl->m_framebuffer);
    std::vector<uint8_t> marks(size_t(w) * h);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, marks.data());
    int inRange = 0;
    for (int i = 0; i < w * h; ++i) {
      const uint8_t* p = &colour[size_t(i) * 4];
      const float depth = float((depthStencil[i] >> 8) / double(0xFFFFFF));
      const bool colourIn = p[0] / 255.0f >= 0.3f && p[0] / 255.0f <= 0.7f && p[1] / 255.0f >= 0.21f &&
                            p[1] / 255.0f <= 0.9f && p[2] / 255.0f >= 0.5f;
      const bool depthIn = c.depthI > c.depthF || (depth >= c.depthI && depth <= c.depthF);
      const int want = colourIn && depthIn ? 2 : 1;
      inRange += want == 2;
      ASSERT_EQ(marks[i], want) << "pixel " << i % w << "," << i / w << " depth range " << c.depthI;
    }
    EXPECT_GT(inRange, w * h / 20) << "the picture crosses the bounds";
    EXPECT_LT(inRange, w * h / 2);
  }
}

TEST_F(BufferEffects, KeepWritingMarksWhatIsDrawnNext) {
  fxBufferStencil* stencil = Running<fxBufferStencil>();
  stencil->m_clear = true;
  stencil->m_keepWriting = true;
  stencil->SetState(StateRunning);
  stencil->ExternalUpdate();
  EXPECT_TRUE(glIsEnabled(GL_STENCIL_TEST));
  GLboolean mask[4];
  glGetBooleanv(GL_COLOR_WRITEMASK, mask);
  EXPECT_FALSE(mask[0] || mask[1] || mask[2] || mask[3]);
  // A draw after it writes 2 where it lands, and no colour.
  rvFillColorProgram2D& fill = FillColorProgram();
  SetFillColor(1, 1, 1, 1);
  fill.DrawRect(RECT_LEFT | RECT_TOP, 0.0f, 0.0f, 0.25f, 1.0f);
  fill.Unbind();
  EXPECT_EQ(ReadStencil(g_defaultRenderTarget, 4, 16), 2);
  EXPECT_EQ(ReadStencil(g_defaultRenderTarget, 40, 16), 1);
  EXPECT_TRUE(PixelNear(ReadTargetPixel(g_defaultRenderTarget, 4, 16), {0, 0, 0, 0}, 0) ||
              PixelNear(ReadTargetPixel(g_defaultRenderTarget, 4, 16), {0, 0, 0, 255}, 0))
      << "no colour written";
}
