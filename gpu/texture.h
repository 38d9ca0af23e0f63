#pragma once
#include <GL/glew.h>

#include <cstdint>
#include <string>

#include "formats/dds.h"

// DDS textures (DXT1, DXT3, DXT5 with their mip-map levels) uploaded into OpenGL texture objects.

// Reads the DDS file at `path` and uploads its levels into a new texture, left bound to
// GL_TEXTURE_2D with an unpack alignment of 1. Returns the texture name, or 0 when the file is
// not a DDS file, its header is cut short, or its compression is none of the three. A file that
// cannot be opened is reported, without waiting for input. Only levels lying
// wholly in the file are uploaded; a file cut short is reported and keeps the levels before the
// cut. Where the GL has no S3TC, the levels are decoded and uploaded as RGBA8.
// With `read`, what was read is kept there for the tools.
struct dds_read {
    bool opened = false;
    std::string why; // why it could not be opened
    dds_image image; // the header and the levels present (not the pixels)
};
GLuint loadDDS(const char* path, dds_read* read = nullptr);
// Bytes of RGBA8 that loadDDS has made so far by decoding, for a GL without S3TC.
std::uint64_t texturesDecodedBytes();

// A texture of magenta and grey squares, 8 across, sampled nearest and repeated: what a tool
// shows where a texture could not be used, so that it does not pass for shading. The caller
// deletes it. The texture bound before is bound again.
GLuint makeCheckerTexture();

// A texture loaded from a DDS file; copies share the OpenGL texture, which the scene's gl_pool
// deletes with the scene.
class texture {
public:
    explicit texture(const char* path, dds_read* read = nullptr);

    GLuint texture_id = 0; // 0 when loading failed
    std::string file_path; // as given
};
