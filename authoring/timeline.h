#pragma once
#include <string>
#include <vector>

#include "camera/camera.h"
#include "graph/group.h"
#include "scene/scene.h"

// The scene's time line as authors see it: which stretch of scene time the player shows, the
// camera and model windows, the cuts and gaps, and the music. The checker's SVG and the
// preview read this one model.

// A stretch with no camera between two windows, in seconds.
struct camera_gap {
    double from = 0.0; // the last second filmed before it
    double to = 0.0;   // the first second filmed after it
};

// What the cameras' windows alone say: the player plays from second 0 while some camera films
// and ends at the first time that none does.
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

// Index of the camera that films at time t: the last active one in list order, or -1.
int filmingCamera(const std::vector<camera>& cameras, double t);

// A camera's window: its number from 1 in file order, as the preview's title counts them.
struct camera_window {
    int number = 0;
    int mode = static_camera;
    double start = 0.0;
    double end = 0.0;
    int line = 0;      // of its element; 0 for the default camera
    int place = -1;    // its element in scene::source; -1 for the default camera
    std::string label; // its "label", which only the tools read; empty without one
};

// A model descriptor's window, under the path of its group (its position and its ancestors',
// from 1 in document order, such as 2.1.3).
struct model_window {
    std::string group_path;
    std::string mesh, texture, shader;
    double start = 0.0;
    double end = 0.0;
    int line = 0;
    int place = -1;          // its element in scene::source
    std::string group_label; // the group's "label"; empty without one
};

struct scene_timeline {
    timeline cameras;
    std::vector<camera_window> camera_windows;
    std::vector<model_window> model_windows;
    double music_seconds = -1.0; // below 0: unknown
    // Seconds an axis over the whole file shows: to the latest camera or model window or the
    // music's end, at most ten times the later of the demo's end and the music's.
    double axis_end = 1.0;
};

// The model of a loaded scene's cameras and group tree, with where each window stands in the
// file.
scene_timeline sceneTimeline(const scene& s, double musicSeconds);

// The "label" attribute of element `place` of the scene file as the XML library reads it; empty
// when it has none.
std::string elementLabel(const scene& s, int place);

// "static", "moving, looking at a point" or "moving, along its tangent".
const char* cameraForm(int mode);

// The length in seconds of an Ogg Vorbis file, read from the file itself (no sound device);
// -1 when it cannot be read.
double musicLength(const char* path);
