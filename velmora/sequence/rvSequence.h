// rvSequence: the timeline. It owns an ordered list of effects (its items),
// keeps a clock in seconds, a frame range and a loop range in frames (60 per
// second) and a play state. Once per frame Update advances the clock, starts
// the items whose frame window holds it, stops those it has left and hands
// each running item its time step. LoadSequence fills a sequence from a .seq
// file of the data pack through the effect class registry.
// It also answers a timeline editor through ImSequencer::SequenceInterface
// (the editing slots, in rvSequenceEditor.cpp) and embeds the curve view's
// delegate for the item expanded in that editor.
// Depends on the effect base, the registry and the data pack. Owns its items:
// whoever owns the sequence clears it (Clear) before destroying it.
#pragma once
#include <json/json.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sequence/ImSequencer.h"
#include "sequence/rvCurveEdit.h"

class fxBase;

// The path of the production's main sequence file, set by the shell at
// start-up; references and music references default to it.
extern std::string g_sequencePath;

class rvSequence : public ImSequencer::SequenceInterface {
 public:
  // kind: 1 for the application's main sequence, 0 for nested or temporary ones.
  explicit rvSequence(int kind);
  ~rvSequence() override;
  rvSequence(const rvSequence&) = delete;
  rvSequence& operator=(const rvSequence&) = delete;

  // Loading. LoadSequence answers true when a non-empty file was read; a
  // missing or empty file leaves the sequence as it was.
  bool LoadSequence(const std::string& path, bool init);
  // The file's bytes as LoadSequence takes them once read (`path` names the
  // file in log lines and becomes the sequence's path).
  void LoadSequenceBytes(std::vector<uint8_t> bytes, const std::string& path, bool init);
  void LoadItems(const Json::Value& root, bool init);

  // Items.
  int AppendItem(fxBase* fx);
  // Every item to state 0 and deleted; the selection and the curve view's
  // item go with them.
  void Clear();
  fxBase* FindItem(const std::string& name) const;

  // Clock.
  void Update(float dt);
  void AdvanceTime(float delta);
  void SetCursorFrame(float frame) { m_cursorFrame = frame; }
  // Rewinds to the loop start (or 0), plays and prepares every item.
  void StartPlaying();
  // Stops the clock and brings every item back to state 1.
  void StopPlaying();

  // Editor interface: ranges and items.
  int GetFrameMin() const override { return m_frameMin; }
  int GetFrameMax() const override { return m_frameMax; }
  bool IsLooping() const override { return m_loop; }
  int GetLoopStart() const override { return m_loopStart; }
  int GetLoopEnd() const override { return m_loopEnd; }
  int GetItemCount() const override { return static_cast<int>(m_items.size()); }
  int GetClassCount() const override;
  int GetClassIndex(const char* name) const override;
  const char* GetClassName(int classIndex) const override;
  const char* GetItemLabel(int index) const override;
  bool IsItemEnabled(int index) const override;
  void SetItemEnabled(int index, bool enabled) override;
  void GetItem(int index, int** start, int** end, int* classIndex, unsigned int* color) override;

  // Editor interface: editing.
  int AddItem(int classIndex) override;
  int DeleteItem(int index) override;
  int MoveItemToCurrentTime(int index) override;
  int ShiftItem(int index, int delta) override;
  int MoveItemInList(int index, int delta, bool keepSelection) override;
  int SetItemStart(int index, int delta) override;
  int SetItemEnd(int index, int delta) override;
  int GetFirstSelected(const std::vector<int>& indices) const override;
  int GetLastSelected(const std::vector<int>& indices) const override;

  // Editor interface: rows.
  size_t GetCustomHeight(int index) override;
  void DoubleClick(int index) override;
  void CustomDraw(int index, ImDrawList* drawList, const ImRect& rc, const ImRect& legendRect,
                  const ImRect& clippingRect, const ImRect& legendClippingRect) override;
  void CustomDrawCompact(int index, ImDrawList* drawList, const ImRect& rc, const ImRect& clippingRect) override;

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
  rvCurveEdit m_curveEdit;        // the curve view of the item expanded in an editor
  float m_cursorFrame = 0.0f;

 private:
  fxBase* ItemAt(int index) const;
  // Frame max := the largest End of all items, at least 0.
  void UpdateFrameMax();
  // Draws the legend of the item's drivers and toggles a curve clicked there.
  void DrawDriverLegend(fxBase* fx, ImDrawList* drawList, const ImRect& legendRect);

  // Starts every item whose window holds the clock and gives it a seek to
  // its snapped local time: the restart of a loop.
  void RestartAtLoopStart();
};

// The fade ramps of an item over its row: a triangle rising over FadeIn at
// the start and one falling over FadeOut at the end.
void DrawFadeRamps(ImDrawList* drawList, const ImRect& rc, const fxBase* fx);
