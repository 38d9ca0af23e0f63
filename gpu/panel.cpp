// OpenGL for tool panels: see panel.h.
#include "gpu/panel.h"

GLuint putPicture(GLuint name, int width, int height, const std::uint32_t* rgba) {
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    if (name == 0) glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    return name;
}

void deletePicture(GLuint& name) {
    if (name != 0) glDeleteTextures(1, &name);
    name = 0;
}

// On llvmpipe a clear costs a fraction of blending the same pixels.
void clearBottomRows(int width, int rows, const float (&colour)[4]) {
    GLfloat before[4];
    GLint box[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, before);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    const GLboolean scissored = glIsEnabled(GL_SCISSOR_TEST);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, width, rows);
    glClearColor(colour[0], colour[1], colour[2], colour[3]);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(before[0], before[1], before[2], before[3]);
    glScissor(box[0], box[1], box[2], box[3]);
    if (!scissored) glDisable(GL_SCISSOR_TEST);
}
