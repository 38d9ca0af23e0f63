// The bundled demo's GLSL programs and textures on the real driver.
#include "tests/gl/gl_context.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <gtest/gtest.h>

#include "formats/glsl_es.h"

namespace {

std::string demoFile(const std::string& name) {
    std::ifstream in(std::string(KESTRINE_DEMO_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Expects a shader compiled or a program linked, showing the driver's log otherwise.
template <typename Status, typename Log>
void expectBuilt(GLuint object, GLenum status, Status getStatus, Log getLog,
                 const std::string& name) {
    GLint ok = 0;
    getStatus(object, status, &ok);
    char log[2048] = {};
    getLog(object, sizeof log, nullptr, log);
    EXPECT_TRUE(ok) << name << ":\n" << log;
}

// `es`: as the web build hands the source to WebGL 2.
GLuint compile(GLenum type, const std::string& name, bool es = false) {
    const std::string text = es ? toGlslEs(demoFile(name)) : demoFile(name);
    const char* source = text.c_str();
    const GLuint s = glCreateShader(type);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    expectBuilt(s, GL_COMPILE_STATUS, glGetShaderiv, glGetShaderInfoLog, name);
    return s;
}

GLuint link(const std::string& fragment, bool es = false) {
    const GLuint p = glCreateProgram();
    const GLuint vs = compile(GL_VERTEX_SHADER, "shaders/lit.vert", es);
    const GLuint fs = compile(GL_FRAGMENT_SHADER, fragment, es);
    glAttachShader(p, vs);
    glAttachShader(p, fs);
    glLinkProgram(p);
    glDeleteShader(vs);
    glDeleteShader(fs);
    expectBuilt(p, GL_LINK_STATUS, glGetProgramiv, glGetProgramInfoLog, fragment);
    return p;
}

// Uploads every level of a DXT file as stored, and nothing else: no filters are set, as in
// the player, so only a file with the whole mip chain gives a texture that samples.
GLuint uploadDds(const std::string& name) {
    const std::string f = demoFile(name);
    EXPECT_GE(f.size(), 128u);
    if (f.size() < 128) return 0;
    std::uint32_t h = 0, w = 0, mips = 0;
    std::memcpy(&h, f.data() + 12, 4);
    std::memcpy(&w, f.data() + 16, 4);
    std::memcpy(&mips, f.data() + 28, 4);
    const std::string code = f.substr(84, 4);
    const GLenum format = code == "DXT1"   ? GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
                          : code == "DXT3" ? GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
                                           : GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
    const std::size_t block = code == "DXT1" ? 8 : 16;
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_2D, t);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    std::size_t offset = 128;
    for (GLint level = 0; level < GLint(mips); ++level) {
        const std::size_t size = ((w + 3) / 4) * ((h + 3) / 4) * block;
        if (offset + size > f.size()) break;
        glCompressedTexImage2D(GL_TEXTURE_2D, level, format, GLsizei(w), GLsizei(h), 0,
                               GLsizei(size), f.data() + offset);
        offset += size;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    return t;
}

// Draws a quad filling the middle of the window, facing the eye at (0, 0, 3), lit from the
// side so that no highlight hides a black texture, and returns the pixel at its centre.
glm::vec3 drawQuad(GLuint program, GLuint texture, glm::vec3 colour) {
    // position, normal, uv per corner, at the locations 0, 1 and 3 the player's meshes use
    const float corners[4][8] = {
        {-1, -1, 0, 0, 0, 1, 0, 0},
        {1, -1, 0, 0, 0, 1, 1, 0},
        {1, 1, 0, 0, 0, 1, 1, -1},
        {-1, 1, 0, 0, 0, 1, 0, -1},
    };
    GLuint vao = 0, vbo = 0;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    const GLsizei stride = 8 * sizeof(float);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(3 * sizeof(float)));
    glEnableVertexAttribArray(3);
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(6 * sizeof(float)));

    glUseProgram(program);
    const glm::mat4 model = glm::mat4(1.0f);
    const glm::mat4 view = glm::lookAt(glm::vec3(0, 0, 3), glm::vec3(0), glm::vec3(0, 1, 0));
    const glm::mat4 projection = glm::perspective(glm::radians(45.0f), 1.0f, 0.1f, 100.0f);
    glUniformMatrix4fv(glGetUniformLocation(program, "model"), 1, GL_FALSE, glm::value_ptr(model));
    glUniformMatrix4fv(glGetUniformLocation(program, "view"), 1, GL_FALSE, glm::value_ptr(view));
    glUniformMatrix4fv(glGetUniformLocation(program, "projection"), 1, GL_FALSE,
                       glm::value_ptr(projection));
    glUniform3f(glGetUniformLocation(program, "objectColor"), colour.r, colour.g, colour.b);
    glUniform3f(glGetUniformLocation(program, "lightColor"), 1, 1, 1);
    glUniform3f(glGetUniformLocation(program, "lightPos"), 3, 0, 0.5f);
    glUniform3f(glGetUniformLocation(program, "viewPos"), 0, 0, 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);

    glViewport(0, 0, 64, 64);
    glDisable(GL_DEPTH_TEST); // other tests in this program may have left it on
    glClearColor(1, 0, 1, 1); // magenta: not a colour the quad can take
    glClear(GL_COLOR_BUFFER_BIT);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    unsigned char px[4] = {};
    glReadPixels(32, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);

    glDeleteBuffers(1, &vbo);
    glDeleteVertexArrays(1, &vao);
    return glm::vec3(px[0], px[1], px[2]);
}

TEST(DemoShaders, EveryProgramLinksWithTheInputsAndUniformsThePlayerSets) {
    for (const char* fragment : {"shaders/textured.frag", "shaders/plain.frag"}) {
        SCOPED_TRACE(fragment);
        const bool textured = std::string(fragment) == "shaders/textured.frag";
        const GLuint p = link(fragment);
        EXPECT_EQ(glGetAttribLocation(p, "position"), 0);
        EXPECT_EQ(glGetAttribLocation(p, "normal"), 1);
        // The plain program has no use for texture coordinates, so the driver may drop them.
        const GLint uv = glGetAttribLocation(p, "uv");
        EXPECT_TRUE(uv == 3 || (!textured && uv == -1)) << uv;
        for (const char* u :
             {"model", "view", "projection", "objectColor", "lightColor", "lightPos", "viewPos"}) {
            SCOPED_TRACE(u);
            EXPECT_NE(glGetUniformLocation(p, u), -1);
        }
        // Only the textured program samples: the plain one is drawn with texture 0 bound.
        EXPECT_EQ(glGetUniformLocation(p, "myTextureSampler") != -1, textured);
        glDeleteProgram(p);
    }
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(DemoShaders, EveryDemoTextureSamplesLitThroughTheTexturedProgram) {
    const GLuint p = link("shaders/textured.frag");
    // Control: with no texture the program samples black, so a black pixel below means a
    // texture the driver finds incomplete.
    const glm::vec3 none = drawQuad(p, 0, glm::vec3(1));
    EXPECT_LT(none.r + none.g + none.b, 6.0f);
    for (const char* name : {"textures/ground.dds", "textures/tiles.dds", "textures/stone.dds",
                             "textures/planet.dds"}) {
        SCOPED_TRACE(name);
        const GLuint t = uploadDds(name);
        const glm::vec3 px = drawQuad(p, t, glm::vec3(1));
        EXPECT_GT(px.r + px.g + px.b, 30.0f);
        EXPECT_FALSE(px.r == 255 && px.g == 0 && px.b == 255) << "the quad was not drawn";
        // Tinting by objectColor: red only keeps only the red.
        const glm::vec3 red = drawQuad(p, t, glm::vec3(1, 0, 0));
        EXPECT_NEAR(red.r, px.r, 2.0f);
        EXPECT_LT(red.g + red.b, 4.0f);
        glDeleteTextures(1, &t);
    }
    glDeleteProgram(p);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(DemoShaders, PlainProgramShowsItsColourWithTextureZeroBound) {
    const GLuint p = link("shaders/plain.frag");
    const glm::vec3 px = drawQuad(p, 0, glm::vec3(1.0f, 0.5f, 0.25f));
    EXPECT_GT(px.r, 40.0f);
    EXPECT_GT(px.r, px.g);
    EXPECT_GT(px.g, px.b);
    glDeleteProgram(p);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

} // namespace

// The driver takes GLSL ES 3.00 too, so the web build's translation is checked here: the demo's
// programs build, and an error is reported at its line in the file.
TEST(DemoShaders, BuildAsGlslEsWithTheFilesLineNumbers) {
    for (const char* fragment : {"shaders/textured.frag", "shaders/plain.frag"})
        glDeleteProgram(link(fragment, true));

    std::ifstream in(std::string(KESTRINE_TEST_DATA) + "/shaders/broken.frag");
    const std::string es = toGlslEs(std::string(std::istreambuf_iterator<char>(in), {}));
    const char* source = es.c_str();
    const GLuint s = glCreateShader(GL_FRAGMENT_SHADER);
    glShaderSource(s, 1, &source, nullptr);
    glCompileShader(s);
    GLint ok = 1;
    glGetShaderiv(s, GL_COMPILE_STATUS, &ok);
    char log[2048] = {};
    glGetShaderInfoLog(s, sizeof log, nullptr, log);
    glDeleteShader(s);
    EXPECT_FALSE(ok);
    EXPECT_NE(std::string(log).find("0:5("), std::string::npos) << log; // the closing brace
}
