// OBJ reading: see obj.h.
#include "formats/obj.h"
#include "formats/trace.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include <cerrno>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kWordMax = 127;    // the word buffer holds 128 bytes with its terminator
constexpr std::size_t kLineSkip = 999;   // the rest-of-line read fills a 1000-byte buffer
constexpr std::size_t kShortText = 256;  // number texts up to this long go to strtof unchanged
constexpr std::size_t kKeptDigits = 200; // more than any float rounding boundary needs

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

void skipSpace(const char*& p, const char* e) {
    while (p != e && isSpace(*p))
        ++p;
}

// A number text that from_chars stopped before, but that %f might read on into.
bool mayContinueNumber(char c) {
    return isDigit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-' || c == 'x' ||
           c == 'X';
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

// The digits that start the 8 bytes at p, eight at a time: their count n (0 to 7) and value.
// False when fewer than 8 bytes are left or all 8 are digits; the caller then goes by bytes.
bool leadingDigits(const char* p, const char* e, std::uint32_t& value, std::ptrdiff_t& n) {
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

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

constexpr double kTenths[] = {1e0,  1e-1, 1e-2,  1e-3,  1e-4,  1e-5,  1e-6,  1e-7,
                              1e-8, 1e-9, 1e-10, 1e-11, 1e-12, 1e-13, 1e-14, 1e-15};

// Plain "[-]digits[.digits]" with at most 15 significant digits, the shape exporters write.
// The quotient of two exact doubles is the correctly rounded double; rounding that to float is
// the correctly rounded float unless it lies exactly halfway between two floats (where the
// decimal text may have been just above or below), or in float's subnormal range.
bool readPlainFloat(const char*& p, const char* e, float& out) {
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

// %f: white space skipped, then the number; false when nothing was converted.
bool readFloat(const char*& p, const char* e, float& out) {
    skipSpace(p, e);
    if (p == e) return false;
    if (readPlainFloat(p, e, out)) return true;
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

// The usual index: only digits after the blanks %d skips, at most nine, so that it cannot
// overflow; reads as readInt does, which takes over from the blanks otherwise.
bool readPlainIndex(const char*& p, const char* e, std::uint32_t& out) {
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

struct corner {
    std::uint32_t position, uv, normal; // 1-based, as in the file
};

// Hands back the pages of the file's bytes behind the reading, so that a large file does not
// stay resident on top of the lists built from it. What was handed back reads as zeros: only
// the search for a failure's line looks back, and loadOBJ does not report lines.
class page_release {
public:
    page_release(char* begin, std::size_t size) : begin(begin), size(size) {}
    void upTo(const char* p) {
        if (p < next) return;
        const auto done = static_cast<std::size_t>(p - begin) & ~(kStep - 1);
        madvise(begin, std::min(done, size), MADV_DONTNEED);
        next = begin + done + kStep;
    }

private:
    static constexpr std::size_t kStep = std::size_t(1) << 22; // a multiple of the page size
    char* begin;
    std::size_t size;
    const char* next = begin + kStep;
};

// Where a reading stops: at the end of its text; at a face that fails; at the face it was asked
// to find; at a record that reaches the end of a piece and might read on beyond it; at the
// record start it was asked to meet.
enum class scan_end { done, bad_face, found, cut, met };

// Reads records from p to e into `out`, which takes each entry (position, uv, normal, face) and
// counts faces. `at` is where the record it stopped at starts. With `cut_at_end`, e ends a piece
// of the text rather than the text: a record that looks at e might read on in the full text, so
// it is left unread (cut). Reading stops before the first record that starts at or after `meet`
// (e for none).
template <class Sink>
scan_end scan(const char* p, const char* e, bool cut_at_end, const char* meet, Sink& out,
              const char*& at, page_release* release) {
    for (;;) {
        if (release) release->upTo(p);
        skipSpace(p, e);
        if (p == e) return scan_end::done;
        if (p >= meet) {
            at = p;
            return scan_end::met;
        }
        const char* const word = p;
        at = word;
        while (p != e && !isSpace(*p))
            ++p;
        std::size_t len = static_cast<std::size_t>(p - word);
        if (len > kWordMax) {
            len = 0; // a longer word is no keyword
        } else {
            for (std::size_t i = 0; i < len; ++i) // keywords compare up to a NUL byte
                if (word[i] == '\0') len = i;
        }
        // Every record below that reaches e has looked at e: only a line skipped up to and
        // including its break, or through all its 999 bytes, ends there for certain.
        if (len == 1 && word[0] == 'v') {
            glm::vec3 v(0.0f);
            if (readFloat(p, e, v.x) && readFloat(p, e, v.y)) readFloat(p, e, v.z);
            if (cut_at_end && p == e) return scan_end::cut;
            out.position(v);
        } else if (len == 2 && word[0] == 'v' && word[1] == 't') {
            glm::vec2 uv(0.0f);
            if (readFloat(p, e, uv.x)) readFloat(p, e, uv.y);
            if (cut_at_end && p == e) return scan_end::cut;
            uv.y = -uv.y;
            out.uv(uv);
        } else if (len == 2 && word[0] == 'v' && word[1] == 'n') {
            glm::vec3 n(0.0f);
            if (readFloat(p, e, n.x) && readFloat(p, e, n.y)) readFloat(p, e, n.z);
            if (cut_at_end && p == e) return scan_end::cut;
            out.normal(n);
        } else if (len == 1 && word[0] == 'f') {
            if (out.wanted()) return scan_end::found;
            std::uint32_t i[9];
            bool ok = true;
            for (int k = 0; k < 9 && ok; ++k) {
                if (k % 3 != 0) ok = p != e && *p++ == '/';
                ok = ok && (readPlainIndex(p, e, i[k]) || readInt(p, e, i[k]));
            }
            if (cut_at_end && p == e) return scan_end::cut;
            if (!ok) return scan_end::bad_face;
            while (p != e && *p != '\n' && isSpace(*p))
                ++p;
            if (cut_at_end && p == e) return scan_end::cut;
            ++out.faces;
            out.face(i);
            if (p != e && (isDigit(*p) || *p == '-' || *p == '+')) ++out.faces_truncated;
        } else {
            const std::size_t n = std::min(kLineSkip, static_cast<std::size_t>(e - p));
            const void* nl = std::memchr(p, '\n', n);
            if (nl) {
                p = static_cast<const char*>(nl) + 1;
            } else {
                if (cut_at_end && n < kLineSkip) return scan_end::cut;
                p += n;
            }
        }
    }
}

// What a reading on one thread gathers. A corner's entries are copied out as soon as its face is
// read if its indices are already in the lists (they cannot change later, as lists only grow);
// otherwise the corner waits in `later`, its slot filled at the end.
struct lists {
    struct pending {
        std::size_t slot;
        corner indices;
    };
    std::vector<glm::vec3> positions, normals;
    std::vector<glm::vec2> uvs;
    std::vector<glm::vec3> out_positions, out_normals;
    std::vector<glm::vec2> out_uvs;
    std::vector<pending> later;
    std::size_t faces = 0, faces_truncated = 0;

    void position(glm::vec3 v) { positions.push_back(v); }
    void uv(glm::vec2 t) { uvs.push_back(t); }
    void normal(glm::vec3 n) { normals.push_back(n); }
    bool wanted() const { return false; }
    void face(const std::uint32_t* i) {
        addCorner({i[0], i[1], i[2]});
        addCorner({i[3], i[4], i[5]});
        addCorner({i[6], i[7], i[8]});
    }

    void addCorner(corner c) {
        if (std::size_t(c.position - 1u) < positions.size() &&
            std::size_t(c.uv - 1u) < uvs.size() && std::size_t(c.normal - 1u) < normals.size()) {
            out_positions.push_back(positions[c.position - 1]);
            out_uvs.push_back(uvs[c.uv - 1]);
            out_normals.push_back(normals[c.normal - 1]);
        } else { // 0 and negative indices wrap to the largest and wait here too
            later.push_back({out_positions.size(), c});
            out_positions.emplace_back();
            out_uvs.emplace_back();
            out_normals.emplace_back();
        }
    }

    // Fills the waiting corners; false, with the first corner whose indices are still outside
    // the lists in `bad`, when some cannot be filled.
    bool fillLater(std::size_t& bad) {
        for (const pending& w : later) {
            const corner& c = w.indices;
            if (std::size_t(c.position - 1u) >= positions.size() ||
                std::size_t(c.uv - 1u) >= uvs.size() ||
                std::size_t(c.normal - 1u) >= normals.size()) {
                bad = w.slot;
                return false;
            }
            out_positions[w.slot] = positions[c.position - 1];
            out_uvs[w.slot] = uvs[c.uv - 1];
            out_normals[w.slot] = normals[c.normal - 1];
        }
        return true;
    }
};

// Counts faces up to the one asked for, keeping nothing.
struct face_finder {
    std::size_t faces = 0, faces_truncated = 0;
    std::size_t target = 0;
    void position(glm::vec3) {}
    void uv(glm::vec2) {}
    void normal(glm::vec3) {}
    void face(const std::uint32_t*) {}
    bool wanted() const { return faces == target; }
};

// Room for n entries, in huge pages where the room is large: a page fault for every 4 KB of the
// lists costs about as much as the reading of a face.
template <class T> void reserveLarge(std::vector<T>& v, std::size_t n) {
    v.reserve(n);
    constexpr std::uintptr_t kHuge = std::uintptr_t(1) << 21;
    const auto from =
        (reinterpret_cast<std::uintptr_t>(v.data() + v.size()) + kHuge - 1) & ~(kHuge - 1);
    const auto to = reinterpret_cast<std::uintptr_t>(v.data() + v.capacity()) & ~(kHuge - 1);
    if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

// Line counts by keyword in [p, e), looked at only at line starts.
struct line_counts {
    std::size_t v = 0, vt = 0, vn = 0, f = 0;
};

line_counts countLines(const char* p, const char* e) {
    line_counts n;
    while (e - p > 2) {
        n.v += p[0] == 'v' && p[1] == ' ';
        n.vt += p[0] == 'v' && p[1] == 't';
        n.vn += p[0] == 'v' && p[1] == 'n';
        n.f += p[0] == 'f' && p[1] == ' ';
        const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(e - p));
        if (!nl) break;
        p = static_cast<const char*>(nl) + 1;
    }
    return n;
}

// Room for the lists, from the density of each kind of line at the head and the tail of the
// text (vertices usually come first, faces last), so that they rarely grow by copying. The
// estimate errs high: room reserved and never written costs address space, not memory.
void reserveFor(const char* p, const char* e, lists& l) {
    constexpr std::size_t kSample = 1 << 16;
    const std::size_t size = static_cast<std::size_t>(e - p);
    if (size < 4 * kSample) return;
    const line_counts head = countLines(p, p + kSample), tail = countLines(e - kSample, e);
    auto room = [&](std::size_t a, std::size_t b) {
        return (std::max(a, b) + 1) * (size / kSample);
    };
    reserveLarge(l.positions, room(head.v, tail.v));
    reserveLarge(l.uvs, room(head.vt, tail.vt));
    reserveLarge(l.normals, room(head.vn, tail.vn));
    const std::size_t corners = 3 * room(head.f, tail.f);
    reserveLarge(l.out_positions, corners);
    reserveLarge(l.out_uvs, corners);
    reserveLarge(l.out_normals, corners);
}

std::size_t lineOf(const char* begin, const char* at) {
    return 1 + static_cast<std::size_t>(std::count(begin, at, '\n'));
}

// The line of face number `face` (0-based), reading again from the start.
std::size_t lineOfFace(const char* begin, const char* end, std::size_t face) {
    face_finder finder;
    finder.target = face;
    const char* at = nullptr;
    if (scan(begin, end, false, end, finder, at, nullptr) == scan_end::found)
        return lineOf(begin, at);
    return 0;
}

// The whole file's bytes, read into pages of our own. A mapping of the file itself would save
// the copy, but a file cut short while it is read (an exporter saving over it as the preview
// reloads) would kill the process with SIGBUS; a read just comes back short.
class file_bytes {
public:
    explicit file_bytes(std::FILE* in) {
        struct stat st {};
        const int fd = fileno(in);
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
            const auto want = static_cast<std::size_t>(st.st_size);
            void* m =
                mmap(nullptr, want, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (m != MAP_FAILED) {
                map = static_cast<char*>(m);
                capacity = want;
                // Fewer page faults while the bytes are copied in.
                madvise(map, want, MADV_HUGEPAGE);
                size = readAt(fd, map, want, 0, ok);
                data = map;
                return;
            }
        }
        char chunk[1 << 16];
        std::size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, in)) > 0)
            copy.append(chunk, n);
        ok = !std::ferror(in);
        data = copy.data();
        size = copy.size();
    }
    ~file_bytes() {
        if (map) munmap(map, capacity);
    }
    file_bytes(const file_bytes&) = delete;
    file_bytes& operator=(const file_bytes&) = delete;

    // Up to `want` bytes at `offset` into `to`: fewer when the file is shorter; ok is cleared
    // on a read error.
    static std::size_t readAt(int fd, char* to, std::size_t want, std::size_t offset, bool& ok) {
        std::size_t got = 0;
        while (got < want) {
            const ssize_t n = pread(fd, to + got, want - got, static_cast<off_t>(offset + got));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) ok = false;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        return got;
    }

    // The pages that may be handed back while reading; null when the bytes are in `copy`.
    char* pages() const { return map; }

    const char* data = nullptr;
    std::size_t size = 0;
    bool ok = true; // false after a read error (a directory, for instance)

private:
    char* map = nullptr;
    std::size_t capacity = 0;
    std::string copy;
};

// Appends `from` to `to`, which has room for it; an empty `to` just takes it over.
template <class T> void append(std::vector<T>& from, std::vector<T>& to) {
    if (to.empty())
        to.swap(from);
    else
        to.insert(to.end(), from.begin(), from.end());
}

// Extends the caller's lists with the corners read. Room is made in all three before any is
// extended, so that running out of memory leaves the caller's lists as they were.
void handOver(std::vector<glm::vec3>& positions, std::vector<glm::vec2>& uvs,
              std::vector<glm::vec3>& normals, std::vector<glm::vec3>& out_vertices,
              std::vector<glm::vec2>& out_uvs, std::vector<glm::vec3>& out_normals) {
    const std::size_t n = positions.size();
    if (!out_vertices.empty()) out_vertices.reserve(out_vertices.size() + n);
    if (!out_uvs.empty()) out_uvs.reserve(out_uvs.size() + n);
    if (!out_normals.empty()) out_normals.reserve(out_normals.size() + n);
    append(positions, out_vertices);
    append(uvs, out_uvs);
    append(normals, out_normals);
}

bool parseBytes(const char* data, std::size_t size, std::vector<glm::vec3>& out_vertices,
                std::vector<glm::vec2>& out_uvs, std::vector<glm::vec3>& out_normals,
                obj_status& st, page_release* release) {
    const char* const begin = size ? data : "";
    const char* const end = begin + size;
    lists l;
    reserveFor(begin, end, l);
    const char* at = nullptr;
    const scan_end how = scan(begin, end, false, end, l, at, release);
    st.faces = l.faces;
    st.faces_truncated = l.faces_truncated;
    if (how == scan_end::bad_face) {
        st.failure = obj_failure::face_form;
        if (!release) st.line = lineOf(begin, at);
        return false;
    }
    std::size_t bad = 0;
    if (!l.fillLater(bad)) {
        st.failure = obj_failure::face_index;
        // Finding the line means reading again from the start, which pages handed back no
        // longer hold.
        if (!release) st.line = lineOfFace(begin, end, bad / 3);
        return false;
    }
    handOver(l.out_positions, l.out_uvs, l.out_normals, out_vertices, out_uvs, out_normals);
    return true;
}

// ---- Reading on several threads ----
//
// The text is cut into pieces of fixed size. Each piece is read from its first line start to
// its end, as if the text ended there; a record that reaches that end is left for the seam. The
// pieces are then joined in order by whichever thread finishes one: the reading that joins them
// (the chain) goes on from where the pieces before ended, reading records itself until it
// meets the piece's first record, from which on the piece's own reading is the text's. If the
// chain steps over that record instead, the piece is read again from where the chain is.
// Faces keep their indices as read; they are resolved once every piece is joined and the
// lists' lengths are known.

// Memory for the threaded reading's own lists: large blocks come straight from the system, so
// that a list let go is handed back at once rather than kept in a thread's heap, and in huge
// pages.
template <class T> struct own_pages {
    using value_type = T;
    own_pages() = default;
    template <class U> own_pages(const own_pages<U>&) {}
    T* allocate(std::size_t n) {
        if (n * sizeof(T) < kLarge) return std::allocator<T>().allocate(n);
        void* m = mmap(nullptr, n * sizeof(T), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                       -1, 0);
        if (m == MAP_FAILED) throw std::bad_alloc();
        // A part-used huge page at the end is let go with the list, and lists are let go early.
        if (n * sizeof(T) >= kHuge) madvise(m, n * sizeof(T), MADV_HUGEPAGE);
        return static_cast<T*>(m);
    }
    void deallocate(T* p, std::size_t n) {
        if (n * sizeof(T) < kLarge)
            std::allocator<T>().deallocate(p, n);
        else
            munmap(p, n * sizeof(T));
    }
    bool operator==(const own_pages&) const { return true; }
    static constexpr std::size_t kLarge = std::size_t(1) << 18, kHuge = std::size_t(1) << 21;
};
template <class T> using own_list = std::vector<T, own_pages<T>>;

struct piece {
    const char* begin = nullptr; // its bytes
    const char* end = nullptr;
    bool last = false; // the text ends at `end`
    bool read = false; // its reading is done and may be joined
    own_list<glm::vec3> positions, normals;
    own_list<glm::vec2> uvs;
    own_list<corner> corners;
    std::size_t faces = 0, faces_truncated = 0;
    const char* first = nullptr; // its first record, `end` if none
    scan_end how = scan_end::done;
    const char* at = nullptr; // the record it stopped at, for cut and bad_face

    void position(glm::vec3 v) { positions.push_back(v); }
    void uv(glm::vec2 t) { uvs.push_back(t); }
    void normal(glm::vec3 n) { normals.push_back(n); }
    bool wanted() const { return false; }
    void face(const std::uint32_t* i) {
        corners.push_back({i[0], i[1], i[2]});
        corners.push_back({i[3], i[4], i[5]});
        corners.push_back({i[6], i[7], i[8]});
    }

    void readFrom(const char* from) {
        clear();
        // Room from the lines at the piece's head, so that the lists rarely grow by copying;
        // room never written costs no memory.
        constexpr std::size_t kSample = std::size_t(1) << 16;
        const auto size = static_cast<std::size_t>(end - from);
        const line_counts n = countLines(from, from + std::min(size, kSample));
        const auto room = [&](std::size_t lines) {
            return size <= kSample ? lines : (lines + 1) * (size / kSample + 1);
        };
        positions.reserve(room(n.v));
        uvs.reserve(room(n.vt));
        normals.reserve(room(n.vn));
        corners.reserve(3 * room(n.f));
        first = from;
        skipSpace(first, end);
        how = scan(from, end, !last, end, *this, at, nullptr);
    }
    void clear() {
        piece fresh;
        fresh.begin = begin;
        fresh.end = end;
        fresh.last = last;
        fresh.read = read;
        *this = std::move(fresh);
    }
};

// The joined reading: entries in file order, corners in runs (one per piece).
struct chain {
    own_list<glm::vec3> positions, normals;
    own_list<glm::vec2> uvs;
    std::vector<own_list<corner>> runs;
    std::size_t faces = 0, faces_truncated = 0, corners = 0;

    void position(glm::vec3 v) { positions.push_back(v); }
    void uv(glm::vec2 t) { uvs.push_back(t); }
    void normal(glm::vec3 n) { normals.push_back(n); }
    bool wanted() const { return false; }
    void face(const std::uint32_t* i) {
        if (runs.empty()) runs.emplace_back();
        runs.back().push_back({i[0], i[1], i[2]});
        runs.back().push_back({i[3], i[4], i[5]});
        runs.back().push_back({i[6], i[7], i[8]});
        corners += 3;
    }

    void take(piece& p) {
        positions.insert(positions.end(), p.positions.begin(), p.positions.end());
        uvs.insert(uvs.end(), p.uvs.begin(), p.uvs.end());
        normals.insert(normals.end(), p.normals.begin(), p.normals.end());
        faces += p.faces;
        faces_truncated += p.faces_truncated;
        corners += p.corners.size();
        if (!p.corners.empty()) runs.push_back(std::move(p.corners));
        p.clear();
    }
};

// Runs `work` on this thread and up to n - 1 others, and waits for all. Threads that cannot be
// started leave their share to the others.
template <class Work> void onThreads(unsigned n, Work work) {
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < n; ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& t : helpers)
        t.join();
}

class threaded_reading {
public:
    // Over the text in [data, data + size); with fd >= 0, each piece is first read from the file
    // at its offset into data, which has room for size bytes.
    threaded_reading(char* data, std::size_t size, std::size_t piece_size, unsigned threads, int fd)
        : data(data), fd(fd), threads(threads) {
        const std::size_t count = std::max<std::size_t>(1, (size + piece_size - 1) / piece_size);
        pieces.resize(count);
        for (std::size_t k = 0; k < count; ++k) {
            pieces[k].begin = data + k * piece_size;
            pieces[k].end = data + std::min(size, (k + 1) * piece_size);
        }
        pieces.back().last = true;
        position = data;
        released = data;
        // Pieces read ahead of the join wait, so that the file's bytes in memory stay bounded.
        window = fd >= 0 ? 4 * std::size_t(threads) + 4 : count;
    }

    // Reads and joins every piece; false at a face that fails (at = its "f" word) or a read
    // error (io_error).
    bool run() {
        onThreads(unsigned(std::min<std::size_t>(threads, pieces.size())), [this] { work(); });
        return !io_error && failed_at == nullptr;
    }

    chain joined;
    const char* failed_at = nullptr;
    bool io_error = false;

private:
    char* const data;
    void work() {
        for (;;) {
            const std::size_t k = next.fetch_add(1);
            if (k >= pieces.size()) return;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stop || k < joined_count + window; });
                if (stop || k >= end_piece) return;
            }
            piece& pc = pieces[k];
            bool ok = true;
            if (fd >= 0) {
                const auto want = static_cast<std::size_t>(pc.end - pc.begin);
                const auto offset = static_cast<std::size_t>(pc.begin - data);
                const std::size_t got = file_bytes::readAt(fd, data + offset, want, offset, ok);
                if (got < want) { // the file was cut short while it was read: it ends here
                    pc.end = pc.begin + got;
                    pc.last = true;
                }
            }
            if (ok) {
                const char* from = pc.begin;
                if (k > 0) { // the first line is most likely the end of a record before
                    const void* nl = std::memchr(pc.begin, '\n', std::size_t(pc.end - pc.begin));
                    from = nl ? static_cast<const char*>(nl) + 1 : pc.end;
                }
                pc.readFrom(from);
            }
            std::lock_guard lock(mutex);
            if (!ok) {
                io_error = stop = true;
            } else {
                pc.read = true;
                if (pc.last) end_piece = std::min(end_piece, k + 1);
                join();
            }
            changed.notify_all();
        }
    }

    // Joins the pieces read, in order, while the next one is ready.
    void join() {
        while (!stop && joined_count < end_piece && pieces[joined_count].read) {
            piece& pc = pieces[joined_count];
            if (!pc.last && std::size_t(pc.end - position) < need) {
                pc.clear(); // the chain reads it when it tries again
                ++joined_count;
                continue;
            }
            need = 0;
            const char* at = nullptr;
            switch (scan(position, pc.end, !pc.last, pc.first, joined, at, nullptr)) {
            case scan_end::met:
                if (at != pc.first) pc.readFrom(at); // the chain stepped over its first record
                break;
            case scan_end::done: // the chain read to its end; its own reading is not the text's
                pc.clear();
                pc.how = scan_end::done;
                break;
            case scan_end::cut: // a record runs on past the piece: a later seam reads it
                pc.clear();
                pc.how = scan_end::cut;
                pc.at = at;
                // Trying again only with twice the text keeps a record that runs over many
                // pieces (a number of a million digits) from being read again at each one.
                need = 2 * std::size_t(pc.end - at);
                break;
            case scan_end::bad_face:
            case scan_end::found:
                failed_at = at;
                stop = true;
                return;
            }
            const scan_end how = pc.how;
            const char* const stopped = pc.at;
            const char* const end = pc.end;
            const bool last = pc.last;
            joined.take(pc);
            ++joined_count;
            if (how == scan_end::bad_face) {
                failed_at = stopped;
                stop = true;
                return;
            }
            position = how == scan_end::cut ? stopped : end;
            if (last) stop = true;
            if (fd >= 0) release();
        }
    }

    // Hands back the file's pages that the join has passed, in whole huge pages.
    void release() {
        constexpr std::size_t kStep = std::size_t(1) << 21;
        char* const to = data + (static_cast<std::size_t>(position - data) & ~(kStep - 1));
        if (to > released) {
            madvise(released, std::size_t(to - released), MADV_DONTNEED);
            released = to;
        }
    }

    std::vector<piece> pieces;
    int fd;
    unsigned threads;
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable changed;
    // Under the mutex:
    std::size_t joined_count = 0;
    std::size_t end_piece = SIZE_MAX; // one past the piece where the text ends
    std::size_t window = 0;
    bool stop = false;
    const char* position = nullptr; // where the chain goes on
    std::size_t need = 0;           // bytes past it the chain waits for before it reads on
    char* released = nullptr;
};

// The corners' entries; `bad` is the first corner with an index outside its list, or SIZE_MAX.
struct resolved {
    std::vector<glm::vec3> positions, normals;
    std::vector<glm::vec2> uvs;
    std::size_t bad = SIZE_MAX;
};

// Builds the lists named by P, T and N from the runs in order. Each run is let go by the last
// task to pass it, so that the corners' indices and the lists built from them are never all in
// memory at once.
template <bool P, bool T, bool N>
std::size_t gather(chain& c, std::vector<std::atomic<unsigned>>& users, resolved& out) {
    if (P) reserveLarge(out.positions, c.corners);
    if (T) reserveLarge(out.uvs, c.corners);
    if (N) reserveLarge(out.normals, c.corners);
    std::size_t slot = 0;
    for (std::size_t r = 0; r < c.runs.size(); ++r) {
        for (const corner& k : c.runs[r]) {
            const std::size_t p = k.position - 1u, t = k.uv - 1u, n = k.normal - 1u;
            if ((P && p >= c.positions.size()) || (T && t >= c.uvs.size()) ||
                (N && n >= c.normals.size()))
                return slot;
            if (P) out.positions.push_back(c.positions[p]);
            if (T) out.uvs.push_back(c.uvs[t]);
            if (N) out.normals.push_back(c.normals[n]);
            ++slot;
        }
        if (users[r].fetch_sub(1, std::memory_order_acq_rel) == 1)
            own_list<corner>().swap(c.runs[r]);
    }
    return SIZE_MAX;
}

void resolve(chain& c, unsigned threads, resolved& out) {
    constexpr std::size_t kShared = std::size_t(1) << 12; // fewer corners cost less than a thread
    // Two threads share the work about evenly: 20 bytes of entries per corner against 12.
    const unsigned tasks = c.corners < kShared ? 1u : std::min(threads, 3u);
    std::vector<std::atomic<unsigned>> users(c.runs.size());
    for (std::atomic<unsigned>& u : users)
        u.store(tasks, std::memory_order_relaxed);
    std::atomic<unsigned> next{0};
    std::size_t bad[3] = {SIZE_MAX, SIZE_MAX, SIZE_MAX};
    onThreads(tasks, [&] {
        for (unsigned task; (task = next.fetch_add(1)) < tasks;) {
            if (tasks == 1) bad[0] = gather<true, true, true>(c, users, out);
            if (tasks == 2 && task == 0) bad[0] = gather<true, true, false>(c, users, out);
            if (tasks == 2 && task == 1) bad[1] = gather<false, false, true>(c, users, out);
            if (tasks == 3 && task == 0) bad[0] = gather<true, false, false>(c, users, out);
            if (tasks == 3 && task == 1) bad[1] = gather<false, true, false>(c, users, out);
            if (tasks == 3 && task == 2) bad[2] = gather<false, false, true>(c, users, out);
        }
    });
    out.bad = std::min({bad[0], bad[1], bad[2]});
}

unsigned threadsFor(const obj_threads& t) {
#ifdef __EMSCRIPTEN__
    (void)t;
    return 1; // a page has no threads without headers that sites rarely send
#else
    unsigned n = t.threads;
    if (n == 0) n = std::max(1u, std::thread::hardware_concurrency());
    return std::min(n, kObjMaxThreads);
#endif
}

// The piece size for `size` bytes on `threads` threads, or 0 to read on this thread alone.
std::size_t pieceSizeFor(std::size_t size, unsigned threads, const obj_threads& t) {
#ifdef __EMSCRIPTEN__
    (void)size, (void)threads, (void)t;
    return 0;
#else
    if (t.piece) return t.piece;
    if (threads < 2 || size < kObjThreadedFrom) return 0;
    constexpr std::size_t kAlign = std::size_t(1) << 16;
    const std::size_t piece = (size / (8 * std::size_t(threads)) + kAlign - 1) & ~(kAlign - 1);
    return std::clamp<std::size_t>(piece, std::size_t(1) << 18, std::size_t(1) << 22);
#endif
}

// The threaded reading of bytes in memory or, with fd >= 0, of the file into `data`.
bool parseThreaded(char* data, std::size_t size, std::size_t piece_size, unsigned threads, int fd,
                   std::vector<glm::vec3>& out_vertices, std::vector<glm::vec2>& out_uvs,
                   std::vector<glm::vec3>& out_normals, obj_status& st) {
    threaded_reading reading(data, size, piece_size, threads, fd);
    const bool ok = reading.run();
    st.faces = reading.joined.faces;
    st.faces_truncated = reading.joined.faces_truncated;
    if (reading.io_error) {
        st.failure = obj_failure::open;
        return false;
    }
    const bool lines = fd < 0; // pages of a file read are handed back behind the reading
    const char* const begin = size ? data : "";
    if (!ok) {
        st.failure = obj_failure::face_form;
        if (lines) st.line = lineOf(begin, reading.failed_at);
        return false;
    }
    resolved r;
    resolve(reading.joined, threads, r);
    reading.joined = chain{};
    if (r.bad != SIZE_MAX) {
        st.failure = obj_failure::face_index;
        if (lines) st.line = lineOfFace(begin, begin + size, r.bad / 3);
        return false;
    }
    handOver(r.positions, r.uvs, r.normals, out_vertices, out_uvs, out_normals);
    return true;
}

void printFaceFailure() {
    traceOut("File can't be read by our simple parser :-( Try exporting with other options\n");
}

// A large regular file read piece by piece on several threads, each piece parsed as soon as it
// is in. `done` is cleared when the file is not one for this reading.
bool loadThreaded(std::FILE* in, const obj_threads& t, std::vector<glm::vec3>& out_vertices,
                  std::vector<glm::vec2>& out_uvs, std::vector<glm::vec3>& out_normals,
                  obj_status& st, bool& done) {
    done = false;
    struct stat info {};
    const int fd = fileno(in);
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) return false;
    const auto size = static_cast<std::size_t>(info.st_size);
    const unsigned threads = threadsFor(t);
    const std::size_t piece_size = pieceSizeFor(size, threads, t);
    if (piece_size == 0) return false;
    void* m = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED) return false;
    done = true;
    madvise(m, size, MADV_HUGEPAGE);
    const bool ok = parseThreaded(static_cast<char*>(m), size, piece_size, threads, fd,
                                  out_vertices, out_uvs, out_normals, st);
    munmap(m, size);
    return ok;
}

} // namespace

bool loadOBJ(const char* path, std::vector<glm::vec3>& out_vertices,
             std::vector<glm::vec2>& out_uvs, std::vector<glm::vec3>& out_normals,
             const obj_threads& threads) {
    traceOut("Loading OBJ file %s...\n", path);
    std::FILE* in = std::fopen(path, "r");
    bool ok = false;
    if (in) {
        obj_status status;
        bool done = false;
        ok = loadThreaded(in, threads, out_vertices, out_uvs, out_normals, status, done);
        if (!done) {
            const file_bytes bytes(in);
            if (bytes.ok) {
                page_release release(bytes.pages(), bytes.size);
                if (bytes.pages())
                    ok = parseBytes(bytes.data, bytes.size, out_vertices, out_uvs, out_normals,
                                    status, &release);
                else // a pipe or the like: its bytes are all in, and may go on several threads
                    ok = parseOBJ(bytes.data, bytes.size, out_vertices, out_uvs, out_normals,
                                  &status, threads);
            } else {
                status.failure = obj_failure::open;
            }
        }
        std::fclose(in);
        if (status.failure != obj_failure::open) {
            if (!ok) printFaceFailure();
            return ok;
        }
    }
    traceOut("Impossible to open the file ! Are you in the right path ? See Tutorial 1 for "
                "details\n");
    std::fflush(stdout);
    return false;
}

bool parseOBJ(const char* data, std::size_t size, std::vector<glm::vec3>& out_vertices,
              std::vector<glm::vec2>& out_uvs, std::vector<glm::vec3>& out_normals,
              obj_status* status, const obj_threads& threads) {
    obj_status local;
    obj_status& st = status ? *status : local;
    st = obj_status{};
    const unsigned n = threadsFor(threads);
    const std::size_t piece_size = pieceSizeFor(size, n, threads);
    if (piece_size == 0)
        return parseBytes(data, size, out_vertices, out_uvs, out_normals, st, nullptr);
    // Only the file reading writes into the bytes; this reading never does.
    return parseThreaded(const_cast<char*>(size ? data : ""), size, piece_size, n, -1, out_vertices,
                         out_uvs, out_normals, st);
}
