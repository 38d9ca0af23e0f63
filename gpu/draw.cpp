// Draw submission: see draw.h.
#include "gpu/draw.h"

void submitDraw(const shader& program, const GLuint* tex, const modelo& mesh,
                const glm::mat4& model, const glm::mat4& view, const glm::mat4& projection,
                glm::vec3 colour, glm::vec3 light, glm::vec3 viewer) {
    if (tex) glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, tex ? *tex : 0);
    const GLuint id = program.program_id;
    glUseProgram(id);
    glUniformMatrix4fv(program.model_location, 1, GL_FALSE, &model[0][0]);
    glUniformMatrix4fv(program.view_location, 1, GL_FALSE, &view[0][0]);
    glUniformMatrix4fv(program.projection_location, 1, GL_FALSE, &projection[0][0]);
    glUniform3f(glGetUniformLocation(id, "objectColor"), colour.r, colour.g, colour.b);
    glUniform3f(glGetUniformLocation(id, "lightColor"), 1.0f, 1.0f, 1.0f);
    glUniform3f(glGetUniformLocation(id, "lightPos"), light.x, light.y, light.z);
    glUniform3f(glGetUniformLocation(id, "viewPos"), viewer.x, viewer.y, viewer.z);
    mesh.draw(model, view, projection);
}
