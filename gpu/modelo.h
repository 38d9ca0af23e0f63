#pragma once
#include <string>
#include <vector>

#include <GL/glew.h>
#include <glm/glm.hpp>

#include "formats/obj.h"

// One triangle mesh read from an OBJ file, its positions, normals and texture coordinates in
// three vertex buffers. Copies share the GPU names, which the scene's gl_pool deletes with the
// scene.
class modelo {
public:
    // Reads the file, then creates a vertex array (left bound) and the position, texture
    // coordinate and normal buffers, in that order, uploading even empty lists. A file that
    // cannot be read leaves `loaded` false and the lists and buffers empty. Name and colour
    // have no effect.
    // With `read`, what the reading found is kept there for the tools.
    modelo(const char* path, std::string name, glm::vec3 colour, obj_status* read = nullptr);

    // Draws the mesh as triangles through whatever vertex array, program and uniforms are
    // current: attributes 0 (position), 1 (normal) and 3 (texture coordinate) are pointed at
    // this mesh's buffers, then disabled again. The matrices are not used; a mesh that was not
    // loaded issues no draw call. Allocates nothing.
    void draw(const glm::mat4& model, const glm::mat4& view, const glm::mat4& projection) const;

    std::vector<glm::vec3> vertices; // one per triangle corner, three per triangle
    GLuint vertex_buffer = 0;
    std::vector<glm::vec3> normals; // aligned with vertices
    GLuint normal_buffer = 0;
    std::vector<glm::vec2> uvs; // aligned with vertices
    GLuint uv_buffer = 0;
    bool loaded = false;
    GLuint vertex_array = 0;
};
