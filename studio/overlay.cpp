// The studio's panels: see overlay.h.
#include <GL/glew.h>

#include "studio/overlay.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <backends/imgui_impl_opengl3.h>
#include <imgui.h>

#include "authoring/diagnostics.h"
#include "platform/music.h"
#include "scene/scene.h"

namespace {

constexpr float kLabelWidth = 84.0f; // the lanes' names, left of the axis
constexpr float kRulerHeight = 18.0f;
constexpr float kMusicHeight = 40.0f;
constexpr float kLaneHeight = 14.0f;
constexpr float kMaxShare = 0.45f; // of the window's height the timeline may take
constexpr double kFps = 60.0;      // frames are counted as a 60 fps capture counts them

const ImU32 kRulerBack = IM_COL32(30, 30, 36, 255);
const ImU32 kLaneBack = IM_COL32(22, 22, 26, 255);
const ImU32 kTick = IM_COL32(170, 170, 180, 255);
const ImU32 kWave = IM_COL32(120, 220, 255, 255);
const ImU32 kCut = IM_COL32(255, 255, 255, 150);
const ImU32 kNoCamera = IM_COL32(220, 40, 40, 110);
const ImU32 kPlayhead = IM_COL32(255, 215, 60, 255);
const ImU32 kLoop = IM_COL32(255, 200, 0, 45);
const ImU32 kModelBar = IM_COL32(150, 110, 200, 255);
const ImU32 kText = IM_COL32(235, 235, 235, 255);

ImU32 cameraColour(int mode) {
    switch (mode) {
    case static_camera:
        return IM_COL32(90, 120, 170, 255);
    case moving_look_at:
        return IM_COL32(70, 150, 90, 255);
    default:
        return IM_COL32(190, 120, 50, 255);
    }
}

// "static", "look-at" or "along its curve": short enough for a bar.
const char* shortForm(int mode) {
    switch (mode) {
    case static_camera:
        return "static";
    case moving_look_at:
        return "look-at";
    default:
        return "along its curve";
    }
}

// The timeline's opaque background, lanes included, as a scissored clear: on llvmpipe a clear
// costs a fraction of blending the same pixels, and the panel is the largest thing it draws.
// The state the frame is drawn with is left as it was.
void clearPanel(int width, int height) {
    GLfloat colour[4];
    GLint box[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, colour);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    const GLboolean scissored = glIsEnabled(GL_SCISSOR_TEST);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, width, height);
    const ImVec4 back = ImGui::ColorConvertU32ToFloat4(kLaneBack);
    glClearColor(back.x, back.y, back.z, back.w);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(colour[0], colour[1], colour[2], colour[3]);
    glScissor(box[0], box[1], box[2], box[3]);
    if (!scissored) glDisable(GL_SCISSOR_TEST);
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
    peaks.reset();
    if (!attached) return;
    if (waveTexture != 0) glDeleteTextures(1, &waveTexture);
    waveTexture = 0;
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();
    attached = false;
}

void studio_overlay::loaded(const std::string& file, const scene& sc,
                            const std::vector<diagnostic>& found,
                            const std::vector<diagnostic>& refusal) {
    path = file;
    playing = &sc;
    problems.loaded(refusal, found);
    musicKnown = peaks && peaks->status() == music_peaks::ready;
    readModel(musicKnown ? peaks->seconds() : -1.0);
    musicSaid = false;
    takeMusic();
}

// The music's length moves the axis once it is known; a music file that cannot be read is one of
// the scene's problems.
void studio_overlay::takeMusic() {
    if (!playing || !peaks) return;
    const music_peaks::status_type music = peaks->status();
    if (!musicKnown && music == music_peaks::ready) {
        musicKnown = true;
        readModel(peaks->seconds());
    }
    if (!musicSaid && music == music_peaks::unreadable) {
        musicSaid = true;
        problems.add(musicUnreadable(path));
    }
}

preview_requests studio_overlay::draw(const preview_view& view) {
    preview_requests asked;
    takeMusic();
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    if (!shown || width <= 0 || height <= 0) {
        if (mouse == gesture::seeking) asked.release = true;
        mouse = gesture::none;
        ImGui::GetIO().MouseWheel = 0.0f;
        writeLayout(float(width), float(height));
        return asked;
    }
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();
    drawTimeline(view, asked, float(width), float(height));
    drawProblems(float(width), panelTop);
    ImGui::Render();
    clearPanel(width, height - int(panelTop));
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    writeLayout(float(width), float(height));
    return asked;
}

// The timeline of the scene playing, and its model lanes: one per group path that holds
// models, in file order (after one lane per camera). Made once a load, not once a frame.
void studio_overlay::readModel(double musicSeconds) {
    model = sceneTimeline(*playing, musicSeconds);
    groupPaths.clear();
    for (const model_window& m : model.model_windows)
        if (std::find(groupPaths.begin(), groupPaths.end(), m.group_path) == groupPaths.end())
            groupPaths.push_back(m.group_path);
}

// The timeline's height in a window of that height, and its lanes' (lane).
float studio_overlay::timelineHeight(float height, float& lane) const {
    const float lanes = float(model.camera_windows.size() + groupPaths.size());
    const float header = ImGui::GetTextLineHeightWithSpacing() + 6.0f;
    const float fixed = header + kRulerHeight + kMusicHeight + 10.0f;
    lane = kLaneHeight;
    const float most = std::max(height * kMaxShare, fixed + 3.0f * lanes);
    if (lanes > 0 && fixed + lane * lanes > most)
        lane = std::max(3.0f, std::floor((most - fixed) / lanes));
    return std::min(height, fixed + lane * lanes);
}

int studio_overlay::covers(int height) {
    // Before the first frame the font has no size yet: the height found is too small, which
    // only copies rows the timeline then paints over.
    float lane = 0.0f;
    return shown && attached && height > 0 ? int(std::floor(timelineHeight(float(height), lane)))
                                           : 0;
}

void studio_overlay::drawTimeline(const preview_view& view, preview_requests& asked, float width,
                                  float height) {
    ImGuiIO& io = ImGui::GetIO();
    const int lanes = int(model.camera_windows.size() + groupPaths.size());
    float lane = 0.0f;
    const float panelHeight = timelineHeight(height, lane);
    panelTop = height - panelHeight;

    ImGui::SetNextWindowPos(ImVec2(0.0f, panelTop));
    ImGui::SetNextWindowSize(ImVec2(width, panelHeight));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(4.0f, 3.0f));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 0.0f);
    ImGui::Begin("##timeline", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing |
                     ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoScrollWithMouse |
                     ImGuiWindowFlags_NoBackground);
    ImGui::PopStyleVar(2);
    // The header: where the playhead is, then the status line at the right.
    char camera[96] = "no camera";
    if (view.camera >= 0 && std::size_t(view.camera) < model.camera_windows.size())
        std::snprintf(camera, sizeof camera, "camera %d (%s)", view.camera + 1,
                      shortForm(model.camera_windows[std::size_t(view.camera)].mode));
    const long long frame = (long long)std::floor(view.time * kFps + 1e-6);
    ImGui::Text("%.2f s   frame %lld at 60 fps   %s%s", view.time, frame, camera,
                view.paused ? "   paused" : "");
    char status[128];
    std::snprintf(status, sizeof status, "drawing %.1f ms/frame   last reload %.0f ms",
                  view.frame_ms, view.reload_ms);
    ImGui::SameLine(std::max(0.0f, width - ImGui::CalcTextSize(status).x - 8.0f));
    ImGui::TextUnformatted(status);

    const ImVec2 origin = ImGui::GetCursorScreenPos();
    const float bottom = height - 3.0f;
    axis.left = origin.x + kLabelWidth;
    axis.width = std::max(1.0f, width - axis.left - 6.0f);
    const double wholeDemo = std::max(model.axis_end, 1.0);
    if (followAxis) {
        axis.start = 0.0;
        axis.span = wholeDemo;
    }
    ImGui::InvisibleButton("##lanes", ImVec2(width - origin.x - 4.0f, bottom - origin.y));
    const bool hovered = ImGui::IsItemHovered();
    const bool active = ImGui::IsItemActive();
    const ImVec2 pointer = io.MousePos;

    rulerTop = origin.y;
    rulerHeight = kRulerHeight;
    musicTop = rulerTop + kRulerHeight + 2.0f;
    musicHeight = kMusicHeight;
    const float lanesTop = musicTop + kMusicHeight + 2.0f;
    const float right = axis.left + axis.width;

    // The mouse: on the ruler a click or drag seeks (Shift: sets a loop), on a lane a drag
    // pans, the wheel zooms round the pointer.
    if (ImGui::IsItemActivated()) {
        if (pointer.y < rulerTop + kRulerHeight)
            mouse = io.KeyShift ? gesture::looping : gesture::seeking;
        else
            mouse = gesture::panning;
        loopFrom = loopTo = std::max(0.0, axis.timeAt(pointer.x));
        lastPointer = -1.0f;
    }
    if (active) {
        if (mouse == gesture::seeking) {
            asked.hold = true;
            asked.seek = std::max(0.0, axis.timeAt(pointer.x));
            asked.snippet = pointer.x != lastPointer;
            lastPointer = pointer.x;
        } else if (mouse == gesture::looping) {
            loopTo = std::max(0.0, axis.timeAt(pointer.x));
        } else if (mouse == gesture::panning && io.MouseDelta.x != 0.0f) {
            axis.pan(io.MouseDelta.x);
            followAxis = false;
        }
    } else if (mouse != gesture::none) {
        if (mouse == gesture::seeking) asked.release = true;
        if (mouse == gesture::looping && loopFrom != loopTo)
            asked.loop = section{std::min(loopFrom, loopTo), std::max(loopFrom, loopTo)};
        mouse = gesture::none;
    }
    if (hovered && io.MouseWheel != 0.0f) {
        axis.zoom(std::clamp(pointer.x, axis.left, right), std::pow(0.8, double(io.MouseWheel)),
                  0.05, wholeDemo * 10.0);
        followAxis = false;
    }

    ImDrawList* draw = ImGui::GetWindowDrawList();
    // Lane names, left of the axis.
    draw->AddText(ImVec2(origin.x + 2.0f, rulerTop + 2.0f), kText, "seconds");
    draw->AddText(ImVec2(origin.x + 2.0f, musicTop + 12.0f), kText, "music");
    auto laneTop = [&](int i) { return lanesTop + lane * float(i); };
    // Lane labels shrink with the lanes, down to what can still be read.
    ImFont* font = ImGui::GetFont();
    const float labelSize = std::min(ImGui::GetFontSize(), lane + 1.0f);
    const bool labelled = labelSize >= 8.0f;
    if (labelled) {
        for (std::size_t i = 0; i < model.camera_windows.size(); ++i)
            draw->AddText(font, labelSize, ImVec2(origin.x + 2.0f, laneTop(int(i))), kText,
                          ("camera " + std::to_string(model.camera_windows[i].number)).c_str());
        for (std::size_t i = 0; i < groupPaths.size(); ++i)
            draw->AddText(font, labelSize,
                          ImVec2(origin.x + 2.0f, laneTop(int(model.camera_windows.size() + i))),
                          kText, ("group " + groupPaths[i]).c_str());
    }

    draw->PushClipRect(ImVec2(axis.left, rulerTop), ImVec2(right, bottom), true);
    const float lanesBottom = laneTop(lanes);
    draw->AddRectFilled(ImVec2(axis.left, rulerTop), ImVec2(right, rulerTop + kRulerHeight),
                        kRulerBack);

    // Ticks: labels at least 70 pixels apart, five small ticks between.
    const double step = tickStep(axis.span / axis.width, 70.0);
    const double minor = step / 5.0;
    for (long long i = (long long)std::ceil(axis.start / minor - 1e-9);; ++i) {
        const double t = double(i) * minor;
        const float x = axis.xAt(t);
        if (x > right) break;
        const bool major = i % 5 == 0;
        draw->AddLine(ImVec2(x, rulerTop + kRulerHeight - (major ? 8.0f : 4.0f)),
                      ImVec2(x, rulerTop + kRulerHeight), kTick);
        if (major) {
            char label[32];
            draw->AddText(ImVec2(x + 2.0f, rulerTop), kTick, tickLabel(t, step, label));
        }
    }

    // The waveform: each column's loudest sample, or why there is none.
    if (peaks && peaks->status() == music_peaks::ready) {
        drawWaveform(draw, right);
    } else {
        const std::string note = !peaks                                     ? ""
                                 : peaks->status() == music_peaks::decoding ? "decoding the music"
                                                                            : peaks->note();
        draw->AddText(ImVec2(axis.left + 6.0f, musicTop + 12.0f), kTick, note.c_str());
    }

    // Bars: cameras, then models, each labelled when there is room.
    bars.clear();
    auto addBar = [&](float y0, double start, double end, ImU32 colour, std::string kind,
                      std::string id, std::string label, std::string details) {
        // A window whose ends are equal is always on: its bar spans every time.
        const double from = start == end ? 0.0 : start, to = start == end ? 1e12 : end;
        const float x0 = std::clamp(axis.xAt(from), axis.left - 2.0f, right + 2.0f);
        const float x1 = std::clamp(axis.xAt(to), axis.left - 2.0f, right + 2.0f);
        const float y1 = y0 + std::max(1.0f, lane - 1.0f);
        draw->AddRectFilled(ImVec2(x0, y0), ImVec2(std::max(x1, x0 + 1.0f), y1), colour);
        if (labelled && x1 - x0 > 12.0f) {
            // Clipped on the CPU: a clip rectangle of its own would cost a draw call a bar.
            const ImVec4 clip(x0, y0, x1, y1);
            draw->AddText(font, labelSize, ImVec2(x0 + 3.0f, y0 - 1.0f), kText, label.c_str(),
                          nullptr, 0.0f, &clip);
        }
        bars.push_back(
            {x0, x1, y0, y1, std::move(kind), std::move(id), std::move(details), start, end});
    };
    for (std::size_t i = 0; i < model.camera_windows.size(); ++i) {
        const camera_window& c = model.camera_windows[i];
        const std::string label = std::to_string(c.number) + " " + shortForm(c.mode);
        char details[256];
        std::snprintf(details, sizeof details, "camera %d: %s, %g to %g s\n%s:%d", c.number,
                      cameraForm(c.mode), c.start, c.end, path.c_str(), c.line);
        addBar(laneTop(int(i)), c.start, c.end, cameraColour(c.mode), "camera",
               std::to_string(c.number), label, details);
    }
    for (const model_window& m : model.model_windows) {
        const int at =
            int(std::find(groupPaths.begin(), groupPaths.end(), m.group_path) - groupPaths.begin());
        const std::string details = "group " + m.group_path + ": mesh " + m.mesh + ", texture " +
                                    (m.texture.empty() ? "none" : m.texture) + ", shader " +
                                    m.shader + "\n" + path + ":" + std::to_string(m.line);
        addBar(laneTop(int(model.camera_windows.size()) + at), m.start, m.end, kModelBar, "model",
               m.group_path, m.mesh, details);
    }

    // When no camera films the demo has ended: red over the ruler and the camera lanes.
    const timeline& filmed = model.cameras;
    if (!filmed.endless) {
        const double from = filmed.filmed ? filmed.end : 0.0;
        const float x = std::max(axis.left, axis.xAt(from));
        if (x < right) {
            draw->AddRectFilled(ImVec2(x, rulerTop), ImVec2(right, rulerTop + kRulerHeight),
                                kNoCamera);
            draw->AddRectFilled(ImVec2(x, lanesTop),
                                ImVec2(right, laneTop(int(model.camera_windows.size()))),
                                kNoCamera);
        }
    }
    for (const double cut : filmed.cuts) {
        const float x = axis.xAt(cut);
        draw->AddLine(ImVec2(x, rulerTop), ImVec2(x, lanesBottom), kCut);
    }
    if (view.loop || mouse == gesture::looping) {
        const section s = mouse == gesture::looping
                              ? section{std::min(loopFrom, loopTo), std::max(loopFrom, loopTo)}
                              : *view.loop;
        draw->AddRectFilled(ImVec2(axis.xAt(s.start), rulerTop),
                            ImVec2(axis.xAt(s.end), lanesBottom), kLoop);
    }
    const float playX = axis.xAt(view.time);
    draw->AddLine(ImVec2(playX, rulerTop), ImVec2(playX, lanesBottom), kPlayhead, 2.0f);
    draw->AddTriangleFilled(ImVec2(playX - 5.0f, rulerTop), ImVec2(playX + 5.0f, rulerTop),
                            ImVec2(playX, rulerTop + 7.0f), kPlayhead);
    draw->PopClipRect();

    // What the bar under the pointer is.
    if (hovered && mouse == gesture::none)
        for (const bar& b : bars)
            if (pointer.x >= b.x0 && pointer.x <= std::max(b.x1, b.x0 + 1.0f) &&
                pointer.y >= b.y0 && pointer.y < b.y1) {
                ImGui::BeginTooltip();
                ImGui::TextUnformatted(b.details.c_str());
                ImGui::EndTooltip();
                break;
            }
    ImGui::End();
}

// The waveform as one picture, made again only when the axis moves: a rectangle a column,
// every frame, cost llvmpipe more than the rest of the panels together.
void studio_overlay::drawWaveform(ImDrawList* draw, float right) {
    const int columns = std::max(1, int(std::ceil(right - axis.left)));
    const int rows = int(kMusicHeight);
    const std::array<double, 3> key = {axis.start, axis.span, double(columns)};
    if (waveTexture == 0 || key != waveKey) {
        waveKey = key;
        std::vector<ImU32> pixels(std::size_t(columns) * std::size_t(rows), 0);
        const float middle = kMusicHeight / 2.0f;
        for (int c = 0; c < columns; ++c) {
            const float x = axis.left + float(c);
            const float h =
                peaks->peak(axis.timeAt(x), axis.timeAt(x + 1.0f)) * (kMusicHeight / 2.0f - 1.0f);
            if (h < 0.5f) continue;
            for (int r = 0; r < rows; ++r)
                if (std::abs(float(r) + 0.5f - middle) <= h)
                    pixels[std::size_t(r) * std::size_t(columns) + std::size_t(c)] = kWave;
        }
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        if (waveTexture == 0) glGenTextures(1, &waveTexture);
        glBindTexture(GL_TEXTURE_2D, waveTexture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        // IM_COL32 keeps red in the lowest byte: in memory, RGBA.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, columns, rows, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels.data());
        glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    }
    draw->AddImage(ImTextureID(std::intptr_t(waveTexture)), ImVec2(axis.left, musicTop),
                   ImVec2(axis.left + float(columns), musicTop + float(rows)));
}

void studio_overlay::drawProblems(float width, float top) {
    const std::vector<diagnostic>& all = problems.items();
    // Opens by itself when the list changes to something, closes when a save clears it.
    if (problems.signature() != problemCount) {
        problemsOpen = !all.empty();
        problemCount = problems.signature();
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
    for (std::size_t i = 0; i < all.size(); ++i)
        drawProblem(all[i], problems.text(i), int(i), panelWidth - 16.0f);
    ImGui::PopTextWrapPos();
    if (!copied.empty()) ImGui::TextDisabled("copied %s", copied.c_str());
    const ImVec2 pos = ImGui::GetWindowPos(), size = ImGui::GetWindowSize();
    problemsLeft = pos.x;
    problemsTop = pos.y;
    problemsWidth = size.x;
    problemsHeight = size.y;
    ImGui::End();
}

// One problem; the whole text is the button: a click copies its own place, for an editor.
void studio_overlay::drawProblem(const diagnostic& d, const std::string& text, int id,
                                 float width) {
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
    const ImVec2 end = ImGui::GetItemRectMax();
    const ImVec2 size(width, end.y - at.y);
    ImGui::SetCursorScreenPos(at);
    if (ImGui::InvisibleButton("##copy", size)) {
        copied = wordPlace(d.place());
        ImGui::SetClipboardText(copied.c_str());
    }
    if (ImGui::IsItemHovered())
        ImGui::GetWindowDrawList()->AddRect(at, ImVec2(at.x + size.x, at.y + size.y),
                                            IM_COL32(255, 255, 255, 80));
    ImGui::PopID();
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
        std::snprintf(line, sizeof line, "panel 0 %.1f %.0f %.1f\n", panelTop, width,
                      height - panelTop);
        text += line;
        std::snprintf(line, sizeof line, "ruler %.1f %.1f %.1f %.1f %.9g %.9g\n", axis.left,
                      rulerTop, axis.width, rulerHeight, axis.start, axis.span);
        text += line;
        const char* state = !peaks                                     ? "none"
                            : peaks->status() == music_peaks::ready    ? "ready"
                            : peaks->status() == music_peaks::decoding ? "decoding"
                                                                       : "unreadable";
        std::snprintf(line, sizeof line, "music %.1f %.1f %.1f %.1f %s\n", axis.left, musicTop,
                      axis.width, musicHeight, state);
        text += line;
        for (const bar& b : bars) {
            std::snprintf(line, sizeof line, "bar %s %s %.1f %.1f %.1f %.1f %.9g %.9g\n",
                          b.kind.c_str(), b.id.c_str(), b.x0, b.x1, b.y0, b.y1, b.start, b.end);
            text += line;
        }
        const char* const gestures[] = {"none", "seeking", "looping", "panning"};
        std::snprintf(line, sizeof line, "gesture %s %.9g %.9g\n", gestures[int(mouse)], loopFrom,
                      loopTo);
        text += line;
        std::snprintf(line, sizeof line, "problems %s %.1f %.1f %.1f %.1f\n",
                      problemsOpen ? "open" : "closed", problemsLeft, problemsTop, problemsWidth,
                      problemsHeight);
        text += line;
    }
    for (std::size_t i = 0; i < problems.items().size(); ++i) {
        const std::string& p = problems.text(i);
        std::size_t from = 0;
        for (std::size_t to; (to = p.find('\n', from)) != std::string::npos; from = to + 1)
            text += "problem " + p.substr(from, to - from) + "\n";
        text += "problem " + p.substr(from) + "\n";
    }
    if (text == layoutWritten) return;
    const std::string temporary = std::string(layoutPath) + ".new";
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) return;
    const bool written = std::fputs(text.c_str(), out) >= 0;
    if (std::fclose(out) == 0 && written && std::rename(temporary.c_str(), layoutPath) == 0)
        layoutWritten = text;
}
