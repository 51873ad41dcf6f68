// Light shafts fanning out from the rising sun through the morning haze,
// added over the dawn. The sun stands where the dawn puts it: the same
// height driver animates both effects.
#include "shader/demo/lib.glsl"
uniform float uFade;       // |FADE|
uniform float uSunHeight;  // |ATTR=SunHeight|MIN=-0.3|MAX=0.5|-0.1
uniform float uStrength;   // |ATTR=Strength|MIN=0|MAX=2|0.6
uniform vec3 uTint;        // |COLOR|ATTR=Tint|1.0, 0.62, 0.32

void mainImage( out vec4 fragColor, in vec2 fragCoord )
{
  vec2 p = (fragCoord - 0.5 * iResolution.xy) / iResolution.y;
  vec2 sun = vec2(0.22, -0.06 + uSunHeight);
  vec2 d = p - sun;
  float r = length(d) + 1e-4;
  // Noise around a circle of directions: no seam where the angle wraps.
  vec2 dir = d / r;
  float shafts = Noise(dir * 7.0 + vec2(iTime * 0.12, 0.0)) * 0.6
               + Noise(dir * 19.0 - vec2(0.0, iTime * 0.2)) * 0.4;
  shafts = shafts * shafts * shafts;
  float reach = exp(-r * 2.4) * smoothstep(0.05, 0.14, r);
  float sky = smoothstep(-0.075, -0.055, p.y);
  vec3 col = uTint * shafts * reach * sky * uStrength;
  fragColor = vec4(col * uFade, 1.0);
}
