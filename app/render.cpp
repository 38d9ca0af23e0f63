// A frame presented in the player's window. See render.h.
#include "app/render.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include "app/player.h"

bool renderScene(scene* s, glm::mat4 model, glm::mat4 projection) {
    const bool active = drawFrame(s, model, projection);
    glfwSwapBuffers(window);
    glfwPollEvents();
    return active;
}
