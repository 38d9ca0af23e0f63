// The player in a web browser. The page starts it with the scene file, or with "--at SECONDS
// --fps N" before it for one held frame; the browser drives the frames, and the page plays the
// music, keeps the scene clock and calls kestrine_start when its start button is pressed.
#include <GL/glew.h>
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <glm/glm.hpp>

#include "app/offline.h"
#include "app/render.h"
#include "platform/draw_state.h"
#include "scene/scene.h"

// What the page is told; it shows the cards and keeps its state for tests.
EM_JS(void, pageReady, (), { Module.kestrineReady(); });
EM_JS(void, pageEnded, (), { Module.kestrineEnded(); });
EM_JS(void, pageHeld, (long frame, bool active), { Module.kestrineHeld(frame, active); });
EM_JS(void, pageFailed, (const char* why), { Module.kestrineFailed(UTF8ToString(why)); });
// The scene time, which follows the music's position while it plays; unlike the native
// player's clock, it cannot drift from the sound.
EM_JS(double, pageSeconds, (), { return Module.kestrineClock(); });

namespace {

struct web_player {
    scene* s = nullptr;
    int width = 0; // of the canvas's drawing buffer, as last seen
    int height = 0;
    bool playing = false;
    double started = 0.0; // ms of the browser's clock at the start, for the frame rate
    frame_rate_line rate{0.0};
    bool hold = false; // one frame, drawn and kept
    bool held = false; // and drawn
    double at = 0.0;
    int fps = 60;
};

web_player p;

double seconds() {
    return pageSeconds();
}

// The frame-time line counts the browser's time: the scene's holds while the music waits.
double wallSeconds() {
    return (emscripten_get_now() - p.started) / 1000.0;
}

// The page sizes the canvas; the projection follows it, as the native player's follows its
// window.
void followCanvas() {
    int w = 0, h = 0;
    emscripten_get_canvas_element_size("#canvas", &w, &h);
    if (w == p.width && h == p.height) return;
    p.width = w;
    p.height = h;
    p.s->changeWindowSize(w, h);
    glViewport(0, 0, w, h);
}

// The frame that kestrine-capture --fps writes for that time, with the kept state it has; the
// same however often it is drawn.
bool drawHeld(long k) {
    prepareFrame(*p.s, k, p.fps);
    const double t = frameTime(k, p.fps);
    p.s->timer = [t] { return t; };
    return drawFrame(p.s, glm::mat4(1.0f), p.s->projection);
}

void frame() {
    followCanvas();
    if (p.hold) {
        const long k = std::lround(p.at * p.fps);
        const bool active = drawHeld(k);
        emscripten_cancel_main_loop();
        p.held = true;
        return pageHeld(k, active);
    }
    if (!p.playing) return;
    p.rate.tick(wallSeconds());
    if (drawFrame(p.s, glm::mat4(1.0f), p.s->projection)) return;
    // The cameras have run out: the last frame stays under the page's end card.
    p.playing = false;
    pageEnded();
}

// Tells the page why nothing will play; `print` puts the message on the error stream too.
int refuse(const std::string& why, bool print = true) {
    if (print) std::fprintf(stderr, "%s\n", why.c_str());
    pageFailed(why.c_str());
    return 1;
}

bool number(const char* text, double& out) {
    char* end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(out);
}

} // namespace

// Starts the clock, from the first frame of the scene: at the start button with the music, and
// again at each replay.
extern "C" EMSCRIPTEN_KEEPALIVE void kestrine_start() {
    if (!p.s || p.hold) return;
    rewind(*p.s);
    p.started = emscripten_get_now();
    p.rate = frame_rate_line(0.0);
    p.playing = true;
}

// A canvas given a new size has lost its picture: the page asks for the held frame again at
// once, before the browser shows (or a screenshot takes) the cleared canvas.
extern "C" EMSCRIPTEN_KEEPALIVE void kestrine_redraw() {
    if (!p.held) return;
    followCanvas();
    drawHeld(std::lround(p.at * p.fps));
}

int main(int argc, char** argv) {
    const char* path = "demo.xml";
    for (int i = 1; i < argc; ++i) {
        double v = 0.0;
        if (std::strcmp(argv[i], "--at") == 0 && i + 1 < argc && number(argv[i + 1], v) &&
            v >= 0.0) {
            p.hold = true;
            p.at = v;
            ++i;
        } else if (std::strcmp(argv[i], "--fps") == 0 && i + 1 < argc && number(argv[i + 1], v) &&
                   v >= 1.0 && v <= 1000.0 && v == std::floor(v)) {
            p.fps = int(v);
            ++i;
        } else if (argv[i][0] == '-') {
            return refuse(std::string("not understood: ") + argv[i]);
        } else {
            path = argv[i];
        }
    }

    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.alpha = false;
    attributes.antialias = true; // the native player asks for 4 samples
    // A held frame stays readable after the browser has shown it.
    attributes.preserveDrawingBuffer = p.hold;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context =
        emscripten_webgl_create_context("#canvas", &attributes);
    if (context <= 0) return refuse("This browser has no WebGL 2, which the player needs.");
    emscripten_webgl_make_context_current(context);
    if (!emscripten_webgl_enable_extension(context, "WEBGL_compressed_texture_s3tc"))
        return refuse("This browser's WebGL 2 has no WEBGL_compressed_texture_s3tc, which the "
                      "scene's DDS textures need.");

    p.s = new scene(path);
    p.s->timer = seconds;
    if (!p.s->loaded()) {
        // The message is out already; a scene with errors is never played.
        const std::vector<diagnostic>& d = p.s->diagnostics();
        return refuse(d.empty() ? std::string("the scene could not be loaded")
                                : wordDiagnostic(d.back()),
                      false);
    }
    setDrawState();
    followCanvas();
    emscripten_set_main_loop(frame, 0, 0);
    if (!p.hold) pageReady();
    return 0;
}
