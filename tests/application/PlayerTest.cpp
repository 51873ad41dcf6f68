// The built player, run as a child process in a temporary directory with a
// data pack made for the test: exit codes, log lines, screenshots.
#include <gtest/gtest.h>

#include "support/PlayerRun.h"
#include "support/TestPack.h"

namespace {

const char* const kEmptySequence = "{ \"Items\" : [] }";

}  // namespace

TEST(Player, WithoutADisplayLogsAndExitsWithOne) {
  TempDir dir;
  PlayerOptions options;
  options.env = {"DISPLAY=", "WAYLAND_DISPLAY="};
  const PlayerResult run = RunPlayer(dir.Path(), options);
  EXPECT_EQ(run.exitCode, 1) << run.log;
  EXPECT_NE(run.log.find("Couldn't init glfw\n"), std::string::npos) << run.log;
}

TEST(Player, EmptyProductionStartsLogsAndEndsWithZero) {
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/seq/_DemoFull_.seq", kEmptySequence}}));
  PlayerOptions options;
  options.args = {"-640x480", "-fps"};
  const PlayerResult run = RunPlayer(dir.Path(), options);
  EXPECT_EQ(run.exitCode, 0) << run.log;
  for (const char* line : {"GLFW Version ", "OpenGL Version 4.5", "Compute:\n",
                           "- Max local work group invocations ", "- Max local work group sizes x:",
                           "- Max global work group counts x:"}) {
    EXPECT_NE(run.log.find(line), std::string::npos) << line << "\n" << run.log;
  }
}

TEST(Player, MissingPackStillEndsCleanly) {
  TempDir dir;
  const PlayerResult run = RunPlayer(dir.Path(), {});
  EXPECT_EQ(run.exitCode, 0) << run.log;
}
