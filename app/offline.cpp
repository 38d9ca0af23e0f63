// Kept state for a jump in time: see offline.h.
#include "app/offline.h"

#include "scene/scene.h"

namespace {

// As the (start, end) constructor leaves a moving camera; a fixed look-at point stays.
void unsettleCamera(camera& c) {
    if (c.mode != moving_look_at && c.mode != moving_tangent) return;
    c.view = glm::mat4(1.0f);
    c.eye = glm::vec3(0.0f);
    if (c.mode == moving_tangent) c.look = glm::vec3(0.0f);
}

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
            unsettleCamera(c);
    }
    for (group& g : s.groups)
        settleGroup(g, previous);
}

void unsettle(scene& s) {
    for (camera& c : s.cameras)
        unsettleCamera(c);
}
