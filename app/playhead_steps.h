#pragma once
#include <optional>
#include <vector>

#include "camera/camera.h"

// Where the preview's playhead goes on a frame step, a jump to a cut, and where the demo ends,
// as a 60 fps capture counts frames.

// The time of the frame `frames` frames from the one shown at t (forward when positive); a t
// between two frames steps back to the one before it. Never below 0.
double frameStepped(double t, int frames);

// The last frame at or before t.
double frameAtOrBefore(double t);

// The first of cuts after t (forward), or the last before it; none when there is none.
std::optional<double> cutFrom(const std::vector<double>& cuts, double t, bool forward);

// Where filming stops on the way from `from` to `to` (from < to): the last second filmed before
// the first time after `from` at which no camera films, when there is one by `to` and some
// camera films at `from`. It is where the player would end.
std::optional<double> filmingStops(const std::vector<camera>& cameras, double from, double to);
