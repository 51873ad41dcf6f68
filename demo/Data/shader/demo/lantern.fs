SHADER_HEADER
// One lantern sprite: a paper body lit from inside with a soft halo,
// added onto the scene.
in vec2 gUV;
in vec4 gColor;
out vec4 fragColor;
uniform float uFade;  // |FADE|
void main()
{
  vec2 q = gUV * 2.5;
  float body = length(q * vec2(1.0, 0.8) - vec2(0.0, 0.1 * q.x * q.x));
  float core = smoothstep(1.0, 0.75, body) * (0.7 + 0.3 * smoothstep(0.9, -0.6, q.y));
  float halo = exp(-dot(gUV, gUV) * 4.0);
  vec3 col = gColor.rgb * (core * 1.3 + halo * 0.45) * gColor.a * uFade;
  fragColor = vec4(col, 1.0);
}
