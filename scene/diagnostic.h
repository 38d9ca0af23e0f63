#pragma once
#include <string>
#include <vector>

// A finding about a scene file as data: where it is, how grave, on which element, what is
// wrong and what the player does about it. It becomes text only where it is shown (the
// terminal, the studio's problems panel, the checker's SVG, the web page), through
// wordDiagnostic.

// A place in a file: line and column from 1, 0 where not known.
struct source_point {
    std::string file;
    int line = 0;
    int column = 0;
};

// One line of a driver's compile or link log, at the place in a shader file it names.
struct driver_note {
    source_point at;  // file empty: the program as a whole (a link log's line)
    std::string text; // as the driver words it after the place: "error: syntax error"
};

struct diagnostic {
    enum kind { warning, error };
    kind severity = warning;
    source_point at;      // the scene file, and the line of the element it is about
    std::string element;  // "camera", "shader \"s\""; empty for the file as a whole
    std::string what;     // what is wrong
    std::string effect;   // what the player does about it ("so its models are not drawn")
    std::string hint;     // a suggestion, in parentheses at the end ("did you mean \"X\"?")
    bool browser = false; // what a web browser refuses, where the desktop player does not
    source_point origin;  // where in another file the finding is (a shader's line), if there
    std::vector<driver_note> log; // the driver's words, each line at its own place

    // Where an editor should go for it: its origin, or the first log line's place in a shader
    // file, or the scene file's line.
    source_point place() const;
};

// "file:line: error: element: what, so effect (hint)" and the log's lines under it.
std::string wordDiagnostic(const diagnostic& d);
// "file:line" or "file:line:column" (the file alone at line 0).
std::string wordPlace(const source_point& p);
