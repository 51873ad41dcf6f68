SHADER_HEADER
// The 3D scene's own target laid over the scene, faded in and out with the
// effect. Plain sampler: the 3D target comes in on unit 0.
in vec2 TexCoords;
out vec4 fragColor;
uniform sampler2D uScene3d;
uniform float uFade;       // |FADE|
void main()
{
  fragColor = vec4(texture(uScene3d, TexCoords).rgb, uFade);
}
