// The studio's panels: see overlay.h.
#include "studio/overlay.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>

// GL's declarations come from GLEW, through the scene's header.
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>

#include "authoring/diagnostics.h"
#include "platform/music.h"
#include "scene/scene.h"

namespace {

// The "file:line" a problem starts with, or the whole first line.
std::string place(const std::string& text) {
    static const std::regex at("^([^:\n]+:[0-9]+)(:[0-9]+)?:");
    std::smatch m;
    if (std::regex_search(text, m, at)) return m[1].str() + m[2].str();
    return text.substr(0, text.find('\n'));
}

std::vector<studio_overlay::problem> runChecker(const std::string& path) {
    std::vector<studio_overlay::problem> found;
    const check_result r = checkScene(path.c_str(), check_options{});
    for (const diagnostic& d : r.diagnostics)
        found.push_back({d.severity == diagnostic::error, d.text});
    return found;
}

} // namespace

studio_overlay::studio_overlay() {
    layoutPath = std::getenv("KESTRINE_PREVIEW_LAYOUT");
}

studio_overlay::~studio_overlay() = default;

void studio_overlay::attach(GLFWwindow* w, bool show) {
    window = w;
    shown = show;
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr; // nothing written next to the scene
    io.LogFilename = nullptr;
    ImGui::StyleColorsDark();
    // After the preview's key callback is set, so that keys reach both.
    ImGui_ImplGlfw_InitForOpenGL(w, true);
    ImGui_ImplOpenGL3_Init("#version 330 core");
    attached = true;
    peaks = std::make_unique<music_peaks>(kMusicFile);
}

void studio_overlay::detach() {
    if (checking.valid()) checking.wait();
    peaks.reset();
    if (!attached) return;
    releaseWaveform(wave);
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();
    attached = false;
}

void studio_overlay::loaded(const std::string& file, const scene& sc,
                            const std::vector<std::string>& refused) {
    path = file;
    playing = &sc;
    refusal = refused;
    musicKnown = peaks && peaks->status() == music_peaks::ready;
    readModel(musicKnown ? peaks->seconds() : -1.0);
    // The checker reads the file again on a thread of its own: no frame waits for it.
    if (checking.valid()) checking.wait();
    checking = std::async(std::launch::async, runChecker, file);
}

void studio_overlay::takeChecked() {
    if (checking.valid() && checking.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        checked = checking.get();
    if (!musicKnown && playing && peaks && peaks->status() == music_peaks::ready) {
        musicKnown = true;
        readModel(peaks->seconds());
    }
}

preview_requests studio_overlay::draw(const preview_view& view) {
    preview_requests asked;
    takeChecked();
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    if (!shown || width <= 0 || height <= 0) {
        if (mouse.gesture == timeline_mouse::seeking) asked.release = true;
        mouse.gesture = timeline_mouse::none;
        ImGui::GetIO().MouseWheel = 0.0f;
        writeLayout(float(width), float(height));
        return asked;
    }
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();
    drawTimeline(view, asked, float(width), float(height));
    drawProblems(float(width), placed.top);
    ImGui::Render();
    clearTimelineBack(width, height - int(placed.top));
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    writeLayout(float(width), float(height));
    return asked;
}

// The timeline of the scene playing, and its model lanes: one per group path that holds
// models, in file order (after one lane per camera). Made once a load, not once a frame.
void studio_overlay::readModel(double musicSeconds) {
    model = sceneTimeline(playing->cameras, playing->camera_lines, playing->groups, musicSeconds);
    groupPaths.clear();
    for (const model_window& m : model.model_windows)
        if (std::find(groupPaths.begin(), groupPaths.end(), m.group_path) == groupPaths.end())
            groupPaths.push_back(m.group_path);
}

int studio_overlay::covers(int height) {
    // Before the first frame the font has no size yet: the height found is too small, which
    // only copies rows the timeline then paints over.
    float lane = 0.0f;
    return shown && attached && height > 0
               ? int(std::floor(timelineHeight(lanes(), float(height), lane)))
               : 0;
}

// The timeline: the parts placed, the pointer followed (which may move the axis), then drawn
// from the model, the axis and the pointer's gesture.
void studio_overlay::drawTimeline(const preview_view& view, preview_requests& asked, float width,
                                  float height) {
    float lane = 0.0f;
    const float panelHeight = timelineHeight(lanes(), height, lane);
    openTimeline(view, model, height - panelHeight, width, panelHeight);
    placed = placeTimeline(height - panelHeight, width, height, lane, lanes(), axis);
    const double wholeDemo = std::max(model.axis_end, 1.0);
    if (!mouse.axisMoved) {
        axis.start = 0.0;
        axis.span = wholeDemo;
    }
    const timeline_pointer pointer = pointerOverLanes(placed, width);
    followPointer(pointer, placed, wholeDemo, axis, mouse, asked);

    ImDrawList* draw = ImGui::GetWindowDrawList();
    drawLaneNames(draw, placed, model, groupPaths);
    draw->PushClipRect(ImVec2(axis.left, placed.rulerTop), ImVec2(placed.right, placed.bottom),
                       true);
    drawRuler(draw, axis, placed);
    drawMusic(draw, axis, placed, peaks.get(), wave);
    drawBars(draw, axis, placed, model, groupPaths, path, bars);
    drawMarks(draw, axis, placed, model,
              mouse.gesture == timeline_mouse::looping ? mouse.dragged() : view.loop, view.time);
    draw->PopClipRect();
    if (pointer.over && mouse.gesture == timeline_mouse::none) drawTooltip(bars, pointer);
    ImGui::End();
}

void studio_overlay::drawProblems(float width, float top) {
    std::vector<problem>& all = listed;
    all.clear();
    for (const std::string& line : refusal)
        all.push_back({true, line});
    for (const problem& p : checked)
        if (std::find(refusal.begin(), refusal.end(), p.text) == refusal.end()) all.push_back(p);
    // Opens by itself when the list changes to something, closes when a save clears it.
    std::size_t signature = all.size();
    for (const problem& p : all)
        signature = signature * 31 + std::hash<std::string>()(p.text);
    if (signature != problemCount) {
        problemsOpen = !all.empty();
        problemCount = signature;
    }
    problemsLeft = problemsTop = problemsWidth = problemsHeight = 0.0f;
    if (!problemsOpen) return;
    const float panelWidth = std::min(width - 20.0f, std::max(360.0f, width * 0.55f));
    ImGui::SetNextWindowPos(ImVec2(width - panelWidth - 10.0f, 10.0f), ImGuiCond_Always);
    ImGui::SetNextWindowSizeConstraints(ImVec2(panelWidth, 0.0f),
                                        ImVec2(panelWidth, std::max(60.0f, top - 20.0f)));
    ImGui::SetNextWindowBgAlpha(0.9f);
    char title[64];
    std::snprintf(title, sizeof title, "Problems (%zu)###problems", all.size());
    ImGui::Begin(title, &problemsOpen,
                 ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoFocusOnAppearing);
    ImGui::PushTextWrapPos(panelWidth - 16.0f);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const problem& p = all[i];
        ImGui::PushID(int(i));
        ImGui::PushStyleColor(ImGuiCol_Text,
                              p.error ? IM_COL32(255, 110, 100, 255) : IM_COL32(240, 200, 90, 255));
        const ImVec2 at = ImGui::GetCursorScreenPos();
        ImGui::TextUnformatted(p.text.c_str());
        ImGui::PopStyleColor();
        // The whole text is the button: a click copies where it is, for an editor.
        const ImVec2 size(panelWidth - 16.0f, ImGui::GetItemRectSize().y);
        ImGui::SetCursorScreenPos(at);
        if (ImGui::InvisibleButton("##copy", size)) {
            copied = place(p.text);
            ImGui::SetClipboardText(copied.c_str());
        }
        if (ImGui::IsItemHovered())
            ImGui::GetWindowDrawList()->AddRect(at, ImVec2(at.x + size.x, at.y + size.y),
                                                IM_COL32(255, 255, 255, 80));
        ImGui::PopID();
    }
    ImGui::PopTextWrapPos();
    if (!copied.empty()) ImGui::TextDisabled("copied %s", copied.c_str());
    const ImVec2 pos = ImGui::GetWindowPos(), size = ImGui::GetWindowSize();
    problemsLeft = pos.x;
    problemsTop = pos.y;
    problemsWidth = size.x;
    problemsHeight = size.y;
    ImGui::End();
}

// What is where, for tests and tools (KESTRINE_PREVIEW_LAYOUT names the file): rewritten,
// through a rename, whenever it changes.
void studio_overlay::writeLayout(float width, float height) {
    if (!layoutPath) return;
    std::string text;
    char line[512];
    std::snprintf(line, sizeof line, "window %.0f %.0f\noverlay %s\n", width, height,
                  shown ? "shown" : "hidden");
    text += line;
    if (shown) {
        std::snprintf(line, sizeof line, "panel 0 %.1f %.0f %.1f\n", placed.top, width,
                      height - placed.top);
        text += line;
        std::snprintf(line, sizeof line, "ruler %.1f %.1f %.1f %.1f %.9g %.9g\n", axis.left,
                      placed.rulerTop, axis.width, placed.rulerHeight, axis.start, axis.span);
        text += line;
        const char* state = !peaks                                     ? "none"
                            : peaks->status() == music_peaks::ready    ? "ready"
                            : peaks->status() == music_peaks::decoding ? "decoding"
                                                                       : "unreadable";
        std::snprintf(line, sizeof line, "music %.1f %.1f %.1f %.1f %s\n", axis.left,
                      placed.musicTop, axis.width, placed.musicHeight, state);
        text += line;
        for (const timeline_bar& b : bars) {
            std::snprintf(line, sizeof line, "bar %s %s %.1f %.1f %.1f %.1f %.9g %.9g\n",
                          b.kind.c_str(), b.id.c_str(), b.x0, b.x1, b.y0, b.y1, b.start, b.end);
            text += line;
        }
        const char* const gestures[] = {"none", "seeking", "looping", "panning"};
        std::snprintf(line, sizeof line, "gesture %s %.9g %.9g\n", gestures[mouse.gesture],
                      mouse.loopFrom, mouse.loopTo);
        text += line;
        std::snprintf(line, sizeof line, "problems %s %.1f %.1f %.1f %.1f\n",
                      problemsOpen ? "open" : "closed", problemsLeft, problemsTop, problemsWidth,
                      problemsHeight);
        text += line;
    }
    for (const problem& p : listed) {
        std::size_t from = 0;
        for (std::size_t to; (to = p.text.find('\n', from)) != std::string::npos; from = to + 1)
            text += "problem " + p.text.substr(from, to - from) + "\n";
        text += "problem " + p.text.substr(from) + "\n";
    }
    if (text == layoutWritten) return;
    const std::string temporary = std::string(layoutPath) + ".new";
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) return;
    const bool written = std::fputs(text.c_str(), out) >= 0;
    if (std::fclose(out) == 0 && written && std::rename(temporary.c_str(), layoutPath) == 0)
        layoutWritten = text;
}
