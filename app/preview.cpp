// The authoring preview: see preview.h.
#include <GL/glew.h>

#include "app/preview.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <GLFW/glfw3.h>
#include <glm/glm.hpp>

#include "app/args.h"
#include "app/command_line.h"
#include "app/offline.h"
#include "app/playhead_steps.h"
#include "app/render.h"
#include "app/resource_log.h"
#include "app/stop.h"
#include "app/watch.h"
#include "audio/audio.h"
#include "authoring/diagnostics.h"
#include "authoring/timeline.h"
#include "gpu/offscreen.h"
#include "platform/draw_state.h"
#include "platform/music.h"
#include "platform/window.h"
#include "scene/scene.h"

namespace {

constexpr double kFrameStep = 1.0 / 60.0; // the frame before a jump, as a 60 fps capture has it
constexpr double kPollInterval = 0.25;    // seconds between looks, where inotify cannot be had
constexpr double kSettle = 0.02;          // seconds without a new write before a save is read
constexpr double kSettleAtMost = 0.25;    // a file written without a pause is read after this
constexpr double kSnippet = 0.12;         // seconds of music heard for each move of a scrub
// The usage lines and description of --help, laid out for help2man, which makes the manual page
// from it; the options follow.
const char* const kAbout =
    "Usage: kestrine-preview SCENE.xml [--at SECONDS] [--loop A:B] [--size WxH] [--no-overlay]\n"
    "                        [--trace]\n"
    "   or: kestrine-preview --help | --version\n"
    "\n"
    "Plays the scene in a resizable window, with its music, from any second, and reloads it\n"
    "whenever the scene file or a file it names is saved. Run it from the scene's folder, as\n"
    "the player. A save that does not load, or whose programs do not compile, prints why on\n"
    "standard error and keeps the old scene playing. Panels over the picture show the time\n"
    "line with the music, the cameras and the models, and the scene's problems.\n"
    "\n"
    "Keys:\n"
    "  Space         pause / resume, picture and music together\n"
    "  Left, Right   seek 1 s back / forward (with Shift: 10 s)\n"
    "  Home          back to 0 s (to the start of the loop while looping)\n"
    "  , .           one frame back / forward (60 a second), pausing\n"
    "  Page Up/Down  to the previous / next cut\n"
    "  L             loop over --loop A:B on and off; without it, over the filming camera's\n"
    "                window\n"
    "  Tab           show / hide the panels\n"
    "  V             the director's view on / off: a camera of your own, which the player,\n"
    "                the capture and the web page never show\n"
    "  W A S D, Q E  fly it forward, left, back, right, down, up (right-drag: turn; middle-\n"
    "                drag: orbit the point under the pointer, or the scene's centre;\n"
    "                the wheel over the picture: speed)\n"
    "  F             put it back where the filming camera stands\n"
    "  P             the camera paths over its picture on / off\n"
    "  Ctrl+0..9     keep its view under that digit, in SCENE.views beside the scene\n"
    "  0..9          back to the view kept under that digit\n"
    "  (left-drag)   in its view, select a path's point and move it facing the view (with\n"
    "                Shift: along the nearest axis)\n"
    "  K / I         the selected point to its eye / a new point after it, at its eye\n"
    "  Delete        take the selected point out of its path\n"
    "  C             a new static camera where it stands, for the second under the playhead\n"
    "  Escape        quit\n";

bool readSeconds(const std::string& text, double& out) {
    return parseNumber(std::string_view(text), 0.0, playhead::kMaxSceneTime, out);
}

// The scene and what belongs to it, replaced together on a reload, and what it is drawn with.
struct scene_slot {
    GLFWwindow* window = nullptr;
    std::unique_ptr<scene> current;
    file_watch watch;
    double time = 0.0;   // the scene time of the frame being drawn: the scene's clock
    bool failed = false; // the last reload was refused; the title says so until the next save
    bool trace = false;  // print the loading trace
    // Meshes draw through whatever vertex array is bound, which is the last one a load made;
    // releasing a scene may delete it, so this one is bound first and stays bound.
    GLuint vertex_array = 0;
    GLuint checker = 0; // drawn where a texture could not be used
};

// Everything the key handler and the window's callbacks change.
struct user_controls {
    playhead head;
    audio_engine* music = nullptr;
    std::optional<section> given; // --loop
    scene_slot* slot = nullptr;
    preview_overlay* overlay = nullptr;
    bool holding = false;       // the overlay holds the playhead under the pointer
    bool played_before = false; // and it was playing when the hold began
    double quiet_at = -1.0;     // wall time at which a scrubbing snippet of music ends
    double ended_at = -1.0;     // the frame the playhead stopped on where the demo ends
};

void pausePlayback(user_controls& controls, double wall) {
    if (controls.head.paused()) return;
    controls.head.togglePause(wall);
    controls.music->pause();
}

void stepFrame(user_controls& controls, int frames, double wall) {
    pausePlayback(controls, wall);
    controls.head.seek(frameStepped(controls.head.at(wall), frames), wall);
}

void jumpToCut(user_controls& controls, bool forward, double wall) {
    const timeline filmed = cameraTimeline(controls.slot->current->cameras);
    if (const auto cut = cutFrom(filmed.cuts, controls.head.at(wall), forward))
        controls.head.seek(*cut, wall);
}

// Where the player would end (no camera films any more), the playhead stops on the last frame
// filmed, unless it loops. from: the time of the frame before, with no jump since. True when
// it stopped.
bool stopWhereTheDemoEnds(user_controls& controls, double from, double to, double wall) {
    if (controls.head.paused() || controls.head.loop() || controls.holding || from >= to)
        return false;
    const auto stop = filmingStops(controls.slot->current->cameras, from, to);
    if (!stop) return false;
    pausePlayback(controls, wall);
    controls.ended_at = frameAtOrBefore(*stop);
    controls.head.seek(controls.ended_at, wall);
    return true;
}

void toggleLoop(user_controls& controls, double wall) {
    const std::vector<camera>& cameras = controls.slot->current->cameras;
    const int index = filmingCamera(cameras, controls.slot->time);
    if (controls.head.loop())
        controls.head.stopLooping();
    else if (controls.given)
        controls.head.loopOver(*controls.given, wall);
    else if (index >= 0 && cameras[index].start < cameras[index].end)
        controls.head.loopOver({cameras[index].start, cameras[index].end}, wall);
    else
        std::printf("no loop: the camera that films has no time window, and --loop was not "
                    "given\n");
}

void onKey(GLFWwindow* w, int key, int, int action, int mods) {
    user_controls& controls = *static_cast<user_controls*>(glfwGetWindowUserPointer(w));
    if (controls.overlay && controls.overlay->key(key, action, mods)) return;
    if (action == GLFW_RELEASE) return;
    const double wall = glfwGetTime();
    const double step = (mods & GLFW_MOD_SHIFT) ? 10.0 : 1.0;
    const bool press = action == GLFW_PRESS; // held arrows repeat, toggles don't
    switch (key) {
    case GLFW_KEY_ESCAPE:
        glfwSetWindowShouldClose(w, GLFW_TRUE);
        break;
    case GLFW_KEY_SPACE:
        if (!press) break;
        controls.head.togglePause(wall);
        if (controls.head.paused())
            controls.music->pause();
        else
            controls.music->resume();
        break;
    case GLFW_KEY_LEFT:
    case GLFW_KEY_RIGHT:
        controls.head.seekBy(key == GLFW_KEY_LEFT ? -step : step, wall);
        break;
    case GLFW_KEY_HOME:
        controls.head.home(wall);
        break;
    case GLFW_KEY_L:
        if (press) toggleLoop(controls, wall);
        break;
    case GLFW_KEY_COMMA:
    case GLFW_KEY_PERIOD:
        stepFrame(controls, key == GLFW_KEY_PERIOD ? 1 : -1, wall);
        break;
    case GLFW_KEY_PAGE_UP:
    case GLFW_KEY_PAGE_DOWN:
        jumpToCut(controls, key == GLFW_KEY_PAGE_DOWN, wall);
        break;
    case GLFW_KEY_TAB:
        if (press && controls.overlay) controls.overlay->toggle();
        break;
    default:
        if (press && controls.overlay) controls.overlay->otherKey(key, mods);
    }
}

void onResize(GLFWwindow* w, int width, int height) {
    const user_controls& controls = *static_cast<user_controls*>(glfwGetWindowUserPointer(w));
    controls.slot->current->changeWindowSize(width, height);
}

// The kept state as a 60 fps capture has it before drawing t: after the frame at t - 1/60,
// or as loaded when there is no frame before.
void prepareAt(scene& sc, double t) {
    if (t < kFrameStep)
        rewind(sc);
    else
        advanceTo(sc, t - kFrameStep);
}

// Destroys a scene, and its GL objects with it, without leaving the drawing without a vertex
// array.
void release(scene_slot& slot, std::unique_ptr<scene> old) {
    glBindVertexArray(slot.vertex_array);
    old.reset();
}

// Reads the scene file and its assets, each file's state taken just before it is read, so that
// a save landing during the load is seen by the next look, and says what the checker finds in
// what the load recorded. found: the load's findings and the checker's.
std::unique_ptr<scene> load(const std::string& path, file_watch& read, const scene_slot& slot,
                            std::vector<diagnostic>& found) {
    // Milliseconds to pause before each file, from KESTRINE_PREVIEW_LOAD_PAUSE: lets a test
    // save a file while a reload is under way.
    static const char* const pauseText = std::getenv("KESTRINE_PREVIEW_LOAD_PAUSE");
    static const int pause = pauseText ? std::atoi(pauseText) : 0;
    read.add(path);
    load_options options;
    options.trace = slot.trace ? stdout : nullptr;
    // Built once more as a web browser would, for the problems it would refuse.
    options.browser_programs = true;
    options.opening = [&read](const char* file) {
        read.add(file);
        if (pause <= 0) return;
        std::printf("kestrine-preview: opening %s\n", file);
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    };
    auto loaded = std::make_unique<scene>(path.c_str(), options);
    found = loaded->diagnostics();
    // The checker's findings, from what this load recorded; the loader has printed its own.
    // The music's the audio layer tells.
    if (loaded->loaded())
        for (diagnostic& d : recordedDiagnostics(*loaded, path, std::nan(""))) {
            std::fprintf(stderr, "%s\n", wordDiagnostic(d).c_str());
            found.push_back(std::move(d));
        }
    // Black, as the player draws it, looks like lighting: here it is a pattern, and says so.
    loaded->unusable_texture = slot.checker;
    for (const asset_record& r : loaded->asset_records)
        if (r.kind == asset_record::texture_kind && r.failed)
            found.push_back({.at = {path, r.line},
                             .element = "texture " + quoted(r.name),
                             .what = "shown as a checker pattern in the studio",
                             .effect = "the player, the capture and the web page draw its "
                                       "models with no texture"});
    return loaded;
}

void play(scene_slot& slot, std::unique_ptr<scene> next, file_watch read) {
    next->timer = [&slot] { return slot.time; };
    int width = 0, height = 0;
    glfwGetWindowSize(slot.window, &width, &height);
    next->changeWindowSize(width, height);
    release(slot, std::move(slot.current));
    slot.current = std::move(next);
    slot.watch = std::move(read);
}

bool readLoop(const std::string& text, std::optional<section>& out) {
    const std::size_t colon = text.find(':');
    section loop;
    const bool ok = colon != std::string::npos && readSeconds(text.substr(0, colon), loop.start) &&
                    readSeconds(text.substr(colon + 1), loop.end) && loop.start < loop.end;
    if (ok) out = loop;
    return ok;
}

void declareOptions(command_line& cli, preview_options& out) {
    cli.add_option("SCENE.xml", out.scene);
    addValue(cli, "--at", "SECONDS", "start there (default 0)",
             "--at: not a time in seconds from 0 to 1000000",
             [&out](const std::string& v) { return readSeconds(v, out.at); });
    addValue(cli, "--loop", "A:B", "loop from A to B seconds, looping from the start",
             "--loop: not A:B in seconds with A before B",
             [&out](const std::string& v) { return readLoop(v, out.loop); });
    addValue(cli, "--size", "WxH", "window size (default 1280x720)",
             "--size: not WIDTHxHEIGHT in pixels from 1 to 16384",
             [&out](const std::string& v) { return parseSize(v, out.width, out.height); });
    cli.add_flag_callback(
        "--no-overlay", [&out] { out.overlay = false; },
        "start with the panels hidden (Tab shows them)");
    cli.add_flag("--trace", out.trace, "print the player's loading trace on each load");
    cli.callback([&out] {
        if (out.scene.empty()) throw CLI::ValidationError("no scene file given");
    });
}

// Draws the frame at the slot's time offscreen, as a capture would, or from the overlay's
// viewer with what it draws over it, and copies it in. The milliseconds of the overlay's
// drawing over the picture, or below 0.
double drawToWindow(scene_slot& slot, std::unique_ptr<offscreen>& frame,
                    preview_overlay* overlay) {
    int width = 0, height = 0;
    glfwGetFramebufferSize(slot.window, &width, &height);
    if (width <= 0 || height <= 0) return -1.0;
    if (!frame || frame->frameWidth() != width || frame->frameHeight() != height)
        frame = std::make_unique<offscreen>(width, height, kFrameSamples);
    frame->bind();
    camera filming;
    drawFrameFrom(slot.current.get(), glm::mat4(1.0f), slot.current->projection,
                  overlay ? overlay->viewer() : nullptr, filming);
    frame->bindPicture();
    const double over = overlay ? overlay->overPicture(*slot.current, filming, slot.time) : -1.0;
    frame->present(overlay ? overlay->covers(height) : 0);
    return over;
}

// Applies what the overlay asked after a frame, as the keys would.
void applyRequests(const preview_requests& asked, user_controls& controls, double wall) {
    playhead& head = controls.head;
    if (asked.hold && !controls.holding) {
        controls.holding = true;
        controls.played_before = !head.paused();
        if (!head.paused()) {
            head.togglePause(wall);
            controls.music->pause();
        }
    }
    if (asked.seek) {
        head.seek(*asked.seek, wall);
        if (asked.snippet) {
            // A moment of the music under the playhead; the frame loop quiets it again.
            controls.music->seek(head.at(wall));
            controls.music->resume();
            controls.quiet_at = wall + kSnippet;
        }
    }
    if (asked.release && controls.holding) {
        controls.holding = false;
        if (controls.played_before && head.paused()) {
            head.togglePause(wall);
            controls.music->resume();
            controls.quiet_at = -1.0;
        }
    }
    if (asked.loop) head.loopOver(*asked.loop, wall);
}

// Seconds per frame over the last second, kept as a running window.
struct frame_times {
    std::vector<std::pair<double, double>> times; // when each frame was drawn, and its seconds

    void add(double wall, double seconds) {
        times.push_back({wall, seconds});
        std::erase_if(times, [wall](const auto& t) { return t.first < wall - 1.0; });
    }
    double meanMs() const {
        double sum = 0.0;
        for (const auto& t : times)
            sum += t.second;
        return times.empty() ? 0.0 : 1000.0 * sum / double(times.size());
    }
};

// Where the scene's files are to be looked at for a save: when one is heard of through the
// folders' events, or every kPollInterval where a folder cannot be watched.
class save_watch {
public:
    explicit save_watch(const file_watch& files) : nextPoll(glfwGetTime() + kPollInterval) {
        // KESTRINE_PREVIEW_POLL=1 looks every kPollInterval instead, as where inotify is
        // missing: for tests of that way and for measuring the two side by side.
        static const char* const poll = std::getenv("KESTRINE_PREVIEW_POLL");
        polled = poll && std::string(poll) == "1";
        if (!polled) events.watch(files.files());
    }
    // Whether to look now. Saves are read once their writes settle.
    bool due(double wall) {
        bool look = unheard;
        unheard = false;
        if (events.complete()) {
            // Read in this frame, not the next: on a busy machine a frame is long.
            if (events.heard()) {
                look = true;
                events.settle(kSettle, kSettleAtMost);
            }
        } else if (wall >= nextPoll) {
            nextPoll = wall + kPollInterval;
            look = true;
        }
        return look;
    }
    // After a load, whose files may have changed.
    // The overlay wrote a file: looked at in the next frame, heard of or not (a file written
    // through a link lives in a folder that may not be watched).
    void lookNow() { unheard = true; }
    void watchAgain(const file_watch& files) {
        if (polled) return;
        events.watch(files.files());
        // A save that lands after a load has read its files but before their folders are
        // watched is heard by no one: the files are looked at once after each start of watching.
        unheard = true;
    }

private:
    folder_events events;
    bool polled = false;
    double nextPoll = 0.0;
    bool unheard = true;
};

// Reloads the scene when one of its files changed, and tells the overlay. A file with a load
// error, or with assets the player could not use (an error by kestrine-check's rules: a texture
// or mesh that could not be read, a program that does not compile or link), leaves the old
// scene playing. True when the new scene plays.
bool reloadOnSave(scene_slot& slot, preview_overlay* overlay, const std::string& path,
                  save_watch& saves, long& reloads, preview_view& view) {
    if (!slot.watch.changed()) return false;
    std::vector<diagnostic> found, refusal;
    const double began = glfwGetTime();
    file_watch read;
    auto next = load(path, read, slot, found);
    for (const diagnostic& d : found)
        if (d.severity == diagnostic::error) refusal.push_back(d);
    slot.failed = !next->loaded() || !refusal.empty();
    if (slot.failed) {
        release(slot, std::move(next));
        slot.watch.update(read);
        std::fprintf(stderr,
                     "%s: not reloaded; the scene that was playing goes on until the file is "
                     "saved again\n",
                     path.c_str());
    } else {
        play(slot, std::move(next), std::move(read));
        std::printf("%s: reloaded at %.2f s\n", path.c_str(), slot.time);
        std::fflush(stdout);
    }
    view.reload_ms = 1000.0 * (glfwGetTime() - began);
    logResources("kestrine-preview", "reload", ++reloads);
    if (overlay) overlay->loaded(path, *slot.current, found, refusal);
    saves.watchAgain(slot.watch);
    return !slot.failed;
}

// Frames until the window closes or a stop signal comes: reloads on saves, follows the
// playhead, and names the frame on screen in the title.
void playUntilClosed(scene_slot& slot, user_controls& controls, audio_engine& music,
                     const std::string& path, preview_view& view) {
    std::unique_ptr<offscreen> frame;
    save_watch saves(slot.watch);
    long reloads = 0;
    std::string shownTitle;
    frame_times drawing;
    // Each frame: the panels shown or not, then the milliseconds of drawing and of the panels,
    // for the studio's figures in docs/figures.md (KESTRINE_PREVIEW_FRAME_LOG names the file).
    static const char* const logPath = std::getenv("KESTRINE_PREVIEW_FRAME_LOG");
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> log(
        logPath ? std::fopen(logPath, "w") : nullptr, [](std::FILE* f) { return std::fclose(f); });
    while (!glfwWindowShouldClose(slot.window) && !stopRequested()) {
        const double wall = glfwGetTime();
        const bool reloaded =
            saves.due(wall) && reloadOnSave(slot, controls.overlay, path, saves, reloads, view);
        if (controls.quiet_at >= 0.0 && wall >= controls.quiet_at) {
            controls.quiet_at = -1.0;
            if (controls.head.paused()) music.pause();
        }
        double t = controls.head.at(wall);
        bool jumped = controls.head.takeJump();
        if (!jumped && !reloaded && stopWhereTheDemoEnds(controls, slot.time, t, wall)) {
            t = controls.head.at(wall);
            jumped = controls.head.takeJump();
        }
        if (jumped && controls.quiet_at < 0.0) music.seek(t);
        // Paused frames are all drawn as the first frame after a seek, so they are identical.
        scene& sc = *slot.current;
        const double drawStart = glfwGetTime();
        if (jumped || reloaded || controls.head.paused()) prepareAt(sc, t);
        slot.time = t;
        const double over = drawToWindow(slot, frame, controls.overlay);
        glFinish(); // so that the time is the drawing's, not the queueing's
        const double drawn = glfwGetTime();
        drawing.add(drawn, drawn - drawStart);
        if (controls.overlay) {
            // The overlay over the frame, and what it asks applied.
            view.time = t;
            view.camera = filmingCamera(sc.cameras, t);
            view.paused = controls.head.paused();
            view.director = controls.overlay->viewer() != nullptr;
            view.loop = controls.head.loop();
            view.frame_ms = drawing.meanMs();
            const preview_requests asked = controls.overlay->draw(view);
            if (asked.reread) saves.lookNow();
            applyRequests(asked, controls, glfwGetTime());
        }
        if (log) {
            glFinish();
            std::fprintf(log.get(), "%d %.3f %.3f %d %.3f\n",
                         controls.overlay && controls.overlay->visible(),
                         1000.0 * (drawn - drawStart), 1000.0 * (glfwGetTime() - drawn),
                         over >= 0.0, std::max(over, 0.0));
            std::fflush(log.get());
        }
        glfwSwapBuffers(slot.window);
        // Set once the frame is presented, so that whoever waits for a title sees that frame.
        const bool ended = controls.head.paused() && t == controls.ended_at;
        const std::string title = previewTitle(path, t, filmingCamera(sc.cameras, t),
                                               controls.head.paused(), controls.head.loop()) +
                                  (ended ? " | ended" : "") +
                                  (slot.failed ? " | reload failed" : "") +
                                  (controls.overlay && controls.overlay->viewer() ? " | director"
                                                                                  : "");
        if (title != shownTitle) {
            glfwSetWindowTitle(slot.window, title.c_str());
            shownTitle = title;
        }
        glfwPollEvents();
        // No more than 60 frames a second, and fewer while paused; keys still come at once.
        double left =
            (controls.head.paused() ? 3 * kFrameStep : kFrameStep) - (glfwGetTime() - wall);
        if (left > 0.0) glfwWaitEventsTimeout(left);
    }
}

} // namespace

std::string parsePreviewArgs(int argc, const char* const* argv, preview_options& out) {
    command_line cli("kestrine-preview", kAbout, 16);
    declareOptions(cli, out);
    try {
        cli.parse(std::vector<std::string>(std::reverse_iterator(argv + argc),
                                           std::reverse_iterator(argv)));
    } catch (const CLI::ParseError& e) {
        return e.what();
    }
    return "";
}

int runPreview(int argc, char** argv, preview_overlay* overlay) {
    preview_options options;
    command_line cli("kestrine-preview", kAbout, 16);
    declareOptions(cli, options);
    if (const int status = cli.read(argc, argv); status >= 0) return status;
    watchStopSignals();
    // Nothing of the preview reads the terminal; a key typed there must not reach a loader.
    if (const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC); nothing >= 0) {
        dup2(nothing, STDIN_FILENO);
        close(nothing);
    }
    std::optional<audio_engine> engine(std::in_place);
    engine->play2D(kMusicFile);

    scene_slot slot;
    window_failure failure;
    // Frames are drawn offscreen exactly as kestrine-capture draws them and copied in, so the
    // window itself takes no samples.
    slot.window = openWindow(
        {window_kind::windowed, options.width, options.height, "kestrine-preview", 0}, failure);
    if (!slot.window) {
        std::fprintf(stderr, "kestrine-preview: %s\n", describe(failure));
        if (failure != window_failure::library) glfwTerminate();
        return 1;
    }
    glGenVertexArrays(1, &slot.vertex_array);
    slot.checker = makeCheckerTexture();
    preview_view view;
    slot.trace = options.trace;
    std::vector<diagnostic> found;
    {
        file_watch read;
        const double began = glfwGetTime();
        auto first = load(options.scene, read, slot, found);
        if (!first->loaded()) {
            first.reset(); // its GL objects go while the context is there
            glfwTerminate();
            endByStopSignal();
            return 1;
        }
        play(slot, std::move(first), std::move(read));
        view.reload_ms = 1000.0 * (glfwGetTime() - began);
        logResources("kestrine-preview", "reload", 0); // the first load
    }
    int fbWidth = 0, fbHeight = 0;
    glfwGetFramebufferSize(slot.window, &fbWidth, &fbHeight);
    glViewport(0, 0, fbWidth, fbHeight);
    setDrawState();

    user_controls controls{playhead(options.at, glfwGetTime()), &*engine, options.loop, &slot,
                           overlay};
    if (options.loop) controls.head.loopOver(*options.loop, glfwGetTime());
    glfwSetWindowUserPointer(slot.window, &controls);
    glfwSetKeyCallback(slot.window, onKey);
    glfwSetWindowSizeCallback(slot.window, onResize);
    if (overlay) {
        overlay->attach(slot.window, options.overlay);
        overlay->loaded(options.scene, *slot.current, found, {});
    }
    playUntilClosed(slot, controls, *engine, options.scene, view);

    if (overlay) overlay->detach();
    slot.current.reset();
    glDeleteTextures(1, &slot.checker);
    engine.reset();
    glfwTerminate();
    endByStopSignal();
    return 0;
}
