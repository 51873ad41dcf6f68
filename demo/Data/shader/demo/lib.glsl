// Helpers of the production's own shaders: hashing, value noise, palettes,
// rotation and the stroke letters of the titles. Kept cheap: every scene
// must hold its frame rate on a software rasteriser.
#ifndef TIDEFALL_LIB
#define TIDEFALL_LIB

const float PI = 3.14159265;
const float TAU = 6.28318531;

float Hash11(float p)
{
  p = fract(p * 0.1031);
  p *= p + 33.33;
  p *= p + p;
  return fract(p);
}

float Hash21(vec2 p)
{
  vec3 p3 = fract(vec3(p.xyx) * 0.1031);
  p3 += dot(p3, p3.yzx + 33.33);
  return fract((p3.x + p3.y) * p3.z);
}

vec2 Hash22(vec2 p)
{
  vec3 p3 = fract(vec3(p.xyx) * vec3(0.1031, 0.1030, 0.0973));
  p3 += dot(p3, p3.yzx + 33.33);
  return fract((p3.xx + p3.yz) * p3.zy);
}

float Noise(vec2 p)
{
  vec2 i = floor(p);
  vec2 f = fract(p);
  vec2 u = f * f * (3.0 - 2.0 * f);
  return mix(mix(Hash21(i), Hash21(i + vec2(1.0, 0.0)), u.x),
             mix(Hash21(i + vec2(0.0, 1.0)), Hash21(i + vec2(1.0, 1.0)), u.x), u.y);
}

// Four octaves, each rotated so the lattice never shows.
float Fbm(vec2 p)
{
  const mat2 m = mat2(1.6, 1.2, -1.2, 1.6);
  float sum = 0.0;
  float amplitude = 0.5;
  for (int i = 0; i < 4; ++i)
  {
    sum += amplitude * Noise(p);
    p = m * p;
    amplitude *= 0.5;
  }
  return sum;
}

vec3 Palette(float t, vec3 a, vec3 b, vec3 c, vec3 d)
{
  return a + b * cos(TAU * (c * t + d));
}

mat2 Rot(float a)
{
  float c = cos(a);
  float s = sin(a);
  return mat2(c, s, -s, c);
}

// Distance from p to the segment a-b.
float Segment(vec2 p, vec2 a, vec2 b)
{
  vec2 pa = p - a;
  vec2 ba = b - a;
  float h = clamp(dot(pa, ba) / dot(ba, ba), 0.0, 1.0);
  return length(pa - ba * h);
}

// Stroke letters in a 0.6 x 1 cell (origin bottom left). Codes: 0 A, 1 E,
// 2 I, 3 L, 4 M, 5 N, 6 O, 7 P, 8 R, 9 V.
float Letter(int code, vec2 p)
{
  float d = 1e3;
  if (code == 0)
  {
    d = min(Segment(p, vec2(0.0, 0.0), vec2(0.3, 1.0)), Segment(p, vec2(0.3, 1.0), vec2(0.6, 0.0)));
    d = min(d, Segment(p, vec2(0.12, 0.38), vec2(0.48, 0.38)));
  }
  else if (code == 1)
  {
    d = min(Segment(p, vec2(0.0, 0.0), vec2(0.0, 1.0)), Segment(p, vec2(0.0, 1.0), vec2(0.55, 1.0)));
    d = min(d, min(Segment(p, vec2(0.0, 0.52), vec2(0.42, 0.52)), Segment(p, vec2(0.0, 0.0), vec2(0.55, 0.0))));
  }
  else if (code == 2)
  {
    d = Segment(p, vec2(0.3, 0.0), vec2(0.3, 1.0));
    d = min(d, min(Segment(p, vec2(0.15, 1.0), vec2(0.45, 1.0)), Segment(p, vec2(0.15, 0.0), vec2(0.45, 0.0))));
  }
  else if (code == 3)
  {
    d = min(Segment(p, vec2(0.0, 1.0), vec2(0.0, 0.0)), Segment(p, vec2(0.0, 0.0), vec2(0.55, 0.0)));
  }
  else if (code == 4)
  {
    d = min(Segment(p, vec2(0.0, 0.0), vec2(0.0, 1.0)), Segment(p, vec2(0.0, 1.0), vec2(0.3, 0.42)));
    d = min(d, min(Segment(p, vec2(0.3, 0.42), vec2(0.6, 1.0)), Segment(p, vec2(0.6, 1.0), vec2(0.6, 0.0))));
  }
  else if (code == 5)
  {
    d = min(Segment(p, vec2(0.0, 0.0), vec2(0.0, 1.0)), Segment(p, vec2(0.0, 1.0), vec2(0.6, 0.0)));
    d = min(d, Segment(p, vec2(0.6, 0.0), vec2(0.6, 1.0)));
  }
  else if (code == 6)
  {
    vec2 q = (p - vec2(0.3, 0.5)) / vec2(0.3, 0.5);
    d = abs(length(q) - 1.0) * 0.3;
  }
  else if (code == 7 || code == 8)
  {
    d = min(Segment(p, vec2(0.0, 0.0), vec2(0.0, 1.0)), Segment(p, vec2(0.0, 1.0), vec2(0.42, 1.0)));
    d = min(d, min(Segment(p, vec2(0.42, 1.0), vec2(0.6, 0.84)), Segment(p, vec2(0.6, 0.84), vec2(0.6, 0.66))));
    d = min(d, min(Segment(p, vec2(0.6, 0.66), vec2(0.42, 0.5)), Segment(p, vec2(0.42, 0.5), vec2(0.0, 0.5))));
    if (code == 8) d = min(d, Segment(p, vec2(0.28, 0.5), vec2(0.6, 0.0)));
  }
  else if (code == 9)
  {
    d = min(Segment(p, vec2(0.0, 1.0), vec2(0.3, 0.0)), Segment(p, vec2(0.3, 0.0), vec2(0.6, 1.0)));
  }
  return d;
}

#endif
