// One frame: clock, camera scheduling, the group walk, presentation. See render.h.
#include "app/render.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>

#include "app/player.h"

namespace {

// Everything the drawing reads of a camera. The path is left out: copying it would cost a
// heap allocation every frame, and drawing never looks at it.
void copyPose(camera& to, const camera& from) {
    to.mode = from.mode;
    to.view = from.view;
    to.eye = from.eye;
    to.look = from.look;
    to.up = from.up;
    to.start = from.start;
    to.end = from.end;
}

} // namespace

void scene::updateElapsedTime() {
    elapsedTime = timer();
}

void scene::changeWindowSize(int width, int height) {
    // A minimised or zero-height window has no aspect ratio; keep the last projection.
    if (width <= 0 || height <= 0) return;
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    projection = glm::perspective(glm::radians(45.0f), aspect, 0.1f, 100.0f);
}

int scheduleCameras(std::vector<camera>& cameras, double now, camera& frame) {
    int active = 0;
    for (camera& c : cameras) {
        if (!c.is_on_time(now)) continue;
        copyPose(frame, c);
        c.position_update(now);
        ++active;
    }
    return active;
}

bool drawScene(scene* s, const glm::mat4& model, const glm::mat4& projection) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    s->updateElapsedTime();
    camera frame;
    const int active = scheduleCameras(s->cameras, s->getElapsedTime(), frame);

    for (group& g : s->groups)
        s->drawGroup(&g, model, projection, &frame);
    return active != 0;
}

bool renderScene(scene* s, glm::mat4 model, glm::mat4 projection) {
    const bool active = drawScene(s, model, projection);
    glfwSwapBuffers(window);
    glfwPollEvents();
    return active;
}
