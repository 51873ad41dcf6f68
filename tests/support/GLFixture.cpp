#include "support/GLFixture.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/LibraryResidency.h"

void GLTest::SetUp() {
  // Many test processes connect to one X server at once when the suite runs
  // in parallel; a refused connection is retried for a while before the
  // test fails for want of a display.
  bool initialised = glfwInit();
  for (int attempt = 0; !initialised && attempt < 40; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    initialised = glfwInit();
  }
  ASSERT_TRUE(initialised) << "no display for GLFW (DISPLAY=" << (getenv("DISPLAY") ? getenv("DISPLAY") : "")
                           << ")";
  glfwDefaultWindowHints();
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 5);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
  glfwWindowHint(GLFW_DEPTH_BITS, 24);
  glfwWindowHint(GLFW_STENCIL_BITS, 8);
  m_window = glfwCreateWindow(256, 256, "velmora-test", nullptr, nullptr);
  ASSERT_NE(m_window, nullptr) << "no OpenGL 4.5 core context";
  glfwMakeContextCurrent(m_window);
  platform::KeepLoadedLibrariesResident();
  ASSERT_NE(gladLoadGL(glfwGetProcAddress), 0) << "GL entry points did not load";
}

void GLTest::TearDown() {
  if (!m_window) return;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  if (!m_fbos.empty()) glDeleteFramebuffers(static_cast<GLsizei>(m_fbos.size()), m_fbos.data());
  if (!m_textures.empty()) glDeleteTextures(static_cast<GLsizei>(m_textures.size()), m_textures.data());
  glfwDestroyWindow(m_window);
  m_window = nullptr;
  glfwTerminate();
}

std::vector<uint8_t> GLTest::ReadPixels(int x, int y, int w, int h) {
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

Rgba8 GLTest::ReadPixel(int x, int y) {
  auto p = ReadPixels(x, y, 1, 1);
  return {p[0], p[1], p[2], p[3]};
}

::testing::AssertionResult GLTest::PixelNear(const Rgba8& got, const Rgba8& want, int tolerance) {
  for (int i = 0; i < 4; ++i) {
    if (std::abs(int(got[i]) - int(want[i])) > tolerance) {
      return ::testing::AssertionFailure()
             << "pixel (" << int(got[0]) << "," << int(got[1]) << "," << int(got[2]) << ","
             << int(got[3]) << ") want (" << int(want[0]) << "," << int(want[1]) << ","
             << int(want[2]) << "," << int(want[3]) << ") +-" << tolerance;
    }
  }
  return ::testing::AssertionSuccess();
}

GLuint GLTest::MakeTarget(int w, int h) {
  GLuint tex = 0, fbo = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
  glViewport(0, 0, w, h);
  m_fbos.push_back(fbo);
  m_textures.push_back(tex);
  return fbo;
}
