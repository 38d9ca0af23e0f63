// One frame: clock, camera scheduling, the group walk, presentation. See render.h.
#include "app/render.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include "app/player.h"

bool drawFrame(scene* s, glm::mat4 model, glm::mat4 projection) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    s->updateElapsedTime();
    camera frame;
    const int active = scheduleCameras(s->cameras, s->getElapsedTime(), frame);

    for (group& g : s->groups)
        s->drawGroup(&g, model, projection, &frame);
    return active != 0;
}

bool renderScene(scene* s, glm::mat4 model, glm::mat4 projection) {
    const bool active = drawFrame(s, model, projection);
    glfwSwapBuffers(window);
    glfwPollEvents();
    return active;
}
