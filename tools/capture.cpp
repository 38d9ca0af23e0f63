// Offline capture: see capture.h.
#include "tools/capture.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include "app/args.h"
#include "app/command_line.h"
#include "app/offline.h"
#include "app/render.h"
#include "app/resource_log.h"
#include "app/stop.h"
#include "authoring/timeline.h"
#include "gpu/offscreen.h"
#include "platform/context.h"
#include "platform/draw_state.h"
#include "platform/music.h"
#include "scene/scene.h"
#include "tools/frame_sum.h"
#include "tools/frame_writer.h"
#include "tools/video.h"

namespace {

// The usage lines and description of --help, laid out for help2man, which makes the manual page
// from it; the options and the examples follow.
const char* const kAbout =
    "Usage: kestrine-capture SCENE.xml --out DIR [--small-png] [OPTION]...\n"
    "   or: kestrine-capture SCENE.xml --video FILE.mp4 [OPTION]...\n"
    "   or: kestrine-capture --help | --version\n"
    "\n"
    "Renders the scene offline, frame k at k/fps seconds exactly, until its cameras run out\n"
    "(or after frame B), into PNG files or an H.264/AAC video with Music/evil-2005.ogg. Run\n"
    "it from the scene's folder. Ctrl+C or kill stop it after the frame in progress, leaving\n"
    "whole frames only, and it says where to go on. --out and --video can be given together.\n";

// "A:B" or "A:" (to the end).
bool frameRange(const std::string& text, long& first, long& last) {
    const std::size_t colon = text.find(':');
    const long most = 1000L * 1000 * 1000;
    last = -1;
    return colon != std::string::npos && parseNumber(text.substr(0, colon), 0L, most, first) &&
           (colon + 1 == text.size() || parseNumber(text.substr(colon + 1), first, most, last));
}

// "S" or "S:SHUTTER".
bool motionBlur(const std::string& text, int& subframes, double& shutter) {
    const std::size_t colon = text.find(':');
    shutter = 0.5;
    return parseNumber(text.substr(0, colon), 1, 64, subframes) &&
           (colon == std::string::npos || parseNumber(text.substr(colon + 1), 0.0, 1.0, shutter));
}

// The last frame with an active camera, or -1 when there is none; the capture checks each frame
// again as it draws it, this only sizes the progress bar.
long lastFilmedFrame(const timeline& tl, int fps) {
    if (!tl.filmed || tl.endless) return -1;
    long k = long(std::floor(tl.end * fps));
    while (frameTime(k + 1, fps) <= tl.end)
        ++k;
    while (k >= 0 && frameTime(k, fps) > tl.end)
        --k;
    return k;
}

// "frame 120/600 [#####.....]  31.5 fps  0:15 left" on standard error, rewritten in place.
class progress_bar {
public:
    progress_bar(long first, long last) : first(first), last(last) {}
    void frame(long k) {
        const double elapsed = std::chrono::duration<double>(clock::now() - begun).count();
        const long done = k - first + 1, total = last - first + 1;
        const double rate = elapsed > 0.0 ? double(done) / elapsed : 0.0;
        constexpr int kWidth = 30;
        const int filled = total > 0 ? int(kWidth * std::min(1.0, double(done) / total)) : 0;
        const std::string bar = std::string(filled, '#') + std::string(kWidth - filled, '.');
        const long left = rate > 0.0 ? long(double(total - done) / rate + 0.5) : 0;
        std::fprintf(stderr, "\rframe %ld/%ld [%s] %6.1f fps  %ld:%02ld left ", k, last,
                     bar.c_str(), rate, left / 60, left % 60);
        std::fflush(stderr);
        shown = true;
    }
    void end() {
        if (shown) std::fputc('\n', stderr);
    }

private:
    using clock = std::chrono::steady_clock;
    long first, last;
    clock::time_point begun = clock::now();
    bool shown = false;
};

// What was left by a capture stopped by a signal, and how to go on from there.
void sayInterrupted(const capture_options& o, long frames, long last) {
    const long next = o.first + frames;
    std::string rest = std::to_string(next) + ":";
    if (o.last >= 0) rest += std::to_string(o.last);
    std::fprintf(stderr, "kestrine-capture: interrupted: %ld frame(s) written", frames);
    if (frames > 0) std::fprintf(stderr, " (frames %ld to %ld)", o.first, next - 1);
    if (last < 0 || next <= last)
        std::fprintf(stderr, "; frame %ld was not; go on with --frames %s\n", next, rest.c_str());
    else
        std::fprintf(stderr, "; that was the last frame\n");
}

// Why the driver cannot hold a frame drawn at the options' size, or empty when it can.
std::string beyondTheDriver(const capture_options& o) {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    const int w = o.width * o.supersample, h = o.height * o.supersample;
    if (w <= largest && h <= largest) return "";
    const std::string drawn = std::to_string(w) + "x" + std::to_string(h);
    return (o.supersample > 1 ? "--supersample " + std::to_string(o.supersample) +
                                    " draws each frame at " + drawn + ", which is"
                              : "a frame of " + drawn + " is") +
           " beyond the driver's limit of " + std::to_string(largest) + " pixels a side "
           "(GL_MAX_RENDERBUFFER_SIZE); nothing captured";
}

// The music to mux into the video, or empty (said so) when it cannot be read.
std::string musicFor(const capture_options& o) {
    if (o.video_path.empty()) return "";
    if (std::FILE* f = std::fopen(kMusicFile, "rb")) {
        std::fclose(f);
        return kMusicFile;
    }
    std::fprintf(stderr, "kestrine-capture: cannot read %s (%s); the video has no sound\n",
                 kMusicFile, std::strerror(errno));
    return "";
}

int fail(const std::string& what) {
    std::fprintf(stderr, "kestrine-capture: %s\n", what.c_str());
    return 1;
}

void declareOptions(command_line& cli, capture_options& out) {
    cli.add_option("SCENE.xml", out.scene_path);
    cli.add_option("--out", out.out_dir,
                   "PNG files DIR/frame_%06d.png, fast to write for an encoder")
        ->type_name("DIR");
    cli.add_flag("--small-png", out.small_png,
                 "smaller PNG files (zlib's default level), slower to write");
    cli.add_option("--video", out.video_path,
                   "an H.264/AAC video with Music/evil-2005.ogg (needs ffmpeg)")
        ->type_name("FILE.mp4");
    addValue(cli, "--fps", "N", "frames a second (default 60)",
             "--fps takes a whole number of frames a second from 1 to 1000",
             [&out](const std::string& v) { return parseNumber<int>(v, 1, 1000, out.fps); });
    addValue(cli, "--size", "WxH", "frame size (default 1920x1080)",
             "--size takes WIDTHxHEIGHT, each from 1 to 16384",
             [&out](const std::string& v) { return parseSize(v, out.width, out.height); });
    addValue(cli, "--frames", "A:B", "frames A to B only (A: to the end)",
             "--frames takes A:B or A:, whole frame numbers with A <= B",
             [&out](const std::string& v) { return frameRange(v, out.first, out.last); });
    addValue(cli, "--png-depth", "8|16", "bits per channel of the PNG files (default 8)",
             "--png-depth takes 8 or 16", [&out](const std::string& v) {
                 return (v == "8" || v == "16") && parseNumber(v, 8, 16, out.png_depth);
             });
    addValue(cli, "--supersample", "N",
             "draw each frame N times wider and higher and average each NxN box\n"
             "(N from 1 to 4; default 1)",
             "--supersample takes a whole number from 1 to 4",
             [&out](const std::string& v) { return parseNumber(v, 1, 4, out.supersample); });
    addValue(cli, "--motion-blur", "S[:SHUTTER]",
             "each frame the mean of S sub-frames (1 to 64) over the last SHUTTER\n"
             "of a frame interval (0 to 1; default 0.5)",
             "--motion-blur takes S or S:SHUTTER, S from 1 to 64 and SHUTTER from 0 to 1",
             [&out](const std::string& v) { return motionBlur(v, out.subframes, out.shutter); });
    addValue(cli, "--gl", "x11|egl",
             "draw through the X display, or through EGL without one (default: X\n"
             "when DISPLAY is set)",
             "--gl takes x11 or egl",
             [&out](const std::string& v) { return parseGlSource(v, out.gl); });
    cli.footer("Examples:\n"
               "  kestrine-capture demo.xml --out frames --size 1280x720 --fps 30\n"
               "  kestrine-capture demo.xml --video demo.mp4 --frames 0:599\n"
               "  kestrine-capture demo.xml --video demo.mp4 --supersample 2 --motion-blur 8");
    cli.callback([&out] {
        if (out.scene_path.empty()) throw CLI::ValidationError("no scene file");
        if (out.out_dir.empty() && out.video_path.empty())
            throw CLI::ValidationError("give --out DIR or --video FILE");
        if (!out.video_path.empty() && (out.width % 2 != 0 || out.height % 2 != 0))
            throw CLI::ValidationError("--video needs an even width and height");
    });
}

// Sub-frames read back while the next one draws, summed into their frame, and each frame
// handed on once its last sub-frame is in.
class frame_reader {
public:
    frame_reader(const capture_options& o, const offscreen& target, const frame_sink& sink,
                 std::string& why)
        : o(o), target(target), sink(sink), why(why), sum(o.width, o.height, o.supersample) {
        frame.width = o.width;
        frame.height = o.height;
    }
    // A sub-frame of frame k was just drawn: reads it back and takes the one before.
    void drawn(long k, bool last) {
        const int slot = int(count++ % 2);
        target.startRead(slot);
        take();
        pending = {k, slot, last};
    }
    // Takes the sub-frame still read back if it ends its frame; a frame cut short is dropped.
    void end() {
        if (pending.last) take();
    }
    // Frames handed on, or -1 once one was lost (the reason in why, or from the sink).
    long delivered = 0;

private:
    struct sub_frame {
        long k = -1;
        int slot = 0;
        bool last = false;
    };
    void take() {
        if (pending.k < 0 || delivered < 0) return;
        const sub_frame p = std::exchange(pending, sub_frame{});
        const bool read = target.finishRead(p.slot, o.plain() ? frame.pixels : pixels, why);
        if (read && !o.plain()) sum.add(pixels);
        if (read && !p.last) return;
        if (read && !o.plain()) {
            sum.mean(frame, 8);
            if (o.png_depth != 8) sum.mean(deep, o.png_depth);
            sum.clear();
        }
        const bool ok = read && sink(p.k, frame, o.png_depth == 8 ? frame : deep);
        delivered = ok ? delivered + 1 : -1;
    }

    const capture_options& o;
    const offscreen& target;
    const frame_sink& sink;
    std::string& why;
    frame_sum sum;
    rgb_image frame, deep;
    std::vector<unsigned char> pixels; // a sub-frame as drawn
    sub_frame pending;                 // drawn, being read back
    long count = 0;                    // sub-frames drawn
};

} // namespace

std::string framePath(const std::string& dir, long k) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06ld.png", k);
    return dir + "/" + name;
}

std::vector<std::string> ffmpegArguments(const capture_options& o, const std::string& music) {
    std::vector<std::string> a = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
                                  // Raw RGB frames on standard input.
                                  "-f", "rawvideo", "-pixel_format", "rgb24", "-video_size",
                                  std::to_string(o.width) + "x" + std::to_string(o.height),
                                  "-framerate", std::to_string(o.fps), "-i", "pipe:0"};
    if (!music.empty()) {
        char start[32];
        std::snprintf(start, sizeof start, "%.6f", frameTime(o.first, o.fps));
        a.insert(a.end(), {"-ss", start, "-i", music, "-map", "0:v", "-map", "1:a", "-c:a", "aac",
                           "-b:a", "192k",
                           // Silence after the music ends, and the video's length decides.
                           "-af", "apad", "-shortest"});
    }
    a.insert(a.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt",
                       "yuv420p", "-movflags", "+faststart", o.video_path});
    return a;
}

long captureFrames(scene& s, const capture_options& o, const offscreen& target,
                   const frame_sink& sink, std::string& why) {
    // The clock stands at each sub-frame's exact time; the light reads it too.
    double at = 0.0;
    s.timer = [&at] { return at; };
    s.changeWindowSize(target.frameWidth(), target.frameHeight());
    target.bind();
    setDrawState();

    // Moving cameras show the state of the time drawn before: put it where uninterrupted
    // playback from frame 0 would have left it. A frame's last sub-frame is at its own time.
    prepareFrame(s, o.first, o.fps);

    const glm::mat4 model(1.0f);
    frame_reader reader(o, target, sink, why);
    // A stop signal ends the capture between sub-frames: every frame delivered is whole.
    auto going = [&] { return reader.delivered >= 0 && !stopRequested(); };
    for (long k = o.first; (o.last < 0 || k <= o.last) && going(); ++k) {
        // The player ends at the first frame without a camera, so that frame is not captured.
        const int own = filmingCamera(s.cameras, frameTime(k, o.fps));
        if (own < 0) break;
        for (int j = 0; j < o.subframes && going(); ++j) {
            at = subFrameTime(k, o.fps, j, o.subframes, o.shutter);
            // Two shots never blend; the scene moves on as if the other one were drawn.
            if (filmingCamera(s.cameras, at) != own) {
                advanceTo(s, at);
                continue;
            }
            drawFrame(&s, model, s.projection);
            reader.drawn(k, j + 1 == o.subframes);
        }
    }
    reader.end();
    s.timer = nullptr; // the clock goes with this call
    return reader.delivered;
}

capture_output::capture_output(const capture_options& o, std::string music)
    : options(o), music(std::move(music)) {
    if (!o.out_dir.empty())
        pngs.emplace(2, 4, [this](long k, const rgb_image& frame, std::string& failed) {
            std::string reason;
            const std::string path = framePath(options.out_dir, k);
            if (writePng(path, frame, reason, !options.small_png)) return true;
            failed = "cannot write " + path + " (" + reason + ")";
            long first = unwritten.load();
            while (k < first && !unwritten.compare_exchange_weak(first, k)) {
            }
            return false;
        });
    if (!o.video_path.empty())
        frames.emplace(1, 4, [this](long, const rgb_image& frame, std::string& failed) {
            if (video.write(frame.pixels.data(), frame.pixels.size(), failed)) return true;
            failed = "ffmpeg stopped taking frames (" + failed + ")";
            return false;
        });
}

bool capture_output::take(long k, const rgb_image& frame, const rgb_image& deep) {
    if (pngs) {
        if (!pngs->push(k, deep)) return false;
        taken = k;
    }
    if (!frames) return true;
    // Started with the first frame, so that a range without a camera leaves no file.
    if (!video.running()) {
        if (!video.start(ffmpegArguments(options, music), why)) return false;
        started = true;
    }
    return frames->push(k, frame);
}

bool capture_output::finish(std::string& reason) {
    // Every failure comes with its reason, so no reason is success.
    std::string failed, fed, ended;
    if (pngs && !pngs->finish(failed)) keepFramesBefore(unwritten.load(), failed);
    if (frames && !frames->finish(fed) && failed.empty()) failed = fed;
    // Always waited for: how ffmpeg ended says why it stopped taking frames.
    if (video.running() && !video.finish(ended))
        failed += failed.empty() ? "ffmpeg failed: " + ended : "; ffmpeg " + ended;
    reason = !why.empty() ? why : failed;
    return reason.empty();
}

void capture_output::keepFramesBefore(long gap, std::string& reason) {
    if (gap > taken) return; // no write of ours failed
    for (long k = gap + 1; k <= taken; ++k)
        std::remove(framePath(options.out_dir, k).c_str());
    if (gap > options.first)
        reason += "; frames " + std::to_string(options.first) + " to " + std::to_string(gap - 1) +
                  " were written";
    else
        reason += "; no frame was written";
}

bool capture_output::dropVideo(std::string& reason) {
    if (!started || std::remove(options.video_path.c_str()) != 0) return false;
    reason += "; the unfinished video " + options.video_path + " was removed";
    return true;
}

int runCapture(int argc, char** argv) {
    capture_options o;
    command_line cli("kestrine-capture", kAbout, 20);
    declareOptions(cli, o);
    if (const int status = cli.read(argc, argv); status >= 0) return status;
    std::string why;
    // A capture runs unattended: a missing asset must not wait for a key as the player does.
    if (!std::freopen("/dev/null", "r", stdin)) return fail("cannot detach standard input");
    // A video encoder that dies, or a file-size limit, must not kill the capture before it can
    // say so: the write fails instead.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    watchStopSignals();

    if (!openToolContext(o.gl, "kestrine-capture", why)) return fail(why);
    load_options quiet;
    quiet.trace = nullptr;
    scene s(o.scene_path.c_str(), quiet);
    if (!s.loaded()) return fail(o.scene_path + " has errors; nothing captured");

    const timeline tl = cameraTimeline(s.cameras);
    if (tl.endless && o.last < 0)
        return fail(o.scene_path + ": a camera films at every time, so the demo never ends; "
                                   "give --frames A:B");
    const long last = o.last >= 0 ? o.last : lastFilmedFrame(tl, o.fps);

    if (const std::string beyond = beyondTheDriver(o); !beyond.empty()) return fail(beyond);
    if (!o.out_dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(o.out_dir, ec);
        if (ec) return fail("cannot create " + o.out_dir + " (" + ec.message() + ")");
    }
    const offscreen target(o.width * o.supersample, o.height * o.supersample, kFrameSamples);
    if (!target.problem().empty()) return fail(target.problem());

    capture_output output(o, musicFor(o));
    progress_bar progress(o.first, last);
    std::string unread;
    const long frames = captureFrames(
        s, o, target,
        [&](long k, const rgb_image& frame, const rgb_image& deep) {
            if (!output.take(k, frame, deep)) return false;
            progress.frame(k);
            logResources("kestrine-capture", "frame", k);
            return true;
        },
        unread);
    progress.end();
    const bool finished = output.finish(why) && frames >= 0;
    if (!finished && !unread.empty()) why = unread;
    // A video removed holds none of the frames: the range is to be captured again.
    const bool dropped = !finished && output.dropVideo(why);
    if (stopRequested()) {
        // An interrupt, even one that an output failed by, ends it as an interrupt.
        if (!finished) std::fprintf(stderr, "kestrine-capture: %s\n", why.c_str());
        sayInterrupted(o, frames < 0 || dropped ? 0 : frames, last);
        endByStopSignal();
    }
    if (!finished) return fail(why);

    if (frames == 0)
        std::fprintf(stderr,
                     "kestrine-capture: no camera films frame %ld (%g s); nothing captured\n",
                     o.first, frameTime(o.first, o.fps));
    else
        std::fprintf(stderr, "kestrine-capture: frames %ld to %ld (%g s to %g s) captured\n",
                     o.first, o.first + frames - 1, frameTime(o.first, o.fps),
                     frameTime(o.first + frames - 1, o.fps));
    return 0;
}
