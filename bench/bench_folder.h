#pragma once
// The benchmarks' generated files (meshes of a million triangles, made once and kept) live in
// a folder of the user's own under TMPDIR, not under fixed names in a shared /tmp where anyone
// could have put a link to a file of ours first. bench/bench_folder.py gives the same folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

// The folder, made when missing; empty when it is not a folder of ours alone.
inline std::string benchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/kestrine-bench-" +
                               std::to_string(getuid());
    mkdir(folder.c_str(), 0700);
    struct stat st;
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
        (st.st_mode & 077) != 0)
        return "";
    return folder;
}
