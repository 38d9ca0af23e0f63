// Meshes on a real context: buffer contents and sizes, vertex array state, draw counts.
#include "gpu/modelo.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "tests/gl/gl_context.h"

namespace {

// Two triangles; the first covers the whole viewport.
const char* const kTwoTriangles = "v -1 -1 0\nv 3 -1 0\nv -1 3 0\nv 0 0 0.5\n"
                                  "vt 0 0\nvt 1 0\nvt 0 1\n"
                                  "vn 0 0 1\nvn 0 1 0\n"
                                  "f 1/1/1 2/2/1 3/3/1\nf 4/3/2 1/2/2 2/1/2\n";

std::string writeTemp(const char* name, const char* text) {
    const std::string path = testing::TempDir() + name;
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out) {
        std::fputs(text, out);
        std::fclose(out);
    }
    return path;
}

modelo quietly(const std::string& path) {
    testing::internal::CaptureStdout();
    modelo m(path.c_str(), "", glm::vec3(0.5f));
    testing::internal::GetCapturedStdout();
    return m;
}

GLint bufferSize(GLuint buffer) {
    GLint size = -1;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    return size;
}

template <class T> std::vector<T> readBack(GLuint buffer, std::size_t count) {
    std::vector<T> out(count);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count * sizeof(T)), out.data());
    return out;
}

GLuint compile(GLenum kind, const char* source) {
    const GLuint s = glCreateShader(kind);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    return s;
}

// Paints every covered pixel green; takes the three attributes at their fixed locations.
GLuint greenProgram() {
    const GLuint p = glCreateProgram();
    GLuint shaders[2] = {};
    glAttachShader(p, shaders[0] = compile(GL_VERTEX_SHADER, R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 3) in vec2 uv;
out float keep;
void main() { keep = normal.x + uv.x; gl_Position = vec4(position, 1.0); })"));
    glAttachShader(p, shaders[1] = compile(GL_FRAGMENT_SHADER, R"(#version 330 core
in float keep;
out vec4 colour;
void main() { colour = vec4(0.0, 1.0, 0.0, 1.0 + 0.0 * keep); })"));
    glLinkProgram(p);
    for (GLuint s : shaders) {
        glDetachShader(p, s);
        glDeleteShader(s);
    }
    return p;
}

// Triangles that reached the rasteriser in one draw of m.
GLuint trianglesDrawn(const modelo& m) {
    const GLuint program = greenProgram(); // deleted again: the driver's copies would leak
    glUseProgram(program);
    GLuint query = 0;
    glGenQueries(1, &query);
    GLuint count = 0;
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    m.draw(glm::mat4(1.0f), glm::mat4(1.0f), glm::mat4(1.0f));
    glEndQuery(GL_PRIMITIVES_GENERATED);
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &count);
    glDeleteQueries(1, &query);
    glUseProgram(0);
    glDeleteProgram(program);
    return count;
}

GLint attrib(GLuint index, GLenum what) {
    GLint v = -1;
    glGetVertexAttribiv(index, what, &v);
    return v;
}

} // namespace

TEST(Modelo, UploadsThreeBuffersOfTheMeshSize) {
    const modelo m = quietly(writeTemp("two_triangles.obj", kTwoTriangles));
    ASSERT_TRUE(m.loaded);
    ASSERT_EQ(m.vertices.size(), 6u);
    GLint vao = 0, array = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vao);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &array);
    EXPECT_EQ(GLuint(vao), m.vertex_array);    // left bound
    EXPECT_EQ(GLuint(array), m.normal_buffer); // the last upload
    EXPECT_EQ(bufferSize(m.vertex_buffer), 36 * 2);
    EXPECT_EQ(bufferSize(m.uv_buffer), 24 * 2);
    EXPECT_EQ(bufferSize(m.normal_buffer), 36 * 2);
    EXPECT_EQ(readBack<glm::vec3>(m.vertex_buffer, 6), m.vertices);
    EXPECT_EQ(readBack<glm::vec2>(m.uv_buffer, 6), m.uvs);
    EXPECT_EQ(readBack<glm::vec3>(m.normal_buffer, 6), m.normals);
    EXPECT_EQ(m.uvs[2], glm::vec2(0.0f, -1.0f));
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(Modelo, DrawsEveryTriangleThenDisablesItsAttributes) {
    const modelo m = quietly(writeTemp("two_triangles.obj", kTwoTriangles));
    glViewport(0, 0, 64, 64);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(trianglesDrawn(m), 2u);
    unsigned char px[4] = {};
    glReadPixels(32, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[1], 255);
    const GLuint expected[4][2] = {
        {m.vertex_buffer, 3}, {m.normal_buffer, 3}, {0, 0}, {m.uv_buffer, 2}};
    for (GLuint i : {0u, 1u, 3u}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(attrib(i, GL_VERTEX_ATTRIB_ARRAY_ENABLED), GL_FALSE);
        EXPECT_EQ(GLuint(attrib(i, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING)), expected[i][0]);
        EXPECT_EQ(GLuint(attrib(i, GL_VERTEX_ATTRIB_ARRAY_SIZE)), expected[i][1]);
        EXPECT_EQ(attrib(i, GL_VERTEX_ATTRIB_ARRAY_TYPE), GL_FLOAT);
        EXPECT_EQ(attrib(i, GL_VERTEX_ATTRIB_ARRAY_STRIDE), 0);
        EXPECT_EQ(attrib(i, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED), GL_FALSE);
    }
    EXPECT_EQ(attrib(2, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING), 0); // location 2 is unused
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(Modelo, MeshWithoutFacesDrawsNoTriangle) {
    const modelo m = quietly(writeTemp("no_faces.obj", "v 1 2 3\nvt 0 0\nvn 0 0 1\n"));
    EXPECT_TRUE(m.loaded);
    EXPECT_EQ(bufferSize(m.vertex_buffer), 0);
    EXPECT_EQ(bufferSize(m.uv_buffer), 0);
    EXPECT_EQ(bufferSize(m.normal_buffer), 0);
    EXPECT_EQ(trianglesDrawn(m), 0u);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(Modelo, UnreadableMeshHasEmptyBuffersAndDrawsNothing) {
    const modelo m = quietly(testing::TempDir() + "no_such_mesh.obj");
    EXPECT_FALSE(m.loaded);
    EXPECT_TRUE(m.vertices.empty() && m.uvs.empty() && m.normals.empty());
    EXPECT_NE(m.vertex_array, 0u);
    for (GLuint b : {m.vertex_buffer, m.uv_buffer, m.normal_buffer}) {
        EXPECT_TRUE(glIsBuffer(b));
        EXPECT_EQ(bufferSize(b), 0);
    }
    EXPECT_EQ(trianglesDrawn(m), 0u);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

// Copies share the GPU names; a copy going away deletes nothing, and any mesh draws through the
// vertex array of whichever mesh was constructed last.
TEST(Modelo, CopiesShareBuffersAndOutliveEachOther) {
    const std::string path = writeTemp("two_triangles.obj", kTwoTriangles);
    const modelo first = quietly(path);
    {
        const modelo copy = first;
        EXPECT_EQ(copy.vertex_buffer, first.vertex_buffer);
        EXPECT_EQ(copy.uv_buffer, first.uv_buffer);
        EXPECT_EQ(copy.normal_buffer, first.normal_buffer);
        EXPECT_EQ(copy.vertex_array, first.vertex_array);
        EXPECT_EQ(trianglesDrawn(copy), 2u);
    }
    const modelo later = quietly(writeTemp("one_triangle.obj", "v 0 0 0\nvt 0 0\nvn 0 0 1\n"
                                                               "f 1/1/1 1/1/1 1/1/1\n"));
    EXPECT_NE(later.vertex_array, first.vertex_array);
    EXPECT_TRUE(glIsBuffer(first.vertex_buffer));
    EXPECT_EQ(trianglesDrawn(first), 2u);
    EXPECT_EQ(trianglesDrawn(later), 1u);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}
