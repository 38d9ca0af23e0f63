#pragma once
#include <string>
#include <vector>

#include <GL/glew.h>

// Samples per pixel of the frames that the capture writes and the preview shows: one value,
// so that both give the same picture.
constexpr int kFrameSamples = 4;

// Where a frame of frameWidth x frameHeight stands when scaled to fit a box of boxWidth x
// boxHeight at the box's top left, its aspect kept and centred: pixels from the left and from the
// top, and its size. Empty when either has no pixels.
struct picture_box {
    int x = 0, y = 0, width = 0, height = 0;
};
picture_box fittedFrame(int frameWidth, int frameHeight, int boxWidth, int boxHeight);

// An offscreen framebuffer of a chosen size, colour and depth, multisampled where the driver
// allows, read back as 8-bit RGB rows.
class offscreen {
public:
    // Needs a current 3.3 context. `samples` of 0 draws without multisampling.
    offscreen(int width, int height, int samples);
    ~offscreen();
    offscreen(const offscreen&) = delete;
    offscreen& operator=(const offscreen&) = delete;

    // Empty when the framebuffer is usable, else why not.
    const std::string& problem() const { return why; }
    // Makes it the draw target, with a viewport of its whole size.
    void bind() const;
    // Makes the single-sampled picture of the frame drawn the draw target: what is drawn over
    // the picture there costs one sample a pixel, and is shown and read with it. Reads (of the
    // depth under a pointer) still come from the frame as drawn.
    void bindPicture() const;
    // Shows the last frame drawn in the window's single-sampled framebuffer, a window of the
    // frame's size: whole and pixel for pixel, or with the bottom `covered` rows taken by
    // something drawn there, scaled to fit the rows above with its aspect kept and black
    // beside it (fittedFrame gives where).
    void present(int covered = 0) const;
    // The last frame drawn, 3 bytes per pixel, top row first. False with the reason when the
    // driver cannot hand it over.
    bool readRgb(std::vector<unsigned char>& out, std::string& why) const;
    // Reading back without waiting: startRead copies the last frame drawn into pixel buffer
    // `slot` (0 or 1) and returns; finishRead hands over what that slot holds, as readRgb does,
    // waiting only if the copy has not finished. A frame read this way can be taken while the
    // next one draws.
    void startRead(int slot) const;
    bool finishRead(int slot, std::vector<unsigned char>& out, std::string& why) const;

    int frameWidth() const { return width; }
    int frameHeight() const { return height; }

private:
    void resolve() const;

    int width = 0;
    int height = 0;
    GLuint draw_fbo = 0; // multisampled when samples > 0, else the same as read_fbo
    GLuint read_fbo = 0;
    // Set by bindPicture, until the next bind: read_fbo holds the frame and what was drawn
    // over it, which another resolve would lose.
    mutable bool drawn_over = false;
    GLuint renderbuffers[3] = {0, 0, 0};      // colour and depth to draw, colour to read
    mutable GLuint pixel_buffers[2] = {0, 0}; // made on the first startRead
    std::string why;
};
