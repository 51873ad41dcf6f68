// Blend modes of the effects that draw a pass or a picture over the current
// target (shader, image, ambient particles): one code, "Copy" (or "None"),
// "Alpha", "Add", "Max", turned into GL blend state, so that every effect
// that offers the choice blends the same way.
// Depends on GL only; owns nothing.
#pragma once

enum EffectBlendMode : int { BlendCopy = 0, BlendAlpha = 1, BlendAdd = 2, BlendMax = 3 };

// Which blend equation alpha gets.
enum class AlphaEquation {
  Max,         // alpha always keeps the larger value (shader and image effects)
  SameAsColor  // alpha blends like the colour (ambient particles)
};

// Code 0 disables blending, any other enables it; the colour mask is set all
// on; equation MAX for "Max", else ADD; function (SRC_ALPHA,
// ONE_MINUS_SRC_ALPHA) for "Alpha", (ONE, ONE) otherwise.
void ApplyEffectBlend(int mode, AlphaEquation alpha);
