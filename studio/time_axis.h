#pragma once

// Where scene time falls across the timeline panel: the seconds shown between two pixel
// columns, zoomed and panned by the mouse. No drawing, so that the tests can hold it.
struct time_axis {
    double start = 0.0; // seconds at the left edge
    double span = 1.0;  // seconds across the width
    float left = 0.0f;  // pixel column of the left edge
    float width = 1.0f; // pixels across

    // The scene time under pixel column x (a pointer's x as the window library gives it).
    double timeAt(float x) const { return start + double(x - left) / double(width) * span; }
    float xAt(double t) const { return left + float((t - start) / span * double(width)); }

    // Zooms by factor (below 1: closer) keeping the time under column x where it is, with the
    // span kept within minSpan..maxSpan and the left edge at 0 or later.
    void zoom(float x, double factor, double minSpan, double maxSpan);
    // Moves the shown times by dx pixels of drag (right: earlier times come into view).
    void pan(float dx);
    // Brings time t into view, a tenth of the span from the left edge, when it has just left
    // it: it was in view at `before` (the last frame's time), or it jumped (a seek, Home). A
    // time the author panned away from stays away. True when the view moved.
    bool follow(double before, double t);
};

// Seconds between labelled ticks for this many seconds per pixel: 1, 2 or 5 times a power of
// ten, the smallest that leaves at least minPixels between labels.
double tickStep(double secondsPerPixel, double minPixels);

// "1:05" from 60 s up, "12.5" below a second's step, "12" otherwise: a tick's label.
const char* tickLabel(double t, double step, char (&text)[32]);
