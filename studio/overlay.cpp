// The studio's panels: see overlay.h.
#include "studio/overlay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

// GL's declarations come from GLEW, through the scene's header.
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>

#include "authoring/diagnostics.h"
#include "gpu/offscreen.h"
#include "platform/music.h"
#include "scene/scene.h"

namespace {

// One problem; the whole text is the button: a click copies its own place, for an editor, and
// says so (the studio selects its element).
bool drawProblem(const diagnostic& d, const std::string& text, int id, float width,
                 std::string& copied) {
    ImGui::PushID(id);
    const ImVec2 at = ImGui::GetCursorScreenPos();
    if (d.browser) {
        ImGui::TextDisabled("in a web browser:");
        ImGui::SameLine();
    }
    ImGui::PushStyleColor(ImGuiCol_Text, d.severity == diagnostic::error
                                             ? IM_COL32(255, 110, 100, 255)
                                             : IM_COL32(240, 200, 90, 255));
    ImGui::TextUnformatted(text.c_str());
    ImGui::PopStyleColor();
    const ImVec2 size(width, ImGui::GetItemRectMax().y - at.y);
    ImGui::SetCursorScreenPos(at);
    const bool clicked = ImGui::InvisibleButton("##copy", size);
    if (clicked) {
        copied = wordPlace(d.place());
        ImGui::SetClipboardText(copied.c_str());
    }
    if (ImGui::IsItemHovered())
        ImGui::GetWindowDrawList()->AddRect(at, ImVec2(at.x + size.x, at.y + size.y),
                                            IM_COL32(255, 255, 255, 80));
    ImGui::PopID();
    return clicked;
}

// Dear ImGui 1.86 reads each key's state once a frame, so a key pressed and let go between two
// frames (a quick tap on a slow frame) would never be seen down. Such a release is kept back
// until a frame has seen the press. Releases reach the preview's keys late by as much; it acts
// on presses only.
namespace taps {
GLFWwindow* window = nullptr;
GLFWkeyfun next = nullptr; // the panels', which passes keys on to the preview's
std::vector<int> pressed;  // since the last frame began
struct release {
    int key, scancode, mods;
};
std::vector<release> kept;

void onKey(GLFWwindow* w, int key, int scancode, int action, int mods) {
    if (action == GLFW_RELEASE && std::find(pressed.begin(), pressed.end(), key) != pressed.end()) {
        kept.push_back({key, scancode, mods});
        return;
    }
    if (action == GLFW_PRESS) pressed.push_back(key);
    if (next) next(w, key, scancode, action, mods);
}

// Once a frame has read the keys.
void frameBegun() {
    pressed.clear();
    for (const release& r : std::exchange(kept, {}))
        if (next) next(window, r.key, r.scancode, GLFW_RELEASE, r.mods);
}
} // namespace taps

// printf to the end of text.
template <typename... Args> void addLine(std::string& text, const char* format, Args... args) {
    char line[512];
    std::snprintf(line, sizeof line, format, args...);
    text += line;
}

} // namespace

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
    taps::window = w;
    taps::next = glfwSetKeyCallback(w, taps::onKey);
    ImGui_ImplOpenGL3_Init("#version 330 core");
    // A frame of nothing, so that the font has its size before the first frame is shown: the
    // picture above the panels is scaled to their height from the first frame on, hidden or not.
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();
    ImGui::EndFrame();
    peaks = std::make_unique<music_peaks>(kMusicFile);
    director.attach(w);
    pathEditing.attach(w);
}

void studio_overlay::detach() {
    peaks.reset();
    if (!window) return;
    director.detach();
    releaseWaveform(timeline);
    glfwSetKeyCallback(window, taps::next);
    taps::next = nullptr;
    taps::pressed.clear();
    taps::kept.clear();
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();
    window = nullptr;
}

void studio_overlay::loaded(const std::string& file, scene& sc,
                            const std::vector<diagnostic>& found,
                            const std::vector<diagnostic>& refusal) {
    path = file;
    playing = &sc;
    problems.loaded(refusal, found);
    editing.loaded(file, sc);
    properties.loaded();
    // An edit refused stays said until one goes through.
    if (editing.note) problems.add(*editing.note);
    readModel(peaks && peaks->status() == music_peaks::ready ? peaks->seconds() : -1.0);
    musicSaid = false;
    director.loaded(file, sc);
}

preview_requests studio_overlay::draw(const preview_view& view) {
    // The music's length moves the axis once it is known (the model has it then); a music file
    // that cannot be read is one of the scene's problems.
    const music_peaks::status_type music = peaks ? peaks->status() : music_peaks::decoding;
    if (playing && model.music_seconds < 0.0 && music == music_peaks::ready)
        readModel(peaks->seconds());
    if (playing && !musicSaid && music == music_peaks::unreadable) {
        musicSaid = true;
        problems.add(musicUnreadable(path));
    }
    preview_requests asked;
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    playhead = view.time;
    const picture_map map = pictureMap(width, height);
    if (!shown || width <= 0 || height <= 0) {
        if (timeline.mouse.gesture == timeline_mouse::seeking) asked.release = true;
        timeline.mouse.gesture = timeline_mouse::none;
        ImGui::GetIO().MouseWheel = 0.0f;
        taps::frameBegun();
        pathEditing.follow(director, editing, map, true);
        director.follow(true, 0.0f, map);
    } else {
        ImGui_ImplOpenGL3_NewFrame();
        ImGui_ImplGlfw_NewFrame();
        ImGui::NewFrame();
        taps::frameBegun();
        drawTimeline(timeline, view, model, groupPaths, path, peaks.get(), float(width),
                     float(height), asked);
        editing.followDrag(timeline.drag, model);
        properties.draw(*playing, editing, timeline.placed.top);
        drawProblems(float(width), timeline.placed.top);
        const ImGuiIO& io = ImGui::GetIO();
        pathEditing.follow(director, editing, map, !io.WantCaptureMouse);
        director.follow(!io.WantCaptureMouse, io.WantCaptureMouse ? 0.0f : io.MouseWheel, map);
        ImGui::Render();
        clearTimelineBack(width, height - int(timeline.placed.top));
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    }
    // The selected point's or camera's path stands out, and its camera's bar.
    timeline.selected = director.selected = playing ? cameraOf(*playing, editing.selected) : -1;
    director.selectedPoint = editing.selected;
    bool changed = false;
    editing.take(asked, changed);
    if (changed) readModel(model.music_seconds);
    if (editing.note) problems.add(*editing.note);
    writeLayout(float(width), float(height));
    return asked;
}

void studio_overlay::otherKey(int key, int mods) {
    director.key(key, mods);
    if (playing) pathEditing.key(key, mods, director, editing, *playing, playhead);
}

// Where the frame is shown, and the director's view of it.
picture_map studio_overlay::pictureMap(int width, int height) {
    const picture_box box = fittedFrame(width, height, width, height - covers(height));
    picture_map map;
    map.origin = glm::vec2(float(box.x), float(box.y));
    map.shown = glm::vec2(float(box.width), float(box.height));
    map.frame = glm::vec2(float(width), float(height));
    map.viewProjection = director.viewProjection();
    return map;
}

// The timeline of the scene playing, and its model lanes: one per group path that holds
// models, in file order (after one lane per camera). Made once a load, not once a frame.
void studio_overlay::readModel(double musicSeconds) {
    model = sceneTimeline(*playing, musicSeconds);
    groupPaths.clear();
    for (const model_window& m : model.model_windows)
        groupPaths.push_back(m.group_path);
    timeline.lanes = laneNames(model, groupPaths);
}

bool studio_overlay::key(int key, int action, int mods) {
    if (!window) return false;
    if (shown && ImGui::GetIO().WantTextInput) return true;
    if (action != GLFW_RELEASE) editing.key(key, mods);
    return false;
}

int studio_overlay::covers(int height) {
    float lane = 0.0f;
    const int lanes = int(model.camera_windows.size() + groupPaths.size());
    return shown && window && height > 0
               ? int(std::floor(timelineHeight(lanes, float(height), lane)))
               : 0;
}

// The element that stands first on a problem's line of the scene file, if it is about it.
void studio_overlay::selectLine(const diagnostic& d) {
    if (!playing || d.at.file != path || d.at.line <= 0) return;
    const std::vector<element_place>& elements = playing->source.elements;
    const auto e = std::find_if(elements.begin(), elements.end(),
                                [&](const element_place& e) { return e.line == d.at.line; });
    if (e != elements.end()) editing.selected = int(e - elements.begin());
}

void studio_overlay::drawProblems(float width, float top) {
    const std::vector<diagnostic>& all = problems.items();
    // Opens by itself when the list changes to something, closes when a save clears it.
    if (problems.signature() != problemCount) {
        problemsOpen = !all.empty();
        problemCount = problems.signature();
    }
    problemsBox = {};
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
    for (std::size_t i = 0; i < all.size(); ++i)
        if (drawProblem(all[i], problems.text(i), int(i), panelWidth - 16.0f, copied))
            selectLine(all[i]);
    ImGui::PopTextWrapPos();
    if (!copied.empty()) ImGui::TextDisabled("copied %s", copied.c_str());
    const ImVec2 pos = ImGui::GetWindowPos(), size = ImGui::GetWindowSize();
    problemsBox = {pos.x, pos.y, size.x, size.y};
    ImGui::End();
}

// What is where, for tests and tools (KESTRINE_PREVIEW_LAYOUT names the file): rewritten,
// through a rename, whenever it changes.
void studio_overlay::writeLayout(float width, float height) {
    if (!layoutPath) return;
    std::string text;
    addLine(text, "window %.0f %.0f\noverlay %s\n", width, height, shown ? "shown" : "hidden");
    if (shown) {
        const timeline_layout& at = timeline.placed;
        const time_axis& axis = timeline.axis;
        addLine(text, "panel 0 %.1f %.0f %.1f\n", at.top, width, height - at.top);
        addLine(text, "header %.1f %.1f %.1f %.1f\n", at.header.left[0], at.header.left[1],
                at.header.right[0], at.header.right[1]);
        const picture_box box =
            fittedFrame(int(width), int(height), int(width), int(height) - covers(int(height)));
        addLine(text, "picture %d %d %d %d\n", box.x, box.y, box.width, box.height);
        addLine(text, "ruler %.1f %.1f %.1f %.1f %.9g %.9g\n", axis.left, at.rulerTop, axis.width,
                at.rulerHeight, axis.start, axis.span);
        const char* state = !peaks                                     ? "none"
                            : peaks->status() == music_peaks::ready    ? "ready"
                            : peaks->status() == music_peaks::decoding ? "decoding"
                                                                       : "unreadable";
        addLine(text, "music %.1f %.1f %.1f %.1f %s\n", axis.left, at.musicTop, axis.width,
                at.musicHeight, state);
        for (std::size_t i = 0; i < timeline.lanes.size(); ++i)
            addLine(text, "lane %zu %s\n", i, timeline.lanes[i].c_str());
        for (const timeline_bar& b : timeline.bars)
            addLine(text, "bar %s %s %.1f %.1f %.1f %.1f %.9g %.9g\n", b.kind.c_str(), b.id.c_str(),
                    b.x0, b.x1, b.y0, b.y1, b.start, b.end);
        const char* const gestures[] = {"none", "seeking", "looping", "panning"};
        addLine(text, "gesture %s %.9g %.9g\n", gestures[timeline.mouse.gesture],
                timeline.mouse.loopFrom, timeline.mouse.loopTo);
        const char* const parts[] = {"none", "left", "right", "body"};
        addLine(text, "drag %s %.9g %.9g\n", parts[timeline.drag.part], timeline.drag.now.start,
                timeline.drag.now.end);
        addLine(text, "problems %s %.1f %.1f %.1f %.1f\n", problemsOpen ? "open" : "closed",
                problemsBox[0], problemsBox[1], problemsBox[2], problemsBox[3]);
        addLine(text, "keys %s\n", ImGui::GetIO().WantTextInput ? "field" : "preview");
        for (const property_field& f : properties.fields)
            addLine(text, "field %s %d %s %.1f %.1f %.1f %.1f\n", f.element.c_str(), f.number,
                    f.attribute.c_str(), f.x0, f.y0, f.x1, f.y1);
    }
    text += director.layout() + pathEditing.layout(director, editing);
    addLine(text, "selected_bar %d\n", timeline.selected + 1);
    for (std::size_t i = 0; i < problems.items().size(); ++i) {
        const std::string& p = problems.text(i);
        for (std::size_t from = 0, to = 0; to != std::string::npos; from = to + 1) {
            to = p.find('\n', from);
            text += "problem " + p.substr(from, to - from) + "\n";
        }
    }
    if (text == layoutWritten) return;
    const std::string temporary = std::string(layoutPath) + ".new";
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) return;
    const bool written = std::fputs(text.c_str(), out) >= 0;
    if (std::fclose(out) == 0 && written && std::rename(temporary.c_str(), layoutPath) == 0)
        layoutWritten = text;
}
