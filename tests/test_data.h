#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Paths and bytes of the small files in tests/data, found through KESTRINE_TEST_DATA (set by
// ctest) or else the folder named at build time; DDS files made in memory.
namespace testdata {

inline std::string path(const std::string& name) {
    const char* dir = std::getenv("KESTRINE_TEST_DATA");
    return std::string(dir ? dir : KESTRINE_TEST_DATA_DIR) + "/" + name;
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

} // namespace testdata
