// Render-target effects: where the effects after them in a sequence draw.
//
// fxBufferDisplay owns a named RenderTarget sized from the target current at
// its Init and makes it current in every Update; later effects draw into it
// and texture slots sample it by the effect's Name (GetBuffer).
// fxBufferDefault switches back to "Default", or to the target that was
// current before the last buffer effect. fxBufferStencil gives the current
// target a depth-stencil texture and writes stencil 2 where its colour and
// depth lie in ranges, or leaves stencil writing on for what follows.
// Main thread only.
#pragma once
#include <glm/glm.hpp>

#include "sequence/fxBase.h"
#include "render/RenderTarget.h"

// Registers one of the editor's debug-view selectors ("None", "SlotL1" ..
// "SlotR4"); several effects carry them and nothing in the player reads them.
AttributeDesc* AddDebugSlotAttribute(ClassDesc* desc, const char* name, int offset);

class fxBufferDisplay : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxBufferDisplay(ClassDesc* desc);
  ~fxBufferDisplay() override;

  void Init() override;
  void Kill() override;
  void Update() override;
  virtual RenderTarget* GetBuffer();

  // The size Init gives the target for a current target of w x h.
  void ComputeSize(int currentWidth, int currentHeight, int& width, int& height) const;
  uint32_t FramebufferFlags() const;

  RenderTarget m_target;
  int m_colorFormat;  // "default", "8bits", "16bits", "32bits"
  glm::vec2 m_sizePixel;
  glm::vec2 m_sizeUnit;
  glm::vec4 m_backColor;
  bool m_interpColor;
  bool m_keepRatio;
  bool m_repeatUV;
  bool m_clear;
  int m_debugColor;
  int m_debugAlpha;
  int m_debugDepth;
};

// The texture slots' view of render-target effects (the render layer's
// EffectLink): the fxBufferDisplay called `name` in `scope` or, when absent
// there, in the sequences embedding it; `kept` stays while its name matches,
// and whenever there is no scope.
fxBase* FindBufferEffect(rvSequence* scope, const std::string& name, fxBase* kept);
// The target of an fxBufferDisplay; with `running`, only while it runs.
RenderTarget* BufferEffectTarget(fxBase* effect, bool running);

class fxBufferDefault : public fxBase {
 public:
  enum Mode { ResetToDefault = 0, UnbindToPrevious = 1 };

  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxBufferDefault(ClassDesc* desc);
  void Update() override;

  int m_debugColor;
  int m_debugAlpha;
  int m_debugDepth;
  int m_mode;
};

class fxBufferStencil : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxBufferStencil(ClassDesc* desc);
  void Update() override;

  int m_debugIn;
  int m_debugOut;
  bool m_clear;
  bool m_keepWriting;
  bool m_writeRangeEnabled;
  glm::vec4 m_colorI;
  glm::vec4 m_colorF;
  float m_depthI;
  float m_depthF;

 private:
  void RunRangePass();
};
