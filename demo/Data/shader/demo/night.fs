SHADER_RAW
// Night over the bay, in the raw form: the stage declares everything it
// uses; engine values come through annotated uniforms. Stars wheel slowly, the moon lays a silver road on the water, the
// islands stand black against the last amber of the horizon.
in vec2 TexCoords;
out vec4 fragColor;
uniform vec3 uResolution; // |RESOLUTION|
uniform float uTime;       // |TIME|
uniform float uFade;     // |FADE|
uniform float uMoon;     // |ATTR=MoonHeight|MIN=-0.2|MAX=0.6|0.3
uniform float uStars;    // |ATTR=Stars|MIN=0|MAX=1|1.0
uniform float uWarmth;   // |ATTR=Warmth|MIN=0|MAX=1|0.4

#include "shader/demo/lib.glsl"

vec3 Sky(vec2 p, vec2 moon, float horizon)
{
  float h = max(p.y - horizon, 0.0);
  vec3 col = mix(vec3(0.10, 0.07, 0.16), vec3(0.01, 0.02, 0.07), sqrt(clamp(h * 2.2, 0.0, 1.0)));
  col += vec3(0.55, 0.25, 0.10) * uWarmth * exp(-h * 14.0);
  float d = length(p - moon);
  col += vec3(0.55, 0.62, 0.80) * (exp(-d * 5.0) * 0.25 + exp(-d * 18.0) * 0.35);
  return col;
}

float Stars(vec2 p)
{
  p = Rot(uTime * 0.01) * (p - vec2(0.0, -0.6));
  vec2 cell = floor(p * 55.0);
  float h = Hash21(cell);
  if (h < 0.93) return 0.0;
  vec2 at = (Hash22(cell) * 0.7 + 0.15 - fract(p * 55.0));
  float twinkle = 0.6 + 0.4 * sin(uTime * (2.0 + h * 5.0) + h * 60.0);
  return smoothstep(0.09, 0.0, length(at)) * twinkle * (h - 0.93) * 14.0;
}

void main()
{
    vec2 p = (TexCoords - 0.5) * vec2(uResolution.z, 1.0);
  float horizon = -0.06;
  vec2 moon = vec2(0.42, horizon + uMoon);
  vec3 col;
  if (p.y > horizon)
  {
    col = Sky(p, moon, horizon);
    col += vec3(0.9, 0.92, 1.0) * Stars(p) * uStars * smoothstep(0.0, 0.15, p.y - horizon);
    float disc = smoothstep(0.045, 0.04, length(p - moon));
    float craters = Noise((p - moon) * 60.0) * 0.25;
    col = mix(col, vec3(0.92, 0.93, 0.86) - craters, disc);
    // Islands: two ridges of noise standing on the horizon.
    float ridge = horizon + 0.05 * smoothstep(0.15, 0.6, Noise(vec2(p.x * 3.0, 1.3)))
                + 0.035 * Noise(vec2(p.x * 14.0, 4.1)) * smoothstep(0.2, 0.5, Noise(vec2(p.x * 3.0, 1.3)));
    col = mix(col, vec3(0.015, 0.01, 0.03), smoothstep(ridge + 0.002, ridge - 0.002, p.y));
  }
  else
  {
    float dz = horizon - p.y;
    float z = 0.3 / dz;
    vec2 s = vec2(p.x * z, z + uTime * 0.25);
    float w = Noise(s * vec2(3.0, 1.2)) * 0.5 + Noise(s * vec2(7.0, 3.0) + 3.1) * 0.3
            + Noise(s * vec2(19.0, 8.0) - 1.7) * 0.2;
    vec3 sky = Sky(vec2(p.x, horizon + dz * 0.8), moon, horizon);
    col = mix(vec3(0.005, 0.01, 0.03), sky, (0.2 + 0.8 * exp(-dz * 8.0)) * (0.5 + 0.5 * w));
    float road = exp(-abs(p.x - moon.x) / (0.015 + dz * 0.4) * 2.0);
    col += vec3(0.7, 0.75, 0.9) * smoothstep(0.45, 0.85, w) * road * 1.3;
    col += vec3(0.9, 0.45, 0.15) * uWarmth * smoothstep(0.6, 0.95, w) * exp(-dz * 5.0) * 0.25;
  }
  fragColor = vec4(col, uFade);
}
