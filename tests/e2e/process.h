#pragma once
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

// Running a program of ours through the shell and reading what it left, for end-to-end tests.
namespace e2e {

struct run_result {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Runs a shell command whose standard output and error go to the two files, then reads them.
inline run_result runShell(const std::string& cmd, const std::string& out, const std::string& err) {
    const int raw = std::system(cmd.c_str());
    run_result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

// What a shell command prints on standard output.
inline std::string output(const std::string& cmd) {
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

using test_clock = std::chrono::steady_clock;

// Polls until `ready` holds, up to `seconds`; the deadlines are for a loaded machine.
template <class F> bool waitFor(F ready, double seconds = 60.0) {
    const auto deadline = test_clock::now() + std::chrono::duration<double>(seconds);
    while (!ready()) {
        if (test_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

inline bool waitForText(const std::string& file, const std::string& text, double seconds = 60.0) {
    return waitFor([&] { return slurp(file).find(text) != std::string::npos; }, seconds);
}

// A shell command started as from a shell: `exec` in it makes the program the process itself.
// It leads a process group of its own, or with `terminal` a session whose controlling terminal
// and standard input is a pseudo-terminal; the whole group is killed when the object goes,
// pass or fail, so that nothing outlives a test.
class child {
public:
    explicit child(const std::string& command, bool terminal = false) {
        if (terminal) {
            id = forkpty(&master, nullptr, nullptr, nullptr);
        } else {
            id = fork();
            if (id == 0) setpgid(0, 0);
        }
        if (id == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        if (id > 0 && !terminal) setpgid(id, id); // whichever of the two runs first
    }
    ~child() {
        if (id > 0) {
            kill(-id, SIGKILL);
            if (!ended) waitpid(id, nullptr, 0);
        }
        if (master >= 0) close(master);
    }
    child(const child&) = delete;
    child& operator=(const child&) = delete;

    pid_t pid() const { return id; }
    // Ctrl+C typed on the terminal: the line discipline signals the foreground group.
    void typeInterrupt() const {
        const char ctrlC = '\x03';
        if (master >= 0) (void)!::write(master, &ctrlC, 1);
    }
    void signal(int sig) const { kill(id, sig); }
    void signalGroup(int sig) const { kill(-id, sig); }

    // The wait status once the process ends within `seconds`, or -1.
    int wait(double seconds = 60.0) {
        if (!ended) ended = waitFor([&] { return waitpid(id, &status, WNOHANG) == id; }, seconds);
        return ended ? status : -1;
    }

private:
    pid_t id = -1;
    int master = -1;
    int status = -1;
    bool ended = false;
};

} // namespace e2e
