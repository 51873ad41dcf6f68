// fxSequence: the nested sequence's life cycle and clock. See fxSequence.h.
#include "effects/sequencing/fxSequence.h"

#include "Loader/AssetPath.h"
#include "core/AppLog.h"

ClassDesc* fxSequence::GetClassDesc() {
  static ClassDesc desc("fxSequence", fxBase::GetClassDesc(), &fxSequence::Create);
  return &desc;
}

fxBase* fxSequence::Create(ClassDesc* desc) { return CreateZeroFilled<fxSequence>(desc); }

ClassDesc* fxSequence::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrFile, "Sequence File", RV_OFFSETOF(fxSequence, m_sequenceFile))
      ->SetFileFilter(".seq")
      ->SetDefaultDir("Data");
  desc->AddAttribute(AttrButton, "Sync Duration", RV_OFFSETOF(fxSequence, m_onSyncDuration));
  desc->AddAttribute(AttrFloat, "Time Seek", RV_OFFSETOF(fxSequence, m_timeSeek));
  return desc;
}

fxSequence::fxSequence(ClassDesc* desc)
    : fxBase(desc), m_sequenceFile("seq/"), m_timeSeek(0.0f), m_onSyncDuration(&fxSequence::SyncDuration) {}

// The nested sequence's own destructor clears what a missing Kill left.
fxSequence::~fxSequence() = default;

void fxSequence::Init() {
  m_sequence.m_ownerFx = this;
  if (IsPlayingAbove(m_sequenceFile)) {
    AppLog::Get().AddLog("[fxSequence] %s: \"%s\" would play inside itself, left empty\n", m_name.c_str(),
                         m_sequenceFile.c_str());
    return;
  }
  // A missing file leaves the nested sequence empty: its clock still runs.
  m_sequence.LoadSequence(m_sequenceFile, true);
}

void fxSequence::Kill() { m_sequence.Clear(); }

void fxSequence::Start() {
  m_sequence.StartPlaying();
  if (m_timeSeek > 0.0f) m_sequence.AdvanceTime(m_timeSeek);
}

void fxSequence::Stop() { m_sequence.StopPlaying(); }

void fxSequence::Update() { m_sequence.Update(m_appliedDelta); }

void fxSequence::SyncDuration(fxBase* fx) {
  auto* self = static_cast<fxSequence*>(fx);
  self->m_end = self->m_start + self->m_sequence.GetFrameMax();
}

bool fxSequence::IsPlayingAbove(const std::string& file) const {
  const std::string wanted = StripDataDir(file);
  for (const rvSequence* s = m_owner; s; s = s->m_ownerFx ? s->m_ownerFx->m_owner : nullptr) {
    if (StripDataDir(s->m_path) == wanted) return true;
  }
  return false;
}
