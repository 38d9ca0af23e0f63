// Program checks on the driver: see program_check.h.
#include "gpu/program_check.h"

#include <GL/glew.h>

#include <algorithm>
#include <atomic>
#include <iterator>

#include "formats/trace.h"

namespace {

std::atomic<unsigned long> compiled{0};

// The object's log without its terminator and the line breaks drivers often end it with. With
// `print`, it goes to the asset trace the moment it is fetched, as the driver wrote it: a length
// of 1 (the terminator alone) prints an empty line.
template <typename Query, typename Fetch>
std::string fetchLog(GLuint object, Query query, Fetch fetch, bool print) {
    GLint length = 0;
    query(object, GL_INFO_LOG_LENGTH, &length);
    std::string text(std::size_t(std::max(length, 0)), '\0');
    if (length > 0) fetch(object, length, nullptr, text.data());
    text.resize(std::min(text.find('\0'), text.size()));
    if (print && length > 0) traceOut("%s\n", text.c_str());
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

bool compileStage(GLuint object, const char* path, const std::string& source, std::string& log) {
    ++compiled;
    if (path) traceOut("Compiling shader : %s\n", path);
    const char* text = source.c_str();
    glShaderSource(object, 1, &text, nullptr);
    glCompileShader(object);
    GLint ok = GL_FALSE;
    glGetShaderiv(object, GL_COMPILE_STATUS, &ok);
    log = fetchLog(object, glGetShaderiv, glGetShaderInfoLog, path != nullptr);
    return ok == GL_TRUE;
}

// What the drawing sets on every program it draws with.
const char* const kSetUniforms[] = {"MVP",         "model",      "view",     "projection",
                                    "objectColor", "lightColor", "lightPos", "viewPos"};

// Samplers are set by texture units, not by the drawing.
const GLenum kSamplers[] = {GL_SAMPLER_1D,      GL_SAMPLER_2D,        GL_SAMPLER_3D,
                            GL_SAMPLER_CUBE,    GL_SAMPLER_2D_SHADOW, GL_SAMPLER_2D_ARRAY,
                            GL_SAMPLER_2D_RECT, GL_INT_SAMPLER_2D,    GL_UNSIGNED_INT_SAMPLER_2D};

// Each active uniform or vertex input (by count_name) with its index, name and type.
template <typename Each>
void eachActive(GLuint program, GLenum count_name, GLenum length_name, Each each) {
    GLint count = 0, longest = 0;
    glGetProgramiv(program, count_name, &count);
    glGetProgramiv(program, length_name, &longest);
    std::string name(std::size_t(longest > 0 ? longest : 1), '\0');
    for (GLint i = 0; i < count; ++i) {
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        (count_name == GL_ACTIVE_UNIFORMS ? glGetActiveUniform : glGetActiveAttrib)(
            program, GLuint(i), GLsizei(name.size()), &length, &size, &type, name.data());
        each(GLuint(i), std::string(name.data(), std::size_t(length)), type);
    }
}

} // namespace

unsigned long stagesCompiled() {
    return compiled.load();
}

namespace {

void inspectProgram(GLuint program, program_report& r) {
    for (const char* name : {"model", "view", "projection"})
        if (glGetUniformLocation(program, name) < 0) r.missing_uniforms.push_back(name);
    eachActive(program, GL_ACTIVE_UNIFORMS, GL_ACTIVE_UNIFORM_MAX_LENGTH,
               [&](GLuint index, std::string name, GLenum type) {
                   if (name.size() > 3 && name.ends_with("[0]")) name.resize(name.size() - 3);
                   // Members of uniform blocks come from buffers, not from the drawing.
                   GLint block = -1;
                   glGetActiveUniformsiv(program, 1, &index, GL_UNIFORM_BLOCK_INDEX, &block);
                   const bool sampler = std::find(std::begin(kSamplers), std::end(kSamplers),
                                                  type) != std::end(kSamplers);
                   if (sampler || block != -1 || name.rfind("gl_", 0) == 0) return;
                   if (std::find(std::begin(kSetUniforms), std::end(kSetUniforms), name) ==
                       std::end(kSetUniforms))
                       r.unset_uniforms.push_back(name);
               });
    eachActive(program, GL_ACTIVE_ATTRIBUTES, GL_ACTIVE_ATTRIBUTE_MAX_LENGTH,
               [&](GLuint, const std::string& input, GLenum) {
                   // Built-ins such as gl_VertexID are active inputs without a location.
                   if (input.rfind("gl_", 0) == 0) return;
                   const GLint location = glGetAttribLocation(program, input.c_str());
                   if (location != 0 && location != 1 && location != 3)
                       r.misplaced_inputs.push_back(input + " at location " +
                                                    std::to_string(location));
               });
}

} // namespace

unsigned buildProgram(const std::string& vertex_source, const std::string& fragment_source,
                      program_report& r, const char* const* traced) {
    const GLuint vertex = glCreateShader(GL_VERTEX_SHADER);
    const GLuint fragment = glCreateShader(GL_FRAGMENT_SHADER);
    r.vertex_compiled = compileStage(vertex, traced ? traced[0] : nullptr, vertex_source,
                                     r.vertex_log);
    r.fragment_compiled = compileStage(fragment, traced ? traced[1] : nullptr, fragment_source,
                                       r.fragment_log);
    if (traced) traceOut("Linking program\n");
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    r.linked = ok == GL_TRUE;
    r.link_log = fetchLog(program, glGetProgramiv, glGetProgramInfoLog, traced != nullptr);
    if (r.linked) inspectProgram(program, r);
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    return program;
}

program_report checkProgram(const std::string& vertex_source, const std::string& fragment_source) {
    program_report r;
    glDeleteProgram(buildProgram(vertex_source, fragment_source, r));
    return r;
}
