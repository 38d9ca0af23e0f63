// GLSL programs: see shader.h.
#include "gpu/shader.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#ifdef __EMSCRIPTEN__
#include "gpu/glsl_es.h"
#endif

namespace {

bool readWhole(const char* path, std::string& out) {
    std::ifstream in(path, std::ios::in);
    if (!in.is_open()) return false;
    std::stringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

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
#ifdef __EMSCRIPTEN__
    const std::string es = toGlslEs(source);
    const char* text = es.c_str();
#else
    const char* text = source.c_str();
#endif
    glShaderSource(object, 1, &text, nullptr);
    glCompileShader(object);
    printLog(object, glGetShaderiv, glGetShaderInfoLog);
}

} // namespace

GLuint LoadShaders(const char* vertex_file_path, const char* fragment_file_path) {
    const GLuint vertex = glCreateShader(GL_VERTEX_SHADER);
    const GLuint fragment = glCreateShader(GL_FRAGMENT_SHADER);

    std::string vertex_source;
    if (!readWhole(vertex_file_path, vertex_source)) {
        std::printf("Impossible to open %s. Are you in the right directory ? Don't forget to read "
                    "the FAQ !\n",
                    vertex_file_path);
        // Nothing will ever use them, and the context outlives every scene load.
        glDeleteShader(vertex);
        glDeleteShader(fragment);
        return 0;
    }
    std::string fragment_source; // stays empty when the file is missing, without a message
    readWhole(fragment_file_path, fragment_source);

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
