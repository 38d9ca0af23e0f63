// The real player binary, run end to end on the test display with stdin from /dev/null.
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_files.h"

namespace {

using e2e::run_result;
using e2e::slurp;
using e2e::write;

using e2e::dataDir;
using e2e::workDir;

// Runs the player in dir with the given arguments; `env` is prefixed to the command
// (e.g. "SDL_AUDIODRIVER=disk"), `during` runs while the player does.
run_result play(const std::string& dir, const std::string& args, int seconds = 60,
                const std::string& env = "", const std::string& during = "") {
    const std::string out = dir + "/stdout.txt", err = dir + "/stderr.txt";
    std::string cmd = "cd '" + dir + "' && " + env + " timeout -s KILL " + std::to_string(seconds) +
                      " '" KESTRINE_BIN "' " + args + " </dev/null >'" + out + "' 2>'" + err + "'";
    if (!during.empty()) cmd = "(" + cmd + ") & pid=$!; " + during + "; wait $pid";
    return e2e::runShell(cmd, out, err);
}

// A scene of one red quad in front of the given cameras.
std::string quadScene(const std::string& cameras) {
    const std::string d = dataDir();
    return "<scene>\n<window x=\"640\" y=\"480\" title=\"e2e\"/>\n"
           "<shader name=\"flat\" vertex=\"" +
           d + "/flat.vert\" fragment=\"" + d +
           "/flat.frag\"/>\n"
           "<mesh name=\"quad\" filename=\"" +
           d + "/quad.obj\"/>\n" + cameras +
           "\n<group><models><model name=\"quad\" shader=\"flat\" texture=\"\" R=\"1\" G=\"0\" "
           "B=\"0\"/></models></group>\n</scene>\n";
}

const char* const kStatic =
    R"(<camera start="0" end="%d" eye_x="0" eye_y="0" eye_z="3" up_x="0" up_y="1" up_z="0" look_x="0" look_y="0" look_z="0"/>)";

std::string staticCamera(int end) {
    char buf[512];
    std::snprintf(buf, sizeof buf, kStatic, end);
    return buf;
}

// Runs `then` once the player under KESTRINE_FRAME_LOG has its first frame on screen.
std::string onceDrawing(const std::string& dir, const std::string& then) {
    return "timeout 60 sh -c 'until grep -q \"first frame presented\" \"" + dir +
           "/stderr.txt\"; do sleep 0.05; done'; " + then;
}

int countFrameLines(const std::string& out) {
    static const std::regex line("^[0-9]+\\.[0-9]{6} ms/frame$");
    int n = 0;
    std::istringstream in(out);
    for (std::string l; std::getline(in, l);)
        if (std::regex_match(l, line)) ++n;
    return n;
}

} // namespace

TEST(Player, EndsWhenTheCamerasRunOutAndReportsFrameTimes) {
    const std::string dir = workDir("runout");
    std::system(("rm -r '" + dir + "/Music'").c_str());
    write(dir + "/scene.xml", quadScene(staticCamera(3)));
    // A sound device that writes nowhere, so that the missing music is what gets reported.
    const run_result r =
        play(dir, "scene.xml", 60,
             "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null KESTRINE_FRAME_LOG=1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("a carregar :scene.xml\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("Compiling shader : " + dataDir() + "/flat.vert\n"), std::string::npos);
    EXPECT_NE(r.out.find("Loading OBJ file " + dataDir() + "/quad.obj...\n"), std::string::npos);
    EXPECT_NE(r.out.find("nova camara \ncamara estatica"), std::string::npos);
    // One line for each whole second the loop ran, as the player itself saw the clock; a
    // stall on a loaded machine may leave a line or two owed at the end.
    double begun = 0, last = 0;
    ASSERT_EQ(std::sscanf(r.err.substr(r.err.find(" frames; the loop started at ")).c_str(),
                          " frames; the loop started at %lf s, the last frame at %lf s", &begun,
                          &last),
              2)
        << r.err;
    const int lines = countFrameLines(r.out);
    const int seconds = static_cast<int>(last - begun);
    EXPECT_LE(lines, seconds) << r.out;
    EXPECT_GE(lines, seconds - 2) << r.out;
    EXPECT_LE(last, 4.0); // the camera ends at 3 s
    // No music in this folder: one line says so, and the demo still runs.
    int said = 0;
    std::istringstream errLines(r.err);
    for (std::string l; std::getline(errLines, l);)
        said += l.find("Music/evil-2005.ogg") != std::string::npos;
    EXPECT_EQ(said, 1) << r.err;
}

TEST(Player, OneArgumentSelectsTheSceneNoneOrTwoSelectDemoXml) {
    const std::string dir = workDir("args");
    write(dir + "/demo.xml", quadScene("<camera start=\"0\" end=\"1\" look_x=\"0\" look_y=\"0\" "
                                       "look_z=\"0\"><p X=\"0\" Y=\"0\" Z=\"3\"/></camera>"));
    write(dir + "/other.xml", quadScene(staticCamera(1)));
    write(dir + "/-x.xml", quadScene(staticCamera(1)));
    const struct {
        const char* args;
        const char* loaded;
    } cases[] = {{"", "demo.xml"},
                 {"other.xml", "other.xml"},
                 {"other.xml extra", "demo.xml"},
                 {"-x.xml", "-x.xml"},
                 {"a b", "demo.xml"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const run_result r = play(dir, c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.rfind(std::string("a carregar :") + c.loaded + "\n", 0), 0u) << r.out;
    }
}

TEST(Player, DefaultCameraRunsUntilEscape) {
    const std::string dir = workDir("escape");
    write(dir + "/scene.xml", quadScene(""));
    const run_result r =
        play(dir, "scene.xml", 90, "KESTRINE_FRAME_LOG=1",
             onceDrawing(dir, "xdotool search --sync --name '^Kestrine 3.0$' windowfocus --sync "
                              "key Escape >/dev/null 2>&1"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("a carregar :scene.xml"), std::string::npos);
}

TEST(Player, DefaultCameraRunsUntilTheWindowIsClosed) {
    const std::string dir = workDir("close");
    write(dir + "/scene.xml", quadScene(""));
    const run_result r = play(dir, "scene.xml", 90, "KESTRINE_FRAME_LOG=1",
                              onceDrawing(dir, "'" KESTRINE_X11_CLOSE "' 'Kestrine 3.0'"));
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(Player, LoadErrorsEndBeforeAnyFrame) {
    const std::string dir = workDir("loaderror");
    write(dir + "/scene.xml",
          "<scene>\n<group>\n<translate X=\"1\" Y=\"2\"/>\n</group>\n</scene>\n");
    run_result r = play(dir, "scene.xml");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("scene.xml:3: error: translate: attribute \"Z\" is missing\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(countFrameLines(r.out), 0);

    r = play(dir, "missing.xml");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("missing.xml : Ficheiro nao Existe\n"), std::string::npos);
    EXPECT_NE(r.err.find("missing.xml: error: cannot read the scene file"), std::string::npos)
        << r.err;
}

TEST(Player, StartupFailureWithoutADisplay) {
    const std::string dir = workDir("nodisplay");
    write(dir + "/scene.xml", quadScene(staticCamera(1)));
    const run_result r = play(dir, "scene.xml", 60, "env -u DISPLAY -u WAYLAND_DISPLAY");
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("Failed to initialize GLFW\n"), std::string::npos) << r.err;
}

TEST(Player, MusicPlaysThroughTheSoundDevice) {
    const std::string dir = workDir("music");
    ASSERT_TRUE(e2e::makeMusic(dir, 3));
    write(dir + "/scene.xml", quadScene(staticCamera(2)));
    const std::string wav = dir + "/out.raw";
    const run_result r =
        play(dir, "scene.xml", 60, "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE='" + wav + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("evil-2005"), std::string::npos) << r.err;
    const std::string samples = slurp(wav);
    ASSERT_GT(samples.size(), 44100u) << "less than a quarter of a second written";
    int nonZero = 0;
    for (char c : samples)
        nonZero += c != 0;
    EXPECT_GT(nonZero, static_cast<int>(samples.size() / 4));
}

TEST(Player, WithoutASoundDeviceSaysOneLineOfItsOwn) {
    const std::string dir = workDir("nosound");
    ASSERT_TRUE(e2e::makeMusic(dir, 3));
    write(dir + "/scene.xml", quadScene(staticCamera(1)));
    const run_result r = play(dir, "scene.xml", 60, "SDL_AUDIODRIVER=alsa AUDIODEV=hw:99");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("No sound device ("), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("ALSA lib"), std::string::npos) << r.err;
}
