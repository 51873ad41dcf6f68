#include "support/DefaultTargetFixture.h"

#include "sequence/fxBase.h"
#include "render/Framebuffer.h"
#include "render/VectorDisplay.h"
#include "sequence/ClassRegistry.h"

void DefaultTargetTest::SetUp() {
  GLTest::SetUp();
  if (HasFatalFailure()) return;
  g_defaultRenderTarget.Create("Default", m_width, m_height, kDefaultTargetFlags, kDefaultFramebufferFlags);
  BindRenderTarget(&g_defaultRenderTarget, true);
}

void DefaultTargetTest::TearDown() {
  ReleaseEffects();
  g_pCurrentRenderTarget = nullptr;
  g_pCurrentVectorDisplay = nullptr;
  g_defaultRenderTarget.Destroy(true);
  ReleaseFramebufferPool();
  GLTest::TearDown();
}

fxBase* DefaultTargetTest::AddItem(const Json::Value& item) {
  fxBase* fx = CreateFxFromJson(GetClassRegistry(), item, &m_sequence);
  if (fx) m_sequence.AppendItem(fx);
  return fx;
}

fxBase* DefaultTargetTest::AddRunning(const std::string& className, const std::string& properties) {
  Json::Value item = ParseJson("{\"Class\":\"" + className + "\",\"Properties\":" + properties + "}");
  Json::Value& props = item["Properties"];
  const std::pair<const char*, double> window[] = {{"Start", 0}, {"End", 120}, {"FadeIn", 0}, {"FadeOut", 0}};
  for (const auto& [key, value] : window)
    if (!props.isMember(key)) props[key] = value;
  fxBase* fx = AddItem(item);
  if (fx) fx->SetState(StateRunning);
  return fx;
}

void DefaultTargetTest::Frame(fxBase* fx, float t) {
  if (g_pCurrentVectorDisplay) g_pCurrentVectorDisplay->ClearGeometry();
  fx->m_seekTime = t;
  fx->ExternalUpdate();
}
