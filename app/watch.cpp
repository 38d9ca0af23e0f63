// Watching files: see watch.h.
#include "app/watch.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

void file_watch::add(const std::string& path) {
    if (std::find(paths.begin(), paths.end(), path) != paths.end()) return;
    paths.push_back(path);
    stamps.push_back(take(path));
}

void file_watch::update(const file_watch& newer) {
    for (std::size_t i = 0; i < newer.paths.size(); ++i) {
        const auto at = std::find(paths.begin(), paths.end(), newer.paths[i]) - paths.begin();
        if (std::size_t(at) == paths.size()) {
            paths.push_back(newer.paths[i]);
            stamps.emplace_back();
        }
        stamps[std::size_t(at)] = newer.stamps[i];
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

folder_events::folder_events() : fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

folder_events::~folder_events() {
    if (fd >= 0) close(fd);
}

bool folder_events::watch(const std::vector<std::string>& files) {
    if (fd < 0) return false;
    watching = true;
    for (const std::string& file : files) {
        const std::filesystem::path path(file);
        std::string folder = path.parent_path().string();
        if (folder.empty()) folder = ".";
        // What a save can do to a file: write it in place, rename a new one over it, remove it.
        const int wd = inotify_add_watch(fd, folder.c_str(),
                                         IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE |
                                             IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM);
        if (wd < 0) {
            whole = false; // a missing folder, or no watches left: polled
            continue;
        }
        names[wd].insert(path.filename().string());
    }
    return whole;
}

bool folder_events::heard() {
    if (fd < 0) return false;
    bool any = false;
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + e->len);
            if (e->mask & IN_Q_OVERFLOW) {
                any = true;
            } else if (e->mask & IN_IGNORED) {
                // The folder went away: its files are polled from now on.
                names.erase(e->wd);
                whole = false;
                any = true;
            } else if (e->len > 0) {
                const auto watched = names.find(e->wd);
                any = any || (watched != names.end() && watched->second.count(e->name) > 0);
            }
        }
    }
    return any;
}

void folder_events::settle(double quiet, double most) {
    using clock = std::chrono::steady_clock;
    const auto until = clock::now() + std::chrono::duration<double>(most);
    pollfd ready{fd, POLLIN, 0};
    while (fd >= 0 && clock::now() < until) {
        const int waited = poll(&ready, 1, int(quiet * 1000.0 + 0.5));
        if (waited == 0) return; // quiet for long enough
        if (waited < 0 && errno != EINTR) return;
        heard();
    }
}
