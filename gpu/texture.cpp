// DDS textures on OpenGL: see texture.h.
#include "gpu/texture.h"

#include <cstdio>
#include <vector>

#include "formats/dds.h"
#include "formats/dxt.h"
#include "formats/files.h"
#include "formats/trace.h"
#include "platform/gl_target.h"

namespace {

std::uint64_t decoded_bytes = 0;

void upload(const dds_image& img, const dds_level& l, const unsigned char* data) {
    if (!textureDecoded()) {
        glCompressedTexImage2D(GL_TEXTURE_2D, GLint(l.level), img.gl_format, GLsizei(l.width),
                               GLsizei(l.height), 0, GLsizei(l.size), data);
        return;
    }
    const std::vector<unsigned char> rgba = decodeDxt(data, l.width, l.height, img.gl_format);
    glTexImage2D(GL_TEXTURE_2D, GLint(l.level), GL_RGBA8, GLsizei(l.width), GLsizei(l.height), 0,
                 GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    decoded_bytes += rgba.size();
}

} // namespace

std::uint64_t texturesDecodedBytes() {
    return decoded_bytes;
}

GLuint loadDDS(const char* path, dds_read* read) {
    dds_read local;
    dds_read& r = read ? *read : local;
    std::FILE* in = openRegular(path, r.why);
    r.opened = in != nullptr;
    if (!in) {
        traceOut("%s could not be opened. Are you in the right directory ? Don't forget to read "
                 "the FAQ !\n",
                 path);
        return 0;
    }
    const std::vector<unsigned char> bytes = readDdsFile(in);
    std::fclose(in);

    r.image = parseDds(bytes.data(), bytes.size());
    const dds_image& img = r.image;
    if (img.status == dds_status::header_cut) traceOut("%s: %s\n", path, ddsStatusText(img.status));
    if (!ddsUsable(img.status) || !textureAccepted(path, img)) return 0;

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (const dds_level& l : img.levels)
        upload(img, l, bytes.data() + l.offset);
    if (img.status != dds_status::ok)
        traceOut("%s: %s; %zu of %u mip-map levels uploaded\n", path, ddsStatusText(img.status),
                 img.levels.size(), img.mip_count);
    return name;
}

texture::texture(const char* path, dds_read* read)
    : texture_id(loadDDS(path, read)), file_path(path) {}

GLuint makeCheckerTexture() {
    constexpr int kSize = 64, kCell = kSize / 8;
    std::vector<unsigned char> rgba(std::size_t(kSize) * kSize * 4);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const bool light = (x / kCell + y / kCell) % 2 == 0;
            unsigned char* p = rgba.data() + (std::size_t(y) * kSize + std::size_t(x)) * 4;
            p[0] = light ? 255 : 60;
            p[1] = light ? 0 : 60;
            p[2] = light ? 255 : 60;
            p[3] = 255;
        }
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kSize, kSize, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    return name;
}
