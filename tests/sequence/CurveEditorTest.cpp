// The curve view of an item's drivers. On the CPU: frames and local seconds
// convert both ways, points are added and moved through the key-frame
// driver, the value range fits the sampled curves. In headless GUI frames:
// a drag moves keys (and keeps hold of the dragged key when it passes a
// neighbour), a rectangle selects, the wheel zooms and the middle button
// pans the value axis, a legend click hides a curve and F fits the view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <vector>

#include "sequence/fxBase.h"
#include "sequence/Driver.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/DriverProcedural.h"
#include "sequence/ImCurveEdit.h"
#include "sequence/rvCurveEdit.h"
#include "sequence/rvSequence.h"
#include "support/HeadlessGui.h"
#include "support/ProbeEffect.h"

namespace ImCurveEdit {
// Selections print as (curve, point) in failure messages.
void PrintTo(const EditPoint& p, std::ostream* os) { *os << "(" << p.curveIndex << ", " << p.pointIndex << ")"; }
}  // namespace ImCurveEdit

namespace {

using ImCurveEdit::EditPoint;
using KeyList = std::vector<std::pair<float, float>>;

// An item at frames 120..420 (5 s) with a key-frame driver on its value
// (keys at 0.5 s = 1 and 1 s = 3) and a sine driver on its fade-in.
class CurveView : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterProbeClass();
    ImCurveEdit::ResetCurveEditorState();
    m_item = static_cast<fxProbe*>(fxProbe::Create(fxProbe::GetClassDesc()));
    m_item->m_start = 120;
    m_item->m_end = 420;
    m_sequence.AppendItem(m_item);
    m_keys = static_cast<KeyFrameDriver*>(
        CreateDriver(m_item, DriverKeyFrame, m_item->m_classDesc->FindAttribute("Probe/Value")));
    m_keys->_eInterpolation = InterpLinear;
    m_keys->SetKey(0.5f, 1.0f);
    m_keys->SetKey(1.0f, 3.0f);
    m_item->m_drivers.push_back(m_keys);
    m_item->m_drivers.push_back(CreateDriver(m_item, DriverSinus, m_item->m_classDesc->FindAttribute("FadeIn")));
    m_edit.m_currentItem = m_item;
    // 600 frames over 600 pixels and values 0..4 over 200 pixels.
    m_edit.m_min = ImVec2(0.0f, 0.0f);
    m_edit.m_max = ImVec2(599.0f, 4.0f);
  }
  void TearDown() override { m_sequence.Clear(); }

  // The panel: the widget at the window's cursor, whose place is recorded.
  std::function<void()> Panel() {
    return [this] {
      m_origin = ImGui::GetCursorScreenPos();
      m_edited += ImCurveEdit::DrawCurveEditor(m_edit, ImVec2(600.0f, 200.0f), 7, nullptr, &m_selected);
    };
  }
  // Pixel of a (frame, value) point in the view.
  ImVec2 At(float frame, float value) const {
    return ImVec2(m_origin.x + frame, m_origin.y + 200.0f - value / 4.0f * 200.0f);
  }
  // The widget's place is known after one frame.
  void Settle() { m_gui.Frame(ImVec2(-1, -1), false, Panel()); }

  KeyList Keys() const {
    KeyList keys;
    for (const KeyFrame& k : m_keys->_aKeys) keys.emplace_back(k.time, k.value);
    return keys;
  }

  HeadlessGui m_gui;
  rvSequence m_sequence{0};
  fxProbe* m_item = nullptr;
  KeyFrameDriver* m_keys = nullptr;
  rvCurveEdit m_edit;
  ImVec2 m_origin;
  int m_edited = 0;
  std::vector<EditPoint> m_selected;
};

}  // namespace

TEST_F(CurveView, FramesAndLocalSecondsConvertBothWays) {
  EXPECT_EQ(m_edit.GetCurveCount(), 2);
  EXPECT_EQ(m_edit.GetPointCount(0), 2);
  EXPECT_EQ(m_edit.GetPointCount(1), 0) << "a sine has no points, only its sampled curve";
  EXPECT_EQ(m_edit.GetCurveType(1), ImCurveEdit::CurveSampled);
  EXPECT_EQ(m_edit.GetPoint(0, 0).x, 150.0f);
  EXPECT_EQ(m_edit.GetPoint(0, 0).y, 1.0f);
  EXPECT_EQ(m_edit.GetPoint(1, 0).x, 0.0f);
  EXPECT_EQ(m_edit.GetFrameMin(), 120.0f);
  EXPECT_EQ(m_edit.GetFrameMax(), 420.0f);
  // Frame 165 is local 0.75 s: halfway between the keys.
  EXPECT_FLOAT_EQ(m_edit.EvaluateCurve(0, 165.9f), 2.0f);

  // Dragging the first key to frame 180 lands on the second key's time: that
  // key goes, the moved one takes its place at 1.0 s.
  EXPECT_EQ(m_edit.EditPoint(0, 0, ImVec2(180.2f, 2.0f)), 0);
  EXPECT_EQ(Keys(), (KeyList{{1.0f, 2.0f}}));
  m_edit.AddPoint(0, ImVec2(150.0f, 5.0f));
  EXPECT_EQ(Keys(), (KeyList{{0.5f, 5.0f}, {1.0f, 2.0f}}));
  m_edit.AddPoint(0, ImVec2(150.4f, 6.0f));  // the same frame: the key's value changes
  EXPECT_EQ(Keys(), (KeyList{{0.5f, 6.0f}, {1.0f, 2.0f}}));
  EXPECT_EQ(m_edit.EditPoint(1, 0, ImVec2(150.0f, 1.0f)), 0) << "a sine has nothing to move";
  EXPECT_EQ(m_edit.EditPoint(0, 5, ImVec2(150.0f, 1.0f)), -1);
  m_edit.AddPoint(1, ImVec2(150.0f, 1.0f));
  EXPECT_EQ(m_edit.GetPointCount(1), 0);
}

TEST_F(CurveView, ColoursByDriverType) {
  const unsigned int colours[] = {0xFF000000, 0xFF0000FF, 0xFF00FF00, 0xFF00FFFF,
                                  0xFFFFFF00, 0xFFFF0000, 0xFFFF00FF, 0xFF808080};
  for (int type = 0; type < 8; ++type) EXPECT_EQ(GetDriverCurveColor(type), colours[type]) << type;
  EXPECT_EQ(GetDriverCurveColor(8), 0u);
  EXPECT_EQ(GetDriverCurveColor(-1), 0u);
  EXPECT_EQ(m_edit.GetCurveColor(0), 0xFF0000FFu);
  EXPECT_EQ(m_edit.GetCurveColor(1), 0xFF00FF00u);
  EXPECT_EQ(m_edit.GetCurveColor(2), 0u);
  EXPECT_EQ(m_edit.GetBackgroundColor(), 0u);
}

TEST_F(CurveView, WithoutAnItemEverySlotAnswersNothing) {
  m_edit.m_currentItem = nullptr;
  EXPECT_EQ(m_edit.GetCurveCount(), 0);
  EXPECT_FALSE(m_edit.IsCurveVisible(0));
  EXPECT_EQ(m_edit.GetPointCount(0), 0);
  EXPECT_EQ(m_edit.GetCurveColor(0), 0u);
  EXPECT_EQ(m_edit.EvaluateCurve(0, 10.0f), 0.0f);
  EXPECT_EQ(m_edit.EditPoint(0, 0, ImVec2(1, 1)), 0);
  EXPECT_EQ(m_edit.GetFrameMax(), 0.0f);
  m_edit.AddPoint(0, ImVec2(1, 1));
  m_edit.FitValueRange();
  EXPECT_EQ(m_edit.m_max.y, 4.0f);
  Settle();  // the widget draws an empty view
  EXPECT_EQ(m_edited, 0);
}

TEST_F(CurveView, FittingTheValueRange) {
  struct Case {
    const char* what;
    std::vector<std::pair<float, float>> keys;
    int start, end;
    float min, max;
  };
  const float inf = std::numeric_limits<float>::infinity();
  const Case cases[] = {
      {"a constant curve", {{0.0f, 2.0f}}, 120, 420, 1.9f, 2.1f},
      {"a ramp with a margin", {{0.0f, 0.0f}, {5.0f, 10.0f}}, 120, 420, -0.5f, 10.5f},
      {"a zero-length item samples its start", {{0.0f, 3.0f}, {1.0f, 9.0f}}, 120, 120, 2.9f, 3.1f},
      {"a window ending before it starts", {{0.0f, 3.0f}}, 120, 60, 2.9f, 3.1f},
      {"no keys give no value: the range stays", {}, 120, 420, 0.0f, 4.0f},
      {"an infinite key is no value either", {{0.0f, inf}}, 120, 420, 0.0f, 4.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_keys->_aKeys.clear();
    for (const auto& k : c.keys) m_keys->_aKeys.push_back(KeyFrame{k.first, k.second, 0});
    m_item->m_start = c.start;
    m_item->m_end = c.end;
    m_item->m_drivers[1]->m_bVisible = false;
    m_edit.m_min = ImVec2(0.0f, 0.0f);
    m_edit.m_max = ImVec2(599.0f, 4.0f);
    m_edit.FitValueRange();
    EXPECT_NEAR(m_edit.m_min.y, c.min, 1e-5f);
    EXPECT_NEAR(m_edit.m_max.y, c.max, 1e-5f);
    EXPECT_EQ(m_edit.m_min.x, 0.0f) << "the frame range is left alone";
    EXPECT_EQ(m_edit.m_max.x, 599.0f);
  }
  // A visible sine between 0 and 1 widens the range of a constant 2.
  m_keys->_aKeys = {KeyFrame{0.0f, 2.0f, 0}};
  m_item->m_drivers[1]->m_bVisible = true;
  m_edit.FitValueRange();
  EXPECT_LT(m_edit.m_min.y, 0.5f);
  EXPECT_GT(m_edit.m_max.y, 2.0f);
  EXPECT_LT(m_edit.m_max.y, 2.2f);
}

TEST_F(CurveView, PointSegmentDistance) {
  struct Case {
    ImVec2 p, a, b;
    float distance;
  };
  const Case cases[] = {{{5, 3}, {0, 0}, {10, 0}, 3.0f},  {{-3, 4}, {0, 0}, {10, 0}, 5.0f},
                        {{13, 4}, {0, 0}, {10, 0}, 5.0f}, {{3, 4}, {0, 0}, {0, 0}, 5.0f},
                        {{3, 4}, {0, 0}, {0.0001f, 0}, 5.0f}};
  for (const Case& c : cases) EXPECT_NEAR(ImCurveEdit::PointSegmentDistance(c.p, c.a, c.b), c.distance, 1e-3f);
}

TEST_F(CurveView, DraggingAKeyMovesItToTheFrameUnderTheMouse) {
  m_sequence.m_items[0]->m_drivers[1]->m_bVisible = false;
  Settle();
  // The key at 0.5 s sits at frame 150; dragged to frame 140, value 2.
  m_gui.Drag(At(150, 1), At(140, 2), 5, Panel());
  EXPECT_EQ(Keys(), (KeyList{{20.0f / 60.0f, 2.0f}, {1.0f, 3.0f}}));
  EXPECT_GT(m_edited, 0);
  EXPECT_EQ(m_selected, (std::vector<EditPoint>{{0, 0}}));
}

// Past a neighbour the dragged key is the one that keeps moving: the
// neighbour stays where it was.
TEST_F(CurveView, ADragPastANeighbourKeepsHoldingTheDraggedKey) {
  Settle();
  m_gui.Drag(At(150, 1), At(240, 1), 9, Panel());
  EXPECT_EQ(Keys(), (KeyList{{1.0f, 3.0f}, {2.0f, 1.0f}}));
  EXPECT_EQ(m_selected, (std::vector<EditPoint>{{0, 1}}));
  // And back again, in one step.
  m_gui.Drag(At(240, 1), At(130, 0.5f), 1, Panel());
  EXPECT_EQ(Keys(), (KeyList{{10.0f / 60.0f, 0.5f}, {1.0f, 3.0f}}));
  EXPECT_EQ(m_selected, (std::vector<EditPoint>{{0, 0}}));
}

TEST_F(CurveView, ARectangleSelectsTheKeysInsideItAndADragMovesThemTogether) {
  m_keys->SetKey(3.0f, 2.0f);  // frame 300, outside the rectangle
  Settle();
  m_gui.Drag(At(130, 3.9f), At(200, 0.1f), 4, Panel());
  EXPECT_EQ(m_selected, (std::vector<EditPoint>{{0, 0}, {0, 1}}));
  EXPECT_EQ(Keys(), (KeyList{{0.5f, 1.0f}, {1.0f, 3.0f}, {3.0f, 2.0f}})) << "selecting moves nothing";

  // Both move right by 30 frames: the first lands where the second was.
  m_gui.Drag(At(150, 1), At(180, 1), 3, Panel());
  EXPECT_EQ(Keys(), (KeyList{{1.0f, 1.0f}, {1.5f, 3.0f}, {3.0f, 2.0f}}));
  EXPECT_EQ(m_selected, (std::vector<EditPoint>{{0, 0}, {0, 1}}));

  // A click on the third key alone selects it; with Shift the others join.
  m_gui.Click(At(300, 2), Panel());
  EXPECT_EQ(m_selected, (std::vector<EditPoint>{{0, 2}}));
  m_gui.m_shift = true;
  m_gui.Click(At(180, 1), Panel());
  m_gui.m_shift = false;
  EXPECT_EQ(m_selected, (std::vector<EditPoint>{{0, 0}, {0, 2}}));
  // A rectangle over nothing clears the selection.
  m_gui.Drag(At(400, 3.9f), At(450, 3.5f), 2, Panel());
  EXPECT_TRUE(m_selected.empty());
}

TEST_F(CurveView, TheSelectionNeverOutlivesTheKeys) {
  Settle();
  m_gui.Drag(At(100, 3.9f), At(250, 0.1f), 3, Panel());
  ASSERT_EQ(m_selected.size(), 2u);
  m_keys->DeleteKey(1);
  Settle();
  EXPECT_EQ(m_selected, (std::vector<EditPoint>{{0, 0}}));
  m_edit.m_currentItem = nullptr;
  Settle();
  EXPECT_TRUE(m_selected.empty());
}

TEST_F(CurveView, TheWheelZoomsAndTheMiddleButtonPansTheValues) {
  Settle();
  m_gui.m_wheel = 2.0f;  // about the value 2 under the mouse: the range narrows by a tenth
  m_gui.Frame(At(300, 2), false, Panel());
  EXPECT_NEAR(m_edit.m_min.y, 0.2f, 1e-4f);
  EXPECT_NEAR(m_edit.m_max.y, 3.8f, 1e-4f);
  EXPECT_EQ(m_edit.m_min.x, 0.0f);

  // 50 pixels down with the middle button: a quarter of the 3.6 span.
  const ImVec2 from = At(300, 2);
  m_gui.Frame(from, false, Panel());
  m_gui.m_middle = true;
  m_gui.Frame(from, false, Panel());
  m_gui.Frame(ImVec2(from.x, from.y + 50.0f), false, Panel());
  m_gui.m_middle = false;
  m_gui.Frame(ImVec2(from.x, from.y + 80.0f), false, Panel());
  EXPECT_NEAR(m_edit.m_min.y, 1.1f, 1e-4f);
  EXPECT_NEAR(m_edit.m_max.y, 4.7f, 1e-4f);
  EXPECT_EQ(Keys(), (KeyList{{0.5f, 1.0f}, {1.0f, 3.0f}}));
}

// The sequence's row: a click on a legend line hides that curve, and F
// fits the view while the editor has the focus.
TEST_F(CurveView, TheRowsLegendTogglesCurvesAndFFitsTheView) {
  auto row = [this] {
    const ImVec2 p = ImGui::GetCursorScreenPos();
    const ImRect legend(p, ImVec2(p.x + 150, p.y + 130));
    const ImRect rc(ImVec2(p.x + 160, p.y), ImVec2(p.x + 600, p.y + 130));
    m_origin = p;
    m_sequence.CustomDraw(0, ImGui::GetWindowDrawList(), rc, legend, rc, legend);
  };
  m_gui.Frame(ImVec2(-1, -1), false, row);
  EXPECT_EQ(m_sequence.m_curveEdit.m_currentItem, m_item);
  EXPECT_EQ(m_sequence.m_curveEdit.m_min.x, 0.0f);
  EXPECT_EQ(m_sequence.m_curveEdit.m_max.x, 420.0f) << "the view spans the sequence's frames";

  // The second line (14 pixels down) is the sine's.
  m_gui.Click(ImVec2(m_origin.x + 40, m_origin.y + 20), row);
  EXPECT_TRUE(m_item->m_drivers[0]->m_bVisible);
  EXPECT_FALSE(m_item->m_drivers[1]->m_bVisible);
  m_gui.Click(ImVec2(m_origin.x + 40, m_origin.y + 20), row);
  EXPECT_TRUE(m_item->m_drivers[1]->m_bVisible);
  m_item->m_drivers[1]->m_bVisible = false;

  // F without the focus does nothing; with it the keys' range is fitted.
  m_gui.m_key = 70;
  m_gui.Frame(ImVec2(-1, -1), false, row);
  m_gui.m_key = -1;
  m_gui.Frame(ImVec2(-1, -1), false, row);
  EXPECT_EQ(m_sequence.m_curveEdit.m_max.y, 1.0f);
  m_sequence.m_focus = true;
  m_gui.m_key = 70;
  m_gui.Frame(ImVec2(-1, -1), false, row);
  EXPECT_NEAR(m_sequence.m_curveEdit.m_min.y, 0.9f, 1e-5f);
  EXPECT_NEAR(m_sequence.m_curveEdit.m_max.y, 3.1f, 1e-5f);
}

TEST_F(CurveView, TheCompactRowAndTheStacksStayBalanced) {
  auto row = [this] {
    const ImVec2 p = ImGui::GetCursorScreenPos();
    const ImRect rc(p, ImVec2(p.x + 400, p.y + 20));
    m_sequence.CustomDrawCompact(0, ImGui::GetWindowDrawList(), rc, rc);
    m_sequence.CustomDrawCompact(9, ImGui::GetWindowDrawList(), rc, rc);
  };
  int clipBefore = -1, clipAfter = -2;
  m_gui.Frame(ImVec2(-1, -1), false, [&] {
    clipBefore = ImGui::GetWindowDrawList()->_ClipRectStack.Size;
    row();
    Panel()();
    clipAfter = ImGui::GetWindowDrawList()->_ClipRectStack.Size;
  });
  EXPECT_EQ(clipAfter, clipBefore);
  EXPECT_EQ(GImGui->StyleVarStack.Size, 0);
  EXPECT_EQ(GImGui->ColorStack.Size, 0);
  EXPECT_GT(ImGui::GetDrawData()->TotalVtxCount, 0);
}

namespace {

// The vertices a range of a draw list's indices draws, in index order.
std::vector<ImDrawVert> IndexedVertices(const ImDrawList& list, int firstIndex, int lastIndex) {
  std::vector<ImDrawVert> out;
  for (int i = firstIndex; i < lastIndex; ++i) out.push_back(list.VtxBuffer[list.IdxBuffer[i]]);
  return out;
}

// Centres of the vertical bars of one colour: vertices within 6 pixels of
// each other belong to one bar.
std::vector<float> BarCentres(const std::vector<ImDrawVert>& vertices, ImU32 colour) {
  std::vector<float> xs;
  for (const ImDrawVert& v : vertices)
    if (v.col == colour) xs.push_back(v.pos.x);
  std::sort(xs.begin(), xs.end());
  std::vector<float> centres;
  for (size_t i = 0; i < xs.size();) {
    size_t j = i;
    while (j + 1 < xs.size() && xs[j + 1] - xs[i] < 6.0f) ++j;
    centres.push_back((xs[i] + xs[j]) / 2.0f);
    i = j + 1;
  }
  return centres;
}

}  // namespace

TEST_F(CurveView, TheCompactRowTicksEachKeyInItsWindowAtItsFrame) {
  // Keys at 0.5 s and 1 s (frames 150 and 180 of the sequence), one a frame
  // after the second (close: the other colour), one past the item's end.
  m_keys->SetKey(1.0f + 1.0f / 60.0f, 2.0f);
  m_keys->SetKey(400.0f / 60.0f, 2.0f);
  std::vector<ImDrawVert> drawn;
  float left = 0.0f;
  m_gui.Frame(ImVec2(-1, -1), false, [&] {
    ImDrawList* list = ImGui::GetWindowDrawList();
    const ImVec2 p = ImGui::GetCursorScreenPos();
    left = p.x;
    const ImRect rc(p, ImVec2(p.x + 420, p.y + 20));
    const int first = list->IdxBuffer.Size;
    m_sequence.CustomDrawCompact(0, list, rc, rc);
    drawn = IndexedVertices(*list, first, list->IdxBuffer.Size);
  });
  ASSERT_EQ(m_sequence.m_frameMax, 420);
  // 420 pixels for frames 0 to 420: a pixel a frame (lines run through
  // pixel centres, half a pixel on).
  const std::vector<float> ticks = BarCentres(drawn, 0xaa000000);
  ASSERT_EQ(ticks.size(), 2u);
  EXPECT_NEAR(ticks[0] - left, 150.5f, 0.25f);
  EXPECT_NEAR(ticks[1] - left, 180.5f, 0.25f);
  const std::vector<float> close = BarCentres(drawn, 0xff0000ff);
  ASSERT_EQ(close.size(), 1u);
  EXPECT_NEAR(close[0] - left, 181.5f, 0.25f);
}

TEST_F(CurveView, TheLegendNamesEachDriverByKindAndAttribute) {
  // The legend is drawn under its own clip rectangle: its command holds
  // exactly the text of its lines, which a reference list draws again.
  m_item->m_drivers[1]->m_bVisible = false;
  std::vector<ImDrawVert> legend, expected;
  m_gui.Frame(ImVec2(-1, -1), false, [&] {
    ImDrawList* list = ImGui::GetWindowDrawList();
    const ImVec2 p = ImGui::GetCursorScreenPos();
    const ImRect legendRect(p, ImVec2(p.x + 150, p.y + 130));
    const ImRect rc(ImVec2(p.x + 160, p.y), ImVec2(p.x + 600, p.y + 130));
    const int commands = list->CmdBuffer.Size;
    m_sequence.CustomDraw(0, list, rc, legendRect, rc, legendRect);
    for (int c = commands - 1; c < list->CmdBuffer.Size; ++c) {
      const ImDrawCmd& cmd = list->CmdBuffer[c];
      if (cmd.ClipRect.x == legendRect.Min.x && cmd.ClipRect.w == legendRect.Max.y && cmd.ElemCount > 0)
        legend = IndexedVertices(*list, int(cmd.IdxOffset), int(cmd.IdxOffset + cmd.ElemCount));
    }
    ImDrawList reference(ImGui::GetDrawListSharedData());
    reference._ResetForNewFrame();
    reference.PushClipRectFullScreen();
    reference.PushTextureID(ImGui::GetFont()->ContainerAtlas->TexID);
    reference.AddText(ImVec2(p.x + 15, p.y), GetDriverCurveColor(DriverKeyFrame), "KeyFrame Probe/Value");
    reference.AddText(ImVec2(p.x + 15, p.y + 14), 0x80ffffff, "Sinus FadeIn");
    expected = IndexedVertices(reference, 0, reference.IdxBuffer.Size);
  });
  ASSERT_FALSE(expected.empty());
  ASSERT_EQ(legend.size(), expected.size());
  for (size_t i = 0; i < legend.size(); ++i) {
    ASSERT_EQ(legend[i].pos.x, expected[i].pos.x) << i;
    ASSERT_EQ(legend[i].pos.y, expected[i].pos.y) << i;
    ASSERT_EQ(legend[i].uv.x, expected[i].uv.x) << i;
    ASSERT_EQ(legend[i].uv.y, expected[i].uv.y) << i;
    ASSERT_EQ(legend[i].col, expected[i].col) << i;
  }
}
