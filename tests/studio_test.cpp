// The studio's timeline axis and gestures and the music's peaks, without a window.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "studio/bar_drag.h"
#include "studio/music_peaks.h"
#include "studio/time_axis.h"
#include "studio/timeline_panel.h"

namespace {

music_peaks::status_type settle(const music_peaks& p) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (p.status() == music_peaks::decoding && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return p.status();
}

// The pointer in a frame: pressed this frame, held, at (x, y), moved by dx, the wheel turned.
timeline_pointer frame(bool pressed, bool held, float x, float y, float dx = 0.0f,
                       float wheel = 0.0f, bool shift = false) {
    return {pressed, held, true, shift, x, y, dx, wheel};
}

// What a frame asked, as words: "hold seek 30 snippet", "release", "loop 20 50".
std::string words(const preview_requests& r) {
    std::ostringstream out;
    if (r.hold) out << " hold";
    if (r.seek) out << " seek " << *r.seek;
    if (r.snippet) out << " snippet";
    if (r.release) out << " release";
    if (r.loop) out << " loop " << r.loop->start << " " << r.loop->end;
    return out.str().empty() ? "" : out.str().substr(1);
}

std::string tempDir() {
    std::string name = ::testing::TempDir() + "kestrine_studio_XXXXXX";
    return mkdtemp(name.data()) ? name : ::testing::TempDir();
}

} // namespace

TEST(TimeAxis, ColumnsAndTimesAreInverse) {
    const time_axis a{10.0, 40.0, 100.0f, 400.0f};
    EXPECT_DOUBLE_EQ(a.timeAt(100.0f), 10.0);
    EXPECT_DOUBLE_EQ(a.timeAt(500.0f), 50.0);
    EXPECT_FLOAT_EQ(a.xAt(30.0), 300.0f);
}

TEST(TimeAxis, ZoomKeepsTheTimeUnderThePointerAndStaysInBounds) {
    time_axis a{0.0, 100.0, 0.0f, 1000.0f};
    const double under = a.timeAt(600.0f);
    a.zoom(600.0f, 0.5, 0.05, 1000.0);
    EXPECT_DOUBLE_EQ(a.span, 50.0);
    EXPECT_NEAR(a.timeAt(600.0f), under, 1e-9);
    a.zoom(600.0f, 1e-6, 0.05, 1000.0);
    EXPECT_DOUBLE_EQ(a.span, 0.05);
    // Zooming out never shows negative times.
    a.zoom(1000.0f, 1e6, 0.05, 1000.0);
    EXPECT_DOUBLE_EQ(a.span, 1000.0);
    EXPECT_DOUBLE_EQ(a.start, 0.0);
    // A drag to the left shows later times; to the right, never before 0.
    a.pan(-100.0f);
    EXPECT_DOUBLE_EQ(a.start, 100.0);
    a.pan(1000.0f);
    EXPECT_DOUBLE_EQ(a.start, 0.0);
}

TEST(TimeAxis, FollowsThePlayheadThatLeavesTheViewOrJumps) {
    const struct {
        double before, t, start; // the view shows 10 s from 20 s
        bool moved;
    } cases[] = {{25, 26, 20, false},   {29.99, 30.01, 29.01, true}, {25, 0, 0, true},
                 {25, 45, 44, true},    {5, 5.02, 20, false},        {5, 40, 39, true},
                 {45, 45.02, 20, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        time_axis axis{20.0, 10.0, 0.0f, 100.0f};
        EXPECT_EQ(axis.follow(c.before, c.t), c.moved);
        EXPECT_NEAR(axis.start, c.start, 1e-9);
    }
}

TEST(TimelineGestures, TheRulerSeeksOrLoopsTheLanesPanAndTheWheelZooms) {
    // 10 pixels a second from column 0; the ruler is the top 18 rows.
    timeline_layout at;
    at.rulerHeight = 18.0f;
    at.right = 1000.0f;
    const timeline_pointer press = frame(true, true, 300, 5),
                           shiftPress = frame(true, true, 500, 5, 0, 0, true);
    const struct {
        const char* what;
        std::vector<timeline_pointer> frames;
        std::string asked;  // by the last frame
        double start, span; // the axis after
    } cases[] = {
        {"a press on the ruler", {press}, "hold seek 30 snippet", 0, 100},
        {"held still", {press, frame(false, true, 300, 5)}, "hold seek 30", 0, 100},
        {"released", {press, frame(false, false, 300, 5)}, "release", 0, 100},
        {"left of the axis", {frame(true, true, -40, 5)}, "hold seek 0 snippet", 0, 100},
        {"a loop dragged leftwards",
         {shiftPress, frame(false, true, 200, 5), frame(false, false, 200, 5)},
         "loop 20 50",
         0,
         100},
        {"a loop not dragged", {shiftPress, frame(false, false, 500, 5)}, "", 0, 100},
        {"a lane dragged left",
         {frame(true, true, 500, 50), frame(false, true, 400, 50, -100)},
         "",
         10,
         100},
        {"the wheel", {frame(false, false, 500, 50, 0, 1)}, "", 10, 80},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        time_axis axis{0.0, 100.0, 0.0f, 1000.0f};
        timeline_mouse mouse;
        preview_requests asked;
        for (const timeline_pointer& p : c.frames) {
            asked = {};
            followPointer(p, at, 100.0, axis, mouse, asked);
        }
        EXPECT_EQ(words(asked), c.asked);
        EXPECT_DOUBLE_EQ(axis.start, c.start);
        EXPECT_DOUBLE_EQ(axis.span, c.span);
        EXPECT_EQ(mouse.axisMoved, c.start != 0 || c.span != 100);
    }
}

TEST(BarDrag, EdgesAndBodiesSnapAndNeverMakeAnEmptyOrNegativeWindow) {
    // Pressed at 25 s on a window; the pointer then at t.
    const struct {
        const char* name;
        bool camera;
        bar_drag::part_type part;
        section from;
        double t;
        bool fine, ctrl;
        section expected;
    } cases[] = {
        {"camera start 2 s earlier", true, bar_drag::left, {20, 30}, 23.0, false, false, {18, 30}},
        {"camera start snaps to whole seconds", true, bar_drag::left, {20, 30}, 23.4, true, false,
         {18, 30}},
        {"a start is not dragged below 0", true, bar_drag::left, {20, 30}, -10.0, false, false,
         {0, 30}},
        {"nor at or past its end", true, bar_drag::left, {20, 30}, 40.0, false, false, {29, 30}},
        {"an end not at or before its start", false, bar_drag::right, {20, 30}, 0.0, false, false,
         {20, 21}},
        {"model end in tenths with Shift", false, bar_drag::right, {20, 30}, 26.34, true, false,
         {20, 31.3}},
        {"model end in seconds without", false, bar_drag::right, {20, 30}, 26.34, false, false,
         {20, 31}},
        {"a body keeps its length", false, bar_drag::body, {12, 58}, 28.0, false, false, {15, 61}},
        {"and stops at 0", false, bar_drag::body, {12, 58}, 0.0, false, false, {0, 46}},
        {"a window shown at every time stays without Ctrl", false, bar_drag::body, {0, 0}, 30.0,
         false, false, {0, 0}},
        {"with Ctrl it gets one from the press", false, bar_drag::body, {0, 0}, 30.0, false, true,
         {25, 30}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bar_drag d;
        d.part = c.part;
        d.camera = c.camera;
        d.pressed = 25.0;
        d.from = d.now = c.from;
        d.always = c.from.start == c.from.end;
        const section w = draggedWindow(d, c.t, c.fine, c.ctrl);
        EXPECT_EQ(w.start, c.expected.start);
        EXPECT_EQ(w.end, c.expected.end);
    }
    EXPECT_EQ(grabbedPart(100.0f, 98.0f, 300.0f), bar_drag::left);
    EXPECT_EQ(grabbedPart(297.0f, 98.0f, 300.0f), bar_drag::right);
    EXPECT_EQ(grabbedPart(150.0f, 98.0f, 300.0f), bar_drag::body);
}

TEST(TickStep, FollowsTheZoomInOneTwoFiveSteps) {
    const struct {
        double secondsPerPixel;
        double step;
    } cases[] = {{0.001, 0.1}, {0.003, 0.5}, {0.01, 1.0},   {0.1, 10.0},  {0.02, 2.0},
                 {0.05, 5.0},  {1.0, 100.0}, {0.0142, 1.0}, {0.0143, 2.0}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(tickStep(c.secondsPerPixel, 70.0), c.step) << c.secondsPerPixel;
    char text[32];
    EXPECT_STREQ(tickLabel(2.5, 0.5, text), "2.5");
    EXPECT_STREQ(tickLabel(0.25, 0.05, text), "0.25");
    EXPECT_STREQ(tickLabel(40.0, 10.0, text), "40");
    EXPECT_STREQ(tickLabel(65.0, 5.0, text), "1:05");
}

TEST(MusicPeaks, AToneShowsOnlyWhereItSounds) {
    const std::string dir = tempDir();
    const std::string file = dir + "/tone.ogg";
    // Silence, a second of tone at 3 s, silence to 6 s.
    const std::string part = "sox -n -r 44100 -c 2 " + dir;
    const std::string make = part + "/a.wav trim 0 3 && " + part +
                             "/b.wav synth 1 sine 440 vol 0.5 && " + part +
                             "/c.wav trim 0 2 && sox " + dir + "/a.wav " + dir + "/b.wav " + dir +
                             "/c.wav " + file + " 2>/dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
    music_peaks p(file);
    ASSERT_EQ(settle(p), music_peaks::ready) << p.note();
    EXPECT_NEAR(p.seconds(), 6.0, 0.01);
    EXPECT_LT(p.peak(0.0, 2.95), 0.01f);
    EXPECT_GT(p.peak(3.05, 3.1), 0.3f);
    EXPECT_GT(p.peak(3.9, 3.95), 0.3f);
    EXPECT_LT(p.peak(4.05, 6.0), 0.01f);
    EXPECT_EQ(p.peak(7.0, 8.0), 0.0f);
}

TEST(MusicPeaks, AMissingOrBrokenFileGivesANoteNotAFailure) {
    const std::string dir = tempDir();
    std::ofstream(dir + "/broken.ogg") << "OggS but not really";
    for (const std::string& file : {dir + "/missing.ogg", dir + "/broken.ogg"}) {
        music_peaks p(file);
        EXPECT_EQ(settle(p), music_peaks::unreadable);
        EXPECT_NE(p.note().find(file), std::string::npos) << p.note();
        EXPECT_EQ(p.peak(0.0, 1.0), 0.0f);
    }
}
