#pragma once
#include <string>
#include <vector>

// RGB images of 8 or 16 bits a channel in PNG files, through libpng.

struct rgb_image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels; // 3 channels per pixel, top row first
    int depth = 8; // bits per channel: 8, or 16 with each channel's high byte first
};

// Writes the image to path through a temporary file renamed into place, so that a capture cut
// short never leaves a half-written frame under the frame's name. `fast` is libpng's fast
// flag: zlib level 3 and no row filter (frames for an encoder: much quicker, larger files);
// without it, zlib's default level and libpng's filter choice. Both depths are marked sRGB.
// False with the reason.
bool writePng(const std::string& path, const rgb_image& image, std::string& why, bool fast = false);
