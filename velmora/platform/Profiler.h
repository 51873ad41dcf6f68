// Profiler blocks: named scopes and thread names. Capture is never switched
// on in the player, so a block only keeps its name on the stack; nothing is
// timed or recorded.
#pragma once

namespace platform {

class ProfileBlock {
 public:
  explicit ProfileBlock(const char* name) : m_name(name) {}
  const char* Name() const { return m_name; }

 private:
  const char* m_name;
};

void SetThreadName(const char* name);
const char* ThreadName();

}  // namespace platform

#define VELMORA_PROFILE_CAT2(a, b) a##b
#define VELMORA_PROFILE_CAT(a, b) VELMORA_PROFILE_CAT2(a, b)
#define PROFILE_BLOCK(name) \
  ::platform::ProfileBlock VELMORA_PROFILE_CAT(profileBlock_, __LINE__)(name)
#define PROFILE_THREAD(name) ::platform::SetThreadName(name)
