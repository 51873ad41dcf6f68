#include "platform/CommandLine.h"

namespace platform {
namespace {
std::string& Line() {
  static std::string s_line;
  return s_line;
}
}  // namespace

void SetCommandLine(int argc, const char* const* argv) {
  std::string joined;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) joined += ' ';
    joined += argv[i] ? argv[i] : "";
  }
  Line() = joined;
}

void SetCommandLine(const std::string& line) { Line() = line; }

const std::string& GetCommandLine() { return Line(); }

}  // namespace platform
