#pragma once
#include <vector>

#include <GL/glew.h>
#include <glm/glm.hpp>

// Guides drawn over a picture in one flat colour each: lines of a width in pixels (a core
// context draws none wider than one) and square points, with no depth test, so that nothing
// in the picture hides them. Needs a current 3.3 context while it lives.
//
// The guides of a picture are gathered between begin() and end() and drawn there in one call,
// in the order they were given: on a software rasteriser each draw call, each upload and each
// program change costs more than all of the guides' pixels together.
class guide_painter {
public:
    guide_painter();
    ~guide_painter();
    guide_painter(const guide_painter&) = delete;
    guide_painter& operator=(const guide_painter&) = delete;

    // Before the guides of a picture width x height pixels, seen through viewProjection.
    void begin(const glm::mat4& viewProjection, int width, int height);
    // mode: GL_LINE_STRIP, GL_LINE_LOOP or GL_LINES.
    void lines(const std::vector<glm::vec3>& points, GLenum mode, glm::vec3 colour, float width);
    void points(const std::vector<glm::vec3>& points, glm::vec3 colour, float size);
    // Draws what was given; the depth test, the program and the vertex array are as before.
    void end();

    bool usable() const { return program != 0; }

private:
    struct vertex {
        glm::vec4 position; // in clip space: the widening is done here, not on the GPU
        glm::vec3 colour;
        // Pixels from a line's middle (signed, across it) and half its width; a point's
        // square is (0, 1). The edge fades over a pixel: smooth lines without multisampling.
        glm::vec2 edge;
    };
    struct guide {
        std::vector<glm::vec3> points;
        GLenum mode;  // GL_POINTS for points
        glm::vec3 colour;
        float width;  // a point's size
        bool operator==(const guide&) const = default;
    };
    void widen(const guide& g);
    void segment(glm::vec4 a, glm::vec4 b, glm::vec3 colour, float width);
    void quad(const glm::vec4 (&corner)[4], glm::vec3 colour, float half);
    std::vector<glm::vec4> thinned(const std::vector<glm::vec4>& strip) const;

    GLuint program = 0;
    GLuint vertex_array = 0, buffer = 0;
    glm::mat4 mvp = glm::mat4(1.0f);
    glm::vec2 viewport = glm::vec2(1.0f);
    std::vector<vertex> batch;
    std::vector<guide> given, shown; // this picture's, and those whose triangles are drawn
    glm::mat4 shownMvp = glm::mat4(0.0f);
    glm::vec2 shownViewport = glm::vec2(0.0f);
    GLsizei shownCount = 0;
};
