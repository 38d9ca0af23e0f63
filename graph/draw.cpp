// The scene-graph drawing walk: see scene/scene.h.
#include <cmath>
#include <cstdio>
#include <exception>

#include <GL/glew.h>

#include "scene/scene.h"

namespace {

// Says once per descriptor which of its names has no asset; such a descriptor is skipped.
void reportMissing(modelo_descript& d, bool shader, bool tex, bool mesh) {
    if (d.reported_missing) return;
    d.reported_missing = true;
    std::printf("modelo \"%s\" is not drawn:", d.mesh_name.c_str());
    if (shader) std::printf(" no shader \"%s\";", d.shader_name.c_str());
    if (tex) std::printf(" no texture \"%s\";", d.texture_name.c_str());
    if (mesh) std::printf(" no mesh \"%s\";", d.mesh_name.c_str());
    std::printf("\n");
}

} // namespace

void scene::drawGroup(group* g, glm::mat4 model, glm::mat4 projection, camera* c) {
    try {
        const double t = elapsedTime;
        for (transform& tr : g->transforms) {
            tr.update(t);
            model = tr.apply(model, t);
        }

        for (modelo_descript& d : g->descriptors) {
            if (!d.is_on_time(t)) continue;
            const glm::mat4 view = c->viewMatrix();
            const auto s = resources.shaders.find(d.shader_name);
            const bool textured = !d.texture_name.empty();
            const auto tex =
                textured ? resources.textures.find(d.texture_name) : resources.textures.end();
            const auto mesh = resources.modelos.find(d.mesh_name);
            const bool noShader = s == resources.shaders.end();
            const bool noTexture = textured && tex == resources.textures.end();
            const bool noMesh = mesh == resources.modelos.end();
            if (noShader || noTexture || noMesh) {
                reportMissing(d, noShader, noTexture, noMesh);
                continue;
            }

            if (textured) {
                glActiveTexture(GL_TEXTURE0);
                glBindTexture(GL_TEXTURE_2D, tex->second.texture_id);
            } else {
                glBindTexture(GL_TEXTURE_2D, 0);
            }
            const shader& program = s->second;
            glUseProgram(program.program_id);
            glUniformMatrix4fv(program.model_location, 1, GL_FALSE, &model[0][0]);
            glUniformMatrix4fv(program.view_location, 1, GL_FALSE, &view[0][0]);
            glUniformMatrix4fv(program.projection_location, 1, GL_FALSE, &projection[0][0]);

            const GLint objectColor = glGetUniformLocation(program.program_id, "objectColor");
            const GLint lightColor = glGetUniformLocation(program.program_id, "lightColor");
            const GLint lightPos = glGetUniformLocation(program.program_id, "lightPos");
            const GLint viewPos = glGetUniformLocation(program.program_id, "viewPos");
            glUniform3f(objectColor, d.colour.r, d.colour.g, d.colour.b);
            glUniform3f(lightColor, 1.0f, 1.0f, 1.0f);
            // The light reads the clock now, not the frame's time: it circles once per 2 pi s.
            const double tau = timer();
            glUniform3f(lightPos, static_cast<float>(2.0 + std::cos(tau)), 3.0f,
                        static_cast<float>(2.0 + std::sin(tau)));
            const glm::vec3 eye = c->GetPosition();
            glUniform3f(viewPos, eye.x, eye.y, eye.z);

            mesh->second.draw(model, view, projection);
        }

        for (group& child : g->children)
            drawGroup(&child, model, projection, c);
    } catch (const std::exception& e) {
        std::printf("modelo iter\n%s\n", e.what());
    }
}
