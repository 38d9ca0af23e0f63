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

void picture_map::ray(glm::vec2 at, glm::vec3& origin, glm::vec3& direction) const {
    const glm::vec2 ndc(2.0f * at.x / frame.x - 1.0f, 1.0f - 2.0f * at.y / frame.y);
    const glm::mat4 back = glm::inverse(viewProjection);
    const glm::vec4 near = back * glm::vec4(ndc, -1.0f, 1.0f),
                    far = back * glm::vec4(ndc, 1.0f, 1.0f);
    origin = glm::vec3(near) / near.w;
    direction = glm::normalize(glm::vec3(far) / far.w - origin);
}

handle_ref nearestHandle(const std::vector<drawn_path>& paths, const picture_map& map, glm::vec2 at,
                         float radius) {
    handle_ref best;
    float nearest = radius;
    for (std::size_t i = 0; i < paths.size(); ++i)
        for (std::size_t k = 0; k < paths[i].handles.size(); ++k) {
            const std::optional<glm::vec2> shown = map.project(paths[i].handles[k]);
            if (shown && glm::length(*shown - at) <= nearest) {
                nearest = glm::length(*shown - at);
                best = {int(i), int(k)};
            }
        }
    return best;
}

std::optional<glm::vec3> pointNear(const std::vector<drawn_path>& paths, const picture_map& map,
                                   glm::vec2 at, float radius) {
    if (const handle_ref h = nearestHandle(paths, map, at, radius); h.found())
        return paths[std::size_t(h.path)].handles[std::size_t(h.point)];
    std::optional<glm::vec3> best;
    float nearest = radius;
    for (const drawn_path& p : paths)
        for (const glm::vec3& q : p.curve) {
            const std::optional<glm::vec2> shown = map.project(q);
            if (shown && glm::length(*shown - at) <= nearest) {
                nearest = glm::length(*shown - at);
                best = q;
            }
        }
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
