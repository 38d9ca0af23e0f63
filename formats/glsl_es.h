#pragma once
#include <string>

// The scene's desktop GLSL programs as WebGL 2 takes them.

// `source` with its "#version" line made "#version 300 es" and default precisions for float,
// int and the sampler types declared after it (after any "#extension" lines), which GLSL ES
// needs and desktop GLSL has built in. A "#line" directive after them keeps the driver's line
// numbers those of the file. A source without a version line, or already ES, is returned as it
// is: the browser's compiler reports what it makes of it.
std::string toGlslEs(const std::string& source);
