#pragma once
#include <cstdint>
#include <vector>

#include "tools/png.h"

// The mean of frames drawn larger and more often than they are written: each drawn image,
// `factor` times the frame's width and height, adds its factor x factor boxes of pixels to the
// frame's pixel under them, in 32-bit integers; the mean is rounded once, half up, to 8 or 16
// bits. Exact, so a frame comes out the same whatever was drawn before it.
class frame_sum {
public:
    frame_sum(int width, int height, int factor);
    // Adds an image of factor * width by factor * height, 3 bytes per pixel, top row first.
    void add(const std::vector<unsigned char>& drawn);
    // Images added since the last clear.
    int images() const { return added; }
    // The mean of the images added, in `depth` bits per channel (8, or 16 big-endian as PNG
    // holds them): sum / n, or sum * 257 / n for 16 bits, rounded half up.
    void mean(rgb_image& out, int depth) const;
    void clear();

private:
    int width, height, factor;
    int added = 0;
    std::vector<std::uint32_t> sums; // 3 per pixel of the frame
};
