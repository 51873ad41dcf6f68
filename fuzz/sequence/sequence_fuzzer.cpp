// libFuzzer target for sequence files: any bytes are a .seq file, loaded
// into a sequence without Init: the JSON parse and its nesting check, every
// item created from the registry with its properties, dynamic properties
// and drivers (key frames, procedural drivers, expressions compiled), then
// torn down. Loading a shader effect's properties compiles its program, so
// the run holds a hidden GL context (a display is needed, e.g. Xvfb).
// Built by tools/fuzz_sequence.sh.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "application/Application.h"
#include "core/AppLog.h"
#include "sequence/fxBase.h"
#include "sequence/rvSequence.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 5);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
  GLFWwindow* window = glfwInit() ? glfwCreateWindow(64, 64, "fuzz", nullptr, nullptr) : nullptr;
  if (!window) __builtin_trap();  // no display: nothing meaningful can run
  glfwMakeContextCurrent(window);
  if (!gladLoadGL(glfwGetProcAddress)) __builtin_trap();
  ConnectEngineLayers();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  // The log keeps every line for the whole run; across millions of inputs
  // that alone would exhaust the memory limit.
  AppLog::Get().Clear();
  rvSequence sequence(0);
  sequence.LoadSequenceBytes(std::vector<uint8_t>(data, data + size), "seq/fuzz.seq", false);
  volatile int sink = sequence.GetFrameMax();
  for (const fxBase* fx : sequence.m_items) sink = sink + fx->m_start + static_cast<int>(fx->m_drivers.size());
  sequence.Clear();
  return 0;
}
