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

// What the checker says of a scene loaded already, from what its load recorded: no file is
// read again, and the loader's own messages are not repeated. Names the player does not read
// there (with the closest valid one), numbers it reads otherwise than written, models it
// skips, names without an asset, assets never used, camera gaps and windows; the programs as
// the load built them, and what a browser refuses (as warnings marked for the browser) where
// the load built them for one; the textures' levels as the load read them; and the music,
// from its length as already read (below 0: unreadable; NaN: not known, not said). The preview
// and the studio's problems panel show these on each reload.
std::vector<diagnostic> recordedDiagnostics(const scene& s, const std::string& path,
                                            double musicSeconds);

// A driver's compile or link log, each line at its place in `file` (a link log's, with `file`
// empty, at the program's).
std::vector<driver_note> driverNotes(const std::string& log, const std::string& file);

// The Levenshtein distance between two names, for "did you mean" suggestions.
std::size_t editDistance(const std::string& a, const std::string& b);

// What the checker says of one complete "shader" element of the scene file at path: a vertex or
// fragment file that cannot be read and, with compile (which needs a current context), a
// program that does not compile or link, with the driver's log, and uniforms or inputs that
// the drawing cannot feed or never sets. With web too, what the program's GLSL ES 3.00 rewrite
// adds to that, each error with the file's line.
std::vector<diagnostic> programDiagnostics(const std::string& path, const asset_record& a,
                                           bool compile, bool web = false);
// The same from a build made already (the load's), and its browser build if there is one.
std::vector<diagnostic> programDiagnostics(const std::string& path, const asset_record& a,
                                           const program_build& built,
                                           const std::optional<program_report>& browser);
