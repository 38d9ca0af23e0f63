// The authoring preview: see preview.h.
#include <GL/glew.h>

#include "app/preview.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <GLFW/glfw3.h>
#include <glm/glm.hpp>

#include "app/args.h"
#include "app/offline.h"
#include "app/render.h"
#include "app/stop.h"
#include "app/watch.h"
#include "audio/audio.h"
#include "gpu/offscreen.h"
#include "gpu/program_check.h"
#include "scene/scene.h"

namespace {

constexpr double kFrameStep = 1.0 / 60.0; // the frame before a jump, as a 60 fps capture has it
constexpr double kPollInterval = 0.25;    // seconds between looks at the scene's files
const char* const kMusic = "Music/evil-2005.ogg";
// Laid out for help2man, which makes the manual page from it.
const char* const kUsage =
    "Usage: kestrine-preview SCENE.xml [--at SECONDS] [--loop A:B] [--size WxH]\n"
    "   or: kestrine-preview --help | --version\n"
    "\n"
    "Plays the scene in a resizable window, with its music, from any second, and reloads it\n"
    "whenever the scene file or a file it names is saved. Run it from the scene's folder, as\n"
    "the player. A save that does not load, or whose programs do not compile, prints why on\n"
    "standard error and keeps the old scene playing.\n"
    "\n"
    "Keys:\n"
    "  Space         pause / resume, picture and music together\n"
    "  Left, Right   seek 1 s back / forward (with Shift: 10 s)\n"
    "  Home          back to 0 s (to the start of the loop while looping)\n"
    "  L             loop over --loop A:B on and off; without it, over the filming camera's\n"
    "                window\n"
    "  Escape        quit\n"
    "\n"
    "Options:\n"
    "  --at SECONDS  start there (default 0)\n"
    "  --loop A:B    loop from A to B seconds, looping from the start\n"
    "  --size WxH    window size (default 1280x720)\n"
    "  --help        print this text and exit\n"
    "  --version     print the version and exit\n";

bool readSeconds(const std::string& text, double& out) {
    return parseNumber(std::string_view(text), 0.0, playhead::kMaxSceneTime, out);
}

// The scene and what belongs to it, replaced together on a reload, and what it is drawn with.
struct playing {
    GLFWwindow* window = nullptr;
    std::unique_ptr<scene> current;
    file_watch watch;
    double time = 0.0;   // the scene time of the frame being drawn: the scene's clock
    bool failed = false; // the last reload was refused; the title says so until the next save
    // Meshes draw through whatever vertex array is bound, which is the last one a load made;
    // releasing a scene may delete it, so this one is bound first and stays bound.
    GLuint vertex_array = 0;
};

// Everything the key handler and the window's callbacks change.
struct session {
    playhead head;
    audio_engine* music = nullptr;
    std::optional<section> given; // --loop
    playing* shown = nullptr;
};

void toggleLoop(session& p, double wall) {
    if (p.head.loop()) {
        p.head.stopLooping();
        return;
    }
    if (p.given) {
        p.head.loopOver(*p.given, wall);
        return;
    }
    const std::vector<camera>& cameras = p.shown->current->cameras;
    const int index = filmingCamera(cameras, p.shown->time);
    if (index < 0 || !(cameras[index].start < cameras[index].end)) {
        std::printf("no loop: the camera that films has no time window, and --loop was not "
                    "given\n");
        return;
    }
    p.head.loopOver({cameras[index].start, cameras[index].end}, wall);
}

void onKey(GLFWwindow* w, int key, int, int action, int mods) {
    if (action == GLFW_RELEASE) return;
    session& p = *static_cast<session*>(glfwGetWindowUserPointer(w));
    const double wall = glfwGetTime();
    const double step = (mods & GLFW_MOD_SHIFT) ? 10.0 : 1.0;
    const bool press = action == GLFW_PRESS; // held arrows repeat, toggles don't
    switch (key) {
    case GLFW_KEY_ESCAPE:
        glfwSetWindowShouldClose(w, GLFW_TRUE);
        break;
    case GLFW_KEY_SPACE:
        if (!press) break;
        p.head.togglePause(wall);
        if (p.head.paused())
            p.music->pause();
        else
            p.music->resume();
        break;
    case GLFW_KEY_LEFT:
        p.head.seekBy(-step, wall);
        break;
    case GLFW_KEY_RIGHT:
        p.head.seekBy(step, wall);
        break;
    case GLFW_KEY_HOME:
        p.head.home(wall);
        break;
    case GLFW_KEY_L:
        if (press) toggleLoop(p, wall);
        break;
    default:
        break;
    }
}

void onResize(GLFWwindow* w, int width, int height) {
    const session& p = *static_cast<session*>(glfwGetWindowUserPointer(w));
    p.shown->current->changeWindowSize(width, height);
}

// The kept state as a 60 fps capture has it before drawing t: after the frame at t - 1/60,
// or as loaded when there is no frame before.
void settleFor(scene& sc, double t) {
    const double previous = t - kFrameStep;
    if (previous < 0.0)
        unsettle(sc);
    else
        settleAt(sc, previous);
}

// Destroys a scene, and its GL objects with it, without leaving the drawing without a vertex
// array.
void release(playing& p, std::unique_ptr<scene> old) {
    glBindVertexArray(p.vertex_array);
    old.reset();
}

// Reads the scene file and its assets, each file's state taken just before it is read, so that
// a save landing during the load is seen by the next look.
std::unique_ptr<scene> load(const std::string& path, file_watch& read) {
    // Milliseconds to pause before each file, from KESTRINE_PREVIEW_LOAD_PAUSE: lets a test
    // save a file while a reload is under way.
    static const char* const pauseText = std::getenv("KESTRINE_PREVIEW_LOAD_PAUSE");
    static const int pause = pauseText ? std::atoi(pauseText) : 0;
    read.add(path);
    load_options options;
    options.opening = [&read](const char* file) {
        read.add(file);
        if (pause <= 0) return;
        std::printf("kestrine-preview: opening %s\n", file);
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    };
    return std::make_unique<scene>(path.c_str(), options);
}

void play(playing& p, std::unique_ptr<scene> next, file_watch read) {
    next->timer = [&p] { return p.time; };
    int width = 0, height = 0;
    glfwGetWindowSize(p.window, &width, &height);
    next->changeWindowSize(width, height);
    release(p, std::move(p.current));
    p.current = std::move(next);
    p.watch = std::move(read);
}

// Errors by kestrine-check's rules in assets that loaded: a texture or mesh that could not be
// read (the loader has said so), a program that does not compile or link (said here, with the
// driver's log). True when there is none.
bool assetsUsable(const scene& sc, const std::string& path) {
    bool usable = true;
    for (const asset_record& a : sc.asset_records) {
        usable = usable && !a.failed;
        if (a.kind != asset_record::shader_kind || !a.complete || a.failed) continue;
        std::string sources[2];
        for (int i = 0; i < 2; ++i) {
            std::ifstream in(i == 0 ? a.file : a.fragment, std::ios::binary);
            sources[i].assign(std::istreambuf_iterator<char>(in), {});
        }
        const std::string element = path + ":" + std::to_string(a.line);
        const std::vector<std::string> failures =
            programFailures(checkProgram(sources[0], sources[1]), a.file, a.fragment, element);
        if (failures.empty()) continue;
        usable = false;
        // Built step by step: GCC 12 warns falsely (-Wrestrict) about one long sum of strings.
        std::string where = element + ": error: shader";
        if (a.named) where += ' ' + quoted(a.name);
        for (const std::string& failure : failures)
            std::fprintf(stderr, "%s: %s\n", where.c_str(), failure.c_str());
    }
    return usable;
}

// Loads the scene file again; a file with a load error, or with assets the player could not
// use, leaves the old scene playing.
bool reload(playing& p, const std::string& path) {
    file_watch read;
    auto next = load(path, read);
    p.failed = !next->loaded() || !assetsUsable(*next, path);
    if (p.failed) {
        release(p, std::move(next));
        p.watch.update(read);
        std::fprintf(stderr,
                     "%s: not reloaded; the scene that was playing goes on until the file is "
                     "saved again\n",
                     path.c_str());
        return false;
    }
    play(p, std::move(next), std::move(read));
    std::printf("%s: reloaded at %.2f s\n", path.c_str(), p.time);
    std::fflush(stdout);
    return true;
}

} // namespace

std::string parsePreviewArgs(int argc, const char* const* argv, preview_options& out) {
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            if (!out.scene.empty()) return "more than one scene file: " + quoted(arg);
            out.scene = arg;
            continue;
        }
        if (arg != "--at" && arg != "--loop" && arg != "--size")
            return "unknown option " + quoted(arg);
        if (i + 1 >= argc) return arg + " needs a value";
        const std::string value = argv[++i];
        if (arg == "--at") {
            if (!readSeconds(value, out.at))
                return "--at: not a time in seconds from 0 to 1000000: " + quoted(value);
        } else if (arg == "--loop") {
            const std::size_t colon = value.find(':');
            section loop;
            if (colon == std::string::npos || !readSeconds(value.substr(0, colon), loop.start) ||
                !readSeconds(value.substr(colon + 1), loop.end) || !(loop.start < loop.end))
                return "--loop: not A:B in seconds with A before B: " + quoted(value);
            out.loop = loop;
        } else {
            if (!parseSize(value, out.width, out.height))
                return "--size: not WIDTHxHEIGHT in pixels from 1 to 16384: " + quoted(value);
        }
    }
    if (out.scene.empty()) return "no scene file given";
    return "";
}

int runPreview(int argc, char** argv) {
    if (answersHelpOrVersion(argc, argv, "kestrine-preview", kUsage)) return 0;
    preview_options options;
    const std::string wrong = parsePreviewArgs(argc - 1, argv + 1, options);
    if (!wrong.empty()) {
        std::fprintf(stderr, "kestrine-preview: %s\n%s", wrong.c_str(), kUsage);
        return 2;
    }
    watchStopSignals();
    // Nothing of the preview reads the terminal; a key typed there must not reach a loader.
    const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nothing >= 0) {
        dup2(nothing, STDIN_FILENO);
        close(nothing);
    }

    std::optional<audio_engine> engine;
    engine.emplace();
    engine->play2D(kMusic);

    if (!glfwInit()) {
        std::fprintf(stderr, "kestrine-preview: cannot start the window library\n");
        return 1;
    }
    // Frames are drawn offscreen exactly as kestrine-capture draws them and copied in, so the
    // window itself takes no samples.
    glfwWindowHint(GLFW_SAMPLES, 0);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GL_TRUE);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    playing shown;
    GLFWwindow* window =
        glfwCreateWindow(options.width, options.height, "kestrine-preview", nullptr, nullptr);
    if (!window) {
        std::fprintf(stderr, "kestrine-preview: cannot open an OpenGL 3.3 window\n");
        glfwTerminate();
        return 1;
    }
    glfwMakeContextCurrent(window);
    glewExperimental = true;
    if (glewInit() != GLEW_OK) {
        std::fprintf(stderr, "kestrine-preview: cannot load the OpenGL entry points\n");
        glfwTerminate();
        return 1;
    }

    shown.window = window;
    glGenVertexArrays(1, &shown.vertex_array);
    {
        file_watch read;
        auto first = load(options.scene, read);
        if (!first->loaded()) {
            first.reset(); // its GL objects go while the context is there
            glfwTerminate();
            endByStopSignal();
            return 1;
        }
        play(shown, std::move(first), std::move(read));
    }
    int fbWidth = 0, fbHeight = 0;
    glfwGetFramebufferSize(window, &fbWidth, &fbHeight);
    glViewport(0, 0, fbWidth, fbHeight);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);

    session keys{playhead(options.at, glfwGetTime()), &*engine, options.loop, &shown};
    if (options.loop) keys.head.loopOver(*options.loop, glfwGetTime());
    glfwSetWindowUserPointer(window, &keys);
    glfwSetKeyCallback(window, onKey);
    glfwSetWindowSizeCallback(window, onResize);

    std::unique_ptr<offscreen> frame;
    double nextPoll = glfwGetTime() + kPollInterval;
    std::string shownTitle;
    while (!glfwWindowShouldClose(window) && !stopRequested()) {
        const double wall = glfwGetTime();
        bool reloaded = false;
        if (wall >= nextPoll) {
            nextPoll = wall + kPollInterval;
            if (shown.watch.changed()) reloaded = reload(shown, options.scene);
        }
        const double t = keys.head.at(wall);
        const bool jumped = keys.head.takeJump();
        if (jumped) engine->seek(t);
        // Paused frames are all drawn as the first frame after a seek, so they are identical.
        scene& sc = *shown.current;
        if (jumped || reloaded || keys.head.paused()) settleFor(sc, t);
        shown.time = t;

        glfwGetFramebufferSize(window, &fbWidth, &fbHeight);
        if (fbWidth > 0 && fbHeight > 0) {
            if (!frame || frame->frameWidth() != fbWidth || frame->frameHeight() != fbHeight)
                frame = std::make_unique<offscreen>(fbWidth, fbHeight, kFrameSamples);
            frame->bind();
            drawFrame(&sc, glm::mat4(1.0f), sc.projection);
            frame->present();
        }
        glfwSwapBuffers(window);
        // The title names the frame on screen: set once it is presented, so that whoever waits
        // for a title sees that frame.
        const std::string title = previewTitle(options.scene, t, filmingCamera(sc.cameras, t),
                                               keys.head.paused(), keys.head.loop()) +
                                  (shown.failed ? " | reload failed" : "");
        if (title != shownTitle) {
            glfwSetWindowTitle(window, title.c_str());
            shownTitle = title;
        }
        glfwPollEvents();

        // No more than 60 frames a second, and fewer while paused; keys still come at once.
        const double left =
            (keys.head.paused() ? 3 * kFrameStep : kFrameStep) - (glfwGetTime() - wall);
        if (left > 0.0) glfwWaitEventsTimeout(left);
    }

    frame.reset();
    shown.current.reset();
    engine.reset();
    glfwTerminate();
    endByStopSignal();
    return 0;
}
