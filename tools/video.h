#pragma once
#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>

// A child process fed through its standard input: ffmpeg turning raw frames into a video.
class video_pipe {
public:
    // How long the process is given, from the moment a stop is first seen, to take the frames
    // still to come and end by itself; then its process group is killed.
    static constexpr std::chrono::seconds kGrace{1};

    // `stopping` says that the program was asked to stop; it is read on any thread.
    explicit video_pipe(std::function<bool()> stopping = [] { return false; })
        : stopping(std::move(stopping)) {}
    // A pipe still open is closed and its process waited for.
    ~video_pipe();
    video_pipe(const video_pipe&) = delete;
    video_pipe& operator=(const video_pipe&) = delete;

    // Starts argv[0], looked up in PATH, with these arguments (no shell sees them), in a
    // process group of its own, with every signal's default action, and killed if this
    // process dies first (where Linux allows it).
    bool start(const std::vector<std::string>& argv, std::string& why);
    bool running() const { return pid > 0; }
    // Writes all bytes; false when the process has gone (SIGPIPE must be ignored), or has not
    // taken them within the grace after a stop.
    bool write(const unsigned char* data, std::size_t size, std::string& why);
    // Closes its input and waits; false unless it exited with status 0. After a stop, waits
    // only until the grace ends, then kills its process group.
    bool finish(std::string& why);

private:
    using clock = std::chrono::steady_clock;
    // True once the grace after a stop is over; the grace starts the first time a stop is seen.
    bool pastGrace();

    std::function<bool()> stopping;
    std::atomic<clock::rep> give_up_at{0}; // the grace's end, 0 until a stop is seen
    pid_t pid = -1;
    int input = -1; // our end of the pipe
};
