// Command line: the program path and the arguments joined by spaces, as one
// string. Switches are found by substring tests on it, so the joining keeps
// every word as typed. Set once by the entry point; tests may set their own.
#pragma once
#include <string>

namespace platform {

void SetCommandLine(int argc, const char* const* argv);
void SetCommandLine(const std::string& line);
const std::string& GetCommandLine();

}  // namespace platform
