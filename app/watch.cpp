// Watching files: see watch.h.
#include "app/watch.h"

#include <algorithm>

#include <sys/stat.h>

void file_watch::add(const std::string& path) {
    if (std::find(paths.begin(), paths.end(), path) != paths.end()) return;
    paths.push_back(path);
    stamps.push_back(take(path));
}

void file_watch::update(const file_watch& newer) {
    for (std::size_t i = 0; i < newer.paths.size(); ++i) {
        const auto at = std::find(paths.begin(), paths.end(), newer.paths[i]);
        if (at == paths.end()) {
            paths.push_back(newer.paths[i]);
            stamps.push_back(newer.stamps[i]);
        } else {
            stamps[std::size_t(at - paths.begin())] = newer.stamps[i];
        }
    }
}

bool file_watch::changed() {
    bool any = false;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const stamp now = take(paths[i]);
        if (now == stamps[i]) continue;
        stamps[i] = now;
        any = true;
    }
    return any;
}

file_watch::stamp file_watch::take(const std::string& path) {
    struct stat st;
    stamp s;
    if (stat(path.c_str(), &st) != 0) return s;
    s.exists = true;
    s.seconds = st.st_mtim.tv_sec;
    s.nanoseconds = st.st_mtim.tv_nsec;
    s.size = st.st_size;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    return s;
}
