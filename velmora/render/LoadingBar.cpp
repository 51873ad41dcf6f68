// The loading screen's picture: see LoadingBar.h.
#include "render/LoadingBar.h"

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include "render/RenderTarget.h"
#include "render/rvProgram.h"

namespace {

// The bar, in fractions of "Default" from its top-left corner: a white
// frame, a black inside, and the white fill over the inside.
struct BarRect {
  float x, y, width, height;
};
constexpr BarRect kBarFrame = {0.25f, 0.49f, 0.5f, 0.02f};
constexpr BarRect kBarInside = {0.251f, 0.491f, 0.498f, 0.018f};
constexpr float kWhite[4] = {1.0f, 1.0f, 1.0f, 1.0f};
constexpr float kBlack[4] = {0.0f, 0.0f, 0.0f, 1.0f};

void DrawBarRect(const BarRect& rect, const float color[4], float width) {
  SetFillColor(color[0], color[1], color[2], color[3]);
  rvFillColorProgram2D& program = FillColorProgram();
  program.rvProgram2D::DrawRect(RECT_LEFT | RECT_TOP, rect.x, rect.y, width, rect.height);
  program.Unbind();
}

}  // namespace

void DrawLoadingBarFrame(GLFWwindow* window, float fraction) {
  int width = 0, height = 0;
  glfwGetFramebufferSize(window, &width, &height);
  FollowClientSize(width, height);
  BeginFrame();
  glDisable(GL_DEPTH_TEST);
  const float fill = kBarInside.width * fraction;
  DrawBarRect(kBarFrame, kWhite, kBarFrame.width);
  DrawBarRect(kBarInside, kBlack, kBarInside.width);
  DrawBarRect(kBarInside, kWhite, fill);
  PresentFrame(0.0f, false, 0);
  glfwSwapInterval(0);
  glfwSwapBuffers(window);
}
