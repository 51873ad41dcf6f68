// rvSequence: the timeline. It owns an ordered list of effects (its items),
// keeps a clock in seconds, a frame range and a loop range in frames (60 per
// second) and a play state. Once per frame Update advances the clock, starts
// the items whose frame window holds it, stops those it has left and hands
// each running item its time step. LoadSequence fills a sequence from a .seq
// file of the data pack through the effect class registry.
// Depends on fxBase (effects), the registry and the data pack. Owns its items:
// whoever owns the sequence clears it (Clear) before destroying it.
#pragma once
#include <json/json.h>

#include <string>
#include <vector>

class fxBase;

class rvSequence {
 public:
  // kind: 1 for the application's main sequence, 0 for nested or temporary ones.
  explicit rvSequence(int kind);
  ~rvSequence();
  rvSequence(const rvSequence&) = delete;
  rvSequence& operator=(const rvSequence&) = delete;

  // Loading. LoadSequence answers true when a non-empty file was read; a
  // missing or empty file leaves the sequence as it was.
  bool LoadSequence(const std::string& path, bool init);
  void LoadItems(const Json::Value& root, bool init);

  // Items.
  int AppendItem(fxBase* fx);
  void Clear();  // every item to state 0 and deleted
  fxBase* FindItem(const std::string& name) const;

  // Clock.
  void Update(float dt);
  void AdvanceTime(float delta);
  void SetCursorFrame(float frame) { m_cursorFrame = frame; }

  int GetFrameMax() const { return m_frameMax; }
  bool IsLooping() const { return m_loop; }
  int GetLoopStart() const { return m_loopStart; }

  bool m_focus = false;  // an editor's curve view may react to its shortcut key
  int m_frameMin = 0;
  int m_frameMax = 0;  // the largest End of all items, never below 0
  int m_loopStart = 0;
  int m_loopEnd = 0;  // set to the frame max by the first append that finds it 0
  float m_time = 0.0f;
  bool m_playing = false;
  bool m_loop = false;
  // Set by an editor that moves the clock: running items then receive a seek
  // instead of a time step for one Update, which clears it again.
  bool m_scrub = false;
  int m_kind;
  std::vector<int> m_selection;
  std::string m_path = "seq";
  std::vector<fxBase*> m_items;
  fxBase* m_ownerFx = nullptr;  // the effect embedding this sequence; null for the main one
  float m_cursorFrame = 0.0f;

 private:
  // Starts every item whose window holds the clock and gives it a seek to
  // its snapped local time: the restart of a loop.
  void RestartAtLoopStart();
};
