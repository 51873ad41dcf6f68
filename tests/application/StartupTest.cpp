// Start-up choices made before any window exists: the size presets, the
// command-line switches and the letterboxed viewport.
#include <gtest/gtest.h>

#include "application/Application.h"

TEST(SizePreset, NamesSelectTheirRequestedSize) {
  struct Case {
    const char* name;
    int row, width, height;
  };
  const Case cases[] = {
      {"Free", 0, 0, 0},          {"Ratio 16/10", 1, 0, 0},   {"Ratio 4/3", 4, 0, 0},
      {"640x480", 5, 640, 480},   {"800x600", 6, 800, 600},   {"1024x768", 7, 1024, 576},
      {"1280x720", 8, 1280, 720}, {"1600x900", 9, 1600, 900}, {"1920x1080", 10, 1920, 1080},
      {"3840x2160", 11, 3840, 2160},
  };
  for (const Case& c : cases) {
    g_requestedWidth = g_requestedHeight = -7;
    EXPECT_EQ(FindSizePreset(c.name), c.row) << c.name;
    EXPECT_EQ(g_requestedWidth, c.width) << c.name;
    EXPECT_EQ(g_requestedHeight, c.height) << c.name;
  }
}

TEST(SizePreset, UnknownOrNullNameChangesNothing) {
  for (const char* name : {"640X480", "640x48", "", " 640x480", static_cast<const char*>(nullptr)}) {
    g_requestedWidth = 11;
    g_requestedHeight = 12;
    g_sizePresetRow = 13;
    EXPECT_EQ(FindSizePreset(name), -1);
    EXPECT_EQ(g_requestedWidth, 11);
    EXPECT_EQ(g_requestedHeight, 12);
    EXPECT_EQ(g_sizePresetRow, 13);
  }
}

TEST(CommandLineScan, SizeSwitchesFollowTheFixedOrder) {
  struct Case {
    const char* line;
    int width, height;
  };
  const Case cases[] = {
      {"/usr/bin/player", 1920, 1080},
      {"player -640x480", 640, 480},
      {"player -1920x1080 -640x480", 1920, 1080},  // fixed order, not command-line order
      {"player -3840x2160 -800x600", 3840, 2160},
      {"player -800x600 -1280x720", 1280, 720},
      {"/opt/-1600x900/player", 1600, 900},  // a switch inside the program path counts
      {"player -1024x768", 1920, 1080},       // no switch selects that row
  };
  for (const Case& c : cases) {
    ScanCommandLine(c.line);
    EXPECT_EQ(g_requestedWidth, c.width) << c.line;
    EXPECT_EQ(g_requestedHeight, c.height) << c.line;
  }
}

TEST(CommandLineScan, OverlayAndSyncSwitchesAreSubstrings) {
  g_overlayFps = g_overlayReso = false;
  g_verticalSync = true;
  ScanCommandLine("player -fpsx");
  EXPECT_TRUE(g_overlayFps);
  EXPECT_FALSE(g_overlayReso);
  EXPECT_TRUE(g_verticalSync);
  ScanCommandLine("player -resolution -nosync");
  EXPECT_TRUE(g_overlayReso);
  EXPECT_FALSE(g_verticalSync);
}

TEST(Viewport, LetterboxKeepsTheAspect) {
  struct Case {
    IntRect window;
    float aspect, fixedWidth;
    IntRect viewport;
    int renderW, renderH;
  };
  const Case cases[] = {
      {{0, 0, 1920, 1080}, 16.0f / 9.0f, 0, {0, 0, 1920, 1080}, 1920, 1080},
      {{0, 0, 1600, 1200}, 16.0f / 9.0f, 0, {0, 150, 1600, 900}, 1600, 900},  // bars above and below
      {{0, 0, 2560, 1080}, 16.0f / 9.0f, 0, {320, 0, 1920, 1080}, 1920, 1080},  // bars left and right
      {{10, 20, 640, 480}, 0.0f, 0, {10, 20, 640, 480}, 640, 480},              // no aspect
      {{0, 0, 641, 480}, 16.0f / 9.0f, 0, {0, 60, 641, 360}, 641, 360},          // 360.56 truncated
      {{0, 0, 1600, 1200}, 16.0f / 9.0f, 1280, {0, 150, 1600, 900}, 1280, 720},  // fixed width
      {{0, 0, 1600, 1200}, 0.0f, 1280, {0, 0, 1600, 1200}, 1600, 1200},        // fixed width needs an aspect
      {{0, 0, 0, 0}, 0.0f, 0, {0, 0, 0, 0}, 0, 0},                              // minimised
  };
  Application& app = Application::Get();
  for (const Case& c : cases) {
    app.m_windowRect = c.window;
    app.m_aspect = c.aspect;
    app.m_fixedRenderWidth = c.fixedWidth;
    app.UpdateViewport();
    EXPECT_EQ(app.m_viewport.x, c.viewport.x);
    EXPECT_EQ(app.m_viewport.y, c.viewport.y);
    EXPECT_EQ(app.m_viewport.w, c.viewport.w);
    EXPECT_EQ(app.m_viewport.h, c.viewport.h);
    EXPECT_EQ(app.m_renderWidth, c.renderW);
    EXPECT_EQ(app.m_renderHeight, c.renderH);
  }
}
