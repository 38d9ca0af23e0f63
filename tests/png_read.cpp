// Reading PNG files back in tests: see png_read.h.
#include "tests/png_read.h"

#include <cstdint>
#include <cstring>

#include <png.h>

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
