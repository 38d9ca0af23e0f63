#pragma once
#include <cstddef>
#include <cstdio>
#include <vector>

#include <glm/glm.hpp>

// The OBJ reading written plainly with fscanf, as the reading rules state it: the reference
// that loadOBJ must match bit for bit. Words longer than 127 bytes count as unrecognised, and
// indices outside the lists fail the read, as in loadOBJ.
bool oracleReadOBJ(std::FILE* in, std::vector<glm::vec3>& positions, std::vector<glm::vec2>& uvs,
                   std::vector<glm::vec3>& normals);

// The same over bytes in memory, through fmemopen.
bool oracleParseOBJ(const char* data, std::size_t size, std::vector<glm::vec3>& positions,
                    std::vector<glm::vec2>& uvs, std::vector<glm::vec3>& normals);
