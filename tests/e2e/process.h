#pragma once
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

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

} // namespace e2e
