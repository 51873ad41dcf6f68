// fxReference: finding the host and the source in A, the copy through JSON
// and the forwarding to the clone. See fxReference.h.
#include "effects/sequencing/fxReference.h"

#include "Loader/AssetPath.h"
#include "effects/sequencing/fxSequence.h"
#include "sequence/rvSequence.h"

ClassDesc* fxReference::GetClassDesc() {
  static ClassDesc desc("fxReference", fxBase::GetClassDesc(), &fxReference::Create);
  return &desc;
}

fxBase* fxReference::Create(ClassDesc* desc) { return CreateZeroFilled<fxReference>(desc); }

ClassDesc* fxReference::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrFile, "Sequence File", RV_OFFSETOF(fxReference, m_sequenceFile))
      ->SetFileFilter(".seq")
      ->SetDefaultDir("Data");
  desc->AddAttribute(AttrString, "Fx Name", RV_OFFSETOF(fxReference, m_fxName));
  return desc;
}

// The application's sequence file is known before any sequence loads.
fxReference::fxReference(ClassDesc* desc) : fxBase(desc), m_sequenceFile(g_sequencePath), m_clone(nullptr) {}

fxReference::~fxReference() { ReleaseClone(); }

// ---------------------------------------------------------------------------
// Building the clone

namespace {

// The first fxSequence of A that plays the file `part` (compared without the
// data directory).
const fxBase* FindHost(const rvSequence& a, const std::string& part) {
  for (const fxBase* fx : a.m_items) {
    if (fx->m_classDesc->m_name != "fxSequence") continue;
    if (StripDataDir(static_cast<const fxSequence*>(fx)->m_sequenceFile) == part) return fx;
  }
  return nullptr;
}

// The first effect of that name whose window overlaps the host's; touching
// windows do not overlap.
const fxBase* FindSource(const rvSequence& a, const std::string& name, const fxBase* host) {
  for (const fxBase* fx : a.m_items) {
    if (fx->m_name == name && fx->m_end > host->m_start && fx->m_start < host->m_end) return fx;
  }
  return nullptr;
}

}  // namespace

fxBase* fxReference::CopyEffect(const fxBase* source) {
  // Made from the class's shared description, the clone registers its own
  // per-object attributes (in its constructor, or as its shader's
  // annotations while "Shaders/Vertex" loads), and the values and drivers
  // below land on those by name. Made from the source's per-object
  // description, it would borrow descriptors that die with the source.
  ClassDesc* desc = SharedClassDesc(source->m_classDesc);
  fxBase* clone = desc && desc->m_create ? desc->m_create(desc) : nullptr;
  if (!clone) return nullptr;
  // Shared descriptions fill "Properties", per-object ones
  // "PropertiesDynamic", exactly as a sequence item holds them.
  Json::Value shared(Json::objectValue), instance(Json::objectValue);
  for (const ClassDesc* level = source->m_classDesc; level; level = level->m_parent) {
    Json::Value& target = level->IsShared() ? shared : instance;
    for (const AttributeDesc* attribute : level->m_attributes) source->SaveAttribute(target, attribute);
  }
  source->SaveDrivers(shared);
  clone->LoadAttributes(shared);
  clone->LoadAttributes(instance);
  clone->LoadDrivers(shared);
  return clone;
}

fxBase* fxReference::BuildClone() const {
  if (m_sequenceFile.empty() || m_fxName.empty() || !m_owner || m_owner->m_ownerFx) return nullptr;
  // A is only read: its effects are created and loaded, never initialised,
  // and all deleted with the temporary sequence.
  rvSequence a(0);
  if (!a.LoadSequence(m_sequenceFile, false)) return nullptr;
  const fxBase* host = FindHost(a, StripDataDir(m_owner->m_path));
  const fxBase* source = host ? FindSource(a, m_fxName, host) : nullptr;
  fxBase* clone = source ? CopyEffect(source) : nullptr;
  if (clone) {
    // Hostile windows would overflow an int: the shift and the moved bounds
    // are computed wide and clamped to the frame range.
    const int64_t shift = int64_t(source->m_start) - host->m_start;
    clone->m_start = ClampToFrame(clone->m_start + shift);
    clone->m_end = ClampToFrame(clone->m_end + shift);
    clone->SetState(StateInitialized);
  }
  a.Clear();
  return clone;
}

void fxReference::ReleaseClone() {
  if (!m_clone) return;
  m_clone->SetState(StateNone);
  delete m_clone;
  m_clone = nullptr;
}

// ---------------------------------------------------------------------------
// Forwarding

void fxReference::Init() { m_clone = BuildClone(); }

void fxReference::Kill() { ReleaseClone(); }

void fxReference::Prepare() {
  if (!m_clone) return;
  m_clone->Prepare();
  m_clone->m_state = StatePrepared;
}

void fxReference::Unprepare() {
  if (!m_clone) return;
  m_clone->Unprepare();
  m_clone->m_state = StateInitialized;
}

void fxReference::Start() {
  if (m_clone) m_clone->StartRunning();
}

void fxReference::Stop() {
  if (!m_clone) return;
  m_clone->Stop();
  m_clone->m_state = StatePrepared;
}

// The clone's clock starts from this effect's previous local time and takes
// this frame's unscaled step times its own TimeScale.
void fxReference::Update() {
  if (!m_clone) return;
  m_clone->m_state = m_state;
  m_clone->m_sequenceDelta = m_sequenceDelta;
  m_clone->m_localTime = m_prevLocalTime;
  m_clone->ExternalUpdate();
}

void fxReference::Seek(float delta, float localTime, float requestedTime) {
  if (m_clone) m_clone->Seek(delta, localTime, requestedTime);
}

void fxReference::RenameAttribute(std::string& name) {
  if (m_clone) m_clone->RenameAttribute(name);
}

void fxReference::OnAttributeLoaded(AttributeDesc* attribute) {
  if (m_clone) m_clone->OnAttributeLoaded(attribute);
}

void fxReference::OnAttributeEdited(AttributeDesc* attribute) {
  if (m_clone) m_clone->OnAttributeEdited(attribute);
}
