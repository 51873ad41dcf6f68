// The sequence's editor slots, without a GUI: classes and colours by
// registry index, windows moved and resized within the frame range, items
// moved in the list with their selection, added after the selection and
// deleted without leaving the selection or the curve view behind, and the
// fade ramps an item's row shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/ClassDesc.h"
#include "sequence/fxBase.h"
#include "sequence/ClassRegistry.h"
#include "sequence/Driver.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/rvSequence.h"
#include "support/HeadlessGui.h"
#include "support/ProbeEffect.h"

namespace {

// A key-frame driver on the probe's value with keys (time, value).
KeyFrameDriver* AddKeys(fxBase* fx, std::vector<std::pair<float, float>> keys) {
  auto* driver = static_cast<KeyFrameDriver*>(
      CreateDriver(fx, DriverKeyFrame, fx->m_classDesc->FindAttribute("Probe/Value")));
  driver->_eInterpolation = InterpLinear;
  for (const auto& k : keys) driver->SetKey(k.first, k.second);
  fx->m_drivers.push_back(driver);
  return driver;
}

std::string Order(const rvSequence& sequence) {
  std::string names;
  for (const fxBase* fx : sequence.m_items) names += fx->m_name;
  return names;
}

std::set<std::string> SelectedNames(const rvSequence& sequence) {
  std::set<std::string> names;
  for (int i : sequence.m_selection) names.insert(sequence.m_items[i]->m_name);
  return names;
}

}  // namespace

TEST(SequenceEditor, ClassesAreFoundByNameAndIndex) {
  rvSequence sequence(0);
  EXPECT_EQ(sequence.GetClassCount(), static_cast<int>(GetClassRegistry().size()));
  struct Case {
    const char* name;
    int index;
  };
  const Case cases[] = {{"fxBase", 0}, {"fxSequence", 1}, {"fxReference", 5}, {"fxsequence", -1}, {"", -1}};
  for (const Case& c : cases) {
    EXPECT_EQ(sequence.GetClassIndex(c.name), c.index) << c.name;
    if (c.index >= 0) {
      EXPECT_STREQ(sequence.GetClassName(c.index), c.name);
    }
  }
  EXPECT_EQ(sequence.GetClassIndex(nullptr), -1);
  EXPECT_STREQ(sequence.GetClassName(-1), "");
  EXPECT_STREQ(sequence.GetClassName(sequence.GetClassCount()), "");
}

TEST(SequenceEditor, AnItemsColourFollowsItsRegistryIndex) {
  struct Case {
    int registryIndex;
    unsigned int colour;
  };
  const Case cases[] = {{0, 0xff90a0d6}, {1, 0xff1e3bfe}, {19, 0xff00959b}, {23, 0xffccfd08},
                        {24, 0xff90a0d6}, {30, 0xffec024f}, {-1, 0xff90a0d6}};
  for (const Case& c : cases) {
    ClassDesc desc("fxColourProbe", fxBase::GetClassDesc(), nullptr);
    desc.m_registryIndex = c.registryIndex;
    rvSequence sequence(0);
    fxBase* fx = new fxBase(&desc);
    fx->m_start = 10;
    fx->m_end = 70;
    sequence.AppendItem(fx);
    int* start = nullptr;
    int* end = nullptr;
    int classIndex = -2;
    unsigned int colour = 0;
    sequence.GetItem(0, &start, &end, &classIndex, &colour);
    EXPECT_EQ(colour, c.colour) << c.registryIndex;
    EXPECT_EQ(classIndex, c.registryIndex);
    EXPECT_EQ(start, &fx->m_start);
    EXPECT_EQ(end, &fx->m_end);
    sequence.GetItem(0, nullptr, nullptr, nullptr, nullptr);  // every output is optional
    colour = 1;
    sequence.GetItem(1, nullptr, nullptr, nullptr, &colour);
    EXPECT_EQ(colour, 1u) << "an index out of range gives nothing";
    sequence.Clear();
  }
}

TEST(SequenceEditor, LabelsAndEnabledFlags) {
  rvSequence sequence(0);
  AddProbe(sequence, "a", 0, 60);
  EXPECT_STREQ(sequence.GetItemLabel(0), "a");
  EXPECT_STREQ(sequence.GetItemLabel(3), "");
  EXPECT_TRUE(sequence.IsItemEnabled(0));
  sequence.SetItemEnabled(0, false);
  EXPECT_FALSE(sequence.IsItemEnabled(0));
  sequence.SetItemEnabled(-1, true);
  EXPECT_FALSE(sequence.IsItemEnabled(-1));
  EXPECT_EQ(sequence.GetItemCount(), 1);
  sequence.Clear();
}

TEST(SequenceEditor, StartAndEndEditsStayInsideTheRange) {
  struct Case {
    bool end;  // SetItemEnd, else SetItemStart
    int frameMin;
    int delta;
    int change;
    int start, stop;  // the window afterwards
  };
  // The item spans 100..200; another item makes the frame max 300.
  const Case cases[] = {
      {false, 0, -1000, -100, 0, 200},   {false, 50, -80, -50, 50, 200}, {false, 0, 50, 50, 150, 200},
      {false, 0, 1000, 99, 199, 200},    {true, 0, 1000, 100, 100, 300}, {true, 0, -1000, -99, 100, 101},
      {true, 0, 20, 20, 100, 220},       {false, 0, INT32_MIN, -100, 0, 200}, {true, 0, INT32_MAX, 100, 100, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.end) + " " + std::to_string(c.delta));
    rvSequence sequence(0);
    fxProbe* item = AddProbe(sequence, "i", 100, 200);
    AddProbe(sequence, "range", 0, 300);
    sequence.m_frameMin = c.frameMin;
    const int change = c.end ? sequence.SetItemEnd(0, c.delta) : sequence.SetItemStart(0, c.delta);
    EXPECT_EQ(change, c.change);
    EXPECT_EQ(item->m_start, c.start);
    EXPECT_EQ(item->m_end, c.stop);
    EXPECT_EQ(sequence.SetItemStart(2, 5), 0);
    EXPECT_EQ(sequence.SetItemEnd(-1, 5), 0);
    sequence.Clear();
  }
}

TEST(SequenceEditor, ShiftingKeepsTheLengthAndStopsAtBothEnds) {
  struct Case {
    int frameMin;
    int delta;
    int shift;
    int start, stop;
  };
  const Case cases[] = {{0, -1000, -100, 0, 100},  {20, -1000, -80, 20, 120}, {0, -30, -30, 70, 170},
                        {0, 30, 30, 130, 230},     {0, 1000, 100, 200, 300},  {0, INT32_MAX, 100, 200, 300},
                        {0, INT32_MIN, -100, 0, 100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.delta);
    rvSequence sequence(0);
    fxProbe* item = AddProbe(sequence, "i", 100, 200);
    AddProbe(sequence, "range", 0, 300);
    sequence.m_frameMin = c.frameMin;
    EXPECT_EQ(sequence.ShiftItem(0, c.delta), c.shift);
    EXPECT_EQ(item->m_start, c.start);
    EXPECT_EQ(item->m_end, c.stop);
    EXPECT_EQ(sequence.ShiftItem(5, 10), 0);
    sequence.Clear();
  }
}

TEST(SequenceEditor, MovingToTheCurrentTimeKeepsTheLength) {
  rvSequence sequence(0);
  fxProbe* item = AddProbe(sequence, "i", 100, 200);
  sequence.m_time = 2.5f;
  EXPECT_EQ(sequence.MoveItemToCurrentTime(0), 50);
  EXPECT_EQ(item->m_start, 150);
  EXPECT_EQ(item->m_end, 250);
  EXPECT_EQ(sequence.MoveItemToCurrentTime(1), 0);
  sequence.Clear();
}

TEST(SequenceEditor, MovingInTheListCarriesTheSelection) {
  struct Case {
    int index, delta;
    bool keep;
    std::vector<int> selection;
    const char* order;
    int steps;
    std::vector<int> selectionAfter;
  };
  const Case cases[] = {
      {3, -1, true, {3}, "abdc", -1, {2}},
      {3, -1, false, {3}, "abdc", -1, {3}},
      {0, 2, true, {0, 2}, "bcad", 2, {2, 1}},
      {0, 10, true, {1}, "bcda", 3, {0}},
      {2, -10, true, {0, 2}, "cabd", -2, {1, 0}},
      {1, 0, true, {1}, "abcd", 0, {1}},
      {4, -1, true, {0}, "abcd", 0, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.index) + " by " + std::to_string(c.delta));
    rvSequence sequence(0);
    for (const char* name : {"a", "b", "c", "d"}) AddProbe(sequence, name, 0, 60);
    sequence.m_selection = c.selection;
    const std::set<std::string> selectedBefore = SelectedNames(sequence);
    EXPECT_EQ(sequence.MoveItemInList(c.index, c.delta, c.keep), c.steps);
    EXPECT_EQ(Order(sequence), c.order);
    EXPECT_EQ(sequence.m_selection, c.selectionAfter);
    if (c.keep) {
      EXPECT_EQ(SelectedNames(sequence), selectedBefore);
    }
    sequence.Clear();
  }
}

TEST(SequenceEditor, FirstAndLastSelectedAreTheEarliestStartAndTheLatestEnd) {
  rvSequence sequence(0);
  AddProbe(sequence, "a", 100, 200);
  AddProbe(sequence, "b", 50, 300);
  AddProbe(sequence, "c", 50, 300);
  AddProbe(sequence, "d", 10, 20);
  struct Case {
    std::vector<int> list;
    int first, last;
  };
  const Case cases[] = {{{0, 1, 2}, 1, 1}, {{2, 1}, 2, 2}, {{0, 3}, 3, 0}, {{9, -1}, -1, -1}, {{}, -1, -1},
                        {{7, 0}, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(sequence.GetFirstSelected(c.list), c.first) << testing::PrintToString(c.list);
    EXPECT_EQ(sequence.GetLastSelected(c.list), c.last) << testing::PrintToString(c.list);
  }
  sequence.Clear();
}

// The effect is in the sequence when its Init runs, so classes that look
// around their sequence while initialising find it.
TEST(SequenceEditor, AnAddedItemJoinsTheSequenceBeforeItsInitAndFollowsTheSelection) {
  rvSequence sequence(0);
  for (const char* name : {"a", "b", "c"}) AddProbe(sequence, name, 0, 60);
  const int probeClass = sequence.GetClassIndex("fxProbe");
  ASSERT_GE(probeClass, 0);
  sequence.m_time = 2.5f;
  sequence.m_selection = {0, 1};
  const int index = sequence.AddItem(probeClass);
  ASSERT_EQ(index, 2);
  auto* added = static_cast<fxProbe*>(sequence.m_items[2]);
  EXPECT_EQ(added->m_name, "fxProbe");
  EXPECT_EQ(added->m_state, StateInitialized);
  EXPECT_EQ(added->m_ownerAtInit, &sequence);
  EXPECT_EQ(added->m_start, 150);
  EXPECT_EQ(added->m_end, 750);
  EXPECT_EQ(Order(sequence), "abfxProbec");
  EXPECT_EQ(SelectedNames(sequence), (std::set<std::string>{"a", "b"}));

  // Without a selection the new item stays last.
  sequence.m_selection.clear();
  EXPECT_EQ(sequence.AddItem(probeClass), 4);
  EXPECT_EQ(sequence.AddItem(-1), -1);
  EXPECT_EQ(sequence.AddItem(sequence.GetClassCount()), -1);
  EXPECT_EQ(sequence.GetItemCount(), 5);
  sequence.Clear();
}

TEST(SequenceEditor, DeletingLowersTheFrameMaxAndLetsGoOfTheDeletedItem) {
  rvSequence sequence(0);
  AddProbe(sequence, "a", 0, 100);
  fxProbe* b = AddProbe(sequence, "b", 0, 500);
  AddProbe(sequence, "c", 0, 200);
  AddProbe(sequence, "d", 0, 50);
  ASSERT_EQ(sequence.GetFrameMax(), 500);
  sequence.m_selection = {3, 1, 2};
  sequence.m_curveEdit.m_currentItem = b;
  b->SetState(StateInitialized);

  EXPECT_EQ(sequence.DeleteItem(1), 200);
  EXPECT_EQ(sequence.GetFrameMax(), 200);
  EXPECT_EQ(Order(sequence), "acd");
  EXPECT_EQ(sequence.m_curveEdit.m_currentItem, nullptr);
  EXPECT_EQ(sequence.m_selection, (std::vector<int>{2, 1}));
  EXPECT_EQ(SelectedNames(sequence), (std::set<std::string>{"c", "d"}));
  EXPECT_EQ(ProbeCalls("b"), "Init Kill Delete");
  EXPECT_EQ(sequence.m_curveEdit.GetCurveCount(), 0);

  // Deleting another item leaves the curve view's item alone.
  sequence.m_curveEdit.m_currentItem = sequence.m_items[0];
  EXPECT_EQ(sequence.DeleteItem(2), 200);
  EXPECT_EQ(sequence.m_curveEdit.m_currentItem, sequence.m_items[0]);
  EXPECT_EQ(sequence.DeleteItem(7), 0);
  EXPECT_EQ(sequence.GetItemCount(), 2);

  // A reload clears the list: the curve view lets go too.
  sequence.LoadItems(Json::Value(), false);
  EXPECT_EQ(sequence.m_curveEdit.m_currentItem, nullptr);
  EXPECT_TRUE(sequence.m_selection.empty());
}

TEST(SequenceEditor, ExpandedRowsAreTallerByTheirDrivers) {
  rvSequence sequence(0);
  fxProbe* a = AddProbe(sequence, "a", 0, 60);
  AddKeys(a, {{0.0f, 1.0f}});
  AddKeys(a, {{0.0f, 2.0f}});
  AddKeys(a, {{0.0f, 3.0f}});
  EXPECT_EQ(sequence.GetCustomHeight(0), 0u);
  a->m_expanded = true;
  EXPECT_EQ(sequence.GetCustomHeight(0), 142u);
  EXPECT_EQ(sequence.GetCustomHeight(1), 0u);
  sequence.Clear();
}

TEST(SequenceEditor, ADoubleClickExpandsOneRowAndFitsItsCurves) {
  rvSequence sequence(0);
  fxProbe* a = AddProbe(sequence, "a", 0, 60);
  fxProbe* b = AddProbe(sequence, "b", 0, 120);
  AddKeys(b, {{0.0f, 0.0f}, {2.0f, 10.0f}});
  a->m_expanded = true;
  sequence.DoubleClick(1);
  EXPECT_FALSE(a->m_expanded);
  EXPECT_TRUE(b->m_expanded);
  EXPECT_EQ(sequence.m_curveEdit.m_currentItem, b);
  EXPECT_FLOAT_EQ(sequence.m_curveEdit.m_min.y, -0.5f);
  EXPECT_FLOAT_EQ(sequence.m_curveEdit.m_max.y, 10.5f);
  sequence.DoubleClick(1);
  EXPECT_FALSE(b->m_expanded);
  sequence.DoubleClick(4);
  sequence.Clear();
}

// Fade ramps over a row that spans the item's window: 121 frames over 121
// pixels, so a frame is a pixel.
TEST(SequenceEditor, FadeRampsRiseAndFallOverTheRow) {
  HeadlessGui gui;
  rvSequence sequence(0);
  fxProbe* item = AddProbe(sequence, "a", 60, 180);
  struct Case {
    float fadeIn, fadeOut;
    std::vector<ImVec2> corners;
  };
  const Case cases[] = {
      {0.5f, 1.0f, {{0, 19}, {30, 3}, {30, 19}, {120, 19}, {60, 3}, {60, 19}}},
      {0.0f, 0.25f, {{120, 19}, {105, 3}, {105, 19}}},
      {-1.0f, 0.0f, {}},
  };
  for (const Case& c : cases) {
    item->m_fadeIn = c.fadeIn;
    item->m_fadeOut = c.fadeOut;
    ImDrawList list(ImGui::GetDrawListSharedData());
    list._ResetForNewFrame();
    list.Flags = ImDrawListFlags_None;  // no anti-aliasing fringe: three corners a triangle
    list.PushClipRectFullScreen();
    DrawFadeRamps(&list, ImRect(0, 0, 121, 20), item);
    ASSERT_EQ(list.VtxBuffer.Size, static_cast<int>(c.corners.size())) << c.fadeIn;
    for (int i = 0; i < list.VtxBuffer.Size; ++i) {
      EXPECT_FLOAT_EQ(list.VtxBuffer[i].pos.x, c.corners[i].x) << i;
      EXPECT_FLOAT_EQ(list.VtxBuffer[i].pos.y, c.corners[i].y) << i;
      EXPECT_EQ(list.VtxBuffer[i].col, 0x80ffffffu);
    }
  }
  sequence.Clear();
}
