// The studio's edits end to end: the real preview under the test display, driven with the real
// mouse and keys through xdotool, on a copy of the bundled demo; checked through the scene
// file's bytes, the layout the studio writes, and frames against kestrine-capture's.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "preview_window.h"

namespace {

using e2e::output;
using e2e::slurp;

const char* const kQuiet = "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? "" : text.replace(at, from.size(), to);
}

// Through a second name and a rename, as editors save.
void save(const std::string& path, const std::string& text) {
    e2e::write(path + ".new", text);
    std::rename((path + ".new").c_str(), path.c_str());
}

using bar = e2e::layout::bar;
using e2e::layout;
using e2e::readLayout;

// One kestrine-preview in dir with the panels shown, paused; its process group goes with it.
class studio {
public:
    studio(const std::string& dir, const std::string& scene)
        : dir(dir), layoutFile(dir + "/layout.txt"),
          process("cd '" + dir + "' && exec env " + kQuiet +
                  " KESTRINE_PREVIEW_LAYOUT=" + layoutFile + " '" KESTRINE_PREVIEW_BIN "' " +
                  scene + " --size 1280x720 </dev/null >out.txt 2>err.txt") {
        id = output("timeout 60 xdotool search --sync --name '^" + scene + " [|]' 2>/dev/null");
        id = id.substr(0, id.find('\n'));
    }
    // Once the window is there: paused, and the layout as the test needs it.
    bool pause(const std::function<bool(const layout&)>& ok) {
        if (id.empty()) return false;
        xdo("key space");
        return waitTitle("| paused") && wait(ok);
    }
    std::string title() const { return output("xdotool getwindowname " + id + " 2>/dev/null"); }
    bool waitTitle(const std::string& text) const {
        return e2e::waitFor([&] { return title().find(text) != std::string::npos; });
    }
    void xdo(const std::string& actions) const {
        output("xdotool windowfocus --sync " + id + " " + actions + " 2>/dev/null");
    }
    std::string at(double x, double y) const {
        return "mousemove --window " + id + " --sync " + std::to_string(int(x)) + " " +
               std::to_string(int(y)) + " ";
    }
    // Waits until the layout satisfies ok; the last one read is in l.
    bool wait(const std::function<bool(const layout&)>& ok) {
        return e2e::waitFor([&] {
            l = readLayout(layoutFile);
            return ok(l);
        });
    }
    // Paused, at a whole second.
    void seek(int seconds) {
        std::string keys = "Home";
        for (int i = 0; i < seconds / 10; ++i)
            keys += " shift+Right";
        for (int i = 0; i < seconds % 10; ++i)
            keys += " Right";
        xdo("key --delay 60 " + keys);
        EXPECT_TRUE(waitTitle("| " + std::to_string(seconds) + ".00 s |")) << title();
    }
    int reloads() const {
        const std::string out = slurp(dir + "/out.txt");
        int n = 0;
        for (std::size_t at = 0; (at = out.find(": reloaded at", at)) != std::string::npos; ++at)
            ++n;
        return n;
    }
    // Presses on x, y, moves to toX in a few steps, each seen, and lets go.
    void drag(double x, double y, double toX, const std::function<void()>& held = {}) {
        xdo(at(x, y) + "mousedown 1");
        wait([](const layout& l) { return l.drag != "none"; });
        for (int i = 1; i <= 4; ++i)
            xdo(at(x + (toX - x) * i / 4, y));
        if (held) held();
        xdo("mouseup 1");
        wait([](const layout& l) { return l.drag == "none"; });
    }
    // The window's pixels without the panels or the pointer's tooltip, at a paused time.
    std::string frameAt(int seconds) {
        seek(seconds);
        output("xdotool mousemove 0 1000");
        xdo("key Tab");
        EXPECT_TRUE(wait([](const layout& l) { return !l.shown; }));
        std::string shot, again;
        e2e::waitFor([&] {
            again = output("import -window " + id + " -depth 8 rgb:- 2>/dev/null");
            const bool same = again.size() == 1280u * 720 * 3 && again == shot;
            shot = again;
            return same;
        });
        xdo("key Tab");
        EXPECT_TRUE(wait([](const layout& l) { return l.shown; }));
        return shot;
    }

    std::string dir, layoutFile;
    layout l;

private:
    e2e::child process;
    std::string id;
};

// kestrine-capture's frame of the scene file at whole second t, as raw RGB.
std::string captured(const std::string& dir, const std::string& scene, int t) {
    const std::string frame = std::to_string(t * 60);
    const std::string cmd = "cd '" + dir + "' && rm -rf cap && '" KESTRINE_CAPTURE_BIN "' " +
                            scene + " --out cap --size 1280x720 --fps 60 --frames " + frame + ":" +
                            frame + " </dev/null >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    char name[32];
    std::snprintf(name, sizeof name, "/cap/frame_%06d.png", t * 60);
    return output("convert '" + dir + name + "' -depth 8 rgb:- 2>/dev/null");
}

// Pixels whose channels differ by more than one.
int differing(const std::string& a, const std::string& b) {
    if (a.size() != b.size() || a.empty()) return -1;
    int n = 0;
    for (std::size_t i = 0; i < a.size(); i += 3)
        n += std::abs(a[i] - b[i]) > 1 || std::abs(a[i + 1] - b[i + 1]) > 1 ||
             std::abs(a[i + 2] - b[i + 2]) > 1;
    return n;
}

bool ready(const layout& l) {
    return l.music == "ready" && l.bars.size() > 10;
}

} // namespace

TEST(StudioEdit, DraggingCameraThreesLeftEdgeMovesItsStartAndUndoRestoresTheBytes) {
    const std::string dir = e2e::demoCopy("studio_edit_camera3");
    const std::string file = dir + "/demo.xml", original = slurp(file);
    studio s(dir, "demo.xml");
    ASSERT_TRUE(s.pause(ready));
    const bar b = *s.l.find("camera", 2);
    ASSERT_EQ(b.start, 20.0);
    // Two seconds to the left: camera 3 then films from 18 s, as the later camera wins.
    s.drag(b.x0 + 1, b.y(), b.x0 + 1 - (s.l.xAt(2) - s.l.xAt(0)));
    const std::string edited = replaced(original, "<camera start=\"20\"", "<camera start=\"18\"");
    ASSERT_TRUE(e2e::waitFor([&] { return slurp(file) == edited; })) << s.l.dragStart;
    EXPECT_TRUE(s.wait([](const layout& l) {
        const std::optional<bar> c = l.find("camera", 2);
        return c && c->start == 18 && c->end == 30;
    }));
    ASSERT_TRUE(e2e::waitFor([&] { return s.reloads() >= 1; }));
    const std::string shown = s.frameAt(19);
    EXPECT_NE(s.title().find("| camera 3"), std::string::npos) << s.title();
    EXPECT_EQ(differing(shown, captured(dir, "demo.xml", 19)), 0);
    save(dir + "/original.xml", original);
    EXPECT_GT(differing(shown, captured(dir, "original.xml", 19)), 1000);

    s.xdo("key ctrl+z");
    EXPECT_TRUE(e2e::waitFor([&] { return slurp(file) == original; }));
    EXPECT_TRUE(s.waitTitle("| 18.00 s |")) << "the playhead goes to the edited time";
    s.xdo("key ctrl+shift+z");
    EXPECT_TRUE(e2e::waitFor([&] { return slurp(file) == edited; }));
    s.xdo("key ctrl+z");
    EXPECT_TRUE(e2e::waitFor([&] { return slurp(file) == original; }));
    s.xdo("key ctrl+y");
    EXPECT_TRUE(e2e::waitFor([&] { return slurp(file) == edited; }));
}

TEST(StudioEdit, EachModelHasARowAndABodyDragMovesBothEnds) {
    const std::string dir = e2e::demoCopy("studio_edit_model");
    const std::string file = dir + "/demo.xml", original = slurp(file);
    studio s(dir, "demo.xml");
    ASSERT_TRUE(s.pause(ready));
    // One row a descriptor: the moon's, the torus's and the planet's bars no longer overlap.
    std::set<double> rows;
    for (const bar& m : s.l.bars)
        if (m.kind == "model") rows.insert(m.y0);
    std::size_t models = 0;
    for (std::size_t at = 0; (at = original.find("<model ", at)) != std::string::npos; ++at)
        ++models;
    EXPECT_EQ(rows.size(), models);
    // The moon (12 to 58 s) three seconds later.
    const bar b = *s.l.find("model", 3);
    ASSERT_EQ(b.start, 12.0);
    const double x = s.l.xAt(30);
    s.drag(x, b.y(), x + s.l.xAt(3) - s.l.xAt(0));
    const std::string edited =
        replaced(original, "start=\"12\" end=\"58\"", "start=\"15\" end=\"61\"");
    ASSERT_TRUE(e2e::waitFor([&] { return slurp(file) == edited; }));
    ASSERT_TRUE(e2e::waitFor([&] { return s.reloads() >= 1; }));
    EXPECT_EQ(differing(s.frameAt(13), captured(dir, "demo.xml", 13)), 0);
}

TEST(StudioEdit, APathPointsYTypedInThePropertiesPanelIsWritten) {
    const std::string dir = e2e::demoCopy("studio_edit_properties");
    const std::string file = dir + "/demo.xml", original = slurp(file);
    studio s(dir, "demo.xml");
    ASSERT_TRUE(s.pause(ready));
    // A click on camera 3's bar selects it: its first point is the demo's ninth.
    const bar b = *s.l.find("camera", 2);
    s.xdo(s.at((b.x0 + b.x1) / 2, b.y()) + "click 1");
    double x0, y0, x1, y1;
    ASSERT_TRUE(s.wait([&](const layout& l) {
        for (const std::string& f : l.fields)
            if (std::sscanf(f.c_str(), "point 8 Y %lf %lf %lf %lf", &x0, &y0, &x1, &y1) == 4)
                return true;
        return false;
    }));
    EXPECT_EQ(slurp(file), original) << "a click changes nothing";
    // A Ctrl+click types a value; Space and the digit are the field's, not the preview's.
    s.seek(5);
    // Quick taps, pressed and let go within one frame, as a fast hand does on a slow frame.
    s.xdo(s.at((x0 + x1) / 2, (y0 + y1) / 2) + "keydown ctrl click 1 keyup ctrl");
    ASSERT_TRUE(s.wait([](const layout& l) { return l.keys == "field"; }));
    s.xdo("type 5");
    s.xdo("key space Return");
    EXPECT_TRUE(s.wait([](const layout& l) { return l.keys == "preview"; }));
    const std::string edited =
        replaced(original, "<point X=\"14\" Y=\"3\"", "<point X=\"14\" Y=\"5\"");
    ASSERT_TRUE(e2e::waitFor([&] { return slurp(file) == edited; }));
    EXPECT_NE(s.title().find("| 5.00 s | camera 1 | paused"), std::string::npos) << s.title();
    ASSERT_TRUE(e2e::waitFor([&] { return s.reloads() >= 1; }));
    const std::string shown = s.frameAt(25);
    EXPECT_EQ(differing(shown, captured(dir, "demo.xml", 25)), 0);
}

TEST(StudioEdit, AnEditorsSaveDuringADragIsKeptOrRefusesTheEdit) {
    const struct {
        const char* name;
        std::string from, to; // the editor's change while the bar is dragged
        bool applies;
    } cases[] = {
        {"kept", "<!-- 3. 20-30 s,", "<!-- 3. 18-30 s,", true},
        {"removed", "<camera start=\"20\" end=\"30\">", "</camera>\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = e2e::demoCopy("studio_edit_" + std::string(c.name));
        const std::string file = dir + "/demo.xml";
        // Kept: a comment changed. Removed: camera 3's element, so that the fourth is the third.
        std::string outside = slurp(file);
        const std::size_t from = outside.find(c.from);
        if (c.applies)
            outside.replace(from, c.from.size(), c.to);
        else
            outside.erase(from, outside.find(c.to, from) + c.to.size() - from);
        studio s(dir, "demo.xml");
        ASSERT_TRUE(s.pause(ready));
        const bar b = *s.l.find("camera", 2);
        s.drag(b.x0 + 1, b.y(), b.x0 + 1 - (s.l.xAt(2) - s.l.xAt(0)), [&] {
            save(file, outside);
            EXPECT_TRUE(e2e::waitFor([&] { return s.reloads() >= 1; }));
        });
        if (c.applies) {
            EXPECT_TRUE(e2e::waitFor([&] {
                return slurp(file) ==
                       replaced(outside, "<camera start=\"20\"", "<camera start=\"18\"");
            }));
        } else {
            EXPECT_TRUE(s.wait([](const layout& l) {
                return l.lists("the edit is refused: the start of the <camera> number 3 is \"30\"");
            }));
            EXPECT_EQ(slurp(file), outside);
        }
    }
}

namespace {

// A static camera on the z axis looking at the origin.
std::string camera(int start, int end, int z) {
    return "<camera start=\"" + std::to_string(start) + "\" end=\"" + std::to_string(end) +
           "\" eye_x=\"0\" eye_y=\"0\" eye_z=\"" + std::to_string(z) +
           "\" up_x=\"0\" up_y=\"1\" up_z=\"0\" look_x=\"0\" look_y=\"0\" look_z=\"0\"/>\n";
}

} // namespace

TEST(StudioEdit, AFileThatCannotBeWrittenIsLeftAsItIsAndSaysSo) {
    const std::string dir = e2e::workDir("studio_edit_unwritable");
    const std::string d = e2e::dataDir();
    const std::string scene =
        "<scene>\n<shader name=\"flat\" vertex=\"" + d + "/flat.vert\" fragment=\"" + d +
        "/flat.frag\"/>\n<mesh name=\"quad\" filename=\"" + d + "/quad.obj\"/>\n" +
        camera(0, 20, 1) + camera(20, 30, 2) +
        "<group><models>"
        "<model name=\"quad\" shader=\"flat\" texture=\"\" R=\"1\" G=\"0\" B=\"0\"/></models>"
        "</group>\n</scene>\n";
    // Root may write a file of mode 0444: a read-only file system then, as CI runs as root.
    const std::string folder = dir + "/ro", file = folder + "/scene.xml";
    const bool root = geteuid() == 0;
    mkdir(folder.c_str(), 0755);
    ASSERT_TRUE(!root || mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=1m") == 0);
    e2e::write(file, scene);
    const bool readOnly =
        root ? mount("tmpfs", folder.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m") == 0
             : chmod(file.c_str(), 0444) == 0;
    struct unmount {
        std::string at;
        bool root;
        ~unmount() {
            if (root) umount2(at.c_str(), MNT_DETACH);
        }
    } unmounted{folder, root};
    ASSERT_TRUE(readOnly);
    {
        studio s(dir, "ro/scene.xml");
        ASSERT_TRUE(s.pause([](const layout& l) { return l.find("camera", 1).has_value(); }));
        const bar b = *s.l.find("camera", 1);
        s.drag(b.x0 + 1, b.y(), b.x0 + 1 - (s.l.xAt(2) - s.l.xAt(0)));
        EXPECT_TRUE(s.wait([&](const layout& l) {
            const std::optional<bar> c = l.find("camera", 1);
            return l.lists(root ? "not written: it is on a read-only file system"
                               : "not written: no permission to write it") &&
                   c && c->start == 20;
        })) << slurp(s.layoutFile);
    }
    EXPECT_EQ(slurp(file), scene);
}
