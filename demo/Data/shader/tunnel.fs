// Tunnel in the Shadertoy form: mainImage, iTime and iResolution come from
// the generated header.
#include "shader/lib/common.glsl"
#include "shader/lib/noise.glsl"

void mainImage( out vec4 fragColor, in vec2 fragCoord )
{
  vec2 uv = (fragCoord - 0.5 * iResolution.xy) / iResolution.y;
  float r = length(uv) + 1e-3;
  float a = atan(uv.y, uv.x);
  // The angle is folded so that the noise has no seam where atan wraps.
  vec2 tube = vec2(0.3 / r + iTime * 0.6, abs(a) / PI);
  float n = Fbm(tube * vec2(2.0, 4.0));
  vec3 col = Palette(n * 1.5 + 0.1 * iTime, vec3(0.5), vec3(0.5), vec3(1.0), vec3(0.0, 0.15, 0.35));
  col *= n * 1.6 * smoothstep(0.0, 0.6, r);
  fragColor = vec4(col, 1.0);
}
