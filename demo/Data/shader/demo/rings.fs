#version 410 core
// Tide rings: a kaleidoscope of folded neon rings that kicks on the beat.
// The stage declares its own inputs; texNoise is the four-channel noise.
uniform float fGlobalTime; // in seconds
uniform vec2 v2Resolution; // viewport resolution (in pixels)
uniform sampler2D texNoise;
uniform float uFade;       // |FADE|
uniform float uPulse;      // |ATTR=Pulse|MIN=0|MAX=2|0.0
uniform float uZoom;       // |ATTR=Zoom|MIN=0.2|MAX=4|1.2
uniform float uHue;        // |ATTR=Hue|MIN=0|MAX=1|0.0
uniform int uSegments;     // |CONST|ATTR=Segments|MIN=3|MAX=16|6

#include "shader/demo/lib.glsl"

layout(location = 0) out vec4 out_color;

void main(void)
{
  vec2 uv = (gl_FragCoord.xy - 0.5 * v2Resolution) / v2Resolution.y;
  float t = fGlobalTime;
  vec2 p = uv * uZoom * (1.0 - 0.06 * uPulse);
  float r = length(p);
  float seg = TAU / float(uSegments);
  float a = atan(p.y, p.x) + t * 0.12;
  a = abs(mod(a, seg) - seg * 0.5);
  vec2 q = r * vec2(cos(a), sin(a));

  vec3 col = vec3(0.03, 0.0, 0.06) * (1.0 - r * 0.5);
  for (int i = 0; i < 4; ++i)
  {
    float fi = float(i);
    q = abs(q * 1.45) - vec2(0.62 + 0.12 * sin(t * 0.31 + fi), 0.28);
    q = Rot(t * 0.07 + fi * 0.6) * q;
    float ring = abs(length(q) - 0.25 - 0.12 * uPulse);
    float line = abs(q.y);
    vec3 tint = Palette(fi * 0.17 + uHue + r * 0.35, vec3(0.55), vec3(0.45), vec3(1.0), vec3(0.0, 0.33, 0.67));
    col += tint * (0.0035 / (ring + 0.004) + 0.0012 / (line + 0.003)) * (0.35 + 0.25 * fi);
  }
  // A shock ring running outwards from every kick.
  float shock = exp(-abs(r - (1.0 - min(uPulse, 1.0)) * 1.2) * 30.0) * uPulse;
  col += vec3(1.0, 0.55, 0.9) * shock * 0.6;
  // Sparkle from the noise texture, strongest on the beat.
  float n = texture(texNoise, uv * 1.7 + vec2(t * 0.05, 0.0)).r;
  col += vec3(0.8, 0.9, 1.0) * smoothstep(0.985, 1.0, n) * (0.4 + uPulse);
  col = 1.0 - exp(-col * 1.2);
  out_color = vec4(col, uFade);
}
