#pragma once
#include <GL/glew.h>
#include <glm/glm.hpp>

#include "gpu/modelo.h"
#include "gpu/shader.h"

// What one visible model descriptor hands to the GPU: everything already worked out.
struct model_draw {
    const shader* program = nullptr;
    GLuint texture = 0;    // bound on unit 0 when `textured`
    bool textured = false; // false binds no texture
    const modelo* mesh = nullptr;
    glm::mat4 model = glm::mat4(1.0f);
    glm::mat4 view = glm::mat4(1.0f);
    glm::mat4 projection = glm::mat4(1.0f);
    glm::vec3 colour = glm::vec3(0.0f);
    glm::vec3 light = glm::vec3(0.0f); // position of the white light
    glm::vec3 viewer = glm::vec3(0.0f);
};

// Binds the texture and the program, sets the uniforms ("model", "view", "projection",
// "objectColor", "lightColor", "lightPos", "viewPos") and draws the mesh. Allocates nothing.
void submitDraw(const model_draw& d);
