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
// further up that chain, however its path is spelled, is refused, so a
// self-nesting file ends instead of recursing.
//
// Distinct files can still multiply: five files each playing the next ten
// times would open ten thousand sequences, and every level of nesting adds
// to the stack of loading and of every frame. So the nested sequences open
// at once in the process (one production plays per process) and the depth
// of a chain are bounded (kMaxOpenNested, kMaxNestingDepth); past a bound
// the effect stays empty, and the first refusal of each kind is logged.
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

  // Nested sequences open at once: far above what a production plays
  // (the sample opens two), well below what would take seconds to load.
  static constexpr int kMaxOpenNested = 512;
  // fxSequence levels from the main sequence down to a nested one: a chain
  // of a couple of hundred distinct files still plays.
  static constexpr int kMaxNestingDepth = 256;
  // Nested sequences open now (loaded by an Init and not yet killed).
  static int OpenNestedCount();

  // The "Sync Duration" button: End := Start + the nested frame max (the
  // sum clamped to the frame range).
  static void SyncDuration(fxBase* fx);
  // True when the file is the one a sequence on this effect's owner chain
  // (its own sequence, the one around that, ...) was loaded from, compared
  // by the name the data pack opens.
  bool IsPlayingAbove(const std::string& file) const;
  // fxSequence levels from the outermost sequence down to this effect's
  // nested one: 1 for an effect of the main sequence.
  int NestingDepth() const;

  std::string m_sequenceFile;
  float m_timeSeek;  // seconds; when positive, the nested clock jumps by it at every Start
  rvSequence m_sequence{0};
  AttrButtonFunc m_onSyncDuration;

 private:
  // Takes one place among the open nested sequences, or logs why not.
  bool OpenNested();
  void CloseNested();

  bool m_open;  // holds a place among the open nested sequences
};
