// Helpers shared by the production's shaders. Included by the stages
// themselves, ahead of any other library that uses it: an included file's
// own includes are not expanded.

const float PI = 3.14159265;
const float TAU = 6.28318531;

// Cosine palette: a + b * cos(TAU * (c * t + d)).
vec3 Palette(float t, vec3 a, vec3 b, vec3 c, vec3 d)
{
  return a + b * cos(TAU * (c * t + d));
}

mat2 Rotate2D(float angle)
{
  float c = cos(angle);
  float s = sin(angle);
  return mat2(c, -s, s, c);
}
