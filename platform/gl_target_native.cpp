// The desktop's OpenGL: see gl_target.h.
#include "platform/gl_target.h"

std::string shaderSourceFor(const std::string& source) {
    return source;
}

bool textureAccepted(const char*, const dds_image&) {
    return true;
}

// OpenGL 3.3 drivers all decode S3TC themselves.
bool textureDecoded() {
    return false;
}
