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

// Compiles one stage from `source`; its log goes to `log`, trimmed of the terminator and of
// line breaks at the end. `raw` gets the log as the driver wrote it and whether it wrote one.
bool compileStage(unsigned object, const std::string& source, std::string& log,
                  std::string* raw = nullptr, bool* any = nullptr);
// Shader stages this process has compiled through compileStage, for the tools' resource log.
unsigned long stagesCompiled();
// Links the program; the same for its log.
bool linkProgram(unsigned program, std::string& log, std::string* raw = nullptr,
                 bool* any = nullptr);
// Fills the convention checks of r from a linked program.
void inspectProgram(unsigned program, program_report& r);

// Compiles and links the two sources (the texts, not paths) on the current context and deletes
// everything it created. Prints nothing and never blocks. Needs a current 3.3 context.
program_report checkProgram(const std::string& vertex_source, const std::string& fragment_source);
