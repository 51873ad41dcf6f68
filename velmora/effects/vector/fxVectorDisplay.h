// fxVectorDisplay: the vector display's look as part of the timeline. While
// it runs it writes its own settings block (decay, thickness, colour, fog,
// culling, import and export modes) onto the current render target's vector
// display, easing them in during its fade-in from the values the display had
// when the effect started, and flushes the display every frame with a decay
// history of its own. Placed after the effects that draw vector geometry, it
// decides which geometry gets these settings and this history.
//
// Depends on the vector display (render/VectorDisplay.h). Owns its history's
// GL objects from Start to Stop. Settings written onto a display stay there
// after the effect stops. Main thread only.
#pragma once
#include "sequence/fxBase.h"
#include "render/VectorDisplay.h"

class fxVectorDisplay : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxVectorDisplay(ClassDesc* desc);
  ~fxVectorDisplay() override;

  void Start() override;
  void Stop() override;
  void Update() override;

  // The settings a display gets at fade factor f (0..1) of the fade-in: the
  // continuous values between `start` and `own`, the switches and modes of
  // `own`, the display's current thickness and colour from `current`.
  static VectorDisplaySettings Blend(const VectorDisplaySettings& current, const VectorDisplaySettings& start,
                                     const VectorDisplaySettings& own, float f);

  VectorDisplaySettings m_startSettings;  // the display's, when the effect started
  VectorDisplaySettings m_settings;       // the attributes' targets
  VectorHistory m_history;
  // Debug selections of an editor; nothing in the player reads them.
  int m_debugColor;
  int m_debugAlpha;
  int m_debugGlow;
  int m_debugDepth;
};
