// Framebuffers on a real GL context: the textures each flags word makes,
// their formats and sampling modes, what the video-memory total counts, the
// log lines, and that creating one never moves the caller's binding.
#include <gtest/gtest.h>

#include <vector>

#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "support/GLFixture.h"
#include "support/GLWorkCount.h"
#include "support/LogCapture.h"

namespace {

struct TextureInfo {
  GLint internalFormat = 0, width = 0, height = 0, minFilter = 0, magFilter = 0, wrapS = 0, wrapT = 0;
};

TextureInfo Describe(GLuint texture) {
  TextureInfo info;
  glBindTexture(GL_TEXTURE_2D, texture);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &info.internalFormat);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &info.width);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &info.height);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &info.minFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &info.magFilter);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &info.wrapS);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &info.wrapT);
  glBindTexture(GL_TEXTURE_2D, 0);
  return info;
}

GLint AttachedName(GLuint framebuffer, GLenum attachment) {
  GLint name = 0, type = 0;
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
  if (type == GL_TEXTURE) {
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
  }
  return name;
}

GLint Binding() {
  GLint binding = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding);
  return binding;
}

Framebuffer* MakeFramebuffer(const char* name, int w, int h, uint32_t flags) {
  Framebuffer* fb = new Framebuffer;
  fb->Create(name, w, h, flags);
  return fb;
}

class FramebufferTest : public GLTest {};

}  // namespace

TEST_F(FramebufferTest, DefaultFlagsMakeNearestColourAndOneDepthStencil) {
  LogCapture log;
  Framebuffer* fb = MakeFramebuffer("Default", 64, 32, 7u | FB_CARRIED);
  const FramebufferGL* gl = fb->GL();
  EXPECT_TRUE(log.Contains("[Framebuffer] create Default 64x32\n")) << log.Text();

  const TextureInfo color = Describe(gl->m_colorTexture);
  EXPECT_EQ(color.internalFormat, GL_RGBA8);
  EXPECT_EQ(color.width, 64);
  EXPECT_EQ(color.height, 32);
  EXPECT_EQ(color.minFilter, GL_NEAREST);
  EXPECT_EQ(color.magFilter, GL_NEAREST);
  EXPECT_EQ(color.wrapS, GL_CLAMP_TO_EDGE);
  EXPECT_EQ(color.wrapT, GL_CLAMP_TO_EDGE);

  ASSERT_NE(gl->m_depthStencilTexture, 0u);
  EXPECT_EQ(gl->m_depthTexture, gl->m_depthStencilTexture);
  const TextureInfo depth = Describe(gl->m_depthStencilTexture);
  EXPECT_EQ(depth.internalFormat, GL_DEPTH24_STENCIL8);
  EXPECT_EQ(depth.minFilter, GL_LINEAR);
  EXPECT_EQ(depth.wrapS, GL_CLAMP_TO_EDGE);
  EXPECT_EQ(AttachedName(gl->m_framebuffer, GL_COLOR_ATTACHMENT0), GLint(gl->m_colorTexture));
  EXPECT_EQ(AttachedName(gl->m_framebuffer, GL_DEPTH_ATTACHMENT), GLint(gl->m_depthStencilTexture));
  EXPECT_EQ(AttachedName(gl->m_framebuffer, GL_STENCIL_ATTACHMENT), GLint(gl->m_depthStencilTexture));
  EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));

  EXPECT_EQ(gl->m_bytes, 64u * 32u * 8u);
  EXPECT_EQ(GetFramebufferBytes(), 64u * 32u * 8u);
  EXPECT_EQ(GetFramebufferCount(), 1);

  // Colour, depth and stencil all hold what is written into them.
  glViewport(0, 0, 64, 32);
  glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
  glClearDepth(0.25);
  glClearStencil(5);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  EXPECT_TRUE(PixelNear(ReadPixel(10, 10), {51, 102, 153, 255}));
  GLuint depthStencil = 0;
  glReadPixels(3, 3, 1, 1, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, &depthStencil);
  EXPECT_EQ(depthStencil & 0xFFu, 5u);
  EXPECT_NEAR(double(depthStencil >> 8) / double(0xFFFFFF), 0.25, 1e-3);

  Framebuffer::Destroy(fb);
  EXPECT_EQ(fb, nullptr);
}

TEST_F(FramebufferTest, EffectFlagsMakeALinearRepeatingFloatColourAndADepthTexture) {
  Framebuffer* fb = MakeFramebuffer("fxBuffer", 16, 16, 0xBu | FB_REPEAT | FB_RGBA16F);
  const FramebufferGL* gl = fb->GL();
  const TextureInfo color = Describe(gl->m_colorTexture);
  EXPECT_EQ(color.internalFormat, GL_RGBA16F);
  EXPECT_EQ(color.minFilter, GL_LINEAR);
  EXPECT_EQ(color.magFilter, GL_LINEAR);
  EXPECT_EQ(color.wrapS, GL_REPEAT);
  EXPECT_EQ(color.wrapT, GL_REPEAT);
  ASSERT_NE(gl->m_depthTexture, 0u);
  EXPECT_EQ(gl->m_depthStencilTexture, 0u);
  EXPECT_EQ(Describe(gl->m_depthTexture).internalFormat, GL_DEPTH_COMPONENT);
  EXPECT_EQ(AttachedName(gl->m_framebuffer, GL_DEPTH_ATTACHMENT), GLint(gl->m_depthTexture));
  EXPECT_EQ(gl->m_bytes, 16u * 16u * 12u);

  // A float target keeps values outside 0..1.
  glViewport(0, 0, 16, 16);
  glClearColor(2.5f, -1.0f, 0.5f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  float rgba[4] = {};
  glReadPixels(4, 4, 1, 1, GL_RGBA, GL_FLOAT, rgba);
  EXPECT_FLOAT_EQ(rgba[0], 2.5f);
  EXPECT_FLOAT_EQ(rgba[1], -1.0f);
  EXPECT_FLOAT_EQ(rgba[2], 0.5f);
  Framebuffer::Destroy(fb);
}

TEST_F(FramebufferTest, ColourFormatAndBytesFollowTheLowestFormatBit) {
  struct Case {
    uint32_t flags;
    GLint format;
    uint32_t bytesPerTexel;
  };
  const Case cases[] = {
      {FB_COLOR, GL_RGBA8, 4},
      {FB_COLOR | FB_RGBA8 | FB_RGBA16F, GL_RGBA8, 4},
      {FB_COLOR | FB_RGBA16F | FB_RGBA32F, GL_RGBA16F, 8},
      {FB_COLOR | FB_RGBA32F, GL_RGBA32F, 16},
      {FB_COLOR | FB_DEPTH | FB_RGBA32F, GL_RGBA32F, 20},
      {FB_COLOR | FB_DEPTH | FB_DEPTH_STENCIL, GL_RGBA8, 8},
      {FB_DEPTH, 0, 4},
  };
  for (const Case& c : cases) {
    Framebuffer* fb = MakeFramebuffer("formats", 8, 4, c.flags);
    const FramebufferGL* gl = fb->GL();
    if (c.format) {
      EXPECT_EQ(Describe(gl->m_colorTexture).internalFormat, c.format) << std::hex << c.flags;
    } else {
      EXPECT_EQ(gl->m_colorTexture, 0u);
    }
    EXPECT_EQ(gl->m_bytes, 8u * 4u * c.bytesPerTexel) << std::hex << c.flags;
    EXPECT_EQ(GetFramebufferBytes(), 8u * 4u * c.bytesPerTexel) << std::hex << c.flags;
    Framebuffer::Destroy(fb);
    EXPECT_EQ(GetFramebufferBytes(), 0u);
  }
}

TEST_F(FramebufferTest, VideoMemoryTotalCountsEveryLiveFramebufferInMo) {
  Framebuffer* big = MakeFramebuffer("big", 500, 500, FB_COLOR | FB_DEPTH | FB_RGBA32F);  // 5,000,000 bytes
  EXPECT_EQ(GetFramebufferMo(), 5);
  Framebuffer* small = MakeFramebuffer("small", 500, 499, FB_COLOR);  // 998,000 bytes
  EXPECT_EQ(GetFramebufferBytes(), 5998000u);
  EXPECT_EQ(GetFramebufferMo(), 5);  // the fraction is dropped
  EXPECT_EQ(GetFramebufferCount(), 2);
  Framebuffer::Destroy(big);
  EXPECT_EQ(GetFramebufferBytes(), 998000u);
  EXPECT_EQ(GetFramebufferMo(), 0);
  Framebuffer::Destroy(small);
  EXPECT_EQ(GetFramebufferCount(), 0);
}

TEST_F(FramebufferTest, RecreatingWithTheSameSizeAndFlagsKeepsEverything) {
  Framebuffer* fb = MakeFramebuffer("first", 32, 32, 7);
  const GLuint framebuffer = fb->GL()->m_framebuffer;
  const GLuint color = fb->GL()->m_colorTexture;
  LogCapture log;
  fb->Create("second", 32, 32, 7);
  EXPECT_EQ(fb->m_name, "first");
  EXPECT_EQ(fb->GL()->m_framebuffer, framebuffer);
  EXPECT_EQ(fb->GL()->m_colorTexture, color);
  EXPECT_EQ(log.Text(), "");

  fb->Create("third", 32, 16, 7);
  EXPECT_EQ(fb->m_name, "third");
  EXPECT_EQ(fb->m_height, 16);
  EXPECT_TRUE(log.Contains("[Framebuffer] create third 32x16\n"));
  EXPECT_EQ(GetFramebufferCount(), 1);
  EXPECT_EQ(GetFramebufferBytes(), 32u * 16u * 8u);
  Framebuffer::Destroy(fb);
}

TEST_F(FramebufferTest, ZeroSizeCreatesNothing) {
  LogCapture log;
  Framebuffer* fb = MakeFramebuffer("none", 0, 32, 7);
  fb->Create("none", 32, 0, 7);
  EXPECT_FALSE(fb->m_created);
  EXPECT_EQ(fb->m_gl, nullptr);
  EXPECT_EQ(GetFramebufferCount(), 0);
  EXPECT_EQ(log.Text(), "");
  Framebuffer::Destroy(fb);
  EXPECT_EQ(log.Text(), "");
}

TEST_F(FramebufferTest, DestroyLogsAndReleasesTheGLObjects) {
  Framebuffer* fb = MakeFramebuffer("gone", 16, 8, 7);
  const GLuint framebuffer = fb->GL()->m_framebuffer;
  const GLuint color = fb->GL()->m_colorTexture;
  const GLuint depth = fb->GL()->m_depthStencilTexture;
  LogCapture log;
  Framebuffer::Destroy(fb);
  EXPECT_EQ(log.Text(), "[Framebuffer] destroy gone 16x8\n");
  EXPECT_FALSE(glIsFramebuffer(framebuffer));
  EXPECT_FALSE(glIsTexture(color));
  EXPECT_FALSE(glIsTexture(depth));
  EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));  // the shared depth-stencil name was deleted once
  EXPECT_EQ(GetFramebufferBytes(), 0u);
}

TEST_F(FramebufferTest, GLRecordsAreRemadeOnDemand) {
  Framebuffer* fb = MakeFramebuffer("onDemand", 16, 16, FB_COLOR);
  fb->FreeGL();
  EXPECT_EQ(fb->m_gl, nullptr);
  EXPECT_EQ(GetFramebufferBytes(), 0u);
  const FramebufferGL* gl = fb->GL();
  ASSERT_NE(gl, nullptr);
  EXPECT_EQ(gl->m_owner, fb);
  EXPECT_NE(gl->m_colorTexture, 0u);
  EXPECT_EQ(GetFramebufferBytes(), 16u * 16u * 4u);
  // The pool holds nothing, so the frame start leaves records in place.
  ResetFramebufferPool();
  EXPECT_EQ(fb->m_gl, gl);
  Framebuffer::Destroy(fb);
}

TEST_F(FramebufferTest, StencilAddedLaterIsCountedAndReleased) {
  Framebuffer* colorOnly = MakeFramebuffer("colorOnly", 16, 16, FB_COLOR);
  colorOnly->GL()->AttachDepthStencil();
  EXPECT_EQ(colorOnly->GL()->m_bytes, 16u * 16u * 8u);
  EXPECT_EQ(GetFramebufferBytes(), 16u * 16u * 8u);

  Framebuffer* withDepth = MakeFramebuffer("withDepth", 16, 16, FB_COLOR | FB_DEPTH);
  const GLuint oldDepth = withDepth->GL()->m_depthTexture;
  withDepth->GL()->AttachDepthStencil();
  const FramebufferGL* gl = withDepth->GL();
  EXPECT_FALSE(glIsTexture(oldDepth));
  EXPECT_EQ(gl->m_depthTexture, gl->m_depthStencilTexture);
  EXPECT_EQ(gl->m_bytes, 16u * 16u * 8u);
  EXPECT_EQ(AttachedName(gl->m_framebuffer, GL_STENCIL_ATTACHMENT), GLint(gl->m_depthStencilTexture));

  Framebuffer::Destroy(colorOnly);
  Framebuffer::Destroy(withDepth);
  EXPECT_EQ(GetFramebufferBytes(), 0u);
}

TEST_F(FramebufferTest, CreatingKeepsTheCallersBinding) {
  const GLuint mine = MakeTarget(8, 8);
  Framebuffer* fb = MakeFramebuffer("elsewhere", 16, 16, 7);
  EXPECT_EQ(Binding(), GLint(mine));
  fb->FreeGL();
  fb->GL();
  EXPECT_EQ(Binding(), GLint(mine));
  Framebuffer::Destroy(fb);
}

namespace {

GLint CurrentProgram() {
  GLint program = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &program);
  return program;
}

}  // namespace

TEST_F(FramebufferTest, FirstCopyMakesANamedTwinThatHoldsTheColour) {
  Framebuffer* fb = MakeFramebuffer("fxBlur", 32, 16, 7u | FB_CARRIED);
  glBindFramebuffer(GL_FRAMEBUFFER, fb->GL()->m_framebuffer);
  glViewport(0, 0, 32, 16);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, 16, 16);
  glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glScissor(16, 0, 16, 16);
  glClearColor(0.0f, 0.0f, 1.0f, 0.5f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);

  LogCapture log;
  const GLuint copy = fb->Copy();
  ASSERT_NE(fb->m_twin, nullptr);
  EXPECT_EQ(fb->m_twin->m_name, "fxBlurCopy");
  EXPECT_EQ(fb->m_twin->m_flags, 7u);  // the carried bit stays behind
  EXPECT_EQ(copy, fb->m_twin->GL()->m_colorTexture);
  EXPECT_EQ(log.Text(), "[Framebuffer] create fxBlurCopy 32x16\n");
  EXPECT_EQ(fb->m_twin->m_savedBinding, 0);

  glBindFramebuffer(GL_READ_FRAMEBUFFER, fb->m_twin->GL()->m_framebuffer);
  EXPECT_TRUE(PixelNear(ReadPixel(3, 8), {255, 0, 0, 255}));
  EXPECT_TRUE(PixelNear(ReadPixel(28, 8), {0, 0, 255, 128}));

  // Later copies reuse the twin.
  fb->Copy();
  EXPECT_EQ(log.Text(), "[Framebuffer] create fxBlurCopy 32x16\n");
  EXPECT_EQ(GetFramebufferCount(), 2);
  Framebuffer::Destroy(fb);
  EXPECT_EQ(GetFramebufferCount(), 0);
  EXPECT_TRUE(log.Contains("[Framebuffer] destroy fxBlurCopy 32x16\n"));
}

TEST_F(FramebufferTest, CopyTwinFollowsARecreatedFramebuffer) {
  Framebuffer* fb = MakeFramebuffer("grow", 16, 16, 7);
  fb->Copy();
  fb->Create("grow", 48, 32, FB_COLOR | FB_RGBA16F);
  glBindFramebuffer(GL_FRAMEBUFFER, fb->GL()->m_framebuffer);
  glViewport(0, 0, 48, 32);
  glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);

  const GLuint copy = fb->Copy();
  const TextureInfo info = Describe(copy);
  EXPECT_EQ(info.width, 48);
  EXPECT_EQ(info.height, 32);
  EXPECT_EQ(info.internalFormat, GL_RGBA16F);
  // The far corner lies outside the old twin's size.
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fb->m_twin->GL()->m_framebuffer);
  EXPECT_TRUE(PixelNear(ReadPixel(45, 30), {0, 255, 0, 255}));
  Framebuffer::Destroy(fb);
  EXPECT_EQ(GetFramebufferCount(), 0);
}

TEST_F(FramebufferTest, CopyCutsNegativeValuesAndKeepsValuesAboveOne) {
  Framebuffer* fb = MakeFramebuffer("hdr", 8, 8, FB_COLOR | FB_RGBA32F);
  glBindFramebuffer(GL_FRAMEBUFFER, fb->GL()->m_framebuffer);
  glViewport(0, 0, 8, 8);
  glClearColor(-0.5f, 3.0f, 0.25f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  fb->Copy();
  EXPECT_EQ(Describe(fb->m_twin->GL()->m_colorTexture).internalFormat, GL_RGBA32F);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fb->m_twin->GL()->m_framebuffer);
  float rgba[4] = {};
  glReadPixels(4, 4, 1, 1, GL_RGBA, GL_FLOAT, rgba);
  EXPECT_FLOAT_EQ(rgba[0], 0.0f);
  EXPECT_FLOAT_EQ(rgba[1], 3.0f);
  EXPECT_FLOAT_EQ(rgba[2], 0.25f);
  EXPECT_FLOAT_EQ(rgba[3], 1.0f);
  Framebuffer::Destroy(fb);
}

// An 8-bit colour is copied as it is: every texel, without a draw or a
// framebuffer switch (each of which costs the software rasteriser a pass).
TEST_F(FramebufferTest, EightBitCopyHoldsEveryTexelWithoutDrawing) {
  Framebuffer* fb = MakeFramebuffer("grade", 7, 5, 7);
  std::vector<uint8_t> texels(7 * 5 * 4);
  for (size_t i = 0; i < texels.size(); ++i) texels[i] = uint8_t(i * 37 + 11);
  glBindTexture(GL_TEXTURE_2D, fb->GL()->m_colorTexture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 7, 5, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  fb->Copy();  // makes the twin

  GLWorkCount count;
  const GLuint copy = fb->Copy();
  EXPECT_EQ(count.Work().draws, 0) << count.Work().Text();
  EXPECT_EQ(count.Work().framebufferBinds, 0) << count.Work().Text();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fb->m_twin->GL()->m_framebuffer);
  EXPECT_EQ(ReadPixels(0, 0, 7, 5), texels);
  EXPECT_EQ(copy, fb->m_twin->GL()->m_colorTexture);
  Framebuffer::Destroy(fb);
}

TEST_F(FramebufferTest, CopyLeavesTheCallersBindingAndStateAlone) {
  // Texel copy (8-bit) and copy program (float) alike.
  for (uint32_t flags : {7u, uint32_t(FB_COLOR | FB_RGBA16F)}) {
    Framebuffer* fb = MakeFramebuffer("post", 16, 16, flags);
    glBindFramebuffer(GL_FRAMEBUFFER, fb->GL()->m_framebuffer);
    glViewport(0, 0, 16, 16);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glUseProgram(0);  // the caller draws with no program bound
    fb->Copy();
    EXPECT_EQ(Binding(), GLint(fb->GL()->m_framebuffer)) << flags;
    EXPECT_EQ(CurrentProgram(), 0) << flags;
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << flags;
    EXPECT_TRUE(glIsEnabled(GL_BLEND)) << flags;
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE)) << flags;
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << flags;
    Framebuffer::Destroy(fb);
  }
}
