// Contexts for the tools: see context.h.
#include "platform/context.h"

#include <cstdlib>

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include "platform/window.h"

namespace {

bool openEglContext(std::string& why) {
    // No window system at all: Mesa's surfaceless platform, on llvmpipe when there is no GPU.
    const EGLDisplay display =
        eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        why = "no EGL display without a window system";
        return false;
    }
    // Without a window system there are no window configurations, the default asked for.
    // clang-format off
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                                       EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_RED_SIZE, 8,
                                       EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_NONE};
    // clang-format on
    EGLConfig config = nullptr;
    EGLint configs = 0;
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                        // Core and forward-compatible, as the windows' contexts.
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                        EGL_CONTEXT_OPENGL_FORWARD_COMPATIBLE, EGL_TRUE, EGL_NONE};
    if (!eglBindAPI(EGL_OPENGL_API) ||
        !eglChooseConfig(display, configAttributes, &config, 1, &configs) || configs < 1) {
        why = "no EGL configuration for desktop OpenGL";
        return false;
    }
    const EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    // The tools draw into framebuffers of their own: the context needs no surface.
    if (context == EGL_NO_CONTEXT ||
        !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        why = "no OpenGL 3.3 core context through EGL";
        return false;
    }
    // Entry points through GLEW. Debian's GLEW is built for GLX: glewInit loads the GL
    // functions first (through libglvnd's dispatch, which serves whatever made the context),
    // then looks for a GLX display, which an EGL context does not have, and says so. That last
    // answer is no failure here.
    glewExperimental = GL_TRUE;
    const GLenum loaded = glewInit();
    if (loaded == GLEW_OK || loaded == GLEW_ERROR_NO_GLX_DISPLAY) return true;
    why = "cannot load the OpenGL entry points";
    return false;
}

} // namespace

bool openHiddenContext(const char* title, std::string& why, int width, int height) {
    window_failure failure;
    if (openWindow({window_kind::hidden, width, height, title, 0}, failure)) return true;
    why = describe(failure);
    if (failure != window_failure::library) glfwTerminate();
    return false;
}

bool parseGlSource(const std::string& text, gl_source& out) {
    if (text != "x11" && text != "egl") return false;
    out = text == "x11" ? gl_source::x11 : gl_source::egl;
    return true;
}

bool openToolContext(gl_source source, const char* title, std::string& why) {
    const char* display = std::getenv("DISPLAY");
    if (source == gl_source::automatic)
        source = display && *display ? gl_source::x11 : gl_source::egl;
    return source == gl_source::x11 ? openHiddenContext(title, why) : openEglContext(why);
}
