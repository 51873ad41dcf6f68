#include "support/ProbeEffect.h"

#include "sequence/rvSequence.h"

#include "sequence/ClassRegistry.h"

std::vector<std::string>& ProbeJournal() {
  static std::vector<std::string> journal;
  return journal;
}

std::string ProbeCalls(const std::string& name) {
  std::string calls;
  const std::string prefix = name + ".";
  for (const std::string& entry : ProbeJournal()) {
    if (entry.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string call = entry.substr(prefix.size(), entry.find('@') - prefix.size());
    calls += (calls.empty() ? "" : " ") + call;
  }
  return calls;
}

static const char* const kProbeModes[] = {"Off", "On", "Auto"};

ClassDesc* fxProbe::GetClassDesc() {
  static ClassDesc desc("fxProbe", fxBase::GetClassDesc(), &fxProbe::Create);
  return &desc;
}

fxBase* fxProbe::Create(ClassDesc* desc) { return CreateZeroFilled<fxProbe>(desc); }

ClassDesc* fxProbe::RegisterAttributes() {
  ClassDesc* desc = GetClassDesc();
  desc->AddAttribute(AttrBool, "Probe/Flag", RV_OFFSETOF(fxProbe, m_flag));
  desc->AddAttribute(AttrInt, "Probe/Count", RV_OFFSETOF(fxProbe, m_count));
  desc->AddAttribute(AttrFloat, "Probe/Value", RV_OFFSETOF(fxProbe, m_value));
  desc->AddAttribute(AttrString, "Probe/Label", RV_OFFSETOF(fxProbe, m_label));
  desc->AddAttribute(AttrFile, "Probe/File", RV_OFFSETOF(fxProbe, m_file));
  desc->AddAttribute(AttrEnum, "Probe/Mode", RV_OFFSETOF(fxProbe, m_mode))->SetEnumNames(kProbeModes, 3);
  desc->AddAttribute(AttrRGBA, "Probe/Color", RV_OFFSETOF(fxProbe, m_color));
  return desc;
}

fxProbe* AddProbe(rvSequence& sequence, const std::string& name, int start, int end) {
  RegisterProbeClass();
  auto* probe = static_cast<fxProbe*>(fxProbe::Create(fxProbe::GetClassDesc()));
  probe->m_name = name;
  probe->m_start = start;
  probe->m_end = end;
  sequence.AppendItem(probe);
  return probe;
}

ClassDesc* RegisterProbeClass() {
  static ClassDesc* const desc = [] {
    ClassDesc* d = fxProbe::RegisterAttributes();
    RegisterClassDesc(GetClassRegistry(), d);
    return d;
  }();
  return desc;
}

fxProbe::fxProbe(ClassDesc* desc) : fxBase(desc), m_color(1.0f) {
  m_classDesc = new InstanceClassDesc(desc);
  m_classDesc->AddAttribute(AttrFloat, "Dyn/Gain", RV_OFFSETOF(fxProbe, m_gain));
}

fxProbe::~fxProbe() { ProbeJournal().push_back(m_name + ".Delete"); }

static void Record(const fxBase* fx, const char* call) {
  ProbeJournal().push_back(fx->m_name + "." + call + "@" + std::to_string(fx->m_state));
}

void fxProbe::Init() {
  Record(this, "Init");
  m_ownerAtInit = m_owner;
}
void fxProbe::Kill() { Record(this, "Kill"); }
void fxProbe::Prepare() { Record(this, "Prepare"); }
void fxProbe::Unprepare() { Record(this, "Unprepare"); }
void fxProbe::Start() { Record(this, "Start"); }
void fxProbe::Stop() { Record(this, "Stop"); }

void fxProbe::Update() {
  Record(this, "Update");
  m_currentDuringUpdate = g_pCurrentFx;
  ++m_updates;
}

void fxProbe::Seek(float delta, float localTime, float requestedTime) {
  Record(this, "Seek");
  m_seekArgs[0] = delta;
  m_seekArgs[1] = localTime;
  m_seekArgs[2] = requestedTime;
}

void fxProbe::RenameAttribute(std::string& name) {
  if (name == "OldValue") name = "Probe/Value";
}

void fxProbe::OnAttributeLoaded(AttributeDesc* attribute) {
  m_loaded.push_back(attribute->m_name);
  m_ownerWhileLoading = m_owner;
}
