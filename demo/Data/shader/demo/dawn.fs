SHADER_HEADER
// Dawn over the bay: the sun climbs out of the sea, cloud bands catch its
// light, the water throws back a glittering column and a few gulls cross.
#include "shader/demo/lib.glsl"
in vec2 TexCoords;
out vec4 fragColor;
uniform float uFade;        // |FADE|
uniform vec3 uResolution;   // |RESOLUTION|
uniform float uSunHeight;   // |ATTR=SunHeight|MIN=-0.3|MAX=0.5|-0.1
uniform float uSway;        // |ATTR=Sway|MIN=-0.1|MAX=0.1|0.0
uniform float uWaveSpeed;   // |ATTR=WaveSpeed|MIN=0|MAX=2|0.6
uniform float uCloudDrift;  // |ATTR=CloudDrift|MIN=-1|MAX=1|0.1
uniform vec3 uSky;          // |COLOR|ATTR=SkyTop|0.09, 0.10, 0.30
uniform vec3 uSun;          // |COLOR|ATTR=SunColor|1.0, 0.62, 0.28

vec3 SkyColor(vec2 p, vec2 sun, float horizon)
{
  float h = max(p.y - horizon, 0.0);
  float day = smoothstep(-0.2, 0.35, uSunHeight);
  vec3 low = mix(vec3(0.55, 0.22, 0.20), vec3(1.0, 0.70, 0.45), day);
  vec3 top = mix(uSky, vec3(0.25, 0.45, 0.80), day * 0.6);
  vec3 col = mix(low, top, pow(clamp(h * 1.9, 0.0, 1.0), 0.6));
  float d = length(p - sun);
  col += uSun * (exp(-d * 3.0) * 0.55 + exp(-d * 12.0) * 0.6);
  return col;
}

void main()
{
  vec2 p = (TexCoords - 0.5) * vec2(uResolution.z, 1.0);
  p = Rot(uSway) * p;
  float t = iTime;
  float horizon = -0.06;
  vec2 sun = vec2(0.22, horizon + uSunHeight);
  vec3 col;

  if (p.y > horizon)
  {
    col = SkyColor(p, sun, horizon);
    // Cloud bands, thin and wind-blown, lit from below by the sun.
    float band = smoothstep(0.05, 0.45, p.y - horizon) * (1.0 - smoothstep(0.35, 0.5, p.y));
    vec2 q = vec2(p.x * 1.6 + t * uCloudDrift, p.y * 9.0);
    float c = smoothstep(0.38, 0.8, Fbm(q + vec2(0.0, Fbm(q * 0.5) * 1.5))) * band;
    vec3 lit = mix(vec3(0.35, 0.20, 0.35), uSun * 1.2, exp(-length(p - sun) * 2.0));
    col = mix(col, lit, c * 0.85);
    // The sun's disc, cut off by the sea below the horizon.
    float disc = smoothstep(0.062, 0.056, length(p - sun));
    col = mix(col, vec3(1.0, 0.93, 0.78), disc);
    // Gulls: three open V strokes gliding left, wings beating.
    for (int i = 0; i < 3; ++i)
    {
      float fi = float(i);
      vec2 g = vec2(0.9 - fract(t * 0.035 + fi * 0.31) * 2.2, 0.14 + 0.07 * fi + 0.01 * sin(t + fi));
      float flap = 0.012 * sin(t * 6.0 + fi * 2.0);
      vec2 r = (p - g) / (0.6 + 0.2 * fi);
      float w = min(Segment(r, vec2(-0.035, flap), vec2(0.0, 0.0)), Segment(r, vec2(0.0, 0.0), vec2(0.035, flap)));
      col = mix(col, vec3(0.08, 0.05, 0.10), smoothstep(0.004, 0.0015, w));
    }
  }
  else
  {
    // The sea: a receding plane of noise waves.
    float dz = horizon - p.y;
    float z = 0.3 / dz;
    vec2 s = vec2(p.x * z, z + t * uWaveSpeed);
    float w = Noise(s * vec2(3.0, 1.2)) * 0.5 + Noise(s * vec2(7.0, 3.0) + 3.1) * 0.3
            + Noise(s * vec2(19.0, 8.0) - 1.7) * 0.2;
    vec2 mirror = vec2(p.x, horizon + dz * 0.8 + (w - 0.5) * 0.04);
    vec3 sky = SkyColor(mirror, sun, horizon);
    float fresnel = 0.25 + 0.75 * exp(-dz * 9.0);
    vec3 deep = vec3(0.02, 0.05, 0.12);
    col = mix(deep, sky, fresnel * (0.6 + 0.4 * w));
    // The sun's glittering column, widening towards the viewer.
    float column = exp(-abs(p.x - sun.x) / (0.02 + dz * 0.5) * 2.0);
    float glitter = smoothstep(0.5, 0.85, w) * column * smoothstep(-0.2, 0.05, uSunHeight);
    col += uSun * glitter * 1.6;
    col = mix(col, SkyColor(vec2(p.x, horizon + 0.01), sun, horizon), exp(-dz * 60.0) * 0.7);
  }
  fragColor = vec4(col, uFade);
}
