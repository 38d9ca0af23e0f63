#pragma once
#include <cstddef>
#include <cstdio>
#include <memory>

// The bytes of an OBJ text by offset: in memory, or read from a regular file as they are needed
// into room of our own. A mapping of the file would save the copy, but a file cut short while it
// is read (an exporter saving over it as the preview reloads) would kill the process with
// SIGBUS; a read just comes back short. The web build keeps its files in memory only.
namespace obj_reading {

// Room for bytes that is reused from one piece to the next: pages written once are not asked
// of the system again, and they are never asked for in huge pages, whose cost here depends on
// what other programs did before (docs/obj-reading.md).
class byte_room {
public:
    char* get(std::size_t size);

private:
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
};

class obj_text {
public:
    obj_text(const char* data, std::size_t size) : data(data), size(size) {}
    // A regular, non-empty file's text; size 0 for anything else.
    static obj_text ofFile(std::FILE* in);

    // Where [from, to) is: `got` bytes of it at the result, fewer than asked where a file was
    // cut short; null after a read error. A file's bytes go into `room`.
    const char* fetch(std::size_t from, std::size_t to, byte_room& room, std::size_t& got) const;

    const char* data; // null for a file
    std::size_t size;

private:
    [[maybe_unused]] int fd = -1; // the web build reads no file by offset
};

} // namespace obj_reading
