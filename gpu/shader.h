#pragma once
#include <GL/glew.h>

#include <string>

#include "gpu/program_check.h"

// GLSL programs built from a vertex and a fragment source file, with the uniform locations the
// drawing uses, looked up once.

// What a program's build leaves for the tools, besides the trace: the driver's results and logs,
// and the sources as read (the checks that follow need not read the files again).
struct program_build {
    bool vertex_read = false; // false: the vertex file could not be read, nothing was built
    bool fragment_read = false;
    std::string why; // why a file could not be read
    std::string vertex_source, fragment_source;
    program_report report;
};

// Reads both files whole, compiles and links them, printing "Compiling shader : <path>" for each
// stage, "Linking program", and every log the driver writes, as it comes, to the asset trace.
// Failed compiles or links show only in those logs; the program name is returned all the same.
// A missing fragment file compiles as an empty source. A missing vertex file is reported and
// gives 0, without waiting for input (the player's full-screen window covers the terminal by
// then). With `build`, what the driver made of it is kept there too.
GLuint LoadShaders(const char* vertex_file_path, const char* fragment_file_path,
                   program_build* build = nullptr);

// A linked program and its uniform locations (-1 where the program has no such active uniform).
// Copies share the program, which the scene's gl_pool deletes with the scene.
class shader {
public:
    shader(std::string vertex_path, std::string fragment_path, program_build* build = nullptr);
    // The same, tagged with a number that nothing reads.
    shader(int number, std::string vertex_path, std::string fragment_path,
           program_build* build = nullptr);

    int number = 0;
    GLint mvp_location = -1;        // "MVP"
    GLint sampler_location = -1;    // "myTextureSampler"
    GLuint program_id = 0;          // 0 when the vertex file could not be opened
    GLint model_location = -1;      // "model"
    GLint view_location = -1;       // "view"
    GLint projection_location = -1; // "projection"
};
