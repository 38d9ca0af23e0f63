// Reading whole files: see files.h.
#include "formats/files.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

std::FILE* openRegular(const std::string& path, std::string& why) {
    struct stat st {};
    const bool found = stat(path.c_str(), &st) == 0;
    if (!found || !S_ISREG(st.st_mode)) {
        why = found ? "not a regular file" : std::strerror(errno);
        return nullptr;
    }
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) why = std::strerror(errno);
    return in;
}

bool readWholeFile(const std::string& path, std::string& out, std::string& why) {
    std::FILE* in = openRegular(path, why);
    if (!in) return false;
    out.clear();
    char chunk[64 * 1024];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
        out.append(chunk, got);
    const bool failed = std::ferror(in) != 0;
    if (failed) why = std::strerror(errno);
    std::fclose(in);
    return !failed;
}
