// Value noise on a hashed lattice, smooth and cheap enough for llvmpipe.
// Uses Rotate2D: the stage includes shader/lib/common.glsl before this file.

float Hash21(vec2 p)
{
  p = fract(p * vec2(123.34, 456.21));
  p += dot(p, p + 45.32);
  return fract(p.x * p.y);
}

float ValueNoise(vec2 p)
{
  vec2 i = floor(p);
  vec2 f = fract(p);
  vec2 u = f * f * (3.0 - 2.0 * f);
  float a = Hash21(i);
  float b = Hash21(i + vec2(1.0, 0.0));
  float c = Hash21(i + vec2(0.0, 1.0));
  float d = Hash21(i + vec2(1.0, 1.0));
  return mix(mix(a, b, u.x), mix(c, d, u.x), u.y);
}

// Three octaves, each half as strong and twice as fine.
float Fbm(vec2 p)
{
  float sum = 0.0;
  float amplitude = 0.5;
  for (int i = 0; i < 3; ++i)
  {
    sum += amplitude * ValueNoise(p);
    p = Rotate2D(0.5) * p * 2.0;
    amplitude *= 0.5;
  }
  return sum;
}
