#pragma once
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "gpu/pool.h"
#include "gpu/program_check.h"

// KESTRINE_RESOURCE_LOG=1 has the preview after its first load (reload 0) and each reload, and
// the capture after each frame, say on standard output what they hold, so that a long run can
// be shown to stay flat:
// "kestrine-capture: frame 20: 31 GL objects live, 48212 KiB resident, 4 stages compiled". The
// GL objects are those the scenes' pools hold; the stages, every shader stage compiled so far.

inline bool resourceLogWanted() {
    static const bool wanted = [] {
        const char* v = std::getenv("KESTRINE_RESOURCE_LOG");
        return v && std::strcmp(v, "1") == 0;
    }();
    return wanted;
}

// Resident memory in KiB, from /proc; -1 where it cannot be read.
inline long residentKib() {
    long pages = -1, resident = -1;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = -1;
        std::fclose(f);
    }
    return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// "program: event n: ..." when KESTRINE_RESOURCE_LOG asks for it.
inline void logResources(const char* program, const char* event, long n) {
    if (!resourceLogWanted()) return;
    std::printf("%s: %s %ld: %ld GL objects live, %ld KiB resident, %lu stages compiled\n", program,
                event, n, gl_pool::liveInAllPools(), residentKib(), stagesCompiled());
    std::fflush(stdout);
}
