// Feeds arbitrary bytes to parseOBJ and stops at the first input on which it differs from the
// fscanf reading of the tests (result or any bit of the three lists), or on which the reading in
// pieces on two threads differs from the reading on one (lists or status). The first byte picks
// the piece size, so that seams fall everywhere.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "formats/obj.h"
#include "tests/obj_oracle.h"

namespace {

template <class T> bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

bool sameStatus(const obj_status& a, const obj_status& b) {
    return a.failure == b.failure && a.line == b.line && a.faces == b.faces &&
           a.faces_truncated == b.faces_truncated;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    std::vector<glm::vec3> p1, n1, p2, n2, p3, n3;
    std::vector<glm::vec2> t1, t2, t3;
    obj_status s1, s3;
    const bool ok1 = parseOBJ(text, size, p1, t1, n1, &s1, {1, 0});
    const bool ok2 = oracleParseOBJ(text, size, p2, t2, n2);
    if (ok1 != ok2 || !sameBits(p1, p2) || !sameBits(t1, t2) || !sameBits(n1, n2)) std::abort();
    const std::size_t piece = size ? 1 + data[0] % 32 : 1;
    const bool ok3 = parseOBJ(text, size, p3, t3, n3, &s3, {2, piece});
    if (ok3 != ok1 || !sameBits(p3, p1) || !sameBits(t3, t1) || !sameBits(n3, n1) ||
        !sameStatus(s3, s1))
        std::abort();
    return 0;
}
