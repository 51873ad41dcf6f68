// Runs the built player as a child process in a working directory (usually a
// TempDir holding a test pack) and returns how it ended and what it logged on
// stderr. The child is killed when it outlives the time limit, so a hung
// player fails its test instead of hanging the suite.
#pragma once
#include <functional>
#include <string>
#include <vector>

struct PlayerResult {
  int exitCode = -1000;  // exit status (255 for an exit code of -1), -1000 if killed
  bool timedOut = false;
  std::string log;       // everything the player wrote to stderr
};

struct PlayerOptions {
  std::vector<std::string> args;
  std::vector<std::string> env;  // extra "NAME=value" entries
  double timeoutSeconds = 120.0;
  // Called once while the player runs, after it has logged `waitForLog`
  // (e.g. take screenshots, send Escape), on a thread of its own while its
  // log keeps being read; RunPlayer returns once it has finished.
  std::string waitForLog;
  std::function<void()> whileRunning;
};

PlayerResult RunPlayer(const std::string& workDir, const PlayerOptions& options);
