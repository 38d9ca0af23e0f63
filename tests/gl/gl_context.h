#pragma once
#include <GL/glew.h>
#include <GLFW/glfw3.h>

// One hidden window with an OpenGL 3.3 core context for the whole test program. GL test
// programs link gl_context.cpp, which also provides main().
namespace gltest {

GLFWwindow* window();

// The first pending GL error, or GL_NO_ERROR; drains the error queue.
GLenum drainErrors();

} // namespace gltest
