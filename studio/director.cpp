// The director's camera, the scene's paths as drawn and the bookmarks: see director.h.
#include "studio/director.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include <glm/gtc/constants.hpp>

#include "scene/scene.h"

namespace {

constexpr float kTurnPerPixel = 0.005f; // radians
constexpr float kSpeedStep = 1.25f;

// Samples of a closed curve, kPathSamples a segment, through the scene's own evaluation (a
// copy: evaluation keeps a count).
std::vector<glm::vec3> sampleCurve(curve c, const glm::mat4& model) {
    std::vector<glm::vec3> out;
    const int n = int(c.pointCount()) * kPathSamples;
    for (int i = 0; i < n; ++i) {
        float p[3];
        c.getGlobalCatmullRomPoint(float(i) / float(n), p);
        out.push_back(glm::vec3(model * glm::vec4(p[0], p[1], p[2], 1.0f)));
    }
    return out;
}

std::vector<glm::vec3> points(const curve& c, const glm::mat4& model) {
    std::vector<glm::vec3> out;
    for (unsigned i = 0; i < c.pointCount(); ++i)
        out.push_back(glm::vec3(
            model * glm::vec4(c.getMatrixVal(int(i), 0), c.getMatrixVal(int(i), 1),
                              c.getMatrixVal(int(i), 2), 1.0f)));
    return out;
}

// The samples of a path drawn before through the same points, else new ones: a paused or
// still picture need not evaluate every curve again each frame.
std::vector<glm::vec3> samplesOf(const drawn_path& p, const curve& c, const glm::mat4& model,
                                 const std::vector<drawn_path>* before) {
    if (before)
        for (const drawn_path& q : *before)
            if (q.kind == p.kind && q.number == p.number && q.handles == p.handles) return q.curve;
    return sampleCurve(c, model);
}

// A camera's eye at t, held at the ends of its window.
glm::vec3 eyeAt(const camera& cam, double t) {
    if (!cam.moving()) return cam.eye;
    float u = 0.0f;
    if (cam.end != cam.start) u = float(std::clamp((t - cam.start) / (cam.end - cam.start), 0.0, 1.0));
    curve c = cam.path;
    float p[3];
    c.getGlobalCatmullRomPoint(u, p);
    return {p[0], p[1], p[2]};
}

// The groups' curve translations, with the walk's matrices at t, which the transforms'
// kept state gives without changing it.
void groupPaths(const group& g, glm::mat4 model, double t, std::vector<drawn_path>& out,
                const std::vector<drawn_path>* before) {
    for (const transform& tr : g.transforms) {
        if (tr.kind == curve_translation && tr.path.pointCount() > 0) {
            drawn_path p{.kind = drawn_path::group_path, .number = int(out.size()) + 1};
            p.handles = points(tr.path, model);
            p.curve = samplesOf(p, tr.path, model, before);
            p.places = tr.point_places;
            p.model = model;
            out.push_back(std::move(p));
        }
        model = tr.apply(model, t);
    }
    for (const group& child : g.children)
        groupPaths(child, model, t, out, before);
}

} // namespace

void director::lookFrom(glm::vec3 from, glm::vec3 at) {
    eye = from;
    const glm::vec3 d = at - from;
    const float length = glm::length(d);
    if (!(length > 1e-6f) || !std::isfinite(length)) return;
    distance = length;
    pitch = std::clamp(std::asin(std::clamp(d.y / length, -1.0f, 1.0f)), -kMaxPitch, kMaxPitch);
    yaw = std::atan2(d.x, -d.z);
}

glm::vec3 director::forward() const {
    return {std::sin(yaw) * std::cos(pitch), std::sin(pitch), -std::cos(yaw) * std::cos(pitch)};
}

void director::fly(glm::vec3 held, double seconds) {
    const glm::vec3 right(std::cos(yaw), 0.0f, std::sin(yaw));
    eye += (right * held.x + glm::vec3(0.0f, held.y, 0.0f) + forward() * held.z) *
           (speed * float(seconds));
}

void director::turn(float dx, float dy) {
    yaw = std::remainder(yaw + dx * kTurnPerPixel, glm::two_pi<float>());
    pitch = std::clamp(pitch - dy * kTurnPerPixel, -kMaxPitch, kMaxPitch);
}

glm::mat3 director::axes() const {
    const glm::vec3 right(std::cos(yaw), 0.0f, std::sin(yaw)), ahead = forward();
    return {right, glm::cross(right, ahead), ahead};
}

void director::orbit(glm::vec3 centre, float dx, float dy) {
    // The eye turns about the centre with the view, as one rigid body, so that the centre keeps
    // its place in the picture: the view does not jump to face it when a drag begins.
    const glm::mat3 before = axes();
    turn(dx, dy);
    eye = centre + axes() * glm::transpose(before) * (eye - centre);
}

void director::scaleSpeed(float notches) {
    speed = std::clamp(speed * std::pow(kSpeedStep, notches), 0.01f, 1000.0f);
}

camera director::view() const {
    return camera(eye, look(), glm::vec3(0.0f, 1.0f, 0.0f), 0, 0);
}

std::vector<drawn_path> scenePaths(const scene& sc, double t, int selected,
                                   const std::vector<drawn_path>* before) {
    std::vector<drawn_path> out;
    for (std::size_t i = 0; i < sc.cameras.size(); ++i) {
        const camera& cam = sc.cameras[i];
        if (!cam.moving() || cam.path.pointCount() == 0) continue;
        drawn_path p{.number = int(i) + 1, .selected = int(i) == selected};
        p.handles = points(cam.path, glm::mat4(1.0f));
        p.curve = samplesOf(p, cam.path, glm::mat4(1.0f), before);
        if (cam.mode == moving_look_at) p.look = cam.look;
        p.eye = eyeAt(cam, t);
        if (i < sc.camera_places.size()) p.places = sc.camera_places[i].points;
        out.push_back(std::move(p));
    }
    std::vector<drawn_path> groups;
    for (const group& g : sc.groups)
        groupPaths(g, glm::mat4(1.0f), t, groups, before);
    out.insert(out.end(), groups.begin(), groups.end());
    return out;
}

glm::vec3 sceneCentre(const scene& sc) {
    glm::vec3 low(INFINITY), high(-INFINITY);
    const auto take = [&](glm::vec3 p) {
        low = glm::min(low, p);
        high = glm::max(high, p);
    };
    for (const camera& cam : sc.cameras) {
        if (!cam.moving()) take(cam.eye);
        if (cam.mode != moving_tangent) take(cam.look);
        for (const glm::vec3& p : points(cam.path, glm::mat4(1.0f)))
            take(p);
    }
    return low.x <= high.x ? (low + high) * 0.5f : glm::vec3(0.0f);
}

std::string bookmarkFile(const std::string& scenePath, bool folderWritable, const char* xdgConfig,
                         const char* home) {
    const std::size_t dot = scenePath.rfind('.'), slash = scenePath.rfind('/');
    const bool suffixed = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    if (folderWritable) return scenePath.substr(0, suffixed ? dot : scenePath.size()) + ".views";
    std::string base;
    if (xdgConfig && xdgConfig[0] == '/')
        base = xdgConfig;
    else if (home && home[0] == '/')
        base = std::string(home) + "/.config";
    else
        return "";
    // The scene's absolute path made one file name: each '/' becomes '%', as editors name
    // their per-file state.
    std::string name = scenePath;
    for (char& c : name)
        if (c == '/') c = '%';
    return base + "/kestrine/views/" + name + ".views";
}

std::vector<bookmark> readBookmarks(const std::string& text) {
    std::vector<bookmark> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        bookmark b;
        std::string rest;
        if (!(words >> b.digit >> b.eye.x >> b.eye.y >> b.eye.z >> b.look.x >> b.look.y >>
              b.look.z) ||
            (words >> rest) || b.digit < 0 || b.digit > 9 ||
            !std::isfinite(glm::dot(b.eye, b.eye) + glm::dot(b.look, b.look)))
            continue;
        std::erase_if(out, [&](const bookmark& o) { return o.digit == b.digit; });
        out.push_back(b);
    }
    return out;
}

std::string writeBookmarks(const std::vector<bookmark>& marks) {
    std::string text;
    for (const bookmark& b : marks) {
        char line[256];
        std::snprintf(line, sizeof line, "%d %.9g %.9g %.9g %.9g %.9g %.9g\n", b.digit, b.eye.x,
                      b.eye.y, b.eye.z, b.look.x, b.look.y, b.look.z);
        text += line;
    }
    return text;
}
