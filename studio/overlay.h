#pragma once
#include <array>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/preview.h"
#include "authoring/problems.h"
#include "authoring/timeline.h"
#include "studio/director_view.h"
#include "studio/editing.h"
#include "studio/properties.h"
#include "studio/music_peaks.h"
#include "studio/path_editing.h"
#include "studio/timeline_panel.h"

// The studio: panels drawn with Dear ImGui over the preview's frames. A timeline along the
// bottom (ruler, music, camera and model lanes, playhead, loop), the scene's problems, and a
// status line. Immediate-mode widgets keep the panels a function of the preview's state each
// frame, with text, tooltips, clipping and mouse capture done, where our own would need a font,
// a text layout and a widget state of their own.
class studio_overlay : public preview_overlay {
public:
    void attach(GLFWwindow* window, bool shown) override;
    void toggle() override { shown = !shown; }
    bool visible() const override { return shown; }
    int covers(int height) override;
    void loaded(const std::string& path, scene& playing, const std::vector<diagnostic>& found,
                const std::vector<diagnostic>& refusal) override;
    preview_requests draw(const preview_view& view) override;
    bool key(int key, int action, int mods) override;
    void detach() override;
    void otherKey(int key, int mods) override;
    const camera* viewer() const override { return director.viewer(); }
    double overPicture(const scene& sc, const camera& filming, double time) override {
        return director.overPicture(sc, filming, time);
    }

private:
    void readModel(double musicSeconds);
    void drawProblems(float width, float top);
    void selectLine(const diagnostic& d);
    void writeLayout(float width, float height);
    picture_map pictureMap(int width, int height);

    GLFWwindow* window = nullptr;
    bool shown = true;
    std::string path;
    scene* playing = nullptr; // the scene of the last load, alive until the next
    scene_timeline model;
    std::vector<std::string> groupPaths; // each model lane's group path, in file order
    std::unique_ptr<music_peaks> peaks;

    bool musicSaid = false; // the music's problem, if it has one, is listed
    problem_list problems;
    bool problemsOpen = false;
    std::size_t problemCount = 0; // shown last frame, to open and close the panel

    timeline_panel timeline;
    director_view director;
    path_editing pathEditing;
    double playhead = 0.0; // the time of the last frame drawn
    studio_editing editing;
    properties_panel properties;
    std::array<float, 4> problemsBox{}; // the problems' window: left, top, width and height
    std::string copied;
    const char* const layoutPath = std::getenv("KESTRINE_PREVIEW_LAYOUT");
    std::string layoutWritten;
};
