#pragma once
#include <optional>
#include <string>

// A stretch of scene time that playback can loop over, start < end, in seconds.
struct section {
    double start = 0.0;
    double end = 0.0;
};

// The preview's scene clock: scene time as a function of wall-clock time, with pause, seeks and
// an optional loop. Wall-clock times are passed in, so it never reads a clock itself. Scene
// time stays within 0..kMaxSceneTime.
class playhead {
public:
    // Playing from scene time `start` at wall-clock time `wall`; counts as a jump there.
    playhead(double start, double wall);

    // Scene time of a frame drawn at `wall`. Playing past the end of the loop goes back to its
    // start, carrying the overshoot over.
    double at(double wall);
    void togglePause(double wall);
    // Goes to scene time t: below 0 gives 0; while looping, a time outside the loop wraps round
    // into it, so seeking back from its start lands near its end.
    void seek(double t, double wall);
    void seekBy(double seconds, double wall) { seek(current(wall) + seconds, wall); }
    // Back to 0, or to the start of the loop while looping.
    void home(double wall);
    // Loops over s from now on; a time outside it goes to its start.
    void loopOver(section s, double wall);
    void stopLooping() { looping.reset(); }

    bool paused() const { return stopped; }
    const std::optional<section>& loop() const { return looping; }
    // True once after each jump in scene time (seek, home, loop wrap, entering a loop): the
    // state kept between frames must then be recomputed for the frame before.
    bool takeJump();

    static constexpr double kMaxSceneTime = 1e6; // far past any demo; keeps floats finite

private:
    double current(double wall) const;
    void restart(double t, double wall);

    double origin = 0.0;     // scene time at wall-clock time originWall
    double originWall = 0.0; // seconds of the wall clock
    bool stopped = false;    // paused
    bool jumped = false;     // a jump not yet taken
    std::optional<section> looping;
};

// The preview window's title: file, scene time to the hundredth, the filming camera counted
// from 1 in file order, then "paused" and "loop A-B" when they apply.
std::string previewTitle(const std::string& file, double t, int cameraIndex, bool paused,
                         const std::optional<section>& loop);
