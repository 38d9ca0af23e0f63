#pragma once
// A kestrine-preview process on the test display, its window's title and pixels, and the files
// the tests hand it.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include <algorithm>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_files.h"

namespace e2e {

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

inline image readPpm(const std::string& bytes) {
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

// Keys pressed in turn, each followed by the text the title must come to hold after "| ".
struct key_step {
    const char* keys;
    const char* title;
};

// One kestrine-preview process in dir, stdin from /dev/null, output in out.txt and err.txt; the
// whole process group goes with the object.
class preview {
public:
    preview(const std::string& dir, const std::string& args, const std::string& env = "")
        : dir(dir), process("cd '" + dir + "' && exec env " + env + " '" KESTRINE_PREVIEW_BIN "' " +
                            args + " </dev/null >out.txt 2>err.txt") {}

    // Waits for the window, whose title starts with the scene file's name.
    // xdotool gives up at once on an X error, as when a window goes while it searches (a
    // preview just closed): search again until the deadline.
    bool find(const std::string& file) {
        return e2e::waitFor([&] {
            id = output("timeout 60 xdotool search --sync --name '^" + file + " [|]' 2>/dev/null");
            id = id.substr(0, id.find('\n'));
            return !id.empty();
        });
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
    // xdotool's actions on the focused window ("keydown d").
    void xdo(const std::string& actions) const {
        output("xdotool windowfocus --sync " + id + " " + actions + " 2>/dev/null");
    }
    // The pointer to x, y of the window, then xdotool's `then` ("mousedown 1").
    void pointer(double x, double y, const std::string& then = "") const {
        xdo("mousemove --window " + id + " --sync " + std::to_string(int(x)) + " " +
            std::to_string(int(y)) + " " + then);
    }
    void steps(const std::vector<key_step>& steps) const {
        for (const key_step& s : steps) {
            SCOPED_TRACE(s.keys);
            keys(s.keys);
            EXPECT_TRUE(waitTitle("| " + std::string(s.title))) << title();
        }
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

// Pixels that differ by more than `tolerance` in a channel.
inline int differing(const image& a, const image& b, int tolerance) {
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

// The picture scaled to width x height as GL's linear filter scales it: each pixel's centre
// sampled between the four nearest source pixels.
inline image scaled(const image& from, int width, int height) {
    image out{width, height, std::string(std::size_t(width) * height * 3, '\0')};
    auto sample = [](double at, int size, int& a, double& f) {
        at = std::clamp(at, 0.0, double(size - 1));
        a = std::min(int(at), size - 2);
        f = at - a;
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int x0 = 0, y0 = 0;
            double fx = 0, fy = 0;
            sample((x + 0.5) * from.width / width - 0.5, from.width, x0, fx);
            sample((y + 0.5) * from.height / height - 0.5, from.height, y0, fy);
            const rgb c[4] = {from.at(x0, y0), from.at(x0 + 1, y0), from.at(x0, y0 + 1),
                              from.at(x0 + 1, y0 + 1)};
            auto mix = [&](int rgb::*channel) {
                const double top = c[0].*channel * (1 - fx) + c[1].*channel * fx;
                const double bottom = c[2].*channel * (1 - fx) + c[3].*channel * fx;
                return char(std::lround(top * (1 - fy) + bottom * fy));
            };
            char* p = out.pixels.data() + (std::size_t(y) * width + x) * 3;
            p[0] = mix(&rgb::r);
            p[1] = mix(&rgb::g);
            p[2] = mix(&rgb::b);
        }
    return out;
}

// The demo's files linked into a folder of the test's, where the preview's output goes.
inline bool linkDemo(const std::string& dir) {
    const std::string link = "cd '" + dir + "' && for f in demo.xml shaders textures meshes " +
                             "Music; do ln -sfn '" KESTRINE_DEMO_DIR "'/$f $f; done";
    return std::system(link.c_str()) == 0;
}

// A copy of the demo's scene file, in a work folder of that name, beside links to its assets
// and music: a scene the studio may edit.
inline std::string demoCopy(const std::string& name) {
    const std::string dir = workDir(name);
    const std::string link = "cd '" + dir + "' && rm -rf Music && cp '" KESTRINE_DEMO_DIR
                             "/demo.xml' . && for f in shaders textures meshes Music; do ln -sfn '" +
                             std::string(KESTRINE_DEMO_DIR) + "'/$f $f; done";
    EXPECT_EQ(std::system(link.c_str()), 0);
    return dir;
}

// What the studio's overlay says is where (KESTRINE_PREVIEW_LAYOUT): the ruler's columns and
// times, the music lane, every bar, a bar being dragged, the properties panel's fields and who takes
// the keys, the problems.
struct layout {
    bool shown = false;
    double left = 0, top = 0, width = 0, height = 0, start = 0, span = 0; // the ruler
    double panelTop = 0;
    double header[4] = {}; // the header's left text and right text: left and right edges
    double musicTop = 0, musicHeight = 0;
    std::string music;
    struct bar {
        std::string kind, id;
        double x0 = 0, x1 = 0, y0 = 0, y1 = 0, start = 0, end = 0;
        double y() const { return (y0 + y1) / 2; }
    };
    std::vector<bar> bars;
    std::vector<std::string> lanes; // their names, from the top
    std::string problems = "closed";
    double problemsLeft = 0, problemsTop = 0, problemsWidth = 0, problemsHeight = 0;
    std::vector<std::string> problemLines;
    struct box {
        int x = 0, y = 0, width = 0, height = 0;
    } picture;                    // where the frame is shown above the panels
    std::string gesture = "none"; // what a held mouse button is doing, and a loop drag's ends
    double loopFrom = 0, loopTo = 0;
    std::string drag = "none", keys; // a bar being dragged, to what; who takes the keys
    double dragStart = 0, dragEnd = 0;
    std::vector<std::string> fields; // the properties panel's

    // The time the overlay gives pixel column x.
    double timeAt(double x) const { return start + (x - left) / width * span; }
    double xAt(double t) const { return left + (t - start) / span * width; }
    // The index-th bar of a kind ("camera", "model").
    std::optional<bar> find(const std::string& kind, std::size_t index) const {
        for (const bar& b : bars)
            if (b.kind == kind && index-- == 0) return b;
        return std::nullopt;
    }
    bool lists(const std::string& text) const {
        for (const std::string& l : problemLines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
};

inline layout readLayout(const std::string& file) {
    layout l;
    std::istringstream in(slurp(file));
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string what;
        words >> what;
        if (what == "overlay") {
            std::string state;
            words >> state;
            l.shown = state == "shown";
        } else if (what == "ruler") {
            words >> l.left >> l.top >> l.width >> l.height >> l.start >> l.span;
        } else if (what == "panel") {
            double x;
            words >> x >> l.panelTop;
        } else if (what == "music") {
            double x, w;
            words >> x >> l.musicTop >> w >> l.musicHeight >> l.music;
        } else if (what == "bar") {
            layout::bar b;
            words >> b.kind >> b.id >> b.x0 >> b.x1 >> b.y0 >> b.y1 >> b.start >> b.end;
            l.bars.push_back(b);
        } else if (what == "problems") {
            words >> l.problems >> l.problemsLeft >> l.problemsTop >> l.problemsWidth >>
                l.problemsHeight;
        } else if (what == "header") {
            words >> l.header[0] >> l.header[1] >> l.header[2] >> l.header[3];
        } else if (what == "lane") {
            std::size_t i = 0;
            words >> i;
            std::getline(words >> std::ws, l.lanes.emplace_back());
        } else if (what == "picture") {
            words >> l.picture.x >> l.picture.y >> l.picture.width >> l.picture.height;
        } else if (what == "gesture") {
            words >> l.gesture >> l.loopFrom >> l.loopTo;
        } else if (what == "drag") {
            words >> l.drag >> l.dragStart >> l.dragEnd;
        } else if (what == "keys") {
            words >> l.keys;
        } else if (what == "field") {
            l.fields.push_back(line.substr(6));
        } else if (what == "problem") {
            l.problemLines.push_back(line.substr(8));
        }
    }
    return l;
}

// Waits until the layout file satisfies the test; the last one read is left in out.
inline bool waitLayout(const std::string& file, layout& out,
                const std::function<bool(const layout&)>& ok) {
    return e2e::waitFor([&] {
        out = readLayout(file);
        return ok(out);
    });
}

} // namespace e2e
