// The nesting measure readers check before they parse: brackets in strings
// and after escapes do not count, the limit is inclusive.
#include <gtest/gtest.h>

#include <string>

#include "core/JsonDepth.h"

TEST(JsonDepth, CountsOpenArraysAndObjectsOutsideStrings) {
  struct Case {
    std::string text;
    int limit;
    bool within;
  };
  const Case cases[] = {
      {"", 0, true},
      {"42", 0, true},
      {"[]", 0, false},
      {"[]", 1, true},
      {"{\"a\":[{}]}", 3, true},
      {"{\"a\":[{}]}", 2, false},
      {"[[],[],[]]", 2, true},
      {"\"[[[[\"", 1, true},
      {"[\"\\\"[[[\"]", 1, true},
      {"[\"\\\\\",[[]]]", 2, false},
      {"]]]]][[", 2, true},
      {"]]]]][[[", 2, false},
      {"\"[[[", 0, true},
      {std::string(256, '[') + std::string(256, ']'), 256, true},
      {std::string(257, '['), 256, false},
      {std::string(100000, '['), 256, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(JsonNestingWithin(c.text.data(), c.text.size(), c.limit), c.within) << c.text.substr(0, 40) << " " << c.limit;
  const std::string deep(300, '{');
  EXPECT_FALSE(JsonNestingWithin(deep.data(), deep.size()));
  EXPECT_EQ(kJsonNestingLimit, 256);
}
