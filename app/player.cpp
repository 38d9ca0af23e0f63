// Entry and main loop of the player: see player.h.
#include <GL/glew.h>

#include "app/player.h"

#include <cstdio>
#include <optional>

#include <glm/glm.hpp>

#include "app/render.h"
#include "audio/audio.h"
#include "scene/scene.h"

GLFWwindow* window = nullptr;
scene* s = nullptr;

namespace {

// Start-up failures leave the message on screen until a key is pressed.
int startupFailure(const char* message, bool terminate) {
    std::fputs(message, stderr);
    std::getchar();
    if (terminate) glfwTerminate();
    return -1;
}

const char* const kWindowFailure = "Failed to open GLFW window. If you have an Intel GPU, they "
                                   "are not 3.3 compatible. Try the 2.1 version of the "
                                   "tutorials.\n";

} // namespace

void window_size_callback(GLFWwindow* w, int width, int height) {
    s->changeWindowSize(width, height);
    int fbWidth = 0, fbHeight = 0;
    glfwGetFramebufferSize(w, &fbWidth, &fbHeight);
    glViewport(0, 0, fbWidth, fbHeight);
}

int runPlayer(int argc, char** argv) {
    const char* path = argc == 2 ? argv[1] : "demo.xml";

    // The music starts before the clock does, so both run from practically the same instant.
    std::optional<audio_engine> engine;
    engine.emplace();
    engine->play2D("Music/evil-2005.ogg");

    if (!glfwInit()) return startupFailure("Failed to initialize GLFW\n", false);

    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
    if (!mode) return startupFailure(kWindowFailure, true);
    glfwWindowHint(GLFW_RED_BITS, mode->redBits);
    glfwWindowHint(GLFW_GREEN_BITS, mode->greenBits);
    glfwWindowHint(GLFW_BLUE_BITS, mode->blueBits);
    glfwWindowHint(GLFW_REFRESH_RATE, mode->refreshRate);
    glfwWindowHint(GLFW_SAMPLES, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GL_TRUE);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    window = glfwCreateWindow(mode->width, mode->height, "Kestrine 3.0", monitor, nullptr);
    if (!window) return startupFailure(kWindowFailure, true);

    glfwMakeContextCurrent(window);
    glewExperimental = true;
    if (glewInit() != GLEW_OK) return startupFailure("Failed to initialize GLEW\n", true);

    s = new scene(path);
    if (!s->loaded()) {
        // The message is out already; a scene with errors is never played.
        glfwTerminate();
        return 1;
    }
    s->changeWindowSize(1024, 768);
    glfwSetWindowSizeCallback(window, window_size_callback);
    glfwSetInputMode(window, GLFW_STICKY_KEYS, GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);

    double lastTime = glfwGetTime();
    int nbFrames = 0;
    const glm::mat4 model(1.0f);
    bool running = true;
    do {
        const double currentTime = glfwGetTime();
        ++nbFrames;
        if (currentTime - lastTime >= 1.0) {
            std::printf("%f ms/frame\n", 1000.0 / static_cast<double>(nbFrames));
            nbFrames = 0;
            lastTime += 1.0;
        }
        running = renderScene(s, model, s->projection);
    } while (glfwGetKey(window, GLFW_KEY_ESCAPE) != GLFW_PRESS && !glfwWindowShouldClose(window) &&
             running);

    engine.reset();
    glfwTerminate();
    return 0;
}
