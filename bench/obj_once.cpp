// One reading of one OBJ file in a fresh process, for bench/obj_compare.py and
// bench/obj_rounds.py: prints the reader, the wall time and the CPU time of all threads in
// seconds, the peak resident memory in MB, the corners read, a hash of the three lists, the
// system part of the CPU time and the page faults. "churn MB" instead allocates, touches and
// frees that much memory, as another program might between two readings.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/tinyobj_lists.h"
#include "formats/obj.h"
#include "tests/obj_oracle.h"

namespace {

// What the machine allows: the file's bytes into memory of our own, and every line break found.
bool readAndFindLines(const char* path, lists& l) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0) return false;
    struct stat st {};
    fstat(fd, &st);
    const auto size = static_cast<std::size_t>(st.st_size);
    void* m = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) return false;
    madvise(m, size, MADV_HUGEPAGE);
    char* data = static_cast<char*>(m);
    std::size_t got = 0;
    for (ssize_t n = 0; got < size && (n = read(fd, data + got, size - got)) > 0;)
        got += static_cast<std::size_t>(n);
    close(fd);
    std::size_t lines = 0;
    for (const char *p = data, *e = data + got;
         (p = static_cast<const char*>(std::memchr(p, '\n', std::size_t(e - p)))); ++p)
        ++lines;
    l.positions.resize(lines / 1000000000); // keeps the count alive
    munmap(m, size);
    return true;
}

// Memory written once and handed back to the system.
bool churn(std::size_t megabytes) {
    const std::size_t size = megabytes << 20;
    void* m = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) return false;
    std::memset(m, 1, size);
    munmap(m, size);
    return true;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

template <class T> std::uint64_t hash(const std::vector<T>& v, std::uint64_t h) {
    const auto* p = reinterpret_cast<const unsigned char*>(v.data());
    for (std::size_t i = 0; i < v.size() * sizeof(T); ++i)
        h = (h ^ p[i]) * 1099511628211u;
    return h;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: %s memchr|loadOBJ|loadOBJ-1|fscanf|tinyobjloader FILE | churn MB\n",
                     argv[0]);
        return 2;
    }
    const std::string reader = argv[1];
    const char* path = argv[2];
    lists l;
    bool ok = false;
    const double cpuStart = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    if (reader == "churn") {
        ok = churn(std::strtoull(path, nullptr, 10));
    } else if (reader == "memchr") {
        ok = readAndFindLines(path, l);
    } else if (reader == "loadOBJ" || reader == "loadOBJ-1") {
        std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
        obj_threads threads;
        threads.threads = reader == "loadOBJ-1" ? 1 : 0;
        ok = quiet && loadOBJ(path, l.positions, l.uvs, l.normals, threads);
    } else if (reader == "fscanf") {
        if (std::FILE* in = std::fopen(path, "r")) {
            ok = oracleReadOBJ(in, l.positions, l.uvs, l.normals);
            std::fclose(in);
        }
    } else if (reader == "tinyobjloader") {
        ok = readTinyobj(path, l);
    } else {
        std::fprintf(stderr, "unknown reader %s\n", reader.c_str());
        return 2;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = cpuSeconds() - cpuStart;
    if (!ok) {
        std::fprintf(stderr, "%s: %s failed\n", path, reader.c_str());
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const std::uint64_t h = hash(l.normals, hash(l.uvs, hash(l.positions, 14695981039346656037u)));
    std::fprintf(
        stderr, "%s %.6f %.6f %.1f %zu %016llx %.6f %ld\n", reader.c_str(), seconds, cpu,
        double(usage.ru_maxrss) / 1024.0, l.positions.size(), static_cast<unsigned long long>(h),
        double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6, usage.ru_minflt);
    return 0;
}
