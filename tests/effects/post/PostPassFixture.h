// Post-pass tests: a known picture written into a 64 x 64 "Default" target
// (or a float target the test makes current), the pass run as the timeline
// runs it, and the target read back.
#pragma once
#include <json/json.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sequence/fxBase.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "support/DefaultTargetFixture.h"

class PostPassTest : public DefaultTargetTest {
 protected:
  static constexpr int kSize = 64;
  PostPassTest() : DefaultTargetTest(kSize, kSize) {}

  void TearDown() override {
    if (m_float.m_created) {
      BindRenderTarget(&g_defaultRenderTarget, true);
      m_float.Destroy(true);
    }
    DefaultTargetTest::TearDown();
  }

  // An effect of `cls` made from its sequence item with these properties.
  fxBase* Make(const std::string& cls, const std::string& properties = "{}") {
    return AddItem(ParseJson("{\"Class\":\"" + cls + "\",\"Properties\":" + properties + "}"));
  }
  // Brings the effect to running (Init on the way) and runs one frame.
  static void Run(fxBase* fx) {
    fx->SetState(StateRunning);
    fx->ExternalUpdate();
  }

  static RenderTarget& Current() { return g_pCurrentRenderTarget ? *g_pCurrentRenderTarget : g_defaultRenderTarget; }
  // Writes RGBA8 pixels (rows from the bottom) into the current target.
  static void Fill(const std::vector<uint8_t>& rgba) {
    glBindTexture(GL_TEXTURE_2D, Current().m_colorFramebuffer->GL()->m_colorTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  static void FillFlat(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    std::vector<uint8_t> rgba(kSize * kSize * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) {
      rgba[i] = r, rgba[i + 1] = g, rgba[i + 2] = b, rgba[i + 3] = a;
    }
    Fill(rgba);
  }
  // A picture with every pixel different: gradients in red and green, a
  // checker in blue, alpha 255.
  static std::vector<uint8_t> Pattern() {
    std::vector<uint8_t> rgba(kSize * kSize * 4);
    for (int y = 0; y < kSize; ++y) {
      for (int x = 0; x < kSize; ++x) {
        uint8_t* p = &rgba[(y * kSize + x) * 4];
        p[0] = static_cast<uint8_t>(x * 4);
        p[1] = static_cast<uint8_t>(y * 4);
        p[2] = ((x / 8 + y / 8) % 2) ? 220 : 30;
        p[3] = 255;
      }
    }
    return rgba;
  }
  static std::vector<uint8_t> ReadTarget() {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, Current().m_colorFramebuffer->GL()->m_framebuffer);
    return ReadPixels(0, 0, kSize, kSize);
  }
  static Rgba8 TargetPixel(int x, int y) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, Current().m_colorFramebuffer->GL()->m_framebuffer);
    return ReadPixel(x, y);
  }
  static std::vector<float> ReadTargetFloat() {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, Current().m_colorFramebuffer->GL()->m_framebuffer);
    std::vector<float> rgba(kSize * kSize * 4);
    glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_FLOAT, rgba.data());
    return rgba;
  }
  // Makes a 32-bit float target current, where NaN and values outside 0..1
  // survive to the readback.
  void UseFloatTarget() {
    m_float.Create("Float", kSize, kSize, 1, FB_COLOR | FB_RGBA32F);
    BindRenderTarget(&m_float, true);
  }
  static size_t CountLines(const std::string& text, const std::string& line) {
    size_t count = 0;
    for (size_t at = 0; (at = text.find(line, at)) != std::string::npos; at += line.size()) ++count;
    return count;
  }

  RenderTarget m_float;
};
