#pragma once
#include <optional>
#include <string>

#include "app/playhead.h"

// What the preview's command line asks for:
// kestrine-preview SCENE.xml [--at SECONDS] [--loop A:B] [--size WxH]
struct preview_options {
    std::string scene;
    double at = 0.0;             // scene time to start from
    std::optional<section> loop; // looped from the start when given
    int width = 1280;            // window size
    int height = 720;
};

// Reads the arguments after the program name into out. Returns an empty string, or a
// one-line reason naming the argument that is wrong.
std::string parsePreviewArgs(int argc, const char* const* argv, preview_options& out);

// The authoring preview: the scene in a resizable window with its music, from any second, with
// pause, seeks, looping and reloading when its files change. Returns the process status: 0
// after Escape or closing the window, 1 when the scene or the window can't be opened, 2 on a
// wrong command line.
int runPreview(int argc, char** argv);
