// One frame drawn (clock, camera scheduling, the group walk) and the frame-time line. See
// render.h.
#include <GL/glew.h>

#include "app/render.h"

#include <cstdio>

void frame_rate_line::tick(double now) {
    ++nbFrames;
    if (now - lastTime >= 1.0) {
        std::printf("%f ms/frame\n", 1000.0 / static_cast<double>(nbFrames));
        nbFrames = 0;
        lastTime += 1.0;
    }
}

bool drawFrame(scene* s, glm::mat4 model, glm::mat4 projection) {
    camera frame;
    return drawFrameFrom(s, model, projection, nullptr, frame);
}

bool drawFrameFrom(scene* s, glm::mat4 model, glm::mat4 projection, const camera* viewer,
                   camera& filming) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    s->updateElapsedTime();
    const int active = scheduleCameras(s->cameras, s->getElapsedTime(), filming);
    camera seen = viewer ? *viewer : filming;
    for (group& g : s->groups)
        s->drawGroup(&g, model, projection, &seen);
    return active != 0;
}
