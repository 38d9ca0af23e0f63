// The scene's frame side: its clock, its projection and the drawing walk. See scene.h.
#include "scene/scene.h"

#include <cstdio>
#include <exception>

#include <glm/gtc/matrix_transform.hpp>

#include "gpu/draw.h"

namespace {

// Says once per descriptor which of its names has no asset; such a descriptor is skipped.
void reportMissing(const modelo_descript& d, bool shader, bool tex, bool mesh) {
    std::printf("modelo \"%s\" is not drawn:", d.mesh_name.c_str());
    if (shader) std::printf(" no shader \"%s\";", d.shader_name.c_str());
    if (tex) std::printf(" no texture \"%s\";", d.texture_name.c_str());
    if (mesh) std::printf(" no mesh \"%s\";", d.mesh_name.c_str());
    std::printf("\n");
}

} // namespace

void scene::updateElapsedTime() {
    elapsedTime = now();
}

void scene::changeWindowSize(int width, int height) {
    // A minimised or zero-height window has no aspect ratio; keep the last projection.
    if (width <= 0 || height <= 0) return;
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    projection = glm::perspective(glm::radians(45.0f), aspect, 0.1f, 100.0f);
}

void scene::drawGroup(group* g, glm::mat4 model, glm::mat4 projection, camera* c) {
    try {
        const double t = elapsedTime;
        model = applyTransforms(g->transforms, model, t);
        for (const modelo_descript& d : g->descriptors) {
            if (!d.is_on_time(t)) continue;
            const auto s = resources.shaders.find(d.shader_name);
            const bool textured = !d.texture_name.empty();
            const auto tex =
                textured ? resources.textures.find(d.texture_name) : resources.textures.end();
            const auto mesh = resources.modelos.find(d.mesh_name);
            const bool noShader = s == resources.shaders.end();
            const bool noTexture = textured && tex == resources.textures.end();
            const bool noMesh = mesh == resources.modelos.end();
            if (noShader || noTexture || noMesh) {
                if (reported_missing.insert(&d).second)
                    reportMissing(d, noShader, noTexture, noMesh);
                continue;
            }
            const GLuint* bound = textured ? &tex->second.texture_id : nullptr;
            if (bound && *bound == 0) bound = &unusable_texture;
            // The light reads the clock now, not the frame's time.
            submitDraw(s->second, bound, mesh->second, model, c->viewMatrix(), projection, d.colour,
                       circlingLight(now()), c->GetPosition());
        }
        for (group& child : g->children)
            drawGroup(&child, model, projection, c);
    } catch (const std::exception& e) {
        std::printf("modelo iter\n%s\n", e.what());
    }
}
