// The director's camera, the paths the studio draws and the bookmarks, without a window.
#include <cmath>
#include <string>

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include "scene/scene.h"
#include "studio/director.h"
#include "studio/handles.h"

namespace {

float gap(const glm::mat4& a, const glm::mat4& b) {
    float most = 0.0f;
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            most = std::max(most, std::abs(a[c][r] - b[c][r]));
    return most;
}

const glm::vec3 kUp(0.0f, 1.0f, 0.0f);

} // namespace

// Taking over a camera's view shows what it showed, and the look point is what the drawing
// passes as the viewer's position.
TEST(Director, TakesOverAViewExactly) {
    const struct {
        glm::vec3 eye, look;
    } cases[] = {{{12, 7, 24}, {0, 2.2f, 0}},
                 {{0, 0, 1}, {0, 0, 0}},
                 {{-3, 1, -3}, {5, -2, 4}},
                 {{0, 0, 0}, {0, 0, 10}}};
    for (const auto& c : cases) {
        director d;
        d.lookFrom(c.eye, c.look);
        EXPECT_LT(gap(d.view().viewMatrix(), glm::lookAt(c.eye, c.look, kUp)), 1e-5f);
        EXPECT_LT(glm::length(d.view().GetPosition() - c.look), 1e-4f);
    }
}

TEST(Director, NeverRollsNorTurnsPastStraightUpOrDown) {
    director d;
    d.lookFrom({0, 0, 0}, {0, 10, 0.0001f}); // nearly straight up: held at 89 degrees
    EXPECT_NEAR(d.pitch, director::kMaxPitch, 1e-6f);
    for (float dy : {-5000.0f, 300.0f, 5000.0f, -1.0f}) {
        d.turn(37.0f, dy);
        EXPECT_LE(std::abs(d.pitch), director::kMaxPitch + 1e-6f);
        const glm::mat4 v = d.view().viewMatrix();
        EXPECT_NEAR(v[1][0], 0.0f, 1e-6f); // the view's right axis stays level: no roll
        EXPECT_TRUE(std::isfinite(v[3][2]));
    }
    d.lookFrom({1, 1, 1}, {1, 1, 1}); // no direction: the last one is kept
    EXPECT_LE(std::abs(d.pitch), director::kMaxPitch);
}

TEST(Director, FliesAtItsSpeedAndOrbitsAtItsDistance) {
    director d;
    d.lookFrom({0, 0, 5}, {0, 0, 0});
    d.fly({0, 0, 1}, 0.5);
    EXPECT_LT(glm::length(d.eye - glm::vec3(0, 0, 2.5f)), 1e-5f);
    d.fly({1, 1, 0}, 0.2); // right is +x looking down -z
    EXPECT_LT(glm::length(d.eye - glm::vec3(1, 1, 2.5f)), 1e-5f);
    d.scaleSpeed(2.0f);
    EXPECT_FLOAT_EQ(d.speed, 5.0f * 1.5625f);
    // Round a centre off to the side: it keeps its distance and its place in the view.
    const glm::vec3 centre(2, 0, -1);
    const float radius = glm::length(d.eye - centre);
    const glm::vec4 seen = d.view().viewMatrix() * glm::vec4(centre, 1.0f);
    d.orbit(centre, 120.0f, -40.0f);
    EXPECT_NEAR(glm::length(d.eye - centre), radius, 1e-4f);
    EXPECT_LT(glm::length(d.view().viewMatrix() * glm::vec4(centre, 1.0f) - seen), 1e-4f);
    EXPECT_GT(glm::length(d.eye - glm::vec3(1, 1, 2.5f)), 1.0f);
}

// Camera paths from the scene's own evaluation, with their points; a group's curve under the
// matrix of the transforms before it.
TEST(ScenePaths, AreTheCurvesTheSceneMovesAlong) {
    const char text[] = R"(<scene>
<camera start="0" end="10" eye_x="1" eye_y="2" eye_z="3" look_x="0" look_y="0" look_z="0" up_x="0" up_y="1" up_z="0"/>
<camera start="0" end="10" look_x="0" look_y="1" look_z="0"><point X="4" Y="0" Z="0"/><point X="0" Y="0" Z="4"/><point X="-4" Y="0" Z="0"/></camera>
<camera start="10" end="20"><point X="1" Y="2" Z="3"/><point X="3" Y="2" Z="1"/></camera>
<group><translate X="0" Y="5" Z="0"/><translate time="8"><point X="1" Y="0" Z="0"/><point X="0" Y="0" Z="1"/><point X="-1" Y="0" Z="0"/></translate></group>
</scene>)";
    load_options options = load_options::silent();
    options.text = text;
    options.text_size = sizeof text - 1;
    scene sc("paths.xml", options);
    ASSERT_TRUE(sc.loaded());
    const std::vector<drawn_path> paths = scenePaths(sc, 5.0, 2);
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(paths[0].number, 2);
    EXPECT_FALSE(paths[0].selected);
    ASSERT_TRUE(paths[0].look);
    EXPECT_EQ(*paths[0].look, glm::vec3(0, 1, 0));
    EXPECT_EQ(paths[0].curve.size(), 3u * kPathSamples);
    EXPECT_EQ(paths[0].handles[1], glm::vec3(0, 0, 4));
    // The eye at 5 s of its 0-10 s window: half way round, where the camera stands then.
    curve c = sc.cameras[1].path;
    float p[3];
    c.getGlobalCatmullRomPoint(0.5f, p);
    EXPECT_LT(glm::length(paths[0].eye - glm::vec3(p[0], p[1], p[2])), 1e-6f);
    EXPECT_EQ(paths[0].curve[kPathSamples], glm::vec3(0, 0, 4)); // through its points
    EXPECT_EQ(paths[1].number, 3);
    EXPECT_TRUE(paths[1].selected);
    EXPECT_FALSE(paths[1].look);
    EXPECT_EQ(paths[2].kind, drawn_path::group_path);
    EXPECT_EQ(paths[2].handles[0], glm::vec3(1, 5, 0));
    EXPECT_EQ(sceneCentre(sc), glm::vec3(0, 1, 2));
    // Each point's element, and the world of a group's curve, for editing them.
    ASSERT_EQ(paths[2].places.size(), 3u);
    const element_place& second = sc.source.elements.at(std::size_t(paths[2].places[1]));
    EXPECT_EQ(std::string(text).substr(second.tag.begin, second.tag.size()),
              "<point X=\"0\" Y=\"0\" Z=\"1\"/>");
    EXPECT_EQ(glm::vec3(paths[2].model * glm::vec4(0, 0, 1, 1)), paths[2].handles[1]);

    // The frame before's samples are taken again only for a path whose points stay.
    std::vector<drawn_path> before = paths;
    before[0].curve[0] = before[2].curve[0] = glm::vec3(7);
    sc.cameras[1].path.setControlPoint(0, 1, 1.0f);
    const std::vector<drawn_path> again = scenePaths(sc, 5.0, 2, &before);
    EXPECT_EQ(again[2].curve[0], glm::vec3(7));
    EXPECT_EQ(again[0].curve[0], glm::vec3(4, 1, 0));
}

// The pointer on the picture: the handle under it, a point dragged in the plane facing the
// view, which stays under the pointer, or along the axis nearest the drag.
TEST(Handles, PickAndDragAsThePointerShows) {
    picture_map map;
    map.frame = map.shown = glm::vec2(400, 200);
    map.origin = glm::vec2(10, 20);
    const glm::mat4 projection = glm::perspective(glm::radians(45.0f), 2.0f, 0.1f, 100.0f);
    const glm::vec3 point(1, 0.5f, -2);
    const struct {
        glm::vec3 eye;
        glm::vec2 drag; // pixels
        int axis;       // the axis moved along, or -1 for the plane facing the view
    } cases[] = {
        {{0, 0, 10}, {30, 0}, 0},   {{0, 0, 10}, {3, -40}, 1},  {{10, 0, 0}, {-30, 2}, 2},
        {{6, 9, 8}, {-25, 10}, -1}, {{0, 0, 10}, {12, 17}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.axis);
        map.viewProjection = projection * glm::lookAt(c.eye, point, kUp);
        const glm::vec2 from = *map.project(point), to = from + c.drag;
        EXPECT_EQ(map.inFrame(from + map.origin), from);
        const glm::vec3 ahead = glm::normalize(point - c.eye);
        const glm::vec3 moved = c.axis < 0 ? dragInPlane(map, point, ahead, from, to)
                                           : dragAlongAxis(map, point, from, to);
        if (c.axis >= 0) {
            glm::vec3 off = moved - point;
            off[c.axis] = 0.0f;
            EXPECT_LT(glm::length(off), 1e-5f);
        } else {
            EXPECT_NEAR(glm::dot(moved - point, ahead), 0.0f, 1e-4f);
        }
        // Dragged along its axis's picture or in the plane, it stays under the pointer.
        if (c.axis < 0 || std::abs(c.drag[c.axis == 1 ? 0 : 1]) < 3.0f)
            EXPECT_LT(glm::length(*map.project(moved) - to), c.axis < 0 ? 0.05f : 3.0f);
    }
    // The nearest handle within the radius, and none behind the eye or beyond it.
    map.viewProjection = projection * glm::lookAt(glm::vec3(0, 0, 10), point, kUp);
    std::vector<drawn_path> paths(2);
    paths[0].handles = {point, point + glm::vec3(0, 0, 20)};
    paths[1].handles = {point + glm::vec3(0.05f, 0, 0), point + glm::vec3(3, 0, 0)};
    const glm::vec2 at = *map.project(point + glm::vec3(0.04f, 0, 0));
    EXPECT_EQ(nearestHandle(paths, map, at, 8.0f).path, 1);
    EXPECT_EQ(nearestHandle(paths, map, at, 8.0f).point, 0);
    EXPECT_FALSE(nearestHandle(paths, map, at + glm::vec2(0, 30), 8.0f).found());
    EXPECT_FALSE(pointNear(paths, map, at + glm::vec2(0, 30), 8.0f));
    // An orbit goes round the handle under the pointer, else round the curve there.
    EXPECT_EQ(*pointNear(paths, map, at, 8.0f), paths[1].handles[0]);
    paths[0].curve = {point + glm::vec3(0, 1, 0)};
    EXPECT_EQ(*pointNear(paths, map, *map.project(paths[0].curve[0]), 8.0f), paths[0].curve[0]);
}

TEST(Bookmarks, BesideTheSceneOrInTheUsersConfiguration) {
    const struct {
        const char* scene;
        bool writable;
        const char *xdg, *home, *file;
    } cases[] = {
        {"/demo/demo.xml", true, nullptr, "/root", "/demo/demo.views"},
        {"/a.b/scene", true, nullptr, nullptr, "/a.b/scene.views"},
        {"/usr/share/kestrine/demo/demo.xml", false, "/x/cfg", "/root",
         "/x/cfg/kestrine/views/%usr%share%kestrine%demo%demo.xml.views"},
        {"/ro/d.xml", false, nullptr, "/home/u", "/home/u/.config/kestrine/views/%ro%d.xml.views"},
        {"/ro/d.xml", false, "relative", "/home/u", "/home/u/.config/kestrine/views/%ro%d.xml.views"},
        {"/ro/d.xml", false, nullptr, nullptr, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bookmarkFile(c.scene, c.writable, c.xdg, c.home), c.file) << c.scene;
}

TEST(Bookmarks, ReadBackAsWrittenPassingOverWhatDoesNotRead) {
    const std::vector<bookmark> marks = {{1, {0.1f, 2, -3e-7f}, {4, 5, 6}},
                                         {9, {-1, 0, 1}, {1e6f, 0, 0}}};
    const std::vector<bookmark> back = readBookmarks(writeBookmarks(marks));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].eye, marks[0].eye); // exactly: a view comes back where it was kept
    EXPECT_EQ(back[1].look, marks[1].look);
    const std::vector<bookmark> read = readBookmarks("3 1 2 3 4 5 6\n"
                                                     "12 1 2 3 4 5 6\n"
                                                     "4 1 2 3 nan 5 6\n"
                                                     "5 1 2 3 4 5\n"
                                                     "6 1 2 3 4 5 6 7\n"
                                                     "garbage\n"
                                                     "3 6 5 4 3 2 1\n");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].eye, glm::vec3(6, 5, 4)); // the last line for a digit wins
}
