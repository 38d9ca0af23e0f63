// Fuzzes the DDS reading: the bounded file reader and the placing of the levels (see gpu/dds.h).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "formats/dds.h"

namespace {

void require(bool holds) {
    if (!holds) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const dds_image img = parseDds(data, size);
    std::size_t next = 128;
    for (const dds_level& l : img.levels) {
        // Levels lie one after the other, each wholly inside the bytes given.
        require(l.offset == next && l.size <= size && l.offset <= size - l.size);
        require(l.width != 0 || l.height != 0);
        next = l.offset + l.size;
    }
    require(img.levels.size() <= 33);
    require(img.levels.empty() || ddsUsable(img.status));

    if (size == 0) return 0;
    std::FILE* in = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!in) return 0;
    const std::vector<unsigned char> bytes = readDdsFile(in);
    std::fclose(in);
    // The reader takes a prefix of the file, enough for every level that the file holds.
    require(bytes.size() <= size);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        require(bytes[i] == data[i]);
    const dds_image again = parseDds(bytes.data(), bytes.size());
    require(again.levels.size() == img.levels.size());
    return 0;
}
