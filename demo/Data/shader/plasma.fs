SHADER_HEADER
// Plasma: sine bands mixed into a cosine palette, tinted, with a glow that
// follows the effect's fade. Every "|ATTR=" uniform is an effect parameter.
#include "shader/lib/common.glsl"
in vec2 TexCoords;
out vec4 fragColor;
uniform float uFade;        // |FADE|
uniform vec3 uResolution;   // |RESOLUTION|
uniform float uSpeed;       // |ATTR=Speed|MIN=0|MAX=4|1.0
uniform float uScale;       // |ATTR=Scale|MIN=0.5|MAX=16|5.0
uniform vec3 uTint;         // |COLOR|ATTR=Tint|1.0, 0.85, 0.7
uniform vec3 uGlow;         // |COLORS|ATTR=Glow|0.2, 0.4, 1.0, 0.6
uniform int uBands;         // |CONST|ATTR=Bands|MIN=1|MAX=6|3
void main()
{
  vec2 p = (TexCoords - 0.5) * vec2(uResolution.z, 1.0) * uScale;
  float t = iTime * uSpeed;
  float v = 0.0;
  for (int i = 0; i < uBands; ++i)
  {
    float k = float(i + 1);
    p = Rotate2D(0.3 * k + 0.1 * t) * p;
    v += sin(p.x * k + t) + sin(length(p) * k - t * 0.7);
  }
  v /= float(uBands) * 2.0;
  vec3 col = Palette(v * 0.5 + 0.5, vec3(0.5), vec3(0.5), vec3(1.0), vec3(0.0, 0.33, 0.67));
  col = col * uTint + uGlow * (1.0 - abs(v));
  fragColor = vec4(col * uFade, 1.0);
}
