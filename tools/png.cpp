// PNG files: see png.h.
#include "tools/png.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

namespace {

// 8-bit images through libpng's simplified API, into `encoded` (grown to the largest frame);
// false with libpng's message.
bool encode8(const rgb_image& image, bool fast, std::vector<unsigned char>& encoded,
             std::size_t& size, std::string& why) {
    png_image header{};
    header.version = PNG_IMAGE_VERSION;
    header.width = png_uint_32(image.width);
    header.height = png_uint_32(image.height);
    header.format = PNG_FORMAT_RGB;
    if (fast) header.flags |= PNG_IMAGE_FLAG_FAST;
    png_alloc_size_t most = PNG_IMAGE_PNG_SIZE_MAX(header);
    if (encoded.size() < most) encoded.resize(most);
    if (png_image_write_to_memory(&header, encoded.data(), &most, 0, image.pixels.data(), 0,
                                  nullptr)) {
        size = most;
        return true;
    }
    why = header.message;
    png_image_free(&header);
    return false;
}

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void failed16(png_structp png, png_const_charp message) {
    *static_cast<std::string*>(png_get_error_ptr(png)) = message;
    png_longjmp(png, 1);
}

// 16-bit images: the simplified API takes 16 bits as linear light only, and these values are
// sRGB, as the 8-bit ones are; so through the full API, with the same settings.
bool encode16(const rgb_image& image, bool fast, std::vector<unsigned char>& encoded,
              std::size_t& size, std::string& why) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &why, failed16, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        why = "out of memory";
        return false;
    }
    encoded.clear();
    const std::size_t row = std::size_t(image.width) * 6;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &encoded, appendBytes, nullptr);
    if (fast) {
        png_set_compression_level(png, 3);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    }
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 16,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, image.pixels.data() + std::size_t(y) * row);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    size = encoded.size();
    return true;
}

} // namespace

bool writePng(const std::string& path, const rgb_image& image, std::string& why, bool fast) {
    // Encoded in memory and written by us, so that a failed write says why; one buffer per
    // writer thread.
    thread_local std::vector<unsigned char> encoded;
    std::size_t size = 0;
    if (!(image.depth == 16 ? encode16 : encode8)(image, fast, encoded, size, why)) return false;
    // Written to a new file next to it; false with the system's reason (a full disk, a
    // file-size limit, a read-only or vanished folder), the file then removed.
    const std::string temporary = path + ".part";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    for (const unsigned char* data = encoded.data(); size > 0;) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = n < 0 ? std::strerror(errno) : "nothing was written";
            close(fd);
            std::remove(temporary.c_str());
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    // Some file systems report a failed write only when the file is closed.
    if (close(fd) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
        why = std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
