// rvCurveEdit: the curve view's delegate for one effect. Curve i is driver
// i of the current item; the points of a curve are the keys of a key-frame
// driver. The view works in absolute sequence frames, the drivers in the
// item's local seconds (frame x is local time x/60 - Start/60), and this
// class converts between them. FitValueRange fits the value axis to the
// sampled visible curves.
// Depends on fxBase and the drivers. Owns nothing: the current item belongs
// to its sequence, which nulls the pointer before it deletes the item.
#pragma once
#include "sequence/ImCurveEdit.h"

class fxBase;
class NoneDriver;

class rvCurveEdit : public ImCurveEdit::Delegate {
 public:
  int GetCurveCount() override;
  bool IsCurveVisible(int curveIndex) override;
  ImCurveEdit::CurveType GetCurveType(int curveIndex) const override;
  ImVec2& GetMin() override { return m_min; }
  ImVec2& GetMax() override { return m_max; }
  int GetPointCount(int curveIndex) override;
  unsigned int GetCurveColor(int curveIndex) override;
  ImVec2 GetPoint(int curveIndex, int pointIndex) override;
  float EvaluateCurve(int curveIndex, float x) override;
  float GetFrameMin() override;
  float GetFrameMax() override;
  int EditPoint(int curveIndex, int pointIndex, ImVec2 value) override;
  void AddPoint(int curveIndex, ImVec2 value) override;
  unsigned int GetBackgroundColor() override { return 0; }

  // Sets the value range from samples of the visible curves; the frame range
  // is left alone.
  void FitValueRange();

  ImVec2 m_min{0.0f, 0.0f};  // x: first frame shown, y: lowest value
  ImVec2 m_max{1.0f, 1.0f};  // x: last frame shown, y: highest value
  fxBase* m_currentItem = nullptr;

 private:
  NoneDriver* Driver(int curveIndex) const;
  // The item's local seconds at a frame: nearest(x) / 60 - Start / 60.
  float LocalTimeAt(float frame) const;
};

// Packed colour (alpha, blue, green, red from the top byte down) of a driver
// type's curve; 0 for a type outside 0..7.
unsigned int GetDriverCurveColor(int type);
