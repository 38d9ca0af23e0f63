// GLSL programs: see shader.h.
#include "gpu/shader.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "formats/files.h"
#include "platform/gl_target.h"

namespace {

// Prints an info log the moment it is fetched; a length of 1 (the terminator alone) prints an
// empty line.
template <typename Query, typename Fetch> void printLog(GLuint object, Query query, Fetch fetch) {
    GLint length = 0;
    query(object, GL_INFO_LOG_LENGTH, &length);
    if (length <= 0) return;
    std::vector<char> log(std::size_t(length) + 1, '\0');
    fetch(object, length, nullptr, log.data());
    std::printf("%s\n", log.data());
}

void compile(GLuint object, const char* path, const std::string& source) {
    std::printf("Compiling shader : %s\n", path);
    const std::string target = shaderSourceFor(source);
    const char* text = target.c_str();
    glShaderSource(object, 1, &text, nullptr);
    glCompileShader(object);
    printLog(object, glGetShaderiv, glGetShaderInfoLog);
}

} // namespace

GLuint LoadShaders(const char* vertex_file_path, const char* fragment_file_path) {
    const GLuint vertex = glCreateShader(GL_VERTEX_SHADER);
    const GLuint fragment = glCreateShader(GL_FRAGMENT_SHADER);

    std::string vertex_source, why;
    if (!readWholeFile(vertex_file_path, vertex_source, why)) {
        std::printf("Impossible to open %s. Are you in the right directory ? Don't forget to read "
                    "the FAQ !\n",
                    vertex_file_path);
        // Nothing will ever use them, and the context outlives every scene load.
        glDeleteShader(vertex);
        glDeleteShader(fragment);
        return 0;
    }
    std::string fragment_source; // stays empty when the file is missing, without a message
    readWholeFile(fragment_file_path, fragment_source, why);

    compile(vertex, vertex_file_path, vertex_source);
    compile(fragment, fragment_file_path, fragment_source);

    std::printf("Linking program\n");
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    printLog(program, glGetProgramiv, glGetProgramInfoLog);

    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    return program;
}

shader::shader(std::string vertex_path, std::string fragment_path)
    : shader(0, std::move(vertex_path), std::move(fragment_path)) {}

shader::shader(int number, std::string vertex_path, std::string fragment_path) : number(number) {
    program_id = LoadShaders(vertex_path.c_str(), fragment_path.c_str());
    // Program 0 has no uniforms; asking would only leave GL_INVALID_VALUE behind.
    if (program_id == 0) return;
    mvp_location = glGetUniformLocation(program_id, "MVP");
    model_location = glGetUniformLocation(program_id, "model");
    view_location = glGetUniformLocation(program_id, "view");
    projection_location = glGetUniformLocation(program_id, "projection");
    sampler_location = glGetUniformLocation(program_id, "myTextureSampler");
}
