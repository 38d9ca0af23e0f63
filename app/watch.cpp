// Files of a scene and watching them: see watch.h.
#include "app/watch.h"

#include <algorithm>
#include <utility>

#include <sys/stat.h>

#include "scene/scene.h"

std::vector<std::string> namedFiles(const std::string& scenePath, const scene& s) {
    std::vector<std::string> files{scenePath};
    if (!s.sceneElement) return files;
    const struct {
        const char* element;
        const char* attribute;
    } kinds[] = {{"texture", "filename"},
                 {"shader", "vertex"},
                 {"shader", "fragment"},
                 {"mesh", "filename"}};
    for (const tinyxml2::XMLElement* e = s.sceneElement->FirstChildElement(); e;
         e = e->NextSiblingElement()) {
        for (const auto& k : kinds) {
            if (std::string(e->Value()) != k.element) continue;
            const char* path = e->Attribute(k.attribute);
            if (path && std::find(files.begin(), files.end(), path) == files.end())
                files.emplace_back(path);
        }
    }
    return files;
}

file_watch::file_watch(std::vector<std::string> watched) : paths(std::move(watched)) {
    for (const std::string& p : paths)
        stamps.push_back(take(p));
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
