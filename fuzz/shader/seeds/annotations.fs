SHADER_HEADER
uniform float t; // |TIME|
uniform float t; // |CONST|0.5
uniform int n; // |ATTR=Count|MIN=0|MAX=9|3
uniform vec4 c; // |COLORS|1,0.5,0,2|ATTR=Tint
uniform float w[3]; // |ATTR=W|0.5|0.25
uniform sampler2D s; // |TEXTURE3||TEXTURE1|
uniform mat4 m; // |CAMMVP|
uniform bool on; // |DEFINE|1
#include "lib/common.glsl"
void main(){ gl_FragColor = vec4(t); }
