// Tunnel in the Shadertoy form: mainImage, iTime and iResolution come from
// the generated header.
#include "shader/lib/noise.glsl"

void mainImage( out vec4 fragColor, in vec2 fragCoord )
{
  vec2 uv = (fragCoord - 0.5 * iResolution.xy) / iResolution.y;
  float r = length(uv) + 1e-3;
  float a = atan(uv.y, uv.x);
  vec2 tube = vec2(0.3 / r + iTime * 0.6, a / PI);
  float n = Fbm(tube * vec2(2.0, 3.0));
  vec3 col = Palette(n + 0.2 * iTime, vec3(0.5), vec3(0.5), vec3(1.0, 0.9, 0.8), vec3(0.1, 0.2, 0.3));
  col *= smoothstep(0.0, 0.6, r);
  fragColor = vec4(col, 1.0);
}
