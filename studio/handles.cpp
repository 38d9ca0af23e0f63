// Picking and dragging the paths' points: see handles.h.
#include "studio/handles.h"

#include <cmath>
#include <limits>

namespace {

// Where the ray meets the plane through `point` normal to `normal`, or `point` when it runs
// along it.
glm::vec3 onPlane(const picture_map& map, glm::vec2 at, glm::vec3 point, glm::vec3 normal) {
    glm::vec3 origin, direction;
    map.ray(at, origin, direction);
    const float across = glm::dot(direction, normal);
    if (!(std::abs(across) > 1e-6f)) return point;
    return origin + direction * (glm::dot(point - origin, normal) / across);
}

// The parameter along point + s * axis nearest the ray through `at`.
float alongLine(const picture_map& map, glm::vec2 at, glm::vec3 point, glm::vec3 axis) {
    glm::vec3 origin, direction;
    map.ray(at, origin, direction);
    const glm::vec3 w = point - origin;
    const float b = glm::dot(axis, direction), d = glm::dot(axis, w), e = glm::dot(direction, w);
    const float denominator = 1.0f - b * b; // both unit length
    return std::abs(denominator) > 1e-6f ? (b * e - d) / denominator : 0.0f;
}

// The index of the point of `points` shown nearest `at` within `nearest` pixels, which then
// becomes its distance; -1 when none is that near.
int nearer(const std::vector<glm::vec3>& points, const picture_map& map, glm::vec2 at,
           float& nearest) {
    int best = -1;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const std::optional<glm::vec2> shown = map.project(points[k]);
        if (shown && glm::length(*shown - at) <= nearest) {
            nearest = glm::length(*shown - at);
            best = int(k);
        }
    }
    return best;
}

} // namespace

glm::vec2 picture_map::inFrame(glm::vec2 window) const {
    return (window - origin) * frame / glm::max(shown, glm::vec2(1.0f));
}

std::optional<glm::vec2> picture_map::project(glm::vec3 world) const {
    const glm::vec4 clip = viewProjection * glm::vec4(world, 1.0f);
    if (!(clip.w > 1e-6f)) return std::nullopt;
    const glm::vec2 ndc = glm::vec2(clip) / clip.w;
    return glm::vec2((ndc.x + 1.0f) * 0.5f * frame.x, (1.0f - ndc.y) * 0.5f * frame.y);
}

glm::vec3 picture_map::unproject(glm::vec2 at, float depth) const {
    const glm::vec4 ndc(2.0f * at.x / frame.x - 1.0f, 1.0f - 2.0f * at.y / frame.y,
                        2.0f * depth - 1.0f, 1.0f);
    const glm::vec4 world = glm::inverse(viewProjection) * ndc;
    return glm::vec3(world) / world.w;
}

void picture_map::ray(glm::vec2 at, glm::vec3& origin, glm::vec3& direction) const {
    origin = unproject(at, 0.0f);
    direction = glm::normalize(unproject(at, 1.0f) - origin);
}

handle_ref nearestHandle(const std::vector<drawn_path>& paths, const picture_map& map, glm::vec2 at,
                         float radius) {
    handle_ref best;
    float nearest = radius;
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (const int k = nearer(paths[i].handles, map, at, nearest); k >= 0) best = {int(i), k};
    return best;
}

std::optional<glm::vec3> pointNear(const std::vector<drawn_path>& paths, const picture_map& map,
                                   glm::vec2 at, float radius) {
    if (const handle_ref h = nearestHandle(paths, map, at, radius); h.found())
        return paths[std::size_t(h.path)].handles[std::size_t(h.point)];
    std::optional<glm::vec3> best;
    float nearest = radius;
    for (const drawn_path& p : paths)
        if (const int k = nearer(p.curve, map, at, nearest); k >= 0) best = p.curve[std::size_t(k)];
    return best;
}

glm::vec3 dragInPlane(const picture_map& map, glm::vec3 point, glm::vec3 ahead, glm::vec2 from,
                      glm::vec2 to) {
    return point + onPlane(map, to, point, ahead) - onPlane(map, from, point, ahead);
}

glm::vec3 dragAlongAxis(const picture_map& map, glm::vec3 point, glm::vec2 from, glm::vec2 to) {
    const std::optional<glm::vec2> base = map.project(point);
    const glm::vec2 drag = to - from;
    if (!base || !(glm::length(drag) > 0.0f)) return point;
    glm::vec3 best(0.0f);
    float closest = -1.0f;
    for (int i = 0; i < 3; ++i) {
        glm::vec3 axis(0.0f);
        axis[i] = 1.0f;
        const std::optional<glm::vec2> tip = map.project(point + axis);
        if (!tip || !(glm::length(*tip - *base) > 1e-3f)) continue;
        const float along = std::abs(glm::dot(glm::normalize(*tip - *base), glm::normalize(drag)));
        if (along > closest) {
            closest = along;
            best = axis;
        }
    }
    if (closest < 0.0f) return point;
    return point + best * (alongLine(map, to, point, best) - alongLine(map, from, point, best));
}
