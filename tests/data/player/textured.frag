#version 330 core
uniform sampler2D myTextureSampler;
uniform vec3 objectColor;
in vec2 vUv;
out vec4 color;
void main() {
    color = vec4(texture(myTextureSampler, vUv).rgb * objectColor, 1.0);
}
