// PNG files: see png.h.
#include "tools/png.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <png.h>

bool writePng(const std::string& path, const rgb_image& image, std::string& why, bool fast) {
    png_image header;
    std::memset(&header, 0, sizeof header);
    header.version = PNG_IMAGE_VERSION;
    header.width = png_uint_32(image.width);
    header.height = png_uint_32(image.height);
    header.format = PNG_FORMAT_RGB;
    if (fast) header.flags |= PNG_IMAGE_FLAG_FAST;
    const std::string temporary = path + ".part";
    if (!png_image_write_to_file(&header, temporary.c_str(), 0, image.pixels.data(), 0, nullptr)) {
        why = header.message;
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        why = std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
