// fxMusic: the production's soundtrack. One compressed file from the data
// pack, decoded in memory (MusicDecoder) and played on the default output
// (AudioDevice), slaved to the effect's local clock: seeks of the timeline
// seek the music, a paused timeline stops the device, and the window with
// "StartTime" places the music on the timeline.
//
// Threads: the device thread reads the decoder in OnAudioData while the main
// thread seeks it; m_decoderLock serialises the two. Device start, stop,
// init and uninit happen on the main thread only.
//
// fxMusicReference names a sequence file and never plays anything.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "effects/music/AudioDevice.h"
#include "effects/music/MusicDecoder.h"
#include "sequence/fxBase.h"
#include "platform/Threading.h"

class fxMusic : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxMusic(ClassDesc* desc);
  ~fxMusic() override;

  void Init() override;
  void Kill() override;
  void Start() override;
  void Stop() override;
  void Update() override;
  void Seek(float delta, float localTime, float requestedTime) override;

  bool IsLoaded() const { return m_loadResult == 0; }
  bool IsPlaying() const { return m_playing; }
  // Frame of the file heard at local time t: (StartTime + t) x rate, never
  // below the first frame.
  uint64_t FrameAt(float t) const;
  // Device thread: fills `frames` frames from the decoder.
  static void OnAudioData(void* self, float* out, size_t frames);

  float m_volume;
  std::vector<uint8_t> m_fileBytes;
  std::string m_mp3File;
  float m_startTime;
  float m_tempoBpm;
  float m_tempoShift;
  int m_tempoMesures;
  bool m_tempoMarkers;
  bool m_playing;
  bool m_sought;
  // Set by Start: the first Update seeks to where the timeline stands, which
  // is not the start of the file when the window is entered in its middle.
  bool m_syncOnUpdate;
  int m_loadResult;  // 0 loaded, -1 not loaded, else the failing step's error

 private:
  void SeekDecoder(float localTime);
  void StopDevice();

  MusicDecoder m_decoder;
  AudioDevice m_device;
  platform::CriticalSection m_decoderLock;
};

class fxMusicReference : public fxMusic {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxMusicReference(ClassDesc* desc);
  ~fxMusicReference() override;

  void Init() override {}
  void Start() override {}
  void Update() override {}

  std::string m_sequenceFile;
};
