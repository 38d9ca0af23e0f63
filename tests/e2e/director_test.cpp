// The director's camera in the real preview on the test display: its picture and layout, the
// paths over it, and the bookmarks across a restart.
#include <sys/stat.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <glm/glm.hpp>
#include <gtest/gtest.h>

#include "director_window.h"
#include "scene/scene.h"

namespace {

using e2e::image;
using e2e::output;
using e2e::preview;
using e2e::slurp;

const char* const kQuiet = "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null";

// The bundled demo's files linked into a fresh folder, where the preview's files go.
std::string demoDir(const std::string& name) {
    const std::string dir = e2e::workDir("director_" + name);
    for (const char* item : {"demo.xml", "shaders", "textures", "meshes"})
        std::system(("ln -s '" KESTRINE_DEMO_DIR "/" + std::string(item) + "' '" + dir + "/" +
                     item + "'")
                        .c_str());
    std::system(("rm -rf '" + dir + "/Music' && ln -s '" KESTRINE_DEMO_DIR "/Music' '" + dir +
                 "/Music'")
                    .c_str());
    return dir;
}

using e2e::director_layout;
using e2e::readDirector;
using e2e::steady;

} // namespace

TEST(Director, ItsViewDrawsCamera3sPathAndSwitchingBackGivesTheCapturedFrame) {
    const std::string dir = demoDir("view");
    const std::string layoutFile = dir + "/layout.txt";
    // From high above the temple, looking down on it.
    preview p(dir, "demo.xml --at 20 --size 480x270 --no-overlay",
              std::string(kQuiet) + " KESTRINE_PREVIEW_LAYOUT=" + layoutFile +
                  " KESTRINE_DIRECTOR_VIEW='0 30 22 0 0 0'");
    ASSERT_TRUE(p.find("demo.xml"));
    // Paused first, so that every step is exact: 0, 20 then 22 s.
    const char* const steps[][2] = {{"space", "| paused"},
                                    {"Home", "| 0.00 s"},
                                    {"shift+Right shift+Right", "| 20.00 s"},
                                    {"Right Right", "| 22.00 s | camera 3 | paused"}};
    for (const auto& step : steps) {
        p.keys(step[0]);
        ASSERT_TRUE(p.waitTitle(step[1])) << p.title();
    }
    p.keys("v");
    ASSERT_TRUE(p.waitTitle("| paused | director")) << p.title();
    director_layout l;
    ASSERT_TRUE(e2e::waitFor([&] {
        l = readDirector(layoutFile);
        return l.shown && !l.paths.empty();
    }));
    const image seen = steady(p);
    ASSERT_EQ(seen.width, 480);

    // Camera 3's path as the scene evaluates it, against the layout and the picture.
    scene sc((std::string(KESTRINE_DEMO_DIR) + "/demo.xml").c_str(), load_options::silent());
    curve path = sc.cameras.at(2).path;
    const auto drawn = std::find_if(l.paths.begin(), l.paths.end(),
                                    [](const auto& p) { return p.first == "camera 3"; });
    ASSERT_NE(drawn, l.paths.end());
    const std::vector<glm::vec3>& samples = drawn->second;
    ASSERT_EQ(samples.size(), path.pointCount() * 32u);
    for (std::size_t i = 0; i < samples.size(); i += 7) {
        float q[3];
        path.getGlobalCatmullRomPoint(float(i) / float(samples.size()), q);
        EXPECT_LT(glm::length(samples[i] - glm::vec3(q[0], q[1], q[2])), 1e-3f) << i;
    }
    int looked = 0;
    for (int i = 0; i < 200; ++i) {
        float q[3];
        path.getGlobalCatmullRomPoint((float(i) + 0.37f) / 200.0f, q); // between the samples
        const glm::vec4 clip = l.projection * l.view * glm::vec4(q[0], q[1], q[2], 1.0f);
        if (clip.w <= 0.0f) continue;
        const double x = (clip.x / clip.w + 1.0) * 0.5 * seen.width;
        const double y = (1.0 - clip.y / clip.w) * 0.5 * seen.height;
        if (x < 2 || y < 2 || x > seen.width - 3 || y > seen.height - 3) continue;
        ++looked;
        const e2e::rgb c = seen.at(int(x), int(y));
        EXPECT_TRUE(std::abs(c.r - 255) <= 8 && std::abs(c.g - 204) <= 8 && std::abs(c.b - 25) <= 8)
            << "sample " << i << " at " << x << "," << y << ": " << c.r << " " << c.g << " " << c.b;
    }
    EXPECT_GT(looked, 100);

    // Back to the filming camera: the frame kestrine-capture writes for 22 s.
    p.keys("v");
    ASSERT_TRUE(e2e::waitFor([&] { return p.title().find("director") == std::string::npos; }));
    const image filmed = steady(p);
    p.keys("Escape");
    EXPECT_EQ(p.status(), 0) << p.err();
    const std::string cmd = "cd '" + dir + "' && '" KESTRINE_CAPTURE_BIN
                            "' demo.xml --out capture --size 480x270 --fps 60 --frames 1320:1320 "
                            "</dev/null >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const image captured = e2e::readPpm(
        output("convert '" + dir + "/capture/frame_001320.png' -depth 8 ppm:- 2>/dev/null"));
    ASSERT_EQ(captured.width, 480);
    EXPECT_EQ(e2e::differing(filmed, captured, 1), 0);
    EXPECT_GT(e2e::differing(seen, captured, 1), 1000);
}

TEST(Director, BookmarksSurviveARestartAndNeverTouchTheScene) {
    const std::string dir = demoDir("marks");
    std::system(("cp --remove-destination '" KESTRINE_DEMO_DIR "/demo.xml' '" + dir + "/demo.xml'")
                    .c_str());
    struct stat before {};
    ASSERT_EQ(stat((dir + "/demo.xml").c_str(), &before), 0);
    const std::string bytes = slurp(dir + "/demo.xml");
    const std::string layoutFile = dir + "/layout.txt";
    const std::string env = std::string(kQuiet) + " KESTRINE_PREVIEW_LAYOUT=" + layoutFile;
    director_layout kept;
    {
        preview p(dir, "demo.xml --at 3 --size 320x180 --no-overlay",
                  env + " KESTRINE_DIRECTOR_VIEW='1.5 2.25 -3.125 0 1 0'");
        ASSERT_TRUE(p.find("demo.xml"));
        p.keys("v");
        ASSERT_TRUE(p.waitTitle("| director"));
        p.keys("ctrl+3");
        ASSERT_TRUE(e2e::waitForText(dir + "/out.txt", "view 3 kept in " + dir + "/demo.views"));
        kept = readDirector(layoutFile);
        p.keys("Escape");
        EXPECT_EQ(p.status(), 0) << p.err();
    }
    EXPECT_EQ(kept.eye, glm::vec3(1.5f, 2.25f, -3.125f));
    preview p(dir, "demo.xml --at 3 --size 320x180 --no-overlay", env);
    ASSERT_TRUE(p.find("demo.xml"));
    p.keys("3");
    ASSERT_TRUE(p.waitTitle("| director"));
    director_layout back;
    EXPECT_TRUE(e2e::waitFor([&] {
        back = readDirector(layoutFile);
        return back.shown;
    }));
    EXPECT_EQ(back.eye, kept.eye);
    EXPECT_EQ(back.view, kept.view);
    p.keys("Escape");
    EXPECT_EQ(p.status(), 0) << p.err();
    struct stat after {};
    ASSERT_EQ(stat((dir + "/demo.xml").c_str(), &after), 0);
    EXPECT_EQ(slurp(dir + "/demo.xml"), bytes);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}
