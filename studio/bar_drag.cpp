// Dragging a bar's window: see bar_drag.h.
#include "studio/bar_drag.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <imgui.h>

#include "studio/timeline_panel.h"

namespace {

constexpr float kEdge = 4.0f; // pixels either side of an edge that take it

// Tenths through a division by ten, so that each is the double its shortest text reads back as.
double snap(double t, double step) {
    return step == 1.0 ? std::round(t) : std::round(t * 10.0) / 10.0;
}

// A time moved by shift, kept on the grid when it was on it.
double shifted(double t, double shift, double step) {
    return snap(t, step) == t ? snap(t + shift, step) : t + shift;
}

} // namespace

bar_drag::part_type grabbedPart(float x, float x0, float x1) {
    const float toLeft = std::abs(x - x0), toRight = std::abs(x - x1);
    if (std::min(toLeft, toRight) > kEdge) return bar_drag::body;
    return toLeft <= toRight ? bar_drag::left : bar_drag::right;
}

section draggedWindow(const bar_drag& d, double t, bool fine, bool modifier) {
    const double step = d.camera || !fine ? 1.0 : 0.1;
    if (d.always) {
        if (!modifier) return d.from;
        const double a = std::max(0.0, snap(std::min(d.pressed, t), step));
        return {a, std::max(a + step, snap(std::max(d.pressed, t), step))};
    }
    const double moved = t - d.pressed;
    section w = d.from;
    if (d.part == bar_drag::left) {
        const double s =
            std::max(0.0, std::min(snap(d.from.start + moved, step), d.from.end - step));
        if (s < d.from.end) w.start = s;
    } else if (d.part == bar_drag::right) {
        w.end = std::max(snap(d.from.end + moved, step), d.from.start + step);
    } else {
        w.start = std::max(0.0, snap(d.from.start + moved, step));
        w.end = shifted(d.from.end, w.start - d.from.start, step);
    }
    return w;
}

std::string dragTip(const bar_drag& d, bool modifier) {
    char tip[160];
    if (d.always && !modifier)
        std::snprintf(tip, sizeof tip,
                      "shown at every time: its start equals its end\nhold Ctrl and drag to give "
                      "it a window");
    else if (d.part == bar_drag::left && !d.always)
        std::snprintf(tip, sizeof tip, "start %g s", d.now.start);
    else if (d.part == bar_drag::right && !d.always)
        std::snprintf(tip, sizeof tip, "end %g s", d.now.end);
    else
        std::snprintf(tip, sizeof tip, "%g to %g s", d.now.start, d.now.end);
    return tip;
}

bool followBarDrag(timeline_panel& panel, const timeline_pointer& p, bool modifier) {
    bar_drag& d = panel.drag;
    if (d.released) d = {};
    d.began = false;
    if (p.pressed && p.y >= panel.placed.lanesTop)
        for (std::size_t i = 0; i < panel.bars.size(); ++i) {
            const timeline_bar& b = panel.bars[i];
            if (p.x < b.x0 - 4.0f || p.x > std::max(b.x1, b.x0 + 1.0f) + 4.0f || p.y < b.y0 ||
                p.y >= b.y1)
                continue;
            d = {b.start == b.end ? bar_drag::body : grabbedPart(p.x, b.x0, b.x1),
                 int(i),
                 b.kind == "camera",
                 panel.axis.timeAt(p.x),
                 {b.start, b.end},
                 {b.start, b.end},
                 b.start == b.end};
            d.began = true;
            break;
        }
    if (d.part == bar_drag::none) return false;
    if (!p.held) {
        d.released = true;
        return true;
    }
    d.now = draggedWindow(d, panel.axis.timeAt(p.x), p.shift, modifier);
    d.moved = d.now.start != d.from.start || d.now.end != d.from.end;
    ImGui::BeginTooltip();
    ImGui::TextUnformatted(dragTip(d, modifier).c_str());
    ImGui::EndTooltip();
    return true;
}
