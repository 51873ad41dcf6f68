SHADER_HEADER
// Bright pass for the bloom, drawn at half size: a disc of taps around
// each pixel keeps only what is brighter than the knee. Plain sampler, no
// annotations: the scene comes in on unit 0.
in vec2 TexCoords;
out vec4 fragColor;
uniform sampler2D uScene;
void main()
{
  vec2 px = 1.0 / iResolution;
  vec3 sum = vec3(0.0);
  for (int i = 0; i < 16; ++i)
  {
    float fi = float(i);
    float a = fi * 2.39996;
    vec2 offset = vec2(cos(a), sin(a)) * sqrt(fi + 0.5) * 2.2 * px;
    vec3 c = texture(uScene, TexCoords + offset).rgb;
    float l = dot(c, vec3(0.299, 0.587, 0.114));
    sum += c * smoothstep(0.45, 0.95, l);
  }
  fragColor = vec4(sum / 16.0, 1.0);
}
