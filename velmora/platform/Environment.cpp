#include "platform/Environment.h"

#include <cstdlib>
#include <cstring>

namespace platform {

bool FixedStepRequested() {
  const char* value = std::getenv("VELMORA_FIXED_STEP");
  return value && *value && std::strcmp(value, "0") != 0;
}

}  // namespace platform
