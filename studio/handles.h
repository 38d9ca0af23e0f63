#pragma once
#include <optional>
#include <vector>

#include <glm/glm.hpp>

#include "studio/director.h"

// Where the pointer is on the director's picture, and what of the drawn paths is under it:
// picking a handle, and moving a point as the pointer drags it. No GL: the view's matrices and
// the frame's size only.

// The picture as the window shows it: the frame of `frame` pixels shown scaled into a box at
// `origin`, `shown` pixels wide and high.
struct picture_map {
    glm::vec2 origin{0.0f}, shown{1.0f}, frame{1.0f};
    glm::mat4 viewProjection{1.0f};

    // A window position (pixels from the top left) in the frame's pixels.
    glm::vec2 inFrame(glm::vec2 window) const;
    // Where a world point shows in the frame's pixels; none behind the eye.
    std::optional<glm::vec2> project(glm::vec3 world) const;
    // The world point shown at a frame pixel with that depth (0 near, 1 far).
    glm::vec3 unproject(glm::vec2 at, float depth) const;
    // The ray through a frame pixel: a point on the near plane and its direction into the scene.
    void ray(glm::vec2 at, glm::vec3& origin, glm::vec3& direction) const;
};

// A handle of a drawn path: the path's index in the list and the point's.
struct handle_ref {
    int path = -1, point = -1;
    bool found() const { return path >= 0; }
};

// The handle whose picture is nearest `at` (frame pixels) within `radius` pixels.
handle_ref nearestHandle(const std::vector<drawn_path>& paths, const picture_map& map, glm::vec2 at,
                         float radius);
// The handle or curve sample nearest `at` within radius: what an orbit goes round.
std::optional<glm::vec3> pointNear(const std::vector<drawn_path>& paths, const picture_map& map,
                                   glm::vec2 at, float radius);

// How a point grabbed at frame pixel `from` moves as the pointer goes to `to`: in the plane
// through it facing the view (normal to `ahead`), or, along the world axis whose picture runs
// nearest the drag's direction.
glm::vec3 dragInPlane(const picture_map& map, glm::vec3 point, glm::vec3 ahead, glm::vec2 from,
                      glm::vec2 to);
glm::vec3 dragAlongAxis(const picture_map& map, glm::vec3 point, glm::vec2 from, glm::vec2 to);
