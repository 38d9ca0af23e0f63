// Desktop GLSL to GLSL ES 3.00: see glsl_es.h.
#include "formats/glsl_es.h"

#include <algorithm>
#include <cstddef>

namespace {

const char* const kPrecisions =
    "precision highp float; precision highp int; precision highp sampler2D; "
    "precision highp sampler3D; precision highp samplerCube; precision highp sampler2DShadow; "
    "precision highp sampler2DArray;\n";

// The directive a line starts with ("version", "extension", ...), or "" when it is none.
std::string directive(const std::string& s, std::size_t begin, std::size_t end) {
    std::size_t i = s.find_first_not_of(" \t", begin);
    if (i >= end || s[i] != '#') return "";
    i = std::min(s.find_first_not_of(" \t", i + 1), end);
    const std::size_t j = std::min(s.find_first_not_of("abcdefghijklmnopqrstuvwxyz", i), end);
    return s.substr(i, j - i);
}

std::size_t lineEnd(const std::string& s, std::size_t begin) {
    return std::min(s.find('\n', begin), s.size());
}

} // namespace

std::string toGlslEs(const std::string& source) {
    // "#version" has to be the first thing in a shader; only blank lines and comments before it
    // are looked past.
    std::size_t begin = 0;
    int line = 1;
    while (begin < source.size()) {
        const std::size_t end = lineEnd(source, begin);
        const std::size_t text = source.find_first_not_of(" \t\r", begin);
        if (text < end && source.compare(text, 2, "//") != 0) break; // neither blank nor comment
        begin = end + 1;
        ++line;
    }
    if (begin >= source.size()) return source;
    std::size_t end = lineEnd(source, begin);
    if (directive(source, begin, end) != "version") return source;
    if (source.substr(begin, end - begin).find(" es") != std::string::npos) return source;

    std::string out = source.substr(0, begin) + "#version 300 es\n";
    // "#extension" lines must come before anything else, precisions included.
    std::size_t next = end + 1;
    ++line;
    while (next < source.size()) {
        const std::size_t e = lineEnd(source, next);
        if (directive(source, next, e) != "extension") break;
        out.append(source, next, e + 1 - next);
        next = e + 1;
        ++line;
    }
    out += kPrecisions;
    out += "#line " + std::to_string(line) + "\n";
    if (next < source.size()) out.append(source, next, std::string::npos);
    return out;
}
