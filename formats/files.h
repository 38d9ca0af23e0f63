#pragma once
#include <cstdio>
#include <string>

// Reading the files a scene names. Only regular files: a scene naming /dev/zero or a pipe must
// not make a reader read forever or wait for a writer.

// The file opened for reading in binary, or null with the reason.
std::FILE* openRegular(const std::string& path, std::string& why);

// The whole file, or false with the reason.
bool readWholeFile(const std::string& path, std::string& out, std::string& why);
