// The asset loaders' trace: see trace.h.
#include "formats/trace.h"

#include <cstdarg>

namespace {
thread_local std::FILE* asset_trace = stdout;
}

std::FILE* setAssetTrace(std::FILE* out) {
    std::FILE* before = asset_trace;
    asset_trace = out;
    return before;
}

void traceOut(const char* format, ...) {
    if (!asset_trace) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(asset_trace, format, args);
    va_end(args);
}
