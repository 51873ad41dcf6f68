// The application log: line offsets, empty messages, whole lines under
// concurrent writers, long messages byte-exact.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/AppLog.h"
#include "platform/Threading.h"

static std::vector<int> Offsets() {
  ImVector<int> v = AppLog::Get().LineOffsets();
  return std::vector<int>(v.begin(), v.end());
}

TEST(AppLog, ClearLeavesEmptyTextAndOneOffset) {
  AppLog::Get().AddLog("[x] a\n");
  AppLog::Get().Clear();
  EXPECT_EQ(AppLog::Get().Text(), "");
  EXPECT_EQ(Offsets(), std::vector<int>{0});
}

TEST(AppLog, OffsetsFollowNewlinesAcrossMessages) {
  AppLog& log = AppLog::Get();
  log.Clear();
  log.AddLog("%s", "ab\ncd\n");  // two lines: offsets 3 and 6
  log.AddLog("ef");              // continues the line
  log.AddLog("%d\n", 7);
  EXPECT_EQ(log.Text(), "ab\ncd\nef7\n");
  EXPECT_EQ(Offsets(), (std::vector<int>{0, 3, 6, 10}));
}

TEST(AppLog, EmptyMessageAppendsNothing) {
  AppLog& log = AppLog::Get();
  log.Clear();
  log.AddLog("%s", "");
  EXPECT_EQ(log.Text(), "");
  EXPECT_EQ(Offsets(), std::vector<int>{0});
}

TEST(AppLog, LongMessageIsKeptByteExact) {
  AppLog& log = AppLog::Get();
  log.Clear();
  std::string big;
  for (int i = 0; i < 100000; ++i) big += static_cast<char>('a' + i % 26);
  log.AddLog("[big] %s\n", big.c_str());
  EXPECT_EQ(log.Text(), "[big] " + big + "\n");
}

TEST(AppLog, EightThreadsNeverInterleaveInsideAMessage) {
  AppLog& log = AppLog::Get();
  log.Clear();
  constexpr int kThreads = 8, kLines = 500;
  std::vector<std::unique_ptr<platform::Thread>> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.push_back(std::make_unique<platform::Thread>());
    threads.back()->Start([t] {
      const std::string body(40 + t, static_cast<char>('A' + t));
      for (int i = 0; i < kLines; ++i) AppLog::Get().AddLog("[t%d] %s %d\n", t, body.c_str(), i);
    });
  }
  for (auto& th : threads) th->Join();
  const std::string text = log.Text();
  std::vector<int> perThread(kThreads, 0);
  size_t pos = 0;
  int lines = 0;
  while (pos < text.size()) {
    const size_t end = text.find('\n', pos);
    ASSERT_NE(end, std::string::npos);
    const std::string line = text.substr(pos, end - pos);
    const int t = line[2] - '0';
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    const std::string body(40 + t, static_cast<char>('A' + t));
    EXPECT_EQ(line, "[t" + std::to_string(t) + "] " + body + " " + std::to_string(perThread[t])) << line;
    ++perThread[t];
    ++lines;
    pos = end + 1;
  }
  EXPECT_EQ(lines, kThreads * kLines);
  EXPECT_EQ(Offsets().size(), static_cast<size_t>(kThreads * kLines + 1));
}
