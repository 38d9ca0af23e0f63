// kestrine-check and kestrine-capture run end to end on the test display, stdin from /dev/null.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include "scene/scene.h"
#include "tests/e2e/process.h"
#include "tests/png_read.h"

namespace {

using e2e::run_result;
using e2e::slurp;
using e2e::write;

// A fresh folder per test in which "demo" leads to the bundled demo and "Music" to its music,
// so that scenes and captures find what the player would find there.
std::string workDir(const std::string& name) {
    const std::string dir = ::testing::TempDir() + "kestrine_tools_" + name;
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir +
                 "' && ln -s '" KESTRINE_DEMO_DIR "' '" + dir +
                 "/demo' && ln -s '" KESTRINE_DEMO_DIR "/Music' '" + dir + "/Music'")
                    .c_str());
    return dir;
}

// Runs `env bin args` in dir.
run_result run(const std::string& dir, const std::string& bin, const std::string& args,
               const std::string& env = "") {
    // Beside the folder, not in it: the folder may be the bundled demo itself.
    const std::string scratch = ::testing::TempDir() + "kestrine_tools_" +
                                ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string out = scratch + ".stdout", err = scratch + ".stderr";
    const std::string cmd = "cd '" + dir + "' && " + env + " timeout -s KILL 300 '" + bin + "' " +
                            args + " </dev/null >'" + out + "' 2>'" + err + "'";
    return e2e::runShell(cmd, out, err);
}

run_result check(const std::string& dir, const std::string& args, const std::string& env = "") {
    return run(dir, KESTRINE_CHECK_BIN, args, env);
}

run_result capture(const std::string& dir, const std::string& args) {
    return run(dir, KESTRINE_CAPTURE_BIN, args);
}

// The capture test scene, copied into dir.
void captureScene(const std::string& dir) {
    write(dir + "/scene.xml", slurp(KESTRINE_TEST_DATA "/capture/scene.xml"));
}

std::string frame(const std::string& dir, long k) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%06ld.png", k);
    return dir + name;
}

// Names of the files in a folder, sorted.
std::vector<std::string> listing(const std::string& dir) {
    const std::string list = dir + ".listing.txt";
    std::system(("ls '" + dir + "' > '" + list + "'").c_str());
    std::vector<std::string> names;
    std::istringstream in(slurp(list));
    for (std::string l; std::getline(in, l);)
        names.push_back(l);
    return names;
}

// Frame k of a capture into dir, as 8-bit RGB; empty when it cannot be read.
rgb_image readFrame(const std::string& dir, long k) {
    rgb_image image;
    std::string why;
    if (!readPng(frame(dir, k), image, why)) ADD_FAILURE() << frame(dir, k) << ": " << why;
    return image;
}

// The largest difference of any channel between the two images; 256 when their sizes differ.
int worstDifference(const rgb_image& a, const rgb_image& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size())
        return 256;
    int worst = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        worst = std::max(worst, std::abs(int(a.pixels[i]) - int(b.pixels[i])));
    return worst;
}

// The mean of equally sized images, rounded half up, or of each `factor` x `factor` box of one.
rgb_image meanOf(const std::vector<rgb_image>& images, int factor = 1) {
    rgb_image out;
    out.width = images[0].width / factor;
    out.height = images[0].height / factor;
    out.pixels.assign(std::size_t(out.width) * out.height * 3, 0);
    const int n = int(images.size()) * factor * factor;
    std::vector<int> sum(out.pixels.size(), 0);
    for (const rgb_image& im : images)
        for (int y = 0; y < im.height; ++y)
            for (int x = 0; x < im.width * 3; ++x)
                sum[std::size_t(y / factor) * out.width * 3 + std::size_t(x / 3 / factor * 3 + x % 3)] +=
                    im.pixels[std::size_t(y) * im.width * 3 + std::size_t(x)];
    for (std::size_t i = 0; i < sum.size(); ++i)
        out.pixels[i] = static_cast<unsigned char>((sum[i] + n / 2) / n);
    return out;
}

} // namespace

TEST(CheckTool, PassesTheBundledDemoAndCompilesItsShaders) {
    const std::string dir = workDir("check_demo");
    const run_result r = check(dir + "/demo", "demo.xml");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("demo.xml: 0 error(s), 0 warning(s)\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("timeline: 62 s (from 0 s to 62 s), 7 camera(s), 6 camera cut(s)\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("not compiled"), std::string::npos) << r.out;
}

TEST(CheckTool, ReportsErrorsWithStatusOneAndWarningsWithZero) {
    const std::string dir = workDir("check_status");
    write(dir + "/error.xml",
          "<scene>\n<group>\n<translate X=\"1\" Z=\"2\"/>\n</group>\n</scene>\n");
    run_result r = check(dir, "error.xml");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(r.out.rfind("error.xml:3: error: translate: attribute \"Y\" is missing\n", 0), 0u)
        << r.out;
    EXPECT_NE(r.out.find("the player would not play this scene"), std::string::npos);

    write(dir + "/warning.xml", "<scene>\n<camera start=\"2\" end=\"4\"/>\n</scene>\n");
    r = check(dir, "warning.xml");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("warning.xml:2: warning: camera: a moving camera with 0 path point(s)"),
              std::string::npos)
        << r.out;

    r = check(dir, "missing.xml");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind("missing.xml:1: error: cannot read the scene file (No such file or "
                          "directory); the player stops before the first frame\n",
                          0),
              0u)
        << r.out;

    r = check(dir, "");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage: kestrine-check SCENE.xml"), std::string::npos);
}

// Programs compile on the X display, through EGL without one, and are said not to be compiled
// only when neither gives a context (here, EGL without a vendor library).
TEST(CheckTool, CompilesWithOrWithoutADisplayAndSaysWhenItCannot) {
    const std::string dir = workDir("check_nodisplay");
    write(dir + "/broken.xml", "<scene>\n<shader name=\"s\" vertex=\"" KESTRINE_TEST_DATA
                               "/shaders/basic.vert\" fragment=\"" KESTRINE_TEST_DATA
                               "/shaders/broken.frag\"/>\n</scene>\n");
    const std::string error = "broken.xml:2: error: shader \"s\": \"" KESTRINE_TEST_DATA
                              "/shaders/broken.frag\" does not compile, so its models are not "
                              "drawn:\n" KESTRINE_TEST_DATA "/shaders/broken.frag:5:1: error: ";
    for (const char* env : {"", "env -u DISPLAY -u WAYLAND_DISPLAY"}) {
        SCOPED_TRACE(env);
        const run_result r = check(dir, "broken.xml", env);
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.out.find(error), std::string::npos) << r.out;
    }
    run_result r = check(dir, "broken.xml --gl egl");
    EXPECT_NE(r.out.find(error), std::string::npos) << r.out;
    r = check(dir, "broken.xml",
              "env -u DISPLAY -u WAYLAND_DISPLAY __EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("shaders: not compiled (no OpenGL context"), std::string::npos) << r.out;
}

// A line desktop GLSL 3.30 takes and GLSL ES 3.00 refuses (an int where a float is wanted)
// fails --web with its file and line, and only --web.
TEST(CheckTool, WebCompilesTheProgramsAsGlslEsWithTheirFilesLines) {
    const std::string dir = workDir("check_web");
    write(dir + "/es.frag", "#version 330 core\n"
                            "in vec2 UV;\n"
                            "out vec4 color;\n"
                            "void main() {\n"
                            "    float alpha = 1;\n"
                            "    color = vec4(UV, 0.0, alpha);\n"
                            "}\n");
    write(dir + "/web.xml", "<scene>\n<shader name=\"s\" vertex=\"" KESTRINE_TEST_DATA
                            "/shaders/basic.vert\" fragment=\"es.frag\"/>\n</scene>\n");
    run_result r = check(dir, "web.xml");
    EXPECT_EQ(r.status, 0) << r.out;
    r = check(dir, "--web web.xml");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("web.xml:2: error: shader \"s\": \"es.frag\" line 5: "), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(" (as GLSL ES 3.00, in a web browser)\n"), std::string::npos) << r.out;
    // The bundled demo is ready for a browser.
    r = check(dir + "/demo", "demo.xml --web");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.rfind("demo.xml: 0 error(s), 0 warning(s)\n", 0), 0u) << r.out;
    // Four 256x256 textures with their 9 levels, as a phone's browser holds them.
    EXPECT_NE(r.out.find("\nweb: the textures take 1398096 bytes (1.4 MB) decoded to RGBA8"),
              std::string::npos)
        << r.out;
}

// A render node has no X server: the capture draws through EGL, pixel for pixel as under X.
TEST(CaptureTool, WithoutAnXServerDrawsTheSameFrames) {
    const std::string dir = workDir("capture_egl");
    const std::string frames = " --size 160x90 --frames 1195:1205";
    run_result r =
        capture(dir + "/demo", "demo.xml --out '" + dir + "/x11'" + frames + " --gl x11");
    ASSERT_EQ(r.status, 0) << r.err;
    r = run(dir + "/demo", KESTRINE_CAPTURE_BIN, "demo.xml --out '" + dir + "/egl'" + frames,
            "env -u DISPLAY -u WAYLAND_DISPLAY");
    ASSERT_EQ(r.status, 0) << r.err;
    // Quiet: the loading trace is the player's, and the capture's own lines go to standard error.
    EXPECT_EQ(r.out, "");
    const std::vector<std::string> files = listing(dir + "/egl");
    ASSERT_EQ(files.size(), 11u);
    EXPECT_EQ(files, listing(dir + "/x11"));
    for (const std::string& f : files)
        EXPECT_EQ(slurp(dir + "/egl/" + f), slurp(dir + "/x11/" + f)) << f;
}

TEST(CaptureTool, MatchesTheReferenceFramesAndEndsWithTheLastCamera) {
    const std::string dir = workDir("capture_reference");
    captureScene(dir);
    const run_result r = capture(dir, "scene.xml --out out --size 64x48 --fps 10");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("frame 30/30 ["), std::string::npos) << r.err; // the progress bar
    // The last camera ends at 3 s: frames 0 to 30, and the player's end frame is not kept.
    const std::vector<std::string> files = listing(dir + "/out");
    ASSERT_EQ(files.size(), 31u);
    EXPECT_EQ(files.back(), "frame_000030.png");

    for (long k : {5L, 16L, 25L}) {
        SCOPED_TRACE(k);
        rgb_image got, want;
        std::string why;
        ASSERT_TRUE(readPng(frame(dir + "/out", k), got, why)) << why;
        ASSERT_TRUE(readPng(frame(KESTRINE_TEST_DATA "/capture", k), want, why)) << why;
        ASSERT_EQ(got.width, 64);
        ASSERT_EQ(got.height, 48);
        ASSERT_EQ(got.pixels.size(), want.pixels.size());
        int worst = 0, lit = 0;
        for (std::size_t i = 0; i < got.pixels.size(); ++i) {
            worst = std::max(worst, std::abs(int(got.pixels[i]) - int(want.pixels[i])));
            lit += want.pixels[i] > 16;
        }
        EXPECT_LE(worst, 6);
        EXPECT_GT(lit, 20); // the reference shows something
    }
}

// Plain, and supersampled with motion blur (frame 10's shutter opens on the camera before).
TEST(CaptureTool, RepeatsByteForByteAndASplitCaptureEqualsTheWhole) {
    for (const std::string publishing : {"", " --supersample 2 --motion-blur 3:0.8"}) {
        SCOPED_TRACE(publishing);
        const std::string dir = workDir(publishing.empty() ? "capture_split" : "capture_split_ss");
        captureScene(dir);
        // Frames 0-14 cross the start of the second moving camera (frame 10).
        const std::string common = " --size 64x48 --fps 10" + publishing;
        ASSERT_EQ(capture(dir, "scene.xml --out whole --frames 0:14" + common).status, 0);
        ASSERT_EQ(capture(dir, "scene.xml --out again --frames 0:14" + common).status, 0);
        for (const char* part : {"0:6", "7:10", "11:14"})
            ASSERT_EQ(capture(dir, "scene.xml --out split --frames " + std::string(part) + common)
                          .status,
                      0);
        for (long k = 0; k <= 14; ++k) {
            SCOPED_TRACE(k);
            const std::string whole = slurp(frame(dir + "/whole", k));
            ASSERT_FALSE(whole.empty());
            EXPECT_TRUE(whole == slurp(frame(dir + "/again", k)));
            EXPECT_TRUE(whole == slurp(frame(dir + "/split", k)));
        }
        EXPECT_EQ(listing(dir + "/split").size(), 15u);
    }
}

TEST(CaptureTool, VideoHasEveryFrameAndTheMusic) {
    const std::string dir = workDir("capture_video");
    captureScene(dir);
    for (const std::string publishing : {"", " --supersample 2 --motion-blur 3"}) {
        SCOPED_TRACE(publishing);
        const run_result r = capture(dir, "scene.xml --video clip.mp4 --frames 3:14 --size 64x48 "
                                          "--fps 10" + publishing);
        ASSERT_EQ(r.status, 0) << r.err;
        const run_result probe =
            run(dir, "ffprobe",
                "-v error -count_frames -show_entries stream=codec_type,codec_name,nb_read_frames "
                "-of compact=p=0 clip.mp4");
        ASSERT_EQ(probe.status, 0) << probe.err;
        EXPECT_NE(probe.out.find("codec_name=h264|codec_type=video|nb_read_frames=12"),
                  std::string::npos)
            << probe.out;
        EXPECT_NE(probe.out.find("codec_name=aac|codec_type=audio"), std::string::npos)
            << probe.out;
    }
}

TEST(CaptureTool, RefusesBadCommandLinesAndEndlessScenes) {
    const std::string dir = workDir("capture_refuse");
    captureScene(dir);
    const char* const bad[] = {
        "",
        "scene.xml",
        "scene.xml --out",
        "scene.xml --out o --fps 0",
        "scene.xml --out o --fps 12.5",
        "scene.xml --out o --size 64",
        "scene.xml --out o --size 0x48",
        "scene.xml --out o --frames 9:3",
        "scene.xml --out o --frames -1:3",
        "scene.xml --video v.mp4 --size 65x48",
        "scene.xml other.xml --out o",
        "scene.xml --out o --supersample 0",
        "scene.xml --out o --supersample 5",
        "scene.xml --out o --motion-blur 0",
        "scene.xml --out o --motion-blur 65",
        "scene.xml --out o --motion-blur 4:1.5",
        "scene.xml --out o --motion-blur 4:",
        "scene.xml --out o --motion-blur 4:nan",
        "scene.xml --out o --png-depth 12",
    };
    for (const char* args : bad) {
        SCOPED_TRACE(args);
        const run_result r = capture(dir, args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("Usage: kestrine-capture"), std::string::npos) << r.err;
    }

    write(dir + "/endless.xml", "<scene>\n<camera start=\"3\" end=\"3\" eye_x=\"0\" eye_y=\"0\" "
                                "eye_z=\"3\" up_x=\"0\" up_y=\"1\" up_z=\"0\" look_x=\"0\" "
                                "look_y=\"0\" look_z=\"0\"/>\n</scene>\n");
    run_result r = capture(dir, "endless.xml --out o --size 64x48");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("give --frames A:B"), std::string::npos) << r.err;
    r = capture(dir, "endless.xml --out o --size 64x48 --frames 0:2");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(listing(dir + "/o").size(), 3u);

    write(dir + "/error.xml", "<scene>\n<group>\n<scale X=\"1\"/>\n</group>\n</scene>\n");
    r = capture(dir, "error.xml --out o --size 64x48");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("error.xml:3: error: scale: attribute \"Y\" is missing"),
              std::string::npos)
        << r.err;

    // A frame larger than the driver can draw is refused before any is drawn.
    r = capture(dir, "scene.xml --out huge --size 16384x64 --supersample 2");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("--supersample 2 draws each frame at 32768x128, which is beyond the "
                         "driver's limit of "),
              std::string::npos)
        << r.err;
    EXPECT_NE(access((dir + "/huge").c_str(), F_OK), 0);

    // Past the last camera nothing is drawn, and that is no failure.
    r = capture(dir, "scene.xml --out late --size 64x48 --fps 10 --frames 40:50");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("nothing captured"), std::string::npos) << r.err;
}

// A wrong option is named before the usage, with status 2; "--" lets a scene file begin with "-".
TEST(CheckTool, WrongOptionsAreNamedWithStatus2) {
    const std::string dir = workDir("wrong_options");
    const struct {
        const char* name;
        const char* bin;
        const char* args;
        const char* named;
    } cases[] = {
        {"kestrine-check", KESTRINE_CHECK_BIN, "--fast scene.xml", "--fast"},
        {"kestrine-check", KESTRINE_CHECK_BIN, "scene.xml --gl", "--gl"},
        {"kestrine-check", KESTRINE_CHECK_BIN, "scene.xml --gl wayland",
         "--gl takes x11 or egl: \"wayland\""},
        {"kestrine-check", KESTRINE_CHECK_BIN, "scene.xml --web=0", "web"},
        {"kestrine-check", KESTRINE_CHECK_BIN, "-x.xml", "-x.xml"},
        {"kestrine-capture", KESTRINE_CAPTURE_BIN, "scene.xml --out o --fps", "--fps"},
        {"kestrine-capture", KESTRINE_CAPTURE_BIN, "scene.xml --out o --fps 0", "--fps takes"},
        {"kestrine-capture", KESTRINE_CAPTURE_BIN, "scene.xml --out=o --sizes 64x48", "--sizes"},
        {"kestrine-preview", KESTRINE_PREVIEW_BIN, "scene.xml --overlay", "--overlay"},
        {"kestrine-preview", KESTRINE_PREVIEW_BIN, "scene.xml --size=64", "--size: not"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.args);
        const run_result r = run(dir, c.bin, c.args, "env -u DISPLAY");
        EXPECT_EQ(r.status, 2);
        const std::string said = std::string(c.name) + ": ";
        EXPECT_EQ(r.err.rfind(said, 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("\nUsage: " + std::string(c.name)), std::string::npos) << r.err;
    }
    write(dir + "/-x.xml", "<scene>\n</scene>\n");
    const run_result r = check(dir, "--gl egl -- -x.xml");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("-x.xml: 0 error(s)"), std::string::npos) << r.out;
}

// Every program answers --help and --version without a display, a scene or a sound device.
TEST(CheckTool, EveryProgramAnswersHelpAndVersion) {
    const std::string dir = workDir("help");
    const struct {
        const char* name;
        const char* bin;
    } programs[] = {{"kestrine", KESTRINE_BIN},
                    {"kestrine-preview", KESTRINE_PREVIEW_BIN},
                    {"kestrine-check", KESTRINE_CHECK_BIN},
                    {"kestrine-capture", KESTRINE_CAPTURE_BIN}};
    for (const auto& p : programs) {
        SCOPED_TRACE(p.name);
        run_result r = run(dir, p.bin, "--help", "env -u DISPLAY");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind(std::string("Usage: ") + p.name + " ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("--version"), std::string::npos) << r.out;
        r = run(dir, p.bin, "--version", "env -u DISPLAY");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, std::string(p.name) + " " KESTRINE_VERSION "\n"
                         "Copyright (c) 2026 The Kestrine authors\n"
                         "Released under the MIT licence: free to use, change and share, "
                         "without warranty.\n");
    }
    // The player takes them only as its one argument: with two, demo.xml is played.
    const run_result r = run(dir, KESTRINE_BIN, "--help extra", "env -u DISPLAY");
    EXPECT_NE(r.err.find("Failed to initialize GLFW"), std::string::npos) << r.err;
}

// The bundled demo's time line: an SVG whose camera and model lanes carry the windows of the
// scene as the player loads it, and whose music lane the length of the music file.
TEST(CheckTool, DrawsTheTimelineOfTheBundledDemo) {
    const std::string dir = workDir("timeline");
    const std::string svg = dir + "/timeline.svg";
    const run_result r = check(dir + "/demo", "demo.xml --timeline '" + svg + "'");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(doc.LoadFile(svg.c_str()), tinyxml2::XML_SUCCESS);
    std::vector<std::pair<double, double>> cameras, models;
    double music = -1;
    for (const tinyxml2::XMLElement* g = doc.RootElement()->FirstChildElement("g"); g;
         g = g->NextSiblingElement("g")) {
        const std::string kind = g->Attribute("class");
        const std::pair<double, double> window{g->DoubleAttribute("data-start"),
                                               g->DoubleAttribute("data-end")};
        if (kind == "lane camera") cameras.push_back(window);
        if (kind == "lane model") models.push_back(window);
        if (kind == "lane music") music = window.second;
    }
    load_options quiet;
    quiet.load_assets = false;
    quiet.trace = nullptr;
    const scene s(KESTRINE_DEMO_DIR "/demo.xml", quiet);
    std::vector<std::pair<double, double>> wantCameras, wantModels;
    for (const camera& c : s.cameras)
        wantCameras.emplace_back(c.start, c.end);
    std::function<void(const group&)> walk = [&](const group& g) {
        for (const modelo_descript& d : g.descriptors)
            wantModels.emplace_back(d.start, d.end);
        for (const group& child : g.children)
            walk(child);
    };
    for (const group& g : s.groups)
        walk(g);
    EXPECT_EQ(cameras, wantCameras);
    EXPECT_EQ(models, wantModels);
    EXPECT_NEAR(music, 64.0, 0.1); // the bundled music, made 64 s long
}

// A render farm's split capture: GNU parallel runs two chunks as two jobs, without an X server,
// into one folder; the result is byte for byte the whole capture.
TEST(CaptureTool, ChunksRunByGnuParallelMakeTheWholeCapture) {
    const std::string dir = workDir("parallel");
    captureScene(dir);
    const char* const headless = "env -u DISPLAY -u WAYLAND_DISPLAY";
    run_result r =
        run(dir, KESTRINE_CAPTURE_BIN, "scene.xml --out whole --size 64x48 --fps 10", headless);
    ASSERT_EQ(r.status, 0) << r.err;
    r = run(dir, "/usr/bin/parallel",
            "--will-cite -j2 '" KESTRINE_CAPTURE_BIN
            "' scene.xml --out chunks --size 64x48 --fps 10 --frames {} ::: 0:15 16:31",
            headless);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> files = listing(dir + "/whole");
    ASSERT_EQ(files.size(), 31u);
    EXPECT_EQ(listing(dir + "/chunks"), files);
    for (const std::string& f : files)
        EXPECT_EQ(slurp(dir + "/chunks/" + f), slurp(dir + "/whole/" + f)) << f;
}

// For publishing. At one sub-frame and without supersampling the capture is the plain one, byte
// for byte; 16-bit PNG files hold the same picture; a supersampled frame is the larger
// capture's boxes averaged, the filter the guide states. Frames 8-11 cross a cut.
TEST(CaptureTool, PublishingOptionsKeepThePlainCaptureAndSupersampleByBoxes) {
    const std::string dir = workDir("capture_publish");
    captureScene(dir);
    const std::string frames = " --fps 10 --frames 8:11 --out ";
    ASSERT_EQ(capture(dir, "scene.xml --size 64x48" + frames + "plain").status, 0);
    ASSERT_EQ(capture(dir, "scene.xml --size 128x96" + frames + "large").status, 0);
    const struct {
        const char* out;
        const char* args;
        bool same_bytes; // else within one level
        int factor;      // of the reference: the large capture's boxes
    } cases[] = {
        {"ss1", "--supersample 1", true, 1},
        {"mb1", "--motion-blur 1:1 --png-depth 8", true, 1},
        {"deep", "--png-depth 16", false, 1},
        {"ss2", "--supersample 2", false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const run_result r =
            capture(dir, "scene.xml --size 64x48 " + std::string(c.args) + frames + c.out);
        ASSERT_EQ(r.status, 0) << r.err;
        for (long k = 8; k <= 11; ++k) {
            SCOPED_TRACE(k);
            if (c.same_bytes) {
                EXPECT_TRUE(slurp(frame(dir + "/" + c.out, k)) == slurp(frame(dir + "/plain", k)));
                continue;
            }
            const rgb_image want = c.factor == 1 ? readFrame(dir + "/plain", k)
                                                 : meanOf({readFrame(dir + "/large", k)}, 2);
            EXPECT_LE(worstDifference(readFrame(dir + "/" + c.out, k), want), 1);
        }
    }
    // A 16-bit file: the IHDR's bit depth, at byte 24.
    EXPECT_EQ(int(slurp(frame(dir + "/deep", 8)).at(24)), 16);
}

// Motion blur: a frame at 15 fps with a shutter of 1 is the mean of the four frames a 60 fps
// capture writes at its sub-frames' times. Frame 120 is the bundled demo's cut at 8 s: its
// shutter opens on the camera before, so it is its own camera's one sub-frame alone.
TEST(CaptureTool, MotionBlurIsTheMeanOfTheSubFramesOfTheFramesOwnCamera) {
    const std::string dir = workDir("capture_blur");
    const std::string size = " --size 160x90 --out '" + dir;
    run_result r = capture(dir + "/demo", "demo.xml --fps 60 --frames 477:484" + size + "/fast'");
    ASSERT_EQ(r.status, 0) << r.err;
    r = capture(dir + "/demo", "demo.xml --fps 15 --frames 120:121 --motion-blur 4:1" + size +
                                   "/blur'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<rgb_image> fast;
    for (long k = 477; k <= 484; ++k)
        fast.push_back(readFrame(dir + "/fast", k));
    EXPECT_LE(worstDifference(readFrame(dir + "/blur", 120), fast[3]), 1);
    const rgb_image after = meanOf({fast[4], fast[5], fast[6], fast[7]});
    EXPECT_LE(worstDifference(readFrame(dir + "/blur", 121), after), 1);
    // Neither holds only by chance: the camera moves, and the shots differ.
    EXPECT_GT(worstDifference(after, fast[7]), 8);
    EXPECT_GT(worstDifference(meanOf({fast[0], fast[1], fast[2], fast[3]}), fast[3]), 8);
}
