#pragma once
#include <optional>

#include <GL/glew.h>

// The depth of one pixel of the framebuffer bound for reading, multisampled or not (an
// offscreen frame's, as drawn, which stays bound for reading while the picture is drawn over): resolved into a one-pixel framebuffer of its own and read back.
// The bindings are left as they were. Needs a current 3.3 context.
class depth_probe {
public:
    depth_probe() = default;
    ~depth_probe();
    depth_probe(const depth_probe&) = delete;
    depth_probe& operator=(const depth_probe&) = delete;

    // The window-space depth (0 near, 1 far) at pixel x, y from the bottom left of a framebuffer
    // whose depth is GL_DEPTH_COMPONENT24; none when the driver cannot hand it over.
    std::optional<float> at(int x, int y);

private:
    GLuint framebuffer = 0, depth = 0; // made on the first use
};
