#include "support/PrivateScreen.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

PrivateScreen::PrivateScreen(int width, int height) : m_width(width), m_height(height) {
  int fds[2];
  if (pipe(fds) != 0) return;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const std::string fd = std::to_string(fds[1]);
  m_pid = fork();
  if (m_pid == 0) {
    close(fds[0]);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDERR_FILENO);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (m_pid < 0) {
    close(fds[0]);
    return;
  }
  // Xvfb writes its display number once it accepts clients.
  std::string number;
  char c;
  while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (!number.empty()) m_display = ":" + number;
}

PrivateScreen::~PrivateScreen() {
  if (m_pid <= 0) return;
  kill(m_pid, SIGTERM);
  waitpid(m_pid, nullptr, 0);
}

bool PrivateScreen::SendEscape() const {
  const std::string command = "DISPLAY=" + m_display + " xdotool key Escape";
  return std::system(command.c_str()) == 0;
}

Shot Grab(const PrivateScreen& screen) {
  Shot shot;
  const std::string command = "import -display " + screen.Display() + " -window root -depth 8 rgb:- 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return shot;
  const size_t size = size_t(screen.Width()) * size_t(screen.Height()) * 3;
  shot.rgb.resize(size);
  const size_t got = fread(shot.rgb.data(), 1, size, pipe);
  pclose(pipe);
  if (got != size) {
    shot.rgb.clear();
    return shot;
  }
  shot.width = screen.Width();
  shot.height = screen.Height();
  return shot;
}
