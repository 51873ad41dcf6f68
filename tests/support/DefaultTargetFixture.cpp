#include "support/DefaultTargetFixture.h"

#include "render/Framebuffer.h"

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
