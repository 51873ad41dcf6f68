// fxDemoGlobalParams: values shared by several effects across the whole
// production (the monochrome tint of the VHS pass). Readers go through
// g_pDemoGlobalParams, which points at the initialised instance of the
// sequence, or at a static default instance when there is none, so it is
// never null. Depends on fxBase; owns nothing.
#pragma once
#include <glm/glm.hpp>

#include "sequence/fxBase.h"

class fxDemoGlobalParams : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxDemoGlobalParams(ClassDesc* desc);
  ~fxDemoGlobalParams() override;

  void Init() override;
  void Kill() override;

  glm::vec4 m_monochromeColor;  // r, g, b, a
};

// The published parameters: never null.
extern fxDemoGlobalParams* g_pDemoGlobalParams;
