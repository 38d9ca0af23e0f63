// Program checks on the driver: see program_check.h.
#include "gpu/program_check.h"

#include <GL/glew.h>

#include <algorithm>
#include <atomic>
#include <iterator>

namespace {

std::atomic<unsigned long> compiled{0};

template <typename Query, typename Fetch>
void fetchLog(GLuint object, Query query, Fetch fetch, std::string& log, std::string* raw,
              bool* any) {
    GLint length = 0;
    query(object, GL_INFO_LOG_LENGTH, &length);
    if (any) *any = length > 0;
    std::string text(std::size_t(std::max(length, 0)), '\0');
    if (length > 0) fetch(object, length, nullptr, text.data());
    text.resize(std::min(text.find('\0'), text.size()));
    if (raw) *raw = text;
    // Drivers often end the text with a line break.
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    log = std::move(text);
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

bool compileStage(unsigned object, const std::string& source, std::string& log, std::string* raw,
                  bool* any) {
    ++compiled;
    const char* text = source.c_str();
    glShaderSource(object, 1, &text, nullptr);
    glCompileShader(object);
    GLint ok = GL_FALSE;
    glGetShaderiv(object, GL_COMPILE_STATUS, &ok);
    fetchLog(object, glGetShaderiv, glGetShaderInfoLog, log, raw, any);
    return ok == GL_TRUE;
}

bool linkProgram(unsigned program, std::string& log, std::string* raw, bool* any) {
    glLinkProgram(program);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    fetchLog(program, glGetProgramiv, glGetProgramInfoLog, log, raw, any);
    return ok == GL_TRUE;
}

void inspectProgram(unsigned program, program_report& r) {
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

program_report checkProgram(const std::string& vertex_source, const std::string& fragment_source) {
    program_report r;
    const GLuint vertex = glCreateShader(GL_VERTEX_SHADER);
    const GLuint fragment = glCreateShader(GL_FRAGMENT_SHADER);
    r.vertex_compiled = compileStage(vertex, vertex_source, r.vertex_log);
    r.fragment_compiled = compileStage(fragment, fragment_source, r.fragment_log);

    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    r.linked = linkProgram(program, r.link_log);
    if (r.linked) inspectProgram(program, r);

    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    glDeleteProgram(program);
    return r;
}
