// Feeding a child process: see video.h.
#include "tools/video.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// In the child between fork and exec, so only async-signal-safe calls. Reports exec's errno
// through `report`, whose end closes on a successful exec.
[[noreturn]] void becomeEncoder(char* const* args, int input, int report, pid_t parent) {
    // A process group of its own: Ctrl+C and a scheduler's cancel reach the whole foreground
    // group, and the capture, not the signal, decides when the video ends (by closing the
    // pipe), so that the file is finished properly.
    setpgid(0, 0);
    // Not left running when the capture is killed; the capture might be gone already.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    // What the capture ignores or blocks is not passed on.
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig)
        sigaction(sig, &plain, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (dup2(input, STDIN_FILENO) >= 0) execvp(args[0], args);
    const int failed = errno;
    (void)!::write(report, &failed, sizeof failed);
    _exit(127);
}

} // namespace

video_pipe::~video_pipe() {
    std::string ignored;
    if (running()) finish(ignored);
}

bool video_pipe::start(const std::vector<std::string>& argv, std::string& why) {
    int ends[2], report[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (pipe2(report, O_CLOEXEC) != 0) {
        why = std::strerror(errno);
        close(ends[0]);
        close(ends[1]);
        return false;
    }
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = getpid();
    pid = fork();
    if (pid == 0) becomeEncoder(args.data(), ends[0], report[1], parent);
    if (pid > 0) setpgid(pid, pid); // whichever of the two runs first
    const int forked = errno;
    close(ends[0]);
    close(report[1]);
    int failed = pid < 0 ? forked : 0;
    ssize_t n;
    while (pid > 0 && (n = read(report[0], &failed, sizeof failed)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (failed != 0) {
        if (pid > 0) waitpid(pid, nullptr, 0);
        why = "cannot start " + argv[0] + " (" + std::strerror(failed) + ")";
        close(ends[1]);
        pid = -1;
        return false;
    }
    input = ends[1];
    // Written without blocking, so that a stop is seen while the encoder takes nothing.
    fcntl(input, F_SETFL, O_NONBLOCK);
    return true;
}

bool video_pipe::pastGrace() {
    const clock::rep now = clock::now().time_since_epoch().count();
    clock::rep end = give_up_at.load();
    if (end == 0) {
        if (!stopping()) return false;
        const clock::rep started =
            now + std::chrono::duration_cast<clock::duration>(kGrace).count();
        if (give_up_at.compare_exchange_strong(end, started)) end = started;
    }
    return now >= end;
}

bool video_pipe::write(const unsigned char* data, std::size_t size, std::string& why) {
    while (size > 0) {
        const ssize_t n = ::write(input, data, size);
        if (n > 0) {
            data += n;
            size -= std::size_t(n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            why = n == 0 ? "nothing was written" : std::strerror(errno);
            return false;
        }
        if (pastGrace()) {
            why = "none taken within " + std::to_string(kGrace.count()) + " s of the stop";
            return false;
        }
        pollfd ready{input, POLLOUT, 0};
        poll(&ready, 1, 50);
    }
    return true;
}

bool video_pipe::finish(std::string& why) {
    if (input >= 0) close(input);
    input = -1;
    int status = 0;
    bool killed = false;
    for (;;) {
        const pid_t waited = waitpid(pid, &status, WNOHANG);
        if (waited == pid) break;
        if (waited < 0 && errno != EINTR) {
            why = std::strerror(errno);
            pid = -1;
            return false;
        }
        if (waited == 0 && !killed && pastGrace()) {
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            killed = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid = -1;
    if (killed) {
        why = "did not end within " + std::to_string(kGrace.count()) +
              " s of the stop, so it was killed with its process group";
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    why = WIFEXITED(status) ? "exited with status " + std::to_string(WEXITSTATUS(status))
                            : "ended by signal " + std::to_string(WTERMSIG(status));
    return false;
}
