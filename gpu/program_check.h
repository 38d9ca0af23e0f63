#pragma once
#include <string>
#include <vector>

// What the driver made of a program built from a vertex and a fragment source: whether each
// step worked, the driver's logs, and whether the program meets the drawing's conventions.
// Results, not sentences: the tools word them.
struct program_report {
    bool vertex_compiled = false;
    bool fragment_compiled = false;
    bool linked = false;
    std::string vertex_log; // the driver's logs, as written (may be empty)
    std::string fragment_log;
    std::string link_log;
    std::vector<std::string> missing_uniforms; // of "model", "view", "projection", when linked
    // Active vertex inputs at a location other than 0, 1 or 3: "name at location n".
    std::vector<std::string> misplaced_inputs;
    // Active uniforms the drawing never sets (samplers aside, which keep texture unit 0).
    std::vector<std::string> unset_uniforms;
};

// Shader stages this process has compiled, for the tools' resource log.
unsigned long stagesCompiled();

// Compiles the two sources (the texts, not paths) and links them on the current context, with
// what the driver made of it in r; returns the program, its stages deleted. With `traced`
// (the vertex and fragment paths), prints "Compiling shader : <path>" for each stage, "Linking
// program", and every log as the driver writes it, to the asset trace.
unsigned buildProgram(const std::string& vertex_source, const std::string& fragment_source,
                      program_report& r, const char* const* traced = nullptr);

// Compiles and links the two sources (the texts, not paths) on the current context and deletes
// everything it created. Prints nothing and never blocks. Needs a current 3.3 context.
program_report checkProgram(const std::string& vertex_source, const std::string& fragment_source);
