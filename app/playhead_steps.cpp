// The playhead's steps and stops: see playhead_steps.h.
#include "app/playhead_steps.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "authoring/timeline.h"

namespace {

constexpr double kFps = 60.0;
constexpr double kSlack = 1e-6; // of a frame: times read back from frames are not exact

} // namespace

double frameStepped(double t, int frames) {
    const double at = t * kFps;
    const double n = std::floor(at + kSlack);
    // Between two frames, a step back lands on the one before, not two before.
    const double from = frames < 0 && at - n > kSlack ? n + 1.0 : n;
    return std::max(0.0, (from + frames) / kFps);
}

double frameAtOrBefore(double t) {
    return std::max(0.0, std::floor(t * kFps + kSlack) / kFps);
}

std::optional<double> cutFrom(const std::vector<double>& cuts, double t, bool forward) {
    std::optional<double> found;
    for (const double c : cuts)
        if (forward ? c > t + kSlack / kFps && (!found || c < *found)
                    : c < t - kSlack / kFps && (!found || c > *found))
            found = c;
    return found;
}

std::optional<double> filmingStops(const std::vector<camera>& cameras, double from, double to) {
    if (filmingCamera(cameras, from) < 0) return std::nullopt;
    // Filming can stop only just after a window ends.
    std::optional<double> stop;
    for (const camera& c : cameras) {
        if (c.start == c.end) return std::nullopt; // a camera that films at every time
        const double after = std::nextafter(c.end, std::numeric_limits<double>::infinity());
        if (c.end >= from && after <= to && (!stop || c.end < *stop) &&
            filmingCamera(cameras, after) < 0)
            stop = c.end;
    }
    return stop;
}
