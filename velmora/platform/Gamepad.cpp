#include "platform/Gamepad.h"

#include <GLFW/glfw3.h>

namespace platform {

namespace {

static_assert(GLFW_GAMEPAD_BUTTON_LAST + 1 == PadButtonCount, "GLFW's button layout");
static_assert(GLFW_GAMEPAD_AXIS_LAST + 1 == PadAxisCount, "GLFW's axis layout");
static_assert(GLFW_GAMEPAD_BUTTON_START == PadStart && GLFW_GAMEPAD_BUTTON_DPAD_LEFT == PadDpadLeft,
              "GLFW's button order");
static_assert(GLFW_GAMEPAD_AXIS_LEFT_TRIGGER == PadLeftTrigger, "GLFW's axis order");

class GlfwPadSource : public PadSource {
 public:
  double Now() override { return glfwGetTime(); }
  bool Read(int id, PadState& state) override {
    if (!glfwJoystickPresent(id) || !glfwJoystickIsGamepad(id)) return false;
    GLFWgamepadstate glfwState;
    if (!glfwGetGamepadState(id, &glfwState)) return false;
    for (int i = 0; i < PadButtonCount; ++i) state.buttons[i] = glfwState.buttons[i];
    for (int i = 0; i < PadAxisCount; ++i) state.axes[i] = glfwState.axes[i];
    return true;
  }
};

PadSource* g_installed = nullptr;

}  // namespace

PadSource& GetPadSource() {
  static GlfwPadSource glfwSource;
  return g_installed ? *g_installed : glfwSource;
}

void SetPadSource(PadSource* source) { g_installed = source; }

}  // namespace platform
