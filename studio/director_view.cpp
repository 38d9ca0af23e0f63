// The director's camera in the studio: see director_view.h.
#include "studio/director_view.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "gpu/depth_probe.h"
#include "gpu/guides.h"
#include "scene/scene.h"

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

namespace {

const glm::vec3 kCameraPath(1.0f, 0.8f, 0.1f);
const glm::vec3 kSelectedPath(1.0f, 1.0f, 1.0f);
const glm::vec3 kGroupPath(0.2f, 0.8f, 1.0f);
const glm::vec3 kHandle(1.0f, 0.35f, 0.1f);
const glm::vec3 kLookLine(0.6f, 1.0f, 0.4f);
const glm::vec3 kFrustum(1.0f, 0.3f, 0.8f);
constexpr float kPathWidth = 3.0f, kHandleSize = 9.0f, kFrustumDepth = 0.8f;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Lines of a small frustum at the filming camera's eye, as wide as the picture's view.
std::vector<glm::vec3> frustum(const camera& c, float aspect) {
    const glm::mat4 world = glm::inverse(c.viewMatrix());
    const glm::vec3 eye(world[3]), right(world[0]), up(world[1]), ahead(-world[2]);
    const float h = std::tan(glm::radians(22.5f)) * kFrustumDepth, w = h * aspect;
    const glm::vec3 mid = eye + ahead * kFrustumDepth;
    const glm::vec3 corner[4] = {mid - right * w - up * h, mid + right * w - up * h,
                                 mid + right * w + up * h, mid - right * w + up * h};
    std::vector<glm::vec3> out;
    for (int i = 0; i < 4; ++i)
        out.insert(out.end(), {eye, corner[i], corner[i], corner[(i + 1) % 4]});
    return out;
}

void addMatrix(std::string& text, const char* name, const glm::mat4& m) {
    text += name;
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            char number[32];
            std::snprintf(number, sizeof number, " %.9g", m[c][r]);
            text += number;
        }
    text += "\n";
}

} // namespace

director_view::director_view() = default;
director_view::~director_view() = default;


void director_view::detach() {
    painter.reset();
    probe.reset();
    window = nullptr;
}

void director_view::loaded(const std::string& path, const scene& sc) {
    centre = sceneCentre(sc);
    if (path == scenePath) return;
    scenePath = path;
    std::error_code error;
    const std::filesystem::path whole = std::filesystem::absolute(path, error);
    const std::string folder = whole.parent_path().string();
    marksFile = bookmarkFile(whole.string(), access(folder.c_str(), W_OK) == 0,
                             std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    marks = marksFile.empty() ? std::vector<bookmark>{} : readBookmarks(slurp(marksFile));
}

void director_view::show(bool on) {
    if (on && !placed) {
        // Where the picture was filmed from; a test may give a view of its own.
        float v[6];
        const char* given = std::getenv("KESTRINE_DIRECTOR_VIEW");
        if (given && std::sscanf(given, "%f %f %f %f %f %f", &v[0], &v[1], &v[2], &v[3], &v[4],
                                 &v[5]) == 6)
            flying.lookFrom({v[0], v[1], v[2]}, {v[3], v[4], v[5]});
        else
            flying.lookFrom(glm::vec3(glm::inverse(lastFilming.viewMatrix())[3]),
                            lastFilming.GetPosition());
        placed = true;
    }
    shown = on;
    seen = flying.view();
}

void director_view::key(int key, int mods) {
    if (key >= GLFW_KEY_0 && key <= GLFW_KEY_9) {
        if (mods & GLFW_MOD_CONTROL)
            keep(key - GLFW_KEY_0);
        else
            recall(key - GLFW_KEY_0);
    } else if (key == GLFW_KEY_V) {
        show(!shown);
    } else if (key == GLFW_KEY_F) {
        placed = false;
        show(true);
    } else if (key == GLFW_KEY_P) {
        paths = !paths;
    }
}

void director_view::keep(int digit) {
    if (!shown) return;
    std::erase_if(marks, [digit](const bookmark& b) { return b.digit == digit; });
    marks.push_back({digit, flying.eye, flying.look()});
    std::sort(marks.begin(), marks.end(),
              [](const bookmark& a, const bookmark& b) { return a.digit < b.digit; });
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(marksFile).parent_path(), error);
    const std::string temporary = marksFile + ".new";
    std::ofstream(temporary, std::ios::binary) << writeBookmarks(marks);
    if (marksFile.empty() || std::rename(temporary.c_str(), marksFile.c_str()) != 0) {
        std::fprintf(stderr, "view %d not kept: %s cannot be written\n", digit,
                     marksFile.empty() ? "no folder for bookmarks" : marksFile.c_str());
        return;
    }
    std::printf("view %d kept in %s\n", digit, marksFile.c_str());
    std::fflush(stdout);
}

void director_view::recall(int digit) {
    for (const bookmark& b : marks)
        if (b.digit == digit) {
            flying.lookFrom(b.eye, b.look);
            placed = true;
            show(true);
            return;
        }
}

void director_view::follow(bool pointerFree, float wheel, const picture_map& map) {
    const double wall = glfwGetTime();
    const double seconds = lastWall < 0.0 ? 0.0 : std::min(wall - lastWall, 0.1);
    lastWall = wall;
    double x = 0.0, y = 0.0;
    glfwGetCursorPos(window, &x, &y);
    const float dx = float(x - lastX), dy = float(y - lastY);
    lastX = x;
    lastY = y;
    if (!shown) return;
    const auto held = [this](int key) { return glfwGetKey(window, key) == GLFW_PRESS ? 1.0f : 0.0f; };
    flying.fly({held(GLFW_KEY_D) - held(GLFW_KEY_A), held(GLFW_KEY_E) - held(GLFW_KEY_Q),
                held(GLFW_KEY_W) - held(GLFW_KEY_S)},
               seconds);
    if (pointerFree && wheel != 0.0f) flying.scaleSpeed(wheel);
    for (int button : {GLFW_MOUSE_BUTTON_RIGHT, GLFW_MOUSE_BUTTON_MIDDLE}) {
        const bool down = glfwGetMouseButton(window, button) == GLFW_PRESS;
        if (down && dragging < 0 && pointerFree) {
            dragging = button;
            // Round the point of a path under the pointer, else the scene's point there.
            const glm::vec2 at = map.inFrame(glm::vec2(float(x), float(y)));
            const std::optional<glm::vec3> near = pointNear(drawn, map, at, 6.0f);
            pivot = near.value_or(centre);
            if (button == GLFW_MOUSE_BUTTON_MIDDLE && !near) sought = at;
        }
        if (!down && dragging == button) dragging = -1;
    }
    if (dragging == GLFW_MOUSE_BUTTON_RIGHT) flying.turn(dx, dy);
    if (dragging == GLFW_MOUSE_BUTTON_MIDDLE && !sought) flying.orbit(pivot, dx, dy);
    seen = flying.view();
}

double director_view::overPicture(const scene& sc, const camera& filming, double t) {
    lastFilming = filming;
    projection = sc.projection;
    if (sought) pivotFromDepth();
    const std::vector<drawn_path> before = std::move(drawn);
    drawn.clear();
    if (!shown || !paths) return -1.0;
    if (timed) glFinish(); // the scene's drawing done first, so that it is not counted
    const double began = glfwGetTime();
    drawn = scenePaths(sc, t, selected, &before);
    if (!painter) painter = std::make_unique<guide_painter>();
    drawGuides(filming);
    if (timed) glFinish();
    return 1000.0 * (glfwGetTime() - began);
}

// The scene's point drawn at the sought pixel, unprojected from the picture's depth, as the
// pivot; where nothing was drawn there, the scene's centre stays.
void director_view::pivotFromDepth() {
    const glm::vec2 at = *sought;
    sought.reset();
    GLint box[4];
    glGetIntegerv(GL_VIEWPORT, box);
    const int x = int(at.x), y = box[3] - 1 - int(at.y); // GL counts rows from the bottom
    if (x < 0 || y < 0 || x >= box[2] || y >= box[3]) return;
    if (!probe) probe = std::make_unique<depth_probe>();
    const std::optional<float> depth = probe->at(x, y);
    if (!depth || !(*depth < 1.0f)) return;
    picture_map map;
    map.frame = glm::vec2(float(box[2]), float(box[3]));
    map.viewProjection = viewProjection();
    pivot = map.unproject(glm::floor(at) + 0.5f, *depth); // the pixel's centre
}

// Group curves, look lines, handles and the frustum first, the cameras' paths over them, the
// selected one last.
void director_view::drawGuides(const camera& filming) {
    GLint box[4];
    glGetIntegerv(GL_VIEWPORT, box);
    painter->begin(projection * seen.viewMatrix(), box[2], box[3]);
    for (const drawn_path& p : drawn)
        if (p.kind == drawn_path::group_path) painter->lines(p.curve, GL_LINE_LOOP, kGroupPath, 2.0f);
    for (const drawn_path& p : drawn) {
        if (p.look) painter->lines({p.eye, *p.look}, GL_LINES, kLookLine, 1.5f);
        if (p.look) painter->points({*p.look}, kLookLine, kHandleSize);
        painter->points(p.handles, kHandle, kHandleSize);
    }
    for (const drawn_path& p : drawn)
        for (std::size_t k = 0; k < p.places.size() && selectedPoint >= 0; ++k)
            if (p.places[k] == selectedPoint)
                painter->points({p.handles[k]}, kSelectedPath, kHandleSize + 4.0f);
    painter->lines(frustum(filming, float(box[2]) / float(std::max(box[3], 1))), GL_LINES,
                   kFrustum, 2.0f);
    for (bool last : {false, true})
        for (const drawn_path& p : drawn)
            if (p.kind == drawn_path::camera_path && p.selected == last)
                painter->lines(p.curve, GL_LINE_LOOP, last ? kSelectedPath : kCameraPath,
                               kPathWidth);
    painter->end();
}

std::string director_view::layout() const {
    char line[256];
    std::snprintf(line, sizeof line, "director %s paths %s speed %.9g\n",
                  shown ? "shown" : "hidden", paths ? "on" : "off", flying.speed);
    std::string text = line;
    if (!shown) return text;
    const glm::vec3 e = flying.eye, l = flying.look();
    std::snprintf(line, sizeof line, "director_eye %.9g %.9g %.9g\ndirector_look %.9g %.9g %.9g\n",
                  e.x, e.y, e.z, l.x, l.y, l.z);
    text += line;
    if (dragging == GLFW_MOUSE_BUTTON_MIDDLE && !sought) {
        std::snprintf(line, sizeof line, "director_pivot %.9g %.9g %.9g\n", pivot.x, pivot.y,
                      pivot.z);
        text += line;
    }
    addMatrix(text, "director_view", seen.viewMatrix());
    addMatrix(text, "director_projection", projection);
    for (const drawn_path& p : drawn) {
        std::snprintf(line, sizeof line, "path %s %d %s %zu",
                      p.kind == drawn_path::camera_path ? "camera" : "group", p.number,
                      p.selected ? "selected" : "plain", p.curve.size());
        text += line;
        for (const glm::vec3& q : p.curve) {
            std::snprintf(line, sizeof line, " %.6g %.6g %.6g", q.x, q.y, q.z);
            text += line;
        }
        text += "\n";
    }
    return text;
}
