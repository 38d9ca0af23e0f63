#pragma once
#include <vector>

#include "camera/camera.h"

// Which stretch of scene time the player shows, from the cameras' windows alone: it plays from
// second 0 while some camera films and ends at the first time that none does.

// A stretch with no camera between two windows, in seconds.
struct camera_gap {
    double from = 0.0; // the last second filmed before it
    double to = 0.0;   // the first second filmed after it
};

struct timeline {
    bool endless = false;         // a camera whose start equals its end films at every time
    bool filmed = false;          // some camera films second 0; false means the first frame ends it
    double end = 0.0;             // the last second filmed without a break from 0, when filmed
    std::vector<double> cuts;     // when the filming camera changes while the demo plays
    std::vector<camera_gap> gaps; // every stretch without a camera, from 0 to the last window
    // Whether the player would still be running at scene time t.
    bool plays(double t) const { return endless || (filmed && t >= 0.0 && t <= end); }
};

// The timeline of these cameras, in file order (the later camera wins an overlap).
timeline cameraTimeline(const std::vector<camera>& cameras);
