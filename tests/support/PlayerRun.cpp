#include "support/PlayerRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace {

std::vector<char*> MakeArgv(std::vector<std::string>& store) {
  std::vector<char*> argv;
  for (auto& s : store) argv.push_back(s.data());
  argv.push_back(nullptr);
  return argv;
}

}  // namespace

PlayerResult RunPlayer(const std::string& workDir, const PlayerOptions& options) {
  PlayerResult result;
  int pipeFd[2];
  if (pipe(pipeFd) != 0) return result;

  std::vector<std::string> args = {VELMORA_PLAYER_PATH};
  args.insert(args.end(), options.args.begin(), options.args.end());
  // The given entries replace inherited ones of the same name.
  std::vector<std::string> env = options.env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool overridden = false;
    for (const auto& o : options.env) overridden |= o.compare(0, name.size() + 1, name + "=") == 0;
    if (!overridden) env.push_back(entry);
  }
  std::vector<char*> argv = MakeArgv(args);
  std::vector<char*> envp = MakeArgv(env);

  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFd[1], STDERR_FILENO);
    close(pipeFd[0]);
    close(pipeFd[1]);
    if (chdir(workDir.c_str()) != 0) _exit(127);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(pipeFd[1]);
  if (pid < 0) {
    close(pipeFd[0]);
    return result;
  }

  const auto start = std::chrono::steady_clock::now();
  // The hook runs beside the reading loop: a player that logs more than the
  // pipe holds while the hook takes its screenshots would otherwise block on
  // its next log line, and the time limit would not be watched meanwhile.
  std::thread hook;
  char buffer[4096];
  for (;;) {
    pollfd pfd{pipeFd[0], POLLIN, 0};
    const int ready = poll(&pfd, 1, 100);
    if (ready > 0) {
      const ssize_t n = read(pipeFd[0], buffer, sizeof buffer);
      if (n <= 0) break;  // the player closed stderr: it has ended
      result.log.append(buffer, static_cast<size_t>(n));
    }
    if (options.whileRunning && !hook.joinable() &&
        result.log.find(options.waitForLog) != std::string::npos) {
      hook = std::thread(options.whileRunning);
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (elapsed > options.timeoutSeconds) {
      result.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
  }
  close(pipeFd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (hook.joinable()) hook.join();
  if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}
