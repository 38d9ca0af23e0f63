#pragma once
#include <cstdio>

// Where the asset loaders print their part of the loading trace: standard output unless the
// scene that loads them says otherwise. Per thread, so a tool loading quietly on one thread does
// not silence a load on another.

// Sends the loaders' trace of this thread to `out` (null: nowhere); returns where it went before.
std::FILE* setAssetTrace(std::FILE* out);

// printf to the asset trace.
void traceOut(const char* format, ...) __attribute__((format(printf, 1, 2)));
