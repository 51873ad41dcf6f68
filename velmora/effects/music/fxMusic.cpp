// fxMusic and fxMusicReference. See fxMusic.h.
#include "effects/music/fxMusic.h"

#include <cmath>

#include "Loader/DataPack.h"
#include "sequence/rvSequence.h"

//-----------------------------------------------------------------------------
// Class description and attributes
//-----------------------------------------------------------------------------

ClassDesc* fxMusic::GetClassDesc() {
  static ClassDesc desc("fxMusic", fxBase::GetClassDesc(), &fxMusic::Create);
  return &desc;
}

fxBase* fxMusic::Create(ClassDesc* desc) { return CreateZeroFilled<fxMusic>(desc); }

ClassDesc* fxMusic::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrFile, "MP3 File", RV_OFFSETOF(fxMusic, m_mp3File))
      ->SetFileFilter(".mp3")
      ->SetDefaultDir("Data");
  desc->AddAttribute(AttrFloat, "StartTime", RV_OFFSETOF(fxMusic, m_startTime));
  desc->AddAttribute(AttrFloat, "Volume", RV_OFFSETOF(fxMusic, m_volume))->SetRange(0.0f, 1.0f);
  desc->AddAttribute(AttrFloat, "TempoBpm", RV_OFFSETOF(fxMusic, m_tempoBpm))->SetRange(0.0f, 150.0f);
  desc->AddAttribute(AttrFloat, "TempoShift", RV_OFFSETOF(fxMusic, m_tempoShift))->SetRange(-10.0f, 10.0f);
  desc->AddAttribute(AttrInt, "TempoMesures", RV_OFFSETOF(fxMusic, m_tempoMesures))->SetRangeInt(1, 32);
  desc->AddAttribute(AttrBool, "TempoMarkers", RV_OFFSETOF(fxMusic, m_tempoMarkers));
  return desc;
}

fxMusic::fxMusic(ClassDesc* desc)
    : fxBase(desc),
      m_volume(1.0f),
      m_mp3File("Audio/Merrowin-Tidefall-FINAL.mp3"),
      m_startTime(0.0f),
      m_tempoBpm(0.0f),
      m_tempoShift(0.0f),
      m_tempoMesures(16),
      m_tempoMarkers(false),
      m_playing(false),
      m_sought(false),
      m_syncOnUpdate(false),
      m_loadResult(-1) {}

// Owners move every effect to state 0 (Kill) before deleting it; unloading
// here too keeps a forgotten one from leaving a device thread running.
fxMusic::~fxMusic() { Kill(); }

//-----------------------------------------------------------------------------
// Loading and unloading
//-----------------------------------------------------------------------------

void fxMusic::Init() {
  if (IsLoaded()) {
    Stop();
    Kill();
  }
  if (!DataPack::Get().LoadFileToVector(m_mp3File, m_fileBytes) || m_fileBytes.empty()) return;
  m_loadResult = m_decoder.Open(m_fileBytes.data(), m_fileBytes.size());
  if (m_loadResult != 0) return;
  m_loadResult = m_device.Init(m_decoder.SampleRate(), m_decoder.Channels(), &fxMusic::OnAudioData, this);
  if (m_loadResult != 0) m_decoder.Close();
}

void fxMusic::Kill() {
  if (!IsLoaded()) return;
  m_loadResult = -1;
  m_device.Uninit();  // joins the device thread before the decoder goes
  m_decoder.Close();
  m_playing = false;
}

//-----------------------------------------------------------------------------
// Timeline
//-----------------------------------------------------------------------------

uint64_t fxMusic::FrameAt(float t) const {
  // A negative position (a negative StartTime) is the first frame, not a
  // huge unsigned one; one beyond the 64-bit range (a broken StartTime) is
  // the last, since the conversion would be undefined.
  const float frame = (m_startTime + t) * static_cast<float>(m_decoder.SampleRate());
  if (!(frame > 0.0f)) return 0;
  if (frame >= 18446744073709551616.0f) return UINT64_MAX;
  return static_cast<uint64_t>(frame);
}

void fxMusic::SeekDecoder(float localTime) {
  platform::ScopedLock hold(m_decoderLock);
  m_decoder.SeekToFrame(FrameAt(localTime));
}

void fxMusic::StopDevice() {
  if (m_playing && m_device.Stop()) m_playing = false;
}

void fxMusic::Start() {
  if (!IsLoaded()) return;
  SeekDecoder(m_localTime);
  m_syncOnUpdate = true;
}

void fxMusic::Stop() {
  if (IsLoaded()) StopDevice();
}

void fxMusic::Seek(float /*delta*/, float localTime, float /*requestedTime*/) {
  if (!IsLoaded()) return;
  SeekDecoder(localTime);
  m_sought = true;
}

void fxMusic::Update() {
  if (!IsLoaded()) return;
  const bool timelinePaused = m_appliedDelta == 0.0f || (m_owner && !m_owner->m_playing);
  if (m_localTime == 0.0f || m_syncOnUpdate) {
    SeekDecoder(m_localTime);
    m_syncOnUpdate = false;
  }
  if (m_localTime != 0.0f && (timelinePaused || m_volume <= 0.0f)) {
    StopDevice();
  } else if (m_localTime != 0.0f && !m_sought && !m_playing) {
    if (m_device.Start()) m_playing = true;
  }
  m_sought = false;
}

void fxMusic::OnAudioData(void* self, float* out, size_t frames) {
  auto* music = static_cast<fxMusic*>(self);
  platform::ScopedLock hold(music->m_decoderLock);
  music->m_decoder.ReadFrames(out, frames);
}

//-----------------------------------------------------------------------------
// fxMusicReference
//-----------------------------------------------------------------------------

ClassDesc* fxMusicReference::GetClassDesc() {
  static ClassDesc desc("fxMusicReference", fxMusic::GetClassDesc(), &fxMusicReference::Create);
  return &desc;
}

fxBase* fxMusicReference::Create(ClassDesc* desc) {
  fxMusicReference* fx = CreateZeroFilled<fxMusicReference>(desc);
  fx->m_sequenceFile = g_sequencePath;
  return fx;
}

ClassDesc* fxMusicReference::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  if (desc->m_attributes.empty()) {
    desc->AddAttribute(AttrFile, "Sequence File", RV_OFFSETOF(fxMusicReference, m_sequenceFile))
        ->SetFileFilter(".seq")
        ->SetDefaultDir("Data");
  }
  return desc;
}

fxMusicReference::fxMusicReference(ClassDesc* desc) : fxMusic(desc) {}

fxMusicReference::~fxMusicReference() { Kill(); }
