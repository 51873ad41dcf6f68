SHADER_HEADER
// The last pass into the screen: the scene with a colour fringe that kicks
// with the drums, its bloom, a vignette, film grain from the blue noise and
// the production's fades.
#include "shader/demo/lib.glsl"
in vec2 TexCoords;
out vec4 fragColor;
uniform sampler2D uScene;   // |TEXTURE0|
uniform sampler2D uBloom;   // |TEXTURE1|
uniform sampler2D uNoise;   // |TEXTURE2|
uniform vec3 uResolution;   // |RESOLUTION|
uniform float uFade;        // |FADE|
uniform float uFringe;      // |ATTR=Fringe|MIN=0|MAX=0.05|0.004
uniform float uBloomGain;   // |ATTR=BloomGain|MIN=0|MAX=3|0.8
uniform float uGrain;       // |ATTR=Grain|MIN=0|MAX=0.2|0.035
uniform float uVignette;    // |ATTR=Vignette|MIN=0|MAX=1|0.45
uniform float uFlash;       // |ATTR=Flash|MIN=0|MAX=1|0.0
uniform vec3 uLift;         // |COLOR|ATTR=Lift|0.0, 0.0, 0.0
void main()
{
  vec2 uv = TexCoords;
  vec2 dir = uv - 0.5;
  float shift = uFringe * length(dir) * 2.0;
  vec3 col;
  col.r = texture(uScene, uv - dir * shift).r;
  col.g = texture(uScene, uv).g;
  col.b = texture(uScene, uv - dir * shift * 2.0).b;
  col += texture(uBloom, uv).rgb * uBloomGain;
  col = col + uLift * (1.0 - col);
  col *= 1.0 - uVignette * dot(dir, dir) * 2.2;
  float n = texture(uNoise, uv * uResolution.xy / 1024.0 + fract(iTime * vec2(13.17, 7.31))).r - 0.5;
  col += n * uGrain;
  col = mix(col, vec3(1.0, 0.95, 0.85), uFlash);
  fragColor = vec4(col * uFade, 1.0);
}
