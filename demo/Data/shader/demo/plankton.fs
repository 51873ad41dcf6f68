#version 410 core
// Plankton in the merrow's tunnel: three layers of glowing motes drifting
// upwards, the far ones smaller, denser and slower. texNoise (nearest)
// gives every lattice cell its mote.
uniform float fGlobalTime; // in seconds
uniform vec2 v2Resolution; // viewport resolution (in pixels)
uniform sampler2D texNoise;
uniform float uFade;       // |FADE|
uniform float uDensity;    // |ATTR=Density|MIN=0|MAX=1|0.45
uniform float uGlow;       // |ATTR=Glow|MIN=0|MAX=2|1.0

#include "shader/demo/lib.glsl"

layout(location = 0) out vec4 out_color;

void main(void)
{
  vec2 uv = (gl_FragCoord.xy - 0.5 * v2Resolution) / v2Resolution.y;
  float t = fGlobalTime;
  vec3 col = vec3(0.0);
  for (int layer = 0; layer < 3; ++layer)
  {
    float fl = float(layer);
    vec2 q = uv * (5.0 + fl * 4.0) + vec2(0.3 * sin(t * 0.2 + fl), -t * (0.35 - 0.08 * fl)) + fl * 7.3;
    vec2 cell = floor(q);
    vec4 n = texture(texNoise, (mod(cell + fl * 37.0, 256.0) + 0.5) / 256.0);
    if (n.a > uDensity) continue;
    vec2 at = n.xy * 0.6 + 0.2 + 0.12 * vec2(sin(t * 0.9 + n.z * TAU), cos(t * 0.7 + n.w * TAU));
    float d = length(fract(q) - at);
    float pulse = 0.55 + 0.45 * sin(t * (1.5 + 2.0 * n.z) + n.w * 40.0);
    vec3 tint = mix(vec3(0.25, 0.95, 0.85), vec3(0.7, 1.0, 0.45), n.z);
    col += tint * (smoothstep(0.09, 0.0, d) + 0.25 * exp(-d * 9.0)) * pulse / (1.0 + fl);
  }
  out_color = vec4(col * uGlow * uFade, 1.0);
}
