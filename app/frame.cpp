// One frame drawn: clock, camera scheduling, the group walk. See render.h.
#include <GL/glew.h>

#include "app/render.h"

bool drawFrame(scene* s, glm::mat4 model, glm::mat4 projection) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    s->updateElapsedTime();
    camera frame;
    const int active = scheduleCameras(s->cameras, s->getElapsedTime(), frame);

    for (group& g : s->groups)
        s->drawGroup(&g, model, projection, &frame);
    return active != 0;
}
