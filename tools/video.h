#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include <sys/types.h>

// A child process fed through its standard input: ffmpeg turning raw frames into a video.
class video_pipe {
public:
    video_pipe() = default;
    // A pipe still open is closed and its process waited for.
    ~video_pipe();
    video_pipe(const video_pipe&) = delete;
    video_pipe& operator=(const video_pipe&) = delete;

    // Starts argv[0], looked up in PATH, with these arguments (no shell sees them), in a
    // process group of its own and with every signal's default action.
    bool start(const std::vector<std::string>& argv, std::string& why);
    bool running() const { return pid > 0; }
    // Writes all bytes; false when the process has gone (SIGPIPE must be ignored).
    bool write(const unsigned char* data, std::size_t size, std::string& why);
    // Closes its input and waits; false unless it exited with status 0.
    bool finish(std::string& why);

private:
    pid_t pid = -1;
    int input = -1; // our end of the pipe
};
