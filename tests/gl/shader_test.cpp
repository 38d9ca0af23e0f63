// Shader programs on a real context: linking, uniform look-ups, and the printed trace.
#include "gpu/shader.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "tests/gl/gl_context.h"
#include "tests/test_data.h"

namespace {

std::string shaderPath(const char* name) {
    return testdata::path(std::string("shaders/") + name);
}

std::string stopCapture() {
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

GLint linkStatus(GLuint program) {
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    return linked;
}

} // namespace

TEST(Shader, LinksValidSourcesAndLooksUpTheMatrices) {
    const std::string vert = shaderPath("basic.vert"), frag = shaderPath("basic.frag");
    testing::internal::CaptureStdout();
    const shader s(vert, frag);
    const std::string out = stopCapture();

    ASSERT_NE(s.program_id, 0u);
    EXPECT_EQ(linkStatus(s.program_id), GL_TRUE);
    EXPECT_EQ(s.number, 0);
    EXPECT_GE(s.model_location, 0);
    EXPECT_GE(s.view_location, 0);
    EXPECT_GE(s.projection_location, 0);
    EXPECT_GE(s.sampler_location, 0);
    EXPECT_EQ(s.mvp_location, -1); // the sources need not declare it
    EXPECT_EQ(s.model_location, glGetUniformLocation(s.program_id, "model"));
    EXPECT_EQ(s.projection_location, glGetUniformLocation(s.program_id, "projection"));
    // Clean compiles and links: the driver writes no log, so only the three lines show.
    EXPECT_EQ(out, "Compiling shader : " + vert + "\nCompiling shader : " + frag +
                       "\nLinking program\n");
    // The shader objects are detached and deleted once linked.
    GLint attached = -1;
    glGetProgramiv(s.program_id, GL_ATTACHED_SHADERS, &attached);
    EXPECT_EQ(attached, 0);

    testing::internal::CaptureStdout();
    const shader numbered(7, vert, frag);
    stopCapture();
    EXPECT_EQ(numbered.number, 7);
    EXPECT_NE(numbered.program_id, s.program_id);
    EXPECT_EQ(numbered.view_location, glGetUniformLocation(numbered.program_id, "view"));
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(Shader, PrintsEachDriverLogAfterItsStep) {
    const std::string vert = shaderPath("basic.vert"), frag = shaderPath("broken.frag");
    testing::internal::CaptureStdout();
    const GLuint program = LoadShaders(vert.c_str(), frag.c_str());
    const std::string out = stopCapture();

    EXPECT_NE(program, 0u); // failures show only in the logs
    EXPECT_EQ(linkStatus(program), GL_FALSE);
    const std::string vertex_line = "Compiling shader : " + vert + "\n";
    const std::string fragment_line = "Compiling shader : " + frag + "\n";
    const std::string link_line = "Linking program\n";
    ASSERT_EQ(out.rfind(vertex_line + fragment_line, 0), 0u) << out;
    const std::size_t link_at = out.find(link_line);
    ASSERT_NE(link_at, std::string::npos) << out;
    const std::size_t compile_log = vertex_line.size() + fragment_line.size();
    EXPECT_GT(link_at, compile_log) << "the fragment compile log comes before the link line";
    EXPECT_GT(out.size(), link_at + link_line.size()) << "the link log follows the link line";
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(Shader, MissingVertexFileGivesZeroAndLeavesNothingBehind) {
    // Names come in order: the next two would be this call's shader objects.
    const GLuint probe = glCreateShader(GL_VERTEX_SHADER);
    const char* missing = "no/such/folder/missing.vert";
    const std::string frag = shaderPath("basic.frag");
    testing::internal::CaptureStdout();
    const shader s(missing, frag); // stdin is empty: the wait ends at once
    const std::string out = stopCapture();

    EXPECT_EQ(out, "Impossible to open no/such/folder/missing.vert. Are you in the right directory "
                   "? Don't forget to read the FAQ !\n");
    EXPECT_EQ(s.program_id, 0u);
    for (GLint location : {s.mvp_location, s.model_location, s.view_location, s.projection_location,
                           s.sampler_location})
        EXPECT_EQ(location, -1);
    EXPECT_FALSE(glIsShader(probe + 1));
    EXPECT_FALSE(glIsShader(probe + 2));
    glDeleteShader(probe);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(Shader, MissingFragmentOrEmptyVertexFileStillGivesAProgram) {
    struct Case {
        std::string vert, frag;
    };
    const Case cases[] = {
        {shaderPath("basic.vert"), shaderPath("missing.frag")},
        {shaderPath("empty.vert"), shaderPath("basic.frag")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vert + " " + c.frag);
        testing::internal::CaptureStdout();
        const GLuint program = LoadShaders(c.vert.c_str(), c.frag.c_str());
        const std::string out = stopCapture();
        EXPECT_NE(program, 0u);
        EXPECT_TRUE(glIsProgram(program));
        EXPECT_EQ(out.rfind("Compiling shader : " + c.vert + "\n", 0), 0u) << out;
        EXPECT_NE(out.find("Compiling shader : " + c.frag + "\n"), std::string::npos) << out;
        EXPECT_NE(out.find("Linking program\n"), std::string::npos) << out;
        EXPECT_EQ(out.find("Impossible to open"), std::string::npos) << out;
        EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
    }
}
