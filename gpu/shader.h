#pragma once
#include <GL/glew.h>

#include <string>

// GLSL programs built from a vertex and a fragment source file, with the uniform locations the
// drawing uses, looked up once.

// Reads both files whole, compiles and links them, printing "Compiling shader : <path>" for each
// stage, "Linking program", and every log the driver writes, as it comes. Failed compiles or
// links show only in those logs; the program name is returned all the same. A missing fragment
// file compiles as an empty source. A missing vertex file is reported and gives 0, without
// waiting for input (the player's full-screen window covers the terminal by then).
GLuint LoadShaders(const char* vertex_file_path, const char* fragment_file_path);

// A linked program and its uniform locations (-1 where the program has no such active uniform).
// Copies share the program, which the scene's gl_pool deletes with the scene.
class shader {
public:
    shader(std::string vertex_path, std::string fragment_path);
    // The same, tagged with a number that nothing reads.
    shader(int number, std::string vertex_path, std::string fragment_path);

    int number = 0;
    GLint mvp_location = -1;        // "MVP"
    GLint sampler_location = -1;    // "myTextureSampler"
    GLuint program_id = 0;          // 0 when the vertex file could not be opened
    GLint model_location = -1;      // "model"
    GLint view_location = -1;       // "view"
    GLint projection_location = -1; // "projection"
};
