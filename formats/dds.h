#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// Reading of DDS files holding DXT1, DXT3 or DXT5 images with their mip-map levels, without
// OpenGL, bounded by the bytes actually present: what loadDDS uploads, and what a checker reports.

// Why a file was rejected or cut short. The first four reject the file (no texture); the others
// keep the levels read before the problem.
enum class dds_status {
    ok,                  // every level the header counts is present
    not_dds,             // the file does not start with "DDS "
    header_cut,          // fewer than 124 header bytes follow the magic
    unknown_format,      // the four-character code is none of "DXT1", "DXT3", "DXT5"
    data_cut,            // the data ends inside a level; the levels before it are kept
    level_too_large,     // a level's width, height or size is beyond what OpenGL can take
    count_past_smallest, // the header counts levels after the 1x1 one; those are dropped
};

// Whether a file with this status still makes a texture.
bool ddsUsable(dds_status status);
// A short English description of the status, for messages.
const char* ddsStatusText(dds_status status);

// One mip-map level, as it lies in the file.
struct dds_level {
    unsigned level = 0;
    std::uint32_t width = 0; // pixels
    std::uint32_t height = 0;
    std::uint32_t size = 0; // bytes: whole 4x4 blocks
    std::size_t offset = 0; // from the start of the file
};

// A DDS file as read: header fields and the levels that are present.
struct dds_image {
    dds_status status = dds_status::not_dds;
    std::uint32_t fourcc = 0;     // the first character in the lowest byte
    std::uint32_t gl_format = 0;  // GL_COMPRESSED_RGBA_S3TC_DXT*_EXT, 0 when unknown
    std::uint32_t block_size = 0; // bytes per 4x4 block: 8 or 16
    std::uint32_t width = 0;      // of the top level
    std::uint32_t height = 0;
    std::uint32_t linear_size = 0;  // as the header states it; not used to place the levels
    std::uint32_t mip_count = 0;    // as the header states it
    std::vector<dds_level> levels;  // only whole levels lying inside the bytes given
    std::uint64_t bytes_wanted = 0; // file size that the header's levels need, from byte 0
};

// Reads `size` bytes holding a DDS file (or its beginning). The levels follow one another from
// byte 128, largest first, halving each dimension down to 1; the list stops at the header's
// count, after the 1x1 level, or at the first level that does not lie wholly in the bytes given.
dds_image parseDds(const unsigned char* bytes, std::size_t size);

// Whether WebGL takes the image: it refuses S3TC data whose top level's width or height is not
// a multiple of 4.
bool ddsFitsWebGL(const dds_image& img);

// Reads from `in` the header and as much data as the header's levels need, never more than the
// stream holds: memory grows only with the bytes actually read.
std::vector<unsigned char> readDdsFile(std::FILE* in);
