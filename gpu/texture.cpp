// DDS textures on OpenGL: see texture.h.
#include "gpu/texture.h"

#include <cstdio>
#include <vector>

#include "formats/dds.h"
#include "platform/gl_target.h"

GLuint loadDDS(const char* path) {
    std::FILE* in = std::fopen(path, "rb");
    if (!in) {
        std::printf("%s could not be opened. Are you in the right directory ? Don't forget to read "
                    "the FAQ !\n",
                    path);
        return 0;
    }
    const std::vector<unsigned char> bytes = readDdsFile(in);
    std::fclose(in);

    const dds_image img = parseDds(bytes.data(), bytes.size());
    if (img.status == dds_status::header_cut)
        std::printf("%s: %s\n", path, ddsStatusText(img.status));
    if (!ddsUsable(img.status) || !textureAccepted(path, img)) return 0;

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (const dds_level& l : img.levels)
        glCompressedTexImage2D(GL_TEXTURE_2D, GLint(l.level), img.gl_format, GLsizei(l.width),
                               GLsizei(l.height), 0, GLsizei(l.size), bytes.data() + l.offset);
    if (img.status != dds_status::ok)
        std::printf("%s: %s; %zu of %u mip-map levels uploaded\n", path, ddsStatusText(img.status),
                    img.levels.size(), img.mip_count);
    return name;
}

texture::texture(const char* path) : texture_id(loadDDS(path)), file_path(path) {}
