#version 330 core
uniform vec3 objectColor;
uniform vec3 lightColor;
uniform vec3 lightPos;
uniform vec3 viewPos;
in vec2 vUv;
in vec3 vNormal;
out vec4 color;
void main() {
    // Every uniform takes part (too little to show), so that none is optimised away and
    // tests can read them back.
    vec3 unused = lightColor + lightPos + viewPos + vNormal + vec3(vUv, 0.0);
    color = vec4(objectColor + 1e-6 * unused, 1.0);
}
