// Demo-wide parameters: the published instance is never null, follows the
// last instance initialised and falls back to the static default.
#include <gtest/gtest.h>

#include <memory>

#include "effects/sequencing/fxDemoGlobalParams.h"
#include "sequence/ClassRegistry.h"
#include "sequence/rvSequence.h"

namespace {

std::unique_ptr<fxDemoGlobalParams> MakeParams() {
  return std::unique_ptr<fxDemoGlobalParams>(
      static_cast<fxDemoGlobalParams*>(fxDemoGlobalParams::Create(fxDemoGlobalParams::GetClassDesc())));
}

}  // namespace

TEST(DemoGlobalParams, TheDefaultIsPublishedFromTheStart) {
  ASSERT_NE(g_pDemoGlobalParams, nullptr);
  EXPECT_EQ(g_pDemoGlobalParams->m_monochromeColor, glm::vec4(1.0f, 1.0f, 1.0f, 1.0f));
  EXPECT_EQ(g_pDemoGlobalParams->m_name, "fxDemoGlobalParams");
  EXPECT_EQ(g_pDemoGlobalParams->m_state, StateNone);
  EXPECT_EQ(g_pDemoGlobalParams->m_end, 600);
  // The default registered the one attribute before any registry existed.
  ASSERT_EQ(fxDemoGlobalParams::GetClassDesc()->m_attributes.size(), 1u);
}

TEST(DemoGlobalParams, RegisteringAgainAddsNothing) {
  fxDemoGlobalParams::RegisterAttributes();
  ClassDesc* desc = fxDemoGlobalParams::RegisterAttributes();
  ASSERT_EQ(desc->m_attributes.size(), 1u);
  EXPECT_EQ(desc->m_attributes[0]->m_name, "MonochromeColor");
  EXPECT_EQ(desc->m_attributes[0]->m_type, AttrRGBA);
}

TEST(DemoGlobalParams, TheLastInitialisedIsPublishedAndAnyKillRestoresTheDefault) {
  fxDemoGlobalParams* const fallback = g_pDemoGlobalParams;
  auto first = MakeParams();
  auto second = MakeParams();
  EXPECT_EQ(first->m_monochromeColor, glm::vec4(1.0f));

  first->SetState(StateInitialized);
  EXPECT_EQ(g_pDemoGlobalParams, first.get());
  second->SetState(StateInitialized);
  EXPECT_EQ(g_pDemoGlobalParams, second.get());
  // Killing the one not published still publishes the default.
  first->SetState(StateNone);
  EXPECT_EQ(g_pDemoGlobalParams, fallback);

  second->SetState(StateRunning);
  EXPECT_EQ(g_pDemoGlobalParams, fallback);  // Init ran long ago; only Kill and Init move it
  second->SetState(StateNone);
  second->SetState(StateInitialized);
  EXPECT_EQ(g_pDemoGlobalParams, second.get());
  second.reset();
  EXPECT_EQ(g_pDemoGlobalParams, fallback);
}

TEST(DemoGlobalParams, AColourInTheSequenceIsPublishedOnLoadWithInit) {
  GetClassRegistry();
  Json::Value root;
  Json::Value& item = root["Items"].append(Json::Value(Json::objectValue));
  item["Class"] = "fxDemoGlobalParams";
  item["Properties"]["MonochromeColor.g"] = 0.5;
  item["Properties"]["MonochromeColor.b"] = 0.0;
  item["Properties"]["Start"] = 600;
  item["Properties"]["End"] = 900;

  rvSequence sequence(0);
  sequence.LoadItems(root, true);
  ASSERT_EQ(sequence.m_items.size(), 1u);
  EXPECT_EQ(g_pDemoGlobalParams, sequence.m_items[0]);
  EXPECT_EQ(g_pDemoGlobalParams->m_monochromeColor, glm::vec4(1.0f, 0.5f, 0.0f, 1.0f));
  sequence.Clear();
  EXPECT_EQ(g_pDemoGlobalParams->m_monochromeColor, glm::vec4(1.0f));
}

TEST(DemoGlobalParams, DeletingAnInstanceThatWasNeverInitialisedKeepsThePublishedOne) {
  auto live = MakeParams();
  live->SetState(StateInitialized);
  MakeParams().reset();  // read from a file only to be looked at, then deleted
  EXPECT_EQ(g_pDemoGlobalParams, live.get());
  live.reset();
  EXPECT_EQ(g_pDemoGlobalParams->m_state, StateNone);
  EXPECT_EQ(g_pDemoGlobalParams->m_monochromeColor, glm::vec4(1.0f));
}
