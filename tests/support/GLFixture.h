// GL test fixture: a hidden GLFW window with a 4.5 core context (llvmpipe
// under Xvfb in CI), the entry points loaded, and pixel readback helpers.
// A test that gets no context fails; it never skips.
#pragma once
#include <glad/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

struct GLFWwindow;

using Rgba8 = std::array<uint8_t, 4>;

class GLTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  GLFWwindow* Window() const { return m_window; }

  // Reads the bound read framebuffer's colour attachment 0.
  static std::vector<uint8_t> ReadPixels(int x, int y, int w, int h);
  static Rgba8 ReadPixel(int x, int y);
  static ::testing::AssertionResult PixelNear(const Rgba8& got, const Rgba8& want, int tolerance = 2);

  // A framebuffer with one RGBA8 colour texture, bound for drawing and
  // reading, viewport set to its size. Released in TearDown.
  GLuint MakeTarget(int w, int h);

 private:
  GLFWwindow* m_window = nullptr;
  std::vector<GLuint> m_fbos;
  std::vector<GLuint> m_textures;
};
