// Guides over a picture: see guides.h.
#include "gpu/guides.h"

#include <glm/gtc/type_ptr.hpp>

namespace {

const char* const kVertex = R"(#version 330 core
layout(location = 0) in vec3 position;
uniform mat4 MVP;
void main() { gl_Position = MVP * vec4(position, 1.0); }
)";

// Each segment widened into a quad facing the screen, lengthened by half the width at both
// ends so that the joints of a strip have no notches. A segment reaching behind the eye is
// left out rather than clipped.
const char* const kWiden = R"(#version 330 core
layout(lines) in;
layout(triangle_strip, max_vertices = 4) out;
uniform vec2 viewport;
uniform float width;
void main() {
    vec4 a = gl_in[0].gl_Position, b = gl_in[1].gl_Position;
    if (a.w <= 0.0 || b.w <= 0.0) return;
    vec2 d = (b.xy / b.w - a.xy / a.w) * viewport;
    d = length(d) > 1e-6 ? normalize(d) : vec2(1.0, 0.0);
    vec2 along = d * width / viewport, across = vec2(-d.y, d.x) * width / viewport;
    gl_Position = a + vec4((-along + across) * a.w, 0.0, 0.0); EmitVertex();
    gl_Position = a + vec4((-along - across) * a.w, 0.0, 0.0); EmitVertex();
    gl_Position = b + vec4((along + across) * b.w, 0.0, 0.0); EmitVertex();
    gl_Position = b + vec4((along - across) * b.w, 0.0, 0.0); EmitVertex();
    EndPrimitive();
}
)";

const char* const kFragment = R"(#version 330 core
uniform vec3 tint;
out vec4 colour;
void main() { colour = vec4(tint, 1.0); }
)";

GLuint compile(GLenum stage, const char* source) {
    const GLuint s = glCreateShader(stage);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    return s;
}

// 0 when it does not build: the guides are then not drawn, the picture still is.
GLuint build(const char* widen) {
    const GLuint stages[3] = {compile(GL_VERTEX_SHADER, kVertex),
                              compile(GL_FRAGMENT_SHADER, kFragment),
                              widen ? compile(GL_GEOMETRY_SHADER, widen) : 0};
    GLuint program = glCreateProgram();
    for (GLuint s : stages)
        if (s) glAttachShader(program, s);
    glLinkProgram(program);
    for (GLuint s : stages)
        if (s) glDeleteShader(s);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        glDeleteProgram(program);
        program = 0;
    }
    return program;
}

} // namespace

guide_painter::guide_painter()
    : line_program(build(kWiden)), point_program(build(nullptr)) {
    GLint array = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &array);
    glGenVertexArrays(1, &vertex_array);
    glGenBuffers(1, &buffer);
    glBindVertexArray(vertex_array);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(glm::vec3), nullptr);
    glBindVertexArray(GLuint(array));
}

guide_painter::~guide_painter() {
    glDeleteBuffers(1, &buffer);
    glDeleteVertexArrays(1, &vertex_array);
    glDeleteProgram(line_program);
    glDeleteProgram(point_program);
}

void guide_painter::begin(const glm::mat4& viewProjection, int width, int height) {
    mvp = viewProjection;
    viewport = glm::vec2(float(width), float(height));
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &kept_array);
    glGetIntegerv(GL_CURRENT_PROGRAM, &kept_program);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &kept_buffer);
    kept_depth = glIsEnabled(GL_DEPTH_TEST);
    glDisable(GL_DEPTH_TEST);
    glBindVertexArray(vertex_array);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
}

void guide_painter::end() {
    if (kept_depth) glEnable(GL_DEPTH_TEST);
    glBindVertexArray(GLuint(kept_array));
    glBindBuffer(GL_ARRAY_BUFFER, GLuint(kept_buffer));
    glUseProgram(GLuint(kept_program));
}

void guide_painter::upload(const std::vector<glm::vec3>& points) {
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(points.size() * sizeof(glm::vec3)), points.data(),
                 GL_STREAM_DRAW);
}

void guide_painter::use(GLuint program, glm::vec3 colour) {
    glUseProgram(program);
    glUniformMatrix4fv(glGetUniformLocation(program, "MVP"), 1, GL_FALSE, glm::value_ptr(mvp));
    glUniform3fv(glGetUniformLocation(program, "tint"), 1, glm::value_ptr(colour));
}

void guide_painter::lines(const std::vector<glm::vec3>& points, GLenum mode, glm::vec3 colour,
                          float width) {
    if (!line_program || points.size() < 2) return;
    upload(points);
    use(line_program, colour);
    glUniform2f(glGetUniformLocation(line_program, "viewport"), viewport.x, viewport.y);
    glUniform1f(glGetUniformLocation(line_program, "width"), width);
    glDrawArrays(mode, 0, GLsizei(points.size()));
}

void guide_painter::points(const std::vector<glm::vec3>& points, glm::vec3 colour, float size) {
    if (!point_program || points.empty()) return;
    upload(points);
    use(point_program, colour);
    glPointSize(size);
    glDrawArrays(GL_POINTS, 0, GLsizei(points.size()));
}
