// Draws one frame of a scene at an exact time as a 60 fps capture draws it (the state after
// the frame 1/60 s earlier, then the frame), in a hidden window of the given size, and writes
// it as a binary PPM, top row first. A fifth argument puts the frame before at that time
// instead, for tests that need a frame drawn from the wrong state.
// usage: kestrine_frame_at SCENE SECONDS WIDTHxHEIGHT OUT.ppm [PREVIOUS]
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/offline.h"
#include "app/render.h"
#include "scene/scene.h"

namespace {

double frameTime = 0.0;
double clock() {
    return frameTime;
}

} // namespace

int main(int argc, char** argv) {
    int width = 0, height = 0;
    if ((argc != 5 && argc != 6) || std::sscanf(argv[3], "%dx%d", &width, &height) != 2 ||
        width <= 0 || height <= 0) {
        std::fprintf(stderr, "usage: %s SCENE SECONDS WIDTHxHEIGHT OUT.ppm [PREVIOUS]\n", argv[0]);
        return 2;
    }
    const double t = std::atof(argv[2]);
    const double previous = argc == 6 ? std::atof(argv[5]) : t - 1.0 / 60.0;
    if (!glfwInit()) return 1;
    // As the preview asks for its window.
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_SAMPLES, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GL_TRUE);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    GLFWwindow* w = glfwCreateWindow(width, height, "frame", nullptr, nullptr);
    if (!w) return 1;
    glfwMakeContextCurrent(w);
    glewExperimental = true;
    if (glewInit() != GLEW_OK) return 1;

    load_options options;
    options.trace = nullptr;
    scene s(argv[1], options);
    if (!s.loaded()) return 1;
    s.timer = clock;
    s.changeWindowSize(width, height);
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    if (previous >= 0.0) settleAt(s, previous);
    frameTime = t;
    drawFrame(&s, glm::mat4(1.0f), s.projection);

    // Reading the multisampled window directly gives one sample a pixel; presenting the
    // frame averages them, so resolve it the same way first.
    GLuint resolved = 0, colour = 0;
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glGenFramebuffers(1, &resolved);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolved);
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, resolved);

    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    std::FILE* out = std::fopen(argv[4], "wb");
    if (!out) return 1;
    std::fprintf(out, "P6\n%d %d\n255\n", width, height);
    for (int y = height - 1; y >= 0; --y)
        std::fwrite(rgb.data() + static_cast<std::size_t>(y) * width * 3, 1,
                    static_cast<std::size_t>(width) * 3, out);
    std::fclose(out);
    glfwTerminate();
    return 0;
}
