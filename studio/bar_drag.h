#pragma once
#include <string>

#include "app/playhead.h"

// Dragging a camera's or a model descriptor's bar on the timeline: an edge moves its start or
// its end, the body both. No drawing, so that the tests can hold it.

struct bar_drag {
    enum part_type { none, left, right, body };
    part_type part = none;
    int bar = -1;          // the bar's index among the timeline's bars, cameras first
    bool camera = false;   // whole seconds, as the format reads a camera's times
    double pressed = 0.0;  // the time under the pointer at the press
    section from{};        // the window at the press
    section now{};         // as dragged so far
    bool always = false;   // start equals end: shown at every time, moved only with Ctrl
    bool moved = false;    // now differs from from
    bool began = false;    // the press came this frame
    bool released = false; // the button came up this frame: the gesture is to be written
};

struct timeline_panel;
struct timeline_pointer;

// Which part of a bar drawn from column x0 to x1 a press at column x takes: an edge within a
// few pixels of it (the nearer one on a narrow bar), else the body.
bar_drag::part_type grabbedPart(float x, float x0, float x1);

// The window that dragging `part` of d.from to the pointer's time t makes, snapped to whole
// seconds (a model's with fine, to tenths), never starting below 0 nor at or past its end. A
// window shown at every time moves only with `modifier`; it then spans from the press to t.
section draggedWindow(const bar_drag& d, double t, bool fine, bool modifier);

// The tooltip while dragging: the new value, or why the bar does not move.
std::string dragTip(const bar_drag& d, bool modifier);

// A press on one of the panel's bars (as last drawn) starts a drag, followed while the button
// is held, with its tooltip; modifier: Ctrl, fine: Shift. True while the pointer is the drag's.
bool followBarDrag(timeline_panel& panel, const timeline_pointer& pointer, bool modifier);
