// DDS reading without a context: header checks, the level chain, and bounds on hostile sizes.
#include "formats/dds.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_data.h"

namespace {

using Dim = testdata::Level;

dds_image read(const std::vector<unsigned char>& f) {
    return parseDds(f.data(), f.size());
}

void expectLevels(const dds_image& img, const std::vector<Dim>& want) {
    ASSERT_EQ(img.levels.size(), want.size());
    std::size_t offset = 128;
    for (std::size_t k = 0; k < want.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(img.levels[k].level, k);
        EXPECT_EQ(img.levels[k].width, want[k].width);
        EXPECT_EQ(img.levels[k].height, want[k].height);
        EXPECT_EQ(img.levels[k].size, want[k].size);
        EXPECT_EQ(img.levels[k].offset, offset);
        offset += want[k].size;
    }
}

std::vector<unsigned char> readThroughFile(std::vector<unsigned char> f) {
    std::FILE* in = fmemopen(f.data(), f.size(), "rb");
    EXPECT_NE(in, nullptr);
    if (!in) return {};
    std::vector<unsigned char> got = readDdsFile(in);
    std::fclose(in);
    return got;
}

} // namespace

TEST(DdsRead, LevelsHalveDownTheChainInWholeBlocks) {
    for (const testdata::DdsCase& c : testdata::handMadeChains()) {
        SCOPED_TRACE(c.name);
        const std::vector<unsigned char> f = testdata::chainFile(c);
        const dds_image img = read(f);
        EXPECT_EQ(img.status, dds_status::ok);
        EXPECT_EQ(img.gl_format, c.format);
        EXPECT_EQ(img.bytes_wanted, f.size());
        expectLevels(img, c.levels);
    }
    std::size_t all = 0;
    for (const dds_level& l : read(testdata::chainFile(testdata::handMadeChains()[0])).levels)
        all += l.size;
    EXPECT_EQ(all, 43704u);
}

TEST(DdsRead, EmptyLevelsFollowTheChainToo) {
    struct Case {
        const char* name;
        std::uint32_t width, height, count;
        std::vector<Dim> levels;
    };
    const Case cases[] = {
        {"one side 0", 0, 8, 2, {{0, 8, 0}, {1, 4, 8}}},
        {"count 0", 64, 64, 0, {}},
        {"width and height 0", 0, 0, 5, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const dds_image img = read(testdata::ddsFile(c.width, c.height, c.count, "DXT1", 64));
        EXPECT_EQ(img.status, dds_status::ok);
        expectLevels(img, c.levels);
    }
}

TEST(DdsRead, RejectsWhatIsNotADxtFile) {
    std::vector<unsigned char> wrong_magic = testdata::ddsFile(4, 4, 1, "DXT1", 8);
    wrong_magic[3] = 'X';
    std::vector<unsigned char> header_cut = testdata::ddsFile(4, 4, 1, "DXT1", 0);
    header_cut.pop_back();
    struct Case {
        const char* name;
        std::vector<unsigned char> file;
        dds_status status;
    };
    const Case cases[] = {
        {"empty", {}, dds_status::not_dds},
        {"three bytes", {'D', 'D', 'S'}, dds_status::not_dds},
        {"wrong magic", wrong_magic, dds_status::not_dds},
        {"magic alone", {'D', 'D', 'S', ' '}, dds_status::header_cut},
        {"123 header bytes", header_cut, dds_status::header_cut},
        {"DXT2", testdata::ddsFile(4, 4, 1, "DXT2", 16), dds_status::unknown_format},
        {"DXT4", testdata::ddsFile(4, 4, 1, "DXT4", 16), dds_status::unknown_format},
        {"uncompressed", testdata::ddsFile(4, 4, 1, "\0\0\0\0", 64), dds_status::unknown_format},
        {"lower case", testdata::ddsFile(4, 4, 1, "dxt1", 8), dds_status::unknown_format},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const dds_image img = read(c.file);
        EXPECT_EQ(img.status, c.status);
        EXPECT_FALSE(ddsUsable(img.status));
        EXPECT_TRUE(img.levels.empty());
        EXPECT_STRNE(ddsStatusText(img.status), "");
    }
}

TEST(DdsRead, KeepsOnlyLevelsThatLieWhollyInTheData) {
    // 256x256 DXT1 whose data ends 100 bytes into the third level.
    const dds_image cut = read(testdata::ddsFile(256, 256, 9, "DXT1", 32768 + 8192 + 100, 32768));
    EXPECT_EQ(cut.status, dds_status::data_cut);
    EXPECT_TRUE(ddsUsable(cut.status));
    expectLevels(cut, {{256, 256, 32768}, {128, 128, 8192}});
    EXPECT_EQ(cut.bytes_wanted, 128u + 43704u);

    // The header claims 4 GiB of linear size and 32768x32768 pixels in a 200-byte file.
    const dds_image huge = read(testdata::ddsFile(32768, 32768, 2, "DXT1", 72, 0xFFFFFFFF));
    EXPECT_EQ(huge.status, dds_status::data_cut);
    EXPECT_TRUE(huge.levels.empty());
}

TEST(DdsRead, SizesNearTheTopOfThe32BitRangeDoNotWrap) {
    struct Case {
        const char* name;
        std::uint32_t width, height;
    };
    // In 32 bits, (0xFFFFFFFD + 3) / 4 is 0 blocks: a bogus empty level.
    const Case cases[] = {
        {"width wraps", 0xFFFFFFFD, 4},
        {"both huge", 0xFFFFFFFF, 0xFFFFFFFF},
        {"width beyond GLsizei", 0x80000000, 0},
        {"size beyond GLsizei", 0x10000, 0x10000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const dds_image img = read(testdata::ddsFile(c.width, c.height, 3, "DXT5", 4096));
        EXPECT_EQ(img.status, dds_status::level_too_large);
        EXPECT_TRUE(img.levels.empty());
    }
}

TEST(DdsRead, CountPastTheSmallestLevelStopsThere) {
    const dds_image img = read(testdata::ddsFile(2, 2, 0xFFFFFFFF, "DXT1", 4096));
    EXPECT_EQ(img.status, dds_status::count_past_smallest);
    EXPECT_TRUE(ddsUsable(img.status));
    expectLevels(img, {{2, 2, 8}, {1, 1, 8}});
}

TEST(DdsRead, ReadsFilesWrittenByImageMagick) {
    for (const testdata::DdsCase& c : testdata::imageMagickFiles()) {
        SCOPED_TRACE(c.name);
        const std::vector<unsigned char> f = testdata::bytes(testdata::path(c.name));
        const dds_image img = read(f);
        EXPECT_EQ(img.status, dds_status::ok);
        EXPECT_EQ(img.gl_format, c.format);
        EXPECT_EQ(img.bytes_wanted, f.size());
        expectLevels(img, c.levels);
    }
}

TEST(DdsReadFile, ReadsWhatTheLevelsNeedAndNoMore) {
    struct Case {
        const char* name;
        std::vector<unsigned char> file;
        std::size_t expected;
    };
    const Case cases[] = {
        {"trailing bytes are left", testdata::ddsFile(4, 4, 3, "DXT1", 24 + 500, 8), 128 + 24},
        {"4 GiB claimed, 200 bytes held",
         testdata::ddsFile(32768, 32768, 2, "DXT1", 72, 0xFFFFFFFF), 200},
        {"not DDS: the header at most", testdata::ddsFile(4, 4, 1, "DXT2", 5000), 128},
        {"shorter than a header", {'D', 'D', 'S', ' ', 1, 2}, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<unsigned char> got = readThroughFile(c.file);
        ASSERT_EQ(got.size(), c.expected);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), c.file.begin()));
    }
}
