#pragma once
#include <vector>

#include <glm/glm.hpp>

#include "graph/curve.h"

// How a camera's eye moves; the values are those the camera's mode has always had.
enum camera_mode : int {
    static_camera = 0,  // eye, look-at point and up as read
    moving_look_at = 1, // eye along the curve, looking at a fixed point
    moving_tangent = 3, // eye along the curve, looking at its tangent taken as a point
};

// A view of the scene for a time window: static, or with its eye on a closed curve (see
// camera_mode).
class camera {
public:
    // Eye (30, 30, 30) looking at the origin; start = end, so active at every time.
    camera();
    // Static camera; the up argument is ignored, up is always (0, 1, 0).
    camera(glm::vec3 eye, glm::vec3 look, glm::vec3 up, unsigned start, unsigned end);
    // Moving camera (moving_tangent) with an empty path and the identity view until its first
    // update; unmoved until then.
    camera(unsigned start, unsigned end);

    // Active for start <= t <= end; a window whose start equals its end is always active.
    bool is_on_time(double t) const;
    // Moves a moving camera to scene time t and recomputes the view; a static one is unchanged.
    void position_update(double t);
    bool moving() const { return mode == moving_look_at || mode == moving_tangent; }
    // Back to the state the (start, end) constructor leaves a moving camera in, for a replay
    // from an earlier time; a fixed look-at point stays. A static camera is unchanged.
    void rewind();

    glm::mat4 viewMatrix() const { return view; }  // a copy; position_update computes it
    glm::vec3 GetPosition() const { return look; } // the look-at point, not the eye

    curve path;               // eye path of the moving modes
    int mode = static_camera; // a camera_mode
    glm::mat4 view = glm::mat4(1.0f);
    glm::vec3 eye = glm::vec3(0.0f);
    glm::vec3 look = glm::vec3(0.0f);
    glm::vec3 up = glm::vec3(0.0f, 1.0f, 0.0f);
    double start = 0.0; // seconds of scene time
    double end = 0.0;
    // No position_update since construction or the last rewind(): the view is not yet one of
    // the path's. Kept as a flag, since an identity view can also be a computed one.
    bool unmoved = true;
};

// lookAt(eye, centre, up), or `previous` when the three give no defined view (eye on the
// centre, or looking along up), so that a degenerate frame keeps the last good matrix.
glm::mat4 lookAtOr(glm::vec3 eye, glm::vec3 centre, glm::vec3 up, const glm::mat4& previous);

// Camera scheduling for one frame at time now: every active camera is copied into frame,
// then moved to now, in file order; so the last active camera films, as it stood before this
// frame's update. A moving camera still unmoved is first moved to now, so that the first frame
// of its window shows its path rather than the constructor's view. Returns how many cameras
// were active.
int scheduleCameras(std::vector<camera>& cameras, double now, camera& frame);
