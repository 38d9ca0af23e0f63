#pragma once
#include <cstdint>

#include <GL/glew.h>

// What tool panels drawn over a frame need of OpenGL beyond what their widget library draws: a
// picture made on the CPU, shown as a texture, and an opaque background cleared rather than
// blended.

// Puts width x height pixels (RGBA, 8 bits a channel, rows in the order the panel draws them,
// the first at the top) into texture `name`, made first when it is 0; sampled nearest and
// clamped, so that it shows pixel for pixel. Returns the texture. The texture bound before is
// bound again.
GLuint putPicture(GLuint name, int width, int height, const std::uint32_t* rgba);
// Deletes the texture when there is one, and sets name to 0.
void deletePicture(GLuint& name);

// Clears the bottom `rows` rows of a framebuffer `width` pixels wide to colour (RGBA, 0 to 1),
// scissored; the clear colour and the scissor test and box are left as they were.
void clearBottomRows(int width, int rows, const float (&colour)[4]);
