// The process: window, GL context, command line, size presets, the letterboxed
// viewport, and the run that loads the production and plays it frame by
// frame. Owns no rendering or timeline logic: it calls the render targets,
// the loader, the registry and the sequence in a fixed order.
#pragma once
#include <string>

#include "application/AppConfig.h"
#include "application/StartupOptions.h"
#include "render/RenderTarget.h"

struct GLFWwindow;

class Application {
 public:
  static Application& Get();

  void Init(const AppConfig& config);
  void Run(const AppConfig& config);
  void UpdateViewport();
  // The drawing start of a window of width x height without letterboxing,
  // for the tools and tests that play the production in a hidden window:
  // window rectangle and viewport, "Default" made at that size and bound.
  void StartUnboxed(int width, int height);

  std::string m_title;
  IntRect m_windowRect;
  IntRect m_viewport;  // where the picture lands inside the window rectangle
  int m_renderWidth = 0;
  int m_renderHeight = 0;
  float m_aspect = 16.0f / 9.0f;  // 0 or less: none
  float m_fixedRenderWidth = 0.0f;
};

void OnGlfwError(int code, const char* description);

// Fills the registration points the layers below offer for what only the
// layers above know: the engine's effect classes and the render layer's
// view of effects (ConnectEngineEffects), this application's window
// rectangle and viewport for PresentFrame, and the loading screen's frame
// drawer. Init calls it first; tests and tools that drive the engine
// without the shell call it themselves. Calling it again changes nothing.
void ConnectEngineLayers();
