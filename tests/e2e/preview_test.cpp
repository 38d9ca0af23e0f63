// The real preview binary, run end to end on the test display and driven by key presses
// through the X server; checked through its window title and the pixels of its window.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_files.h"

namespace {

using clock_type = std::chrono::steady_clock;

using e2e::dataDir;
using e2e::output;
using e2e::slurp;
using e2e::waitForText;

void write(const std::string& path, const std::string& text) {
    // Through a second name and a rename, as editors save: never seen half written.
    std::ofstream(path + ".new", std::ios::binary) << text;
    std::rename((path + ".new").c_str(), path.c_str());
}

std::string workDir(const std::string& name) {
    return e2e::workDir("preview_" + name);
}

struct rgb {
    int r = 0, g = 0, b = 0;
};

// A binary PPM as ImageMagick and the reference drawer write it.
struct image {
    int width = 0, height = 0;
    std::string pixels; // 3 bytes a pixel, top row first

    rgb at(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return {static_cast<unsigned char>(pixels[i]), static_cast<unsigned char>(pixels[i + 1]),
                static_cast<unsigned char>(pixels[i + 2])};
    }
    rgb centre() const { return at(width / 2, height / 2); }
};

image readPpm(const std::string& bytes) {
    image im;
    std::istringstream in(bytes);
    std::string magic;
    int maxval = 0;
    in >> magic >> im.width >> im.height >> maxval;
    in.get();
    if (magic != "P6" || maxval != 255 || im.width <= 0 || im.height <= 0) return image{};
    im.pixels.assign(static_cast<std::size_t>(im.width) * im.height * 3, '\0');
    in.read(im.pixels.data(), static_cast<std::streamsize>(im.pixels.size()));
    if (in.gcount() != static_cast<std::streamsize>(im.pixels.size())) return image{};
    return im;
}

// One kestrine-preview process in dir, stdin from /dev/null, output in out.txt and err.txt; the
// whole process group goes with the object.
class preview {
public:
    preview(const std::string& dir, const std::string& args, const std::string& env = "")
        : dir(dir), process("cd '" + dir + "' && exec env " + env + " '" KESTRINE_PREVIEW_BIN "' " +
                            args + " </dev/null >out.txt 2>err.txt") {}

    // Waits for the window, whose title starts with the scene file's name.
    bool find(const std::string& file) {
        id = output("timeout 60 xdotool search --sync --name '^" + file + " [|]' 2>/dev/null");
        id = id.substr(0, id.find('\n'));
        return !id.empty();
    }
    std::string title() const {
        std::string t = output("xdotool getwindowname " + id + " 2>/dev/null");
        if (!t.empty() && t.back() == '\n') t.pop_back();
        return t;
    }
    // Scene time shown in the title, or -1.
    double time() const {
        static const std::regex seconds(" [|] ([0-9]+\\.[0-9]{2}) s [|] ");
        std::smatch m;
        const std::string t = title();
        return std::regex_search(t, m, seconds) ? std::stod(m[1]) : -1.0;
    }
    // Polls the title until it holds `text`. The title changes once its frame is on screen.
    bool waitTitle(const std::string& text) const {
        return e2e::waitFor([&] { return title().find(text) != std::string::npos; });
    }
    // Waits for a frame presented after this call: the title's time moves on with each.
    bool waitNewFrame() const {
        const std::string now = title();
        return e2e::waitFor([&] { return title() != now; });
    }
    void keys(const std::string& names) const {
        output("xdotool windowfocus --sync " + id + " key --delay 60 " + names + " 2>/dev/null");
    }
    image shot() const {
        return readPpm(output("import -window " + id + " -depth 8 ppm:- 2>/dev/null"));
    }
    // Exit status once the process ends, within a minute; -1 if it does not.
    int status() {
        const int raw = process.wait(60.0);
        if (raw == -1) return -1;
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
    std::string out() const { return slurp(dir + "/out.txt"); }
    std::string err() const { return slurp(dir + "/err.txt"); }

private:
    std::string dir;
    e2e::child process;
    std::string id;
};

// A quad of the given colour filling most of the window, in front of the given cameras; the
// shader files are named as `vertex` and `fragment`.
std::string quadScene(const std::string& colour, const std::string& cameras,
                      const std::string& fragment = dataDir() + "/flat.frag") {
    return "<scene>\n<shader name=\"flat\" vertex=\"" + dataDir() + "/flat.vert\" fragment=\"" +
           fragment + "\"/>\n<mesh name=\"quad\" filename=\"" + dataDir() + "/quad.obj\"/>\n" +
           cameras + "\n<group><models><model name=\"quad\" shader=\"flat\" texture=\"\" " +
           colour + "/></models></group>\n</scene>\n";
}

const char* const kRed = R"(R="1" G="0" B="0")";
const char* const kGreen = R"(R="0" G="1" B="0")";
const char* const kBlue = R"(R="0" G="0" B="1")";

// Two static cameras close to the quad: 0 to 20 s, then 20 to 600 s.
const char* const kTwoCameras =
    R"(<camera start="0" end="20" eye_x="0" eye_y="0" eye_z="1" up_x="0" up_y="1" up_z="0" look_x="0" look_y="0" look_z="0"/>
<camera start="20" end="600" eye_x="0" eye_y="0" eye_z="1.2" up_x="0" up_y="1" up_z="0" look_x="0" look_y="0" look_z="0"/>)";

bool near(rgb c, int r, int g, int b) {
    return std::abs(c.r - r) <= 8 && std::abs(c.g - g) <= 8 && std::abs(c.b - b) <= 8;
}

// Pixels that differ by more than `tolerance` in a channel.
int differing(const image& a, const image& b, int tolerance) {
    if (a.width != b.width || a.height != b.height) return -1;
    int n = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const rgb p = a.at(x, y), q = b.at(x, y);
            n += std::abs(p.r - q.r) > tolerance || std::abs(p.g - q.g) > tolerance ||
                 std::abs(p.b - q.b) > tolerance;
        }
    return n;
}

const char* const kQuiet = "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null";

} // namespace

TEST(Preview, StartsAtTheGivenSecondAndEscapeEndsWithZero) {
    const std::string dir = workDir("start");
    write(dir + "/start.xml", quadScene(kRed, kTwoCameras));
    preview p(dir, "start.xml --at 30 --size 320x240 --no-overlay", kQuiet);
    ASSERT_TRUE(p.find("start.xml"));
    ASSERT_TRUE(p.waitTitle("| camera 2"));
    const double t = p.time();
    EXPECT_GE(t, 30.0);
    EXPECT_LT(t, 40.0);
    // The projection follows the window: a 320x240 window, the quad in its middle.
    const image im = p.shot();
    ASSERT_EQ(im.width, 320);
    ASSERT_EQ(im.height, 240);
    EXPECT_TRUE(near(im.centre(), 255, 0, 0));
    EXPECT_TRUE(near(im.at(2, 2), 0, 0, 0));
    p.keys("Escape");
    EXPECT_EQ(p.status(), 0) << p.err();
    EXPECT_EQ(p.out().rfind("a carregar :start.xml\n", 0), 0u) << p.out();
}

TEST(Preview, PauseStopsTimeAndPictureAndSeeksAreExact) {
    const std::string dir = workDir("pause");
    write(dir + "/pause.xml", quadScene(kRed, kTwoCameras));
    preview p(dir, "pause.xml --at 2 --size 160x120 --no-overlay", kQuiet);
    ASSERT_TRUE(p.find("pause.xml"));
    p.keys("space");
    ASSERT_TRUE(p.waitTitle("| paused"));
    const double stopped = p.time();
    const image before = p.shot();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(p.time(), stopped);
    const image after = p.shot();
    ASSERT_GT(before.width, 0);
    EXPECT_EQ(differing(before, after, 0), 0);

    // Each step from a paused time is exact; the timeline starts at 0.
    const struct {
        const char* keys;
        const char* title;
    } steps[] = {{"Home", "0.00 s | camera 1 | paused"},
                 {"Right", "1.00 s"},
                 {"shift+Right", "11.00 s"},
                 {"Right Right", "13.00 s"},
                 {"Left", "12.00 s"},
                 {"shift+Right shift+Right", "32.00 s"},
                 {"shift+Left", "22.00 s | camera 2"},
                 {"shift+Left shift+Left", "2.00 s"},
                 {"Left Left Left", "0.00 s | camera 1"}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.keys);
        p.keys(s.keys);
        EXPECT_TRUE(p.waitTitle("| " + std::string(s.title))) << p.title();
    }

    p.keys("space");
    ASSERT_TRUE(p.waitTitle("| camera 1"));
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(p.title().find("paused"), std::string::npos);
    EXPECT_GT(p.time(), 0.3);
    p.keys("Escape");
    EXPECT_EQ(p.status(), 0) << p.err();
}

TEST(Preview, LoopWrapsFromBToA) {
    const std::string dir = workDir("loop");
    write(dir + "/loop.xml", quadScene(kRed, kTwoCameras));
    {
        preview p(dir, "loop.xml --loop 1:2 --at 1.5 --size 160x120", kQuiet);
        ASSERT_TRUE(p.find("loop.xml"));
        ASSERT_TRUE(p.waitTitle("| loop 1-2"));
        // Titles until time has gone back at least once: always inside the loop.
        double last = -1.0;
        int wraps = 0;
        const bool wrapped = e2e::waitFor([&] {
            const double t = p.time();
            if (t < 0) return false;
            EXPECT_GE(t, 1.0);
            EXPECT_LE(t, 2.0);
            wraps += last >= 0 && t < last;
            last = t;
            return wraps >= 1;
        });
        EXPECT_TRUE(wrapped);
        // L stops looping: time runs on past B.
        p.keys("l");
        EXPECT_TRUE(e2e::waitFor([&] {
            return p.title().find("| loop") == std::string::npos && p.time() > 2.0;
        })) << p.title();
        p.keys("Escape");
        EXPECT_EQ(p.status(), 0) << p.err();
    }
    // Without --loop, L loops over the window of the camera that films.
    preview p(dir, "loop.xml --at 25 --size 160x120", kQuiet);
    ASSERT_TRUE(p.find("loop.xml"));
    p.keys("l");
    EXPECT_TRUE(p.waitTitle("| camera 2 | loop 20-600")) << p.title();
    p.keys("Escape");
    EXPECT_EQ(p.status(), 0) << p.err();
}

TEST(Preview, ReloadsWhenTheSceneOrAFileItNamesChanges) {
    const std::string dir = workDir("reload");
    const std::string file = dir + "/reload.xml";
    write(file, quadScene(kRed, kTwoCameras));
    preview p(dir, "reload.xml --size 160x120 --no-overlay", kQuiet);
    ASSERT_TRUE(p.find("reload.xml"));
    ASSERT_TRUE(near(p.shot().centre(), 255, 0, 0));

    auto shows = [&](int r, int g, int b) {
        return e2e::waitFor([&] { return near(p.shot().centre(), r, g, b); });
    };
    write(file, quadScene(kGreen, kTwoCameras));
    EXPECT_TRUE(shows(0, 255, 0));

    // A save with a load error, after the mesh and a texture were made: a message, and the old
    // scene goes on playing, its picture intact.
    write(file, "<scene>\n<texture name=\"t\" filename=\"" KESTRINE_TEST_DATA
                "/dds/dxt1_64x64_full.dds\"/>\n<mesh name=\"quad\" filename=\"" +
                    dataDir() +
                    "/quad.obj\"/>\n<group>\n<translate X=\"1\" Y=\"2\"/>\n</group>\n</scene>\n");
    ASSERT_TRUE(waitForText(dir + "/err.txt", "reload.xml: not reloaded")) << p.err();
    EXPECT_NE(p.err().find("reload.xml:5: error: translate: attribute \"Z\" is missing\n"),
              std::string::npos)
        << p.err();
    ASSERT_TRUE(p.waitNewFrame());
    EXPECT_TRUE(near(p.shot().centre(), 0, 255, 0));

    // The next save is tried again.
    write(file, quadScene(kBlue, kTwoCameras));
    EXPECT_TRUE(shows(0, 0, 255));

    // A file the scene names: a fragment shader that ignores the colour.
    const std::string frag = dir + "/yellow.frag";
    write(frag, slurp(dataDir() + "/flat.frag"));
    write(file, quadScene(kBlue, kTwoCameras, frag));
    EXPECT_TRUE(shows(0, 0, 255));
    std::string source = slurp(frag);
    source.replace(source.find("objectColor + "), 14, "vec3(1, 1, 0) + ");
    write(frag, source);
    EXPECT_TRUE(shows(255, 255, 0));

    p.keys("Escape");
    EXPECT_EQ(p.status(), 0) << p.err();
    EXPECT_NE(p.out().find("reload.xml: reloaded at "), std::string::npos);
}

TEST(Preview, ASaveThatBreaksAShaderKeepsThePictureAndSaysSo) {
    const std::string dir = workDir("broken_shader");
    const std::string file = dir + "/shader.xml", frag = dir + "/shader.frag";
    const std::string good = slurp(dataDir() + "/flat.frag");
    write(frag, good);
    write(file, quadScene(kRed, kTwoCameras, frag));
    preview p(dir, "shader.xml --size 160x120 --no-overlay", kQuiet);
    ASSERT_TRUE(p.find("shader.xml"));
    ASSERT_TRUE(e2e::waitFor([&] { return near(p.shot().centre(), 255, 0, 0); }));

    write(frag, good.substr(0, good.rfind('}')) + "  this is not GLSL\n}\n");
    ASSERT_TRUE(p.waitTitle("| reload failed")) << p.title();
    EXPECT_NE(
        p.err().find("shader.xml:2: error: shader \"flat\": \"" + frag + "\" does not compile:\n"),
        std::string::npos)
        << p.err();
    EXPECT_TRUE(near(p.shot().centre(), 255, 0, 0));

    write(frag, good);
    write(file, quadScene(kGreen, kTwoCameras, frag));
    EXPECT_TRUE(e2e::waitFor([&] { return near(p.shot().centre(), 0, 255, 0); }));
    EXPECT_TRUE(e2e::waitFor([&] { return p.title().find("failed") == std::string::npos; }));
    p.keys("Escape");
    EXPECT_EQ(p.status(), 0) << p.err();
}

TEST(Preview, SeesASaveMadeWhileItReloads) {
    const std::string dir = workDir("midreload");
    const std::string file = dir + "/mid.xml", frag = dir + "/mid.frag";
    write(frag, slurp(dataDir() + "/flat.frag"));
    write(file, quadScene(kRed, kTwoCameras, frag));
    // Each file a load opens is announced, then a pause: time to save one already read.
    preview p(dir, "mid.xml --size 160x120 --no-overlay",
              std::string(kQuiet) + " KESTRINE_PREVIEW_LOAD_PAUSE=800");
    ASSERT_TRUE(p.find("mid.xml"));

    write(file, quadScene(kGreen, kTwoCameras, frag));
    // The reload has read the shader sources and is about to open the mesh.
    ASSERT_TRUE(e2e::waitFor([&] {
        const std::string out = p.out();
        const std::size_t reloading =
            out.find("kestrine-preview: opening", out.find("a carregar", 1));
        return reloading != std::string::npos &&
               out.find("opening " + dataDir() + "/quad.obj", reloading) != std::string::npos;
    })) << p.out();
    std::string source = slurp(frag);
    source.replace(source.find("objectColor + "), 14, "vec3(1, 1, 0) + ");
    write(frag, source);
    // The green reload shows the old shader; the save made during it is reloaded after.
    EXPECT_TRUE(e2e::waitFor([&] { return near(p.shot().centre(), 255, 255, 0); }));
    p.keys("Escape");
    EXPECT_EQ(p.status(), 0) << p.err();
}

TEST(Preview, AfterASeekThePictureIsThe60FpsFrameAtThatTime) {
    const std::string dir = workDir("seek");
    // A camera circling the quad once every 4 s from 10 to 14 s, looking at it, while the quad
    // turns: a frame drawn from any other state than the frame 1/60 s before shows.
    const std::string cameras =
        R"(<camera start="0" end="10" eye_x="0" eye_y="0" eye_z="2" up_x="0" up_y="1" up_z="0" look_x="0" look_y="0" look_z="0"/>
<camera start="10" end="14" look_x="0" look_y="0" look_z="0"><p X="0" Y="0.3" Z="2"/><p X="2" Y="0.3" Z="0"/><p X="0" Y="0.3" Z="-2"/><p X="-2" Y="0.3" Z="0"/></camera>)";
    std::string scene = quadScene(kRed, cameras);
    scene.replace(scene.find("<group>"), 7,
                  R"(<group><rotate time="7" angle="0" axisX="0" axisY="1" axisZ="0"/>)");
    write(dir + "/seek.xml", scene);

    preview p(dir, "seek.xml --size 200x150 --no-overlay", kQuiet);
    ASSERT_TRUE(p.find("seek.xml"));
    // Paused first, so that every step is exact: 0, then 12 s.
    p.keys("space Home shift+Right Right Right");
    ASSERT_TRUE(p.waitTitle("| 12.00 s | camera 2 | paused")) << p.title();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const image shown = p.shot();
    p.keys("Escape");
    EXPECT_EQ(p.status(), 0) << p.err();

    // The frame kestrine-capture writes for time 12 s at the given rate.
    auto reference = [&](int fps) {
        const std::string out = "capture" + std::to_string(fps);
        const std::string frame = std::to_string(12 * fps);
        const std::string cmd = "cd '" + dir + "' && '" KESTRINE_CAPTURE_BIN "' seek.xml --out " +
                                out + " --size 200x150 --fps " + std::to_string(fps) +
                                " --frames " + frame + ":" + frame + " </dev/null >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%06d.png", 12 * fps);
        return readPpm(
            output("convert '" + dir + "/" + out + name + "' -depth 8 ppm:- 2>/dev/null"));
    };
    const image captured = reference(60);
    ASSERT_EQ(captured.width, 200);
    ASSERT_EQ(shown.width, 200);
    int red = 0;
    for (int y = 0; y < captured.height; ++y)
        for (int x = 0; x < captured.width; ++x)
            red += captured.at(x, y).r > 128;
    EXPECT_GT(red, 200) << "the quad is in view";
    EXPECT_EQ(differing(shown, captured, 1), 0);
    // The test can tell: at 30 fps the frame before is 1/30 s back, and the picture differs.
    EXPECT_GT(differing(shown, reference(30), 1), 20);
}

TEST(Preview, WrongCommandLinesAndScenesEndWithAMessage) {
    const std::string dir = workDir("wrong");
    const struct {
        const char* args;
        int status;
        const char* message;
    } cases[] = {
        {"", 2, "kestrine-preview: no scene file given\nusage: kestrine-preview SCENE.xml"},
        {"a.xml --at soon", 2, "--at: not a time in seconds from 0 to 1000000: \"soon\""},
        {"a.xml --loop 3:1", 2, "--loop: not A:B in seconds with A before B: \"3:1\""},
        {"missing.xml", 1, "missing.xml: error: cannot read the scene file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        preview p(dir, c.args, kQuiet);
        EXPECT_EQ(p.status(), c.status);
        EXPECT_NE(p.err().find(c.message), std::string::npos) << p.err();
    }
}

TEST(Preview, MusicPausesWithThePicture) {
    const std::string dir = workDir("music");
    ASSERT_TRUE(e2e::makeMusic(dir, 30));
    write(dir + "/music.xml", quadScene(kRed, kTwoCameras));
    const std::string raw = dir + "/out.raw";
    preview p(dir, "music.xml --size 160x120",
              "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE='" + raw + "'");
    ASSERT_TRUE(p.find("music.xml"));
    // Waits by the sound written, not by the clock: the device writes less on a busy machine.
    const std::size_t second = 44100 * 4;
    auto written = [&] { return slurp(raw).size(); };
    auto writes = [&](std::size_t bytes) {
        const std::size_t from = written();
        return e2e::waitFor([&] { return written() >= from + bytes; });
    };
    ASSERT_TRUE(writes(second / 2));
    p.keys("space");
    ASSERT_TRUE(p.waitTitle("| paused"));
    ASSERT_TRUE(writes(second * 3 / 2));
    p.keys("space");
    ASSERT_TRUE(e2e::waitFor([&] { return p.title().find("paused") == std::string::npos; }));
    ASSERT_TRUE(writes(second * 7 / 10));
    p.keys("Escape");
    EXPECT_EQ(p.status(), 0) << p.err();

    // Tone, then at least a second of silence, then tone again.
    const std::string bytes = slurp(raw);
    std::vector<bool> loud; // per 10 ms of stereo 16-bit samples
    const std::size_t block = 441 * 4;
    for (std::size_t at = 0; at + block <= bytes.size(); at += block) {
        int peak = 0;
        for (std::size_t i = at; i + 1 < at + block; i += 2)
            peak = std::max(
                peak,
                std::abs(int(static_cast<short>(static_cast<unsigned char>(bytes[i]) |
                                                static_cast<unsigned char>(bytes[i + 1]) << 8))));
        loud.push_back(peak > 1000);
    }
    std::size_t first = 0;
    while (first < loud.size() && !loud[first])
        ++first;
    std::size_t gap = first;
    while (gap < loud.size() && loud[gap])
        ++gap;
    std::size_t again = gap;
    while (again < loud.size() && !loud[again])
        ++again;
    ASSERT_LT(again, loud.size()) << "no tone after the pause";
    EXPECT_GE(again - gap, 100u) << "the pause was not silent for a second";
}
