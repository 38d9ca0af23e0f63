// The timeline panel's parts: see timeline_panel.h.
#include "studio/timeline_panel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include <imgui.h>

#include "gpu/panel.h"
#include "studio/music_peaks.h"

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
const ImU32 kSelectedBar = IM_COL32(255, 255, 255, 255);
const ImU32 kText = IM_COL32(235, 235, 235, 255);

// A camera's bar colour, and its mode in words short enough for a bar.
struct camera_look {
    ImU32 colour;
    const char* name;
};
camera_look look(int mode) {
    if (mode == static_camera) return {IM_COL32(90, 120, 170, 255), "static"};
    if (mode == moving_look_at) return {IM_COL32(70, 150, 90, 255), "look-at"};
    return {IM_COL32(190, 120, 50, 255), "along its curve"};
}

// Lane labels shrink with the lanes, down to what can still be read; 0 when they can't be.
float labelSize(float lane) {
    const float size = std::min(ImGui::GetFontSize(), lane + 1.0f);
    return size >= 8.0f ? size : 0.0f;
}

// The header's line: the playhead's time, frame and camera at the left, the drawing's figures
// at the right, each shortened (the figures left out last) until the two fit the width apart.
void writeHeader(const preview_view& view, const scene_timeline& model, float width,
                 header_spans& spans) {
    char camera[96] = "no camera";
    if (view.camera >= 0 && std::size_t(view.camera) < model.camera_windows.size())
        std::snprintf(camera, sizeof camera, "camera %d (%s)", view.camera + 1,
                      look(model.camera_windows[std::size_t(view.camera)].mode).name);
    const long long frame = (long long)std::floor(view.time * kFps + 1e-6);
    char left[2][192], right[3][128];
    for (int i = 0; i < 2; ++i)
        std::snprintf(left[i], sizeof left[i], "%.2f s   frame %lld%s   %s%s%s", view.time, frame,
                      i == 0 ? " at 60 fps" : "", camera, view.paused ? "   paused" : "",
                      view.director ? "   director's view" : "");
    std::snprintf(right[0], sizeof right[0], "drawing %.1f ms/frame   last reload %.0f ms",
                  view.frame_ms, view.reload_ms);
    std::snprintf(right[1], sizeof right[1], "%.1f ms   reload %.0f ms", view.frame_ms,
                  view.reload_ms);
    right[2][0] = '\0';
    const float x = ImGui::GetCursorPosX(), gap = 16.0f, margin = 8.0f;
    // The figures short, then the frame short, then the figures left out.
    const int tries[][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 2}};
    int l = 0, r = 0;
    for (const auto& t : tries) {
        l = t[0];
        r = t[1];
        const float status = ImGui::CalcTextSize(right[r]).x;
        if (x + ImGui::CalcTextSize(left[l]).x + (status > 0.0f ? gap + status : 0.0f) <=
            width - margin)
            break;
    }
    spans.left = {x, x + ImGui::CalcTextSize(left[l]).x};
    ImGui::TextUnformatted(left[l]);
    const float status = ImGui::CalcTextSize(right[r]).x;
    spans.right = {width - status - margin, width - margin};
    if (status > 0.0f) {
        ImGui::SameLine(spans.right[0]);
        ImGui::TextUnformatted(right[r]);
    }
}

// Opens the panel's window along the bottom of the window, writes its header and says where
// the parts go below it; sets the axis's columns. End it with ImGui::End().
timeline_layout openTimeline(const preview_view& view, const scene_timeline& model, float width,
                             float height, int lanes, time_axis& axis) {
    float lane = 0.0f;
    const float panelHeight = timelineHeight(lanes, height, lane), top = height - panelHeight;
    ImGui::SetNextWindowPos(ImVec2(0.0f, top));
    ImGui::SetNextWindowSize(ImVec2(width, panelHeight));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(4.0f, 3.0f));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 0.0f);
    ImGui::Begin("##timeline", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing |
                     ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoScrollWithMouse |
                     ImGuiWindowFlags_NoBackground);
    ImGui::PopStyleVar(2);
    header_spans spans;
    writeHeader(view, model, width, spans);

    const ImVec2 origin = ImGui::GetCursorScreenPos();
    axis.left = origin.x + kLabelWidth;
    axis.width = std::max(1.0f, width - axis.left - 6.0f);
    const float musicTop = origin.y + kRulerHeight + 2.0f,
                lanesTop = musicTop + kMusicHeight + 2.0f;
    return {.top = top,
            .left = origin.x,
            .rulerTop = origin.y,
            .rulerHeight = kRulerHeight,
            .musicTop = musicTop,
            .musicHeight = kMusicHeight,
            .lanesTop = lanesTop,
            .lane = lane,
            .lanesBottom = lanesTop + lane * float(lanes),
            .right = axis.left + axis.width,
            .bottom = height - 3.0f,
            .header = spans};
}

// " \"label\"", or nothing without a label.
std::string quotedLabel(const std::string& label) {
    return label.empty() ? "" : " \"" + label + "\"";
}

void drawLaneNames(ImDrawList* draw, const timeline_layout& at,
                   const std::vector<std::string>& names) {
    draw->AddText(ImVec2(at.left + 2.0f, at.rulerTop + 2.0f), kText, "seconds");
    draw->AddText(ImVec2(at.left + 2.0f, at.musicTop + 12.0f), kText, "music");
    const float size = labelSize(at.lane);
    if (size == 0.0f) return;
    // A long label is cut at the axis.
    const ImVec4 clip(at.left, at.lanesTop, at.left + kLabelWidth - 4.0f, at.lanesBottom);
    for (std::size_t i = 0; i < names.size(); ++i)
        draw->AddText(ImGui::GetFont(), size, ImVec2(at.left + 2.0f, at.laneTop(int(i))), kText,
                      names[i].c_str(), nullptr, 0.0f, &clip);
}

void drawRuler(ImDrawList* draw, const time_axis& axis, const timeline_layout& at) {
    draw->AddRectFilled(ImVec2(axis.left, at.rulerTop),
                        ImVec2(at.right, at.rulerTop + at.rulerHeight), kRulerBack);
    // Labels at least 70 pixels apart, five small ticks between.
    const double step = tickStep(axis.span / axis.width, 70.0);
    const double minor = step / 5.0;
    const float base = at.rulerTop + at.rulerHeight;
    for (long long i = (long long)std::ceil(axis.start / minor - 1e-9);; ++i) {
        const double t = double(i) * minor;
        const float x = axis.xAt(t);
        if (x > at.right) break;
        const bool major = i % 5 == 0;
        draw->AddLine(ImVec2(x, base - (major ? 8.0f : 4.0f)), ImVec2(x, base), kTick);
        if (major) {
            char label[32];
            draw->AddText(ImVec2(x + 2.0f, at.rulerTop), kTick, tickLabel(t, step, label));
        }
    }
}

// The waveform is one picture, made again only when the axis moves: a rectangle a column,
// every frame, cost llvmpipe more than the rest of the panels together.
void drawMusic(ImDrawList* draw, const time_axis& axis, const timeline_layout& at,
               const music_peaks* peaks, timeline_panel& panel) {
    if (!peaks || peaks->status() != music_peaks::ready) {
        const std::string note = !peaks                                     ? ""
                                 : peaks->status() == music_peaks::decoding ? "decoding the music"
                                                                            : peaks->note();
        draw->AddText(ImVec2(axis.left + 6.0f, at.musicTop + 12.0f), kTick, note.c_str());
        return;
    }
    const int columns = std::max(1, int(std::ceil(at.right - axis.left)));
    const int rows = int(kMusicHeight);
    const std::array<double, 3> key = {axis.start, axis.span, double(columns)};
    if (panel.waveTexture == 0 || key != panel.waveKey) {
        panel.waveKey = key;
        // Each column's loudest sample, about the lane's middle.
        std::vector<ImU32> pixels(std::size_t(columns) * std::size_t(rows), 0);
        for (int c = 0; c < columns; ++c) {
            const float x = axis.left + float(c);
            const float h =
                peaks->peak(axis.timeAt(x), axis.timeAt(x + 1.0f)) * (kMusicHeight / 2.0f - 1.0f);
            for (int r = 0; h >= 0.5f && r < rows; ++r)
                if (std::abs(float(r) + 0.5f - kMusicHeight / 2.0f) <= h)
                    pixels[std::size_t(r) * std::size_t(columns) + std::size_t(c)] = kWave;
        }
        // IM_COL32 keeps red in the lowest byte: in memory, RGBA.
        panel.waveTexture = putPicture(panel.waveTexture, columns, rows, pixels.data());
    }
    draw->AddImage(ImTextureID(std::intptr_t(panel.waveTexture)), ImVec2(axis.left, at.musicTop),
                   ImVec2(axis.left + float(columns), at.musicTop + float(rows)));
}

void drawBars(ImDrawList* draw, const time_axis& axis, const timeline_layout& at,
              const scene_timeline& model, const std::string& path,
              std::vector<timeline_bar>& bars) {
    bars.clear();
    const float size = labelSize(at.lane);
    auto addBar = [&](int lane, double start, double end, ImU32 colour, std::string kind,
                      std::string id, const std::string& label, std::string details) {
        // A window whose ends are equal is always on: its bar spans every time.
        const double from = start == end ? 0.0 : start, to = start == end ? 1e12 : end;
        const float x0 = std::clamp(axis.xAt(from), axis.left - 2.0f, at.right + 2.0f);
        const float x1 = std::clamp(axis.xAt(to), axis.left - 2.0f, at.right + 2.0f);
        const float y0 = at.laneTop(lane), y1 = y0 + std::max(1.0f, at.lane - 1.0f);
        draw->AddRectFilled(ImVec2(x0, y0), ImVec2(std::max(x1, x0 + 1.0f), y1), colour);
        if (size > 0.0f && x1 - x0 > 12.0f) {
            // Clipped on the CPU: a clip rectangle of its own would cost a draw call a bar.
            const ImVec4 clip(x0, y0, x1, y1);
            draw->AddText(ImGui::GetFont(), size, ImVec2(x0 + 3.0f, y0 - 1.0f), kText,
                          label.c_str(), nullptr, 0.0f, &clip);
        }
        bars.push_back(
            {x0, x1, y0, y1, std::move(kind), std::move(id), std::move(details), start, end});
    };
    for (std::size_t i = 0; i < model.camera_windows.size(); ++i) {
        const camera_window& c = model.camera_windows[i];
        char details[256];
        std::snprintf(details, sizeof details, "camera %d%s: %s, %g to %g s\n%s:%d", c.number,
                      quotedLabel(c.label).c_str(), cameraForm(c.mode), c.start, c.end,
                      path.c_str(), c.line);
        addBar(int(i), c.start, c.end, look(c.mode).colour, "camera", std::to_string(c.number),
               std::to_string(c.number) + " " + look(c.mode).name, details);
    }
    for (std::size_t i = 0; i < model.model_windows.size(); ++i) {
        const model_window& m = model.model_windows[i];
        const std::string details = "group " + m.group_path + quotedLabel(m.group_label) +
                                    ": mesh " + m.mesh + ", texture " +
                                    (m.texture.empty() ? "none" : m.texture) + ", shader " +
                                    m.shader + "\n" + path + ":" + std::to_string(m.line);
        addBar(int(model.camera_windows.size() + i), m.start, m.end, kModelBar, "model",
               m.group_path, m.mesh, details);
    }
}

void drawMarks(ImDrawList* draw, const time_axis& axis, const timeline_layout& at,
               const scene_timeline& model, const std::optional<section>& loop, double playhead) {
    // When no camera films the demo has ended: red over the ruler and the camera lanes.
    const timeline& filmed = model.cameras;
    if (!filmed.endless) {
        const float x = std::max(axis.left, axis.xAt(filmed.filmed ? filmed.end : 0.0));
        if (x < at.right) {
            draw->AddRectFilled(ImVec2(x, at.rulerTop),
                                ImVec2(at.right, at.rulerTop + at.rulerHeight), kNoCamera);
            draw->AddRectFilled(ImVec2(x, at.lanesTop),
                                ImVec2(at.right, at.laneTop(int(model.camera_windows.size()))),
                                kNoCamera);
        }
    }
    for (const double cut : filmed.cuts) {
        const float x = axis.xAt(cut);
        draw->AddLine(ImVec2(x, at.rulerTop), ImVec2(x, at.lanesBottom), kCut);
    }
    if (loop)
        draw->AddRectFilled(ImVec2(axis.xAt(loop->start), at.rulerTop),
                            ImVec2(axis.xAt(loop->end), at.lanesBottom), kLoop);
    const float x = axis.xAt(playhead);
    draw->AddLine(ImVec2(x, at.rulerTop), ImVec2(x, at.lanesBottom), kPlayhead, 2.0f);
    draw->AddTriangleFilled(ImVec2(x - 5.0f, at.rulerTop), ImVec2(x + 5.0f, at.rulerTop),
                            ImVec2(x, at.rulerTop + 7.0f), kPlayhead);
}

} // namespace

// The lanes' names: a camera's number, or a group's path, or their labels where they have one.
std::vector<std::string> laneNames(const scene_timeline& model,
                                   const std::vector<std::string>& groupPaths) {
    std::vector<std::string> names;
    for (const camera_window& c : model.camera_windows)
        names.push_back(c.label.empty() ? "camera " + std::to_string(c.number)
                                        : std::to_string(c.number) + " " + c.label);
    for (const std::string& path : groupPaths) {
        const auto m = std::find_if(model.model_windows.begin(), model.model_windows.end(),
                                    [&](const model_window& w) { return w.group_path == path; });
        const bool labelled = m != model.model_windows.end() && !m->group_label.empty();
        names.push_back(labelled ? m->group_label : "group " + path);
    }
    return names;
}

float timelineHeight(int lanes, float height, float& lane) {
    const float count = float(lanes);
    const float header = ImGui::GetTextLineHeightWithSpacing() + 6.0f;
    const float fixed = header + kRulerHeight + kMusicHeight + 10.0f;
    lane = kLaneHeight;
    const float most = std::max(height * kMaxShare, fixed + 3.0f * count);
    if (count > 0 && fixed + lane * count > most)
        lane = std::max(3.0f, std::floor((most - fixed) / count));
    return std::min(height, fixed + lane * count);
}

void followPointer(const timeline_pointer& p, const timeline_layout& at, double wholeDemo,
                   time_axis& axis, timeline_mouse& m, preview_requests& asked) {
    if (p.pressed) {
        m.gesture = p.y >= at.rulerTop + at.rulerHeight ? timeline_mouse::panning
                    : p.shift                           ? timeline_mouse::looping
                                                        : timeline_mouse::seeking;
        m.loopFrom = m.loopTo = std::max(0.0, axis.timeAt(p.x));
        m.lastPointer = -1.0f;
    }
    if (p.held) {
        if (m.gesture == timeline_mouse::seeking) {
            asked.hold = true;
            asked.seek = std::max(0.0, axis.timeAt(p.x));
            asked.snippet = p.x != m.lastPointer;
            m.lastPointer = p.x;
        } else if (m.gesture == timeline_mouse::looping) {
            m.loopTo = std::max(0.0, axis.timeAt(p.x));
        } else if (m.gesture == timeline_mouse::panning && p.dx != 0.0f) {
            axis.pan(p.dx);
            m.axisMoved = true;
        }
    } else if (m.gesture != timeline_mouse::none) {
        if (m.gesture == timeline_mouse::seeking) asked.release = true;
        if (m.gesture == timeline_mouse::looping && m.loopFrom != m.loopTo)
            asked.loop = m.dragged();
        m.gesture = timeline_mouse::none;
    }
    if (p.over && p.wheel != 0.0f) {
        axis.zoom(std::clamp(p.x, axis.left, at.right), std::pow(0.8, double(p.wheel)), 0.05,
                  wholeDemo * 10.0);
        m.axisMoved = true;
    }
}

// The parts placed, the pointer followed (which may move the axis), then drawn from the model,
// the axis and the pointer's gesture.
void drawTimeline(timeline_panel& panel, const preview_view& view, const scene_timeline& model,
                  const std::vector<std::string>& groupPaths, const std::string& path,
                  const music_peaks* peaks, float width, float height, preview_requests& asked) {
    time_axis& axis = panel.axis;
    timeline_mouse& mouse = panel.mouse;
    const timeline_layout& at = panel.placed = openTimeline(
        view, model, width, height, int(model.camera_windows.size() + groupPaths.size()), axis);
    const double wholeDemo = std::max(model.axis_end, 1.0);
    if (!mouse.axisMoved) {
        axis.start = 0.0;
        axis.span = wholeDemo;
    }
    // The lanes (and the ruler and the music lane) take the pointer's clicks.
    ImGui::InvisibleButton("##lanes", ImVec2(width - at.left - 4.0f, at.bottom - at.rulerTop));
    const ImGuiIO& io = ImGui::GetIO();
    const timeline_pointer pointer{ImGui::IsItemActivated(),
                                   ImGui::IsItemActive(),
                                   ImGui::IsItemHovered(),
                                   io.KeyShift,
                                   io.MousePos.x,
                                   io.MousePos.y,
                                   io.MouseDelta.x,
                                   io.MouseWheel};
    // A press on a bar drags it; elsewhere on a lane it pans.
    timeline_pointer lanes = pointer;
    if (followBarDrag(panel, pointer, io.KeyCtrl)) lanes.pressed = lanes.held = false;
    followPointer(lanes, at, wholeDemo, axis, mouse, asked);
    // A zoomed view follows the playhead out of it, but not while the mouse moves either.
    if (mouse.axisMoved && mouse.gesture == timeline_mouse::none)
        axis.follow(panel.playhead, view.time);
    panel.playhead = view.time;

    ImDrawList* draw = ImGui::GetWindowDrawList();
    drawLaneNames(draw, at, panel.lanes);
    draw->PushClipRect(ImVec2(axis.left, at.rulerTop), ImVec2(at.right, at.bottom), true);
    drawRuler(draw, axis, at);
    drawMusic(draw, axis, at, peaks, panel);
    drawBars(draw, axis, at, model, path, panel.bars);
    if (panel.selected >= 0 && std::size_t(panel.selected) < model.camera_windows.size()) {
        const timeline_bar& b = panel.bars[std::size_t(panel.selected)];
        draw->AddRect(ImVec2(b.x0 - 1.0f, b.y0 - 1.0f),
                      ImVec2(std::max(b.x1, b.x0 + 1.0f) + 1.0f, b.y1 + 1.0f), kSelectedBar, 0.0f,
                      0, 2.0f);
    }
    drawMarks(draw, axis, at, model,
              mouse.gesture == timeline_mouse::looping ? mouse.dragged() : view.loop, view.time);
    draw->PopClipRect();
    // What the bar under the pointer is, when there is one.
    if (pointer.over && mouse.gesture == timeline_mouse::none && panel.drag.part == bar_drag::none)
        for (const timeline_bar& b : panel.bars)
            if (pointer.x >= b.x0 && pointer.x <= std::max(b.x1, b.x0 + 1.0f) &&
                pointer.y >= b.y0 && pointer.y < b.y1) {
                ImGui::BeginTooltip();
                ImGui::TextUnformatted(b.details.c_str());
                ImGui::EndTooltip();
                break;
            }
    ImGui::End();
}

void releaseWaveform(timeline_panel& panel) {
    deletePicture(panel.waveTexture);
}

// A scissored clear: on llvmpipe a clear costs a fraction of blending the same pixels, and the
// panel is the largest thing it draws.
void clearTimelineBack(int width, int rows) {
    const ImVec4 back = ImGui::ColorConvertU32ToFloat4(kLaneBack);
    const float colour[4] = {back.x, back.y, back.z, back.w};
    clearBottomRows(width, rows, colour);
}
