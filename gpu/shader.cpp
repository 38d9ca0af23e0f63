// GLSL programs: see shader.h.
#include "gpu/shader.h"

#include <utility>

#include "formats/files.h"
#include "formats/trace.h"
#include "platform/gl_target.h"

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
    const char* const paths[] = {vertex_file_path, fragment_file_path};
    return buildProgram(shaderSourceFor(b.vertex_source), shaderSourceFor(b.fragment_source),
                        b.report, paths);
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
