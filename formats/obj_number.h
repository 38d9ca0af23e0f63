#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Numbers read as the C library's %f and %d read them, for the OBJ reading. The shapes exporters
// write are read here, inline; everything else goes to the exact reading in obj_number.cpp.
namespace obj_reading {

inline bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
inline void skipSpace(const char*& p, const char* e) {
    while (p != e && isSpace(*p))
        ++p;
}

// A number text that from_chars stopped before, but that %f might read on into.
inline bool mayContinueNumber(char c) {
    return isDigit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-' || c == 'x' ||
           c == 'X';
}

// The digits that start the 8 bytes at p, eight at a time: their count n (0 to 7) and value.
// False when fewer than 8 bytes are left or all 8 are digits; the caller then goes by bytes.
inline bool leadingDigits(const char* p, const char* e, std::uint32_t& value, std::ptrdiff_t& n) {
    if (e - p < 8) return false;
    std::uint64_t v = 0;
    std::memcpy(&v, p, 8); // the first byte is the lowest: the first digit is the highest
    v -= 0x3030303030303030u;
    // A byte's top bit is set where it is no digit; a borrow only reaches later bytes.
    const std::uint64_t other = (v | (v + 0x7676767676767676u)) & 0x8080808080808080u;
    if (other == 0) return false;
    n = __builtin_ctzll(other) / 8;
    v = n == 0 ? 0 : v << (8 * (8 - n)); // the digits last, leading zeros before them
    v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFu;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFu;
    value = static_cast<std::uint32_t>(v * 10000 + (v >> 32));
    return true;
}

inline constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr double kTenths[] = {1e0,  1e-1, 1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                                     1e-8, 1e-9, 1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15};

// Plain "[-]digits[.digits]" with at most 15 significant digits, the shape exporters write.
// The quotient of two exact doubles is the correctly rounded double; rounding that to float is
// the correctly rounded float unless it lies exactly halfway between two floats (where the
// decimal text may have been just above or below), or in float's subnormal range.
inline bool readPlainFloat(const char*& p, const char* e, float& out) {
    const char* q = p;
    const bool negative = *q == '-';
    if (negative) ++q;
    std::uint64_t mantissa = 0; // wraps past 19 digits, which are refused below anyway
    std::ptrdiff_t digits = 0, fraction = 0;
    std::uint32_t whole = 0, part = 0;
    if (leadingDigits(q, e, whole, digits) &&
        (q[digits] != '.' || leadingDigits(q + digits + 1, e, part, fraction))) {
        mantissa = std::uint64_t(whole) * std::uint64_t(kPow10[fraction]) + part;
        q += digits + (q[digits] == '.' ? 1 + fraction : 0);
        digits += fraction;
    } else {
        const char* const start = q;
        while (q != e && isDigit(*q))
            mantissa = mantissa * 10 + unsigned(*q++ - '0');
        digits = q - start;
        fraction = 0;
        if (q != e && *q == '.') {
            const char* const after = ++q;
            while (q != e && isDigit(*q))
                mantissa = mantissa * 10 + unsigned(*q++ - '0');
            fraction = q - after;
            digits += fraction;
        }
    }
    if (digits == 0 || digits > 15 || (q != e && mayContinueNumber(*q))) return false;
    // A product with the tenth's power is within 2 units in the last place of the quotient, so
    // it rounds to the same float unless a float's rounding boundary (low 29 bits 0x10000000)
    // is that close; then, and near float's subnormals, the exact quotient decides.
    double d = static_cast<double>(mantissa) * kTenths[fraction];
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    if (fraction != 0 && (d < 0x1p-125 || (bits & 0x1FFFFFFFu) - 0x0FFFFFF8u <= 16u)) {
        d = static_cast<double>(mantissa) / kPow10[fraction];
        std::memcpy(&bits, &d, sizeof bits);
    }
    if (d != 0.0 && !(d >= 0x1p-126)) return false;
    if ((bits & 0x1FFFFFFFu) == 0x10000000u) return false; // exactly halfway between floats
    const float f = static_cast<float>(d);
    out = negative ? -f : f;
    p = q;
    return true;
}

// The text after p, not at the end, that %f reads, converted as strtof does; false when %f
// converts nothing. For every number readPlainFloat leaves.
bool readExactFloat(const char*& p, const char* e, float& out);

// %f: white space skipped, then the number; false when nothing was converted.
inline bool readFloat(const char*& p, const char* e, float& out) {
    skipSpace(p, e);
    if (p == e) return false;
    return readPlainFloat(p, e, out) || readExactFloat(p, e, out);
}

// %d into an unsigned int: strtol's saturation at 64 bits, then the low 32 bits are kept.
bool readInt(const char*& p, const char* e, std::uint32_t& out);

// The usual index: only digits after the blanks %d skips, at most nine, so that it cannot
// overflow; reads as readInt does, which takes over from the blanks otherwise.
inline bool readPlainIndex(const char*& p, const char* e, std::uint32_t& out) {
    skipSpace(p, e);
    std::ptrdiff_t n = 0;
    std::uint32_t value = 0;
    if (leadingDigits(p, e, value, n)) {
        if (n == 0) return false;
        out = value;
        p += n;
        return true;
    }
    const char* q = p;
    const char* const stop = q + std::min<std::ptrdiff_t>(9, e - q);
    for (; q != stop && isDigit(*q); ++q)
        value = value * 10 + unsigned(*q - '0');
    if (q == p || (q != e && isDigit(*q))) return false;
    out = value;
    p = q;
    return true;
}

// %d for a face index.
inline bool readIndex(const char*& p, const char* e, std::uint32_t& out) {
    return readPlainIndex(p, e, out) || readInt(p, e, out);
}

} // namespace obj_reading
