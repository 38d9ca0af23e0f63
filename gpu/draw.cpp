// Draw submission: see draw.h.
#include "gpu/draw.h"

void submitDraw(const model_draw& d) {
    if (d.textured) {
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, d.texture);
    } else {
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    const GLuint program = d.program->program_id;
    glUseProgram(program);
    glUniformMatrix4fv(d.program->model_location, 1, GL_FALSE, &d.model[0][0]);
    glUniformMatrix4fv(d.program->view_location, 1, GL_FALSE, &d.view[0][0]);
    glUniformMatrix4fv(d.program->projection_location, 1, GL_FALSE, &d.projection[0][0]);
    const GLint objectColor = glGetUniformLocation(program, "objectColor");
    const GLint lightColor = glGetUniformLocation(program, "lightColor");
    const GLint lightPos = glGetUniformLocation(program, "lightPos");
    const GLint viewPos = glGetUniformLocation(program, "viewPos");
    glUniform3f(objectColor, d.colour.r, d.colour.g, d.colour.b);
    glUniform3f(lightColor, 1.0f, 1.0f, 1.0f);
    glUniform3f(lightPos, d.light.x, d.light.y, d.light.z);
    glUniform3f(viewPos, d.viewer.x, d.viewer.y, d.viewer.z);
    d.mesh->draw(d.model, d.view, d.projection);
}
