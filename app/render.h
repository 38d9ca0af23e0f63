#pragma once
#include <vector>

#include <glm/glm.hpp>

#include "scene/scene.h"

// Camera scheduling for one frame at time now: every active camera is copied into frame,
// then moved to now, in file order; so the last active camera films, as it stood before this
// frame's update. Returns how many cameras were active.
int scheduleCameras(std::vector<camera>& cameras, double now, camera& frame);

// Draws one frame of the scene at the clock's current time into the bound framebuffer: clear,
// clock, camera scheduling, the group walk. True while at least one camera was active.
bool drawScene(scene* s, const glm::mat4& model, const glm::mat4& projection);

// Draws one frame of the scene at the clock's current time, presents it and polls window
// events. True while at least one camera was active at that time.
bool renderScene(scene* s, glm::mat4 model, glm::mat4 projection);
