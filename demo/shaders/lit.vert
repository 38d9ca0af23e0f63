#version 330 core
// Shared by the demo's programs: passes world-space position and normal on for per-pixel
// lighting.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 3) in vec2 uv;

uniform mat4 model;
uniform mat4 view;
uniform mat4 projection;

out vec3 worldPos;
out vec3 worldNormal;
out vec2 texCoord;
out vec3 eyePos;

void main() {
    vec4 world = model * vec4(position, 1.0);
    worldPos = world.xyz;
    // The inverse transpose keeps normals square to surfaces under non-uniform scales.
    worldNormal = mat3(transpose(inverse(model))) * normal;
    texCoord = uv;
    // The eye, recovered from the view matrix: the player's viewPos is the point looked at.
    eyePos = -transpose(mat3(view)) * view[3].xyz;
    gl_Position = projection * view * world;
}
