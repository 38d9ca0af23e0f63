#pragma once
// The yardstick reading for the OBJ benchmarks: tinyobjloader, its result expanded into the same
// three corner lists as loadOBJ's. Header only: the benchmarks are programs of their own.
#include <string>
#include <vector>

#include <glm/glm.hpp>
#include <tiny_obj_loader.h>

struct lists {
    std::vector<glm::vec3> positions, normals;
    std::vector<glm::vec2> uvs;
};

inline bool readTinyobj(const char* path, lists& out) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path, nullptr, true))
        return false;
    std::size_t corners = 0;
    for (const tinyobj::shape_t& s : shapes)
        corners += s.mesh.indices.size();
    out.positions.reserve(corners);
    out.uvs.reserve(corners);
    out.normals.reserve(corners);
    const auto& v = attrib.vertices;
    const auto& t = attrib.texcoords;
    const auto& n = attrib.normals;
    for (const tinyobj::shape_t& s : shapes)
        for (const tinyobj::index_t& i : s.mesh.indices) {
            const auto vi = std::size_t(i.vertex_index), ti = std::size_t(i.texcoord_index),
                       ni = std::size_t(i.normal_index);
            out.positions.emplace_back(v[3 * vi], v[3 * vi + 1], v[3 * vi + 2]);
            out.uvs.emplace_back(t[2 * ti], -t[2 * ti + 1]);
            out.normals.emplace_back(n[3 * ni], n[3 * ni + 1], n[3 * ni + 2]);
        }
    return true;
}
