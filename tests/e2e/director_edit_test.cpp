// Editing in the director's picture on the test display: a handle dragged, a point keyed from
// the view, put in and taken out, and a camera placed where the director stands; checked
// through the scene file's bytes, the layout, the checker, the trace and kestrine-capture.
#include <charconv>
#include <cmath>
#include <functional>
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

glm::vec3 pointOf(const curve& c, int k) {
    return {c.getMatrixVal(k, 0), c.getMatrixVal(k, 1), c.getMatrixVal(k, 2)};
}

// Where a world point shows in the window in the view of layout l.
glm::dvec2 shownIn(const director_layout& l, glm::vec3 world) {
    const glm::dvec4 clip = glm::dmat4(l.projection * l.view) * glm::dvec4(world, 1.0);
    return {(clip.x / clip.w + 1.0) * 240.0, (1.0 - clip.y / clip.w) * 135.0};
}

// A preview of a copy of the demo, paused at a whole second in the director's view from `view`
// ("EX EY EZ LX LY LZ"), 480x270 without the panels, so that window and frame pixels agree.
struct directing {
    directing(const std::string& name, int seconds, const std::string& view,
              const std::string& options = "")
        : dir(e2e::demoCopy("director_edit_" + name)), file(dir + "/demo.xml"),
          original(slurp(file)), layoutFile(dir + "/layout.txt"),
          p(dir, "demo.xml --size 480x270 --no-overlay " + options,
            kQuiet + " KESTRINE_PREVIEW_LAYOUT=" + layoutFile + " KESTRINE_DIRECTOR_VIEW='" + view +
                "'") {
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
    glm::dvec2 shown(glm::vec3 world) const { return shownIn(l, world); }
    // The first of camera 3's points that shows well inside the picture, or -1.
    int inside(const curve& path) const {
        for (int k = 0; k < int(path.pointCount()); ++k) {
            const glm::dvec2 at = shown(pointOf(path, k));
            if (at.x > 80 && at.x < 400 && at.y > 60 && at.y < 210) return k;
        }
        return -1;
    }
    // Presses on camera 3's point k, which the layout then says is held; where it pressed.
    glm::dvec2 press(int k, glm::vec3 point) {
        const glm::dvec2 at = glm::floor(shown(point));
        p.pointer(at.x, at.y, "mousedown 1");
        const std::string said = "camera 3 " + std::to_string(k + 1) + " held";
        EXPECT_TRUE(wait([&](const director_layout& l) { return l.point == said; })) << l.point;
        return at;
    }
    void letGo(int k) {
        p.xdo("mouseup 1");
        const std::string said = "camera 3 " + std::to_string(k + 1) + " still";
        EXPECT_TRUE(wait([&](const director_layout& l) { return l.point == said; })) << l.point;
    }

    const std::string dir, file, original, layoutFile;
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

// The scene's text with camera 3's point k written as p, as the studio writes numbers.
std::string withPoint(std::string text, int k, glm::vec3 p) {
    std::size_t at = text.find("<camera start=\"20\"");
    for (int i = 0; i <= k; ++i)
        at = text.find("<point", at + 1);
    std::string element = "<point";
    for (int i = 0; i < 3; ++i) {
        char number[32];
        element += std::string(" ") + char('X' + i) + "=\"" +
                   std::string(number, std::to_chars(number, number + 32, p[i]).ptr) + "\"";
    }
    return text.replace(at, text.find("/>", at) - at, element + " ");
}

} // namespace

TEST(DirectorEdit, DraggingAHandleMovesItsPointInThePlaneFacingTheViewAndUndoRestoresTheFile) {
    directing d("drag", 22, "0 30 22 0 0 0");
    const curve before = camera3(d.file);
    const int k = d.inside(before);
    ASSERT_GE(k, 0);
    const glm::vec3 start = pointOf(before, k);
    const glm::dvec2 from = d.press(k, start), to = from + glm::dvec2(40, 25);
    EXPECT_EQ(d.l.selectedBar, 3);
    for (int i = 1; i <= 4; ++i)
        d.p.pointer(from.x + (to.x - from.x) * i / 4, from.y + (to.y - from.y) * i / 4);
    d.letGo(k);
    ASSERT_TRUE(e2e::waitFor([&] { return slurp(d.file) != d.original; }));
    const glm::dvec3 expected =
        glm::dvec3(start) + onPlane(d.l, to, start) - onPlane(d.l, from, start);
    const glm::vec3 moved = pointOf(camera3(d.file), k);
    EXPECT_LT(glm::length(glm::dvec3(moved) - expected), 1e-3) << moved.x << " " << moved.y;
    EXPECT_GT(glm::length(moved - start), 1.0f);
    EXPECT_EQ(slurp(d.file), withPoint(d.original, k, moved)); // every other byte as it was
    d.p.keys("ctrl+z");
    EXPECT_TRUE(e2e::waitFor([&] { return slurp(d.file) == d.original; }));
    d.p.keys("Escape");
    EXPECT_EQ(d.p.status(), 0) << d.p.err();
}

// Flown to a place by a key held, the director keys a point there, puts in a point after it
// and takes that one out again; each is one step of the history.
TEST(DirectorEdit, KeyFromViewWritesTheEyeAndAPointPutInIsTakenOutAgain) {
    directing d("key", 22, "0 30 22 0 0 0");
    const curve path = camera3(d.file);
    const int k = d.inside(path);
    ASSERT_GE(k, 0);
    d.press(k, pointOf(path, k));
    d.letGo(k);
    // The properties panel shows the point's element (camera 3's first point is the demo's ninth).
    d.p.keys("Tab");
    const std::string field = "point " + std::to_string(8 + k) + " X ";
    EXPECT_TRUE(e2e::waitFor([&] {
        const e2e::layout shown = e2e::readLayout(d.layoutFile);
        return shown.fields.size() == 3 && shown.fields[0].rfind(field, 0) == 0;
    }));
    d.p.keys("Tab");
    // Flown right while D is held; K comes after its release, so the eye is the last one.
    d.p.xdo("keydown d");
    EXPECT_TRUE(d.wait([](const director_layout& l) { return l.eye.x > 0.5f; }));
    d.p.xdo("keyup d key k");
    ASSERT_TRUE(e2e::waitFor([&] { return slurp(d.file) != d.original; }));
    const std::string keyed = slurp(d.file);
    const glm::vec3 eye = readDirector(d.layoutFile).eye;
    EXPECT_EQ(keyed, withPoint(d.original, k, eye));

    // Put in after it, at the eye, and selected; then taken out.
    d.p.keys("i");
    ASSERT_TRUE(
        e2e::waitFor([&] { return camera3(d.file).pointCount() == path.pointCount() + 1; }));
    EXPECT_EQ(pointOf(camera3(d.file), k + 1), eye);
    const std::string said = "camera 3 " + std::to_string(k + 2) + " still";
    EXPECT_TRUE(d.wait([&](const director_layout& l) { return l.point == said; })) << d.l.point;
    const std::string added = slurp(d.file);
    d.p.keys("Delete");
    EXPECT_TRUE(e2e::waitFor([&] { return slurp(d.file) == keyed; }));
    for (const std::string* back : {&added, &keyed, &d.original}) {
        d.p.keys("ctrl+z");
        EXPECT_TRUE(e2e::waitFor([&] { return slurp(d.file) == *back; }));
    }
    d.p.keys("Escape");
    EXPECT_EQ(d.p.status(), 0) << d.p.err();
}

TEST(DirectorEdit, ANewCameraHereFilmsWhatTheDirectorSees) {
    directing d("camera", 19, "-6.5 4.25 9 0 2 0", "--trace");
    const std::string& dir = d.dir;
    d.p.keys("p");
    ASSERT_TRUE(d.wait([](const director_layout& l) { return l.paths.empty(); }));
    d.p.keys("c");
    ASSERT_TRUE(e2e::waitForText(d.file, "<camera start=\"19\" end=\"20\" eye_x=\"-6.5\""));
    ASSERT_TRUE(e2e::waitForText(dir + "/out.txt", "demo.xml: reloaded at"));
    const image seen = e2e::steady(d.p);
    d.p.keys("Escape");
    EXPECT_EQ(d.p.status(), 0) << d.p.err();

    const std::string check = "cd '" + dir + "' && '" KESTRINE_CHECK_BIN "' demo.xml 2>&1";
    const std::string said = e2e::output(check + "; echo status $?");
    EXPECT_NE(said.find("demo.xml: 0 error(s), 0 warning(s)\n"), std::string::npos) << said;
    EXPECT_NE(said.find("8 camera(s)"), std::string::npos) << said;
    EXPECT_NE(said.find("status 0\n"), std::string::npos) << said;
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

// A middle-drag over the scene, away from every path, circles round the scene's point drawn
// under the pointer, which keeps its place in the picture.
TEST(DirectorEdit, AMiddleDragOrbitsRoundTheScenesPointUnderThePointer) {
    directing d("orbit", 22, "0 12 16 0 1 0");
    d.p.keys("p");
    ASSERT_TRUE(d.wait([](const director_layout& l) { return l.paths.empty(); }));
    const director_layout before = d.l;
    const glm::dvec2 at(300, 170);
    d.p.pointer(at.x, at.y, "mousedown 2");
    ASSERT_TRUE(d.wait([](const director_layout& l) { return l.pivot.has_value(); }));
    const glm::vec3 pivot = *d.l.pivot;
    EXPECT_LT(glm::length(shownIn(before, pivot) - (at + 0.5)), 0.01) << "on the pixel's ray";
    EXPECT_LT(glm::length(pivot - before.eye), glm::length(before.look - before.eye) * 2.0f);
    for (int i = 1; i <= 3; ++i)
        d.p.pointer(at.x + 30 * i, at.y);
    d.p.xdo("mouseup 2");
    ASSERT_TRUE(
        d.wait([&](const director_layout& l) { return !l.pivot && l.view != before.view; }));
    EXPECT_LT(glm::length(shownIn(d.l, pivot) - shownIn(before, pivot)), 0.05) << "held in place";
    EXPECT_NEAR(glm::length(d.l.eye - pivot), glm::length(before.eye - pivot), 1e-3f);
    d.p.keys("Escape");
    EXPECT_EQ(d.p.status(), 0) << d.p.err();
}

// A path keeps the two points its camera needs to move: taking out one more is refused, and
// the problems say why.
TEST(DirectorEdit, DeleteLeavesAPathTwoPoints) {
    directing d("two", 22, "0 30 22 0 0 0");
    // Camera 3 saved with its first two points only; the preview reads it again.
    const std::size_t from = d.original.find("<point", d.original.find("<camera start=\"20\""));
    const std::size_t third = d.original.find("<point", d.original.find("<point", from + 1) + 1);
    std::string two = d.original;
    two.erase(third, two.find("</camera>", third) - third);
    e2e::write(d.file + ".new", two);
    std::rename((d.file + ".new").c_str(), d.file.c_str());
    ASSERT_TRUE(e2e::waitForText(d.dir + "/out.txt", "demo.xml: reloaded at"));
    const curve path = camera3(d.file);
    ASSERT_EQ(path.pointCount(), 2u);
    const int k = d.inside(path);
    ASSERT_GE(k, 0);
    d.press(k, pointOf(path, k));
    d.letGo(k);
    d.p.keys("Delete");
    EXPECT_TRUE(e2e::waitFor(
        [&] { return e2e::readLayout(d.layoutFile).lists("a path needs at least 2 points"); }));
    EXPECT_EQ(slurp(d.file), two);
    d.p.keys("Escape");
    EXPECT_EQ(d.p.status(), 0) << d.p.err();
}
