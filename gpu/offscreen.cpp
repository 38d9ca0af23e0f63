// Offscreen framebuffers: see offscreen.h.
#include "gpu/offscreen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// A renderbuffer attached to the bound framebuffer.
GLuint attach(GLenum attachment, int samples, GLenum format, int width, int height) {
    GLuint rb = 0;
    glGenRenderbuffers(1, &rb);
    glBindRenderbuffer(GL_RENDERBUFFER, rb);
    if (samples > 0)
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, width, height);
    else
        glRenderbufferStorage(GL_RENDERBUFFER, format, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, rb);
    return rb;
}

} // namespace

picture_box fittedFrame(int frameWidth, int frameHeight, int boxWidth, int boxHeight) {
    if (frameWidth <= 0 || frameHeight <= 0 || boxWidth <= 0 || boxHeight <= 0) return {};
    // Whole pixels, rounded, so that a box of the frame's own aspect is filled exactly.
    const double scale = std::min(double(boxWidth) / frameWidth, double(boxHeight) / frameHeight);
    const int w = std::clamp(int(std::lround(frameWidth * scale)), 1, boxWidth);
    const int h = std::clamp(int(std::lround(frameHeight * scale)), 1, boxHeight);
    return {(boxWidth - w) / 2, (boxHeight - h) / 2, w, h};
}

offscreen::offscreen(int width, int height, int samples) : width(width), height(height) {
    GLint largest = 0, most_samples = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    glGetIntegerv(GL_MAX_SAMPLES, &most_samples);
    if (width <= 0 || height <= 0 || width > largest || height > largest) {
        why = "a frame of " + std::to_string(width) + "x" + std::to_string(height) +
              " is beyond the driver's " + std::to_string(largest) + "x" + std::to_string(largest);
        return;
    }
    if (samples > most_samples) samples = most_samples;

    glGenFramebuffers(1, &read_fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, read_fbo);
    renderbuffers[2] = attach(GL_COLOR_ATTACHMENT0, 0, GL_RGBA8, width, height);
    draw_fbo = read_fbo;
    if (samples > 0) {
        glGenFramebuffers(1, &draw_fbo);
        glBindFramebuffer(GL_FRAMEBUFFER, draw_fbo);
        renderbuffers[0] = attach(GL_COLOR_ATTACHMENT0, samples, GL_RGBA8, width, height);
    }
    renderbuffers[1] = attach(GL_DEPTH_ATTACHMENT, samples, GL_DEPTH_COMPONENT24, width, height);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        why = "the driver cannot draw into a framebuffer of this size";
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
}

offscreen::~offscreen() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (draw_fbo != read_fbo) glDeleteFramebuffers(1, &draw_fbo);
    glDeleteFramebuffers(1, &read_fbo);
    glDeleteRenderbuffers(3, renderbuffers);
    if (pixel_buffers[0] != 0) glDeleteBuffers(2, pixel_buffers);
}

void offscreen::bind() const {
    glBindFramebuffer(GL_FRAMEBUFFER, draw_fbo);
    glViewport(0, 0, width, height);
    drawn_over = false;
}

void offscreen::bindPicture() const {
    resolve();
    drawn_over = true;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, read_fbo);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, draw_fbo);
    glViewport(0, 0, width, height);
}

void offscreen::resolve() const {
    if (draw_fbo == read_fbo || drawn_over) return;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, draw_fbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, read_fbo);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

void offscreen::present(int covered) const {
    const int rows = std::clamp(height - covered, 0, height);
    if (rows == height) {
        resolve();
        glBindFramebuffer(GL_READ_FRAMEBUFFER, read_fbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        return;
    }
    // The frame is drawn at the window's size, as the capture draws it, and only shown smaller.
    const picture_box box = fittedFrame(width, height, width, rows);
    resolve();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, read_fbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    GLfloat before[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, before);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(before[0], before[1], before[2], before[3]);
    // GL counts rows from the bottom; the box's y from the top.
    const int bottom = height - box.y - box.height;
    if (box.width > 0 && box.height > 0)
        glBlitFramebuffer(0, 0, width, height, box.x, bottom, box.x + box.width,
                          bottom + box.height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void offscreen::startRead(int slot) const {
    const auto size = GLsizeiptr(width) * height * 3;
    if (pixel_buffers[0] == 0) {
        glGenBuffers(2, pixel_buffers);
        for (GLuint b : pixel_buffers) {
            glBindBuffer(GL_PIXEL_PACK_BUFFER, b);
            glBufferData(GL_PIXEL_PACK_BUFFER, size, nullptr, GL_STREAM_READ);
        }
    }
    resolve();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, read_fbo);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, pixel_buffers[slot]);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, draw_fbo);
}

bool offscreen::finishRead(int slot, std::vector<unsigned char>& out, std::string& why) const {
    const std::size_t row = std::size_t(width) * 3;
    out.resize(row * std::size_t(height));
    glBindBuffer(GL_PIXEL_PACK_BUFFER, pixel_buffers[slot]);
    const auto* rows = static_cast<const unsigned char*>(
        glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, GLsizeiptr(out.size()), GL_MAP_READ_BIT));
    if (!rows) {
        // Nothing is mapped, so nothing is unmapped; the driver's error goes into the reason.
        const GLenum error = glGetError();
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        char code[16];
        std::snprintf(code, sizeof code, "0x%04x", error);
        why = "the driver cannot map the pixel buffer of a frame of " + std::to_string(width) +
              "x" + std::to_string(height) + " (GL error " + code + ")";
        return false;
    }
    // GL's rows run bottom up; images run top down.
    for (int y = 0; y < height; ++y)
        std::memcpy(out.data() + std::size_t(y) * row, rows + std::size_t(height - 1 - y) * row,
                    row);
    const bool kept = glUnmapBuffer(GL_PIXEL_PACK_BUFFER) == GL_TRUE;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (!kept) why = "the driver lost the pixel buffer of a frame while it was read";
    return kept;
}

bool offscreen::readRgb(std::vector<unsigned char>& out, std::string& why) const {
    startRead(0);
    return finishRead(0, out, why);
}
