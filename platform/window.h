#pragma once
#include <GL/glew.h>
#include <GLFW/glfw3.h>

// A window with a current OpenGL 3.3 core context and the entry points loaded: the one way the
// player, the preview, the tools and the tests get one from the window library.

enum class window_kind {
    full_screen, // on the primary monitor at its current video mode
    windowed,    // resizable, width x height
    hidden,      // never shown, width x height: for drawing offscreen or compiling
};

struct window_request {
    window_kind kind = window_kind::hidden;
    int width = 64;
    int height = 64;
    const char* title = "";
    int samples = 0; // multisampling of the window's own framebuffer
};

// What failed, so that each program can say it in its own words.
enum class window_failure {
    none,
    library,      // the window library did not start (no display)
    window,       // no monitor, or no window with a 3.3 core context
    entry_points, // GLEW could not load the OpenGL functions
};

// What failed, in words: "no display for an OpenGL context (run under xvfb-run -a)", ...
const char* describe(window_failure failure);

// The window, current on this thread; null with the failure. Unless the library failed to
// start, the caller ends it with glfwTerminate, on failure too.
GLFWwindow* openWindow(const window_request& request, window_failure& failure);
