#pragma once
#include <string>

// A current OpenGL 3.3 core context with GLEW loaded, for tools that draw offscreen or only
// compile.

// A hidden window on the X display. False with the reason when there is no display or no such
// context.
bool openHiddenContext(const char* title, std::string& why, int width = 64, int height = 64);

// Where a tool's context comes from: the X display, EGL without any window system (Mesa's
// surfaceless platform), or the X display when DISPLAY is set and EGL otherwise.
enum class gl_source { automatic, x11, egl };

// Reads "x11" or "egl" (--gl). False for anything else.
bool parseGlSource(const std::string& text, gl_source& out);

// A context from that source, current on this thread, that lives until the process ends.
// False with the reason.
bool openToolContext(gl_source source, const char* title, std::string& why);
