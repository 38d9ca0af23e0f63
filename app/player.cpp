// Entry and main loop of the player: see player.h.
#include <GL/glew.h>

#include "app/player.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include <glm/glm.hpp>

#include "app/args.h"
#include "app/render.h"
#include "app/stop.h"
#include "audio/audio.h"
#include "platform/draw_state.h"
#include "platform/music.h"
#include "platform/window.h"
#include "scene/scene.h"

GLFWwindow* window = nullptr;
scene* s = nullptr;

namespace {

// Start-up failures leave the message on screen until a key is pressed.
int startupFailure(const char* message, bool terminate) {
    std::fputs(message, stderr);
    waitForKey();
    if (terminate) glfwTerminate();
    return -1;
}

// Laid out for help2man, which makes the manual page from it: usage lines, a description, then
// the options.
const char* const kUsage =
    "Usage: kestrine [SCENE.xml]\n"
    "   or: kestrine --help | --version\n"
    "\n"
    "Plays the scene file (demo.xml when none, or more than one, is given) full screen with\n"
    "Music/evil-2005.ogg, until its cameras run out, Escape is pressed, or the window closes.\n"
    "Paths inside the scene, and the music's, are relative to the working directory. A scene\n"
    "file with an error stops before the first frame with one line on standard error naming\n"
    "the file and line, and status 1.\n"
    "\n"
    "Options:\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n";

const char* const kWindowFailure = "Failed to open GLFW window. If you have an Intel GPU, they "
                                   "are not 3.3 compatible. Try the 2.1 version of the "
                                   "tutorials.\n";

// KESTRINE_FRAME_LOG=1 has the player say on standard error when its first frame is on screen
// and how its loop ended, for tests and scripts that must wait for it; standard output stays
// as it is.
bool frameLog() {
    const char* v = std::getenv("KESTRINE_FRAME_LOG");
    return v && *v && *v != '0';
}

} // namespace

void window_size_callback(GLFWwindow* w, int width, int height) {
    s->changeWindowSize(width, height);
    int fbWidth = 0, fbHeight = 0;
    glfwGetFramebufferSize(w, &fbWidth, &fbHeight);
    glViewport(0, 0, fbWidth, fbHeight);
}

int runPlayer(int argc, char** argv) {
    // Only as the one argument: any other command line keeps its meaning.
    if (argc == 2 && answersHelpOrVersion(argv[1], "kestrine", kUsage)) return 0;
    const char* path = argc == 2 ? argv[1] : "demo.xml";
    watchStopSignals();

    // The music starts before the clock does, so both run from practically the same instant.
    std::optional<audio_engine> engine(std::in_place);
    engine->play2D(kMusicFile);

    window_failure failure;
    window = openWindow({window_kind::full_screen, 0, 0, "Kestrine 3.0", 4}, failure);
    if (failure == window_failure::library)
        return startupFailure("Failed to initialize GLFW\n", false);
    if (failure == window_failure::window) return startupFailure(kWindowFailure, true);
    if (failure == window_failure::entry_points)
        return startupFailure("Failed to initialize GLEW\n", true);

    s = new scene(path);
    s->timer = glfwGetTime;
    if (!s->loaded()) {
        // The message is out already; a scene with errors is never played.
        glfwTerminate();
        endByStopSignal();
        return 1;
    }
    // A full-screen window gets no size event, so the first projection takes the real aspect.
    int fbWidth = 0, fbHeight = 0;
    glfwGetFramebufferSize(window, &fbWidth, &fbHeight);
    s->changeWindowSize(fbWidth, fbHeight);
    glfwSetWindowSizeCallback(window, window_size_callback);
    glfwSetInputMode(window, GLFW_STICKY_KEYS, GL_TRUE);
    setDrawState();

    const bool log = frameLog();
    const double loopStart = glfwGetTime();
    frame_rate_line rate(loopStart);
    double frameStart = loopStart;
    long frames = 0;
    const glm::mat4 model(1.0f);
    bool running = !stopRequested();
    while (running) {
        frameStart = glfwGetTime();
        rate.tick(frameStart);
        running = renderScene(s, model, s->projection);
        if (log && ++frames == 1)
            std::fprintf(stderr, "kestrine: first frame presented at %.6f s\n", frameStart);
        running = running && glfwGetKey(window, GLFW_KEY_ESCAPE) != GLFW_PRESS &&
                  !glfwWindowShouldClose(window) && !stopRequested();
    }
    if (log)
        std::fprintf(stderr,
                     "kestrine: %ld frames; the loop started at %.6f s, the last frame at "
                     "%.6f s\n",
                     frames, loopStart, frameStart);

    engine.reset();
    glfwTerminate();
    endByStopSignal();
    return 0;
}
