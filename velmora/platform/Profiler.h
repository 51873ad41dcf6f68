// Profiler blocks: named scopes and thread names. Capture is never switched
// on in the player, so a block only keeps its name on the stack and tests
// one pointer; nothing is timed or recorded. A tool that wants the blocks
// (the production frame benchmark) installs a capture on the main thread
// and receives every block's start and end there.
#pragma once

namespace platform {

// Receives the blocks of the thread that installed it.
class ProfileCapture {
 public:
  virtual ~ProfileCapture() = default;
  virtual void BeginBlock(const char* name) = 0;
  virtual void EndBlock() = 0;
};

// Installs a capture for the calling thread (null: none).
void SetProfileCapture(ProfileCapture* capture);
ProfileCapture* CurrentProfileCapture();

class ProfileBlock {
 public:
  explicit ProfileBlock(const char* name) : m_name(name), m_capture(CurrentProfileCapture()) {
    if (m_capture) m_capture->BeginBlock(name);
  }
  ~ProfileBlock() {
    if (m_capture) m_capture->EndBlock();
  }
  ProfileBlock(const ProfileBlock&) = delete;
  ProfileBlock& operator=(const ProfileBlock&) = delete;
  const char* Name() const { return m_name; }

 private:
  const char* m_name;
  ProfileCapture* m_capture;
};

void SetThreadName(const char* name);
const char* ThreadName();

}  // namespace platform

#define VELMORA_PROFILE_CAT2(a, b) a##b
#define VELMORA_PROFILE_CAT(a, b) VELMORA_PROFILE_CAT2(a, b)
#define PROFILE_BLOCK(name) \
  ::platform::ProfileBlock VELMORA_PROFILE_CAT(profileBlock_, __LINE__)(name)
#define PROFILE_THREAD(name) ::platform::SetThreadName(name)
