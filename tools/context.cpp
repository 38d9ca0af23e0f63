// Hidden GL contexts for the tools: see context.h.
#include "tools/context.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

bool openHiddenContext(const char* title, std::string& why, int width, int height) {
    if (!glfwInit()) {
        why = "no display for an OpenGL context (run under xvfb-run -a)";
        return false;
    }
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    GLFWwindow* w = glfwCreateWindow(width, height, title, nullptr, nullptr);
    if (!w) {
        why = "no OpenGL 3.3 core context";
        glfwTerminate();
        return false;
    }
    glfwMakeContextCurrent(w);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) {
        why = "cannot load the OpenGL entry points";
        glfwTerminate();
        return false;
    }
    return true;
}
