// fxPostColorBasic: a simple colour pass over the current target: multiply
// and add a colour, a gamma curve and a vignette, applied to every pixel or
// weighted by alpha, with a choice of what is written into alpha.
//
// Depends on the shared post pass (fxPostPass.h). Owns its program, built at
// its first bind and rebuilt when an alpha mode changes (they are program
// constants). Main thread only.
#pragma once
#include <glm/glm.hpp>

#include "sequence/fxBase.h"
#include "effects/post/fxPostPass.h"

class shPostColorBasic : public shPostPass {
 public:
  shPostColorBasic();
  void Build() override;
  // Sets the alpha modes, copies the target and binds it, uploads the values.
  void Bind() override;

  PassUniform<int> m_framebuffer;  // unit 0
  PassUniform<glm::vec3> m_colorMul;
  PassUniform<glm::vec3> m_colorAdd;
  PassUniform<float> m_gamma;
  PassUniform<float> m_vignette;
  int m_alphaProcess;  // ALPHA_PROCESS: 0 all pixels, 1 where alpha < 1, 2 where alpha > 0
  int m_alphaClear;    // ALPHA_CLEAR: 0 keep, 1 zero, 2 one, 3 inverted
  // Editor slots with no behaviour.
  int m_debugAlphai;
  int m_debugColori;
  int m_debugAlphaf;
  int m_debugColorf;
};

class fxPostColorBasic : public fxBase {
 public:
  static ClassDesc* GetClassDesc();
  static fxBase* Create(ClassDesc* desc);
  static ClassDesc* RegisterAttributes();

  explicit fxPostColorBasic(ClassDesc* desc);
  ~fxPostColorBasic() override;

  void Update() override;

  shPostColorBasic m_program;
};
