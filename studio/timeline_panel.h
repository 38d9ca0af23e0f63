#pragma once
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "app/preview.h"
#include "authoring/timeline.h"
#include "studio/bar_drag.h"
#include "studio/time_axis.h"

// The timeline panel along the bottom of the preview: the ruler, the music lane, the lanes'
// bars, the marks over them (the end of filming, the cuts, the loop and the playhead), what the
// pointer does and the tooltip, each drawn from what it is given. Needs a Dear ImGui frame, but
// for followPointer.
class music_peaks;

// Where the header's two texts run, left and right edges in window pixels; the right one is
// empty (both edges equal) when left out.
struct header_spans {
    std::array<float, 2> left{}, right{};
};

// Where the timeline's parts are this frame, in window pixels.
struct timeline_layout {
    float top = 0.0f;  // the panel's
    float left = 0.0f; // the lane names' column
    float rulerTop = 0.0f, rulerHeight = 0.0f;
    float musicTop = 0.0f, musicHeight = 0.0f;
    float lanesTop = 0.0f, lane = 0.0f; // the first lane's top, and each lane's height
    float lanesBottom = 0.0f;           // below the last lane
    float right = 0.0f, bottom = 0.0f;  // the axis's right end, and the parts' clip bottom
    header_spans header;
    float laneTop(int i) const { return lanesTop + lane * float(i); }
};

// A bar as drawn, for the tooltip and the layout file.
struct timeline_bar {
    float x0, x1, y0, y1;
    std::string kind, id, details; // id: the camera's number or the group's path
    double start, end;
};

// What the mouse is doing on the timeline, and what it did to the axis.
struct timeline_mouse {
    enum gesture_type { none, seeking, looping, panning };
    gesture_type gesture = none;
    double loopFrom = 0.0, loopTo = 0.0; // a loop being dragged, in seconds, either way round
    float lastPointer = -1.0f;           // the column of the last seek asked for
    bool axisMoved = false; // zoomed or panned: the axis no longer shows the whole demo

    section dragged() const { return {std::min(loopFrom, loopTo), std::max(loopFrom, loopTo)}; }
};

// The pointer over the timeline's lanes this frame.
struct timeline_pointer {
    bool pressed = false; // the button went down over the lanes this frame
    bool held = false;    // the button is down since a press over the lanes
    bool over = false, shift = false;
    float x = 0.0f, y = 0.0f;
    float dx = 0.0f;    // moved since the last frame
    float wheel = 0.0f; // wheel steps, away from the user positive
};

// What the timeline keeps from frame to frame.
struct timeline_panel {
    time_axis axis;
    timeline_mouse mouse;
    timeline_layout placed;         // as last drawn
    std::vector<timeline_bar> bars; // and its bars
    std::vector<std::string> lanes; // and its lanes' names, from the top (set once a load)
    double playhead = 0.0;          // and the time of its playhead
    bar_drag drag;                  // a bar being dragged
    int selected = -1;              // the camera whose bar is outlined, or -1
    // The waveform as last drawn, and the axis's start and span and the columns it was drawn for.
    unsigned waveTexture = 0;
    std::array<double, 3> waveKey{};
};

// The timeline's height in a window of that height with that many lanes, and the lanes' (lane).
float timelineHeight(int lanes, float height, float& lane);

// The lanes' names: a camera's number, or a model's group path, or their labels where they have
// one; made once a load.
std::vector<std::string> laneNames(const scene_timeline& model,
                                   const std::vector<std::string>& groupPaths);

// On the ruler a click or drag seeks (with Shift: sets a loop); on a lane a drag pans; the
// wheel zooms round the pointer, within a twentieth of a second and ten times wholeDemo.
// What the preview is to do goes into asked.
void followPointer(const timeline_pointer& pointer, const timeline_layout& at, double wholeDemo,
                   time_axis& axis, timeline_mouse& mouse, preview_requests& asked);

// The panel's window along the bottom of a window width x height: its header (the playhead's
// time, frame and camera, and the drawing's figures), the lanes' names ("seconds", "music",
// then a lane per camera and one per model descriptor, under its group's path in groupPaths), then
// the parts, after the pointer is followed (which may move the axis). path names the scene file
// in the tooltips; peaks is the music's waveform, once decoded. What the preview is to do goes
// into asked.
void drawTimeline(timeline_panel& panel, const preview_view& view, const scene_timeline& model,
                  const std::vector<std::string>& groupPaths, const std::string& path,
                  const music_peaks* peaks, float width, float height, preview_requests& asked);
// Before the context goes.
void releaseWaveform(timeline_panel& panel);

// The panel's opaque background, lanes included, over the bottom rows of a window width wide.
void clearTimelineBack(int width, int rows);
