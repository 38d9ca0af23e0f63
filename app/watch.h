#pragma once
#include <map>
#include <set>
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

// Hears of writes, renames and removals in the folders of a set of files through inotify, so
// that a save is seen as it lands (editors often save by writing a new file and renaming it
// over the old one, which only the folder sees). The stamps of a file_watch still say what
// changed; where inotify cannot be had, or a folder cannot be watched (watches run out), the
// caller polls.
class folder_events {
public:
    folder_events();
    ~folder_events();
    folder_events(const folder_events&) = delete;
    folder_events& operator=(const folder_events&) = delete;

    // Watches the folders of these files too. False when some folder cannot be watched: every
    // file is then to be polled.
    bool watch(const std::vector<std::string>& files);
    // Whether every file given so far is heard of.
    bool complete() const { return fd >= 0 && watching && whole; }
    // Reads what has come without waiting; true when something came for one of the files (or
    // events were lost, or a folder went away).
    bool heard();
    // Waits until no event of any kind has come for `quiet` seconds (a save's writes have
    // settled), but no longer than `most` seconds in all; what comes meanwhile is read.
    void settle(double quiet, double most);

private:
    int fd = -1;
    bool watching = false; // watch() was called
    bool whole = true;
    std::map<int, std::set<std::string>> names; // per watch: the files' names in its folder
};
