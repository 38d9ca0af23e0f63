#pragma once

#include <glm/glm.hpp>

#include "scene/scene.h"

// Clears and draws one frame of the scene at the clock's current time into the current
// framebuffer, without presenting it. True while at least one camera was active at that time.
bool drawFrame(scene* s, glm::mat4 model, glm::mat4 projection);

// Draws one frame of the scene at the clock's current time, presents it and polls window
// events. True while at least one camera was active at that time.
bool renderScene(scene* s, glm::mat4 model, glm::mat4 projection);
