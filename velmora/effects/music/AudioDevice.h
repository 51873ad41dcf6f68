// One playback device on the default output (SDL audio), pulling interleaved
// float frames from a callback on SDL's device thread. Opened stopped;
// Start and Stop pause and resume it. With no audio device (a server, CI)
// Init fails and the caller stays silent.
// Depends on SDL2 only; owns the SDL device and its thread, which Uninit
// (and the destructor) close and join.
#pragma once
#include <cstddef>
#include <cstdint>

class AudioDevice {
 public:
  // Called on the device thread: fill `frames` frames into `out`; frames
  // left untouched are silence.
  using Callback = void (*)(void* user, float* out, size_t frames);

  AudioDevice() = default;
  ~AudioDevice();
  AudioDevice(const AudioDevice&) = delete;
  AudioDevice& operator=(const AudioDevice&) = delete;

  // 0 on success, -1 when no device could be opened.
  int Init(int sampleRate, int channels, Callback callback, void* user);
  void Uninit();
  bool Start();
  bool Stop();

 private:
  static void OnSdlAudio(void* self, uint8_t* stream, int bytes);

  uint32_t m_device = 0;
  int m_channels = 0;
  Callback m_callback = nullptr;
  void* m_user = nullptr;
};
