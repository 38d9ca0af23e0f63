#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include <glm/glm.hpp>

// Reading of Wavefront OBJ text (positions, texture coordinates, normals, triangular faces
// with all three indices per corner) into an unindexed triangle list: three corners per
// triangle, one entry per corner in each of the three lists.
//
// The reading follows C formatted input exactly: each line starts with a word (at most 127
// bytes, compared up to its first NUL byte; longer words are unrecognised); "v" and "vn" take
// "%f %f %f\n", "vt" takes "%f %f\n" and is stored as (u, -v), "f" takes
// "%d/%d/%d %d/%d/%d %d/%d/%d\n", and any other word skips up to 999 bytes or through the line
// break. Numbers that are not converted are 0. Floats round the decimal text straight to float.

// Why a read failed; `line` in obj_status points at the face for the face failures.
enum class obj_failure {
    none,
    open,       // the file could not be opened or read
    face_form,  // a face did not give nine integers in the accepted form
    face_index, // a face index was 0, negative or beyond its list
};

// What a read found besides the triangles, for tools that explain a failed file.
struct obj_status {
    obj_failure failure = obj_failure::none;
    std::size_t line = 0;            // 1-based line of the failing face's "f" word; 0 if none
    std::size_t faces = 0;           // faces read, one triangle each
    std::size_t faces_truncated = 0; // faces with more corners on their line, only 3 kept
};

// How a reading shares its work among threads. The lists, the result and the status never
// depend on it: the text is read in pieces, side by side, joined in order, and a piece whose
// first record is not where the reading before it ended is read again from there; one thread
// reads and joins them in turn. The default reads small files on this thread, larger ones on
// every core (at most kObjMaxThreads); the web build reads on one thread.
struct obj_threads {
    unsigned threads = 0;  // 0: as many as the machine has cores; 1: this thread only
    std::size_t piece = 0; // bytes per piece (0: chosen from the size); given, it also makes
                           // small texts use the threads
};
inline constexpr unsigned kObjMaxThreads = 8;
// Texts shorter than this are read on one thread unless a piece size is given: below it, threads
// saved nothing measurable on the development machine once it was busy (docs/obj-reading.md).
inline constexpr std::size_t kObjThreadedFrom = std::size_t(4) << 20;

// Prints "Loading OBJ file <path>..." and reads the file. On success appends one entry per
// triangle corner to each list and returns true; on failure prints the reason, leaves the lists
// unchanged and returns false. It never waits for input: the player reads meshes only once its
// full-screen window covers the terminal. A file that shrinks while it is read is read as far as
// it goes. `threads` shares the reading among threads without changing anything it gives;
// *status, when given, says what the reading found (a failing face's line only for text that
// is not a regular file).
bool loadOBJ(const char* path, std::vector<glm::vec3>& out_vertices,
             std::vector<glm::vec2>& out_uvs, std::vector<glm::vec3>& out_normals,
             const obj_threads& threads = {}, obj_status* status = nullptr);

// The same reading over bytes in memory (which may hold NUL bytes): prints nothing, never
// blocks, and fills *status when given. Lists are appended to only on success.
bool parseOBJ(const char* data, std::size_t size, std::vector<glm::vec3>& out_vertices,
              std::vector<glm::vec2>& out_uvs, std::vector<glm::vec3>& out_normals,
              obj_status* status = nullptr, const obj_threads& threads = {});
