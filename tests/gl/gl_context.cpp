// The shared GL test context: see gl_context.h.
#include "tests/gl/gl_context.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "platform/context.h"

namespace {

GLFWwindow* g_window = nullptr;

class GlContext : public ::testing::Environment {
public:
    void SetUp() override {
        glfwSetErrorCallback(
            [](int code, const char* text) { std::fprintf(stderr, "GLFW %d: %s\n", code, text); });
        std::string why;
        ASSERT_TRUE(openHiddenContext("kestrine tests", why)) << why;
        g_window = glfwGetCurrentContext();
        // GLEW's probing of a core context leaves GL_INVALID_ENUM behind.
        gltest::drainErrors();
    }
    void TearDown() override {
        glfwTerminate();
        g_window = nullptr;
    }
};

} // namespace

namespace gltest {

GLFWwindow* window() {
    return g_window;
}

GLenum drainErrors() {
    GLenum first = GL_NO_ERROR;
    for (GLenum e = glGetError(); e != GL_NO_ERROR; e = glGetError())
        if (first == GL_NO_ERROR) first = e;
    return first;
}

} // namespace gltest

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new GlContext);
    return RUN_ALL_TESTS();
}
