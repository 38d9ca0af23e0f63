#pragma once
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/preview.h"
#include "authoring/problems.h"
#include "authoring/timeline.h"
#include "studio/music_peaks.h"
#include "studio/time_axis.h"

// The studio: panels drawn with Dear ImGui over the preview's frames. A timeline along the
// bottom (ruler, music, camera and model lanes, playhead, loop), the scene's problems, and a
// status line. Immediate-mode widgets keep the panels a function of the preview's state each
// frame, with text, tooltips, clipping and mouse capture done, where our own would need a font,
// a text layout and a widget state of their own.
struct ImDrawList;

class studio_overlay : public preview_overlay {
public:
    studio_overlay();
    ~studio_overlay() override;

    void attach(GLFWwindow* window, bool shown) override;
    void toggle() override { shown = !shown; }
    bool visible() const override { return shown; }
    int covers(int height) override;
    void loaded(const std::string& path, const scene& playing, const std::vector<diagnostic>& found,
                const std::vector<diagnostic>& refusal) override;
    preview_requests draw(const preview_view& view) override;
    void detach() override;

private:
    // What the mouse is doing on the timeline.
    enum class gesture { none, seeking, looping, panning };
    // A bar as drawn, for hovering and the layout.
    struct bar {
        float x0, x1, y0, y1;
        std::string kind, id, details; // id: the camera's number or the group's path
        double start, end;
    };

    void takeMusic();
    void readModel(double musicSeconds);
    float timelineHeight(float height, float& lane) const;
    void drawTimeline(const preview_view& view, preview_requests& asked, float width, float height);
    void drawWaveform(ImDrawList* draw, float right);
    void drawProblems(float width, float top);
    void drawProblem(const diagnostic& d, const std::string& text, int id, float width);
    void writeLayout(float width, float height);

    GLFWwindow* window = nullptr;
    bool shown = true;
    bool attached = false;
    std::string path;
    const scene* playing = nullptr; // the scene of the last load, alive until the next
    scene_timeline model;
    std::vector<std::string> groupPaths; // the model lanes' group paths, in file order
    bool musicKnown = false;             // model has the music's length
    std::unique_ptr<music_peaks> peaks;
    unsigned waveTexture = 0;        // the waveform as drawn for waveKey
    std::array<double, 3> waveKey{}; // the axis's start and span, and the columns

    bool musicSaid = false; // the music's problem, if it has one, is listed
    problem_list problems;
    bool problemsOpen = false;
    std::size_t problemCount = 0; // shown last frame, to open and close the panel

    time_axis axis;
    bool followAxis = true; // not yet zoomed or panned: the whole demo stays in view
    gesture mouse = gesture::none;
    double loopFrom = 0.0, loopTo = 0.0;
    float lastPointer = -1.0f;

    std::vector<bar> bars;
    float rulerTop = 0, rulerHeight = 0, musicTop = 0, musicHeight = 0, panelTop = 0;
    float problemsLeft = 0, problemsTop = 0, problemsWidth = 0, problemsHeight = 0;
    std::string copied;
    const char* layoutPath = nullptr;
    std::string layoutWritten;
};
