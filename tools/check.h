#pragma once
#include <string>
#include <vector>

#include "scene/scene.h"

// kestrine-check: reads a scene file as the player would, without playing it, and lists what
// would go wrong or look wrong as compiler-style diagnostics, then a short summary.

struct check_options {
    // Compile and link the programs; needs a current 3.3 context. Without one, everything
    // else is still checked.
    bool compile_shaders = false;
};

struct check_result {
    std::vector<diagnostic> diagnostics; // "file:line: error: element: what", by line
    std::vector<std::string> summary;    // lines without a line break
    int errors = 0;
    int warnings = 0;
};

// Checks the scene file at path. Asset paths are taken from the working directory, as the
// player does. Prints nothing, never blocks on standard input.
check_result checkScene(const char* path, const check_options& options);

// The Levenshtein distance between two names, for "did you mean" suggestions.
std::size_t editDistance(const std::string& a, const std::string& b);

// The tool: `kestrine-check SCENE.xml`. Compiles the shaders when a display is reachable.
// Returns 0 without errors, 1 with one, 2 for a wrong command line.
int runCheck(int argc, char** argv);
