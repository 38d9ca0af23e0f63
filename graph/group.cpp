// Scene graph records: see group.h.
#include "graph/group.h"

#include <utility>

bool modelo_descript::is_on_time(double t) const {
    if (end == start) return true; // an empty window means "always"
    return !(t < start || t > end);
}

void group::addTransform(int kind, float scalar, glm::vec3 operand) {
    transforms.emplace_back(kind, scalar, operand);
}

void group::addTransform(int kind, float scalar, glm::vec3 operand, glm::vec3 wobbleFrequency,
                         glm::vec3 spare, double wobbleAmplitude) {
    transform t(kind, static_cast<double>(scalar), operand, wobbleFrequency, spare);
    t.wobble_amplitude = wobbleAmplitude;
    transforms.push_back(std::move(t));
}

void group::addTransform(int kind, unsigned int seconds) {
    transforms.emplace_back(kind, seconds);
}

void group::addGroup(group child) {
    children.push_back(std::move(child));
}

void group::addModelDescriptor(std::string mesh, std::string texture, std::string shader,
                               glm::vec3 colour, double start, double end) {
    modelo_descript d;
    d.mesh_name = std::move(mesh);
    d.texture_name = std::move(texture);
    d.shader_name = std::move(shader);
    d.colour = colour;
    d.start = start;
    d.end = end;
    descriptors.push_back(std::move(d));
}

void group::addTerrain(const char* /*file*/) {}

void group::addProceduralModel(int /*x*/, int /*y*/, int /*xseg*/, int /*yseg*/) {}
