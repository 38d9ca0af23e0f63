// Every way a capture's output can fail ends it within seconds, with a message naming the
// problem and status 1, leaving only whole frames and no video that looks finished: a full
// disk, a file-size limit, a read-only or vanished folder, and an ffmpeg that is missing,
// killed, or stalls and then dies. And an interrupt ends it while ffmpeg takes nothing.
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/e2e/e2e_files.h"
#include "tests/png_read.h"

namespace {

using e2e::child;
using e2e::slurp;
using e2e::waitForText;
using e2e::write;

// A file system mounted for one case and unmounted when it ends, pass or fail.
class mounted {
public:
    mounted(const std::string& at, const char* options) : at(at) {
        mkdir(at.c_str(), 0755);
        done = mount("tmpfs", at.c_str(), "tmpfs", 0, options) == 0;
    }
    ~mounted() {
        if (done) umount2(at.c_str(), MNT_DETACH);
    }
    mounted(const mounted&) = delete;
    mounted& operator=(const mounted&) = delete;
    bool ok() const { return done; }

private:
    std::string at;
    bool done = false;
};

// What the test does once the capture has shown frame 10.
enum class meanwhile { nothing, remove_folder, kill_encoder };

struct failure_case {
    const char* name;
    const char* scene;  // "demo" (frames that fill a disk quickly) or "quad"
    std::string output; // the capture's output arguments, relative to the case's folder
    const char* mount;  // tmpfs options for the output's top folder, or none
    std::string before; // a shell command before the program's: a limit
    std::string env;    // the program's environment
    meanwhile then;
    const char* said; // in the message
};

const bool kRoot = geteuid() == 0;

// A red quad filmed for ten minutes, and the frames of the bundled demo, whose textures make
// large PNG files.
std::string sceneArguments(const std::string& dir, const char* scene) {
    if (std::string(scene) == "demo") return "demo.xml --frames 1200:3000";
    const std::string d = e2e::dataDir();
    write(dir + "/scene.xml",
          "<scene>\n<shader name=\"flat\" vertex=\"" + d + "/flat.vert\" fragment=\"" + d +
              "/flat.frag\"/>\n<mesh name=\"quad\" filename=\"" + d +
              "/quad.obj\"/>\n<camera start=\"0\" end=\"600\" eye_x=\"0\" eye_y=\"0\" "
              "eye_z=\"3\" up_x=\"0\" up_y=\"1\" up_z=\"0\" look_x=\"0\" look_y=\"0\" "
              "look_z=\"0\"/>\n<group><models><model name=\"quad\" shader=\"flat\" texture=\"\" "
              "R=\"1\" G=\"0\" B=\"0\"/></models></group>\n</scene>\n");
    return "scene.xml";
}

// What is wrong with the frames left in out: anything that is not a whole PNG file, or a gap
// in the numbers from `first` on. Empty when nothing is.
std::string framesLeftWrong(const std::string& out, long first) {
    std::string wrong;
    const std::string names = e2e::output("ls -A '" + out + "' 2>/dev/null");
    std::size_t start = 0;
    for (long k = first;; ++k) {
        const std::size_t end = names.find('\n', start);
        if (end == std::string::npos) break;
        const std::string name = names.substr(start, end - start);
        start = end + 1;
        char expected[32];
        std::snprintf(expected, sizeof expected, "frame_%06ld.png", k);
        rgb_image image;
        std::string why;
        if (name != expected)
            wrong += name + " where " + expected + " was expected; ";
        else if (!readPng(out + "/" + name, image, why))
            wrong += name + ": " + why + "; ";
    }
    return wrong;
}

// A stand-in for ffmpeg that takes one 320x240 frame, then stops reading until the capture
// has handed on frame 5 (its queue and the pipe then full), then dies with status 3, leaving
// a partial file at the video's path.
void stallingEncoder(const std::string& dir) {
    mkdir((dir + "/stalling").c_str(), 0755);
    // It runs in the capture's folder, beside err.txt.
    write(dir + "/stalling/ffmpeg", R"(#!/bin/sh
for a; do video=$a; done
echo partial > "$video"
head -c 230400 >/dev/null
i=0
while ! grep -q 'frame 5/' err.txt && [ $i -lt 1200 ]; do
    sleep 0.05; i=$((i + 1))
done
exit 3
)");
    chmod((dir + "/stalling/ffmpeg").c_str(), 0755);
}

} // namespace

TEST(CaptureFails, EndsWithAMessageAndLeavesOnlyWholeFrames) {
    const std::string dir = e2e::workDir("capture_failures");
    std::system(("ln -s '" KESTRINE_DEMO_DIR "'/* '" + dir + "/'").c_str());
    stallingEncoder(dir);
    mkdir((dir + "/empty").c_str(), 0755);

    const std::string path = "PATH='" + dir;
    std::vector<failure_case> cases = {
        // A limit of 8 KiB (16 blocks of dash's 512 bytes): the first frame is larger.
        {"file-size limit", "demo", "--out limited", nullptr, "ulimit -f 16 &&", "",
         meanwhile::nothing, "(File too large)"},
        {"folder removed", "quad", "--out vanishing", nullptr, "", "", meanwhile::remove_folder,
         "(No such file or directory)"},
        {"ffmpeg missing", "quad", "--video missing.mp4", nullptr, "", path + "/empty'",
         meanwhile::nothing, "cannot start ffmpeg (No such file or directory)"},
        {"ffmpeg killed", "quad", "--video killed.mp4", nullptr, "", "", meanwhile::kill_encoder,
         "ffmpeg stopped taking frames (Broken pipe); ffmpeg ended by signal 9"},
        {"ffmpeg stalls, then dies", "quad", "--video stalled.mp4", nullptr, "",
         path + "/stalling':\"$PATH\"", meanwhile::nothing,
         "ffmpeg stopped taking frames (Broken pipe); ffmpeg exited with status 3"},
    };
    if (kRoot) {
        cases.push_back({"full disk", "demo", "--out full/frames", "size=1m", "", "",
                         meanwhile::nothing, "(No space left on device)"});
        cases.push_back({"read-only folder", "demo", "--out read-only", "ro", "", "",
                         meanwhile::nothing, "(Read-only file system)"});
    } else {
        std::printf("not root: a full disk is tried as a file-size limit only, and a read-only "
                    "folder as one without write permission\n");
        mkdir((dir + "/read-only").c_str(), 0555);
        cases.push_back({"folder without write permission", "demo", "--out read-only", nullptr, "",
                         "", meanwhile::nothing, "(Permission denied)"});
    }

    for (const failure_case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = c.output.substr(c.output.find(' ') + 1);
        std::optional<mounted> disk;
        if (c.mount) disk.emplace(dir + "/" + out.substr(0, out.find('/')), c.mount);
        ASSERT_TRUE(!disk || disk->ok()) << "cannot mount a tmpfs for this case";
        std::remove((dir + "/err.txt").c_str());
        const std::string args = sceneArguments(dir, c.scene) + " " + c.output + " --size 320x240";
        child p("cd '" + dir + "' && " + c.before + " exec env " + c.env +
                " '" KESTRINE_CAPTURE_BIN "' " + args + " >out.txt 2>err.txt");
        if (c.then != meanwhile::nothing) {
            ASSERT_TRUE(waitForText(dir + "/err.txt", "frame 10/")) << slurp(dir + "/err.txt");
            const std::string act =
                c.then == meanwhile::remove_folder
                    // Moved away first: rm -rf alone races the frames still being written.
                    ? "mv '" + dir + "/" + out + "' '" + dir + "/gone' && rm -rf '" + dir + "/gone'"
                    : "pkill -KILL -x -P " + std::to_string(p.pid()) + " ffmpeg";
            std::system(act.c_str());
        }
        const int raw = p.wait(60.0);
        const std::string err = slurp(dir + "/err.txt");
        ASSERT_NE(raw, -1) << "still running after 60 s: " << err;
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw << ": " << err;
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
        const std::size_t said = err.rfind("kestrine-capture: ");
        std::printf("%s: %s", c.name, said == std::string::npos ? "\n" : err.c_str() + said);
        if (c.output.rfind("--out", 0) == 0) {
            EXPECT_EQ(framesLeftWrong(dir + "/" + out, c.scene == std::string("demo") ? 1200 : 0),
                      "");
        } else {
            // No video that looks finished; where the encoder had started, the message says
            // that its unfinished video was removed.
            EXPECT_NE(access((dir + "/" + out).c_str(), F_OK), 0) << out << " is still there";
            if (c.env.find("empty") == std::string::npos)
                EXPECT_NE(err.find("the unfinished video"), std::string::npos) << err;
        }
    }
}

// One Ctrl+C ends a capture whose encoder takes nothing and never exits (it ignores the stop
// signals, and a child of its own sleeps on): within 2 s, by the signal, with the interrupt's
// message; the encoder's process group is killed, and its unfinished video removed.
TEST(CaptureFails, OneInterruptEndsItWhileTheEncoderTakesNothing) {
    const std::string dir = e2e::workDir("capture_interrupt");
    sceneArguments(dir, "quad");
    mkdir((dir + "/deaf").c_str(), 0755);
    write(dir + "/deaf/ffmpeg", R"(#!/bin/sh
trap '' INT TERM HUP
for a; do video=$a; done
echo partial > "$video"
sleep 600
)");
    chmod((dir + "/deaf/ffmpeg").c_str(), 0755);
    // A session of its own (the terminal's), so that whatever it leaves can be found.
    child p("cd '" + dir + "' && PATH='" + dir + "/deaf':\"$PATH\" exec '" KESTRINE_CAPTURE_BIN
            "' scene.xml --video deaf.mp4 --size 320x240 2>err.txt",
            true);
    // By frame 4 the encoder holds the first frame's write, and the queue fills behind it.
    ASSERT_TRUE(waitForText(dir + "/err.txt", "frame 4/")) << slurp(dir + "/err.txt");
    const auto sent = e2e::test_clock::now();
    p.signal(SIGINT);
    const int raw = p.wait(30.0);
    const double took = std::chrono::duration<double>(e2e::test_clock::now() - sent).count();
    const std::string err = slurp(dir + "/err.txt");
    ASSERT_NE(raw, -1) << "still running 30 s after one SIGINT: " << err;
    EXPECT_LT(took, 2.0) << err;
    EXPECT_TRUE(WIFSIGNALED(raw) && WTERMSIG(raw) == SIGINT) << raw << ": " << err;
    EXPECT_NE(err.find("kestrine-capture: interrupted: 0 frame(s) written; frame 0 was not; go on "
                       "with --frames 0:"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("the unfinished video deaf.mp4 was removed"), std::string::npos) << err;
    EXPECT_NE(access((dir + "/deaf.mp4").c_str(), F_OK), 0);
    const std::string session = "pgrep -s " + std::to_string(p.pid()) + " | grep -v '^" +
                                std::to_string(p.pid()) + "$'";
    EXPECT_TRUE(e2e::waitFor([&] { return e2e::output(session).empty(); }, 10.0))
        << e2e::output("ps -o pid,stat,args -s " + std::to_string(p.pid()));
}
