// Capture speed on the bundled demo at 1280x720, 300 frames from 20 s at 60 fps, side by side in
// one run: drawing alone (the capture path with the frames read back and dropped), to PNG files
// (fast, then small), and to a video; then, for publishing, 24 frames drawn alone plain,
// supersampled by 2, with 8 sub-frames of motion blur, and both. No X server needed: the
// context comes from EGL without DISPLAY. Run from anywhere: build/release/kestrine_capture_bench
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "gpu/offscreen.h"
#include "platform/context.h"
#include "platform/music.h"
#include "scene/scene.h"
#include "tools/capture.h"

namespace {

struct run {
    double fps = 0.0;
    double bytes_per_frame = 0.0;
};

run timeCapture(scene& s, const capture_options& o, const offscreen& target, bool discard) {
    const auto start = std::chrono::steady_clock::now();
    long frames = 0;
    std::string why;
    if (discard) {
        frames = captureFrames(
            s, o, target, [](long, const rgb_image&, const rgb_image&) { return true; }, why);
    } else {
        capture_output output(o, o.video_path.empty() ? "" : kMusicFile);
        frames = captureFrames(
            s, o, target,
            [&](long k, const rgb_image& f, const rgb_image& d) { return output.take(k, f, d); },
            why);
        if (!output.finish(why)) std::fprintf(stderr, "capture failed: %s\n", why.c_str());
    }
    if (frames < 0 && !why.empty()) std::fprintf(stderr, "capture failed: %s\n", why.c_str());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run r;
    r.fps = double(frames) / seconds;
    std::uintmax_t bytes = 0;
    if (!o.out_dir.empty())
        for (const auto& f : std::filesystem::directory_iterator(o.out_dir))
            bytes += f.file_size();
    if (!o.video_path.empty()) bytes = std::filesystem::file_size(o.video_path);
    r.bytes_per_frame = frames > 0 ? double(bytes) / double(frames) : 0.0;
    return r;
}

// Frames a second drawn alone for publishing, over 24 frames from 20 s.
double timePublishing(scene& s, int supersample, int subframes) {
    capture_options o;
    o.width = 1280;
    o.height = 720;
    o.first = 1200;
    o.last = 1223;
    o.supersample = supersample;
    o.subframes = subframes;
    const offscreen target(o.width * supersample, o.height * supersample, kFrameSamples);
    return timeCapture(s, o, target, true).fps;
}

} // namespace

int main() {
    if (chdir(KESTRINE_DEMO_DIR) != 0) return 1;
    std::string why;
    if (!openToolContext(gl_source::automatic, "capture bench", why)) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    load_options quiet;
    quiet.trace = nullptr;
    std::fflush(stdout);
    scene s("demo.xml", quiet);
    const offscreen target(1280, 720, kFrameSamples);
    const std::string scratch = std::filesystem::temp_directory_path() / "kestrine_capture_bench";
    std::filesystem::remove_all(scratch);
    std::filesystem::create_directories(scratch + "/fast");
    std::filesystem::create_directories(scratch + "/small");

    capture_options o;
    o.width = 1280;
    o.height = 720;
    o.fps = 60;
    o.first = 1200;
    o.last = 1499;
    const run draw = timeCapture(s, o, target, true);
    o.out_dir = scratch + "/fast";
    const run png = timeCapture(s, o, target, false);
    o.out_dir = scratch + "/small";
    o.small_png = true;
    const run small = timeCapture(s, o, target, false);
    o.out_dir.clear();
    o.video_path = scratch + "/video.mp4";
    const run video = timeCapture(s, o, target, false);
    std::filesystem::remove_all(scratch);

    std::printf("300 frames of the bundled demo at 1280x720\n");
    std::printf("drawing only      %6.2f fps\n", draw.fps);
    std::printf("PNG (fast)        %6.2f fps  %.2f of drawing only, %.2f of video  %.0f KB/frame\n",
                png.fps, png.fps / draw.fps, png.fps / video.fps, png.bytes_per_frame / 1024);
    std::printf("PNG (--small-png) %6.2f fps  %.2f of drawing only  %.0f KB/frame\n", small.fps,
                small.fps / draw.fps, small.bytes_per_frame / 1024);
    std::printf("video             %6.2f fps  %.2f of drawing only  %.0f KB/frame\n", video.fps,
                video.fps / draw.fps, video.bytes_per_frame / 1024);

    const double plain = timePublishing(s, 1, 1), super = timePublishing(s, 2, 1),
                 blur = timePublishing(s, 1, 8), both = timePublishing(s, 2, 8);
    std::printf("24 frames drawn alone for publishing at 1280x720\n");
    std::printf("plain                           %6.2f fps\n", plain);
    std::printf("--supersample 2                 %6.2f fps  %.2f times a plain frame's time\n",
                super, plain / super);
    std::printf("--motion-blur 8                 %6.2f fps  %.2f times (%.2f per sub-frame)\n",
                blur, plain / blur, plain / blur / 8);
    std::printf("--supersample 2 --motion-blur 8 %6.2f fps  %.2f times\n", both, plain / both);
    return 0;
}
