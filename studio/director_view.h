#pragma once
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "studio/director.h"
#include "studio/handles.h"

struct GLFWwindow;
class depth_probe;
class guide_painter;

// The studio's side of the director's camera: its keys and pointer, the paths drawn over its
// picture, its bookmarks, and what the layout file says of it.
//   V           the director's view on / off (it starts where the filming camera stands)
//   F           back to the filming camera's view
//   P           the paths on / off
//   W A S D     fly forward, left, back, right; Q / E down / up (only in the director's view)
//   Ctrl+digit  keep the view under that digit; the digit alone: back to it
class director_view {
public:
    director_view();
    ~director_view();
    void attach(GLFWwindow* w) { window = w; }
    void detach(); // with the context current
    // After each load of the scene file at scenePath; its bookmarks are read on the first.
    void loaded(const std::string& scenePath, const scene& sc);
    void key(int key, int mods);
    // Once a frame, after the panels: pointerFree when the panels do not hold the pointer;
    // wheel: its notches over the picture since the last frame; map: the picture as shown, where
    // a middle-drag finds what to orbit.
    void follow(bool pointerFree, float wheel, const picture_map& map);
    const camera* viewer() const { return shown ? &seen : nullptr; }
    const director& flyer() const { return flying; }
    // The paths as last drawn, empty while they are not.
    const std::vector<drawn_path>& drawnPaths() const { return drawn; }
    glm::mat4 viewProjection() const { return projection * seen.viewMatrix(); }
    double overPicture(const scene& sc, const camera& filming, double t);
    // The layout file's lines: the view, the projection and every path drawn.
    std::string layout() const;

    int selected = -1;      // the camera whose path stands out, or -1
    int selectedPoint = -1; // the place of the point whose handle stands out, or -1

private:
    void show(bool on);
    void keep(int digit);
    void recall(int digit);
    void drawGuides(const camera& filming);
    void pivotFromDepth();

    GLFWwindow* window = nullptr;
    bool shown = false, paths = true, placed = false;
    director flying;
    camera seen;
    camera lastFilming;
    glm::vec3 centre = glm::vec3(0.0f);
    glm::vec3 pivot = glm::vec3(0.0f); // what the middle-drag orbits round
    // A middle press over no path, at this frame pixel: its pivot is the scene's point there,
    // read from the next picture's depth before the orbit starts.
    std::optional<glm::vec2> sought;
    std::unique_ptr<depth_probe> probe;
    std::vector<drawn_path> drawn;
    glm::mat4 projection = glm::mat4(1.0f);
    std::unique_ptr<guide_painter> painter;
    std::string scenePath, marksFile;
    std::vector<bookmark> marks;
    double lastWall = -1.0;
    double lastX = 0.0, lastY = 0.0;
    int dragging = -1; // the mouse button of a drag begun over the picture, or -1
    // The path pass timed alone for the frame log's figures.
    const bool timed = std::getenv("KESTRINE_PREVIEW_FRAME_LOG") != nullptr;
};
