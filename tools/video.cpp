// Feeding a child process: see video.h.
#include "tools/video.h"

#include <cerrno>
#include <cstring>

#include <csignal>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

video_pipe::~video_pipe() {
    std::string ignored;
    if (running()) finish(ignored);
}

bool video_pipe::start(const std::vector<std::string>& argv, std::string& why) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        why = std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // A process group of its own: Ctrl+C and a scheduler's cancel reach the whole foreground
    // group, and the capture, not the signal, decides when the video ends (by closing the
    // pipe), so that the file is finished properly. What we ignore or block is not passed on.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF |
                                              POSIX_SPAWN_SETSIGMASK);
    const int failed = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[0]);
    if (failed != 0) {
        why = "cannot start " + argv[0] + " (" + std::strerror(failed) + ")";
        close(ends[1]);
        pid = -1;
        return false;
    }
    input = ends[1];
    return true;
}

bool video_pipe::write(const unsigned char* data, std::size_t size, std::string& why) {
    while (size > 0) {
        const ssize_t n = ::write(input, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = std::strerror(errno);
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

bool video_pipe::finish(std::string& why) {
    if (input >= 0) close(input);
    input = -1;
    int status = 0;
    pid_t waited;
    while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    pid = -1;
    if (waited < 0) {
        why = std::strerror(errno);
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    why = WIFEXITED(status) ? "exited with status " + std::to_string(WEXITSTATUS(status))
                            : "ended by signal " + std::to_string(WTERMSIG(status));
    return false;
}
