// DDS reading: placing the levels of a header, and reading a file through the bounded reader.
#include "formats/dds.h"

#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

namespace {

// A full-chain square file of `side` pixels, with zeroed blocks.
std::vector<unsigned char> fullChain(std::uint32_t side, const char* code, std::uint32_t block) {
    std::uint32_t count = 0;
    std::size_t data = 0;
    for (std::uint32_t s = side;; s /= 2) {
        ++count;
        data += std::size_t((s + 3) / 4) * ((s + 3) / 4) * block;
        if (s == 1) break;
    }
    std::vector<unsigned char> f(128 + data, 0);
    std::memcpy(f.data(), "DDS ", 4);
    std::memcpy(f.data() + 12, &side, 4); // little-endian machine
    std::memcpy(f.data() + 16, &side, 4);
    std::memcpy(f.data() + 28, &count, 4);
    std::memcpy(f.data() + 84, code, 4);
    return f;
}

} // namespace

static void BM_ReadDdsLevels(benchmark::State& state) {
    const std::vector<unsigned char> f = fullChain(std::uint32_t(state.range(0)), "DXT1", 8);
    for (auto _ : state) {
        dds_image img = parseDds(f.data(), f.size());
        benchmark::DoNotOptimize(img.levels.data());
    }
}
BENCHMARK(BM_ReadDdsLevels)->Arg(256)->Arg(4096);

static void BM_ReadDdsFile(benchmark::State& state) {
    std::vector<unsigned char> f = fullChain(std::uint32_t(state.range(0)), "DXT5", 16);
    for (auto _ : state) {
        std::FILE* in = fmemopen(f.data(), f.size(), "rb");
        std::vector<unsigned char> bytes = readDdsFile(in);
        std::fclose(in);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(f.size()));
}
BENCHMARK(BM_ReadDdsFile)->Arg(256)->Arg(2048);
