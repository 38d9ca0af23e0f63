// The paths' points and cameras edited in the director's picture: see path_editing.h.
#include "studio/path_editing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include "formats/xml_edit.h"
#include "scene/scene.h"
#include "studio/director_view.h"
#include "studio/editing.h"

namespace {

constexpr float kPickRadius = 8.0f; // pixels round a handle's centre
constexpr int kPathLeast = 2;       // points a path keeps: fewer and its camera stands still

// The drawn path and point of the element at place, or none.
handle_ref handleAt(const std::vector<drawn_path>& paths, int place) {
    for (std::size_t i = 0; place >= 0 && i < paths.size(); ++i)
        for (std::size_t k = 0; k < paths[i].places.size(); ++k)
            if (paths[i].places[k] == place) return {int(i), int(k)};
    return {};
}

// A world point in a path's own coordinates; a camera's are the world's, kept exact.
glm::vec3 local(const glm::mat4& model, glm::vec3 world) {
    return model == glm::mat4(1.0f) ? world
                                    : glm::vec3(glm::inverse(model) * glm::vec4(world, 1.0f));
}

std::vector<field_value> pointValues(int place, glm::vec3 p) {
    std::vector<field_value> out;
    for (int i = 0; i < 3; ++i)
        out.push_back({place, std::string(1, char('X' + i)), formatNumber(p[i]), double(p[i])});
    return out;
}

// The element a new camera goes after: the last camera of the scene, else its last element.
int lastCamera(const scene& sc) {
    int last = -1, child = -1;
    for (std::size_t i = 0; i < sc.source.elements.size(); ++i) {
        const element_place& e = sc.source.elements[i];
        if (e.parent != 0) continue;
        child = int(i);
        if (e.name == "camera") last = int(i);
    }
    return last >= 0 ? last : child;
}

// A static camera element standing where the director does, for [second, second + 1].
std::string cameraHere(const director& d, double playhead) {
    const long long second = (long long)std::floor(playhead);
    std::string text =
        "<camera start=\"" + formatNumber(second) + "\" end=\"" + formatNumber(second + 1) + "\"";
    const glm::vec3 eye = d.eye, look = d.look();
    for (int i = 0; i < 3; ++i)
        text += " eye_" + std::string(1, char('x' + i)) + "=\"" + formatNumber(eye[i]) + "\"";
    for (int i = 0; i < 3; ++i)
        text += " look_" + std::string(1, char('x' + i)) + "=\"" + formatNumber(look[i]) + "\"";
    return text + " up_x=\"0\" up_y=\"1\" up_z=\"0\"/>";
}

} // namespace

void path_editing::follow(const director_view& d, studio_editing& editing, const picture_map& map,
                          bool pointerFree) {
    const bool down = glfwGetMouseButton(window, GLFW_MOUSE_BUTTON_LEFT) == GLFW_PRESS;
    double x = 0.0, y = 0.0;
    glfwGetCursorPos(window, &x, &y);
    const glm::vec2 at = map.inFrame(glm::vec2(float(x), float(y)));
    if (down && !held && pointerFree && d.viewer()) {
        held = true;
        const handle_ref h = nearestHandle(d.drawnPaths(), map, at, kPickRadius);
        if (!h.found() || d.drawnPaths()[std::size_t(h.path)].places[std::size_t(h.point)] < 0)
            return;
        const drawn_path& p = d.drawnPaths()[std::size_t(h.path)];
        grabbed = editing.selected = p.places[std::size_t(h.point)];
        start = shown = p.handles[std::size_t(h.point)];
        model = p.model;
        from = at;
        pressed = map;
        const glm::mat4 view = d.viewer()->viewMatrix();
        ahead = -glm::vec3(view[0][2], view[1][2], view[2][2]);
        return;
    }
    if (!held) return;
    held = down;
    if (grabbed < 0) return;
    const bool along = glfwGetKey(window, GLFW_KEY_LEFT_SHIFT) == GLFW_PRESS ||
                       glfwGetKey(window, GLFW_KEY_RIGHT_SHIFT) == GLFW_PRESS;
    const glm::vec3 now = along ? dragAlongAxis(pressed, start, from, at)
                                : dragInPlane(pressed, start, ahead, from, at);
    move(editing, now, !down);
    if (!down) grabbed = -1;
}

// The point live where the drag has it; on release, written when it moved.
void path_editing::move(studio_editing& editing, glm::vec3 world, bool written) {
    const std::vector<field_value> values = pointValues(grabbed, local(model, world));
    if (world != shown)
        for (const field_value& v : values)
            editing.live(v);
    shown = world;
    if (written && world != start) editing.finish(values);
}

void path_editing::key(int key, int, const director_view& d, studio_editing& editing,
                       const scene& sc, double playhead) {
    const camera* viewer = d.viewer();
    if (!viewer || held) return;
    const glm::vec3 eye = d.flyer().eye;
    if (key == GLFW_KEY_C) {
        const int after = lastCamera(sc);
        if (after < 0) return editing.problem(-1, "no camera added: the scene has no elements");
        editing.structural(
            insertionAfter(sc.source, after, cameraHere(d.flyer(), playhead)));
        return;
    }
    const int place = editing.selected;
    const handle_ref h = handleAt(d.drawnPaths(), place);
    if (!h.found()) return;
    const drawn_path& p = d.drawnPaths()[std::size_t(h.path)];
    const glm::vec3 at = local(p.model, eye);
    if (key == GLFW_KEY_K) {
        const std::vector<field_value> values = pointValues(place, at);
        for (const field_value& v : values)
            editing.live(v);
        editing.finish(values);
    } else if (key == GLFW_KEY_I) {
        const std::string name = sc.source.elements[std::size_t(place)].name;
        std::string text = "<" + name;
        for (const field_value& v : pointValues(place, at))
            text += " " + v.attribute + "=\"" + v.text + "\"";
        editing.structural(insertionAfter(sc.source, place, text + "/>"));
        editing.selected = place + 1; // a point holds nothing: the new one comes next
    } else if (key == GLFW_KEY_DELETE) {
        if (p.handles.size() <= std::size_t(kPathLeast))
            return editing.problem(place, "the point is not taken out: a path needs at least " +
                                              std::to_string(kPathLeast) +
                                              " points, or its camera stands still");
        editing.structural(removalOf(sc.source_text, sc.source, place));
        editing.selected = -1;
    }
}

std::string path_editing::layout(const director_view& d, const studio_editing& editing) const {
    const handle_ref h = handleAt(d.drawnPaths(), editing.selected);
    if (!h.found()) return "director_point none\n";
    const drawn_path& p = d.drawnPaths()[std::size_t(h.path)];
    char line[128];
    std::snprintf(line, sizeof line, "director_point %s %d %d %s\n",
                  p.kind == drawn_path::camera_path ? "camera" : "group", p.number, h.point + 1,
                  grabbed >= 0 ? "held" : "still");
    return line;
}

int cameraOf(const scene& sc, int place) {
    for (std::size_t i = 0; place >= 0 && i < sc.camera_places.size(); ++i) {
        const camera_place& c = sc.camera_places[i];
        if (c.place == place ||
            std::find(c.points.begin(), c.points.end(), place) != c.points.end())
            return int(i);
    }
    return -1;
}
