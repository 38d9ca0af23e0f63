// PNG files: see png.h.
#include "tools/png.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <png.h>
#include <unistd.h>

bool writePng(const std::string& path, const rgb_image& image, std::string& why, bool fast) {
    png_image header{};
    header.version = PNG_IMAGE_VERSION;
    header.width = png_uint_32(image.width);
    header.height = png_uint_32(image.height);
    header.format = PNG_FORMAT_RGB;
    if (fast) header.flags |= PNG_IMAGE_FLAG_FAST;
    // Encoded in memory and written by us, so that a failed write says why; one buffer per
    // writer thread, grown to the largest frame.
    thread_local std::vector<unsigned char> encoded;
    png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(header);
    if (encoded.size() < size) encoded.resize(size);
    if (!png_image_write_to_memory(&header, encoded.data(), &size, 0, image.pixels.data(), 0,
                                   nullptr)) {
        why = header.message;
        png_image_free(&header);
        return false;
    }
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
