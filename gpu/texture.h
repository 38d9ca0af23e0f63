#pragma once
#include <GL/glew.h>

#include <string>

// DDS textures (DXT1, DXT3, DXT5 with their mip-map levels) uploaded into OpenGL texture objects.

// Reads the DDS file at `path` and uploads its levels into a new texture, left bound to
// GL_TEXTURE_2D with an unpack alignment of 1. Returns the texture name, or 0 when the file is
// not a DDS file, its header is cut short, or its compression is none of the three. A file that
// cannot be opened is reported, without waiting for input. Only levels lying
// wholly in the file are uploaded; a file cut short is reported and keeps the levels before the
// cut. Needs a current context with S3TC.
GLuint loadDDS(const char* path);

// A texture loaded from a DDS file; copies share the OpenGL texture, which the scene's gl_pool
// deletes with the scene.
class texture {
public:
    explicit texture(const char* path);

    GLuint texture_id = 0; // 0 when loading failed
    std::string file_path; // as given
};
