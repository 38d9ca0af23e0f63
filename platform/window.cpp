// Windows and their contexts: see window.h.
#include "platform/window.h"

GLFWwindow* openWindow(const window_request& request, window_failure& failure) {
    failure = window_failure::none;
    const auto fail = [&failure](window_failure why) -> GLFWwindow* {
        failure = why;
        return nullptr;
    };
    if (!glfwInit()) return fail(window_failure::library);
    GLFWmonitor* monitor = nullptr;
    int width = request.width, height = request.height;
    if (request.kind == window_kind::full_screen) {
        monitor = glfwGetPrimaryMonitor();
        const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
        if (!mode) return fail(window_failure::window);
        glfwWindowHint(GLFW_RED_BITS, mode->redBits);
        glfwWindowHint(GLFW_GREEN_BITS, mode->greenBits);
        glfwWindowHint(GLFW_BLUE_BITS, mode->blueBits);
        glfwWindowHint(GLFW_REFRESH_RATE, mode->refreshRate);
        width = mode->width;
        height = mode->height;
    }
    if (request.kind == window_kind::hidden) glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    if (request.kind == window_kind::windowed) glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    glfwWindowHint(GLFW_SAMPLES, request.samples);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    GLFWwindow* window = glfwCreateWindow(width, height, request.title, monitor, nullptr);
    if (!window) return fail(window_failure::window);
    glfwMakeContextCurrent(window);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) return fail(window_failure::entry_points);
    return window;
}

const char* describe(window_failure failure) {
    return failure == window_failure::none      ? "no failure"
           : failure == window_failure::library ? "no display for an OpenGL context (run under "
                                                  "xvfb-run -a)"
           : failure == window_failure::window  ? "no OpenGL 3.3 core context"
           : failure == window_failure::entry_points ? "cannot load the OpenGL entry points"
                                                     : "";
}
