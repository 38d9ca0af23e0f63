// PNG files: see png.h.
#include "tools/png.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <png.h>

bool writePng(const std::string& path, const rgb_image& image, std::string& why) {
    png_image header;
    std::memset(&header, 0, sizeof header);
    header.version = PNG_IMAGE_VERSION;
    header.width = png_uint_32(image.width);
    header.height = png_uint_32(image.height);
    header.format = PNG_FORMAT_RGB;
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

bool readPng(const std::string& path, rgb_image& image, std::string& why) {
    png_image header;
    std::memset(&header, 0, sizeof header);
    header.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&header, path.c_str())) {
        why = header.message;
        return false;
    }
    header.format = PNG_FORMAT_RGB;
    // A header may claim a million pixels a side; frames are far smaller.
    if (std::uint64_t(header.width) * header.height > (std::uint64_t(1) << 28)) {
        why = "image of " + std::to_string(header.width) + "x" + std::to_string(header.height) +
              " is too large";
        png_image_free(&header);
        return false;
    }
    image.width = int(header.width);
    image.height = int(header.height);
    image.pixels.resize(PNG_IMAGE_SIZE(header));
    if (!png_image_finish_read(&header, nullptr, image.pixels.data(), 0, nullptr)) {
        why = header.message;
        png_image_free(&header);
        return false;
    }
    return true;
}
