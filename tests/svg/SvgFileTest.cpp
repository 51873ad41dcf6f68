// SVG files read through the data pack.
#include <gtest/gtest.h>

#include "support/TestPack.h"
#include "svg/SvgImage.h"

TEST(SvgFile, ParsesAFileOfThePackAndMissesCleanly) {
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/svg/box.svg",
                               "<svg width=\"100\" height=\"50\"><rect x=\"10\" y=\"10\" width=\"20\" "
                               "height=\"5\" fill=\"#ff0000\"/></svg>"},
                              {"Data/svg/empty.svg", ""}}));
  EnterDir(dir);
  SvgImage* image = ParseSvgFile("svg/box.svg", 96.0f);
  ASSERT_NE(image, nullptr);
  EXPECT_FLOAT_EQ(image->width, 100.0f);
  EXPECT_FLOAT_EQ(image->height, 50.0f);
  ASSERT_NE(image->shapes, nullptr);
  EXPECT_EQ(image->shapes->next, nullptr);
  DeleteSvgImage(image);
  EXPECT_EQ(ParseSvgFile("svg/missing.svg", 96.0f), nullptr);
  EXPECT_EQ(ParseSvgFile("svg/empty.svg", 96.0f), nullptr);
  EXPECT_EQ(ParseSvgFile(nullptr, 96.0f), nullptr);
}
