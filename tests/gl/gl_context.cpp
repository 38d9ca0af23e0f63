// The shared GL test context: see gl_context.h.
#include "tests/gl/gl_context.h"

#include <cstdio>

#include <dlfcn.h>
#include <link.h>

#include <gtest/gtest.h>

namespace {

GLFWwindow* g_window = nullptr;

// glfwTerminate unloads the GL libraries, and the driver's leaks would then come from an
// unknown module that tests/lsan.supp cannot name: keep every library loaded until exit.
void pinLoadedLibraries() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void*) {
            if (info->dlpi_name && info->dlpi_name[0] != '\0')
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

class GlContext : public ::testing::Environment {
public:
    void SetUp() override {
        glfwSetErrorCallback(
            [](int code, const char* text) { std::fprintf(stderr, "GLFW %d: %s\n", code, text); });
        ASSERT_TRUE(glfwInit()) << "no display? run under xvfb-run -a";
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
        glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
        g_window = glfwCreateWindow(64, 64, "kestrine tests", nullptr, nullptr);
        ASSERT_NE(g_window, nullptr);
        glfwMakeContextCurrent(g_window);
        glewExperimental = GL_TRUE;
        ASSERT_EQ(glewInit(), GLEW_OK);
        // GLEW's probing of a core context leaves GL_INVALID_ENUM behind.
        gltest::drainErrors();
        pinLoadedLibraries();
    }
    void TearDown() override {
        if (g_window) glfwDestroyWindow(g_window);
        g_window = nullptr;
        // No glfwTerminate: it would unload the GL driver before the leak checker reports at
        // exit, leaving the driver's own allocations with no module name to suppress them by.
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
