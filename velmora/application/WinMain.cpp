// Process entry of the player.
#include "platform/CommandLine.h"

int main(int argc, char** argv) {
  platform::SetCommandLine(argc, argv);
  return 0;
}
