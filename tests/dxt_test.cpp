// DXT decoding on the blocks where the formats' modes meet: DXT1's three colours with
// transparent black, DXT3's 4-bit alpha, DXT5's six- and eight-step alpha; and cropping.
#include "formats/dxt.h"

#include <array>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t kDxt1 = 0x83F1, kDxt3 = 0x83F2, kDxt5 = 0x83F3;
using rgba = std::array<int, 4>;

// A colour block: two 5:6:5 end points, then pixel i's 2-bit code.
std::vector<unsigned char> colours(unsigned c0, unsigned c1, const std::array<int, 16>& codes) {
    std::vector<unsigned char> b{static_cast<unsigned char>(c0),
                                 static_cast<unsigned char>(c0 >> 8),
                                 static_cast<unsigned char>(c1),
                                 static_cast<unsigned char>(c1 >> 8),
                                 0,
                                 0,
                                 0,
                                 0};
    for (int i = 0; i < 16; ++i)
        b[4 + i / 4] |= static_cast<unsigned char>(codes[i] << (2 * (i % 4)));
    return b;
}

// A DXT5 alpha half: end points, then pixel i's 3-bit code.
std::vector<unsigned char> alpha8(int a0, int a1, const std::array<int, 16>& codes) {
    std::vector<unsigned char> b(8, 0);
    b[0] = static_cast<unsigned char>(a0);
    b[1] = static_cast<unsigned char>(a1);
    for (int i = 0; i < 16; ++i)
        for (int bit = 0; bit < 3; ++bit)
            if (codes[i] >> bit & 1) b[2 + (3 * i + bit) / 8] |= 1 << ((3 * i + bit) % 8);
    return b;
}

std::vector<unsigned char> concat(std::vector<unsigned char> a,
                                  const std::vector<unsigned char>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

constexpr unsigned kRed = 0xF800, kBlue = 0x001F;
constexpr std::array<int, 16> kRamp{0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
constexpr std::array<int, 16> kAlphaCodes{0, 1, 2, 3, 4, 5, 6, 7, 7, 6, 5, 4, 3, 2, 1, 0};

struct BlockCase {
    const char* name;
    std::uint32_t format;
    std::vector<unsigned char> block;
    std::vector<std::pair<int, rgba>> pixels; // pixel index (row by row), expected RGBA
};

TEST(Dxt, EdgeBlocksDecodeAsMesaDoes) {
    std::vector<unsigned char> nibbles(8);
    for (int i = 0; i < 8; ++i)
        nibbles[i] = static_cast<unsigned char>(i * 0x22 + 0x10);
    const std::vector<BlockCase> cases = {
        {"dxt1 four colours: thirds truncated",
         kDxt1,
         colours(kRed, kBlue, kRamp),
         {{0, {255, 0, 0, 255}},
          {1, {0, 0, 255, 255}},
          {2, {170, 0, 85, 255}},
          {3, {85, 0, 170, 255}}}},
        {"dxt1 three colours and transparent black",
         kDxt1,
         colours(kBlue, kRed, kRamp),
         {{0, {0, 0, 255, 255}}, {2, {127, 0, 127, 255}}, {3, {0, 0, 0, 0}}, {15, {0, 0, 0, 0}}}},
        {"dxt1 equal end points are three colours",
         kDxt1,
         colours(0x07E0, 0x07E0, kRamp),
         {{2, {0, 255, 0, 255}}, {3, {0, 0, 0, 0}}}},
        {"dxt3 always four colours, 4-bit alpha",
         kDxt3,
         concat(nibbles, colours(kBlue, kRed, kRamp)),
         {{0, {0, 0, 255, 0}},
          {1, {255, 0, 0, 17}},
          {3, {170, 0, 85, 51}},
          {15, {170, 0, 85, 255}}}},
        {"dxt5 eight-step alpha, codes across bytes",
         kDxt5,
         concat(alpha8(255, 0, kAlphaCodes), colours(kRed, kBlue, kRamp)),
         {{0, {255, 0, 0, 255}},
          {1, {0, 0, 255, 0}},
          {2, {170, 0, 85, 219}},
          {5, {0, 0, 255, 109}},
          {7, {85, 0, 170, 36}},
          {10, {170, 0, 85, 109}}}},
        {"dxt5 six-step alpha with 0 and 255",
         kDxt5,
         concat(alpha8(0, 255, kAlphaCodes), colours(kBlue, kRed, kRamp)),
         {{2, {85, 0, 170, 50}},
          {5, {255, 0, 0, 203}},
          {6, {85, 0, 170, 0}},
          {7, {170, 0, 85, 255}},
          {8, {0, 0, 255, 255}}}},
    };
    for (const BlockCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<unsigned char> px = decodeDxt(c.block.data(), 4, 4, c.format);
        ASSERT_EQ(px.size(), 64u);
        for (const auto& [i, want] : c.pixels)
            EXPECT_EQ((rgba{px[4 * i], px[4 * i + 1], px[4 * i + 2], px[4 * i + 3]}), want)
                << "pixel " << i;
    }
}

TEST(Dxt, LevelsSmallerOrNotWholeBlocksAreCropped) {
    // Two blocks across, one down: 5x3 keeps the first block's 4x3 and one column of the next.
    const std::vector<unsigned char> blocks =
        concat(colours(kRed, kRed, {}), colours(kBlue, kBlue, {}));
    const std::vector<unsigned char> px = decodeDxt(blocks.data(), 5, 3, kDxt1);
    ASSERT_EQ(px.size(), 5u * 3 * 4);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(px[(y * 5 + x) * 4 + (x < 4 ? 0 : 2)], 255) << x << "," << y;
    EXPECT_EQ(decodeDxt(blocks.data(), 1, 1, kDxt1), (std::vector<unsigned char>{255, 0, 0, 255}));
    EXPECT_TRUE(decodeDxt(blocks.data(), 4, 4, 0x8C00).empty());
}

} // namespace
