// A GL test whose frame goes to a real "Default" render target of the given
// size, current and with its vector display, with a sequence that owns the
// effects the test makes from sequence items. Everything is released
// (effects first, then targets and the framebuffer pool) while the context
// still exists.
#pragma once
#include <json/json.h>

#include <string>

#include "render/RenderTarget.h"
#include "sequence/rvSequence.h"
#include "support/GLFixture.h"
#include "support/JsonText.h"

class fxBase;

class DefaultTargetTest : public GLTest {
 protected:
  DefaultTargetTest(int width, int height) : m_width(width), m_height(height) {}
  void SetUp() override;
  void TearDown() override;
  // Runs first in TearDown; the default clears m_sequence.
  virtual void ReleaseEffects() { m_sequence.Clear(); }

  // Creates the effect a sequence item names, through the registry, and
  // appends it to m_sequence; null when the registry makes nothing.
  fxBase* AddItem(const Json::Value& item);
  // AddItem for an item of the class with these properties (a JSON object),
  // its window two seconds without fades unless the properties say
  // otherwise, taken to the running state.
  fxBase* AddRunning(const std::string& className, const std::string& properties);
  // One frame of the effect at local time t; the current vector display
  // holds only this frame's geometry afterwards.
  static void Frame(fxBase* fx, float t);

  const int m_width, m_height;
  rvSequence m_sequence{0};
};
