// A probe effect for tests: registered only in test processes, it records
// every call the timeline makes on it into a process-wide journal (which
// outlives the probe, so deletion is seen too) and carries one attribute of
// each kind the JSON loader stores, plus a per-object attribute in an
// InstanceClassDesc for "PropertiesDynamic".
#pragma once
#include <glm/glm.hpp>

#include <string>
#include <vector>

#include "sequence/fxBase.h"

class fxProbe : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxProbe(ClassDesc* desc);
  ~fxProbe() override;

  void Init() override;
  void Kill() override;
  void Prepare() override;
  void Unprepare() override;
  void Start() override;
  void Stop() override;
  void Update() override;
  void Seek(float delta, float localTime, float requestedTime) override;
  // "OldValue" is the legacy name of "Probe/Value".
  void RenameAttribute(std::string& name) override;
  void OnAttributeLoaded(AttributeDesc* attribute) override;

  bool m_flag;
  int m_count;
  float m_value;
  std::string m_label;
  std::string m_file;
  int m_mode;  // enumeration
  glm::vec4 m_color;
  float m_gain;  // the per-object attribute "Dyn/Gain"

  // What the calls saw.
  std::vector<std::string> m_loaded;  // attribute names, in load order
  rvSequence* m_ownerWhileLoading = nullptr;
  rvSequence* m_ownerAtInit = nullptr;
  fxBase* m_currentDuringUpdate = nullptr;
  float m_seekArgs[3] = {0, 0, 0};
  int m_updates = 0;
};

// "<name>.<Call>@<state when called>", e.g. "a.Start@3"; destruction is
// "<name>.Delete".
std::vector<std::string>& ProbeJournal();
// The journal's calls for one probe name, without the name and state, joined
// by spaces ("Init Prepare Start").
std::string ProbeCalls(const std::string& name);

// Appends fxProbe to the effect class registry (once per process) and
// returns its class description.
ClassDesc* RegisterProbeClass();

// A new probe named `name` over frames [start, end), appended to `sequence`.
fxProbe* AddProbe(rvSequence& sequence, const std::string& name, int start, int end);
