// fxSequence: a whole sequence file played as one effect of the sequence
// that holds it. The nested sequence keeps its own items, frame range and
// clock; while this effect runs, that clock advances by this effect's
// applied time step (the parent's step times TimeScale, or the jump of a
// seek), so a nested part has its own window and time scale. Its fades do
// not reach the nested effects.
//
// The nested sequence's owner effect is this effect from the first Init on:
// texture slots, cameras and shader time modes climb from a nested item
// through here to the enclosing sequence. A file that is already playing
// further up that chain is refused, so a self-nesting file ends instead of
// recursing.
//
// Depends on rvSequence and the data pack. Owns the nested sequence and,
// through it, the nested effects.
#pragma once
#include <string>

#include "sequence/fxBase.h"
#include "sequence/rvSequence.h"

class fxSequence : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxSequence(ClassDesc* desc);
  ~fxSequence() override;

  void Init() override;
  void Kill() override;
  void Start() override;
  void Stop() override;
  void Update() override;

  // The "Sync Duration" button: End := Start + the nested frame max.
  static void SyncDuration(fxBase* fx);
  // True when the file is the one a sequence on this effect's owner chain
  // (its own sequence, the one around that, ...) was loaded from.
  bool IsPlayingAbove(const std::string& file) const;

  std::string m_sequenceFile;
  float m_timeSeek;  // seconds; when positive, the nested clock jumps by it at every Start
  rvSequence m_sequence{0};
  AttrButtonFunc m_onSyncDuration;
};
