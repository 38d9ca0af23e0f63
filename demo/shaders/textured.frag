#version 330 core
// Phong lighting (ambient, diffuse, specular) of a texture tinted by objectColor, fading into
// the black background with distance.
in vec3 worldPos;
in vec3 worldNormal;
in vec2 texCoord;
in vec3 eyePos;

uniform sampler2D myTextureSampler;
uniform vec3 objectColor;
uniform vec3 lightColor;
uniform vec3 lightPos;
uniform vec3 viewPos; // the point the camera looks at

out vec4 color;

void main() {
    vec3 n = normalize(worldNormal);
    if (!gl_FrontFacing) n = -n; // open shapes are seen from inside too
    vec3 toLight = lightPos - worldPos;
    float d = length(toLight);
    vec3 l = toLight / d;
    vec3 v = normalize(eyePos - worldPos);
    float falloff = 1.0 / (1.0 + 0.02 * d + 0.0015 * d * d);

    // Sky-and-ground ambient keeps the far side of things readable.
    vec3 ambient = mix(vec3(0.10, 0.08, 0.07), vec3(0.22, 0.26, 0.34), 0.5 + 0.5 * n.y);
    float diffuse = max(dot(n, l), 0.0) * falloff;
    float specular = pow(max(dot(n, normalize(l + v)), 0.0), 48.0) * 0.3 * falloff;

    vec3 albedo = texture(myTextureSampler, texCoord).rgb * objectColor;
    vec3 lit = albedo * (ambient + diffuse * lightColor) + specular * lightColor;

    // A touch more light on what the camera looks at.
    vec3 f = worldPos - viewPos;
    lit *= 1.0 + 0.25 * exp(-dot(f, f) / 20.0);

    float fog = smoothstep(30.0, 85.0, length(eyePos - worldPos));
    color = vec4(mix(lit, vec3(0.0), fog), 1.0);
}
