// The built player, run as a child process in a temporary directory with a
// data pack made for the test: exit codes, log lines, screenshots.
#include <gtest/gtest.h>

#include "core/ClassDesc.h"
#include "sequence/ClassRegistry.h"
#include "platform/Threading.h"
#include "support/PlayerRun.h"
#include "support/PrivateScreen.h"
#include "support/SequenceText.h"
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

// Every class the registry holds, in one sequence with properties, dynamic
// properties and drivers of every kind: it loads, plays to its last frame
// at fixed steps and tears down, and the run ends with 0.
TEST(Player, SequenceWithEveryRegisteredClassPlaysToItsEnd) {
  std::string items;
  int start = 0;
  for (const ClassDesc* desc : GetClassRegistry()) {
    if (!items.empty()) items += ",\n";
    const int end = start + 30;
    items += R"({"Class":")" + desc->m_name + R"(","Properties":{"Name":"fx)" + std::to_string(start) +
             R"(","Start":)" + std::to_string(start) + R"(,"End":)" + std::to_string(end) +
             R"J(,"FadeIn":0.1,"FadeOut":0.1,"_apAttribDrivers":[
               {"_eType":1,"_attribName":"TimeScale","_eInterpolation":2,
                "_aKeys":[{"x":0,"y":1,"z":0},{"x":0.25,"y":2,"z":0}]},
               {"_eType":2,"_attribName":"FadeIn","_fMin":0,"_fMax":0.2,"_fPeriod":1},
               {"_eType":3,"_attribName":"FadeOut","_fMin":0,"_fMax":0.2,"_fPeriod":1},
               {"_eType":4,"_attribName":"TimeScale","_fMin":0.5,"_fMax":1.5,"_fPeriod":1},
               {"_eType":5,"_attribName":"TimeScale","_sExpression":"1+a*sin(x)","nVarCount":1,
                "Vars":[{"name":"a","value":0.5}]},
               {"_eType":7,"_attribName":"TimeScale","_sVarName":"speed"}]},
              "PropertiesDynamic":{"Unknown":1}})J";
    start += 10;
  }
  const std::string sequence = "{ \"Items\" : [\n" + items + "\n] }";
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/seq/_DemoFull_.seq", sequence}}));
  PlayerOptions options;
  options.args = {"-640x480"};
  options.env = {"VELMORA_FIXED_STEP=1"};
  const PlayerResult run = RunPlayer(dir.Path(), options);
  EXPECT_EQ(run.exitCode, 0) << run.log;
  EXPECT_FALSE(run.timedOut);
}

TEST(Player, BrokenSequenceFilesDoNotStopThePlayer) {
  const std::string cases[] = {"{ \"Items\" : [ {\"Class\":\"fxBase\", \"Prop", "not json at all",
                               "[1,2,3]", "{\"Items\":{\"Class\":3}}", std::string(100000, '[')};
  for (const std::string& text : cases) {
    TempDir dir;
    ASSERT_TRUE(BuildPack(dir, {{"Data/seq/_DemoFull_.seq", text}}));
    const PlayerResult run = RunPlayer(dir.Path(), {});
    EXPECT_EQ(run.exitCode, 0) << text.substr(0, 40) << "\n" << run.log;
  }
}

TEST(Player, EscapeEndsTheRun) {
  PrivateScreen screen(320, 240);
  ASSERT_TRUE(screen.Ready());
  TempDir dir;
  // One effect with a window of an hour: only Escape can end this run.
  ASSERT_TRUE(BuildPack(dir, {{"Data/seq/_DemoFull_.seq",
                               R"({"Items":[{"Class":"fxBase","Properties":{"Start":0,"End":216000}}]})"}}));
  PlayerOptions options;
  options.env = {"DISPLAY=" + screen.Display()};
  options.timeoutSeconds = 60.0;
  options.waitForLog = "OpenGL Version";
  bool sent = false;
  options.whileRunning = [&] {
    // Give the loop time to start, then press Escape.
    platform::SleepMs(1500);
    sent = screen.SendEscape();
  };
  const PlayerResult run = RunPlayer(dir.Path(), options);
  EXPECT_TRUE(sent);
  EXPECT_FALSE(run.timedOut) << run.log;
  EXPECT_EQ(run.exitCode, 0) << run.log;
}

// A production that nests a part holding a reference, references an effect
// of a file that nests the production, and nests itself once: it plays to
// its end, refuses the self-nesting with one line, and ends with 0.
TEST(Player, NestedPartsAndReferencesPlayToTheirEnd) {
  const std::string main = SeqFile({
      SeqItem("fxSequence", "part", 0, 90, R"("Sequence File": "seq/part.seq", "Time Seek": 0.5)"),
      SeqItem("fxReference", "from show", 30, 120, R"("Sequence File": "seq/show.seq", "Fx Name": "badge")"),
      SeqItem("fxSequence", "again", 60, 120, R"("Sequence File": "seq/_DemoFull_.seq")"),
      SeqItem("fxBase", "rings", 0, 120),
  });
  const std::string part = SeqFile({
      SeqItem("fxReference", "echo", 0, 60, R"("Sequence File": "seq/_DemoFull_.seq", "Fx Name": "rings")"),
      SeqItem("fxBase", "inner", 0, 45),
  });
  const std::string show = SeqFile({
      SeqItem("fxSequence", "whole", 0, 120, R"("Sequence File": "Data/seq/_DemoFull_.seq")"),
      SeqItem("fxBase", "badge", 20, 80),
  });
  TempDir dir;
  ASSERT_TRUE(BuildPack(dir, {{"Data/seq/_DemoFull_.seq", main}, {"Data/seq/part.seq", part},
                              {"Data/seq/show.seq", show}}));
  PlayerOptions options;
  options.args = {"-640x480"};
  options.env = {"VELMORA_FIXED_STEP=1"};
  const PlayerResult run = RunPlayer(dir.Path(), options);
  EXPECT_EQ(run.exitCode, 0) << run.log;
  EXPECT_FALSE(run.timedOut);
  size_t refused = 0;
  for (size_t at = run.log.find("would play inside itself"); at != std::string::npos;
       at = run.log.find("would play inside itself", at + 1))
    ++refused;
  EXPECT_EQ(refused, 1u) << run.log;
}
