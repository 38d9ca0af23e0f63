// Guides over a picture: see guides.h.
#include "gpu/guides.h"

#include "gpu/program_check.h"

#include <cmath>
#include <cstddef>

namespace {

const char* const kVertex = R"(#version 330 core
layout(location = 0) in vec4 position;
layout(location = 1) in vec3 colour;
layout(location = 2) in vec2 edge;
out vec3 tint;
out vec2 across;
void main() { gl_Position = position; tint = colour; across = edge; }
)";

const char* const kFragment = R"(#version 330 core
in vec3 tint;
in vec2 across;
out vec4 colour;
void main() { colour = vec4(tint, clamp(across.y + 0.5 - abs(across.x), 0.0, 1.0)); }
)";

// 0 when it does not build: the guides are then not drawn, the picture still is.
GLuint build() {
    program_report report;
    const GLuint program = buildProgram(kVertex, kFragment, report);
    if (report.linked) return program;
    glDeleteProgram(program);
    return 0;
}

// Keeps the state the guides change and gives it back when it goes.
struct kept_state {
    GLint array = 0, program = 0, buffer = 0, blend[4] = {GL_ONE, GL_ZERO, GL_ONE, GL_ZERO};
    GLboolean depth = glIsEnabled(GL_DEPTH_TEST), blending = glIsEnabled(GL_BLEND);
    kept_state() {
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &array);
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer);
        glGetIntegerv(GL_BLEND_SRC_RGB, &blend[0]);
        glGetIntegerv(GL_BLEND_DST_RGB, &blend[1]);
        glGetIntegerv(GL_BLEND_SRC_ALPHA, &blend[2]);
        glGetIntegerv(GL_BLEND_DST_ALPHA, &blend[3]);
    }
    ~kept_state() {
        if (depth) glEnable(GL_DEPTH_TEST);
        if (!blending) glDisable(GL_BLEND);
        glBlendFuncSeparate(GLenum(blend[0]), GLenum(blend[1]), GLenum(blend[2]), GLenum(blend[3]));
        // A program or array deleted while bound lasts only until something else is bound.
        glBindVertexArray(glIsVertexArray(GLuint(array)) ? GLuint(array) : 0);
        glBindBuffer(GL_ARRAY_BUFFER, glIsBuffer(GLuint(buffer)) ? GLuint(buffer) : 0);
        glUseProgram(glIsProgram(GLuint(program)) ? GLuint(program) : 0);
    }
};

} // namespace

guide_painter::guide_painter() : program(build()) {
    const kept_state kept;
    glGenVertexArrays(1, &vertex_array);
    glGenBuffers(1, &buffer);
    glBindVertexArray(vertex_array);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, sizeof(vertex),
                          reinterpret_cast<const void*>(offsetof(vertex, position)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, sizeof(vertex),
                          reinterpret_cast<const void*>(offsetof(vertex, colour)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(vertex),
                          reinterpret_cast<const void*>(offsetof(vertex, edge)));
}

guide_painter::~guide_painter() {
    glDeleteBuffers(1, &buffer);
    glDeleteVertexArrays(1, &vertex_array);
    glDeleteProgram(program);
}

void guide_painter::begin(const glm::mat4& viewProjection, int width, int height) {
    mvp = viewProjection;
    viewport = glm::vec2(float(width), float(height));
    given.clear();
}

// Corners 0 and 2 on one side of a line, 1 and 3 on the other; half: the line's half width,
// or 0 for a point's square.
void guide_painter::quad(const glm::vec4 (&corner)[4], glm::vec3 colour, float half) {
    const float side = half > 0.0f ? half + 1.0f : 0.0f;
    for (int i : {0, 1, 2, 2, 1, 3})
        batch.push_back({corner[i], colour, {i % 2 ? -side : side, half > 0.0f ? half : 1.0f}});
}

// A segment widened into a quad facing the screen, a pixel wider on each side for the fading
// edge and lengthened by half the width at both ends so that the joints of a strip have no
// notches. One reaching behind the eye is left out rather than clipped.
void guide_painter::segment(glm::vec4 a, glm::vec4 b, glm::vec3 colour, float width) {
    if (a.w <= 0.0f || b.w <= 0.0f) return;
    glm::vec2 d = (glm::vec2(b) / b.w - glm::vec2(a) / a.w) * viewport;
    d = glm::length(d) > 1e-6f ? glm::normalize(d) : glm::vec2(1.0f, 0.0f);
    // Clip units are two a picture: a pixel is 2 / viewport of them.
    const glm::vec2 along = d * width / viewport,
                    across = glm::vec2(-d.y, d.x) * (width + 2.0f) / viewport;
    const auto at = [](glm::vec4 p, glm::vec2 offset) {
        return p + glm::vec4(offset * p.w, 0.0f, 0.0f);
    };
    quad({at(a, -along + across), at(a, -along - across), at(b, along + across),
          at(b, along - across)},
         colour, width * 0.5f);
}

// The strip's points that must stay for it to look the same: a point is dropped where the
// chord from the last one kept to the next one passes within a fraction of a pixel of every
// point between them. A path sampled finely enough for a close view is then drawn with a few
// points where it is small on the screen; points behind the eye are all kept.
std::vector<glm::vec4> guide_painter::thinned(const std::vector<glm::vec4>& strip) const {
    constexpr float kTolerance = 0.5f; // pixels
    std::vector<glm::vec2> shown(strip.size());
    for (std::size_t i = 0; i < strip.size(); ++i)
        if (strip[i].w > 0.0f) shown[i] = glm::vec2(strip[i]) / strip[i].w * viewport * 0.5f;
    std::vector<glm::vec4> kept{strip.front()};
    std::size_t anchor = 0;
    for (std::size_t next = 2; next < strip.size(); ++next) {
        bool fits = strip[anchor].w > 0.0f && strip[next].w > 0.0f;
        const glm::vec2 a = shown[anchor], chord = shown[next] - a;
        const float length = glm::length(chord);
        for (std::size_t i = anchor + 1; fits && i < next; ++i) {
            const glm::vec2 d = shown[i] - a;
            const float along = length > 0.0f ? glm::dot(d, chord) / length : 0.0f;
            const float off = length > 0.0f ? std::abs(d.x * chord.y - d.y * chord.x) / length
                                            : glm::length(d);
            fits = strip[i].w > 0.0f && off <= kTolerance && along >= -kTolerance &&
                   along <= length + kTolerance;
        }
        if (!fits) {
            anchor = next - 1;
            kept.push_back(strip[anchor]);
        }
    }
    kept.push_back(strip.back());
    return kept;
}

void guide_painter::lines(const std::vector<glm::vec3>& points, GLenum mode, glm::vec3 colour,
                          float width) {
    given.push_back({points, mode, colour, width});
}

void guide_painter::points(const std::vector<glm::vec3>& points, glm::vec3 colour, float size) {
    given.push_back({points, GL_POINTS, colour, size});
}

void guide_painter::widen(const guide& g) {
    std::vector<glm::vec4> clip;
    clip.reserve(g.points.size() + 1);
    for (const glm::vec3& p : g.points)
        clip.push_back(mvp * glm::vec4(p, 1.0f));
    if (g.mode == GL_POINTS) {
        const glm::vec2 half = glm::vec2(g.width) / viewport; // in clip units over w
        for (const glm::vec4& c : clip) {
            const auto at = [&](float x, float y) {
                return c + glm::vec4(half.x * x * c.w, half.y * y * c.w, 0.0f, 0.0f);
            };
            if (c.w > 0.0f) quad({at(-1, -1), at(1, -1), at(-1, 1), at(1, 1)}, g.colour, 0.0f);
        }
        return;
    }
    if (clip.size() < 2) return;
    if (g.mode == GL_LINES) {
        for (std::size_t i = 0; i + 1 < clip.size(); i += 2)
            segment(clip[i], clip[i + 1], g.colour, g.width);
        return;
    }
    if (g.mode == GL_LINE_LOOP) clip.push_back(clip.front());
    const std::vector<glm::vec4> strip = thinned(clip);
    for (std::size_t i = 0; i + 1 < strip.size(); ++i)
        segment(strip[i], strip[i + 1], g.colour, g.width);
}

void guide_painter::end() {
    if (!program) return;
    const kept_state kept;
    glBindVertexArray(vertex_array);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    // A still picture (paused, the view unmoved) gives the same guides frame after frame: the
    // triangles already in the buffer are drawn again.
    if (given != shown || mvp != shownMvp || viewport != shownViewport) {
        batch.clear();
        for (const guide& g : given)
            widen(g);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(batch.size() * sizeof(vertex)), batch.data(),
                     GL_STREAM_DRAW);
        shownCount = GLsizei(batch.size());
        std::swap(given, shown);
        shownMvp = mvp;
        shownViewport = viewport;
    }
    if (shownCount == 0) return;
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(program);
    glDrawArrays(GL_TRIANGLES, 0, shownCount);
}
