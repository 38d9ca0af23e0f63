// The preview's clock and title: see playhead.h.
#include "app/playhead.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

// Seconds as an author writes them: "8", "1.5", "2.25".
std::string seconds(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", v);
    std::string s = text;
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

double wrapInto(section s, double t) {
    const double length = s.end - s.start;
    double offset = std::fmod(t - s.start, length);
    if (offset < 0.0) offset += length;
    return s.start + offset;
}

} // namespace

playhead::playhead(double start, double wall) {
    restart(std::clamp(start, 0.0, kMaxSceneTime), wall);
}

double playhead::at(double wall) {
    double t = current(wall);
    if (looping && t > looping->end) {
        t = wrapInto(*looping, t);
        restart(t, wall);
    } else if (t > kMaxSceneTime) {
        t = kMaxSceneTime;
        restart(t, wall);
    }
    return t;
}

void playhead::togglePause(double wall) {
    origin = current(wall);
    originWall = wall;
    stopped = !stopped;
}

void playhead::seek(double t, double wall) {
    if (looping && (t < looping->start || t > looping->end)) t = wrapInto(*looping, t);
    restart(std::clamp(t, 0.0, kMaxSceneTime), wall);
}

void playhead::home(double wall) {
    restart(looping ? looping->start : 0.0, wall);
}

void playhead::loopOver(section s, double wall) {
    looping = s;
    const double t = current(wall);
    if (t < s.start || t > s.end) restart(s.start, wall);
}

bool playhead::takeJump() {
    return std::exchange(jumped, false);
}

double playhead::current(double wall) const {
    return stopped ? origin : origin + (wall - originWall);
}

void playhead::restart(double t, double wall) {
    origin = t;
    originWall = wall;
    jumped = true;
}

std::string previewTitle(const std::string& file, double t, int cameraIndex, bool paused,
                         const std::optional<section>& loop) {
    char time[64];
    std::snprintf(time, sizeof time, "%.2f s", t);
    std::string title = file + " | " + time + " | ";
    title += cameraIndex < 0 ? "no camera" : "camera " + std::to_string(cameraIndex + 1);
    if (paused) title += " | paused";
    if (loop) title += " | loop " + seconds(loop->start) + "-" + seconds(loop->end);
    return title;
}
