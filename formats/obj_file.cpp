// The text's bytes: see obj_file.h.
#include "formats/obj_file.h"

#include <cerrno>

#ifndef __EMSCRIPTEN__
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace obj_reading {

char* byte_room::get(std::size_t size) {
    if (size > capacity) {
        bytes.reset(); // let go before asking for more
        bytes.reset(new char[size]);
        capacity = size;
    }
    return bytes.get();
}

obj_text obj_text::ofFile(std::FILE* in) {
    obj_text text(nullptr, 0);
#ifndef __EMSCRIPTEN__
    struct stat info {};
    const int fd = fileno(in);
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        text.size = static_cast<std::size_t>(info.st_size);
        text.fd = fd;
    }
#else
    (void)in;
#endif
    return text;
}

const char* obj_text::fetch(std::size_t from, std::size_t to, byte_room& room,
                            std::size_t& got) const {
    got = to - from;
    if (data) return data + from;
    got = 0;
#ifndef __EMSCRIPTEN__
    char* const at = room.get(to - from);
    while (got < to - from) {
        const ssize_t n = pread(fd, at + got, to - from - got, static_cast<off_t>(from + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return nullptr;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return at;
#else
    (void)room;
    return nullptr;
#endif
}

} // namespace obj_reading
