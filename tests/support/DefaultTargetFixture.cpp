#include "support/DefaultTargetFixture.h"

#include <memory>

#include "render/Framebuffer.h"
#include "sequence/ClassRegistry.h"

Json::Value ParseJson(const std::string& text) {
  Json::Value value;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, &errors)) << errors;
  return value;
}

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
