#pragma once
#include <string>
#include <vector>

class scene;

// The scene file's path followed by every file the scene names (textures, shader sources,
// meshes), each once, in document order; paths as written, relative to the working folder.
std::vector<std::string> namedFiles(const std::string& scenePath, const scene& s);

// Notices changes to a set of files by polling: a new modification time, size or file
// (as an editor that saves by renaming leaves), a file appearing or going away.
class file_watch {
public:
    file_watch() = default;
    explicit file_watch(std::vector<std::string> paths);

    // True when any file changed since construction or the last call that returned true.
    bool changed();

    const std::vector<std::string>& files() const { return paths; }

private:
    struct stamp {
        bool exists = false;
        long long seconds = 0;
        long long nanoseconds = 0;
        long long size = 0;
        unsigned long long device = 0;
        unsigned long long inode = 0;
        bool operator==(const stamp&) const = default;
    };
    static stamp take(const std::string& path);

    std::vector<std::string> paths;
    std::vector<stamp> stamps; // one per path, as last seen
};
