// The application shell.
//
// [SECTION] Start-up failures and the instance
// [SECTION] Init: window, context, command line, swap interval
// [SECTION] Viewport
// [SECTION] Run: load, frame loop, teardown
//
// Everything here runs on the main thread. Start-up failures log one line
// and end the process with exit code 1. After start-up only a window closed
// while the production loads ends the process early (exit code -1, from the
// loading screen); otherwise the run ends through Escape or the sequence's
// last frame and the teardown.
#include "application/Application.h"

#include <glad/gl.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/AppLog.h"
#include "platform/CommandLine.h"
#include "platform/Environment.h"
#include "platform/Keyboard.h"
#include "platform/LibraryResidency.h"
#include "platform/Profiler.h"
#include "Loader/AssetPath.h"
#include "Loader/rvLoader.h"
#include "core/ScreenRecorder.h"
#include "sequence/fxBase.h"
#include "production/ProductionClasses.h"
#include "effects/EngineClasses.h"
#include "render/LoadingBar.h"
#include "render/RenderTarget.h"
#include "render/TextureImage.h"
#include "sequence/ClassRegistry.h"
#include "sequence/rvSequence.h"

//-----------------------------------------------------------------------------
// [SECTION] Start-up failures and the instance
//-----------------------------------------------------------------------------

namespace {

[[noreturn]] void FailStartup(const char* message, bool terminate) {
  AppLog::Get().AddLog("%s", message);
  if (terminate) glfwTerminate();
  std::exit(1);
}

}  // namespace

void OnGlfwError(int code, const char* description) {
  AppLog::Get().AddLog("[error] Glfw - %d: %s\n", code, description ? description : "");
}

Application& Application::Get() {
  static Application s_application;
  return s_application;
}

void ConnectEngineLayers() {
  ConnectEngineEffects();
  Application& app = Application::Get();
  SetPresentArea(&app.m_windowRect, &app.m_viewport);
  rvLoader::s_drawFrame = &DrawLoadingBarFrame;
}

//-----------------------------------------------------------------------------
// [SECTION] Init: window, context, command line, swap interval
//-----------------------------------------------------------------------------

namespace {

void SetWindowHints() {
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 5);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
  glfwWindowHint(GLFW_RED_BITS, 8);
  glfwWindowHint(GLFW_GREEN_BITS, 8);
  glfwWindowHint(GLFW_BLUE_BITS, 8);
  glfwWindowHint(GLFW_ALPHA_BITS, 8);
  glfwWindowHint(GLFW_DEPTH_BITS, 24);
  glfwWindowHint(GLFW_STENCIL_BITS, 8);
  glfwWindowHint(GLFW_REFRESH_RATE, 60);
}

void LogGLInfo() {
  AppLog& log = AppLog::Get();
  log.AddLog("OpenGL Version %s, GLSL %s\n", reinterpret_cast<const char*>(glGetString(GL_VERSION)),
             reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION)));
  log.AddLog("Compute:\n");
  GLint invocations = 0;
  glGetIntegerv(GL_MAX_COMPUTE_WORK_GROUP_INVOCATIONS, &invocations);
  log.AddLog("- Max local work group invocations %i\n", invocations);
  GLint size[3] = {0, 0, 0}, count[3] = {0, 0, 0};
  for (GLuint i = 0; i < 3; ++i) {
    glGetIntegeri_v(GL_MAX_COMPUTE_WORK_GROUP_SIZE, i, &size[i]);
    glGetIntegeri_v(GL_MAX_COMPUTE_WORK_GROUP_COUNT, i, &count[i]);
  }
  log.AddLog("- Max local work group sizes x:%i y:%i z:%i\n", size[0], size[1], size[2]);
  log.AddLog("- Max global work group counts x:%i y:%i z:%i\n", count[0], count[1], count[2]);
}

int ChooseSwapInterval() {
  const bool tear = glfwExtensionSupported("WGL_EXT_swap_control_tear") ||
                    glfwExtensionSupported("GLX_EXT_swap_control_tear");
  return tear ? -1 : 1;
}

}  // namespace

void Application::Init(const AppConfig& config) {
  ConnectEngineLayers();
  m_title = config.title;
  SetDataDirectory(config.dataDirectory.empty() ? std::string(".") : config.dataDirectory);
  g_loadListPath = config.loadListFile;
  g_sequencePath = config.sequenceFile;

  PROFILE_THREAD("Main");

  glfwSetErrorCallback(OnGlfwError);
  if (!glfwInit()) FailStartup("Couldn't init glfw\n", false);
  AppLog::Get().AddLog("GLFW Version %s\n", glfwGetVersionString());

  SetWindowHints();
  GLFWmonitor* monitor = glfwGetPrimaryMonitor();

  ScanCommandLine(platform::GetCommandLine());

  g_mainWindow = glfwCreateWindow(g_requestedWidth, g_requestedHeight, m_title.c_str(), monitor, nullptr);
  if (!g_mainWindow) FailStartup("Couldn't create the window.\n", true);
  platform::PrepareKeyboard(g_mainWindow);
  m_aspect = 0.0f;

  glfwMakeContextCurrent(g_mainWindow);
  platform::KeepLoadedLibrariesResident();
  if (!gladLoadGL(glfwGetProcAddress)) FailStartup("Failed to initialize OpenGL context\n", false);
  LogGLInfo();

  // A full-screen window on X11 keeps the display's own size whatever was
  // requested; starting from the size it really has lets "Default", the
  // loading screen and the viewport fill the screen from the first frame.
  int clientWidth = 0, clientHeight = 0;
  glfwGetFramebufferSize(g_mainWindow, &clientWidth, &clientHeight);
  if (clientWidth > 0 && clientHeight > 0)
    m_windowRect = {0, 0, clientWidth, clientHeight};
  else
    m_windowRect = {0, 0, g_requestedWidth, g_requestedHeight};
  UpdateViewport();
  if (m_renderWidth > 0 && m_renderHeight > 0)
    g_defaultRenderTarget.Create("Default", m_renderWidth, m_renderHeight, kDefaultTargetFlags,
                                 kDefaultFramebufferFlags);
  if (g_pCurrentRenderTarget != &g_defaultRenderTarget) BindRenderTarget(&g_defaultRenderTarget, true);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glfwSwapBuffers(g_mainWindow);

  g_swapInterval = ChooseSwapInterval();
  glfwSwapInterval(g_verticalSync ? g_swapInterval : 0);

  RegisterProductionClasses(GetClassRegistry());
}

//-----------------------------------------------------------------------------
// [SECTION] Viewport
//-----------------------------------------------------------------------------

void Application::StartUnboxed(int width, int height) {
  m_aspect = 0.0f;
  m_windowRect = {0, 0, width, height};
  UpdateViewport();
  g_defaultRenderTarget.Create("Default", width, height, kDefaultTargetFlags, kDefaultFramebufferFlags);
  BindRenderTarget(&g_defaultRenderTarget, true);
}

void Application::UpdateViewport() {
  const IntRect& r = m_windowRect;
  const float a = m_aspect;
  if (a <= 0.0f || a == float(r.w) / float(r.h)) {
    m_viewport = r;
  } else if (a > float(r.w) / float(r.h)) {
    // Narrower than the aspect: bars above and below.
    const int height = int(float(r.w) / a);
    m_viewport = {r.x, r.y + (r.h - height) / 2, r.w, height};
  } else {
    const int width = int(float(r.h) * a);
    m_viewport = {r.x + (r.w - width) / 2, r.y, width, r.h};
  }
  m_renderWidth = m_viewport.w;
  m_renderHeight = m_viewport.h;
  if (m_fixedRenderWidth > 0.0f && a > 0.0f) {
    m_renderWidth = int(m_fixedRenderWidth);
    m_renderHeight = int(m_fixedRenderWidth / a);
  }
}

//-----------------------------------------------------------------------------
// [SECTION] Run: load, frame loop, teardown
//-----------------------------------------------------------------------------

namespace {

// The clock step of one frame. With the fixed step switched on (tests,
// screenshots) frames advance by the video-export rate instead, so every
// run draws the same pictures.
float FrameStep(const ScreenRecorder& recorder, double& previous) {
  const double now = glfwGetTime();
  const float dt = float(now - previous);
  previous = now;
  if (!recorder.IsActive()) return dt;
  return recorder._ve._nFps > 0 ? 1.0f / float(recorder._ve._nFps) : 0.0f;
}

}  // namespace

void Application::Run(const AppConfig& config) {
  rvSequence sequence(1);
  ScreenRecorder recorder;
  if (platform::FixedStepRequested()) recorder._bActive = true;
  double previous = glfwGetTime();
  glfwSetInputMode(g_mainWindow, GLFW_CURSOR, GLFW_CURSOR_DISABLED);

  rvLoader::ReadLoadList(config.loadListFile);
  sequence.LoadSequence(config.sequenceFile, true);
  rvLoader::s_loadingWindow = nullptr;

  glfwSwapInterval(g_verticalSync ? g_swapInterval : 0);
  sequence.StartPlaying();

  const int overlayFlags = (g_overlayFps ? OVERLAY_FPS : 0) | (g_overlayReso ? OVERLAY_RESOLUTION : 0);
  while (!glfwWindowShouldClose(g_mainWindow)) {
    PROFILE_BLOCK("Loop");
    const float dt = FrameStep(recorder, previous);
    glfwPollEvents();
    int w = 0, h = 0;
    glfwGetFramebufferSize(g_mainWindow, &w, &h);
    m_windowRect = {0, 0, w, h};
    UpdateViewport();
    FollowClientSize(m_renderWidth, m_renderHeight);
    BeginFrame();
    // A long frame (the first one after loading, a stall) never moves the
    // timeline by more than 0.1 s; the frame-rate overlay sees the real step.
    sequence.Update(std::min(dt, 0.1f));
    {
      PROFILE_BLOCK("DrawEnd");
      PresentFrame(dt, !sequence.m_playing, overlayFlags);
    }
    {
      PROFILE_BLOCK("Swap");
      glfwSwapBuffers(g_mainWindow);
    }
    if (platform::EscapePressed(g_mainWindow) || sequence.m_time >= FrameToSeconds(sequence.m_frameMax))
      glfwSetWindowShouldClose(g_mainWindow, GLFW_TRUE);
  }
  sequence.Clear();
  TextureImage::ReleaseAll();
}
