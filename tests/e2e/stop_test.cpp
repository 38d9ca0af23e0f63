// Stopping as from a shell: the player, the preview and the capture started on a
// pseudo-terminal, ended by Ctrl+C, kill and hang-up; and what a terminal and the screen
// show while they run.
#include <signal.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_files.h"
#include "tests/png_read.h"

namespace {

using e2e::child;
using e2e::slurp;
using e2e::test_clock;
using e2e::waitForText;
using e2e::write;

// The sanitized test build takes longer to end than the 0.5 s of a release build.
constexpr double kEndWithin = 3.0;

// A red quad in front of the given cameras (none: the default camera, never ending).
std::string quadScene(const std::string& cameras, const std::string& assets = "") {
    const std::string d = e2e::dataDir();
    return "<scene>\n<shader name=\"flat\" vertex=\"" + d + "/flat.vert\" fragment=\"" + d +
           "/flat.frag\"/>\n<mesh name=\"quad\" filename=\"" + d + "/quad.obj\"/>\n" + assets +
           cameras +
           "\n<group><models><model name=\"quad\" shader=\"flat\" texture=\"\" R=\"1\" G=\"0\" "
           "B=\"0\"/></models></group>\n</scene>\n";
}

const char* const kQuiet = "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null";

// The command line for bin in dir, output to out.txt and err.txt; those of an earlier run are
// removed now, so that nothing waits on what the last process said.
std::string command(const std::string& dir, const std::string& env, const std::string& bin,
                    const std::string& args) {
    std::remove((dir + "/out.txt").c_str());
    std::remove((dir + "/err.txt").c_str());
    return "cd '" + dir + "' && exec env " + env + " '" + bin + "' " + args + " >out.txt 2>err.txt";
}

struct stop_case {
    const char* name;
    int sig;
    bool typed; // Ctrl+C on the terminal rather than kill
};

const stop_case kStops[] = {{"Ctrl+C", SIGINT, true}, {"kill", SIGTERM, false}};

// Stops the process as the case says; true when it then dies by that very signal in time.
::testing::AssertionResult stopsBy(child& p, const stop_case& c, bool wholeGroup = false) {
    const auto sent = test_clock::now();
    if (c.typed)
        p.typeInterrupt();
    else if (wholeGroup)
        p.signalGroup(c.sig);
    else
        p.signal(c.sig);
    const int raw = p.wait(30.0);
    const double took = std::chrono::duration<double>(test_clock::now() - sent).count();
    if (raw == -1) return ::testing::AssertionFailure() << "still running after 30 s";
    if (!WIFSIGNALED(raw) || WTERMSIG(raw) != c.sig)
        return ::testing::AssertionFailure()
               << "ended with " << (WIFEXITED(raw) ? "status " : "signal ")
               << (WIFEXITED(raw) ? WEXITSTATUS(raw) : WTERMSIG(raw));
    if (took > kEndWithin) return ::testing::AssertionFailure() << "took " << took << " s";
    return ::testing::AssertionSuccess();
}

// "interrupted: N frame(s) written", or -1.
long framesWritten(const std::string& err) {
    static const std::regex said("interrupted: ([0-9]+) frame\\(s\\) written");
    std::smatch m;
    return std::regex_search(err, m, said) ? std::stol(m[1]) : -1;
}

} // namespace

TEST(PlayerStops, OnCtrlCKillAndHangUpLikeEscape) {
    const std::string dir = e2e::workDir("stop_player");
    write(dir + "/scene.xml", quadScene(""));
    std::vector<stop_case> cases(std::begin(kStops), std::end(kStops));
    cases.push_back({"hang-up", SIGHUP, false});
    for (const stop_case& c : cases) {
        SCOPED_TRACE(c.name);
        child p(
            command(dir, std::string(kQuiet) + " KESTRINE_FRAME_LOG=1", KESTRINE_BIN, "scene.xml"),
            true);
        ASSERT_TRUE(waitForText(dir + "/err.txt", "kestrine: first frame presented"))
            << slurp(dir + "/err.txt");
        EXPECT_TRUE(stopsBy(p, c));
        // The loop ended as on Escape: its last line says so.
        EXPECT_NE(slurp(dir + "/err.txt").find(" frames; the loop started at"), std::string::npos);
    }
}

TEST(PreviewStops, OnCtrlCAndKill) {
    const std::string dir = e2e::workDir("stop_preview");
    write(dir + "/stop.xml", quadScene(""));
    for (const stop_case& c : kStops) {
        SCOPED_TRACE(c.name);
        child p(command(dir, kQuiet, KESTRINE_PREVIEW_BIN, "stop.xml --size 160x120"), true);
        // The title is set once a frame is on screen.
        ASSERT_NE(
            e2e::output("timeout 60 xdotool search --sync --name '^stop.xml [|]' 2>/dev/null"), "");
        EXPECT_TRUE(stopsBy(p, c));
    }
}

TEST(CaptureStops, LeavesWholeFramesFromTheFirstAndSaysWhereToGoOn) {
    const std::string dir = e2e::workDir("stop_capture");
    write(dir + "/scene.xml",
          quadScene(R"(<camera start="0" end="600" eye_x="0" eye_y="0" eye_z="3" up_x="0" )"
                    R"(up_y="1" up_z="0" look_x="0" look_y="0" look_z="0"/>)"));
    for (const stop_case& c : kStops) {
        SCOPED_TRACE(c.name);
        const std::string out = std::string("frames_") + c.name;
        child p(command(dir, "", KESTRINE_CAPTURE_BIN,
                        "scene.xml --out '" + out + "' --size 64x48 --frames 10:"),
                true);
        ASSERT_TRUE(waitForText(dir + "/err.txt", "frame 15/"));
        // A scheduler's cancel reaches the whole group.
        EXPECT_TRUE(stopsBy(p, c, true));
        const std::string err = slurp(dir + "/err.txt");
        const long n = framesWritten(err);
        ASSERT_GE(n, 6) << err;
        EXPECT_NE(err.find("go on with --frames " + std::to_string(10 + n) + ":"),
                  std::string::npos)
            << err;
        // Exactly frames 10 to 10 + n - 1, each a whole PNG file, and nothing else.
        const std::string listing = e2e::output("cd '" + dir + "/" + out + "' && ls");
        std::string expected;
        for (long k = 10; k < 10 + n; ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "frame_%06ld.png\n", k);
            expected += name;
        }
        EXPECT_EQ(listing, expected);
        for (long k = 10; k < 10 + n; ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame_%06ld.png", k);
            rgb_image im;
            std::string why;
            EXPECT_TRUE(readPng(dir + "/" + out + name, im, why)) << name << ": " << why;
        }
    }
}

TEST(CaptureStops, TheVideoHoldsTheFramesWrittenAndTheMusic) {
    const std::string dir = e2e::workDir("stop_video");
    ASSERT_TRUE(e2e::makeMusic(dir, 20));
    write(dir + "/scene.xml",
          quadScene(R"(<camera start="0" end="600" eye_x="0" eye_y="0" eye_z="3" up_x="0" )"
                    R"(up_y="1" up_z="0" look_x="0" look_y="0" look_z="0"/>)"));
    for (const stop_case& c : kStops) {
        SCOPED_TRACE(c.name);
        const std::string video = std::string("video_") + c.name + ".mp4";
        child p(command(dir, "", KESTRINE_CAPTURE_BIN,
                        "scene.xml --video '" + video + "' --size 64x48 --fps 30"),
                true);
        ASSERT_TRUE(waitForText(dir + "/err.txt", "frame 5/"));
        EXPECT_TRUE(stopsBy(p, c, true));
        const long n = framesWritten(slurp(dir + "/err.txt"));
        ASSERT_GE(n, 6) << slurp(dir + "/err.txt");
        const std::string probe = e2e::output(
            "ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames "
            "-of csv=p=0 '" +
            dir + "/" + video + "' 2>&1");
        EXPECT_NE(probe.find("video," + std::to_string(n) + "\n"), std::string::npos) << probe;
        EXPECT_NE(probe.find("audio,"), std::string::npos) << probe;
    }
}

TEST(PlayerOnATerminal, MissingAssetFilesDoNotStopTheFrames) {
    const std::string dir = e2e::workDir("terminal_missing");
    write(dir + "/scene.xml",
          quadScene(R"(<camera start="0" end="1" eye_x="0" eye_y="0" eye_z="3" up_x="0" )"
                    R"(up_y="1" up_z="0" look_x="0" look_y="0" look_z="0"/>)",
                    "<texture name=\"t\" filename=\"missing.dds\"/>\n"
                    "<shader name=\"s\" vertex=\"missing.vert\" fragment=\"missing.frag\"/>\n"
                    "<mesh name=\"m\" filename=\"missing.obj\"/>\n"));
    child p(command(dir, std::string(kQuiet) + " KESTRINE_FRAME_LOG=1", KESTRINE_BIN, "scene.xml"),
            true);
    const int raw = p.wait(90.0);
    ASSERT_NE(raw, -1) << "the player waits: " << slurp(dir + "/out.txt");
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
    const std::string out = slurp(dir + "/out.txt");
    for (const char* said : {"missing.dds could not be opened", "Impossible to open missing.vert",
                             "Impossible to open the file !"})
        EXPECT_NE(out.find(said), std::string::npos) << said;
    // Each beside the trace, once, with the scene file's name and line, on standard error.
    const std::string err = slurp(dir + "/err.txt");
    EXPECT_NE(err.find("first frame presented"), std::string::npos);
    for (const char* said :
         {"scene.xml:4: error: texture \"t\": \"missing.dds\" cannot be read as a texture",
          "scene.xml:5: error: shader \"s\": \"missing.vert\" cannot be read, so its models "
          "are not drawn",
          "scene.xml:6: error: mesh \"m\": \"missing.obj\" could not be read"})
        EXPECT_NE(err.find(said), std::string::npos) << said << "\n" << err;
}

TEST(PlayerFullScreen, ASphereIsRoundOnA16By9Screen) {
    const std::string dir = e2e::workDir("fullscreen");
    // A fine sphere of radius 1 at the look-at point: poles on y, a vertex on each axis.
    std::string obj;
    const int stacks = 48, slices = 96;
    const double pi = std::acos(-1.0);
    for (int i = 0; i <= stacks; ++i)
        for (int j = 0; j < slices; ++j) {
            const double a = pi * i / stacks, b = 2 * pi * j / slices;
            char line[128];
            std::snprintf(line, sizeof line, "v %.7f %.7f %.7f\n", std::sin(a) * std::cos(b),
                          std::cos(a), std::sin(a) * std::sin(b));
            obj += line;
        }
    obj += "vt 0 0\nvn 0 0 1\n";
    auto at = [&](int i, int j) { return std::to_string(i * slices + j % slices + 1) + "/1/1"; };
    for (int i = 0; i < stacks; ++i)
        for (int j = 0; j < slices; ++j) {
            obj += "f " + at(i, j) + " " + at(i + 1, j) + " " + at(i + 1, j + 1) + "\n";
            obj += "f " + at(i, j) + " " + at(i + 1, j + 1) + " " + at(i, j + 1) + "\n";
        }
    write(dir + "/sphere.obj", obj);
    std::string scene =
        quadScene(R"(<camera start="0" end="0" eye_x="0" eye_y="0" eye_z="6" )"
                  R"(up_x="0" up_y="1" up_z="0" look_x="0" look_y="0" look_z="0"/>)",
                  "<mesh name=\"sphere\" filename=\"sphere.obj\"/>\n");
    scene.replace(scene.find("name=\"quad\" shader"), 11, "name=\"sphere\"");
    write(dir + "/scene.xml", scene);

    // A screen of its own at 1280x720; it says its display number when it is ready.
    child screen("exec Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp 3>'" + dir +
                 "/display.txt' 2>/dev/null");
    ASSERT_TRUE(waitForText(dir + "/display.txt", "\n"));
    std::string display = ":" + slurp(dir + "/display.txt");
    display.pop_back();
    child p(command(dir, std::string(kQuiet) + " KESTRINE_FRAME_LOG=1 DISPLAY=" + display,
                    KESTRINE_BIN, "scene.xml"));
    ASSERT_TRUE(waitForText(dir + "/err.txt", "first frame presented")) << slurp(dir + "/err.txt");

    // The red pixels' bounding box, once the sphere is on screen.
    int left = 0, right = 0, top = 0, bottom = 0;
    const bool seen = e2e::waitFor([&] {
        const std::string ppm =
            e2e::output("import -display " + display + " -window root -depth 8 rgb:- 2>/dev/null");
        if (ppm.size() != 1280u * 720u * 3u) return false;
        left = 1280, right = -1, top = 720, bottom = -1;
        for (int y = 0; y < 720; ++y)
            for (int x = 0; x < 1280; ++x)
                if (static_cast<unsigned char>(ppm[(std::size_t(y) * 1280 + x) * 3]) > 128) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        return right - left > 50;
    });
    ASSERT_TRUE(seen);
    const int width = right - left + 1, height = bottom - top + 1;
    EXPECT_NEAR(width, height, 2) << width << "x" << height;
    EXPECT_NEAR((left + right) / 2.0, 639.5, 2);
    EXPECT_NEAR((top + bottom) / 2.0, 359.5, 2);
}
