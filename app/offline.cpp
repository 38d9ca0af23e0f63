// Kept state for a jump in time: see offline.h.
#include "app/offline.h"

#include "scene/scene.h"

namespace {

void settleGroup(group& g, double t) {
    for (transform& tr : g.transforms)
        tr.update(t);
    for (group& child : g.children)
        settleGroup(child, t);
}

} // namespace

double frameTime(long k, int fps) {
    return double(k) / double(fps);
}

void settleForFrame(scene& s, long k, int fps) {
    if (k > 0)
        settleAt(s, frameTime(k - 1, fps));
    else
        unsettle(s);
}

void settleAt(scene& s, double previous) {
    for (camera& c : s.cameras) {
        if (c.is_on_time(previous))
            c.position_update(previous);
        else
            c.unmove();
    }
    for (group& g : s.groups)
        settleGroup(g, previous);
}

void unsettle(scene& s) {
    for (camera& c : s.cameras)
        c.unmove();
}
