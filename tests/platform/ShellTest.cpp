// Opening a link: the opener is started and the caller goes on while the
// browser it runs stays open.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sstream>
#include <string>

#include "platform/Shell.h"

namespace {

// A directory holding a stand-in xdg-open that records its argument and then
// stays open, like a browser in the foreground, until "release" is written.
class FakeOpener {
 public:
  FakeOpener() {
    char pattern[] = "/tmp/velmora-shell-XXXXXX";
    m_dir = mkdtemp(pattern) ? pattern : "";
    mkfifo((m_dir + "/release").c_str(), 0600);
    std::ofstream script(m_dir + "/xdg-open");
    script << "#!/bin/sh\nprintf '%s' \"$1\" > '" << m_dir << "/url.tmp'\nmv '" << m_dir << "/url.tmp' '" << m_dir
           << "/url'\nread line < '" << m_dir << "/release'\n";
    script.close();
    chmod((m_dir + "/xdg-open").c_str(), 0700);
    const char* path = std::getenv("PATH");
    setenv("PATH", (m_dir + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
  }
  ~FakeOpener() { std::system(("rm -rf '" + m_dir + "'").c_str()); }

  // Lets the stand-in end: opening the FIFO waits for it to be reading.
  void Release() const { std::ofstream(m_dir + "/release") << "go\n"; }
  std::string Url() const {
    std::ifstream in(m_dir + "/url");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::string m_dir;
};

}  // namespace

TEST(OpenUrl, ReturnsWhileTheBrowserStaysOpen) {
  FakeOpener opener;
  const char* const url = "https://example.invalid/expression help?a=1&b=2";
  std::future<bool> opened = std::async(std::launch::async, [&] { return platform::OpenUrl(url); });
  // A generous guard against a hang, not a measure of speed: the opener
  // never ends on its own, so a call that waits for it never returns.
  const bool returned = opened.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
  EXPECT_TRUE(returned) << "OpenUrl waited for the browser";
  opener.Release();
  EXPECT_TRUE(opened.get());
  EXPECT_EQ(opener.Url(), url) << "the link reaches the opener as one argument";
}

TEST(OpenUrl, EmptyLinkOrMissingOpenerFails) {
  EXPECT_FALSE(platform::OpenUrl(nullptr));
  EXPECT_FALSE(platform::OpenUrl(""));
  setenv("PATH", "/nonexistent", 1);
  EXPECT_FALSE(platform::OpenUrl("https://example.invalid/"));
}
