// The record scanner: see obj_scan.h.
#include "formats/obj_scan.h"

#include <algorithm>
#include <cstring>

#include "formats/obj_number.h"

namespace obj_reading {
namespace {

constexpr std::size_t kWordMax = 127;  // the word buffer holds 128 bytes with its terminator
constexpr std::size_t kLineSkip = 999; // the rest-of-line read fills a 1000-byte buffer

// The keyword that starts at `word` and runs to p: its length, or 0 for no keyword.
std::size_t keywordLength(const char* word, const char* p) {
    std::size_t len = static_cast<std::size_t>(p - word);
    if (len > kWordMax) return 0;         // a longer word is no keyword
    for (std::size_t i = 0; i < len; ++i) // keywords compare up to a NUL byte
        if (word[i] == '\0') return i;
    return len;
}

// A face's nine indices; `ok` is cleared when they are not in the accepted form.
void readFace(const char*& p, const char* e, std::uint32_t* i, bool& ok) {
    ok = true;
    for (int k = 0; k < 9 && ok; ++k) {
        if (k % 3 != 0) ok = p != e && *p++ == '/';
        ok = ok && readIndex(p, e, i[k]);
    }
}

} // namespace

void records::clear() {
    positions.clear();
    normals.clear();
    uvs.clear();
    corners.clear();
    faces = faces_truncated = 0;
}

scan_end scan(const char* p, const char* e, bool cut_at_end, const char* meet, records& out,
              const char*& at) {
    for (;;) {
        skipSpace(p, e);
        if (p == e) return scan_end::done;
        at = p;
        if (p >= meet) return scan_end::met;
        const char* const word = p;
        while (p != e && !isSpace(*p))
            ++p;
        const std::size_t len = keywordLength(word, p);
        // Every record below that reaches e has looked at e: only a line skipped up to and
        // including its break, or through all its 999 bytes, ends there for certain.
        if (len == 1 && word[0] == 'v') {
            glm::vec3 v(0.0f);
            if (readFloat(p, e, v.x) && readFloat(p, e, v.y)) readFloat(p, e, v.z);
            if (cut_at_end && p == e) return scan_end::cut;
            out.positions.push_back(v);
        } else if (len == 2 && word[0] == 'v' && word[1] == 't') {
            glm::vec2 uv(0.0f);
            if (readFloat(p, e, uv.x)) readFloat(p, e, uv.y);
            if (cut_at_end && p == e) return scan_end::cut;
            out.uvs.emplace_back(uv.x, -uv.y);
        } else if (len == 2 && word[0] == 'v' && word[1] == 'n') {
            glm::vec3 n(0.0f);
            if (readFloat(p, e, n.x) && readFloat(p, e, n.y)) readFloat(p, e, n.z);
            if (cut_at_end && p == e) return scan_end::cut;
            out.normals.push_back(n);
        } else if (len == 1 && word[0] == 'f') {
            if (out.faces == out.find) return scan_end::found;
            std::uint32_t i[9];
            bool ok = true;
            readFace(p, e, i, ok);
            if (cut_at_end && p == e) return scan_end::cut;
            if (!ok) return scan_end::bad_face;
            while (p != e && *p != '\n' && isSpace(*p))
                ++p;
            if (cut_at_end && p == e) return scan_end::cut;
            ++out.faces;
            out.corners.push_back({i[0], i[1], i[2]});
            out.corners.push_back({i[3], i[4], i[5]});
            out.corners.push_back({i[6], i[7], i[8]});
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

namespace {

// Lines of each kind in [p, e), looked at only at line starts.
text_density countLines(const char* p, const char* e) {
    text_density n;
    while (e - p > 2) {
        n.positions += p[0] == 'v' && p[1] == ' ';
        n.uvs += p[0] == 'v' && p[1] == 't';
        n.normals += p[0] == 'v' && p[1] == 'n';
        n.faces += p[0] == 'f' && p[1] == ' ';
        const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(e - p));
        if (!nl) break;
        p = static_cast<const char*>(nl) + 1;
    }
    return n;
}

} // namespace

text_density text_density::of(const char* head, std::size_t head_size, const char* tail,
                              std::size_t tail_size) {
    const text_density h = countLines(head, head + head_size);
    const text_density t = countLines(tail, tail + tail_size);
    // One line more than either sample saw, so that a kind the samples missed still gets room.
    auto rate = [&](double a, std::size_t a_size, double b, std::size_t b_size) {
        return std::max((a + 1) / double(std::max<std::size_t>(a_size, 1)),
                        (b + 1) / double(std::max<std::size_t>(b_size, 1)));
    };
    text_density d;
    d.positions = rate(h.positions, head_size, t.positions, tail_size);
    d.uvs = rate(h.uvs, head_size, t.uvs, tail_size);
    d.normals = rate(h.normals, head_size, t.normals, tail_size);
    d.faces = 3 * rate(h.faces, head_size, t.faces, tail_size);
    return d;
}

std::size_t text_density::room(double per_byte, std::size_t bytes) {
    return static_cast<std::size_t>(per_byte * double(bytes)) + 1;
}

std::size_t lineOf(const char* begin, const char* at) {
    return 1 + static_cast<std::size_t>(std::count(begin, at, '\n'));
}

} // namespace obj_reading
