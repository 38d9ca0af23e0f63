#pragma once
#include "gpu/modelo.h"
#include "gpu/shader.h"

// Binds the texture (no texture when `tex` is null) and the program, sets the
// uniforms ("model", "view", "projection", "objectColor", "lightColor" white, "lightPos",
// "viewPos") and draws the mesh. Allocates nothing.
void submitDraw(const shader& program, const GLuint* tex, const modelo& mesh,
                const glm::mat4& model, const glm::mat4& view, const glm::mat4& projection,
                glm::vec3 colour, glm::vec3 light, glm::vec3 viewer);
