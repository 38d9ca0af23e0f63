#pragma once
#include <string>
#include <vector>

// Notices changes to a set of files by polling: a new modification time, size or file
// (as an editor that saves by renaming leaves), a file appearing or going away.
class file_watch {
public:
    // Watches path from the state it is in now, unless it is watched already. Called just
    // before a file is read, so that a save landing while it is read is still seen.
    void add(const std::string& path);
    // Takes over newer's files as newer last saw them, keeping the others.
    void update(const file_watch& newer);

    // True when any file changed since construction or the last call that returned true.
    bool changed();

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
