// Meshes on the GPU: see modelo.h.
#include "gpu/modelo.h"

#include "formats/obj.h"

namespace {

template <class T> void upload(GLuint& buffer, const std::vector<T>& data) {
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(T)),
                 data.empty() ? nullptr : data.data(), GL_STATIC_DRAW);
}

void attribute(GLuint index, GLuint buffer, GLint components) {
    glEnableVertexAttribArray(index);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glVertexAttribPointer(index, components, GL_FLOAT, GL_FALSE, 0, nullptr);
}

} // namespace

modelo::modelo(const char* path, std::string, glm::vec3, obj_status* read) {
    loaded = loadOBJ(path, vertices, uvs, normals, {}, read);
    glGenVertexArrays(1, &vertex_array);
    glBindVertexArray(vertex_array);
    upload(vertex_buffer, vertices);
    upload(uv_buffer, uvs);
    upload(normal_buffer, normals);
}

void modelo::draw(const glm::mat4&, const glm::mat4&, const glm::mat4&) const {
    attribute(0, vertex_buffer, 3);
    attribute(1, normal_buffer, 3);
    attribute(3, uv_buffer, 2);
    if (loaded) glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
    for (GLuint index : {0, 1, 3})
        glDisableVertexAttribArray(index);
}
