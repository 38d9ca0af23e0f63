// The fscanf reference reading: see obj_oracle.h.
#include "tests/obj_oracle.h"

#include <cctype>
#include <cstring>

namespace {

// Index i (1-based, stored unsigned) of a list of n entries, or false when outside it.
bool inList(unsigned i, std::size_t n) {
    return i >= 1 && i - 1 < n;
}

} // namespace

bool oracleReadOBJ(std::FILE* file, std::vector<glm::vec3>& positions, std::vector<glm::vec2>& uvs,
                   std::vector<glm::vec3>& normals) {
    std::vector<unsigned> vertexIndices, uvIndices, normalIndices;
    std::vector<glm::vec3> tempVertices, tempNormals;
    std::vector<glm::vec2> tempUvs;
    for (;;) {
        char lineHeader[128];
        if (std::fscanf(file, "%127s", lineHeader) == EOF) break;
        // A word that did not fit goes on to its end and matches no keyword.
        int c = std::fgetc(file);
        const bool longWord = c != EOF && !std::isspace(c);
        while (c != EOF && !std::isspace(c))
            c = std::fgetc(file);
        if (c != EOF) std::ungetc(c, file);
        if (longWord) lineHeader[0] = '\0';

        if (!longWord && std::strcmp(lineHeader, "v") == 0) {
            glm::vec3 vertex(0.0f);
            (void)std::fscanf(file, "%f %f %f\n", &vertex.x, &vertex.y, &vertex.z);
            tempVertices.push_back(vertex);
        } else if (!longWord && std::strcmp(lineHeader, "vt") == 0) {
            glm::vec2 uv(0.0f);
            (void)std::fscanf(file, "%f %f\n", &uv.x, &uv.y);
            uv.y = -uv.y;
            tempUvs.push_back(uv);
        } else if (!longWord && std::strcmp(lineHeader, "vn") == 0) {
            glm::vec3 normal(0.0f);
            (void)std::fscanf(file, "%f %f %f\n", &normal.x, &normal.y, &normal.z);
            tempNormals.push_back(normal);
        } else if (!longWord && std::strcmp(lineHeader, "f") == 0) {
            int v[3], t[3], n[3];
            const int matches = std::fscanf(file, "%d/%d/%d %d/%d/%d %d/%d/%d\n", &v[0], &t[0],
                                            &n[0], &v[1], &t[1], &n[1], &v[2], &t[2], &n[2]);
            if (matches != 9) return false;
            for (int k = 0; k < 3; ++k) {
                vertexIndices.push_back(static_cast<unsigned>(v[k]));
                uvIndices.push_back(static_cast<unsigned>(t[k]));
                normalIndices.push_back(static_cast<unsigned>(n[k]));
            }
        } else {
            char stupidBuffer[1000];
            (void)std::fgets(stupidBuffer, 1000, file);
        }
    }
    for (std::size_t i = 0; i < vertexIndices.size(); ++i)
        if (!inList(vertexIndices[i], tempVertices.size()) ||
            !inList(uvIndices[i], tempUvs.size()) || !inList(normalIndices[i], tempNormals.size()))
            return false;
    for (std::size_t i = 0; i < vertexIndices.size(); ++i) {
        positions.push_back(tempVertices[vertexIndices[i] - 1]);
        uvs.push_back(tempUvs[uvIndices[i] - 1]);
        normals.push_back(tempNormals[normalIndices[i] - 1]);
    }
    return true;
}

bool oracleParseOBJ(const char* data, std::size_t size, std::vector<glm::vec3>& positions,
                    std::vector<glm::vec2>& uvs, std::vector<glm::vec3>& normals) {
    if (size == 0) return true; // fmemopen refuses an empty buffer; an empty file reads as empty
    std::FILE* in = fmemopen(const_cast<char*>(data), size, "r");
    if (!in) return false;
    const bool ok = oracleReadOBJ(in, positions, uvs, normals);
    std::fclose(in);
    return ok;
}
