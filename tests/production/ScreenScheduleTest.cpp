// The screen wall's arithmetic as tables: atlas placement, the picks of one
// frame and the countdown after a pick.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "production/ScreenSchedule.h"

TEST(ScreenSchedule, PicturesAreCentredInTheirSlotLineZeroOnTop) {
  struct Case {
    int slot, width, height;
    int column, row;
  };
  const Case cases[] = {
      {0, 256, 200, 0, 199},    {15, 256, 200, 3840, 199}, {0, 250, 190, 3, 194},
      {3, 250, 190, 771, 194},  {0, 1, 1, 127, 100},       {7, 1, 1, 1919, 100},
      {1, 150, 150, 309, 174},  {2, 251, 189, 514, 194},
  };
  for (const Case& c : cases) {
    const AtlasPlacement p = PlaceInAtlas(c.slot, c.width, c.height);
    EXPECT_EQ(p.column, c.column) << c.slot << " " << c.width << "x" << c.height;
    EXPECT_EQ(p.row, c.row) << c.slot << " " << c.width << "x" << c.height;
    // The last line and the last column stay inside the slot.
    EXPECT_GE(p.row - (c.height - 1), 0);
    EXPECT_LE(p.column + c.width, kSlotWidth * (c.slot + 1));
  }
}

TEST(ScreenSchedule, OnlyPicturesOfOneSlotFit) {
  struct Case {
    int width, height;
    bool fits;
  };
  const Case cases[] = {{256, 200, true}, {1, 1, true},   {257, 200, false},
                        {256, 201, false}, {0, 10, false}, {512, 512, false}};
  for (const Case& c : cases) EXPECT_EQ(FitsSlot(c.width, c.height), c.fits) << c.width << "x" << c.height;
}

TEST(ScreenSchedule, PicksTakeTheMostOverdueScreensFirst) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* what;
    std::vector<ScreenDue> screens;
    int maxPicks;
    std::vector<int> expected;
  };
  const Case cases[] = {
      {"smallest first", {{-0.1f, 0}, {-0.3f, 0}, {-0.2f, 0}}, 8, {1, 2, 0}},
      {"ties go to the lowest index", {{-0.1f, 0}, {-0.1f, 0}, {-0.1f, 0}}, 8, {0, 1, 2}},
      {"zero is due", {{0.0f, 0}, {0.05f, 0}}, 8, {0}},
      {"nothing due", {{0.1f, 0}, {0.2f, 0}}, 8, {}},
      {"NaN never wins", {{nan, 0}, {-0.1f, 0}, {nan, 0}}, 8, {1}},
      {"a screen held by a worker waits", {{-0.5f, 1}, {-0.1f, 0}}, 8, {1}},
      {"a finished job is pickable again", {{-0.5f, 0}, {-0.1f, -1}}, 8, {0, 1}},
      {"overdue before due", {{-2.5f, 0}, {0.0f, 0}, {-1.0f, 0}}, 2, {0, 2}},
      {"empty", {}, 8, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(PickDueScreens(c.screens, c.maxPicks), c.expected) << c.what;
}

TEST(ScreenSchedule, SixteenDueScreensAreServedEightAFrame) {
  std::vector<ScreenDue> screens(kScreenCount, ScreenDue{0.0f, 0});
  const std::vector<int> first = PickDueScreens(screens, 8);
  EXPECT_EQ(first, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  // The picked ones got a new period; the rest are still due next frame.
  for (int i : first) screens[size_t(i)].countdown = NextCountdown(screens[size_t(i)].countdown, 0.1f);
  EXPECT_EQ(PickDueScreens(screens, 8), (std::vector<int>{8, 9, 10, 11, 12, 13, 14, 15}));
}

TEST(ScreenSchedule, TheOvershootCarriesIntoTheNextPeriod) {
  struct Case {
    float countdown, duration, expected;
  };
  const Case cases[] = {
      {0.0f, 0.1f, 0.1f},      // exactly due: a whole period
      {-0.25f, 0.1f, 0.05f},   // 2.5 periods late: half a period, the rest dropped
      {-0.03f, 0.1f, 0.07f},
      {-0.1f, 0.1f, 0.1f},
  };
  for (const Case& c : cases) EXPECT_NEAR(NextCountdown(c.countdown, c.duration), c.expected, 1e-6f) << c.countdown;
  // A still image: never due again.
  EXPECT_TRUE(std::isnan(NextCountdown(0.0f, 0.0f)));
  EXPECT_TRUE(std::isnan(NextCountdown(-0.5f, 0.0f)));
}
