#pragma once
#include <vector>

#include <glm/glm.hpp>

#include "graph/curve.h"

// The kind codes that a scene file produces; any other code evaluates to the identity.
enum transform_kind : int {
    translation = 1,
    rotation = 2,
    scaling = 3,
    curve_translation = 4,
    timed_rotation = 5,
};

// One step of a group's model matrix: static or time-driven, with an optional sine wobble.
class transform {
public:
    transform(int kind, float scalar, glm::vec3 operand);
    // The spare vector is accepted for the loader's sake and not kept: nothing reads it.
    transform(int kind, double scalar, glm::vec3 operand, glm::vec3 wobbleFrequency,
              glm::vec3 spare);
    transform(int kind, unsigned int seconds);

    void SetTimeLenght(double seconds) { time_length = seconds; }

    // Refreshes the state kept between frames (the point of a curve translation, the angle of a
    // timed rotation) for scene time t. A zero period leaves that state unchanged.
    void update(double t);
    // model times this transform's matrix at time t; changes nothing. A rotation about a
    // zero axis (wobble included) leaves model unchanged.
    glm::mat4 apply(const glm::mat4& model, double t) const;

    curve path;                                   // only curve_translation reads it
    glm::vec3 wobble_frequency = glm::vec3(0.0f); // radians per second on x, y, z; 0 = none
    double wobble_amplitude = 1.0;
    int kind = 0;                        // a transform_kind code
    glm::vec3 operand = glm::vec3(0.0f); // offset, axis, factors, or the current curve point
    float scalar = 0.0f;                 // rotation angle in radians
    double time_length = 0.0;            // period in seconds of the time-driven kinds
    int line = 0;                        // of its element in the scene file, for the tools
    int place = -1;                      // its element's index in the scene file (document order)
    std::vector<int> point_places;       // a curve's point elements, the same way

private:
    glm::vec3 wobble(double t) const;
};

// Refreshes each transform for time t and applies it to model, in list order: the matrix a
// group hands to its descriptors and children.
glm::mat4 applyTransforms(std::vector<transform>& transforms, glm::mat4 model, double t);

// The scene's white light at `seconds` of the clock: circling once per 2 pi s above (2, 3, 2).
glm::vec3 circlingLight(double seconds);
