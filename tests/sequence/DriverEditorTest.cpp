// Driver editor panels in a headless GUI context (no window, no GL): the
// panels keep their ID and colour stacks balanced, and their widgets edit the
// driver they belong to when clicked.
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <functional>
#include <memory>

#include "DriverTestFx.h"
#include "support/HeadlessGui.h"
#include "platform/CRand.h"
#include "sequence/DriverExpression.h"
#include "sequence/DriverKeyFrame.h"
#include "sequence/DriverProcedural.h"

namespace {

template <class T>
std::unique_ptr<T> Make(DriverTestFx& fx, DriverType type, const char* attribute = "Value") {
  return std::unique_ptr<T>(static_cast<T*>(CreateDriver(&fx, static_cast<uint8_t>(type), fx.Attr(attribute))));
}

TEST(DriverEditor, EveryPanelLeavesTheStacksBalanced) {
  HeadlessGui gui;
  DriverTestFx fx;
  std::vector<std::unique_ptr<NoneDriver>> drivers;
  for (int interpolation : {InterpSpline, InterpBounce, InterpEasyIn}) {
    for (const char* attribute : {"Value", "Ranged"}) {
      auto keys = Make<KeyFrameDriver>(fx, DriverKeyFrame, attribute);
      keys->_eInterpolation = interpolation;
      keys->_aKeys = {{0.0f, 1.0f, 0}, {1.0f, 2.0f, 77}};
      drivers.emplace_back(keys.release());
    }
  }
  auto sine = Make<SinusDriver>(fx, DriverSinus);
  sine->_Count = 4;
  drivers.emplace_back(sine.release());
  drivers.emplace_back(Make<TriangleDriver>(fx, DriverTriangle, "Ranged").release());
  drivers.emplace_back(Make<NoiseDriver>(fx, DriverNoise).release());
  drivers.emplace_back(Make<VariableDriver>(fx, DriverVariable).release());
  auto expression = Make<ExpressionDriver>(fx, DriverExpression);
  expression->_sExpression = "a*x + b";
  expression->Evaluate(0.0f);
  drivers.emplace_back(expression.release());

  for (const auto& d : drivers) {
    int idDepth = -1, colourDepth = -1;
    gui.Frame(ImVec2(5, 5), false, [&] {
      d->DrawEditor();
      idDepth = ImGui::GetCurrentWindow()->IDStack.Size;
      colourDepth = GImGui->ColorStack.Size;
    });
    EXPECT_EQ(idDepth, 1) << d->GetType();
    EXPECT_EQ(colourDepth, 0) << d->GetType();
    EXPECT_GT(ImGui::GetDrawData()->TotalVtxCount, 0) << d->GetType();
  }
}

TEST(DriverEditor, CreateKeyButtonRecordsTheAttribute) {
  HeadlessGui gui;
  DriverTestFx fx;
  auto d = Make<KeyFrameDriver>(fx, DriverKeyFrame);
  fx.m_localTime = 0.5f;
  fx.value = 3.0f;
  auto panel = [&] { d->DrawEditor(); };
  ImVec2 at;
  ASSERT_TRUE(gui.Find(gui.IdOf("Create Key"), panel, at));
  EXPECT_TRUE(d->_aKeys.empty());  // hovering alone does nothing
  gui.Click(at, panel);
  ASSERT_EQ(d->_aKeys.size(), 1u);
  EXPECT_EQ(d->_aKeys[0].time, 0.5f);
  EXPECT_EQ(d->_aKeys[0].value, 3.0f);
}

TEST(DriverEditor, RandomValuesButtonDrawsNewTerms) {
  HeadlessGui gui;
  DriverTestFx fx;
  auto d = Make<SinusDriver>(fx, DriverSinus);
  auto panel = [&] { d->DrawEditor(); };
  ImVec2 at;
  ASSERT_TRUE(gui.Find(gui.IdOf("Random Values"), panel, at));
  platform::CSRand(1);
  gui.Click(at, panel);
  EXPECT_EQ(d->_Period[0], 41.0f * 8.0f / 32768.0f + 1.0f);  // first draw of the generator
  for (int k = 0; k < 4; ++k) {
    EXPECT_GE(d->_Period[k], 1.0f);
    EXPECT_LT(d->_Period[k], 9.0f);
    EXPECT_GE(d->_AmplitudeFactor[k], 0.1f);
    EXPECT_LT(d->_AmplitudeFactor[k], 1.0f);
  }
}

TEST(DriverEditor, UserVariableSliderFeedsTheFormula) {
  HeadlessGui gui;
  DriverTestFx fx;
  auto d = Make<ExpressionDriver>(fx, DriverExpression);
  d->_sExpression = "a + x";
  EXPECT_EQ(d->Evaluate(1.0f), 1.0f);
  auto panel = [&] { d->DrawEditor(); };
  ImVec2 at;
  ASSERT_TRUE(gui.Find(gui.IdOf("a", 0), panel, at, true));
  gui.Click(at, panel);  // the right end of the slider is its maximum, 10
  EXPECT_EQ(d->m_userVars[0].value, 10.0f);
  EXPECT_EQ(d->Evaluate(1.0f), 11.0f);
}

}  // namespace
