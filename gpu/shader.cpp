// GLSL programs: see shader.h.
#include "gpu/shader.h"

#include <utility>

#include "formats/files.h"
#include "formats/trace.h"
#include "platform/gl_target.h"

namespace {

// Each info log is printed the moment it is fetched; a length of 1 (the terminator alone) prints
// an empty line.
bool compile(GLuint object, const char* path, const std::string& source, std::string& log) {
    traceOut("Compiling shader : %s\n", path);
    std::string raw;
    bool any = false;
    const bool ok = compileStage(object, shaderSourceFor(source), log, &raw, &any);
    if (any) traceOut("%s\n", raw.c_str());
    return ok;
}

} // namespace

GLuint LoadShaders(const char* vertex_file_path, const char* fragment_file_path,
                   program_build* build) {
    program_build local;
    program_build& b = build ? *build : local;
    b.vertex_read = readWholeFile(vertex_file_path, b.vertex_source, b.why);
    if (!b.vertex_read) {
        traceOut("Impossible to open %s. Are you in the right directory ? Don't forget to read "
                 "the FAQ !\n",
                 vertex_file_path);
        return 0;
    }
    // The fragment source stays empty when the file is missing, without a message.
    b.fragment_read = readWholeFile(fragment_file_path, b.fragment_source, b.why);
    const GLuint vertex = glCreateShader(GL_VERTEX_SHADER);
    const GLuint fragment = glCreateShader(GL_FRAGMENT_SHADER);
    program_report& r = b.report;
    r.vertex_compiled = compile(vertex, vertex_file_path, b.vertex_source, r.vertex_log);
    r.fragment_compiled = compile(fragment, fragment_file_path, b.fragment_source, r.fragment_log);

    traceOut("Linking program\n");
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    std::string raw;
    bool any = false;
    r.linked = linkProgram(program, r.link_log, &raw, &any);
    if (any) traceOut("%s\n", raw.c_str());
    if (build && r.linked) inspectProgram(program, r);

    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    return program;
}

shader::shader(std::string vertex_path, std::string fragment_path, program_build* build)
    : shader(0, std::move(vertex_path), std::move(fragment_path), build) {}

shader::shader(int number, std::string vertex_path, std::string fragment_path, program_build* build)
    : number(number) {
    program_id = LoadShaders(vertex_path.c_str(), fragment_path.c_str(), build);
    // Program 0 has no uniforms; asking would only leave GL_INVALID_VALUE behind.
    if (program_id == 0) return;
    mvp_location = glGetUniformLocation(program_id, "MVP");
    model_location = glGetUniformLocation(program_id, "model");
    view_location = glGetUniformLocation(program_id, "view");
    projection_location = glGetUniformLocation(program_id, "projection");
    sampler_location = glGetUniformLocation(program_id, "myTextureSampler");
}
