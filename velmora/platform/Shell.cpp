#include "platform/Shell.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace platform {

namespace {
const char kScript[] = "command -v xdg-open >/dev/null || exit 1; xdg-open \"$1\" >/dev/null 2>&1 &";
}  // namespace

bool OpenUrl(const char* url) {
  if (!url || !*url) return false;
  // xdg-open may run the browser in the foreground for as long as it stays
  // open (the generic fallback does), so it is started from a shell that
  // puts it in the background and returns at once. Reaping that shell keeps
  // no zombie; xdg-open itself is adopted by init.
  char* const argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                        const_cast<char*>(kScript), const_cast<char*>("sh"),
                        const_cast<char*>(url), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform
