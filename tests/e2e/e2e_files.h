#pragma once
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "process.h"

// Files of the end-to-end tests: scratch folders, whole-file reads, and a music file.
namespace e2e {

inline std::string dataDir() {
    return KESTRINE_TEST_DATA "/player";
}

// A fresh folder per test, holding the scene files the test writes.
// Music/evil-2005.ogg in dir: a 440 Hz stereo tone of the given length, made by sox.
inline bool makeMusic(const std::string& dir, int seconds) {
    const std::string cmd = "mkdir -p '" + dir + "/Music' && sox -n -r 44100 -c 2 '" + dir +
                            "/Music/evil-2005.ogg' synth " + std::to_string(seconds) +
                            " sine 440 vol 0.5 2>/dev/null";
    return std::system(cmd.c_str()) == 0;
}

// An empty folder for one test, with a second of music, as a scene's folder has it, so that
// the tools find no problem the test did not make.
inline std::string workDir(const std::string& name) {
    const std::string dir = ::testing::TempDir() + "kestrine_e2e_" + name;
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
    makeMusic(dir, 1);
    return dir;
}

} // namespace e2e
