// Frames reduced from larger drawings and averaged over sub-frames: which pixels fall in which
// box, rounding half up, 16-bit values, and sums that must not overflow.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "tools/frame_sum.h"

namespace {

using bytes = std::vector<unsigned char>;

// Every channel of every pixel of a w x h drawing at one level.
bytes flat(int w, int h, unsigned char level) {
    return bytes(std::size_t(w) * h * 3, level);
}

} // namespace

TEST(FrameSum, AveragesEachBoxOfEachImageAndRoundsOnceHalfUp) {
    const struct {
        const char* name;
        int width, height, factor;
        std::vector<bytes> drawn;
        bytes want8;
        std::vector<std::uint16_t> want16;
    } cases[] = {
        {"one image at factor 1 is itself", 1, 1, 1, {{7, 0, 255}}, {7, 0, 255}, {1799, 0, 65535}},
        // Boxes by columns and rows: the left box holds 0,1 / 2,3; the right 4,5 / 6,8.
        {"a 4x2 drawing into 2x1",
         2,
         1,
         2,
         {{0, 0, 0, 1, 1, 1, 4, 4, 4, 5, 5, 5, 2, 2, 2, 3, 3, 3, 6, 6, 6, 8, 8, 8}},
         {2, 2, 2, 6, 6, 6},   // 1.5 up to 2; 5.75 to 6
         {386, 386, 386, 1478, 1478, 1478}}, // 385.5 up; 1477.75 up
        {"two images, a half between levels", 1, 1, 1, {{1, 2, 3}, {2, 2, 4}}, {2, 2, 4},
         {386, 514, 900}},
        {"three images, a third", 1, 1, 1, {{0, 0, 0}, {0, 0, 1}, {1, 1, 1}}, {0, 0, 1},
         {86, 86, 171}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        frame_sum sum(c.width, c.height, c.factor);
        for (const bytes& d : c.drawn)
            sum.add(d);
        EXPECT_EQ(sum.images(), int(c.drawn.size()));
        rgb_image out;
        sum.mean(out, 8);
        EXPECT_EQ(out.width, c.width);
        EXPECT_EQ(out.depth, 8);
        EXPECT_EQ(out.pixels, c.want8);
        sum.mean(out, 16);
        std::vector<std::uint16_t> got;
        for (std::size_t i = 0; i + 1 < out.pixels.size(); i += 2)
            got.push_back(std::uint16_t(out.pixels[i] << 8 | out.pixels[i + 1]));
        EXPECT_EQ(got, c.want16);
    }
}

// The most a capture sums: 64 sub-frames of 4x4 boxes at 255, in 16 bits.
TEST(FrameSum, TheLargestSumStaysExactAndClearStartsAfresh) {
    frame_sum sum(2, 2, 4);
    for (int i = 0; i < 64; ++i)
        sum.add(flat(8, 8, 255));
    rgb_image out;
    sum.mean(out, 16);
    EXPECT_EQ(out.pixels, bytes(2 * 2 * 3 * 2, 255));
    sum.clear();
    EXPECT_EQ(sum.images(), 0);
    sum.add(flat(8, 8, 9));
    sum.mean(out, 8);
    EXPECT_EQ(out.pixels, flat(2, 2, 9));
}
