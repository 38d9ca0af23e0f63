// Cameras and their view matrices: see camera.h.
#include "camera/camera.h"

#include <cmath>

#include <glm/gtc/matrix_transform.hpp>

glm::mat4 lookAtOr(glm::vec3 eye, glm::vec3 centre, glm::vec3 up, const glm::mat4& previous) {
    const glm::vec3 f = centre - eye;
    const glm::vec3 side = glm::cross(f, up);
    if (glm::dot(f, f) == 0.0f || glm::dot(side, side) == 0.0f) return previous;
    const glm::mat4 m = glm::lookAt(eye, centre, up);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            if (!std::isfinite(m[c][r])) return previous;
    return m;
}

camera::camera() : camera(glm::vec3(30.0f), glm::vec3(0.0f), glm::vec3(0.0f, 1.0f, 0.0f), 0, 0) {}

camera::camera(glm::vec3 eye_, glm::vec3 look_, glm::vec3 /*up*/, unsigned start_, unsigned end_)
    : eye(eye_), look(look_), start(start_), end(end_) {
    view = lookAtOr(eye, look, up, glm::mat4(1.0f));
}

camera::camera(unsigned start_, unsigned end_) : mode(moving_tangent), start(start_), end(end_) {}

bool camera::is_on_time(double t) const {
    if (end == start) return true; // an empty window means "always"
    return !(start > t || t > end);
}

void camera::position_update(double t) {
    if (!moving()) return;
    unmoved = false;
    // An empty window would divide by zero; such a camera shows its curve at u = 0.
    float u = 0.0f;
    if (end != start) u = static_cast<float>(t - start) / static_cast<float>(end - start);

    float p[3];
    path.getGlobalCatmullRomPoint(u, p);
    eye = glm::vec3(p[0], p[1], p[2]);
    if (mode == moving_tangent) {
        float d[3];
        path.getGlobalCatmullRomPointTangent(u, d);
        // The tangent itself is the point looked at, not eye + tangent.
        look = glm::vec3(d[0], d[1], d[2]);
    }
    view = lookAtOr(eye, look, up, view);
}

void camera::rewind() {
    if (!moving()) return;
    view = glm::mat4(1.0f);
    eye = glm::vec3(0.0f);
    if (mode == moving_tangent) look = glm::vec3(0.0f);
    unmoved = true;
}

namespace {

// Everything the drawing reads of a camera. The path is left out: copying it would cost a
// heap allocation every frame, and drawing never looks at it.
void copyPose(camera& to, const camera& from) {
    to.mode = from.mode;
    to.view = from.view;
    to.eye = from.eye;
    to.look = from.look;
    to.up = from.up;
    to.start = from.start;
    to.end = from.end;
    to.unmoved = from.unmoved;
}

} // namespace

int scheduleCameras(std::vector<camera>& cameras, double now, camera& frame) {
    int active = 0;
    for (camera& c : cameras) {
        if (!c.is_on_time(now)) continue;
        if (c.moving() && c.unmoved) c.position_update(now);
        copyPose(frame, c);
        c.position_update(now);
        ++active;
    }
    return active;
}
