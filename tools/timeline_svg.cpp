// The time line as a picture: see timeline_svg.h.
#include "tools/timeline_svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "authoring/timeline.h"
#include "formats/xml_edit.h"
#include "scene/scene.h"

namespace {

constexpr double kWidth = 1000, kLabels = 260, kLane = 18, kTop = 40;

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

struct drawing {
    double end = 1.0; // seconds the axis shows
    std::string body;
    int lanes = 0;

    double x(double t) const {
        return kLabels + (kWidth - kLabels - 20) * std::clamp(t, 0.0, end) / end;
    }
    double y() const { return kTop + kLane * lanes; }

    // A lane from `from` to `to` (a window whose ends are equal spans the whole axis); one that
    // goes on past the axis ends in an arrow at its edge.
    void lane(const std::string& kind, const std::string& label, double from, double to,
              const char* colour) {
        const double a = from == to ? 0.0 : from, b = from == to ? end : to;
        std::string arrow;
        if (from != to && std::max(from, to) > end) {
            const double tip = x(end) + 12, top = y() + 2, bottom = y() + kLane - 2;
            arrow = "<path class=\"runs-off\" d=\"M" + number(x(end) + 2) + " " + number(top) +
                    " L" + number(tip) + " " + number((top + bottom) / 2) + " L" +
                    number(x(end) + 2) + " " + number(bottom) + " Z\" fill=\"" + colour +
                    "\"><title>" + kind + " until " + number(std::max(from, to)) +
                    " s</title></path>";
        }
        body += "<g class=\"lane " + kind + "\" data-start=\"" + number(from) + "\" data-end=\"" +
                number(to) + "\"><text x=\"4\" y=\"" + number(y() + 13) + "\">" + escapeXml(label) +
                "</text><rect x=\"" + number(x(a)) + "\" y=\"" + number(y() + 2) + "\" width=\"" +
                number(std::max(1.0, x(b) - x(a))) + "\" height=\"" + number(kLane - 4) +
                "\" fill=\"" + colour + "\"/>" + arrow + "</g>\n";
        ++lanes;
    }
};

} // namespace

std::string timelineSvg(const scene& s, const std::string& title, double musicSeconds) {
    const scene_timeline model = sceneTimeline(s, musicSeconds);
    const timeline& tl = model.cameras;
    drawing d;
    d.end = model.axis_end;

    auto named = [](const std::string& label) {
        return label.empty() ? std::string() : " \"" + label + "\"";
    };
    for (const camera_window& c : model.camera_windows)
        d.lane("camera",
               "camera " + std::to_string(c.number) + named(c.label) + " (" + cameraForm(c.mode) +
                   ")",
               c.start, c.end, c.mode == static_camera ? "#d9a441" : "#c4663f");
    for (const model_window& m : model.model_windows)
        d.lane("model", m.mesh + " (group " + m.group_path + named(m.group_label) + ")", m.start,
               m.end, "#7a9cc6");
    if (musicSeconds >= 0)
        d.lane("music", "music (" + number(musicSeconds) + " s)", 0.0, musicSeconds, "#6aa56a");

    const double bottom = d.y();
    std::string marks;
    for (double t : tl.cuts)
        marks += "<line class=\"cut\" data-time=\"" + number(t) + "\" x1=\"" + number(d.x(t)) +
                 "\" x2=\"" + number(d.x(t)) + "\" y1=\"" + number(kTop) + "\" y2=\"" +
                 number(bottom) + "\" stroke=\"#333\" stroke-dasharray=\"4 3\"/>\n";
    for (const camera_gap& g : tl.gaps)
        marks += "<rect class=\"gap\" data-start=\"" + number(g.from) + "\" data-end=\"" +
                 number(g.to) + "\" x=\"" + number(d.x(g.from)) + "\" y=\"" + number(kTop - 8) +
                 "\" width=\"" + number(std::max(2.0, d.x(g.to) - d.x(g.from))) + "\" height=\"" +
                 number(bottom - kTop + 8) + "\" fill=\"#e04040\" opacity=\"0.3\"/>\n";
    // After the demo ends nothing is shown: shaded, whatever the file holds there.
    if (!tl.endless) {
        const double from = tl.filmed ? tl.end : 0.0;
        marks += "<rect class=\"after-end\" data-start=\"" + number(from) + "\" x=\"" +
                 number(d.x(from)) + "\" y=\"" + number(kTop - 8) + "\" width=\"" +
                 number(d.x(d.end) - d.x(from)) + "\" height=\"" + number(bottom - kTop + 8) +
                 "\" fill=\"#888\" opacity=\"0.25\"><title>the demo has ended</title></rect>\n";
    }
    std::string axis = "<g class=\"axis\" data-start=\"0\" data-end=\"" + number(d.end) + "\"/>\n";
    // About ten ticks at 1, 2 or 5 times a power of ten, however long the axis.
    const double power = std::pow(10.0, std::floor(std::log10(d.end / 10.0)));
    double step = power;
    for (double m : {2.0, 5.0})
        if (d.end / step > 12.0) step = power * m;
    for (double t = 0.0; t <= d.end + 1e-9; t += step)
        axis += "<text x=\"" + number(d.x(t)) + "\" y=\"" + number(kTop - 12) +
                "\" text-anchor=\"middle\">" + number(t) + " s</text>\n";

    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
           "width=\"" +
           number(kWidth) + "\" height=\"" + number(bottom + 20) +
           "\" font-family=\"sans-serif\" font-size=\"11\">\n<title>" + escapeXml(title) +
           "</title>\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n" + axis + d.body +
           marks + "</svg>\n";
}
