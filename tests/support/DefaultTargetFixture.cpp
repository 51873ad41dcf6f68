#include "support/DefaultTargetFixture.h"

#include "render/Framebuffer.h"
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
