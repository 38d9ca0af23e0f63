// Kept state for a jump in time: see offline.h.
#include "app/offline.h"

#include <algorithm>

#include "scene/scene.h"

namespace {

void advanceGroup(group& g, double t) {
    for (transform& tr : g.transforms)
        tr.update(t);
    for (group& child : g.children)
        advanceGroup(child, t);
}

} // namespace

double frameTime(long k, int fps) {
    return double(k) / double(fps);
}

double subFrameTime(long k, int fps, int j, int subframes, double shutter) {
    const double before = shutter * double(subframes - 1 - j) / double(subframes);
    return std::max(0.0, (double(k) - before) / double(fps));
}

void prepareFrame(scene& s, long k, int fps) {
    if (k > 0)
        advanceTo(s, frameTime(k - 1, fps));
    else
        rewind(s);
}

void advanceTo(scene& s, double previous) {
    for (camera& c : s.cameras) {
        if (c.is_on_time(previous))
            c.position_update(previous);
        else
            c.rewind();
    }
    for (group& g : s.groups)
        advanceGroup(g, previous);
}

void rewind(scene& s) {
    for (camera& c : s.cameras)
        c.rewind();
}
