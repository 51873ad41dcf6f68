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
    : fxBase(desc),
      m_sequenceFile("seq/"),
      m_timeSeek(0.0f),
      m_onSyncDuration(&fxSequence::SyncDuration),
      m_open(false) {}

// The nested sequence's own destructor clears what a missing Kill left.
fxSequence::~fxSequence() { CloseNested(); }

namespace {

// Process-wide: one production plays per process.
int s_openNested = 0;
bool s_countRefusalLogged = false;
bool s_depthRefusalLogged = false;

// The sequence around the fxSequence that holds this one; null at the top.
const rvSequence* EnclosingSequence(const rvSequence* sequence) {
  return sequence->m_ownerFx ? sequence->m_ownerFx->m_owner : nullptr;
}

}  // namespace

void fxSequence::Init() {
  m_sequence.m_ownerFx = this;
  if (IsPlayingAbove(m_sequenceFile)) {
    AppLog::Get().AddLog("[fxSequence] %s: \"%s\" would play inside itself, left empty\n", m_name.c_str(),
                         m_sequenceFile.c_str());
    return;
  }
  if (!OpenNested()) return;
  // A missing file leaves the nested sequence empty: its clock still runs.
  if (!m_sequence.LoadSequence(m_sequenceFile, true)) CloseNested();
}

void fxSequence::Kill() {
  m_sequence.Clear();
  CloseNested();
}

void fxSequence::Start() {
  m_sequence.StartPlaying();
  if (m_timeSeek > 0.0f) m_sequence.AdvanceTime(m_timeSeek);
}

void fxSequence::Stop() { m_sequence.StopPlaying(); }

void fxSequence::Update() { m_sequence.Update(m_appliedDelta); }

void fxSequence::SyncDuration(fxBase* fx) {
  auto* self = static_cast<fxSequence*>(fx);
  self->m_end = ClampToFrame(int64_t(self->m_start) + self->m_sequence.GetFrameMax());
}

bool fxSequence::IsPlayingAbove(const std::string& file) const {
  const std::string wanted = PackEntryName(file);
  for (const rvSequence* s = m_owner; s; s = EnclosingSequence(s)) {
    if (PackEntryName(s->m_path) == wanted) return true;
  }
  return false;
}

int fxSequence::NestingDepth() const {
  int depth = 1;
  for (const rvSequence* s = m_owner; s && s->m_ownerFx; s = EnclosingSequence(s)) ++depth;
  return depth;
}

int fxSequence::OpenNestedCount() { return s_openNested; }

namespace {

// One line per kind of refusal: past a bound, a production may refuse
// thousands of nested files.
void LogRefusalOnce(bool& logged, const std::string& line) {
  if (!logged) AppLog::Get().AddLog("%s", line.c_str());
  logged = true;
}

}  // namespace

// The count is taken before loading, which opens the nested file's own
// fxSequence effects depth first: every one of them sees it.
bool fxSequence::OpenNested() {
  const std::string what = "[fxSequence] " + m_name + ": \"" + m_sequenceFile + "\" ";
  if (NestingDepth() > kMaxNestingDepth) {
    LogRefusalOnce(s_depthRefusalLogged,
                   what + "nested deeper than " + std::to_string(kMaxNestingDepth) + " levels, left empty\n");
    return false;
  }
  if (s_openNested >= kMaxOpenNested) {
    LogRefusalOnce(s_countRefusalLogged, what + "would open more than " + std::to_string(kMaxOpenNested) +
                                             " nested sequences, left empty\n");
    return false;
  }
  ++s_openNested;
  m_open = true;
  return true;
}

// When the last nested sequence closes, the production is gone: a new one
// gets its own refusal lines.
void fxSequence::CloseNested() {
  if (!m_open) return;
  m_open = false;
  if (--s_openNested == 0) s_countRefusalLogged = s_depthRefusalLogged = false;
}
