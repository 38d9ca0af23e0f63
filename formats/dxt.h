#pragma once
#include <cstdint>
#include <vector>

#include "formats/dds.h"

// Decoding of DXT1, DXT3 and DXT5 blocks to RGBA8, for GLs without S3TC (most phones' WebGL).
// Colours are expanded and blended as Mesa's decoder does (bits replicated, thirds and halves
// truncated), within one level a channel of any desktop driver; DXT5's alpha steps are weighed as
// Mesa's llvmpipe weighs them, exactly. DXT1 is read as its RGBA variant: a block whose first
// colour is not above its second has three colours and transparent black.

// Decodes one level of `width` x `height` pixels from its blocks (whole 4x4 blocks, row by
// row, `gl_format` being one of GL_COMPRESSED_RGBA_S3TC_DXT{1,3,5}_EXT) into RGBA8 rows, top
// first as the blocks lie. Blocks past the right or bottom edge are cropped. Returns nothing for
// an unknown format.
std::vector<unsigned char> decodeDxt(const unsigned char* blocks, std::uint32_t width,
                                     std::uint32_t height, std::uint32_t gl_format);

// Bytes the levels present take decoded to RGBA8: what a GL without S3TC holds for the image.
std::uint64_t ddsDecodedBytes(const dds_image& img);
