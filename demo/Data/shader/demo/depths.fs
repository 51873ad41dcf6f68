// The merrow's tunnel: a stone tube under the sea, walls of pebbles washed
// by moving caustics, a light at the far end and bubbles rising past.
// iChannel0 is the pebble image, iChannel1 the four-channel noise.
#include "shader/demo/lib.glsl"
uniform float uFade;   // |FADE|
uniform float uTwist;  // |ATTR=Twist|MIN=-1|MAX=1|0.0
uniform float uSpeed;  // |ATTR=Speed|MIN=0|MAX=3|0.8
uniform float uLight;  // |ATTR=Light|MIN=0|MAX=2|1.0

// Bright threads where warped sine products cross zero.
float Caustic(vec2 p, float t)
{
  float v = 0.0;
  for (int i = 0; i < 3; ++i)
  {
    p = Rot(1.1) * p * 1.25 + 0.45 * vec2(sin(p.y * 1.7 + t), cos(p.x * 1.3 - t * 0.8));
    v += abs(sin(p.x) * sin(p.y));
  }
  return pow(max(1.0 - v * 0.45, 0.0), 5.0);
}

void mainImage( out vec4 fragColor, in vec2 fragCoord )
{
  vec2 uv = (fragCoord - 0.5 * iResolution.xy) / iResolution.y;
  float t = iTime;
  float r = length(uv) + 1e-3;
  float a = atan(uv.y, uv.x) + uTwist * (0.5 / r) + 0.1 * sin(t * 0.4);
  float depth = 0.35 / r;
  vec2 tc = vec2(a / TAU * 3.0, depth + t * uSpeed);

  vec3 stone = texture(iChannel0, tc * vec2(1.0, 0.25)).rgb;
  stone = pow(stone, vec3(1.6)) * vec3(1.1, 1.45, 1.55);
  // Stone arches every unit of depth, their joints in shadow.
  float arch = fract(tc.y * 1.5);
  stone *= 0.35 + 0.65 * smoothstep(0.0, 0.12, arch) * smoothstep(1.0, 0.8, arch);
  // The caustics take the angle through its sine and cosine: no seam where
  // it wraps.
  float c = Caustic(vec2(cos(a), sin(a)) * 3.2 + vec2(0.0, tc.y * 4.0), t * 1.3);
  vec3 col = stone * (0.45 + 1.1 * c) + vec3(0.3, 0.9, 1.0) * c * 0.3;

  // Far away the water swallows the wall; the light waits at the end.
  float fog = exp(-depth * 0.45);
  vec3 water = vec3(0.0, 0.13, 0.19);
  col = mix(water, col, fog);
  col += vec3(0.3, 0.8, 0.95) * uLight * (exp(-r * 12.0) * 0.55 + exp(-r * 3.5) * 0.12);

  // Shafts of light slanting down through the water.
  float shafts = Noise(vec2(uv.x * 6.0 / (1.4 - uv.y) + t * 0.15, t * 0.2));
  col += vec3(0.2, 0.5, 0.55) * pow(shafts, 4.0) * smoothstep(-0.3, 0.6, uv.y) * 0.8;

  // Bubbles wobbling upwards.
  for (int i = 0; i < 10; ++i)
  {
    float fi = float(i);
    vec4 n = texture(iChannel1, vec2(fi * 0.097 + 0.03, 0.41));
    vec2 b = vec2(n.x * 1.6 - 0.8 + 0.03 * sin(t * 3.0 + fi), fract(n.y + t * (0.08 + 0.1 * n.z)) * 1.3 - 0.65);
    float size = 0.008 + 0.02 * n.w;
    float d = length(uv - b);
    col += vec3(0.6, 0.9, 1.0) * (smoothstep(size, size * 0.7, d) - smoothstep(size * 0.8, size * 0.3, d) * 0.7) * 0.7;
  }
  fragColor = vec4(col, uFade);
}
