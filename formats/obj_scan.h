#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include <glm/glm.hpp>

// The record scanner of the OBJ reading: records from text into lists, as C formatted input
// reads them (obj.h says how).
namespace obj_reading {

struct corner {
    std::uint32_t position, uv, normal; // 1-based, as in the file
};

// What a scan gathers: the entries in file order and each face's corners with their indices as
// read (they are resolved once the lists before them are known).
struct records {
    std::vector<glm::vec3> positions, normals;
    std::vector<glm::vec2> uvs;
    std::vector<corner> corners;
    std::size_t faces = 0, faces_truncated = 0;
    std::size_t find = SIZE_MAX; // the scan stops before the face with this number (from 0)

    // Empties the lists and keeps their room.
    void clear();
};

// Where a scan stops: at the end of its text; at a face that fails; at the face it was asked to
// find; at a record that reaches the end of a piece and might read on beyond it; at the record
// start it was asked to meet.
enum class scan_end { done, bad_face, found, cut, met };

// Reads records from p to e into `out`. `at` is where the record it stopped at starts. With
// `cut_at_end`, e ends a piece of the text rather than the text: a record that looks at e might
// read on in the full text, so it is left unread (cut). Reading stops before the first record
// that starts at or after `meet` (e for none).
scan_end scan(const char* p, const char* e, bool cut_at_end, const char* meet, records& out,
              const char*& at);

// How many lines of each kind a text has per byte, from samples of its head and its tail
// (vertices usually come first, faces last). It errs high: room reserved and never written
// costs address space, not memory.
struct text_density {
    double positions = 0, uvs = 0, normals = 0, faces = 0;

    static text_density of(const char* head, std::size_t head_size, const char* tail,
                           std::size_t tail_size);
    // Room for `bytes` of such text at `per_byte` entries (or corners) per byte.
    static std::size_t room(double per_byte, std::size_t bytes);
};
inline constexpr std::size_t kDensitySample = std::size_t(1) << 16;

// 1-based line of `at` in the text from `begin`.
std::size_t lineOf(const char* begin, const char* at);

} // namespace obj_reading
