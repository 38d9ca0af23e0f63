#pragma once
#include <string>
#include <vector>

#include "scene/scene.h"

// What kestrine-check says of a scene file: what would go wrong or look wrong when the player
// plays it, as compiler-style diagnostics, then a short summary.

struct check_options {
    // Compile and link the programs; needs a current 3.3 context. Without one, everything
    // else is still checked.
    bool compile_shaders = false;
    // Also as a web browser takes the scene: the programs compiled as GLSL ES 3.00 (the web
    // build's rewrite of them) and every DDS level against WebGL's S3TC sizes, as errors.
    bool web = false;
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

// What the checker says of a scene loaded already, from what its load recorded alone: no file
// is read again, and the loader's own messages are not repeated. Names the player does not
// read there (with the closest valid one), numbers it reads otherwise than written, models it
// skips, names without an asset, assets never used, camera gaps and windows. The preview
// prints these on each reload.
std::vector<diagnostic> recordedDiagnostics(const scene& s, const std::string& path);

// The Levenshtein distance between two names, for "did you mean" suggestions.
std::size_t editDistance(const std::string& a, const std::string& b);

// One message as the checker words it: "path:line: error: element: what".
diagnostic makeDiagnostic(diagnostic::kind severity, const std::string& path, int line,
                          const std::string& element, const std::string& what);

// What the checker says of one complete "shader" element of the scene file at path: a vertex or
// fragment file that cannot be read and, with compile (which needs a current context), a
// program that does not compile or link, with the driver's log, and uniforms or inputs that
// the drawing cannot feed. With web too, what the program's GLSL ES 3.00 rewrite adds to
// that, each error with the file's line.
std::vector<diagnostic> programDiagnostics(const std::string& path, const asset_record& a,
                                           bool compile, bool web = false);
