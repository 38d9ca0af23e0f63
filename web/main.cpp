// The player in a web browser. The page starts it with the scene file, or with "--at SECONDS
// --fps N" before it for one held frame; the browser drives the frames, and the page plays the
// music, keeps the scene clock and calls kestrine_start when its start button is pressed.
#include <GL/glew.h>
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <glm/glm.hpp>

#include "app/command_line.h"
#include "app/offline.h"
#include "app/render.h"
#include "gpu/texture.h"
#include "platform/draw_state.h"
#include "platform/gl_target.h"
#include "scene/scene.h"

// What the page is told; it shows the cards and keeps its state for tests.
EM_JS(void, pageReady, (), { Module.kestrineReady(); });
EM_JS(void, pageEnded, (), { Module.kestrineEnded(); });
EM_JS(void, pageHeld, (long frame, bool active), { Module.kestrineHeld(frame, active); });
EM_JS(void, pageFailed, (const char* why), { Module.kestrineFailed(UTF8ToString(why)); });
// The scene's own width and height, which the page keeps on narrow pages.
EM_JS(void, pageAspect, (int width, int height), { Module.kestrineAspect(width, height); });
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

// A time in seconds from 0, as the page writes it.
bool readSeconds(const std::string& text, double& out) {
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0' && std::isfinite(out) && out >= 0.0;
}

} // namespace

// Starts the clock at `from` seconds: at the start button with the music, and again at each
// replay. The kept state is put where playing up to there would leave it.
extern "C" EMSCRIPTEN_KEEPALIVE void kestrine_start(double from) {
    if (!p.s || p.hold) return;
    if (from > 0.0)
        advanceTo(*p.s, from);
    else
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
    std::string path = "demo.xml";
    CLI::App cli;
    cli.set_help_flag();
    cli.add_option("scene", path);
    addValue(cli, "--at", "SECONDS", "", "--at takes a time in seconds from 0",
             [](const std::string& v) { return p.hold = readSeconds(v, p.at); });
    addValue(cli, "--fps", "N", "", "--fps takes a whole number of frames a second from 1 to 1000",
             [](const std::string& v) { return parseNumber<int>(v, 1, 1000, p.fps); });
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return refuse(e.what());
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

    p.s = new scene(path.c_str());
    p.s->timer = seconds;
    if (!p.s->loaded()) {
        // The message is out already; a scene with errors is never played.
        const std::vector<diagnostic>& d = p.s->diagnostics();
        return refuse(d.empty() ? std::string("the scene could not be loaded")
                                : wordDiagnostic(d.back()),
                      false);
    }
    // Phones have little memory: say once what decoding the textures took.
    if (textureDecoded())
        emscripten_log(EM_LOG_CONSOLE | EM_LOG_INFO,
                       "This browser's WebGL 2 has no WEBGL_compressed_texture_s3tc: the DDS "
                       "textures were decoded to RGBA8, %llu bytes (%.1f MB).",
                       static_cast<unsigned long long>(texturesDecodedBytes()),
                       double(texturesDecodedBytes()) / 1e6);
    // Without a window element the player's own default size is no author's choice.
    if (p.s->sceneElement && p.s->sceneElement->FirstChildElement("window") &&
        p.s->getRes_x() >= 1 && p.s->getRes_y() >= 1)
        pageAspect(p.s->getRes_x(), p.s->getRes_y());
    setDrawState();
    followCanvas();
    emscripten_set_main_loop(frame, 0, 0);
    if (!p.hold) pageReady();
    return 0;
}
