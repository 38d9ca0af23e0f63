// Frames averaged from larger and more frequent drawings: see frame_sum.h.
#include "tools/frame_sum.h"

#include <algorithm>

frame_sum::frame_sum(int width, int height, int factor)
    : width(width), height(height), factor(factor), sums(std::size_t(width) * height * 3, 0) {}

void frame_sum::add(const std::vector<unsigned char>& drawn) {
    const std::size_t row = std::size_t(width) * 3, drawn_row = row * std::size_t(factor);
    for (int y = 0; y < height * factor; ++y) {
        std::uint32_t* out = sums.data() + std::size_t(y / factor) * row;
        const unsigned char* in = drawn.data() + std::size_t(y) * drawn_row;
        for (std::size_t x = 0; x < row; x += 3)
            for (int i = 0; i < factor; ++i, in += 3) {
                out[x] += in[0];
                out[x + 1] += in[1];
                out[x + 2] += in[2];
            }
    }
    ++added;
}

void frame_sum::mean(rgb_image& out, int depth) const {
    out.width = width;
    out.height = height;
    out.depth = depth;
    out.pixels.resize(sums.size() * std::size_t(depth / 8));
    const std::uint32_t n = std::uint32_t(std::max(1, added * factor * factor));
    // At most 255 * 64 * 16 * 257 before the division: well within 32 bits.
    const std::uint32_t scale = depth == 16 ? 257 : 1;
    for (std::size_t i = 0; i < sums.size(); ++i) {
        const std::uint32_t v = (sums[i] * scale + n / 2) / n;
        if (depth == 16) {
            out.pixels[2 * i] = static_cast<unsigned char>(v >> 8);
            out.pixels[2 * i + 1] = static_cast<unsigned char>(v & 0xff);
        } else {
            out.pixels[i] = static_cast<unsigned char>(v);
        }
    }
}

void frame_sum::clear() {
    std::fill(sums.begin(), sums.end(), 0u);
    added = 0;
}
