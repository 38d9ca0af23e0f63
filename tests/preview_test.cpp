// The preview's clock, title, command line and file watch, without a window.
#include "app/preview.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "app/playhead_steps.h"
#include "app/watch.h"
#include "authoring/scene_edit.h"
#include "authoring/timeline.h"
#include "scene/scene.h"

namespace {

namespace fs = std::filesystem;

camera still(unsigned start, unsigned end) {
    return camera(glm::vec3(0, 0, 3), glm::vec3(0), glm::vec3(0, 1, 0), start, end);
}

} // namespace

TEST(Playhead, PauseStopsTimeAndResumesWhereItStopped) {
    playhead p(5.0, 100.0);
    EXPECT_TRUE(p.takeJump()); // the start counts as a jump
    EXPECT_FALSE(p.takeJump());
    EXPECT_DOUBLE_EQ(p.at(101.5), 6.5);
    p.togglePause(102.0);
    EXPECT_TRUE(p.paused());
    EXPECT_DOUBLE_EQ(p.at(102.0), 7.0);
    EXPECT_DOUBLE_EQ(p.at(150.0), 7.0);
    EXPECT_FALSE(p.takeJump());
    p.togglePause(150.0);
    EXPECT_DOUBLE_EQ(p.at(151.0), 8.0);
}

TEST(Playhead, SeeksStayWithinTheTimelineAndCountAsJumps) {
    playhead p(0.0, 0.0);
    p.takeJump();
    p.togglePause(0.0);
    const struct {
        double by;
        double expected;
    } steps[] = {{1, 1}, {10, 11}, {-1, 10}, {-10, 0}, {-1, 0}, {2e6, playhead::kMaxSceneTime}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.by);
        p.seekBy(s.by, 5.0);
        EXPECT_DOUBLE_EQ(p.at(9.0), s.expected); // paused: exact, whatever the wall clock
        EXPECT_TRUE(p.takeJump());
    }
    p.home(9.0);
    EXPECT_EQ(p.at(9.0), 0.0);
    // Playing on from the end of the timeline stays there.
    p.togglePause(9.0);
    p.seek(playhead::kMaxSceneTime - 1.0, 9.0);
    EXPECT_DOUBLE_EQ(p.at(20.0), playhead::kMaxSceneTime);
}

TEST(Playhead, LoopWrapsFromBToAKeepingTheOvershoot) {
    playhead p(1.0, 0.0);
    p.loopOver({2.0, 4.0}, 0.0); // outside the loop: to its start
    EXPECT_DOUBLE_EQ(p.at(0.0), 2.0);
    p.takeJump();
    EXPECT_DOUBLE_EQ(p.at(2.0), 4.0); // B itself is still played
    EXPECT_FALSE(p.takeJump());
    EXPECT_NEAR(p.at(2.25), 2.25, 1e-12);
    EXPECT_TRUE(p.takeJump());
    EXPECT_NEAR(p.at(3.0), 3.0, 1e-12); // goes on from the wrap
    // A frame late by more than a loop's length still lands inside.
    EXPECT_NEAR(p.at(8.5), 2.5, 1e-12);

    p.togglePause(8.5);
    p.seekBy(-1.0, 8.5); // from 2.5 back past A: near B
    EXPECT_NEAR(p.at(9.0), 3.5, 1e-12);
    p.seekBy(10.0, 9.0);
    EXPECT_NEAR(p.at(9.0), 3.5, 1e-12);
    p.home(9.0);
    EXPECT_EQ(p.at(9.0), 2.0);
    ASSERT_TRUE(p.loop());
    EXPECT_EQ(p.loop()->end, 4.0);

    p.stopLooping();
    p.seekBy(5.0, 9.0);
    EXPECT_EQ(p.at(9.0), 7.0);
    // Looping a section that holds the current time does not move it.
    p.takeJump();
    p.loopOver({6.0, 8.0}, 9.0);
    EXPECT_EQ(p.at(9.0), 7.0);
    EXPECT_FALSE(p.takeJump());
}

TEST(FilmingCamera, TheLastActiveCameraFilms) {
    const std::vector<camera> cams{still(0, 10), still(5, 8), still(20, 30)};
    const struct {
        double t;
        int expected;
    } cases[] = {{0, 0}, {5, 1}, {8, 1}, {8.5, 0}, {15, -1}, {30, 2}, {31, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        EXPECT_EQ(filmingCamera(cams, c.t), c.expected);
    }
    EXPECT_EQ(filmingCamera({}, 1.0), -1);
}

TEST(PlayheadSteps, FilmingStopsAfterTheLastWindowOrAtAGapOnly) {
    // 0-10 and 5-8 overlap, a gap from 10 to 20, then 20-30.
    const std::vector<camera> cams{still(0, 10), still(5, 8), still(20, 30)};
    const struct {
        double from, to, stop; // -1: goes on
    } cases[] = {{7.9, 8.1, -1}, {9.99, 10.01, 10}, {9.5, 25, 10}, {10, 10.5, 10},
                 {12, 21, -1},   {29.99, 30.2, 30}, {31, 40, -1},  {0, 9.9, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        const auto stop = filmingStops(cams, c.from, c.to);
        EXPECT_EQ(stop.value_or(-1), c.stop);
    }
    // A camera that films at every time: the demo never ends.
    EXPECT_FALSE(filmingStops({still(0, 10), still(3, 3)}, 9.9, 10.1));
}

TEST(PlayheadSteps, FramesAndCuts) {
    const struct {
        double t;
        int frames;
        double expected; // in frames of 60 a second
    } steps[] = {{4.0, 1, 241},   {4.0, -1, 239}, {241.0 / 60, -1, 240}, {4.005, -1, 240},
                 {4.005, 1, 241}, {0.0, -1, 0},   {2.0 / 60, -2, 0}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.t);
        EXPECT_NEAR(frameStepped(s.t, s.frames) * 60, s.expected, 1e-9);
    }
    EXPECT_NEAR(frameAtOrBefore(10.01) * 60, 600, 1e-9);
    const std::vector<double> cuts{2, 4, 9};
    EXPECT_EQ(cutFrom(cuts, 4, true), 9);
    EXPECT_EQ(cutFrom(cuts, 4, false), 2);
    EXPECT_EQ(cutFrom(cuts, 3.5, false), 2);
    EXPECT_EQ(cutFrom(cuts, 0, true), 2);
    EXPECT_FALSE(cutFrom(cuts, 9, true));
    EXPECT_FALSE(cutFrom(cuts, 2, false));
}

TEST(PreviewTitle, ShowsTimeCameraPauseAndLoop) {
    EXPECT_EQ(previewTitle("demo.xml", 12.345678, 1, false, std::nullopt),
              "demo.xml | 12.35 s | camera 2");
    EXPECT_EQ(previewTitle("a.xml", 0.0, -1, true, std::nullopt),
              "a.xml | 0.00 s | no camera | paused");
    EXPECT_EQ(previewTitle("a.xml", 9.999, 0, true, section{8.0, 20.0}),
              "a.xml | 10.00 s | camera 1 | paused | loop 8-20");
    EXPECT_EQ(previewTitle("a.xml", 1.5, 0, false, section{1.5, 2.25}),
              "a.xml | 1.50 s | camera 1 | loop 1.5-2.25");
}

TEST(ParsePreviewArgs, ReadsEveryOptionInAnyOrder) {
    const char* args[] = {"--size", "640x360",      "scene.xml", "--loop",
                          "8:20.5", "--no-overlay", "--at",      "12.25"};
    preview_options o;
    EXPECT_EQ(parsePreviewArgs(8, args, o), "");
    EXPECT_FALSE(o.overlay);
    EXPECT_EQ(o.scene, "scene.xml");
    EXPECT_EQ(o.at, 12.25);
    ASSERT_TRUE(o.loop);
    EXPECT_EQ(o.loop->start, 8.0);
    EXPECT_EQ(o.loop->end, 20.5);
    EXPECT_EQ(o.width, 640);
    EXPECT_EQ(o.height, 360);

    preview_options defaults;
    const char* just[] = {"demo.xml"};
    EXPECT_EQ(parsePreviewArgs(1, just, defaults), "");
    EXPECT_EQ(defaults.at, 0.0);
    EXPECT_FALSE(defaults.loop);
    EXPECT_EQ(defaults.width, 1280);
    EXPECT_EQ(defaults.height, 720);
    EXPECT_TRUE(defaults.overlay);
}

TEST(ParsePreviewArgs, RejectsWrongArgumentsNamingThem) {
    const std::vector<std::vector<const char*>> bad = {
        {},
        {"a.xml", "b.xml"},
        {"a.xml", "--fast"},
        {"a.xml", "--at"},
        {"a.xml", "--at", "-1"},
        {"a.xml", "--at", "ten"},
        {"a.xml", "--at", "nan"},
        {"a.xml", "--at", "inf"},
        {"a.xml", "--at", "1e300"},
        {"a.xml", "--at", "3s"},
        {"a.xml", "--loop", "5"},
        {"a.xml", "--loop", "5:5"},
        {"a.xml", "--loop", "8:4"},
        {"a.xml", "--loop", ":4"},
        {"a.xml", "--size", "640"},
        {"a.xml", "--size", "0x480"},
        {"a.xml", "--size", "640x-480"},
        {"a.xml", "--size", "99999x480"},
        {"a.xml", "--size", "640x480x2"},
    };
    for (const auto& args : bad) {
        std::string line;
        for (const char* a : args)
            line += std::string(a) + " ";
        SCOPED_TRACE(line);
        preview_options o;
        const std::string why = parsePreviewArgs(static_cast<int>(args.size()), args.data(), o);
        EXPECT_NE(why, "");
        if (args.size() == 3) {
            EXPECT_NE(why.find(args[2]), std::string::npos) << why;
        }
    }
}

TEST(FileWatch, SeesRewritesReplacementsRemovalsAndReturns) {
    const fs::path dir = fs::temp_directory_path() / ("kestrine-watch-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string a = (dir / "a.xml").string(), b = (dir / "b.obj").string();
    std::ofstream(a) << "one";
    file_watch w;
    w.add(a);
    w.add(b); // b does not exist yet
    EXPECT_FALSE(w.changed());

    const std::vector<std::pair<const char*, std::function<void()>>> edits = {
        {"rewritten, same size", [&] { std::ofstream(a) << "two"; }},
        {"appeared", [&] { std::ofstream(b) << "v 0 0 0\n"; }},
        {"replaced by a rename",
         [&] {
             std::ofstream(a + ".tmp") << "two";
             fs::rename(a + ".tmp", a);
         }},
        {"removed", [&] { fs::remove(b); }},
    };
    for (const auto& [what, edit] : edits) {
        SCOPED_TRACE(what);
        // Times in nanoseconds (ext4, tmpfs) tell apart writes 20 ms apart.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        edit();
        EXPECT_TRUE(w.changed());
        EXPECT_FALSE(w.changed()); // reported once
    }
    fs::remove_all(dir);
}

TEST(FolderEvents, HearsSavesToTheWatchedFilesOnly) {
    const fs::path dir =
        fs::temp_directory_path() / ("kestrine-events-" + std::to_string(getpid()));
    fs::create_directories(dir / "shaders");
    const std::string scene = (dir / "a.xml").string(),
                      shader = (dir / "shaders" / "s.frag").string();
    std::ofstream(scene) << "one";
    std::ofstream(shader) << "two";
    folder_events events;
    EXPECT_FALSE(events.complete()); // nothing is heard of before watch()
    ASSERT_TRUE(events.watch({scene, shader}));
    ASSERT_TRUE(events.complete());
    EXPECT_FALSE(events.heard());

    // Each edit is heard as soon as it is made (the events are queued by then).
    const std::vector<std::pair<const char*, std::function<void()>>> edits = {
        {"written in place", [&] { std::ofstream(scene) << "three"; }},
        {"replaced by a rename",
         [&] {
             std::ofstream(shader + ".new") << "four";
             fs::rename(shader + ".new", shader);
         }},
        {"removed", [&] { fs::remove(scene); }},
        {"back", [&] { std::ofstream(scene) << "five"; }},
    };
    for (const auto& [what, edit] : edits) {
        SCOPED_TRACE(what);
        edit();
        EXPECT_TRUE(events.heard());
        EXPECT_FALSE(events.heard());
    }
    // Other files in the same folders are not heard of, the studio's temporary files included:
    // its write is heard once, as it lands.
    std::ofstream((dir / "other.txt").string()) << "x";
    std::ofstream((dir / "shaders" / "t.frag").string()) << "x";
    std::ofstream(temporaryPrefix(scene) + "Xy12ab") << "x";
    EXPECT_FALSE(events.heard());
    std::string why;
    ASSERT_TRUE(writeAtomically(scene, "six", why)) << why;
    EXPECT_TRUE(events.heard());
    EXPECT_FALSE(events.heard());
    // A folder that is not there cannot be watched: the caller polls.
    EXPECT_FALSE(events.watch({(dir / "missing" / "m.obj").string()}));
    EXPECT_FALSE(events.complete());
    fs::remove_all(dir);
}

TEST(FolderEvents, SettlingReadsWhatCameMeanwhile) {
    const fs::path dir =
        fs::temp_directory_path() / ("kestrine-settle-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "a.xml").string();
    std::ofstream(file) << "one";
    folder_events events;
    ASSERT_TRUE(events.watch({file}));
    std::ofstream(file) << "two";
    std::ofstream(file) << "three";
    events.settle(0.02, 5.0);
    EXPECT_FALSE(events.heard()); // read while settling
    fs::remove_all(dir);
}
