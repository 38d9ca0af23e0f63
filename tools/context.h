#pragma once
#include <string>

// A hidden window with a current OpenGL 3.3 core context and GLEW loaded, for tools that draw
// offscreen or only compile. False with the reason when there is no display or no such context.
bool openHiddenContext(const char* title, std::string& why, int width = 64, int height = 64);
