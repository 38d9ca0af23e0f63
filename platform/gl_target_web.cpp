// The browser's WebGL 2: see gl_target.h.
#include "platform/gl_target.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include "formats/dds.h"
#include "formats/glsl_es.h"

std::string shaderSourceFor(const std::string& source) {
    return toGlslEs(source);
}

bool textureAccepted(const char* path, const dds_image& img) {
    // WebGL would refuse every level; say why the texture is missing instead.
    if (ddsFitsWebGL(img)) return true;
    emscripten_log(EM_LOG_CONSOLE | EM_LOG_WARN,
                   "%s: %ux%u is not a multiple of 4 pixels, which WebGL needs for S3TC "
                   "textures; drawn as texture 0",
                   path, unsigned(img.width), unsigned(img.height));
    return false;
}

bool textureDecoded() {
    // The page has one context, so the answer holds for the page's life.
    static const bool decoded = !emscripten_webgl_enable_extension(
        emscripten_webgl_get_current_context(), "WEBGL_compressed_texture_s3tc");
    return decoded;
}
