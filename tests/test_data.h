#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Paths and bytes of the small files in tests/data (KESTRINE_TEST_DATA, named at build time);
// DDS files made in memory.
namespace testdata {

inline std::string path(const std::string& name) {
    return std::string(KESTRINE_TEST_DATA) + "/" + name;
}

inline std::vector<unsigned char> bytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A mip-map level as a test expects it.
struct Level {
    std::uint32_t width, height, size;
};

inline void put32(std::vector<unsigned char>& f, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        f[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A DDS file as encoders write it, followed by `data_bytes` of patterned data.
inline std::vector<unsigned char> ddsFile(std::uint32_t width, std::uint32_t height,
                                          std::uint32_t count, const char* code,
                                          std::size_t data_bytes, std::uint32_t linear_size = 0) {
    std::vector<unsigned char> f(128 + data_bytes, 0);
    std::memcpy(f.data(), "DDS ", 4);
    put32(f, 4, 124);
    put32(f, 12, height);
    put32(f, 16, width);
    put32(f, 20, linear_size);
    put32(f, 28, count);
    put32(f, 76, 32);
    std::memcpy(f.data() + 84, code, 4);
    for (std::size_t i = 0; i < data_bytes; ++i)
        f[128 + i] = static_cast<unsigned char>(i * 7 + 3);
    return f;
}

// A 4x4 DXT1 texture of one colour (RGB 5:6:5) with its whole mip chain: a block per level.
inline std::string solidDxt1(std::uint16_t rgb565) {
    std::vector<unsigned char> f = ddsFile(4, 4, 3, "DXT1", 24, 8);
    for (std::size_t block = 0; block < 3; ++block) {
        unsigned char* b = f.data() + 128 + 8 * block;
        b[0] = b[2] = static_cast<unsigned char>(rgb565 & 0xff);
        b[1] = b[3] = static_cast<unsigned char>(rgb565 >> 8);
        b[4] = b[5] = b[6] = b[7] = 0; // every pixel takes colour 0
    }
    return std::string(f.begin(), f.end());
}

constexpr std::uint32_t kDxt1 = 0x83F1; // GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
constexpr std::uint32_t kDxt3 = 0x83F2;
constexpr std::uint32_t kDxt5 = 0x83F3;

// A DDS file and the levels it holds, largest first.
struct DdsCase {
    const char* name; // a file under tests/data, or a label for a chain made in memory
    std::uint32_t format;
    std::vector<Level> levels;
};

// Files written by ImageMagick's DDS encoder.
inline const std::vector<DdsCase>& imageMagickFiles() {
    static const std::vector<DdsCase> files = {
        {"dds/dxt1_64x64_full.dds",
         kDxt1,
         {{64, 64, 2048},
          {32, 32, 512},
          {16, 16, 128},
          {8, 8, 32},
          {4, 4, 8},
          {2, 2, 8},
          {1, 1, 8}}},
        {"dds/dxt1_64x64_partial.dds", kDxt1, {{64, 64, 2048}, {32, 32, 512}, {16, 16, 128}}},
        // The chain needs 24 bytes, more than twice the top level's 8.
        {"dds/dxt1_4x4_full.dds", kDxt1, {{4, 4, 8}, {2, 2, 8}, {1, 1, 8}}},
        {"dds/dxt1_8x2_full.dds", kDxt1, {{8, 2, 16}, {4, 1, 8}, {2, 1, 8}, {1, 1, 8}}},
        {"dds/dxt1_100x60_top.dds", kDxt1, {{100, 60, 3000}}},
        {"dds/dxt5_32x8_full.dds",
         kDxt5,
         {{32, 8, 256}, {16, 4, 64}, {8, 2, 32}, {4, 1, 16}, {2, 1, 16}, {1, 1, 16}}},
        {"dds/dxt5_30x18_top.dds", kDxt5, {{30, 18, 640}}},
    };
    return files;
}

// Chains with sizes worked out by hand, made in memory by chainFile; DXT3 among them, which
// ImageMagick does not write.
inline const std::vector<DdsCase>& handMadeChains() {
    static const std::vector<DdsCase> chains = {
        {"256x256 DXT1, 9 levels, 43704 bytes",
         kDxt1,
         {{256, 256, 32768},
          {128, 128, 8192},
          {64, 64, 2048},
          {32, 32, 512},
          {16, 16, 128},
          {8, 8, 32},
          {4, 4, 8},
          {2, 2, 8},
          {1, 1, 8}}},
        {"256x64 DXT5, 3 levels", kDxt5, {{256, 64, 16384}, {128, 32, 4096}, {64, 16, 1024}}},
        {"30x18 DXT3, whole blocks",
         kDxt3,
         {{30, 18, 640}, {15, 9, 192}, {7, 4, 32}, {3, 2, 16}, {1, 1, 16}}},
        {"8x2 DXT3, a side stays at 1", kDxt3, {{8, 2, 32}, {4, 1, 16}, {2, 1, 16}, {1, 1, 16}}},
        {"12x20 DXT3, partial chain", kDxt3, {{12, 20, 240}, {6, 10, 96}}},
        {"100x60 DXT1, one level", kDxt1, {{100, 60, 3000}}},
    };
    return chains;
}

// The file of a hand-made chain: the header counts its levels and gives the top level's size as
// the linear size, as encoders do.
inline std::vector<unsigned char> chainFile(const DdsCase& c) {
    std::size_t total = 0;
    for (const Level& l : c.levels)
        total += l.size;
    const char* code = c.format == kDxt1 ? "DXT1" : c.format == kDxt3 ? "DXT3" : "DXT5";
    return ddsFile(c.levels[0].width, c.levels[0].height, std::uint32_t(c.levels.size()), code,
                   total, c.levels[0].size);
}

} // namespace testdata
