// ImCurveEdit: the curve view widget. See ImCurveEdit.h.
//
// [SECTION] Widget state and the view mapping
// [SECTION] Moving points
// [SECTION] Drawing curves and points
// [SECTION] The widget
#include "sequence/ImCurveEdit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>

namespace ImCurveEdit {
namespace {

// ---------------------------------------------------------------------------
// [SECTION] Widget state and the view mapping

const unsigned int kZeroLineColor = 0xFF000000;
const unsigned int kPointFill = 0xFF000000;
const unsigned int kPointSelected = 0xFFFFFFFF;
const unsigned int kPointHovered = 0xFF80B0FF;
const unsigned int kPointNormal = 0xFF0080FF;
const unsigned int kQuadFill = 0x40FF0000;
const unsigned int kQuadOutline = 0xFFFF0000;
const float kPointHalfSize = 4.5f;
const float kPointHoverDistance = 5.0f;
const float kCurveHoverDistance = 8.0f;
const int kSmoothSteps = 19;

// A point being dragged and where it stood when the drag began.
struct DragPoint {
  EditPoint point;
  ImVec2 origin;
  bool dropped;
};

struct WidgetState {
  std::set<EditPoint> selection;
  bool pointPressed = false;  // button 0 went down over a point: a drag may follow
  bool dragging = false;
  std::vector<DragPoint> dragPoints;
  bool selectingQuad = false;
  ImVec2 quadStart;
  bool panning = false;
  int draggedCurve = -1;  // a curve of type 1..3 dragged as a whole
};

WidgetState& State() {
  static WidgetState state;
  return state;
}

// Frames run over (max x - min x + 1) across the width; values over
// (max y - min y) up the height, the minimum at the bottom edge.
struct View {
  ImVec2 offset;
  ImVec2 size;
  ImVec2 min;
  ImVec2 range;

  ImVec2 ToScreen(const ImVec2& p) const {
    return ImVec2(offset.x + (p.x - min.x) / range.x * size.x, offset.y + size.y - (p.y - min.y) / range.y * size.y);
  }
  ImVec2 ToView(const ImVec2& s) const {
    return ImVec2(min.x + (s.x - offset.x) / size.x * range.x, min.y + (offset.y + size.y - s.y) / size.y * range.y);
  }
  ImVec2 DeltaToView(const ImVec2& d) const { return ImVec2(d.x / size.x * range.x, -d.y / size.y * range.y); }
};

View MakeView(Delegate& delegate, const ImVec2& offset, const ImVec2& size) {
  const ImVec2 min = delegate.GetMin();
  const ImVec2 max = delegate.GetMax();
  return View{offset, size, min, ImVec2(max.x - min.x + 1.0f, max.y - min.y)};
}

bool IsFinite(const ImVec2& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

float Distance(const ImVec2& a, const ImVec2& b) { return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y)); }

bool IsKeyFramed(Delegate& delegate, int curve) {
  return delegate.IsCurveVisible(curve) && delegate.GetPointCount(curve) > 0;
}

bool IsValidPoint(Delegate& delegate, const EditPoint& p) {
  return p.curveIndex >= 0 && p.curveIndex < delegate.GetCurveCount() && p.pointIndex >= 0 &&
         p.pointIndex < delegate.GetPointCount(p.curveIndex);
}

// Points deleted or curves changed since the last call (another panel, a
// new current item) must not leave indices past the point lists.
void DropInvalidPoints(Delegate& delegate, WidgetState& state) {
  for (auto it = state.selection.begin(); it != state.selection.end();) {
    it = IsValidPoint(delegate, *it) ? std::next(it) : state.selection.erase(it);
  }
  for (DragPoint& dp : state.dragPoints) {
    if (!IsValidPoint(delegate, dp.point)) dp.dropped = true;
  }
}

// ---------------------------------------------------------------------------
// [SECTION] Moving points

// The first point of the curve, other than `except`, that stands on the
// whole frame; -1 for none.
int FindPointAtFrame(Delegate& delegate, int curve, float frame, int except) {
  const int count = delegate.GetPointCount(curve);
  for (int i = 0; i < count; ++i) {
    if (i != except && std::round(delegate.GetPoint(curve, i).x) == frame) return i;
  }
  return -1;
}

// The whole frame nearest to `target`, going back towards where the point
// stands, that no other point of the curve holds. Moving a key onto another
// key's frame deletes that key, so a drag passing over a neighbour must
// never land on it.
float FreeFrameTowards(Delegate& delegate, int curve, int point, float target) {
  const float current = std::round(delegate.GetPoint(curve, point).x);
  float frame = std::round(target);
  // Each step passes one point at most; the bound also stops a frame too
  // large for a step of 1 to change it.
  for (int guard = delegate.GetPointCount(curve); guard >= 0 && frame != current; --guard) {
    if (FindPointAtFrame(delegate, curve, frame, point) < 0) return frame;
    frame += frame > current ? -1.0f : 1.0f;
  }
  return current;
}

// After point `from` of a curve moved to index `to`, the other dragged
// points of that curve follow their keys to their new indices. When the
// curve lost a point on the way (a delegate that merges points), nothing
// says which: the other points of that curve are let go.
void FollowMovedPoint(std::vector<DragPoint>& points, const DragPoint& moved, int from, int to, bool lostPoint) {
  for (DragPoint& dp : points) {
    if (&dp == &moved || dp.dropped || dp.point.curveIndex != moved.point.curveIndex) continue;
    int& k = dp.point.pointIndex;
    if (lostPoint) dp.dropped = true;
    else if (from < to && k > from && k <= to) --k;
    else if (to < from && k >= to && k < from) ++k;
  }
}

// Moves every dragged point to its origin plus the movement. Within a curve
// the point leading in the direction of this step moves first, so dragged
// points never land on the place another dragged point is leaving. Answers
// whether anything was edited.
bool MoveDragPoints(Delegate& delegate, std::vector<DragPoint>& points, const ImVec2& movement, float stepX) {
  std::vector<DragPoint*> order;
  for (DragPoint& dp : points) {
    if (!dp.dropped) order.push_back(&dp);
  }
  std::sort(order.begin(), order.end(), [stepX](const DragPoint* a, const DragPoint* b) {
    if (a->point.curveIndex != b->point.curveIndex) return a->point.curveIndex < b->point.curveIndex;
    return stepX > 0.0f ? a->point.pointIndex > b->point.pointIndex : a->point.pointIndex < b->point.pointIndex;
  });
  bool edited = false;
  for (DragPoint* dp : order) {
    if (dp->dropped) continue;
    const int curve = dp->point.curveIndex;
    const int from = dp->point.pointIndex;
    const int countBefore = delegate.GetPointCount(curve);
    ImVec2 target(dp->origin.x + movement.x, dp->origin.y + movement.y);
    if (!std::isfinite(target.x) || !std::isfinite(target.y)) continue;
    target.x = FreeFrameTowards(delegate, curve, from, target.x);
    const int to = delegate.EditPoint(curve, from, target);
    edited = true;
    if (to < 0 || to >= delegate.GetPointCount(curve)) {
      dp->dropped = true;
      continue;
    }
    FollowMovedPoint(points, *dp, from, to, delegate.GetPointCount(curve) < countBefore);
    dp->point.pointIndex = to;
  }
  points.erase(std::remove_if(points.begin(), points.end(), [](const DragPoint& dp) { return dp.dropped; }),
               points.end());
  return edited;
}

std::vector<DragPoint> RememberPoints(Delegate& delegate, const std::vector<EditPoint>& list) {
  std::vector<DragPoint> points;
  for (const EditPoint& p : list) points.push_back(DragPoint{p, delegate.GetPoint(p.curveIndex, p.pointIndex), false});
  return points;
}

// ---------------------------------------------------------------------------
// [SECTION] Drawing curves and points

// A sampled curve: one segment per whole frame from GetFrameMin to one frame
// before GetFrameMax. Frames outside the view are skipped, and a span much
// longer than the view is wide is walked in strides of several frames, so a
// window of millions of frames costs what the pixels show.
void DrawSampledCurve(ImDrawList* drawList, Delegate& delegate, const View& view, int curve) {
  const double first = std::floor(static_cast<double>(delegate.GetFrameMin()));
  const double last = std::floor(static_cast<double>(delegate.GetFrameMax())) - 1.0;
  if (!std::isfinite(first) || !std::isfinite(last)) return;
  const double from = std::max(first, std::floor(static_cast<double>(view.min.x)) - 1.0);
  const double to = std::min(last, std::ceil(static_cast<double>(view.min.x + view.range.x)) + 1.0);
  if (!(to > from)) return;
  const double maxSegments = std::max(64.0, 4.0 * static_cast<double>(view.size.x));
  const double stride = std::max(1.0, std::ceil((to - from) / maxSegments));
  const unsigned int color = delegate.GetCurveColor(curve);
  ImVec2 previous = view.ToScreen(ImVec2(static_cast<float>(from), delegate.EvaluateCurve(curve, static_cast<float>(from))));
  for (double f = from + stride;; f += stride) {
    if (f > to) f = to;
    const ImVec2 next = view.ToScreen(ImVec2(static_cast<float>(f), delegate.EvaluateCurve(curve, static_cast<float>(f))));
    // A sample without a value (infinite) breaks the line.
    if (IsFinite(previous) && IsFinite(next)) drawList->AddLine(previous, next, color, 1.3f);
    previous = next;
    if (f >= to) break;
  }
}

// The spans of a curve of type 1..3 between its points, in screen space.
std::vector<ImVec2> CurvePolyline(Delegate& delegate, const View& view, int curve) {
  std::vector<ImVec2> line;
  const CurveType type = delegate.GetCurveType(curve);
  const int count = delegate.GetPointCount(curve);
  for (int i = 0; i < count; ++i) {
    const ImVec2 p = delegate.GetPoint(curve, i);
    if (i > 0) {
      const ImVec2 q = delegate.GetPoint(curve, i - 1);
      if (type == CurveDiscrete) {
        line.push_back(view.ToScreen(ImVec2(p.x, q.y)));
      } else if (type == CurveSmooth) {
        for (int s = 1; s < kSmoothSteps; ++s) {
          const float t = static_cast<float>(s) / kSmoothSteps;
          const float eased = t * t * (3.0f - 2.0f * t);
          line.push_back(view.ToScreen(ImVec2(q.x + (p.x - q.x) * t, q.y + (p.y - q.y) * eased)));
        }
      }
    }
    line.push_back(view.ToScreen(p));
  }
  return line;
}

bool IsNearPolyline(const std::vector<ImVec2>& line, const ImVec2& mouse) {
  for (size_t i = 1; i < line.size(); ++i) {
    if (PointSegmentDistance(mouse, line[i - 1], line[i]) < kCurveHoverDistance) return true;
  }
  return false;
}

void DrawPolyline(ImDrawList* drawList, const std::vector<ImVec2>& line, unsigned int color, float thickness) {
  for (size_t i = 1; i < line.size(); ++i) drawList->AddLine(line[i - 1], line[i], color, thickness);
}

void DrawPoint(ImDrawList* drawList, const ImVec2& c, unsigned int outline, float thickness) {
  const float h = kPointHalfSize;
  const ImVec2 a(c.x - h, c.y), b(c.x, c.y - h), d(c.x + h, c.y), e(c.x, c.y + h);
  drawList->AddQuadFilled(a, b, d, e, kPointFill);
  drawList->AddQuad(a, b, d, e, outline, thickness);
}

void DrawPoints(ImDrawList* drawList, Delegate& delegate, const View& view, const WidgetState& state,
                const ImVec2& mouse) {
  for (int c = 0; c < delegate.GetCurveCount(); ++c) {
    if (!IsKeyFramed(delegate, c)) continue;
    for (int p = 0; p < delegate.GetPointCount(c); ++p) {
      const ImVec2 at = view.ToScreen(delegate.GetPoint(c, p));
      if (!IsFinite(at)) continue;
      if (state.selection.count(EditPoint{c, p})) DrawPoint(drawList, at, kPointSelected, 3.0f);
      else if (Distance(at, mouse) <= kPointHoverDistance) DrawPoint(drawList, at, kPointHovered, 2.0f);
      else DrawPoint(drawList, at, kPointNormal, 2.0f);
    }
  }
}

// The first point of a visible key-framed curve under the mouse.
bool FindHoveredPoint(Delegate& delegate, const View& view, const ImVec2& mouse, EditPoint& found) {
  for (int c = 0; c < delegate.GetCurveCount(); ++c) {
    if (!IsKeyFramed(delegate, c)) continue;
    for (int p = 0; p < delegate.GetPointCount(c); ++p) {
      if (Distance(view.ToScreen(delegate.GetPoint(c, p)), mouse) <= kPointHoverDistance) {
        found = EditPoint{c, p};
        return true;
      }
    }
  }
  return false;
}

// Draws every visible curve; answers the highlighted curve of type 1..3
// (the one under the mouse, drawn last), -1 for none.
int DrawCurves(ImDrawList* drawList, Delegate& delegate, const View& view, const ImVec2& mouse, bool hovered) {
  int highlighted = -1;
  std::vector<ImVec2> highlightedLine;
  for (int c = 0; c < delegate.GetCurveCount(); ++c) {
    if (!delegate.IsCurveVisible(c)) continue;
    const CurveType type = delegate.GetCurveType(c);
    if (type == CurveSampled) {
      DrawSampledCurve(drawList, delegate, view, c);
      continue;
    }
    if (type != CurveDiscrete && type != CurveLinear && type != CurveSmooth) continue;
    std::vector<ImVec2> line = CurvePolyline(delegate, view, c);
    if (hovered && highlighted < 0 && IsNearPolyline(line, mouse)) {
      highlighted = c;
      highlightedLine.swap(line);
      continue;
    }
    DrawPolyline(drawList, line, delegate.GetCurveColor(c), 1.3f);
  }
  if (highlighted >= 0) DrawPolyline(drawList, highlightedLine, 0xFFFFFFFF, 2.6f);
  return highlighted;
}

// ---------------------------------------------------------------------------
// [SECTION] The widget

void ZoomAndPan(Delegate& delegate, const View& view, WidgetState& state, bool hovered) {
  const ImGuiIO& io = ImGui::GetIO();
  ImVec2& min = delegate.GetMin();
  ImVec2& max = delegate.GetMax();
  if (hovered && io.MouseWheel != 0.0f && !io.KeyCtrl) {
    const float v = view.ToView(io.MousePos).y;
    const float scale = 1.0f - io.MouseWheel * 0.05f;
    min.y = v + (min.y - v) * scale;
    max.y = v + (max.y - v) * scale;
  }
  if (hovered && ImGui::IsMouseClicked(ImGuiMouseButton_Middle)) state.panning = true;
  if (state.panning && !ImGui::IsMouseDown(ImGuiMouseButton_Middle)) state.panning = false;
  if (state.panning && io.MouseDelta.y != 0.0f) {
    // The values follow the mouse: moving down shows higher values.
    const float shift = io.MouseDelta.y / view.size.y * view.range.y;
    min.y += shift;
    max.y += shift;
  }
}

// Button 0: a press on a point selects it, a press on a highlighted curve
// grabs the curve, a press on empty space starts a selection rectangle.
void HandlePress(Delegate& delegate, const View& view, WidgetState& state, bool hovered, int highlighted,
                 bool& edited) {
  const ImGuiIO& io = ImGui::GetIO();
  if (!hovered || !ImGui::IsMouseClicked(ImGuiMouseButton_Left)) return;
  EditPoint point{-1, -1};
  if (FindHoveredPoint(delegate, view, io.MousePos, point)) {
    if (!io.KeyShift && !state.selection.count(point)) state.selection.clear();
    state.selection.insert(point);
    state.pointPressed = true;
    return;
  }
  if (highlighted >= 0) {
    if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left)) {
      delegate.AddPoint(highlighted, view.ToView(io.MousePos));
      edited = true;
      return;
    }
    state.draggedCurve = highlighted;
    return;
  }
  state.selectingQuad = true;
  state.quadStart = io.MousePos;
}

void HandleDrag(Delegate& delegate, const View& view, WidgetState& state, bool& edited) {
  const ImGuiIO& io = ImGui::GetIO();
  if (!ImGui::IsMouseDown(ImGuiMouseButton_Left)) {
    state.pointPressed = false;
    state.dragging = false;
    state.draggedCurve = -1;
    state.dragPoints.clear();
    return;
  }
  if (!state.pointPressed && state.draggedCurve < 0) return;
  if (io.MouseDelta.x == 0.0f && io.MouseDelta.y == 0.0f) return;
  if (!state.dragging) {
    state.dragging = true;
    std::vector<EditPoint> grabbed;
    if (state.draggedCurve >= 0) {
      for (int p = 0; p < delegate.GetPointCount(state.draggedCurve); ++p) grabbed.push_back(EditPoint{state.draggedCurve, p});
    } else {
      grabbed.assign(state.selection.begin(), state.selection.end());
    }
    state.dragPoints = RememberPoints(delegate, grabbed);
  }
  // The movement counts from where the button went down.
  const ImVec2 moved(io.MousePos.x - io.MouseClickedPos[0].x, io.MousePos.y - io.MouseClickedPos[0].y);
  edited |= MoveDragPoints(delegate, state.dragPoints, view.DeltaToView(moved), io.MouseDelta.x);
  if (state.draggedCurve < 0) {
    state.selection.clear();
    for (const DragPoint& dp : state.dragPoints) state.selection.insert(dp.point);
  }
}

void HandleQuad(ImDrawList* drawList, Delegate& delegate, const View& view, WidgetState& state) {
  if (!state.selectingQuad) return;
  const ImGuiIO& io = ImGui::GetIO();
  const ImVec2 a(std::min(state.quadStart.x, io.MousePos.x), std::min(state.quadStart.y, io.MousePos.y));
  const ImVec2 b(std::max(state.quadStart.x, io.MousePos.x), std::max(state.quadStart.y, io.MousePos.y));
  if (ImGui::IsMouseDown(ImGuiMouseButton_Left)) {
    drawList->AddRectFilled(a, b, kQuadFill);
    drawList->AddRect(a, b, kQuadOutline, 0.0f, 0, 1.0f);
    return;
  }
  if (!io.KeyShift) state.selection.clear();
  const ImRect quad(a, b);
  for (int c = 0; c < delegate.GetCurveCount(); ++c) {
    if (!IsKeyFramed(delegate, c)) continue;
    for (int p = 0; p < delegate.GetPointCount(c); ++p) {
      if (quad.Contains(view.ToScreen(delegate.GetPoint(c, p)))) state.selection.insert(EditPoint{c, p});
    }
  }
  state.selectingQuad = false;
}

}  // namespace

float PointSegmentDistance(const ImVec2& p, const ImVec2& a, const ImVec2& b) {
  const ImVec2 ab(b.x - a.x, b.y - a.y);
  const float lengthSquared = ab.x * ab.x + ab.y * ab.y;
  if (lengthSquared <= 1.1920929e-7f) return Distance(p, a);
  float t = ((p.x - a.x) * ab.x + (p.y - a.y) * ab.y) / lengthSquared;
  t = std::min(std::max(t, 0.0f), 1.0f);
  return Distance(p, ImVec2(a.x + ab.x * t, a.y + ab.y * t));
}

void ResetCurveEditorState() { State() = WidgetState(); }

int DrawCurveEditor(Delegate& delegate, const ImVec2& size, unsigned int id, const ImRect* clippingRect,
                    std::vector<EditPoint>* selectedPoints) {
  WidgetState& state = State();
  bool edited = false;
  ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(0, 0));
  ImGui::PushStyleColor(ImGuiCol_Border, 0);
  ImGui::BeginChildFrame(id, size, ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse);
  delegate.m_focused = ImGui::IsWindowFocused();
  ImDrawList* drawList = ImGui::GetWindowDrawList();
  if (clippingRect) drawList->PushClipRect(clippingRect->Min, clippingRect->Max, true);

  const ImVec2 offset = ImGui::GetCursorScreenPos();
  const ImVec2 frame = ImGui::GetContentRegionAvail();
  if (frame.x > 0.0f && frame.y > 0.0f) {
    // The button takes the presses, so a drag in the view never moves the
    // window, and the wheel, so it never scrolls a parent.
    ImGui::InvisibleButton("##curveview", frame, ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonMiddle);
    ImGui::SetItemUsingMouseWheel();
    const bool hovered = ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenBlockedByActiveItem);
    const ImVec2 mouse = ImGui::GetIO().MousePos;
    DropInvalidPoints(delegate, state);

    ZoomAndPan(delegate, MakeView(delegate, offset, frame), state, hovered);
    const View view = MakeView(delegate, offset, frame);
    drawList->AddRectFilled(offset, ImVec2(offset.x + frame.x, offset.y + frame.y), delegate.GetBackgroundColor());
    const float zero = view.ToScreen(ImVec2(0.0f, 0.0f)).y;
    if (std::isfinite(zero)) drawList->AddLine(ImVec2(offset.x, zero), ImVec2(offset.x + frame.x, zero), kZeroLineColor, 1.5f);
    const bool busy = state.dragging || state.selectingQuad || state.pointPressed || state.draggedCurve >= 0;
    const int highlighted = DrawCurves(drawList, delegate, view, mouse, hovered && !busy);

    HandlePress(delegate, view, state, hovered && !busy, highlighted, edited);
    HandleDrag(delegate, view, state, edited);
    DrawPoints(drawList, delegate, view, state, mouse);
    HandleQuad(drawList, delegate, view, state);
  }

  if (clippingRect) drawList->PopClipRect();
  ImGui::EndChildFrame();
  ImGui::PopStyleColor();
  ImGui::PopStyleVar();
  if (selectedPoints) selectedPoints->assign(state.selection.begin(), state.selection.end());
  return edited ? 1 : 0;
}

}  // namespace ImCurveEdit
