#pragma once
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>

// Command-line values of the authoring tools.

// What --version says after the program's name and version (without the last line's end).
constexpr const char* kLicenceNotice =
    "Copyright (c) 2026 The Kestrine authors\n"
    "Released under the MIT licence: free to use, change and share, without warranty.";

// The largest side of a frame or window the tools accept, in pixels.
constexpr int kMaxFrameSide = 16384;

// The whole text as a number within [low, high]: no sign, space or other text around it.
template <class T> bool parseNumber(std::string_view text, T low, T high, T& out) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || p != end || !(value >= low && value <= high)) return false;
    out = value;
    return true;
}

// "WIDTHxHEIGHT", each side from 1 to kMaxFrameSide.
inline bool parseSize(std::string_view text, int& width, int& height) {
    const std::size_t x = text.find('x');
    return x != std::string_view::npos && parseNumber(text.substr(0, x), 1, kMaxFrameSide, width) &&
           parseNumber(text.substr(x + 1), 1, kMaxFrameSide, height);
}

// The player's --help and --version, given as `arg`: --help prints the usage on standard
// output, --version the program's version and licence; true once answered. help2man makes the
// manual pages' copyright section from the lines after the first.
inline bool answersHelpOrVersion(const char* arg, const char* program, const char* usage) {
    if (std::strcmp(arg, "--help") == 0)
        std::fputs(usage, stdout);
    else if (std::strcmp(arg, "--version") == 0)
        std::printf("%s %s\n%s\n", program, KESTRINE_VERSION, kLicenceNotice);
    else
        return false;
    return true;
}
