// Blend modes shared by the effects. See EffectBlend.h.
#include "effects/EffectBlend.h"

#include <glad/gl.h>

void ApplyEffectBlend(int mode, AlphaEquation alpha) {
  if (mode == BlendCopy) glDisable(GL_BLEND); else glEnable(GL_BLEND);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  const GLenum color = mode == BlendMax ? GL_MAX : GL_FUNC_ADD;
  glBlendEquationSeparate(color, alpha == AlphaEquation::Max ? GL_MAX : color);
  if (mode == BlendAlpha)
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  else
    glBlendFunc(GL_ONE, GL_ONE);
}
