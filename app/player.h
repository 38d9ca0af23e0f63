#pragma once
#include <GLFW/glfw3.h>

class scene;

// The one window and the one scene of the player.
extern GLFWwindow* window;
extern scene* s;

// Keeps the projection and the viewport in step with the window.
void window_size_callback(GLFWwindow* w, int width, int height);

// The whole player: music, full-screen window, scene, main loop. Returns the process status:
// 0 after a normal end, -1 when the window or GL could not start, 1 when the scene has a
// load error.
int runPlayer(int argc, char** argv);
