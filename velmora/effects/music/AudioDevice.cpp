// AudioDevice over SDL audio (see AudioDevice.h). Each open device holds one
// reference on SDL's audio subsystem and gives it back when closed.
#include "effects/music/AudioDevice.h"

#include <SDL.h>

#include <cstring>

namespace {

// SDL's audio subsystem is reference counted: every open device holds one.
bool AcquireAudio() { return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0; }
void ReleaseAudio() { SDL_QuitSubSystem(SDL_INIT_AUDIO); }

}  // namespace

AudioDevice::~AudioDevice() { Uninit(); }

int AudioDevice::Init(int sampleRate, int channels, Callback callback, void* user) {
  Uninit();
  if (sampleRate <= 0 || channels <= 0 || !callback || !AcquireAudio()) return -1;
  SDL_AudioSpec want{}, have{};
  want.freq = sampleRate;
  want.format = AUDIO_F32SYS;
  want.channels = static_cast<Uint8>(channels);
  want.samples = 1024;
  want.callback = OnSdlAudio;
  want.userdata = this;
  m_channels = channels;
  m_callback = callback;
  m_user = user;
  // No allowed changes: SDL converts to whatever the hardware takes, so the
  // callback always sees the decoder's own format.
  m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (m_device == 0) {
    ReleaseAudio();
    m_callback = nullptr;
    m_user = nullptr;
    return -1;
  }
  return 0;
}

void AudioDevice::Uninit() {
  if (m_device == 0) return;
  SDL_CloseAudioDevice(m_device);  // joins the device thread
  m_device = 0;
  ReleaseAudio();
  m_callback = nullptr;
  m_user = nullptr;
}

bool AudioDevice::Start() {
  if (m_device == 0) return false;
  SDL_PauseAudioDevice(m_device, 0);
  return true;
}

bool AudioDevice::Stop() {
  if (m_device == 0) return false;
  SDL_PauseAudioDevice(m_device, 1);
  return true;
}

void AudioDevice::OnSdlAudio(void* self, uint8_t* stream, int bytes) {
  auto* device = static_cast<AudioDevice*>(self);
  std::memset(stream, 0, static_cast<size_t>(bytes));
  const size_t frames = static_cast<size_t>(bytes) / (sizeof(float) * device->m_channels);
  device->m_callback(device->m_user, reinterpret_cast<float*>(stream), frames);
}
