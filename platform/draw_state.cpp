// The drawing state: see draw_state.h.
#include "platform/draw_state.h"

#include <GL/glew.h>

void setDrawState() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
}
