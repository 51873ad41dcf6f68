#include "platform/Keyboard.h"

#include <GLFW/glfw3.h>

namespace platform {

void PrepareKeyboard(GLFWwindow* window) {
  if (window) glfwSetInputMode(window, GLFW_STICKY_KEYS, GLFW_TRUE);
}

bool EscapePressed(GLFWwindow* window) {
  // With sticky keys a press that was released before this poll still reads
  // GLFW_PRESS once, which matches the asynchronous key state's low bit.
  return window && glfwGetKey(window, GLFW_KEY_ESCAPE) == GLFW_PRESS;
}

}  // namespace platform
