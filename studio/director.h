#pragma once
#include <optional>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "camera/camera.h"

class scene;

// The author's own camera in the studio, free of the scene's cameras. It never rolls and its
// pitch stays within kMaxPitch, so that the world's up is always a valid up. It keeps a look
// point `distance` ahead, which the drawing takes as the viewer's position, as for a scene
// camera.
class director {
public:
    static constexpr float kMaxPitch = glm::radians(89.0f);

    // Stands at eye looking at look; the look point's distance is kept.
    void lookFrom(glm::vec3 eye, glm::vec3 look);
    // Moves by `seconds` of flight along right, up and forward (each -1, 0 or 1 held).
    void fly(glm::vec3 held, double seconds);
    // Turns by a pointer's move in pixels: right turns right, down looks down.
    void turn(float dx, float dy);
    // Circles round centre by a pointer's move, turning with it: centre keeps its place in view.
    void orbit(glm::vec3 centre, float dx, float dy);
    // A wheel's notches: each one a quarter faster, or slower.
    void scaleSpeed(float notches);

    glm::vec3 forward() const;
    // Right, up and forward, as the columns.
    glm::mat3 axes() const;
    glm::vec3 look() const { return eye + forward() * distance; }
    // A static camera standing where the director does.
    camera view() const;

    glm::vec3 eye = glm::vec3(0.0f);
    float yaw = 0.0f;   // radians about y from -z, turning right positive
    float pitch = 0.0f; // radians up from the horizontal
    float distance = 10.0f;
    float speed = 5.0f; // units a second
};

// One curve of the scene as the studio draws it in world space, at the playhead.
struct drawn_path {
    enum kind_type { camera_path, group_path };
    kind_type kind = camera_path;
    int number = 0; // the camera's from 1, or the group curve's in walk order from 1
    bool selected = false;
    std::vector<glm::vec3> curve;   // samples round the closed curve, the first not repeated
    std::vector<glm::vec3> handles; // its points
    std::optional<glm::vec3> look;  // a camera's fixed look point, joined to its eye
    glm::vec3 eye = glm::vec3(0.0f);
    std::vector<int> places; // each point's element in the scene's source, or -1
    glm::mat4 model{1.0f};   // its points' world from their own coordinates
};

// Samples a segment of a path is drawn with.
constexpr int kPathSamples = 32;

// Every moving camera's path and every curve translation of the groups, at scene time t, from
// the same curve evaluation the scene plays with; a group's curve under the model matrix just
// before its transform. The scene's kept transform state must be that of time t, as after a
// frame drawn at t. `selected`: the camera index to stand out, or -1.
// before: the paths drawn last, whose samples are taken again where a path's points are the same.
std::vector<drawn_path> scenePaths(const scene& sc, double t, int selected,
                                   const std::vector<drawn_path>* before = nullptr);

// The middle of the box round every camera's points (eyes, look points, path points): what
// the director orbits where no path is under the pointer.
glm::vec3 sceneCentre(const scene& sc);

// A numbered view kept by the author: eye and look point.
struct bookmark {
    int digit = 0;
    glm::vec3 eye = glm::vec3(0.0f), look = glm::vec3(0.0f);
};

// Where the bookmarks of the scene file at scenePath are kept: beside it as SCENE.views when
// its folder can be written, else under the user's configuration folder ($XDG_CONFIG_HOME, or
// ~/.config), named after the scene's absolute path. Empty when neither can be had.
std::string bookmarkFile(const std::string& scenePath, bool folderWritable, const char* xdgConfig,
                         const char* home);
// Lines "DIGIT EYE_X EYE_Y EYE_Z LOOK_X LOOK_Y LOOK_Z"; lines that do not read are passed over.
std::vector<bookmark> readBookmarks(const std::string& text);
std::string writeBookmarks(const std::vector<bookmark>& marks);
