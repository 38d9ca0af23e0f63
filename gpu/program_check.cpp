// Program checks on the driver: see program_check.h.
#include "gpu/program_check.h"

#include <GL/glew.h>

#include <cctype>
#include <sstream>

#include "formats/driver_log.h"

namespace {

template <typename Query, typename Fetch>
std::string fetchLog(GLuint object, Query query, Fetch fetch) {
    GLint length = 0;
    query(object, GL_INFO_LOG_LENGTH, &length);
    if (length <= 0) return {};
    std::string log(std::size_t(length), '\0');
    fetch(object, length, nullptr, log.data());
    // Drivers count the terminator and often end the text with a line break.
    while (!log.empty() && (log.back() == '\0' || log.back() == '\n'))
        log.pop_back();
    return log;
}

bool compile(GLuint object, const std::string& source, std::string& log) {
    const char* text = source.c_str();
    glShaderSource(object, 1, &text, nullptr);
    glCompileShader(object);
    GLint ok = GL_FALSE;
    glGetShaderiv(object, GL_COMPILE_STATUS, &ok);
    log = fetchLog(object, glGetShaderiv, glGetShaderInfoLog);
    return ok == GL_TRUE;
}

void inspect(GLuint program, program_report& r) {
    for (const char* name : {"model", "view", "projection"})
        if (glGetUniformLocation(program, name) < 0) r.missing_uniforms.push_back(name);

    GLint count = 0, longest = 0;
    glGetProgramiv(program, GL_ACTIVE_ATTRIBUTES, &count);
    glGetProgramiv(program, GL_ACTIVE_ATTRIBUTE_MAX_LENGTH, &longest);
    std::string name(std::size_t(longest > 0 ? longest : 1), '\0');
    for (GLint i = 0; i < count; ++i) {
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        glGetActiveAttrib(program, GLuint(i), GLsizei(name.size()), &length, &size, &type,
                          name.data());
        const std::string input(name.data(), std::size_t(length));
        // Built-ins such as gl_VertexID are active inputs without a location.
        if (input.rfind("gl_", 0) == 0) continue;
        const GLint location = glGetAttribLocation(program, input.c_str());
        if (location != 0 && location != 1 && location != 3)
            r.misplaced_inputs.push_back(input + " at location " + std::to_string(location));
    }
}

// Reads digits at `at`, moving past them; -1 without any.
long digits(const std::string& s, std::size_t& at) {
    long n = -1;
    for (; at < s.size() && std::isdigit(static_cast<unsigned char>(s[at])); ++at)
        if (n < 100000000) n = (n < 0 ? 0 : n * 10) + (s[at] - '0');
    return n;
}

bool startsWith(const std::string& s, std::size_t at, const char* prefix) {
    return s.compare(at, std::char_traits<char>::length(prefix), prefix) == 0;
}

} // namespace

std::vector<std::string> logErrors(const std::string& log, const std::string& path) {
    std::vector<std::string> errors;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        std::size_t at = 0;
        bool error = false;
        if (startsWith(line, at, "ERROR: ")) {
            error = true;
            at += 7;
        } else if (startsWith(line, at, "WARNING: ")) {
            continue;
        }
        // The source string's number, then the line: "0:5", "0(5)".
        long number = -1;
        if (digits(line, at) >= 0 && at < line.size() && (line[at] == ':' || line[at] == '(')) {
            ++at;
            number = digits(line, at);
        }
        if (number < 0) {
            if (line.find("error") != std::string::npos)
                errors.push_back("\"" + path + "\": " + line);
            continue;
        }
        // Past the column and the separators to the driver's words.
        if (at < line.size() && line[at] == '(') {
            digits(line, ++at);
            if (at < line.size() && line[at] == ')') ++at;
        }
        if (at < line.size() && line[at] == ')') ++at;
        while (at < line.size() && (line[at] == ' ' || line[at] == ':'))
            ++at;
        std::string what = line.substr(at);
        if (startsWith(what, 0, "warning")) continue;
        if (startsWith(what, 0, "error")) {
            error = true;
            const std::size_t colon = what.find(':');
            what = colon == std::string::npos ? what.substr(5) : what.substr(colon + 1);
            while (!what.empty() && what.front() == ' ')
                what.erase(0, 1);
        }
        if (error)
            errors.push_back("\"" + path + "\" line " + std::to_string(number) + ": " + what);
    }
    return errors;
}

program_report checkProgram(const std::string& vertex_source, const std::string& fragment_source) {
    program_report r;
    const GLuint vertex = glCreateShader(GL_VERTEX_SHADER);
    const GLuint fragment = glCreateShader(GL_FRAGMENT_SHADER);
    r.vertex_compiled = compile(vertex, vertex_source, r.vertex_log);
    r.fragment_compiled = compile(fragment, fragment_source, r.fragment_log);

    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    r.linked = ok == GL_TRUE;
    r.link_log = fetchLog(program, glGetProgramiv, glGetProgramInfoLog);
    if (r.linked) inspect(program, r);

    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    glDeleteProgram(program);
    return r;
}

std::vector<std::string> programFailures(const program_report& r, const std::string& vertex_path,
                                         const std::string& fragment_path,
                                         const std::string& where) {
    const std::string consequence = ", so its models are not drawn:\n";
    std::vector<std::string> failures;
    if (!r.vertex_compiled)
        failures.push_back("\"" + vertex_path + "\" does not compile" + consequence +
                           locateDriverLog(r.vertex_log, vertex_path, where));
    if (!r.fragment_compiled)
        failures.push_back("\"" + fragment_path + "\" does not compile" + consequence +
                           locateDriverLog(r.fragment_log, fragment_path, where));
    if (r.vertex_compiled && r.fragment_compiled && !r.linked)
        failures.push_back("the program does not link" + consequence +
                           locateDriverLog(r.link_log, "", where));
    return failures;
}
