#pragma once
#include <string>

#include "tools/png.h"

// Reads any PNG file as 8-bit RGB, for tests to look at what the capture wrote. False with the
// reason.
bool readPng(const std::string& path, rgb_image& image, std::string& why);
