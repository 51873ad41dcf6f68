// Load list parsing and byte counting on the CPU: the announced total, the
// line ends that data files come with, and the counts that must not push
// the bar backwards or past its end.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "Loader/rvLoader.h"
#include "support/LogCapture.h"

namespace {

int Parse(const std::string& text) { return ParseLoadList(text.data(), text.size()); }

}  // namespace

TEST(LoadList, SecondFieldsAddUp) {
  const std::pair<const char*, int> cases[] = {
      {"a;100;\nb;200;\nc;700;\n", 1000},
      {"a;100;x\nb;200;y;z\n", 300},
      {"a;100;", 100},
      {"", 0},
      {"\n\n\n", 0},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Parse(text), expected) << text;
}

TEST(LoadList, EveryLineEndParsesAlike) {
  const char* cases[] = {
      "a;100;\nb;200;\nc;700;\n",
      "a;100;\r\nb;200;\r\nc;700;\r\n",
      "a;100;\rb;200;\rc;700;\r",
      "a;100;\n\n\n\r\n\rb;200;\r\n\r\nc;700;",
      "\r\n\r\na;100;\nb;200;\rc;700;\r\n",
  };
  for (const char* text : cases) EXPECT_EQ(Parse(text), 1000) << text;
}

TEST(LoadList, LinesWithoutACountAddNothing) {
  const std::pair<const char*, int> cases[] = {
      {"only;one\n", 0},
      {"none\n", 0},
      {"a;abc;\n", 0},
      {"a;;\n", 0},
      {"a; 42;\n", 42},
      {"a;+42;\n", 42},
      {"a;42abc;\n", 42},
      {"a;abc42;\n", 0},
      {"a;100\nb;200;\n", 200},
      {"a;100;\nonly;one\nb;x;\nc;50;\n", 150},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Parse(text), expected) << text;
}

TEST(LoadList, NegativeCountsAddNothing) {
  const std::pair<const char*, int> cases[] = {
      {"a;-100;\n", 0},
      {"a;-100;\nb;300;\n", 300},
      {"a;-2147483648;\nb;10;\n", 10},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Parse(text), expected) << text;
}

TEST(LoadList, HugeCountsStopAtTheLargestInt) {
  EXPECT_EQ(Parse("a;99999999999999999999;\n"), INT_MAX);
  EXPECT_EQ(Parse("a;2147483647;\nb;2147483647;\nc;5;\n"), INT_MAX);
}

TEST(LoadList, OverlongLinesAreSkippedAndLogged) {
  LogCapture log;
  const std::string longLine = "x;5;" + std::string(rvLoader::kMaxLineLength, 'p');
  EXPECT_EQ(Parse("a;100;\n" + longLine + "\nb;200;\n"), 300);
  EXPECT_TRUE(log.Contains("[Loader] load list line 2 longer than 1023 characters skipped\n")) << log.Text();

  const std::string fits = "x;5;" + std::string(rvLoader::kMaxLineLength - 4, 'p');
  EXPECT_EQ(Parse(fits), 5);
}

TEST(LoadList, BracketsNestedAHundredThousandDeepAreOneOverlongLine) {
  LogCapture log;
  EXPECT_EQ(Parse(std::string(100000, '[') + "\na;7;\n"), 7);
  EXPECT_TRUE(log.Contains("[Loader] load list line 1 longer than 1023 characters skipped\n")) << log.Text();
}

TEST(LoadList, FractionStaysWithinTheBar) {
  struct Case {
    int expected;
    int loaded;
    float fraction;
  };
  const Case cases[] = {
      {1000, 0, 0.0f}, {1000, 400, 0.4f}, {1000, 1000, 1.0f},
      {0, 0, 0.0f},  // nothing announced: the fill stays empty, no division
      {0, 50, 0.0f}, {-100, 0, 0.0f}, {-100, -100, 0.0f}, {100, 500, 1.0f}, {100, -5, 0.0f},
  };
  for (const Case& c : cases) {
    rvLoader::s_expected = c.expected;
    rvLoader::s_loaded = c.loaded;
    EXPECT_FLOAT_EQ(rvLoader::Fraction(), c.fraction) << c.expected << " " << c.loaded;
  }
}

TEST(LoadList, ReadsCountUpToTheAnnouncedTotal) {
  rvLoader::s_expected = Parse("a;100;\nb;200;\nc;700;\n");
  rvLoader::s_loaded = 0;
  const std::pair<int, int> reads[] = {{600, 600}, {600, 1000}, {0, 1000}, {50, 1000}};
  for (const auto& [bytes, loaded] : reads) {
    rvLoader::Count(bytes);
    EXPECT_EQ(rvLoader::s_loaded, loaded) << "after a read of " << bytes;
  }
  EXPECT_FLOAT_EQ(rvLoader::Fraction(), 1.0f);
}

TEST(LoadList, NegativeReadsAndEmptyTotalsCountNothing) {
  rvLoader::s_expected = 1000;
  rvLoader::s_loaded = 300;
  rvLoader::Count(-500);
  EXPECT_EQ(rvLoader::s_loaded, 300);
  rvLoader::s_expected = 0;
  rvLoader::s_loaded = 0;
  rvLoader::Count(600);
  EXPECT_EQ(rvLoader::s_loaded, 0);
  EXPECT_FLOAT_EQ(rvLoader::Fraction(), 0.0f);
}

TEST(LoadList, UpdateWithoutAWindowCountsNothing) {
  rvLoader::s_loadingWindow = nullptr;
  rvLoader::s_expected = 1000;
  rvLoader::s_loaded = 0;
  rvLoader::Update(600);
  EXPECT_EQ(rvLoader::s_loaded, 0);
}
