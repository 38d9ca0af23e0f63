// Number conversions of attribute texts: see convert.h.
#include "formats/convert.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

// Runs a strto* function the way the std::sto* wrappers do.
template <typename T, typename F> conversion convert(const char* text, T& out, F parse) {
    if (!text) return conversion::missing;
    char* end = nullptr;
    const int saved = errno;
    errno = 0;
    const T value = parse(text, &end);
    const bool range = errno == ERANGE;
    errno = saved;
    if (end == text) return conversion::not_a_number;
    if (range) return conversion::out_of_range;
    out = value;
    return conversion::ok;
}

} // namespace

conversion toInt(const char* text, int& out) {
    long value = 0;
    const conversion c =
        convert(text, value, [](const char* s, char** e) { return std::strtol(s, e, 10); });
    if (c != conversion::ok) return c;
    if (value < INT_MIN || value > INT_MAX) return conversion::out_of_range;
    out = static_cast<int>(value);
    return c;
}

conversion toFloat(const char* text, float& out) {
    return convert(text, out, [](const char* s, char** e) { return std::strtof(s, e); });
}

conversion toDouble(const char* text, double& out) {
    return convert(text, out, [](const char* s, char** e) { return std::strtod(s, e); });
}

conversion toUnsigned32(const char* text, unsigned& out) {
    unsigned long value = 0;
    const conversion c =
        convert(text, value, [](const char* s, char** e) { return std::strtoul(s, e, 10); });
    if (c == conversion::ok) out = static_cast<unsigned>(value);
    return c;
}

reading howRead(const char* text, bool integer) {
    char* end = nullptr;
    const double value = integer ? double(std::strtol(text, &end, 10)) : std::strtod(text, &end);
    if (!integer && !std::isfinite(value)) return reading::not_finite;
    const char* rest = end;
    while (*rest == ' ' || (*rest >= '\t' && *rest <= '\r'))
        ++rest;
    if (*rest == '\0') return reading::whole;
    char* fraction = nullptr;
    std::strtod(text, &fraction);
    return integer && fraction > end ? reading::fraction_dropped : reading::prefix;
}

const char* describe(conversion c) {
    return c == conversion::missing        ? "is missing"
           : c == conversion::not_a_number ? "is not a number"
           : c == conversion::out_of_range ? "is out of range"
                                           : "";
}
