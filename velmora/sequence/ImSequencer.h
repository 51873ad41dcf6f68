// ImSequencer::SequenceInterface: what a timeline editor (a sequencer widget
// of the Dear ImGui editing layer) asks of a sequence. It reads the frame
// range and the items with their windows, colours and labels, moves and
// resizes items, adds and deletes effects by class, and lets the sequence
// draw an item's row. Frames are ints at 60 per second. rvSequence is the
// one implementation; the player never calls these slots.
// Depends on Dear ImGui's draw list and rectangle types only.
#pragma once
#include <imgui.h>
#include <imgui_internal.h>

#include <cstddef>
#include <vector>

namespace ImSequencer {

struct SequenceInterface {
  virtual ~SequenceInterface() = default;

  // Ranges and items. Index arguments out of range make the editing
  // operations answer 0 and change nothing.
  virtual int GetFrameMin() const = 0;
  virtual int GetFrameMax() const = 0;
  virtual bool IsLooping() const = 0;
  virtual int GetLoopStart() const = 0;
  virtual int GetLoopEnd() const = 0;
  virtual int GetItemCount() const = 0;
  virtual int GetClassCount() const = 0;
  virtual int GetClassIndex(const char* name) const = 0;
  virtual const char* GetClassName(int classIndex) const = 0;
  virtual const char* GetItemLabel(int index) const = 0;
  virtual bool IsItemEnabled(int index) const = 0;
  virtual void SetItemEnabled(int index, bool enabled) = 0;
  // Every output is optional (null).
  virtual void GetItem(int index, int** start, int** end, int* classIndex, unsigned int* color) = 0;

  // Editing; each answers what it changed.
  virtual int AddItem(int classIndex) = 0;
  virtual int DeleteItem(int index) = 0;
  virtual void Duplicate(int /*index*/) {}
  virtual int MoveItemToCurrentTime(int index) = 0;
  virtual int ShiftItem(int index, int delta) = 0;
  virtual int MoveItemInList(int index, int delta, bool keepSelection) = 0;
  virtual int SetItemStart(int index, int delta) = 0;
  virtual int SetItemEnd(int index, int delta) = 0;
  virtual int GetFirstSelected(const std::vector<int>& indices) const = 0;
  virtual int GetLastSelected(const std::vector<int>& indices) const = 0;
  virtual void Copy() {}
  virtual void Paste() {}

  // Rows.
  virtual size_t GetCustomHeight(int index) = 0;
  virtual void DoubleClick(int index) = 0;
  virtual void CustomDraw(int index, ImDrawList* drawList, const ImRect& rc, const ImRect& legendRect,
                          const ImRect& clippingRect, const ImRect& legendClippingRect) = 0;
  virtual void CustomDrawCompact(int index, ImDrawList* drawList, const ImRect& rc, const ImRect& clippingRect) = 0;
};

}  // namespace ImSequencer
