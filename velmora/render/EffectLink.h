// EffectLink: what the render layer asks of the effects it draws for.
//
// Effects, their sequences and the render-target effects live in the layers
// above this one. Render code still needs a little of them: the clocks and
// the fade of the effect being drawn (program uniforms) and the buffer of a
// render-target effect that a texture slot names. It asks through these
// hooks, which the layer that knows the effects fills once at start-up
// (ConnectEngineEffects). Unset, there is no current effect (time 0, fade 1)
// and no render-target effect is found. Effects and sequences are opaque
// here: render code only holds and hands back pointers to them.
#pragma once
#include <string>

class fxBase;
class rvSequence;
struct RenderTarget;

struct EffectLink {
  // Seconds on one of the effect clocks (ProgramTimeSource: the effect's,
  // its sequence's, the outer sequence's) of the effect being drawn.
  float (*currentTime)(int timeSource) = nullptr;
  // The fade factor of the effect being drawn.
  float (*currentFade)() = nullptr;
  // The render-target effect called `name` as seen from `scope`: found in
  // the sequence or, when absent there, in the sequences embedding it.
  // `kept` is the slot's current effect, kept while its name still matches
  // and whenever there is no scope to look in.
  fxBase* (*findBuffer)(rvSequence* scope, const std::string& name, fxBase* kept) = nullptr;
  // The render target of a render-target effect; with `running`, only while
  // the effect runs (null otherwise).
  RenderTarget* (*bufferOf)(fxBase* effect, bool running) = nullptr;
};

EffectLink& GetEffectLink();

// The hooks' answers, with the neutral values above when a hook is unset.
float LinkedEffectTime(int timeSource);
float LinkedEffectFade();
fxBase* LinkedBuffer(rvSequence* scope, const std::string& name, fxBase* kept);
RenderTarget* LinkedBufferTarget(fxBase* effect, bool running);
