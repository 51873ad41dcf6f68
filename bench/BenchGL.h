// Shared by the benchmarks that draw: one hidden GLFW window with a 4.5 core
// context for the whole run, and a render target with a set-up vector
// display and a colour framebuffer to composite into. Header only: each
// benchmark is one source file.
#pragma once
#include <glad/gl.h>
#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "render/VectorDisplay.h"

// A hidden window of the given size with a 4.5 core context (depth and
// stencil bits, no wait for vertical sync) made current; null on failure.
// GLFW must be initialised.
inline GLFWwindow* OpenHiddenWindow(int width, int height, const char* title) {
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 5);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  glfwWindowHint(GLFW_DEPTH_BITS, 24);
  glfwWindowHint(GLFW_STENCIL_BITS, 8);
  GLFWwindow* window = glfwCreateWindow(width, height, title, nullptr, nullptr);
  if (!window) return nullptr;
  glfwMakeContextCurrent(window);
  if (!gladLoadGL(glfwGetProcAddress)) {
    glfwDestroyWindow(window);
    return nullptr;
  }
  glfwSwapInterval(0);
  return window;
}

// One hidden window for the whole run (made on first need): opening and
// closing GLFW per benchmark is slow and, on a loaded X server, flaky.
inline bool GLContext() {
  static const bool ready = glfwInit() && OpenHiddenWindow(64, 64, "bench");
  return ready;
}

namespace {

// A program of two stage texts, for the bare GL passes an effect's pass is
// measured against; 0 when they do not link.
inline GLuint LinkBareProgram(const char* vertex, const char* fragment) {
  const auto stage = [](GLenum kind, const char* text) {
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    return shader;
  };
  const GLuint vs = stage(GL_VERTEX_SHADER, vertex), fs = stage(GL_FRAGMENT_SHADER, fragment);
  const GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint linked = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (linked) return program;
  glDeleteProgram(program);
  return 0;
}

// A render target with a vector layer, its set-up display and a colour
// framebuffer to composite into.
class BenchScene {
 public:
  // False, with the benchmark skipped and nothing left open, when there is
  // no context or the display does not set up.
  bool Open(benchmark::State& state, int width, int height) {
    if (!GLContext()) {
      state.SkipWithError("no GL 4.5 context (set DISPLAY)");
      return false;
    }
    if (Create(width, height)) return true;
    state.SkipWithError("the vector display did not set up");
    Close();
    return false;
  }
  void Close() {
    g_pCurrentVectorDisplay = nullptr;
    g_pCurrentRenderTarget = nullptr;
    vector_display::Destroy(m_display);
    if (m_target.m_vectorFramebuffer) Framebuffer::Destroy(m_target.m_vectorFramebuffer);
    if (m_color) Framebuffer::Destroy(m_color);
  }
  vector_display* Display() const { return m_display; }
  GLuint Fbo() const { return m_fbo; }
  // A frame of a pass benchmark: the target bound, its viewport, cleared
  // to opaque black.
  void BeginFrame() const {
    glBindFramebuffer(GL_FRAMEBUFFER, m_fbo);
    glViewport(0, 0, m_width, m_height);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  }

 private:
  bool Create(int width, int height) {
    m_color = new Framebuffer();
    m_color->Create("Bench", width, height, 7);
    m_target.m_vectorFramebuffer = new Framebuffer();
    m_target.m_vectorFramebuffer->Create("Bench.vector", width, height, 7);
    g_pCurrentRenderTarget = &m_target;
    vector_display::Create("Bench.vector", float(width), float(height), &m_display);
    g_pCurrentVectorDisplay = m_display;
    m_fbo = m_color->GL()->m_framebuffer;
    m_width = width;
    m_height = height;
    return m_display->Setup() == 0;
  }

  RenderTarget m_target;
  Framebuffer* m_color = nullptr;
  vector_display* m_display = nullptr;
  GLuint m_fbo = 0;
  int m_width = 0;
  int m_height = 0;
};

}  // namespace
