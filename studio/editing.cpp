// The studio's edits of the playing scene: see editing.h.
#include "studio/editing.h"

#include <cstdlib>
#include <tuple>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include "authoring/timeline.h"
#include "formats/xml_edit.h"
#include "scene/scene.h"
#include "studio/bar_drag.h"
#include "studio/live_edit.h"

namespace {

// A window's time as the file is to say it: a camera's as an integer, as it is read.
std::string timeText(bool camera, double t) {
    return camera ? formatNumber((long long)t) : formatNumber(t);
}

// The number a written value's text reads as, or none.
std::optional<double> numberIn(const std::string& raw) {
    const std::string text = decodeXml(raw);
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0') return std::nullopt;
    return v;
}

} // namespace

void studio_editing::loaded(const std::string& path, scene& sc) {
    if (path != file) {
        file = path;
        history = scene_edit(path);
        selected = -1;
    }
    playing = &sc;
    dragStale = dragPlace >= 0;
    if (selected >= int(sc.source.elements.size())) selected = -1;
}

void studio_editing::followDrag(const bar_drag& d, const scene_timeline& model) {
    if (d.part == bar_drag::none || !playing) return;
    const std::size_t cameras = model.camera_windows.size(), bar = std::size_t(d.bar);
    if (bar >= cameras + model.model_windows.size()) return;
    const int place =
        bar < cameras ? model.camera_windows[bar].place : model.model_windows[bar - cameras].place;
    if (d.began) {
        selected = dragPlace = place;
        dragStale = false;
        dragStart = changeOf(playing->source_text, playing->source, place, "start", "");
        dragEnd = changeOf(playing->source_text, playing->source, place, "end", "");
    }
    if (dragPlace < 0) return; // the default camera is in no file
    if (d.released) {
        std::vector<value_change> changes;
        std::vector<field_value> values;
        for (auto [c, was, now] : {std::tuple(dragStart, d.from.start, d.now.start),
                                   std::tuple(dragEnd, d.from.end, d.now.end)}) {
            if (was == now) continue;
            c.after = timeText(d.camera, now);
            changes.push_back(c);
            values.push_back({dragStale ? -1 : dragPlace, c.attribute, c.after, now});
        }
        dragPlace = -1;
        if (!changes.empty())
            commit(changes, values, d.part == bar_drag::right ? d.now.end : d.now.start);
        return;
    }
    if (dragStale) return;
    live({place, "start", "", d.now.start});
    live({place, "end", "", d.now.end});
}

void studio_editing::live(const field_value& v) {
    if (playing && v.number && setLive(*playing, v.place, v.attribute, *v.number)) changed = true;
}

void studio_editing::finish(const std::vector<field_value>& values, double at) {
    if (!playing || values.empty()) return;
    std::vector<value_change> changes;
    for (const field_value& v : values)
        changes.push_back(
            changeOf(playing->source_text, playing->source, v.place, v.attribute, v.text));
    commit(changes, values, at);
}

void studio_editing::commit(const std::vector<value_change>& changes,
                            const std::vector<field_value>& values, double at) {
    const edit_result r = history.apply(changes, at);
    if (!r.ok) return refuse(values, r.message);
    note.reset();
    reread = true;
}

void studio_editing::structural(const value_change& change) {
    if (playing) commit({change}, {}, -1.0);
}

void studio_editing::problem(int place, const std::string& why) {
    diagnostic d;
    d.severity = diagnostic::error;
    d.at.file = file;
    d.what = why;
    if (playing && place >= 0 && std::size_t(place) < playing->source.elements.size()) {
        const element_place& e = playing->source.elements[std::size_t(place)];
        d.at.line = e.line;
        d.element = e.name;
    }
    note = d;
}

// The refusal said, and the live values set back to what the file says.
void studio_editing::refuse(const std::vector<field_value>& values, const std::string& why) {
    problem(values.empty() ? -1 : values.front().place, why);
    for (const field_value& v : values) {
        double was = 0.0; // a window's time the file leaves out
        fileValue(*playing, v.place, v.attribute, was);
        if (setLive(*playing, v.place, v.attribute, was)) changed = true;
    }
}

void studio_editing::step(bool back) {
    if (!playing) return;
    const edit_result r = back ? history.undo() : history.redo();
    if (!r.ok) return refuse({}, r.message);
    note.reset();
    for (const value_change& c : r.changes) {
        if (c.kind != value_change::set_value) continue; // the scene is read again
        const int place = findElement(playing->source, c.element);
        if (const std::optional<double> v = numberIn(c.after))
            live({place, c.attribute, c.after, v});
    }
    if (r.at >= 0.0) seek = r.at;
    reread = true;
}

void studio_editing::key(int key, int mods) {
    if (!(mods & GLFW_MOD_CONTROL)) return;
    if (key == GLFW_KEY_Z)
        step(!(mods & GLFW_MOD_SHIFT));
    else if (key == GLFW_KEY_Y)
        step(false);
}

void studio_editing::take(preview_requests& asked, bool& changedLive) {
    if (seek) asked.seek = seek;
    asked.reread = asked.reread || reread;
    changedLive = changed;
    seek.reset();
    reread = changed = false;
}
