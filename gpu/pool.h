#pragma once
#include <GL/glew.h>
#include <vector>

// The one owner of a scene's OpenGL objects. Records keep plain names that copies share; the
// pool knows every name made while a scene loads and deletes them all together.
class gl_pool {
public:
    enum kind { textures, programs, buffers, vertex_arrays, kind_count };

    gl_pool() = default;
    gl_pool(const gl_pool&) = delete;
    gl_pool& operator=(const gl_pool&) = delete;

    // Takes name (0 is no object and is passed over) into the pool.
    void keep(kind k, GLuint name);
    // Deletes every object kept, once; needs the context they were made in.
    void release();

    // Objects kept by every pool of the process and not yet deleted: what a long run must not
    // let grow.
    static long liveInAllPools();

    long created() const { return made; }
    long deleted() const { return gone; }
    const std::vector<GLuint>& names(kind k) const { return kept[k]; }

private:
    std::vector<GLuint> kept[kind_count];
    long made = 0; // names kept so far
    long gone = 0; // names deleted so far
};
