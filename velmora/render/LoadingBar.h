// The loading screen's picture: one frame of the progress bar, drawn into
// "Default" and presented like a frame of the main loop. The loader calls
// it after every file read (rvLoader's frame drawer), so it never holds GL
// state across a read: it binds "Default", draws with the shared fill
// program and presents.
#pragma once

struct GLFWwindow;

// Lets "Default" follow the window's client size, draws the bar filled to
// `fraction` (0..1) and swaps the window's buffers without waiting for a
// vertical blank.
void DrawLoadingBarFrame(GLFWwindow* window, float fraction);
