#pragma once
#include <string>

struct dds_image;

// Where the desktop's OpenGL 3.3 and the browser's WebGL 2 differ for the assets we upload. The
// build picks one implementation (gl_target_native.cpp or gl_target_web.cpp), so the uploads
// themselves are the same code for both.

// The text a shader is compiled from: as written on the desktop, rewritten to GLSL ES 3.00 for
// WebGL 2.
std::string shaderSourceFor(const std::string& source);

// Whether the GL takes this compressed texture. When it does not, the reason goes where the
// platform's warnings go, naming path.
bool textureAccepted(const char* path, const dds_image& img);

// Whether compressed textures are decoded to RGBA8 before they are uploaded: where the GL has
// no S3TC, as most phones' WebGL 2.
bool textureDecoded();
