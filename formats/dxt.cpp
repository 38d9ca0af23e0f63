// DXT block decoding: see dxt.h.
#include "formats/dxt.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::uint32_t kDxt1 = 0x83F1, kDxt3 = 0x83F2, kDxt5 = 0x83F3;

using block_pixels = std::array<std::array<unsigned char, 4>, 16>; // RGBA, row by row

std::array<unsigned char, 4> expand565(unsigned c) {
    const unsigned r = c >> 11 & 31, g = c >> 5 & 63, b = c & 31;
    return {static_cast<unsigned char>(r << 3 | r >> 2),
            static_cast<unsigned char>(g << 2 | g >> 4),
            static_cast<unsigned char>(b << 3 | b >> 2), 255};
}

// The colour half of a block (8 bytes); DXT3 and DXT5 always use four colours.
void decodeColours(const unsigned char* b, bool dxt1, block_pixels& out) {
    const unsigned c0 = b[0] | b[1] << 8, c1 = b[2] | b[3] << 8;
    std::array<std::array<unsigned char, 4>, 4> palette{expand565(c0), expand565(c1)};
    const bool four = !dxt1 || c0 > c1;
    for (int ch = 0; ch < 3; ++ch) {
        const unsigned a = palette[0][ch], z = palette[1][ch];
        palette[2][ch] = static_cast<unsigned char>(four ? (2 * a + z) / 3 : (a + z) / 2);
        palette[3][ch] = static_cast<unsigned char>(four ? (a + 2 * z) / 3 : 0);
    }
    palette[2][3] = 255;
    palette[3][3] = four ? 255 : 0;
    const std::uint32_t codes = b[4] | b[5] << 8 | b[6] << 16 | std::uint32_t(b[7]) << 24;
    for (int i = 0; i < 16; ++i)
        out[i] = palette[codes >> (2 * i) & 3];
}

// DXT3: sixteen explicit 4-bit alphas.
void decodeAlpha4(const unsigned char* b, block_pixels& out) {
    for (int i = 0; i < 16; ++i) {
        const unsigned nibble = b[i / 2] >> (4 * (i % 2)) & 15;
        out[i][3] = static_cast<unsigned char>(nibble * 17);
    }
}

// DXT5: two end points and 3-bit codes; eight steps when the first is above the second, else
// six with 0 and 255 besides. The steps between are weighed in 256ths, as Mesa's llvmpipe does,
// so that alpha matches the desktop reference exactly rather than within a level.
void decodeAlpha8(const unsigned char* b, block_pixels& out) {
    const int a0 = b[0], a1 = b[1];
    const int steps = a0 > a1 ? 7 : 5;
    std::array<int, 8> ramp{a0, a1, 0, 0, 0, 0, 0, 255};
    for (int code = 2; code < (a0 > a1 ? 8 : 6); ++code) {
        const int weight = (256 * 64 / steps) * (code - 1) >> 6;
        // Floor division: the difference may be negative.
        const int d = (a1 - a0) * weight;
        ramp[code] = a0 + (d >= 0 ? d / 256 : -((-d + 255) / 256));
    }
    std::uint64_t codes = 0;
    for (int i = 0; i < 6; ++i)
        codes |= std::uint64_t(b[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i)
        out[i][3] = static_cast<unsigned char>(ramp[codes >> (3 * i) & 7]);
}

} // namespace

std::vector<unsigned char> decodeDxt(const unsigned char* blocks, std::uint32_t width,
                                     std::uint32_t height, std::uint32_t gl_format) {
    if (gl_format != kDxt1 && gl_format != kDxt3 && gl_format != kDxt5) return {};
    const std::size_t block_size = gl_format == kDxt1 ? 8 : 16;
    const std::size_t across = (std::size_t(width) + 3) / 4;
    std::vector<unsigned char> rgba(std::size_t(width) * height * 4);
    block_pixels px;
    for (std::size_t by = 0; by * 4 < height; ++by) {
        for (std::size_t bx = 0; bx < across; ++bx) {
            const unsigned char* b = blocks + (by * across + bx) * block_size;
            decodeColours(b + block_size - 8, gl_format == kDxt1, px);
            if (gl_format == kDxt3) decodeAlpha4(b, px);
            if (gl_format == kDxt5) decodeAlpha8(b, px);
            const std::size_t rows = std::min<std::size_t>(4, height - by * 4);
            const std::size_t cols = std::min<std::size_t>(4, width - bx * 4);
            for (std::size_t y = 0; y < rows; ++y)
                std::copy_n(px[y * 4].data(), cols * 4,
                            rgba.data() + ((by * 4 + y) * width + bx * 4) * 4);
        }
    }
    return rgba;
}

std::uint64_t ddsDecodedBytes(const dds_image& img) {
    std::uint64_t bytes = 0;
    for (const dds_level& l : img.levels)
        bytes += std::uint64_t(l.width) * l.height * 4;
    return bytes;
}
