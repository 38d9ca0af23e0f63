// One pixel's depth read back: see depth_probe.h.
#include "gpu/depth_probe.h"

depth_probe::~depth_probe() {
    if (framebuffer != 0) glDeleteFramebuffers(1, &framebuffer);
    if (depth != 0) glDeleteRenderbuffers(1, &depth);
}

std::optional<float> depth_probe::at(int x, int y) {
    GLint drawing = 0, reading = 0, renderbuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawing);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &reading);
    while (glGetError() != GL_NO_ERROR) {
    } // only this read's errors count below
    if (framebuffer == 0) {
        glGetIntegerv(GL_RENDERBUFFER_BINDING, &renderbuffer);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        // The format of the frame's depth: a blit of depth needs the same on both sides.
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, 1, 1);
        glBindRenderbuffer(GL_RENDERBUFFER, GLuint(renderbuffer));
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
        glDrawBuffer(GL_NONE);
        glReadBuffer(GL_NONE);
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    // A multisampled depth resolves to one of its samples: a depth of the scene there.
    glBlitFramebuffer(x, y, x + 1, y + 1, 0, 0, 1, 1, GL_DEPTH_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    float value = 1.0f;
    glReadPixels(0, 0, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &value);
    const bool read = glGetError() == GL_NO_ERROR;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(reading));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawing));
    if (!read) return std::nullopt;
    return value;
}
