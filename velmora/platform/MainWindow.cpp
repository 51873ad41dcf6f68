// The process's one window: see MainWindow.h.
#include "platform/MainWindow.h"

GLFWwindow* g_mainWindow = nullptr;
