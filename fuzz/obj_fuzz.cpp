// Feeds arbitrary bytes to parseOBJ and stops at the first input on which it differs from the
// fscanf reading of the tests (result or any bit of the three lists).
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    std::vector<glm::vec3> p1, n1, p2, n2;
    std::vector<glm::vec2> t1, t2;
    const bool ok1 = parseOBJ(text, size, p1, t1, n1);
    const bool ok2 = oracleParseOBJ(text, size, p2, t2, n2);
    if (ok1 != ok2 || !sameBits(p1, p2) || !sameBits(t1, t2) || !sameBits(n1, n2)) std::abort();
    return 0;
}
