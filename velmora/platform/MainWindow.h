// The process's one window and GL context, made by the shell at start-up.
// Kept here, below everything that draws or polls, so that the loading
// screen and the keys reach it without reaching up to the shell.
#pragma once

struct GLFWwindow;

extern GLFWwindow* g_mainWindow;  // null until the shell has made it
