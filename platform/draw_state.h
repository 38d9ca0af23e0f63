#pragma once

// The state every frame is drawn in, whatever draws it: a black clear colour and the depth
// test with GL_LESS. Needs a current context.
void setDrawState();
