// DDS reading without OpenGL: see dds.h.
#include "formats/dds.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::size_t kHeaderEnd = 128; // "DDS " and the 124-byte header
// GL takes widths, heights and sizes as GLsizei.
constexpr std::uint64_t kGlSizeMax = 0x7FFFFFFF;

// The header is little-endian whatever the machine.
std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// Appends bytes from `in` until `bytes` holds `total` or the stream ends. Reads through a fixed
// chunk so that memory follows what arrives, not what the header claims.
void readUpTo(std::FILE* in, std::vector<unsigned char>& bytes, std::uint64_t total) {
    std::array<unsigned char, 64 * 1024> chunk;
    while (bytes.size() < total) {
        const std::size_t want =
            std::size_t(std::min<std::uint64_t>(total - bytes.size(), chunk.size()));
        const std::size_t got = std::fread(chunk.data(), 1, want, in);
        bytes.insert(bytes.end(), chunk.data(), chunk.data() + got);
        if (got < want) return;
    }
}

} // namespace

bool ddsUsable(dds_status status) {
    return status != dds_status::not_dds && status != dds_status::header_cut &&
           status != dds_status::unknown_format;
}

bool ddsFitsWebGL(const dds_image& img) {
    return img.width % 4 == 0 && img.height % 4 == 0;
}

std::vector<dds_level> ddsLevelsWebGLRefuses(const dds_image& img) {
    const auto fits = [](std::uint32_t side, bool top) {
        return side % 4 == 0 || (!top && side <= 2);
    };
    std::vector<dds_level> refused;
    for (const dds_level& l : img.levels)
        if (!fits(l.width, l.level == 0) || !fits(l.height, l.level == 0)) refused.push_back(l);
    return refused;
}

const char* ddsStatusText(dds_status status) {
    // In the order of dds_status.
    static const char* const texts[] = {"a complete DDS file",
                                        "not a DDS file",
                                        "DDS header cut short",
                                        "compression is none of DXT1, DXT3, DXT5",
                                        "image data ends inside a mip-map level",
                                        "a mip-map level is too large for OpenGL",
                                        "mip-map count goes past the 1x1 level"};
    const auto i = std::size_t(status);
    return i < std::size(texts) ? texts[i] : "unknown DDS status";
}

dds_image parseDds(const unsigned char* bytes, std::size_t size) {
    dds_image img;
    if (size < 4 || std::memcmp(bytes, "DDS ", 4) != 0) return img;
    if (size < kHeaderEnd) {
        img.status = dds_status::header_cut;
        return img;
    }
    img.height = le32(bytes + 12);
    img.width = le32(bytes + 16);
    img.linear_size = le32(bytes + 20);
    img.mip_count = le32(bytes + 28);
    img.fourcc = le32(bytes + 84);
    // DXT1 as its RGBA variant: DXT1 blocks may carry one-bit alpha.
    static const struct {
        const char* fourcc;
        std::uint32_t gl_format, block_size;
    } formats[] = {{"DXT1", 0x83F1, 8}, {"DXT3", 0x83F2, 16}, {"DXT5", 0x83F3, 16}};
    const auto known = std::find_if(std::begin(formats), std::end(formats), [&](const auto& f) {
        return std::memcmp(bytes + 84, f.fourcc, 4) == 0;
    });
    if (known == std::end(formats)) {
        img.status = dds_status::unknown_format;
        return img;
    }
    img.gl_format = known->gl_format;
    img.block_size = known->block_size;

    img.status = dds_status::ok;
    img.bytes_wanted = kHeaderEnd;
    const auto stop = [&img](dds_status why) {
        if (img.status == dds_status::ok) img.status = why;
    };
    // 64-bit arithmetic: a width near 2^32 must not wrap into a small block count.
    std::uint64_t w = img.width, h = img.height;
    std::size_t offset = kHeaderEnd;
    bool past_smallest = false;
    for (unsigned level = 0; level < img.mip_count && (w != 0 || h != 0); ++level) {
        // Levels after 1x1 belong to no mip chain, and a count near 2^32 must not loop that long.
        if (past_smallest) {
            stop(dds_status::count_past_smallest);
            break;
        }
        const std::uint64_t level_size = (w + 3) / 4 * ((h + 3) / 4) * img.block_size;
        if (w > kGlSizeMax || h > kGlSizeMax || level_size > kGlSizeMax) {
            stop(dds_status::level_too_large);
            break;
        }
        img.bytes_wanted += level_size;
        if (img.status == dds_status::ok) {
            if (level_size > size - offset) {
                stop(dds_status::data_cut);
            } else {
                img.levels.push_back(
                    {level, std::uint32_t(w), std::uint32_t(h), std::uint32_t(level_size), offset});
                offset += std::size_t(level_size);
            }
        }
        past_smallest = w == 1 && h == 1;
        w = std::max<std::uint64_t>(w / 2, 1);
        h = std::max<std::uint64_t>(h / 2, 1);
    }
    return img;
}

std::vector<unsigned char> readDdsFile(std::FILE* in) {
    std::vector<unsigned char> bytes;
    readUpTo(in, bytes, kHeaderEnd);
    const dds_image head = parseDds(bytes.data(), bytes.size());
    if (ddsUsable(head.status)) readUpTo(in, bytes, head.bytes_wanted);
    return bytes;
}
