// EffectLink: see EffectLink.h.
#include "render/EffectLink.h"

EffectLink& GetEffectLink() {
  static EffectLink link;
  return link;
}

float LinkedEffectTime(int timeSource) {
  const EffectLink& link = GetEffectLink();
  return link.currentTime ? link.currentTime(timeSource) : 0.0f;
}

float LinkedEffectFade() {
  const EffectLink& link = GetEffectLink();
  return link.currentFade ? link.currentFade() : 1.0f;
}

fxBase* LinkedBuffer(rvSequence* scope, const std::string& name, fxBase* kept) {
  const EffectLink& link = GetEffectLink();
  return link.findBuffer ? link.findBuffer(scope, name, kept) : kept;
}

RenderTarget* LinkedBufferTarget(fxBase* effect, bool running) {
  const EffectLink& link = GetEffectLink();
  return effect && link.bufferOf ? link.bufferOf(effect, running) : nullptr;
}
