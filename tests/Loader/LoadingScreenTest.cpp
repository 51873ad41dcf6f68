// The loading screen on a real window and pack: the list switches it on,
// every file read draws a frame of the bar into "Default", and bad lists
// (nothing usable, negative sizes) never push the fill outside its frame.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include <string>

#include "Loader/AssetPath.h"
#include "Loader/DataPack.h"
#include "Loader/rvLoader.h"
#include "application/Application.h"
#include "render/Framebuffer.h"
#include "render/RenderTarget.h"
#include "support/GLFixture.h"
#include "support/TestPack.h"

namespace {

constexpr int kSize = 256;  // the fixture's window
// Where the bar lies in "Default", in GL rows (0 at the bottom). From the
// top, the frame spans 0.49..0.51 of the height (rows 125.4..130.6) and the
// inside 0.491..0.509 (125.7..130.3): row 125 from the top shows the frame
// only, row 128 the inside. The frame's sides are a quarter pixel wide at
// this size, so they are probed on its top edge.
constexpr int kBarRow = kSize - 1 - 128;
constexpr int kFrameEdgeRow = kSize - 1 - 125;
constexpr int kFrameLeft = 64, kFrameRight = 192;  // 0.25 and 0.75 of the width

const Rgba8 kWhite = {255, 255, 255, 255};
const Rgba8 kBlack = {0, 0, 0, 255};

class LoadingScreenTest : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    g_mainWindow = Window();
    Application& app = Application::Get();
    app.m_windowRect = {0, 0, kSize, kSize};
    app.m_viewport = app.m_windowRect;
  }

  void TearDown() override {
    rvLoader::s_loadingWindow = nullptr;
    g_pCurrentRenderTarget = nullptr;
    g_pCurrentVectorDisplay = nullptr;
    g_defaultRenderTarget.Destroy(true);
    ReleaseFramePresentation();
    GLTest::TearDown();
  }

  void EnterPackWithList(const std::string& list) {
    ASSERT_TRUE(BuildPack(m_dir, {{"Data/csv/demo.csv", list},
                                  {"Data/a.bin", std::string(600, 'a')},
                                  {"Data/b.bin", std::string(600, 'b')}}));
    EnterDir(m_dir);
    SetDataDirectory("Data");
  }

  static int Read(const char* path) {
    int size = 0;
    DataPack::Get().ReadFile(path, size);
    return size;
  }

  static Rgba8 BarPixel(int x, int row = kBarRow) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, g_defaultRenderTarget.m_colorFramebuffer->GL()->m_framebuffer);
    return ReadPixel(x, row);
  }

  // The first column right of the frame's left edge that is not white.
  static int FillEnd() {
    int x = kFrameLeft + 2;
    while (x < kSize && BarPixel(x) == kWhite) ++x;
    return x;
  }

  TempDir m_dir;
};

}  // namespace

TEST_F(LoadingScreenTest, ListSwitchesTheScreenOnAndAnnouncesItsTotal) {
  EnterPackWithList("a.bin;100;\r\nb.bin;200;\r\nc.bin;700;\r\n");
  rvLoader::s_loaded = 77;
  ASSERT_TRUE(rvLoader::ReadLoadList("csv/demo.csv"));
  EXPECT_EQ(rvLoader::s_loadingWindow, Window());
  EXPECT_EQ(rvLoader::s_expected, 1000);
  EXPECT_EQ(rvLoader::s_loaded, 0);
  // The read of the list itself drew nothing: the screen was still off.
  EXPECT_FALSE(g_defaultRenderTarget.m_created);
}

TEST_F(LoadingScreenTest, MissingListLeavesTheScreenOffAndTheCountersAlone) {
  EnterPackWithList("a.bin;100;\n");
  rvLoader::s_expected = 5;
  rvLoader::s_loaded = 3;
  EXPECT_FALSE(rvLoader::ReadLoadList("csv/none.csv"));
  EXPECT_EQ(rvLoader::s_loadingWindow, nullptr);
  EXPECT_EQ(rvLoader::s_expected, 5);
  EXPECT_EQ(rvLoader::s_loaded, 3);
  Read("a.bin");
  EXPECT_FALSE(g_defaultRenderTarget.m_created);
}

TEST_F(LoadingScreenTest, EveryReadDrawsTheBarGrowingToFull) {
  EnterPackWithList("a.bin;100;\nb.bin;200;\nc.bin;700;\n");
  ASSERT_TRUE(rvLoader::ReadLoadList("csv/demo.csv"));

  EXPECT_EQ(Read("a.bin"), 600);
  EXPECT_EQ(rvLoader::s_loaded, 600);
  // "Default" follows the window's client size during loading.
  EXPECT_EQ(g_defaultRenderTarget.m_width, kSize);
  EXPECT_EQ(g_defaultRenderTarget.m_height, kSize);
  EXPECT_TRUE(PixelNear(BarPixel(kFrameLeft, kFrameEdgeRow), kWhite));  // frame
  EXPECT_TRUE(PixelNear(BarPixel(kFrameRight - 1, kFrameEdgeRow), kWhite));
  EXPECT_TRUE(PixelNear(BarPixel(kFrameRight + 4, kFrameEdgeRow), kBlack));  // outside
  EXPECT_TRUE(PixelNear(BarPixel(kFrameRight + 4), kBlack));
  const int fill = FillEnd();
  EXPECT_NEAR(fill, 64.26 + 0.6 * 127.49, 2.0);  // 0.251 + 0.498 x 0.6 of the width
  EXPECT_TRUE(PixelNear(BarPixel(fill + 10), kBlack));

  EXPECT_EQ(Read("b.bin"), 600);
  EXPECT_EQ(rvLoader::s_loaded, 1000);
  EXPECT_NEAR(FillEnd(), 64.26 + 127.49, 2.0);
  EXPECT_TRUE(PixelNear(BarPixel(kFrameRight + 4), kBlack));
}

TEST_F(LoadingScreenTest, MissStillDrawsAFrameButAnEmptyPathDoesNot) {
  EnterPackWithList("a.bin;100;\n");
  ASSERT_TRUE(rvLoader::ReadLoadList("csv/demo.csv"));
  Read("");
  EXPECT_FALSE(g_defaultRenderTarget.m_created);
  EXPECT_EQ(Read("missing.bin"), 0);
  ASSERT_TRUE(g_defaultRenderTarget.m_created);
  EXPECT_EQ(rvLoader::s_loaded, 0);
  EXPECT_TRUE(PixelNear(BarPixel(kSize / 2, kFrameEdgeRow), kWhite));
  EXPECT_TRUE(PixelNear(BarPixel(kFrameLeft + 1), kBlack));
}

TEST_F(LoadingScreenTest, ListWithoutUsableLinesKeepsTheFillEmpty) {
  EnterPackWithList("no separators here\r\nonly;one\r\nname;size;\r\n\r\n");
  ASSERT_TRUE(rvLoader::ReadLoadList("csv/demo.csv"));
  EXPECT_EQ(rvLoader::s_expected, 0);
  Read("a.bin");
  Read("b.bin");
  EXPECT_EQ(rvLoader::s_loaded, 0);
  EXPECT_TRUE(PixelNear(BarPixel(kSize / 2, kFrameEdgeRow), kWhite));
  EXPECT_TRUE(PixelNear(BarPixel(kFrameLeft + 1), kBlack));
}

TEST_F(LoadingScreenTest, NegativeSizesNeverPushTheFillPastItsFrame) {
  EnterPackWithList("a.bin;-5000;\nb.bin;300;\n");
  ASSERT_TRUE(rvLoader::ReadLoadList("csv/demo.csv"));
  EXPECT_EQ(rvLoader::s_expected, 300);
  Read("a.bin");
  Read("b.bin");
  EXPECT_EQ(rvLoader::s_loaded, 300);
  EXPECT_NEAR(FillEnd(), 64.26 + 127.49, 2.0);
  EXPECT_TRUE(PixelNear(BarPixel(kFrameRight + 4), kBlack));

  // Counters that went wrong elsewhere are clamped when drawn.
  rvLoader::s_expected = -100;
  rvLoader::s_loaded = -300;
  Read("a.bin");
  EXPECT_TRUE(PixelNear(BarPixel(kFrameLeft + 1), kBlack));
  EXPECT_TRUE(PixelNear(BarPixel(kFrameRight + 4), kBlack));
}

TEST_F(LoadingScreenTest, ResizingTheWindowResizesDefault) {
  EnterPackWithList("a.bin;1200;\n");
  ASSERT_TRUE(rvLoader::ReadLoadList("csv/demo.csv"));
  Read("a.bin");
  EXPECT_EQ(g_defaultRenderTarget.m_width, kSize);
  glfwSetWindowSize(Window(), 160, 96);
  int w = 0, h = 0;
  // The X server answers in its own time; on a busy machine that can take
  // a while, so the bound is a hang guard rather than an expected delay.
  for (int i = 0; i < 3000 && (w != 160 || h != 96); ++i) {
    glfwWaitEventsTimeout(0.01);
    glfwGetFramebufferSize(Window(), &w, &h);
  }
  ASSERT_EQ(w, 160);
  ASSERT_EQ(h, 96);
  Read("b.bin");
  EXPECT_EQ(g_defaultRenderTarget.m_width, 160);
  EXPECT_EQ(g_defaultRenderTarget.m_height, 96);
}

TEST_F(LoadingScreenTest, ClosingTheWindowWhileLoadingEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EnterPackWithList("a.bin;1200;\n");
  ASSERT_TRUE(rvLoader::ReadLoadList("csv/demo.csv"));
  glfwSetWindowShouldClose(Window(), GLFW_TRUE);
  EXPECT_EXIT(Read("a.bin"), ::testing::ExitedWithCode(255), "");
}
