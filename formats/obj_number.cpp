// Number reading: see obj_number.h.
#include "formats/obj_number.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string>
#include <system_error>

namespace obj_reading {
namespace {

constexpr std::size_t kShortText = 256;  // number texts up to this long go to strtof unchanged
constexpr std::size_t kKeptDigits = 200; // more than any float rounding boundary needs

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// How far %f reads from p (not at the end), as glibc's scanner does it. Sets `convert` when the
// text read is handed to strtof; otherwise the conversion failed after consuming what it read.
const char* scanFloatText(const char* p, const char* e, bool& convert) {
    convert = false;
    const char* const start = p;
    bool sign = false;
    if (*p == '-' || *p == '+') {
        sign = true;
        if (++p == e) return p;
    }
    // "nan" and "inf[inity]" are read letter by letter; a letter that does not fit is consumed.
    auto word = [&](const char* letters) {
        for (; *letters; ++letters) {
            if (p == e) return false;
            if (lower(*p++) != *letters) return false;
        }
        return true;
    };
    if (lower(*p) == 'n') {
        ++p;
        convert = word("an");
        return p;
    }
    if (lower(*p) == 'i') {
        ++p;
        if (!word("nf")) return p;
        if (p != e && lower(*p) == 'i') {
            ++p;
            if (!word("nity")) return p;
        }
        convert = true;
        return p;
    }
    bool hex = false, gotDigit = false, gotDot = false, gotExp = false;
    char expChar = 'e';
    if (*p == '0') {
        ++p;
        if (p != e && lower(*p) == 'x') {
            hex = true;
            expChar = 'p';
            ++p;
        } else {
            gotDigit = true;
        }
    }
    for (; p != e; ++p) {
        const char c = *p;
        if (isDigit(c) || (!gotExp && hex && isHexDigit(c))) {
            gotDigit = true;
        } else if (gotExp && lower(p[-1]) == expChar && (c == '-' || c == '+')) {
        } else if (gotDigit && !gotExp && lower(c) == expChar) {
            gotExp = gotDot = true;
        } else if (!gotDot && c == '.') {
            gotDot = true;
        } else {
            break;
        }
    }
    const std::size_t size = static_cast<std::size_t>(p - start);
    convert = !(size == std::size_t(sign) || (hex && size == 2 + std::size_t(sign)));
    return p;
}

// A text of the scanner's alphabet rewritten with at most kKeptDigits significant digits and
// the same float rounding: the dropped digits become one sticky non-zero digit.
std::string shortenNumber(const char* p, const char* e) {
    std::string out;
    if (p != e && (*p == '-' || *p == '+')) out += *p++;
    const bool hex = e - p >= 2 && p[0] == '0' && lower(p[1]) == 'x';
    const char expChar = hex ? 'p' : 'e';
    if (hex) {
        out += "0x";
        p += 2;
    }
    std::string digits;
    std::int64_t scale = 0; // power of the radix applied to the digits as an integer
    bool dot = false, sticky = false, any = false;
    for (; p != e && lower(*p) != expChar; ++p) {
        if (*p == '.') {
            dot = true;
            continue;
        }
        any = true;
        if (dot) --scale;
        if (digits.empty() && *p == '0') continue;
        if (digits.size() < kKeptDigits) {
            digits += *p;
        } else {
            ++scale;
            sticky = sticky || *p != '0';
        }
    }
    if (!any) return out + (hex ? "" : "0"); // strtof reads only a sign or "0x": left as is
    if (sticky) {
        digits += '1';
        --scale;
    }
    std::int64_t exponent = 0;
    if (p != e) { // an exponent counts only with at least one digit
        const char* q = p + 1;
        bool negative = false;
        if (q != e && (*q == '-' || *q == '+')) negative = *q++ == '-';
        for (; q != e && isDigit(*q); ++q)
            exponent = std::min<std::int64_t>(exponent * 10 + (*q - '0'), std::int64_t(1) << 40);
        if (negative) exponent = -exponent;
    }
    if (digits.empty()) return out + "0";
    std::int64_t total = exponent + (hex ? 4 * scale : scale);
    total = std::clamp<std::int64_t>(total, -100000000, 100000000); // far beyond float's range
    return out + digits + expChar + std::to_string(total);
}

// strtof on a bounded, NUL-terminated copy of [p, e); false when strtof reads nothing.
bool convertText(const char* p, const char* e, float& out) {
    std::string text =
        static_cast<std::size_t>(e - p) <= kShortText ? std::string(p, e) : shortenNumber(p, e);
    char* end = nullptr;
    const float v = std::strtof(text.c_str(), &end);
    if (end == text.c_str()) return false;
    out = v;
    return true;
}

} // namespace

bool readExactFloat(const char*& p, const char* e, float& out) {
#ifdef __cpp_lib_to_chars // the web build's C++ library has no floating-point from_chars
    const char* d = *p == '-' ? p + 1 : p;
    if (d != e && (isDigit(*d) || *d == '.')) {
        float v = 0.0f;
        const auto [q, ec] = std::from_chars(p, e, v);
        if (ec == std::errc() && (q == e || !mayContinueNumber(*q))) {
            out = v;
            p = q;
            return true;
        }
    }
#endif
    bool convert = false;
    const char* start = p;
    p = scanFloatText(p, e, convert);
    return convert && convertText(start, p, out);
}

// %d into an unsigned int: strtol's saturation at 64 bits, then the low 32 bits are kept.
bool readInt(const char*& p, const char* e, std::uint32_t& out) {
    skipSpace(p, e);
    if (p == e) return false;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    const char* digits = p;
    // Nine digits cannot overflow; longer numbers go on with overflow checks.
    const char* quick = p + std::min<std::ptrdiff_t>(9, e - p);
    std::uint64_t magnitude = 0;
    for (; p != quick && isDigit(*p); ++p)
        magnitude = magnitude * 10 + unsigned(*p - '0');
    bool overflow = false;
    for (; p != e && isDigit(*p); ++p) {
        overflow |= __builtin_mul_overflow(magnitude, 10u, &magnitude);
        overflow |= __builtin_add_overflow(magnitude, std::uint64_t(*p - '0'), &magnitude);
    }
    if (p == digits) return false;
    constexpr std::uint64_t kLongMax = INT64_MAX;
    std::uint64_t value = 0;
    if (negative)
        value = (overflow || magnitude > kLongMax + 1) ? kLongMax + 1 : 0 - magnitude;
    else
        value = (overflow || magnitude > kLongMax) ? kLongMax : magnitude;
    out = static_cast<std::uint32_t>(value);
    return true;
}

} // namespace obj_reading
