#pragma once
#include <string>

// Attribute text to numbers with the rules of the standard stoi, stof, stod and stoul: leading
// white space skipped, the longest leading number taken, the rest ignored. Instead of throwing,
// each says why a text could not be used.
enum class conversion { ok, missing, not_a_number, out_of_range };

conversion toInt(const char* text, int& out);
conversion toFloat(const char* text, float& out);
conversion toDouble(const char* text, double& out);
// As stoul, then narrowed to 32 bits: "2.5" gives 2, "-1" gives 4294967295.
conversion toUnsigned32(const char* text, unsigned& out);

// How the player's reading used a number text that converted.
enum class reading {
    whole,            // all of it (white space aside)
    prefix,           // only its leading number: "0,6" is 0
    fraction_dropped, // an integer read from a text with a fraction or exponent: "6.5" is 6
    not_finite,       // NaN or infinity
    wrapped,          // a negative number read as an unsigned one: "-1" is 4294967295
};
reading howRead(const char* text, bool integer);

// The text in double quotes, as messages show names and values.
inline std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// "is missing", "is not a number", "is out of range" (empty for ok).
const char* describe(conversion c);
