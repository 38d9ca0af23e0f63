// DXT decoding on the blocks where the formats' modes meet: DXT1's three colours with
// transparent black, DXT3's 4-bit alpha, DXT5's six- and eight-step alpha; and cropping.
#include "formats/dxt.h"

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t kDxt1 = 0x83F1, kDxt3 = 0x83F2, kDxt5 = 0x83F3;

std::vector<unsigned char> hex(const std::string& text) {
    std::vector<unsigned char> b;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        b.push_back(static_cast<unsigned char>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return b;
}

// Colour halves: red (f800) and blue (001f) either way round, each row's codes 0 1 2 3 (e4).
const std::string kRedBlue = "00f81f00e4e4e4e4", kBlueRed = "1f0000f8e4e4e4e4";
// DXT5 alpha codes 0 1 2 3 4 5 6 7 7 6 5 4 3 2 1 0, some across bytes.
const std::string kAlphaCodes = "88c6fa773905";

// Pixels as "INDEX=RRGGBBAA", index row by row.
std::string pixels(const std::vector<unsigned char>& px, const std::vector<int>& which) {
    std::string out;
    char one[16];
    for (int i : which) {
        std::snprintf(one, sizeof one, " %d=%02x%02x%02x%02x", i, px[4 * i], px[4 * i + 1],
                      px[4 * i + 2], px[4 * i + 3]);
        out += one;
    }
    return out.substr(1);
}

TEST(Dxt, EdgeBlocksDecodeAsMesaDoes) {
    const struct {
        std::uint32_t format;
        std::string block, want;
    } cases[] = {
        // DXT1, four colours: thirds truncated.
        {kDxt1, kRedBlue, "0=ff0000ff 1=0000ffff 2=aa0055ff 3=5500aaff"},
        // DXT1, first end point not above the second: three colours and transparent black.
        {kDxt1, kBlueRed, "0=0000ffff 2=7f007fff 3=00000000 15=00000000"},
        {kDxt1, "e007e007e4e4e4e4", "2=00ff00ff 3=00000000"},
        // DXT3: four colours whatever the end points; 4-bit alpha.
        {kDxt3, "1032547698badcfe" + kBlueRed, "0=0000ff00 1=ff000011 3=aa005533 15=aa0055ff"},
        // DXT5: eight alpha steps, then six with 0 and 255.
        {kDxt5, "ff00" + kAlphaCodes + kRedBlue, "1=0000ff00 2=aa0055db 5=0000ff6d 7=5500aa24"},
        {kDxt5, "00ff" + kAlphaCodes + kBlueRed, "2=5500aa32 5=ff0000cb 6=5500aa00 7=aa0055ff"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.block);
        const std::vector<unsigned char> px = decodeDxt(hex(c.block).data(), 4, 4, c.format);
        ASSERT_EQ(px.size(), 64u);
        std::vector<int> which;
        std::istringstream in(c.want);
        for (std::string pixel; in >> pixel;)
            which.push_back(std::stoi(pixel));
        EXPECT_EQ(pixels(px, which), c.want);
    }
}

TEST(Dxt, LevelsSmallerOrNotWholeBlocksAreCropped) {
    // Two blocks across, red then blue: 5x3 keeps the first's 4x3 and a column of the second.
    const std::vector<unsigned char> two = hex("00f800f8000000001f001f0000000000");
    const std::vector<unsigned char> px = decodeDxt(two.data(), 5, 3, kDxt1);
    ASSERT_EQ(px.size(), 5u * 3 * 4);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(px[(y * 5 + x) * 4 + (x < 4 ? 0 : 2)], 255) << x << "," << y;
    EXPECT_EQ(decodeDxt(two.data(), 1, 1, kDxt1), (std::vector<unsigned char>{255, 0, 0, 255}));
    EXPECT_TRUE(decodeDxt(two.data(), 4, 4, 0x8C00).empty());
}

} // namespace
