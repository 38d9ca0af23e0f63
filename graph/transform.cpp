// Transform evaluation: see transform.h.
#include "graph/transform.h"

#include <cmath>

#include <glm/gtc/matrix_transform.hpp>

namespace {

// glm::rotate normalises the axis; a zero one gives NaN everywhere, so keep the rotation out.
glm::mat4 rotateOrKeep(const glm::mat4& model, float angle, glm::vec3 axis) {
    if (glm::dot(axis, axis) == 0.0f) return model;
    return glm::rotate(model, angle, axis);
}

} // namespace

transform::transform(int kind_, float scalar_, glm::vec3 operand_)
    : kind(kind_), operand(operand_), scalar(scalar_) {}

transform::transform(int kind_, double scalar_, glm::vec3 operand_, glm::vec3 wobbleFrequency,
                     glm::vec3 /*spare*/)
    : wobble_frequency(wobbleFrequency), kind(kind_), operand(operand_),
      scalar(static_cast<float>(scalar_)) {}

transform::transform(int kind_, unsigned int seconds)
    : kind(kind_), time_length(static_cast<double>(seconds)) {}

void transform::update(double t) {
    const float period = static_cast<float>(time_length);
    if (period == 0.0f) return; // a zero period has no defined position or angle
    if (kind == curve_translation) {
        const float gt = static_cast<float>(t) / period;
        float p[3];
        path.getGlobalCatmullRomPoint(gt, p);
        operand = glm::vec3(p[0], p[1], p[2]);
    } else if (kind == timed_rotation) {
        // 360 radians per period, not one turn: scenes are timed to this.
        scalar = (static_cast<float>(t) * 360.0f) / period;
    }
}

glm::vec3 transform::wobble(double t) const {
    glm::vec3 w(0.0f);
    if (wobble_frequency == glm::vec3(0.0f)) return w;
    for (int i = 0; i < 3; ++i)
        if (wobble_frequency[i] != 0.0f)
            w[i] = static_cast<float>(wobble_amplitude *
                                      std::sin(static_cast<double>(wobble_frequency[i]) * t));
    return w;
}

glm::mat4 transform::apply(const glm::mat4& model, double t) const {
    const glm::vec3 v = operand + wobble(t);
    switch (kind) {
    case translation:
    case curve_translation:
        return glm::translate(model, v);
    case rotation: // a plain rotation ignores its wobble
        return rotateOrKeep(model, scalar, operand);
    case scaling:
        return glm::scale(model, v);
    case timed_rotation:
        return rotateOrKeep(model, scalar, v);
    default:
        return glm::mat4(1.0f);
    }
}

glm::mat4 applyTransforms(std::vector<transform>& transforms, glm::mat4 model, double t) {
    for (transform& tr : transforms) {
        tr.update(t);
        model = tr.apply(model, t);
    }
    return model;
}

glm::vec3 circlingLight(double seconds) {
    return glm::vec3(static_cast<float>(2.0 + std::cos(seconds)), 3.0f,
                     static_cast<float>(2.0 + std::sin(seconds)));
}
