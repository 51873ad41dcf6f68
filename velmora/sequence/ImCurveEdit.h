// ImCurveEdit: the curve view of the editing layer. A Delegate exposes some
// curves (sampled values and, for key-framed ones, editable points) in
// absolute frames and values; DrawCurveEditor is the immediate-mode widget
// that plots them with Dear ImGui's draw lists and lets the user select and
// drag points and zoom and pan the value axis.
//
// The widget's selection and drag state are process-wide, shared by every
// use of the widget, as an immediate-mode widget keeps them between calls.
// Depends on Dear ImGui only; needs a current ImGui frame. The player never
// draws it.
#pragma once
#include <imgui.h>
#include <imgui_internal.h>

#include <vector>

namespace ImCurveEdit {

enum CurveType {
  CurveNone = 0,
  CurveDiscrete = 1,  // steps between the points
  CurveLinear = 2,    // straight spans between the points
  CurveSmooth = 3,    // smoothstep spans between the points
  CurveBezier = 4,    // not drawn by this widget
  CurveSampled = 5,   // drawn by sampling EvaluateCurve at every frame
};

// One point of the selection: a curve index and a point index.
struct EditPoint {
  int curveIndex;
  int pointIndex;
  bool operator<(const EditPoint& other) const {
    return curveIndex != other.curveIndex ? curveIndex < other.curveIndex : pointIndex < other.pointIndex;
  }
  bool operator==(const EditPoint& other) const {
    return curveIndex == other.curveIndex && pointIndex == other.pointIndex;
  }
};

struct Delegate {
  virtual ~Delegate() = default;

  virtual int GetCurveCount() = 0;
  virtual bool IsCurveVisible(int /*curveIndex*/) { return true; }
  virtual CurveType GetCurveType(int /*curveIndex*/) const { return CurveLinear; }
  // The view: x in frames, y in values.
  virtual ImVec2& GetMin() = 0;
  virtual ImVec2& GetMax() = 0;
  virtual int GetPointCount(int curveIndex) = 0;
  virtual unsigned int GetCurveColor(int curveIndex) = 0;
  virtual ImVec2 GetPoint(int curveIndex, int pointIndex) = 0;
  virtual float EvaluateCurve(int curveIndex, float x) = 0;
  virtual float GetFrameMin() = 0;
  virtual float GetFrameMax() = 0;
  // Moves a point; answers the point's index afterwards (its place may
  // change when points are kept sorted), or -1 when nothing was moved.
  virtual int EditPoint(int curveIndex, int pointIndex, ImVec2 value) = 0;
  virtual void AddPoint(int curveIndex, ImVec2 value) = 0;
  virtual unsigned int GetBackgroundColor() { return 0xFF202020; }
  // Bracket an edit, for an undo history.
  virtual void BeginEdit(int /*curveIndex*/) {}
  virtual void EndEdit() {}

  bool m_focused = false;  // set by the widget: its window has the keyboard focus
};

// Draws the curve view in a child frame of the given size at the cursor.
// Answers 1 when points were moved (or a curve dragged, or a point added)
// during this call. The selection is copied to selectedPoints when given.
int DrawCurveEditor(Delegate& delegate, const ImVec2& size, unsigned int id, const ImRect* clippingRect = nullptr,
                    std::vector<EditPoint>* selectedPoints = nullptr);

// Distance in pixels from p to the segment a-b; a segment of (nearly) zero
// length is its start point.
float PointSegmentDistance(const ImVec2& p, const ImVec2& a, const ImVec2& b);

// Forgets the widget's selection and any drag in progress (an editor that
// replaces the delegate's data, and tests, start over with it).
void ResetCurveEditorState();

}  // namespace ImCurveEdit
