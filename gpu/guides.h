#pragma once
#include <vector>

#include <GL/glew.h>
#include <glm/glm.hpp>

// Guides drawn over a picture in one flat colour each: lines of a width in pixels (a core
// context draws none wider than one) and square points, with no depth test, so that nothing
// in the picture hides them. Needs a current 3.3 context while it lives.
class guide_painter {
public:
    guide_painter();
    ~guide_painter();
    guide_painter(const guide_painter&) = delete;
    guide_painter& operator=(const guide_painter&) = delete;

    // Before the guides of a picture width x height pixels, seen through viewProjection; the
    // depth test, the program and the vertex array are given back by end().
    void begin(const glm::mat4& viewProjection, int width, int height);
    // mode: GL_LINE_STRIP, GL_LINE_LOOP or GL_LINES.
    void lines(const std::vector<glm::vec3>& points, GLenum mode, glm::vec3 colour, float width);
    void points(const std::vector<glm::vec3>& points, glm::vec3 colour, float size);
    void end();

    bool usable() const { return line_program != 0 && point_program != 0; }

private:
    void upload(const std::vector<glm::vec3>& points);
    void use(GLuint program, glm::vec3 colour);

    GLuint line_program = 0, point_program = 0;
    GLuint vertex_array = 0, buffer = 0;
    glm::mat4 mvp = glm::mat4(1.0f);
    glm::vec2 viewport = glm::vec2(1.0f);
    GLint kept_array = 0, kept_program = 0, kept_buffer = 0;
    GLboolean kept_depth = GL_FALSE;
};
