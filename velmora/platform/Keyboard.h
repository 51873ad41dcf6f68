// Escape key as the player polls it: down now, or pressed since the last
// test. Sticky keys give the "since the last test" half; the window must be
// prepared once with PrepareKeyboard.
#pragma once

struct GLFWwindow;

namespace platform {

void PrepareKeyboard(GLFWwindow* window);
bool EscapePressed(GLFWwindow* window);

}  // namespace platform
