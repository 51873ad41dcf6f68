SHADER_HEADER
// A second view through the 3D scene's camera: the town again, in amber,
// on a small monitor in the lower right corner with a thin frame, faded in
// and out with the effect. The monitor's target comes in on unit 0.
in vec2 TexCoords;
out vec4 fragColor;
uniform sampler2D uMonitor;
uniform float uFade;       // |FADE|
void main()
{
  // The monitor covers x 0.68..0.96, y 0.05..0.33 of the screen.
  vec2 lo = vec2(0.68, 0.05), hi = vec2(0.96, 0.33);
  vec2 q = (TexCoords - lo) / (hi - lo);
  if (any(lessThan(q, vec2(-0.02))) || any(greaterThan(q, vec2(1.02)))) discard;
  bool frame = any(lessThan(q, vec2(0.0))) || any(greaterThan(q, vec2(1.0)));
  vec3 colour = frame ? vec3(0.55, 0.6, 0.55) : texture(uMonitor, q).rgb;
  fragColor = vec4(colour, uFade);
}
