#pragma once
#include <atomic>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "app/offline.h"
#include "app/stop.h"
#include "platform/context.h"
#include "tools/frame_writer.h"
#include "tools/png.h"
#include "tools/video.h"

class scene;
class offscreen;

// kestrine-capture: renders a scene offline at a fixed frame rate, frame k at scene time k/fps
// exactly, into numbered PNG files and/or an H.264/AAC video with the music.

struct capture_options {
    std::string scene_path;
    std::string out_dir;    // empty: no PNG files
    std::string video_path; // empty: no video
    int fps = 60;
    int width = 1920;
    int height = 1080;
    long first = 0; // A of --frames A:B
    long last = -1; // B, included; -1 until the cameras run out
    gl_source gl = gl_source::automatic;
    bool small_png = false; // zlib's default level and row filters instead of libpng's fast flag
    int png_depth = 8;      // bits per channel of the PNG files: 8 or 16
    int supersample = 1;    // frames drawn this many times wider and higher, then reduced
    int subframes = 1;      // sub-frames averaged over the shutter (motion blur)
    double shutter = 0.5;   // the shutter's open part of a frame interval
    // Drawn and read back as a frame always was: no sum, no mean.
    bool plain() const { return png_depth == 8 && supersample == 1 && subframes == 1; }
};

// dir/frame_000042.png: numbered by the frame's number in the whole demo.
std::string framePath(const std::string& dir, long k);

// The ffmpeg command that encodes raw RGB frames from its standard input into options'
// video, with the music from the first frame's time when `music` is not empty.
std::vector<std::string> ffmpegArguments(const capture_options& options, const std::string& music);

// Receives each frame: at 8 bits a channel, and at the PNG files' depth (the same image when
// that is 8); false stops the capture as failed.
using frame_sink = std::function<bool(long k, const rgb_image& frame, const rgb_image& deep)>;

// Draws frames options.first to options.last (or to the last frame with an active camera) of a
// scene loaded with its assets into target, as the player would show them at those times.
// target is options.supersample times the frame's size. With sub-frames, frame k is the mean of
// those filmed by the camera that films k/fps, each drawn as a capture of those times in
// sequence would draw it. The scene's clock is replaced. Returns the frames delivered, or -1
// when the sink failed or a frame could not be read back (why says so for the reading).
long captureFrames(scene& s, const capture_options& options, const offscreen& target,
                   const frame_sink& sink, std::string& why);

// Where captured frames go: PNG files encoded side by side on two threads, and the video fed
// in order to ffmpeg on one, while the next frames draw.
class capture_output {
public:
    // For options' --out and --video; `music` is muxed into the video when not empty.
    capture_output(const capture_options& options, std::string music);
    // Hands frame k on, at 8 bits and at the PNG files' depth; false once writing has failed.
    bool take(long k, const rgb_image& frame, const rgb_image& deep);
    // Waits for every frame handed on and closes the video; false with the reason.
    bool finish(std::string& why);
    // After a failed capture: removes the video, which would not hold what was asked for (and
    // does not play at all when its encoder died), and says so after the reason. True when
    // there was one to remove.
    bool dropVideo(std::string& why);

private:
    // After a failed PNG write: removes the frames written after `gap`, the first that failed,
    // so that the folder holds whole frames from the first on without a gap, and says so.
    void keepFramesBefore(long gap, std::string& why);

    const capture_options& options;
    std::string music;
    std::string why; // the video could not start
    video_pipe video{stopRequested};
    bool started = false; // ffmpeg was started, so the file at the video's path is ours
    long taken = -1;      // the last frame handed to the PNG writers
    std::atomic<long> unwritten{std::numeric_limits<long>::max()}; // the first that failed
    std::optional<frame_writer> pngs, frames;
};

// The tool. Returns 0 on success, 1 on a failure, 2 for a wrong command line.
int runCapture(int argc, char** argv);
