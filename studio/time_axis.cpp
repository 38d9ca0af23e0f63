// The timeline panel's axis: see time_axis.h.
#include "studio/time_axis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void time_axis::zoom(float x, double factor, double minSpan, double maxSpan) {
    const double anchor = timeAt(x);
    span = std::clamp(span * factor, minSpan, maxSpan);
    start = std::max(0.0, anchor - double(x - left) / double(width) * span);
}

void time_axis::pan(float dx) {
    start = std::max(0.0, start - double(dx) / double(width) * span);
}

bool time_axis::follow(double before, double t) {
    auto shown = [this](double at) { return at >= start && at <= start + span; };
    constexpr double kJump = 0.5; // seconds: more than a frame ever moves
    if (shown(t) || !(shown(before) || std::abs(t - before) > kJump)) return false;
    start = std::max(0.0, t - span / 10.0);
    return true;
}

double tickStep(double secondsPerPixel, double minPixels) {
    const double least = std::max(secondsPerPixel * minPixels, 1e-6);
    double power = std::pow(10.0, std::floor(std::log10(least)));
    for (;;) {
        for (const double m : {1.0, 2.0, 5.0})
            if (m * power >= least * (1.0 - 1e-9)) return m * power;
        power *= 10.0;
    }
}

const char* tickLabel(double t, double step, char (&text)[32]) {
    if (step < 1.0) {
        const int decimals = std::clamp(int(std::ceil(-std::log10(step) - 1e-9)), 1, 3);
        std::snprintf(text, sizeof text, "%.*f", decimals, t);
    } else if (t >= 60.0) {
        const long long whole = std::llround(t);
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%.0f", t);
    }
    return text;
}
