#pragma once
#include <string>
#include <vector>

// Compiling and linking a vertex and a fragment source on the current context, to tell a scene's
// author what the player's program loading would only print: whether each step worked, the
// driver's logs, and whether the program meets the drawing's conventions.

// What the driver made of one program. Prints nothing and never blocks.
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
};

// What failed, each as one message naming the file and what the player does, then the
// driver's log with a place on every line: "\"v.vert\" does not compile, so its models are not
// drawn:\nv.vert:11:2: error: ...". Log lines that name no line of a source (a link log's)
// start with `where`, the place of the shader element ("scene.xml:4"). Empty when the program
// compiled and linked.
std::vector<std::string> programFailures(const program_report& r, const std::string& vertex_path,
                                         const std::string& fragment_path,
                                         const std::string& where = "");

// The errors of a driver's compile log, one message each, with the file's line where the log
// gives one: "\"f.frag\" line 5: <what the driver says>". Warnings are left out. Reads the
// forms of Mesa ("0:5(12): error: ..."), ANGLE ("ERROR: 0:5: ...") and NVIDIA
// ("0(5) : error C1234: ...").
std::vector<std::string> logErrors(const std::string& log, const std::string& path);

// Compiles and links the two sources (the texts, not paths) on the current context and deletes
// everything it created. Needs a current 3.3 context.
program_report checkProgram(const std::string& vertex_source, const std::string& fragment_source);
