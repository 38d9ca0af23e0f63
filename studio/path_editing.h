#pragma once
#include <string>

#include <glm/glm.hpp>

#include "studio/handles.h"

struct GLFWwindow;
class director_view;
class scene;
class studio_editing;

// The paths' points and the cameras edited in the director's picture, each gesture one step of
// the editing's history, live while it lasts and written on release:
//   left-drag a handle  selects its point and moves it in the plane facing the view through it;
//                       with Shift, along the world axis whose picture runs nearest the drag
//   K                   the selected point to the director's eye ("key from view")
//   I                   a new point after the selected one, at the director's eye
//   Delete              the selected point taken out (a path keeps at least two)
//   C                   "new camera here": a static camera at the director's eye and look
//                       point, filming the second under the playhead
class path_editing {
public:
    void attach(GLFWwindow* w) { window = w; }
    // Once a frame, before the director follows the pointer. map: the picture as shown.
    void follow(const director_view& d, studio_editing& editing, const picture_map& map,
                bool pointerFree);
    // A key pressed; sc: the scene playing, playhead: its time.
    void key(int key, int mods, const director_view& d, studio_editing& editing, const scene& sc,
             double playhead);
    // The layout file's line: the selected point, and whether it is being dragged.
    std::string layout(const director_view& d, const studio_editing& editing) const;

private:
    void move(studio_editing& editing, glm::vec3 world, bool written);

    GLFWwindow* window = nullptr;
    bool held = false; // the left button, pressed over the picture
    int grabbed = -1;  // the place of the point being dragged, or -1
    glm::vec3 start{0.0f}, ahead{0.0f}, shown{0.0f};
    glm::mat4 model{1.0f}; // the dragged point's world from its own coordinates
    glm::vec2 from{0.0f};
    picture_map pressed;
};

// The index of the camera whose element or path point is at place, or -1.
int cameraOf(const scene& sc, int place);
