// The GL object pool: see pool.h.
#include "gpu/pool.h"

#include <atomic>

namespace {

std::atomic<long> live{0};

} // namespace

void gl_pool::keep(kind k, GLuint name) {
    if (name == 0) return;
    kept[k].push_back(name);
    ++made;
    ++live;
}

void gl_pool::release() {
    const auto count = [](const std::vector<GLuint>& v) { return GLsizei(v.size()); };
    if (!kept[textures].empty()) glDeleteTextures(count(kept[textures]), kept[textures].data());
    for (GLuint p : kept[programs])
        glDeleteProgram(p);
    if (!kept[buffers].empty()) glDeleteBuffers(count(kept[buffers]), kept[buffers].data());
    if (!kept[vertex_arrays].empty())
        glDeleteVertexArrays(count(kept[vertex_arrays]), kept[vertex_arrays].data());
    for (std::vector<GLuint>& v : kept) {
        gone += long(v.size());
        live -= long(v.size());
        v.clear();
    }
}

long gl_pool::liveInAllPools() {
    return live.load();
}
