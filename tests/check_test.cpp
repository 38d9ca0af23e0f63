// The scene checker without a GL context: each error and warning with its file, line and
// wording, the timeline, and the PNG files the capture writes.
#include "authoring/diagnostics.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "authoring/timeline.h"
#include "formats/driver_log.h"
#include "gpu/program_check.h"
#include "tests/png_read.h"
#include "tools/timeline_svg.h"

namespace {

const std::string kData = KESTRINE_TEST_DATA;

// Per test: ctest runs the tests of this file as processes side by side.
std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "kestrine_check_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
}

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The scene file "scene.xml" (in the temporary folder) with this body, checked.
check_result checkBody(const std::string& body, std::string& path) {
    path = tempPath("scene.xml");
    write(path, "<scene>\n" + body + "\n</scene>\n");
    return checkScene(path.c_str(), check_options());
}

// Assets every case may draw with, so that only the case's own problem shows.
std::string usableAssets() {
    return "<shader name=\"flat\" vertex=\"" + kData + "/player/flat.vert\" fragment=\"" + kData +
           "/player/flat.frag\"/>\n<mesh name=\"quad\" filename=\"" + kData +
           "/player/quad.obj\"/>\n";
}
const char* const kCamera = "<camera start=\"0\" end=\"10\" eye_x=\"0\" eye_y=\"0\" eye_z=\"3\" "
                            "up_x=\"0\" up_y=\"1\" up_z=\"0\" look_x=\"0\" look_y=\"0\" "
                            "look_z=\"0\"/>\n";
const char* const kModel =
    "<group><models><model name=\"quad\" shader=\"flat\" texture=\"\"/></models></group>\n";

std::vector<std::string> texts(const check_result& r) {
    std::vector<std::string> t;
    for (const diagnostic& d : r.diagnostics)
        t.push_back(wordDiagnostic(d));
    return t;
}

} // namespace

TEST(Check, ReportsEachProblemWithFileLineAndWording) {
    const std::string bad = tempPath("bad.obj"), quads = tempPath("quads.obj"),
                      notDds = tempPath("not.dds");
    write(bad, "v 0 0 0\nvt 0 0\nf 1 1 1\n");
    write(quads, "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n"
                 "f 1/1/1 2/1/1 3/1/1 4/1/1\n");
    write(notDds, "PNG?");
    struct {
        const char* name;
        std::string body;     // from line 2 of the file
        std::string expected; // one diagnostic, after "<path>:"
    } cases[] = {
        {"texture file missing", "<texture name=\"t\" filename=\"/nonexistent/t.dds\"/>",
         "2: error: texture \"t\": cannot read \"/nonexistent/t.dds\" (No such file or "
         "directory)"},
        {"not a DDS file", "<texture name=\"t\" filename=\"" + notDds + "\"/>",
         "2: error: texture \"t\": \"" + notDds +
             "\" cannot be read as a texture (not a DDS file), so its models are drawn without "
             "one"},
        {"mip chain incomplete",
         "<texture name=\"t\" filename=\"" + kData + "/dds/dxt1_64x64_partial.dds\"/>",
         "2: warning: texture \"t\": \"" + kData +
             "/dds/dxt1_64x64_partial.dds\" has 3 of 7 mip-map levels, down to 16x16; an "
             "incomplete chain samples black under default filtering"},
        {"size WebGL refuses",
         "<texture name=\"t\" filename=\"" + kData + "/dds/dxt1_8x2_full.dds\"/>",
         "2: warning: texture \"t\": \"" + kData +
             "/dds/dxt1_8x2_full.dds\" is 8x2, not a multiple of 4 pixels wide and high; it "
             "will not show in a web browser"},
        {"OBJ face rejected", "<mesh name=\"m\" filename=\"" + bad + "\"/>",
         "2: error: mesh \"m\": \"" + bad +
             "\" line 3: a face is not in the form v/vt/vn v/vt/vn v/vt/vn; the mesh is left "
             "empty"},
        {"quad faces", "<mesh name=\"m\" filename=\"" + quads + "\"/>",
         "2: warning: mesh \"m\": \"" + quads +
             "\" has 1 face(s) with more than three corners; only their first triangle is "
             "drawn"},
        {"mesh file missing", "<mesh name=\"m\" filename=\"/nonexistent/m.obj\"/>",
         "2: error: mesh \"m\": cannot read \"/nonexistent/m.obj\" (No such file or "
         "directory)"},
        {"device as a mesh", "<mesh name=\"m\" filename=\"/dev/zero\"/>",
         "2: error: mesh \"m\": cannot read \"/dev/zero\" (not a regular file)"},
        {"folder as a texture", "<texture name=\"t\" filename=\"/tmp\"/>",
         "2: error: texture \"t\": cannot read \"/tmp\" (not a regular file)"},
        {"vertex file missing",
         "<shader name=\"s\" vertex=\"/nonexistent/v.vert\" fragment=\"x.frag\"/>",
         "2: error: shader \"s\": cannot read vertex file \"/nonexistent/v.vert\" (No such file "
         "or directory), so its models are not drawn"},
        {"fragment file missing",
         "<shader name=\"s\" vertex=\"" + kData +
             "/player/flat.vert\" fragment=\"/nonexistent/f.frag\"/>",
         "2: error: shader \"s\": cannot read fragment file \"/nonexistent/f.frag\" (No such "
         "file or directory), so the program is built from an empty fragment source, does not "
         "link, and its models are not drawn"},
        {"unnamed shader",
         "<shader vertex=\"" + kData + "/player/flat.vert\" fragment=\"" + kData +
             "/player/flat.frag\"/>",
         "2: warning: shader: a program without \"name\" is compiled but never drawn with"},
        {"unused mesh", "<mesh name=\"m\" filename=\"" + kData + "/player/quad.obj\"/>",
         "2: warning: mesh \"m\": never used by a model"},
        {"duplicate name",
         "<mesh name=\"m\" filename=\"" + kData +
             "/player/quad.obj\"/>\n<mesh name=\"m\" "
             "filename=\"" +
             kData + "/player/quad.obj\"/>",
         "3: warning: mesh \"m\": the name is taken at line 2; this one is loaded and never "
         "drawn"},
        {"period of 0 on a curve",
         "<group>\n<translate time=\"0\"><p X=\"1\" Y=\"0\" Z=\"0\"/>"
         "</translate></group>",
         "3: warning: translate: a period (\"time\") of 0; the translation never moves along "
         "its curve"},
        {"period of 0 on a rotation",
         "<group>\n<rotate time=\"0\" angle=\"1\" axisX=\"0\" axisY=\"1\" axisZ=\"0\"/></group>",
         "3: warning: rotate: a period (\"time\") of 0; the rotation never turns"},
        {"zero axis",
         "<group>\n<group>\n<rotate angle=\"1\" axisX=\"0\" axisY=\"0\" "
         "axisZ=\"0\"/></group></group>",
         "4: warning: rotate: the axis is (0, 0, 0); the rotation is left out"},
        {"terrain in a root group", "<group><models>\n<terrain file=\"t.obj\"/></models></group>",
         "3: warning: models: element \"terrain\" is not read here; the player ignores it (it "
         "reads terrain and procedural_m in nested groups only)"},
        {"moving camera, one point",
         "<camera start=\"0\" end=\"5\" look_x=\"0\" look_y=\"0\" look_z=\"0\">\n<p X=\"1\" "
         "Y=\"0\" Z=\"0\"/></camera>",
         "2: warning: camera: a moving camera with 1 path point(s) stands still; it needs at "
         "least two"},
        {"moving camera, start equals end",
         "<camera start=\"4\" end=\"4\"><p X=\"1\" Y=\"0\" Z=\"0\"/><p X=\"0\" Y=\"1\" "
         "Z=\"0\"/></camera>",
         "2: warning: camera: a moving camera whose \"start\" equals its \"end\" films at every "
         "time and stays at the first point of its path"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path;
        const check_result r = checkBody(c.body, path);
        // An asset that a case declares is also unused; that has a case of its own.
        std::vector<std::string> got;
        for (const std::string& t : texts(r))
            if (t.find("never used by a model") == std::string::npos ||
                c.expected.find("never used") != std::string::npos)
                got.push_back(t);
        ASSERT_EQ(got.size(), 1u) << ::testing::PrintToString(got);
        EXPECT_EQ(got[0], path + ":" + c.expected);
        EXPECT_EQ(r.errors, c.expected.find(": error: ") != std::string::npos ? 1 : 0);
    }
}

namespace {

// A DXT1 file of width x height with its whole mip chain, every block zero.
std::string dxt1Chain(std::uint32_t width, std::uint32_t height) {
    std::string h(128, '\0');
    const auto put = [&h](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            h[at + std::size_t(i)] = char((v >> (8 * i)) & 0xff);
    };
    h.replace(0, 4, "DDS ");
    put(4, 124);
    put(12, height);
    put(16, width);
    put(76, 32);
    put(80, 4); // the four-character code is set
    h.replace(84, 4, "DXT1");
    std::uint32_t levels = 0;
    std::string data;
    for (std::uint32_t w = width, hgt = height;;
         w = std::max(1u, w / 2), hgt = std::max(1u, hgt / 2)) {
        ++levels;
        data.append(std::size_t((w + 3) / 4) * ((hgt + 3) / 4) * 8, '\0');
        if (w == 1 && hgt == 1) break;
    }
    put(28, levels);
    return h + data;
}

} // namespace

TEST(Check, WebRefusesEveryMipLevelWebGLRefuses) {
    const std::string twelve = tempPath("12x12.dds");
    write(twelve, dxt1Chain(12, 12));
    const struct {
        std::string file;
        std::string refused; // "" when WebGL takes every level
    } cases[] = {
        {kData + "/dds/dxt1_64x64_full.dds", ""},
        {twelve, "1 (6x6), 2 (3x3)"},
        {kData + "/dds/dxt1_8x2_full.dds", "0 (8x2)"},
        {kData + "/dds/dxt1_4x4_full.dds", ""},
    };
    check_options web;
    web.web = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = tempPath("scene.xml");
        write(path, "<scene>\n<texture name=\"t\" filename=\"" + c.file + "\"/>\n</scene>\n");
        const check_result r = checkScene(path.c_str(), web);
        std::vector<std::string> got;
        for (const std::string& t : texts(r))
            if (t.find("never used") == std::string::npos) got.push_back(t);
        if (c.refused.empty()) {
            EXPECT_EQ(got, std::vector<std::string>{});
            continue;
        }
        EXPECT_EQ(got, std::vector<std::string>{
                           path + ":2: error: texture \"t\": \"" + c.file +
                           "\" has mip-map levels WebGL refuses for S3TC: " + c.refused +
                           "; a web browser takes a top level a multiple of 4 pixels wide and "
                           "high, and lower ones 0, 1, 2 or a multiple of 4, and draws this one "
                           "as texture 0"});
        // Without --web, only the top level is looked at, and only warned about.
        EXPECT_EQ(checkScene(path.c_str(), check_options()).errors, 0);
    }
}

TEST(Check, DriverLogsAreReadInEachDriversForm) {
    const struct {
        const char* log;
        std::vector<std::string> errors; // "line: words" of each error
    } cases[] = {
        {"0:5(12): error: initializer of type int cannot be assigned to variable of type float\n"
         "0:7(3): warning: unused variable",
         {"5: initializer of type int cannot be assigned to variable of type float"}},
        {"ERROR: 0:9: 'f' : syntax error\nWARNING: 0:2: extension not supported",
         {"9: 'f' : syntax error"}},
        {"0(14) : error C1008: undefined variable \"x\"", {"14: undefined variable \"x\""}},
        {"0:3: error: no column", {"3: no column"}},
        {"error: no main()", {"-1: error: no main()"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        std::vector<std::string> errors;
        for (const driver_log_line& l : parseDriverLog(c.log))
            if (l.error) errors.push_back(std::to_string(l.line) + ": " + l.words);
        EXPECT_EQ(errors, c.errors);
    }
}

// The player reads camera times as unsigned numbers: "-1" is 4294967295 s.
TEST(Check, NegativeCameraTimesAreWarnedAbout) {
    std::string path;
    const check_result r = checkBody(
        usableAssets() + kCamera + kModel +
            "<camera start=\"-1\" end=\"5\" eye_x=\"0\" eye_y=\"0\" eye_z=\"3\" up_x=\"0\" "
            "up_y=\"1\" up_z=\"0\" look_x=\"0\" look_y=\"0\" look_z=\"0\"/>",
        path);
    const std::vector<std::string> want = {
        path + ":6: warning: camera: attribute \"start\" is \"-1\": the player reads no negative "
               "number there and uses 4294967295",
        path + ":6: warning: camera: \"end\" is before \"start\"; the camera never films"};
    EXPECT_EQ(texts(r), want);
}

TEST(Check, LoadErrorsAreThePlayersOwn) {
    std::string path;
    const check_result r = checkBody("<group>\n<translate X=\"1\" Z=\"2\"/>\n</group>", path);
    ASSERT_EQ(r.errors, 1);
    EXPECT_EQ(r.diagnostics[0].at.line, 3);
    EXPECT_EQ(wordDiagnostic(r.diagnostics[0]),
              path + ":3: error: translate: attribute \"Y\" is missing");
    EXPECT_EQ(r.summary.back(), "the player would not play this scene");

    // Assets come before the groups, so a group error still leaves them checked.
    const check_result both = checkBody(
        "<texture name=\"t\" filename=\"/nonexistent.dds\"/>\n<group><scale X=\"1\"/></group>",
        path);
    EXPECT_EQ(both.errors, 2) << ::testing::PrintToString(texts(both));
}

TEST(Check, NamesWithoutAnAssetGetACloseSuggestion) {
    std::string path;
    const check_result r =
        checkBody(usableAssets() + kCamera +
                      "<group><models>\n<model name=\"qaud\" shader=\"flat\" texture=\"\"/>\n"
                      "<model name=\"quad\" shader=\"Flat\" texture=\"wood\"/>\n</models></group>",
                  path);
    const std::vector<std::string> want = {
        path + ":6: warning: model: no mesh named \"qaud\" (did you mean \"quad\"?); the model "
               "is not drawn",
        path + ":7: warning: model: no shader named \"Flat\" (did you mean \"flat\"?); the model "
               "is not drawn",
        path + ":7: warning: model: no texture named \"wood\"; the model is not drawn",
    };
    EXPECT_EQ(texts(r), want);
}

TEST(Check, CameraGapsEndTheDemoAndHideLaterModels) {
    std::string path;
    const check_result r = checkBody(
        usableAssets() +
            "<camera start=\"0\" end=\"8\" eye_x=\"0\" eye_y=\"0\" eye_z=\"3\" up_x=\"0\" "
            "up_y=\"1\" up_z=\"0\" look_x=\"0\" look_y=\"0\" look_z=\"0\"/>\n"
            "<camera start=\"9\" end=\"12\" eye_x=\"0\" eye_y=\"0\" eye_z=\"3\" up_x=\"0\" "
            "up_y=\"1\" up_z=\"0\" look_x=\"0\" look_y=\"0\" look_z=\"0\"/>\n"
            "<group><models>\n"
            "<model name=\"quad\" shader=\"flat\" texture=\"\" start=\"10\" end=\"11\"/>\n"
            "<model name=\"quad\" shader=\"flat\" texture=\"\" start=\"3\" end=\"2\"/>\n"
            "<model name=\"quad\" shader=\"flat\" texture=\"\" start=\"7\" end=\"20\"/>\n"
            "</models></group>",
        path);
    const std::vector<std::string> want = {
        path + ":5: warning: camera: no camera films between 8 s and 9 s; the demo ends there, "
               "just after 8 s",
        path + ":7: warning: model: visible from 10 s to 11 s, but no camera films then (the "
               "demo ends at 8 s)",
        path + ":8: warning: model: \"start\" is after \"end\"; the model is never visible",
    };
    EXPECT_EQ(texts(r), want);
    EXPECT_EQ(r.summary[1], "timeline: 8 s (from 0 s to 8 s), 2 camera(s), 0 camera cut(s)");

    const check_result late = checkBody(
        usableAssets() +
            "<camera start=\"2\" end=\"5\" eye_x=\"0\" eye_y=\"0\" eye_z=\"3\" up_x=\"0\" "
            "up_y=\"1\" up_z=\"0\" look_x=\"0\" look_y=\"0\" look_z=\"0\"/>\n" +
            kModel,
        path);
    ASSERT_EQ(late.warnings, 1);
    EXPECT_EQ(wordDiagnostic(late.diagnostics[0]),
              path + ":4: warning: camera: no camera films from 0 s to "
                     "2 s; the demo ends at its first frame");
}

TEST(Check, SummarySaysWhatTheSceneHolds) {
    std::string path;
    const check_result r = checkBody(usableAssets() + kCamera + kModel + kModel, path);
    EXPECT_EQ(r.errors + r.warnings, 0) << ::testing::PrintToString(texts(r));
    const std::vector<std::string> want = {
        path + ": 0 error(s), 0 warning(s)",
        "timeline: 10 s (from 0 s to 10 s), 1 camera(s), 0 camera cut(s)",
        "assets: 0 texture(s), 1 shader(s), 1 mesh(es); 2 group(s) (2 root), 2 model(s)",
        "shaders: not compiled (no OpenGL context from an X display or EGL)",
    };
    EXPECT_EQ(r.summary, want);
}

TEST(Check, EditDistanceCountsSingleEdits) {
    const struct {
        const char* a;
        const char* b;
        std::size_t d;
    } cases[] = {
        {"", "", 0},         {"quad", "quad", 0}, {"qaud", "quad", 2},     {"quad", "quads", 1},
        {"Flat", "flat", 1}, {"", "abc", 3},      {"kitten", "sitting", 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(editDistance(c.a, c.b), c.d);
        EXPECT_EQ(editDistance(c.b, c.a), c.d);
    }
}

TEST(Timeline, FollowsTheWindowsAsThePlayerDoes) {
    auto still = [](unsigned start, unsigned end) {
        return camera(glm::vec3(0, 0, 3), glm::vec3(0.0f), glm::vec3(0, 1, 0), start, end);
    };
    // Touching windows leave no gap; the later camera wins the shared second.
    timeline tl = cameraTimeline({still(0, 8), still(8, 20), still(15, 30)});
    EXPECT_TRUE(tl.filmed);
    EXPECT_FALSE(tl.endless);
    EXPECT_EQ(tl.end, 30.0);
    EXPECT_TRUE(tl.gaps.empty());
    EXPECT_EQ(tl.cuts, (std::vector<double>{8.0, 15.0}));
    EXPECT_TRUE(tl.plays(30.0));
    EXPECT_FALSE(tl.plays(30.001));

    tl = cameraTimeline({still(0, 5), still(7, 9), still(12, 14)});
    ASSERT_EQ(tl.gaps.size(), 2u);
    EXPECT_EQ(tl.end, 5.0);
    EXPECT_EQ(tl.gaps[1].from, 9.0);
    EXPECT_EQ(tl.gaps[1].to, 12.0);

    // A window of equal ends films always; one ending before it starts never does.
    tl = cameraTimeline({still(4, 4), still(10, 2)});
    EXPECT_TRUE(tl.endless);
    EXPECT_TRUE(tl.plays(1e9));

    tl = cameraTimeline({still(10, 2)});
    EXPECT_FALSE(tl.filmed);
    EXPECT_FALSE(tl.plays(0.0));

    // The longest window a file can give is looked at window by window, not second by second.
    tl = cameraTimeline({still(0, 4294967295u), still(5, 6)});
    EXPECT_EQ(tl.end, 4294967295.0);
    EXPECT_EQ(tl.cuts, (std::vector<double>{5.0, 6.0}));
    // So is its picture: a handful of ticks on the axis.
    const char text[] = R"(<scene><camera start="0" end="4294967295" eye_x="0" eye_y="0" eye_z="3"
        up_x="0" up_y="1" up_z="0" look_x="0" look_y="0" look_z="0"/></scene>)";
    load_options options;
    options.load_assets = false;
    options.trace = nullptr;
    options.text = text;
    options.text_size = sizeof text - 1;
    const scene s("long.xml", options);
    EXPECT_LT(timelineSvg(s, "long.xml", -1.0).size(), 4000u);
}

// After a gap the demo has ended, but what the file holds there is drawn on the axis, up to a
// limit.
TEST(Timeline, TheAxisHoldsEveryWindowAfterAGapAndLongOnesRunOff) {
    auto svgOf = [](const std::string& body) {
        const std::string path = tempPath("timeline.xml");
        write(path, "<scene>\n" + body + "</scene>\n");
        load_options quiet;
        quiet.load_assets = false;
        quiet.trace = nullptr;
        quiet.print_diagnostics = false;
        const scene s(path.c_str(), quiet);
        return timelineSvg(s, "t", -1.0);
    };
    const std::string still = " eye_x=\"0\" eye_y=\"0\" eye_z=\"3\" up_x=\"0\" up_y=\"1\" "
                              "up_z=\"0\" look_x=\"0\" look_y=\"0\" look_z=\"0\"/>\n";
    const std::string gap =
        "<camera start=\"0\" end=\"5\"" + still + "<camera start=\"7\" end=\"10\"" + still +
        "<group><models><model name=\"m\" shader=\"s\" texture=\"\" start=\"6\" "
        "end=\"12\"/></models></group>\n";
    const auto axisEnd = [](const std::string& svg) {
        const std::string before = "class=\"axis\" data-start=\"0\" data-end=\"";
        const std::size_t at = svg.find(before);
        return at == std::string::npos ? -1.0 : std::stod(svg.substr(at + before.size()));
    };
    const std::string svg = svgOf(gap);
    EXPECT_EQ(axisEnd(svg), 12.0);
    const std::regex window(
        "class=\"lane [a-z]+\" data-start=\"([-0-9.e+]+)\" data-end=\"([-0-9.e+]+)\"");
    int lanes = 0;
    for (std::sregex_iterator m(svg.begin(), svg.end(), window), end; m != end; ++m, ++lanes) {
        SCOPED_TRACE(m->str());
        for (int i : {1, 2}) {
            EXPECT_GE(std::stod((*m)[i]), 0.0);
            EXPECT_LE(std::stod((*m)[i]), axisEnd(svg));
        }
    }
    EXPECT_EQ(lanes, 3);
    EXPECT_NE(svg.find("class=\"after-end\" data-start=\"5\""), std::string::npos);
    EXPECT_EQ(svg.find("runs-off"), std::string::npos);

    // "-1" is read as 4294967295: at most ten times the demo's end, and an arrow.
    const std::string endless = svgOf(gap + "<camera start=\"8\" end=\"-1\"" + still);
    EXPECT_EQ(axisEnd(endless), 50.0);
    EXPECT_NE(endless.find("class=\"runs-off\""), std::string::npos);
}

// A label names a camera or a group for the tools, as the XML library reads it.
TEST(Timeline, LabelsNameCamerasAndGroups) {
    const char text[] = R"(<scene><camera label="wide &amp; low" start="0" end="4" eye_x="0"
        eye_y="0" eye_z="3" up_x="0" up_y="1" up_z="0" look_x="0" look_y="0" look_z="0"/>
        <group label="planet"><models><model name="m" shader="s" texture=""/></models>
        <group><models><model name="n" shader="s" texture=""/></models></group></group></scene>)";
    load_options options = load_options::silent();
    options.text = text;
    options.text_size = sizeof text - 1;
    const scene s("labels.xml", options);
    const scene_timeline model = sceneTimeline(s, -1.0);
    ASSERT_EQ(model.model_windows.size(), 2u);
    EXPECT_EQ(model.camera_windows.at(0).label, "wide & low");
    EXPECT_EQ(model.model_windows[0].group_label, "planet");
    EXPECT_EQ(model.model_windows[1].group_label, "");
    const std::string svg = timelineSvg(s, "t", -1.0);
    for (const char* shown : {">camera 1 &quot;wide &amp; low&quot; (static)<",
                              ">m (group 1 &quot;planet&quot;)<", ">n (group 1.1)<"})
        EXPECT_NE(svg.find(shown), std::string::npos) << shown;
    EXPECT_TRUE(s.reading_notes.empty()); // nothing for the checker to warn about
}

TEST(Png, WritesAndReadsBackAndRejectsOtherFiles) {
    rgb_image image;
    image.width = 3;
    image.height = 2;
    for (int i = 0; i < 18; ++i)
        image.pixels.push_back(static_cast<unsigned char>(i * 14));
    const std::string path = tempPath("image.png");
    std::string why;
    ASSERT_TRUE(writePng(path, image, why)) << why;
    EXPECT_FALSE(std::ifstream(path + ".part").good()); // renamed into place
    rgb_image back;
    ASSERT_TRUE(readPng(path, back, why)) << why;
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.height, 2);
    EXPECT_EQ(back.pixels, image.pixels);

    // Cut short, not a PNG at all, missing, or an unwritable place: each a message, no crash.
    std::ifstream in(path, std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    write(tempPath("cut.png"), whole.substr(0, whole.size() / 2));
    write(tempPath("text.png"), "not a picture");
    for (const std::string& name :
         {tempPath("cut.png"), tempPath("text.png"), tempPath("missing.png")}) {
        SCOPED_TRACE(name);
        why.clear();
        EXPECT_FALSE(readPng(name, back, why));
        EXPECT_FALSE(why.empty());
    }
    why.clear();
    EXPECT_FALSE(writePng("/nonexistent/dir/x.png", image, why));
    EXPECT_FALSE(why.empty());
}

// Misspelt names and numbers the player reads only in part, from the table the schema tests
// read too: each gives its warning on its own line, and nothing else is said of that line.
TEST(Check, MisspeltNamesAndHalfReadNumbersAreWarnedAbout) {
    std::ifstream table(kData + "/format/cases.tsv");
    std::string row;
    std::getline(table, row); // the header
    int cases = 0;
    while (std::getline(table, row)) {
        const std::size_t tab = row.find('\t');
        ASSERT_NE(tab, std::string::npos) << row;
        SCOPED_TRACE(row.substr(0, tab));
        std::string path;
        const check_result r =
            checkBody(row.substr(0, tab) + "\n" + usableAssets() + kCamera + kModel, path);
        std::vector<std::string> onLine;
        for (const diagnostic& d : r.diagnostics)
            if (d.at.line == 2) onLine.push_back(wordDiagnostic(d));
        EXPECT_EQ(onLine, std::vector<std::string>{path + ":2: warning: " + row.substr(tab + 1)});
        ++cases;
    }
    EXPECT_GE(cases, 10);
    // Editors' schema attributes are welcome anywhere.
    std::string path;
    const check_result r = checkBody(std::string(kCamera) + usableAssets() + kModel, path);
    std::string withSchema = "<scene xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                             "xsi:noNamespaceSchemaLocation=\"scene.xsd\">\n";
    write(path, withSchema + kCamera + usableAssets() + kModel + "</scene>\n");
    EXPECT_EQ(texts(checkScene(path.c_str(), check_options())), texts(r));
}

// The example scenes are what authors copy: each must check without a warning. The README's
// borrows the bundled demo's assets and is checked among them, where it has no error either;
// the scene guide's names files that are not there, which are errors of their own.
TEST(Check, TheExampleScenesHaveNoWarning) {
    const std::string root = kData + "/../../";
    const struct {
        const char* page;
        const char* folder; // the working directory its asset paths are read from
        int errors;         // -1: not counted
    } pages[] = {{"README.md", "demo", 0}, {"docs/scenes.md", "demo", -1}};
    const std::filesystem::path was = std::filesystem::current_path();
    for (const auto& page : pages) {
        std::ifstream in(root + page.page);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        const std::size_t from = text.find("```xml\n");
        ASSERT_NE(from, std::string::npos) << page.page << " has no XML example";
        const std::string path = tempPath("example.xml");
        write(path, text.substr(from + 7, text.find("```", from + 7) - from - 7));
        std::filesystem::current_path(root + page.folder);
        const check_result r = checkScene(path.c_str(), check_options());
        std::filesystem::current_path(was);
        const std::string said = page.page + (": " + ::testing::PrintToString(texts(r)));
        EXPECT_EQ(r.warnings, 0) << said;
        if (page.errors >= 0) {
            EXPECT_EQ(r.errors, page.errors) << said;
        }
    }
}
