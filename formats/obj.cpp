// OBJ reading: see obj.h.
#include "formats/obj.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Plain "[-]digits[.digits]" with at most 15 significant digits, the shape exporters write.
// The quotient of two exact doubles is the correctly rounded double; rounding that to float is
// the correctly rounded float unless it lies exactly halfway between two floats (where the
// decimal text may have been just above or below), or in float's subnormal range.
bool readPlainFloat(const char*& p, const char* e, float& out) {
    const char* q = p;
    const bool negative = *q == '-';
    if (negative) ++q;
    std::uint64_t mantissa = 0;
    int digits = 0, fraction = 0;
    for (; q != e && isDigit(*q); ++q, ++digits)
        mantissa = mantissa * 10 + unsigned(*q - '0');
    if (q != e && *q == '.') {
        for (++q; q != e && isDigit(*q); ++q, ++digits, ++fraction)
            mantissa = mantissa * 10 + unsigned(*q - '0');
    }
    if (digits == 0 || digits > 15 || (q != e && mayContinueNumber(*q))) return false;
    const double d = static_cast<double>(mantissa) / kPow10[fraction];
    if (d != 0.0 && !(d >= 0x1p-126)) return false;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
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

struct corner {
    std::uint32_t position, uv, normal; // 1-based, as in the file
};

// What step one of the reading gathers; `faces` counts the faces read so far.
// A corner whose entries were not read yet when its face was: its slot is filled at the end.
struct pending {
    std::size_t slot;
    corner indices;
};

// What the reading gathers. A corner's entries are copied out as soon as its face is read if
// its indices are already in the lists (they cannot change later, as lists only grow);
// otherwise the corner waits in `later`.
struct lists {
    std::vector<glm::vec3> positions, normals;
    std::vector<glm::vec2> uvs;
    std::vector<glm::vec3> out_positions, out_normals;
    std::vector<glm::vec2> out_uvs;
    std::vector<pending> later;

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

enum class scan_end { done, bad_face, found };

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
    l.positions.reserve(room(head.v, tail.v));
    l.uvs.reserve(room(head.vt, tail.vt));
    l.normals.reserve(room(head.vn, tail.vn));
    const std::size_t corners = 3 * room(head.f, tail.f);
    l.out_positions.reserve(corners);
    l.out_uvs.reserve(corners);
    l.out_normals.reserve(corners);
}

// Reads the whole text. Stops at a face that fails (bad_face) or, when `find_face` is a face
// number, at that face (found); `at` is then where its "f" word starts. Lists are filled only
// when `keep` is set, so that a second pass can look for a face cheaply.
scan_end scan(const char* p, const char* e, lists& out, bool keep, std::size_t find_face,
              const char*& at, obj_status& status, page_release* release) {
    for (;;) {
        if (release) release->upTo(p);
        skipSpace(p, e);
        if (p == e) return scan_end::done;
        const char* word = p;
        while (p != e && !isSpace(*p))
            ++p;
        std::size_t len = static_cast<std::size_t>(p - word);
        if (len > kWordMax) {
            len = 0; // a longer word is no keyword
        } else {
            for (std::size_t i = 0; i < len; ++i) // keywords compare up to a NUL byte
                if (word[i] == '\0') len = i;
        }
        if (len == 1 && word[0] == 'v') {
            glm::vec3 v(0.0f);
            if (readFloat(p, e, v.x) && readFloat(p, e, v.y)) readFloat(p, e, v.z);
            if (keep) out.positions.push_back(v);
        } else if (len == 2 && word[0] == 'v' && word[1] == 't') {
            glm::vec2 uv(0.0f);
            if (readFloat(p, e, uv.x)) readFloat(p, e, uv.y);
            uv.y = -uv.y;
            if (keep) out.uvs.push_back(uv);
        } else if (len == 2 && word[0] == 'v' && word[1] == 'n') {
            glm::vec3 n(0.0f);
            if (readFloat(p, e, n.x) && readFloat(p, e, n.y)) readFloat(p, e, n.z);
            if (keep) out.normals.push_back(n);
        } else if (len == 1 && word[0] == 'f') {
            if (status.faces == find_face) {
                at = word;
                return scan_end::found;
            }
            std::uint32_t i[9];
            bool ok = true;
            for (int k = 0; k < 9 && ok; ++k) {
                if (k % 3 != 0) ok = p != e && *p++ == '/';
                ok = ok && readInt(p, e, i[k]);
            }
            if (!ok) {
                at = word;
                return scan_end::bad_face;
            }
            ++status.faces;
            if (keep) {
                out.addCorner({i[0], i[1], i[2]});
                out.addCorner({i[3], i[4], i[5]});
                out.addCorner({i[6], i[7], i[8]});
            }
            while (p != e && *p != '\n' && isSpace(*p))
                ++p;
            if (p != e && (isDigit(*p) || *p == '-' || *p == '+')) ++status.faces_truncated;
        } else {
            const std::size_t n = std::min(kLineSkip, static_cast<std::size_t>(e - p));
            const void* nl = std::memchr(p, '\n', n);
            p = nl ? static_cast<const char*>(nl) + 1 : p + n;
        }
    }
}

std::size_t lineOf(const char* begin, const char* at) {
    return 1 + static_cast<std::size_t>(std::count(begin, at, '\n'));
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
                std::size_t got = 0;
                while (got < want) {
                    const ssize_t n = pread(fd, map + got, want - got, static_cast<off_t>(got));
                    if (n < 0 && errno == EINTR) continue;
                    if (n < 0) ok = false;
                    if (n <= 0) break;
                    got += static_cast<std::size_t>(n);
                }
                size = got;
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

bool parseBytes(const char* data, std::size_t size, std::vector<glm::vec3>& out_vertices,
                std::vector<glm::vec2>& out_uvs, std::vector<glm::vec3>& out_normals,
                obj_status* status, page_release* release) {
    obj_status local;
    obj_status& st = status ? *status : local;
    st = obj_status{};
    const char* const begin = size ? data : "";
    const char* const end = begin + size;
    lists l;
    reserveFor(begin, end, l);
    const char* at = nullptr;
    if (scan(begin, end, l, true, SIZE_MAX, at, st, release) == scan_end::bad_face) {
        st.failure = obj_failure::face_form;
        if (!release) st.line = lineOf(begin, at);
        return false;
    }
    std::size_t bad = 0;
    if (!l.fillLater(bad)) {
        st.failure = obj_failure::face_index;
        // Finding the line means reading again from the start, which pages handed back no
        // longer hold.
        if (release) return false;
        obj_status again;
        lists none;
        if (scan(begin, end, none, false, bad / 3, at, again, nullptr) == scan_end::found)
            st.line = lineOf(begin, at);
        return false;
    }
    // Room is made in all three before any is extended, so that running out of memory leaves
    // the caller's lists as they were.
    const std::size_t n = l.out_positions.size();
    if (!out_vertices.empty()) out_vertices.reserve(out_vertices.size() + n);
    if (!out_uvs.empty()) out_uvs.reserve(out_uvs.size() + n);
    if (!out_normals.empty()) out_normals.reserve(out_normals.size() + n);
    append(l.out_positions, out_vertices);
    append(l.out_uvs, out_uvs);
    append(l.out_normals, out_normals);
    return true;
}

void printOpenFailure() {
    std::printf("Impossible to open the file ! Are you in the right path ? See Tutorial 1 for "
                "details\n");
}

} // namespace

bool loadOBJ(const char* path, std::vector<glm::vec3>& out_vertices,
             std::vector<glm::vec2>& out_uvs, std::vector<glm::vec3>& out_normals) {
    std::printf("Loading OBJ file %s...\n", path);
    std::FILE* in = std::fopen(path, "r");
    bool ok = false;
    if (in) {
        const file_bytes bytes(in);
        if (bytes.ok) {
            obj_status status;
            page_release release(bytes.pages(), bytes.size);
            ok = parseBytes(bytes.data, bytes.size, out_vertices, out_uvs, out_normals, &status,
                            bytes.pages() ? &release : nullptr);
            if (!ok)
                std::printf("File can't be read by our simple parser :-( Try exporting with "
                            "other options\n");
            std::fclose(in);
            return ok;
        }
        std::fclose(in);
    }
    printOpenFailure();
    std::fflush(stdout);
    return false;
}

bool parseOBJ(const char* data, std::size_t size, std::vector<glm::vec3>& out_vertices,
              std::vector<glm::vec2>& out_uvs, std::vector<glm::vec3>& out_normals,
              obj_status* status) {
    return parseBytes(data, size, out_vertices, out_uvs, out_normals, status, nullptr);
}
