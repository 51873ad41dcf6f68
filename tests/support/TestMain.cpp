// The entry point of every test executable: the engine's layers are
// connected first, as the player's start-up does, so that the registry, the
// texture slots and the frame presentation see the engine's effects.
#include <gtest/gtest.h>

#include "application/Application.h"

int main(int argc, char** argv) {
  ConnectEngineLayers();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
