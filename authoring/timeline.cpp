// The scene's time line: see timeline.h.
#include "authoring/timeline.h"

#include <algorithm>

#include <vorbis/vorbisfile.h>

timeline cameraTimeline(const std::vector<camera>& cameras) {
    timeline tl;
    std::vector<camera_gap> windows; // start and end of the windows that can film
    for (const camera& c : cameras) {
        if (c.start == c.end)
            tl.endless = true;
        else if (c.start < c.end)
            windows.push_back({c.start, c.end});
    }
    std::sort(windows.begin(), windows.end(),
              [](const camera_gap& a, const camera_gap& b) { return a.from < b.from; });

    // Windows are inclusive, so one ending at 8 and one starting at 8 leave no gap.
    // Times are never negative, so the first window leaves a gap only when it starts after 0.
    double covered = 0.0;
    for (const camera_gap& w : windows) {
        if (w.from > covered) tl.gaps.push_back({covered, w.from});
        covered = std::max(covered, w.to);
    }
    tl.filmed = tl.endless || (!windows.empty() && windows.front().from <= 0.0);
    if (tl.endless) tl.gaps.clear();
    if (tl.filmed && !tl.endless) tl.end = tl.gaps.empty() ? covered : tl.gaps.front().from;

    // The filming camera can only change where a window starts or just after one ends, so it
    // is looked at on those times and between them; never second by second, since a window
    // may end after billions of seconds.
    // An endless demo is looked at up to the latest end of a window, which `covered` is.
    const double last = tl.endless ? covered : tl.end;
    std::vector<double> events{0.0};
    for (const camera_gap& w : windows)
        events.insert(events.end(), {w.from, w.to});
    std::sort(events.begin(), events.end());
    events.erase(std::unique(events.begin(), events.end()), events.end());
    if (tl.filmed) {
        int previous = filmingCamera(cameras, 0.0);
        for (std::size_t i = 0; i < events.size() && events[i] <= last; ++i) {
            const double next = i + 1 < events.size() ? events[i + 1] : events[i] + 1.0;
            for (double t : {events[i], (events[i] + next) / 2.0}) {
                if (t > last) break;
                const int now = filmingCamera(cameras, t);
                // Just after a window ends, the change is taken to be at its end.
                if (now != previous) tl.cuts.push_back(events[i]);
                previous = now;
            }
        }
    }
    return tl;
}

int filmingCamera(const std::vector<camera>& cameras, double t) {
    int filming = -1;
    for (std::size_t i = 0; i < cameras.size(); ++i)
        if (cameras[i].is_on_time(t)) filming = static_cast<int>(i);
    return filming;
}

namespace {

void addModelWindows(scene_timeline& out, const scene& s, const std::vector<group>& groups,
                     const std::string& parent) {
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const std::string path = parent + (parent.empty() ? "" : ".") + std::to_string(i + 1);
        const std::string label = elementLabel(s, groups[i].place);
        for (const modelo_descript& m : groups[i].descriptors)
            out.model_windows.push_back({path, m.mesh_name, m.texture_name, m.shader_name, m.start,
                                         m.end, m.line, m.place, label});
        addModelWindows(out, s, groups[i].children, path);
    }
}

} // namespace

scene_timeline sceneTimeline(const scene& s, double musicSeconds) {
    const std::vector<camera>& cameras = s.cameras;
    scene_timeline out;
    out.cameras = cameraTimeline(cameras);
    out.music_seconds = musicSeconds;
    for (std::size_t i = 0; i < cameras.size(); ++i) {
        const camera& c = cameras[i];
        const camera_place& at = s.camera_places[i];
        out.camera_windows.push_back(
            {int(i) + 1, c.mode, c.start, c.end, at.line, at.place, elementLabel(s, at.place)});
    }
    addModelWindows(out, s, s.groups, "");

    // Everything in the file can be seen: the axis runs to the latest window or the music's
    // end, but no further than ten times the later of the demo's end and the music's (a window
    // of billions of seconds runs off the edge).
    const timeline& tl = out.cameras;
    double latest = musicSeconds, lastEnding = 0.0;
    for (const camera_window& c : out.camera_windows) {
        if (c.start != c.end) latest = std::max({latest, c.start, c.end});
        if (c.start < c.end) lastEnding = std::max(lastEnding, c.end);
    }
    for (const model_window& m : out.model_windows)
        if (m.start != m.end) latest = std::max({latest, m.start, m.end});
    // An endless demo has no end: its last window that ends stands for it.
    const double demoEnd = tl.filmed && !tl.endless ? tl.end : lastEnding;
    const double base = std::max({demoEnd, musicSeconds, 1.0});
    out.axis_end = std::min(std::max(latest, base), 10.0 * base);
    return out;
}

std::string elementLabel(const scene& s, int place) {
    if (place < 0 || std::size_t(place) >= s.source.elements.size()) return "";
    const attribute_place* label = s.source.elements[std::size_t(place)].attribute("label");
    if (!label || label->value.end > s.source_text.size()) return "";
    return decodeXml(
        std::string_view(s.source_text).substr(label->value.begin, label->value.size()));
}

const char* cameraForm(int mode) {
    return mode == moving_look_at   ? "moving, looking at a point"
           : mode == moving_tangent ? "moving, along its tangent"
                                    : "static";
}

double musicLength(const char* path) {
    OggVorbis_File file;
    if (ov_fopen(path, &file) != 0) return -1.0;
    const double seconds = ov_time_total(&file, -1);
    ov_clear(&file);
    return seconds < 0 ? -1.0 : seconds;
}
