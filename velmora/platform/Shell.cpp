#include "platform/Shell.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace platform {

bool OpenUrl(const char* url) {
  if (!url || !*url) return false;
  pid_t pid = 0;
  char* const argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(url), nullptr};
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
  // xdg-open hands the link to the browser and returns quickly; reaping it
  // here keeps no zombie behind.
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform
