// Editing in the director's picture on the test display: a handle dragged, a point keyed from
// the view, put in and taken out, and a camera placed where the director stands; checked
// through the scene file's bytes, the layout, the checker, the trace and kestrine-capture.
#include <cmath>
#include <functional>
#include <regex>
#include <string>

#include <glm/glm.hpp>
#include <gtest/gtest.h>

#include "director_window.h"
#include "scene/scene.h"

namespace {

using e2e::director_layout;
using e2e::image;
using e2e::preview;
using e2e::readDirector;
using e2e::slurp;

const std::string kQuiet = "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null";
const std::regex kPoint("<point X=\"([^\"]*)\" Y=\"([^\"]*)\" Z=\"([^\"]*)\" ?/>");

glm::vec3 pointOf(const curve& c, int k) {
    return {c.getMatrixVal(k, 0), c.getMatrixVal(k, 1), c.getMatrixVal(k, 2)};
}

// The preview of the copy in dir, paused at a whole second in the director's view from `view`
// ("EX EY EZ LX LY LZ"), 480x270 without the panels, so that window and frame pixels agree.
struct directing {
    directing(const std::string& dir, int seconds, const std::string& view,
              const std::string& options = "")
        : layoutFile(dir + "/layout.txt"), p(dir, "demo.xml --size 480x270 --no-overlay " + options,
                                             kQuiet + " KESTRINE_PREVIEW_LAYOUT=" + layoutFile +
                                                 " KESTRINE_DIRECTOR_VIEW='" + view + "'") {
        EXPECT_TRUE(p.find("demo.xml"));
        std::string keys = "space Home";
        for (int i = 0; i < seconds / 10; ++i)
            keys += " shift+Right";
        for (int i = 0; i < seconds % 10; ++i)
            keys += " Right";
        p.keys(keys + " v");
        EXPECT_TRUE(p.waitTitle("| " + std::to_string(seconds) + ".00 s |")) << p.title();
        EXPECT_TRUE(p.waitTitle("| paused | director")) << p.title();
        EXPECT_TRUE(wait([](const director_layout& l) { return l.shown && !l.paths.empty(); }));
    }
    bool wait(const std::function<bool(const director_layout&)>& ok) {
        return e2e::waitFor([&] {
            l = readDirector(layoutFile);
            return ok(l);
        });
    }
    // Where a world point shows in the window.
    glm::dvec2 shown(glm::vec3 world) const {
        const glm::dvec4 clip = glm::dmat4(l.projection * l.view) * glm::dvec4(world, 1.0);
        return {(clip.x / clip.w + 1.0) * 240.0, (1.0 - clip.y / clip.w) * 135.0};
    }
    // The first of a path's points that shows well inside the picture, or -1.
    int inside(const curve& path) const {
        for (int k = 0; k < int(path.pointCount()); ++k) {
            const glm::dvec2 at = shown(pointOf(path, k));
            if (at.x > 80 && at.x < 400 && at.y > 60 && at.y < 210) return k;
        }
        return -1;
    }
    // Presses on camera 3's point k, which the layout then says is held, and lets go.
    void select(int k, glm::vec3 point) {
        const glm::dvec2 at = shown(point);
        const std::string said = "camera 3 " + std::to_string(k + 1);
        p.pointer(at.x, at.y, "mousedown 1");
        EXPECT_TRUE(wait([&](const director_layout& l) { return l.point == said + " held"; }))
            << l.point;
        p.xdo("mouseup 1");
        EXPECT_TRUE(wait([&](const director_layout& l) { return l.point == said + " still"; }));
    }

    std::string layoutFile;
    preview p;
    director_layout l;
};

// Where the pointer at window pixel `at` meets the plane through `through` facing the view.
glm::dvec3 onPlane(const director_layout& l, glm::dvec2 at, glm::dvec3 through) {
    const glm::dmat4 back = glm::inverse(glm::dmat4(l.projection) * glm::dmat4(l.view));
    const glm::dvec2 ndc(at.x / 240.0 - 1.0, 1.0 - at.y / 135.0);
    const glm::dvec4 near = back * glm::dvec4(ndc, -1.0, 1.0),
                     far = back * glm::dvec4(ndc, 1.0, 1.0);
    const glm::dvec3 origin = glm::dvec3(near) / near.w;
    const glm::dvec3 ray = glm::dvec3(far) / far.w - origin;
    const glm::dvec3 ahead(-l.view[0][2], -l.view[1][2], -l.view[2][2]);
    return origin + ray * (glm::dot(through - origin, ahead) / glm::dot(ray, ahead));
}

// Camera 3's path as the file at path says it.
curve camera3(const std::string& path) {
    return scene(path.c_str(), load_options::silent()).cameras.at(2).path;
}

// The byte offset of camera 3's point k in text, and its element's length.
std::pair<std::size_t, std::size_t> pointPlace(const std::string& text, int k) {
    std::size_t at = text.find("<camera start=\"20\"");
    for (int i = 0; i <= k; ++i)
        at = text.find("<point", at + 1);
    return {at, text.find("/>", at) + 2 - at};
}

} // namespace

TEST(DirectorEdit, DraggingAHandleMovesItsPointInThePlaneFacingTheViewAndUndoRestoresTheFile) {
    const std::string dir = e2e::demoCopy("director_edit_drag"), file = dir + "/demo.xml";
    const std::string original = slurp(file);
    directing d(dir, 22, "0 30 22 0 0 0");
    const curve before = camera3(file);
    const int k = d.inside(before);
    ASSERT_GE(k, 0);
    const glm::vec3 start = pointOf(before, k);
    const glm::dvec2 from = glm::floor(d.shown(start)), to = from + glm::dvec2(40, 25);
    d.p.pointer(from.x, from.y, "mousedown 1");
    const std::string held = "camera 3 " + std::to_string(k + 1) + " held";
    ASSERT_TRUE(d.wait([&](const director_layout& l) { return l.point == held; })) << d.l.point;
    EXPECT_EQ(d.l.selectedBar, 3);
    for (int i = 1; i <= 4; ++i)
        d.p.pointer(from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4);
    d.p.xdo("mouseup 1");
    ASSERT_TRUE(e2e::waitFor([&] { return slurp(file) != original; }));

    const glm::dvec3 expected =
        glm::dvec3(start) + onPlane(d.l, to, start) - onPlane(d.l, from, start);
    const glm::vec3 moved = pointOf(camera3(file), k);
    EXPECT_LT(glm::length(glm::dvec3(moved) - expected), 1e-3) << moved.x << " " << moved.y;
    EXPECT_GT(glm::length(moved - start), 1.0f);
    // Only the point's values changed, to what the player reads.
    const auto [at, length] = pointPlace(original, k);
    const std::string edited = slurp(file);
    const std::string after = original.substr(at + length);
    ASSERT_GT(edited.size(), after.size());
    EXPECT_EQ(edited.substr(0, at), original.substr(0, at));
    EXPECT_EQ(edited.substr(edited.size() - after.size()), after);
    std::smatch m;
    const std::string element = edited.substr(at, edited.size() - after.size() - at);
    ASSERT_TRUE(std::regex_match(element, m, kPoint)) << element;
    EXPECT_EQ(glm::vec3(std::stof(m[1]), std::stof(m[2]), std::stof(m[3])), moved);

    d.p.keys("ctrl+z");
    EXPECT_TRUE(e2e::waitFor([&] { return slurp(file) == original; }));
    d.p.keys("Escape");
    EXPECT_EQ(d.p.status(), 0) << d.p.err();
}

// Flown to a place by a key held, the director keys a point there, puts in a point after it
// and takes that one out again; each is one step of the history.
TEST(DirectorEdit, KeyFromViewWritesTheEyeAndAPointPutInIsTakenOutAgain) {
    const std::string dir = e2e::demoCopy("director_edit_key"), file = dir + "/demo.xml";
    const std::string original = slurp(file);
    directing d(dir, 22, "0 30 22 0 0 0");
    const curve path = camera3(file);
    const int k = d.inside(path);
    ASSERT_GE(k, 0);
    d.select(k, pointOf(path, k));
    // Flown right while D is held; K comes after its release, so the eye is the last one.
    d.p.xdo("keydown d");
    EXPECT_TRUE(d.wait([](const director_layout& l) { return l.eye.x > 0.5f; }));
    d.p.xdo("keyup d key k");
    ASSERT_TRUE(e2e::waitFor([&] { return slurp(file) != original; }));
    const std::string keyed = slurp(file);
    const glm::vec3 eye = readDirector(d.layoutFile).eye;
    EXPECT_EQ(pointOf(camera3(file), k), eye) << eye.x << " " << eye.y << " " << eye.z;

    // Put in after it, at the eye, on a line of its own; selected; then taken out.
    d.p.keys("i");
    ASSERT_TRUE(e2e::waitFor([&] { return camera3(file).pointCount() == path.pointCount() + 1; }));
    EXPECT_EQ(pointOf(camera3(file), k + 1), eye);
    const std::string said = "camera 3 " + std::to_string(k + 2) + " still";
    EXPECT_TRUE(d.wait([&](const director_layout& l) { return l.point == said; })) << d.l.point;
    const std::string added = slurp(file);
    d.p.keys("Delete");
    EXPECT_TRUE(e2e::waitFor([&] { return slurp(file) == keyed; }));
    for (const std::string* back : {&added, &keyed, &original}) {
        d.p.keys("ctrl+z");
        EXPECT_TRUE(e2e::waitFor([&] { return slurp(file) == *back; }));
    }
    d.p.keys("Escape");
    EXPECT_EQ(d.p.status(), 0) << d.p.err();
}

TEST(DirectorEdit, ANewCameraHereFilmsWhatTheDirectorSees) {
    const std::string dir = e2e::demoCopy("director_edit_camera"), file = dir + "/demo.xml";
    directing d(dir, 19, "-6.5 4.25 9 0 2 0", "--trace");
    d.p.keys("p");
    ASSERT_TRUE(d.wait([](const director_layout& l) { return l.paths.empty(); }));
    d.p.keys("c");
    ASSERT_TRUE(e2e::waitForText(file, "<camera start=\"19\" end=\"20\" eye_x=\"-6.5\""));
    ASSERT_TRUE(e2e::waitForText(dir + "/out.txt", "demo.xml: reloaded at"));
    const image seen = e2e::steady(d.p);
    d.p.keys("Escape");
    EXPECT_EQ(d.p.status(), 0) << d.p.err();

    const e2e::run_result check =
        e2e::runShell("cd '" + dir +
                          "' && '" KESTRINE_CHECK_BIN "' demo.xml </dev/null >check.out "
                          "2>check.err",
                      dir + "/check.out", dir + "/check.err");
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    EXPECT_EQ(check.err.find("warning"), std::string::npos) << check.err;
    // The trace of the reload has one more static camera than the first load's.
    const std::string trace = d.p.out();
    const std::size_t second = trace.find("a carregar", 1);
    ASSERT_NE(second, std::string::npos);
    const auto statics = [](const std::string& t) {
        int n = 0;
        for (std::size_t at = 0; (at = t.find("camara estatica", at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    EXPECT_EQ(statics(trace.substr(second)), statics(trace.substr(0, second)) + 1);

    const std::string cmd = "cd '" + dir +
                            "' && '" KESTRINE_CAPTURE_BIN
                            "' demo.xml --out capture --size 480x270 --fps 60 --frames 1140:1140 "
                            "</dev/null >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const image captured = e2e::readPpm(
        e2e::output("convert '" + dir + "/capture/frame_001140.png' -depth 8 ppm:- 2>/dev/null"));
    ASSERT_EQ(captured.width, 480);
    EXPECT_EQ(e2e::differing(seen, captured, 1), 0);
}
