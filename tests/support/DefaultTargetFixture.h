// A GL test whose frame goes to a real "Default" render target of the given
// size, current and with its vector display, released (sequences first,
// then targets and the framebuffer pool) while the context still exists.
#pragma once
#include "render/RenderTarget.h"
#include "support/GLFixture.h"

class DefaultTargetTest : public GLTest {
 protected:
  DefaultTargetTest(int width, int height) : m_width(width), m_height(height) {}
  void SetUp() override;
  void TearDown() override;
  // Runs first in TearDown: owners of effects clear them here.
  virtual void ReleaseEffects() {}

  const int m_width, m_height;
};
