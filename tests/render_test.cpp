// Camera scheduling and the projection, without a context.
#include "app/render.h"

#include <memory>

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include "app/offline.h"

namespace {

camera still(glm::vec3 eye, unsigned start, unsigned end) {
    return camera(eye, glm::vec3(0), glm::vec3(0, 1, 0), start, end);
}

} // namespace

TEST(ScheduleCameras, LaterCameraWinsWhereWindowsOverlapAndAllAreUpdated) {
    std::vector<camera> cams;
    cams.push_back(camera(0, 10)); // moving, tangent mode
    cams.back().path.addControlPoint(0, 0, 5);
    cams.back().path.addControlPoint(5, 0, 0);
    cams.push_back(still(glm::vec3(1, 2, 3), 4, 6));
    cams.push_back(still(glm::vec3(7, 8, 9), 20, 30));

    camera frame;
    EXPECT_EQ(scheduleCameras(cams, 5.0, frame), 2);
    EXPECT_EQ(frame.eye, glm::vec3(1, 2, 3));
    EXPECT_NE(cams[0].viewMatrix(), glm::mat4(1.0f)); // updated although it does not film

    camera after;
    EXPECT_EQ(scheduleCameras(cams, 8.0, after), 1);
    EXPECT_EQ(after.mode, 3);
}

TEST(ScheduleCameras, MovingCameraFilmsItsPathFromItsFirstFrameThenThePreviousFramesPose) {
    std::vector<camera> cams{camera(0, 8)};
    for (glm::vec3 p :
         {glm::vec3(0, 0, 0), glm::vec3(1, 0, 0), glm::vec3(1, 1, 0), glm::vec3(0, 1, 0)})
        cams[0].path.addControlPoint(p.x, p.y, p.z);
    ASSERT_TRUE(cams[0].unmoved);

    // Its first frame: moved to its own time first, not the constructor's identity view.
    camera first;
    ASSERT_EQ(scheduleCameras(cams, 1.0, first), 1);
    EXPECT_NEAR(first.eye.x, 0.5f, 1e-6f);
    EXPECT_NEAR(first.eye.y, -0.125f, 1e-6f);
    EXPECT_NEAR(first.look.x, 1.25f, 1e-6f);
    EXPECT_FALSE(cams[0].unmoved);

    // Every later frame keeps the one-frame delay.
    camera second;
    ASSERT_EQ(scheduleCameras(cams, 2.0, second), 1);
    EXPECT_EQ(second.viewMatrix(), first.viewMatrix()); // where the update at t = 1 put it
    camera third;
    ASSERT_EQ(scheduleCameras(cams, 3.0, third), 1);
    EXPECT_NEAR(third.eye.x, 1.0f, 1e-6f); // the pose at t = 2
    EXPECT_NEAR(third.eye.y, 0.0f, 1e-6f);

    // A replay from an earlier time makes the next frame a first one again.
    cams[0].rewind();
    camera replayed;
    ASSERT_EQ(scheduleCameras(cams, 1.0, replayed), 1);
    EXPECT_EQ(replayed.viewMatrix(), first.viewMatrix());
}

TEST(ScheduleCameras, ACameraMovedUnderALaterOneKeepsTheDelayWhenItTakesOver) {
    std::vector<camera> cams{camera(0, 8), still(glm::vec3(1, 2, 3), 0, 2)};
    for (glm::vec3 p : {glm::vec3(0, 0, 0), glm::vec3(4, 0, 0), glm::vec3(4, 4, 0)})
        cams[0].path.addControlPoint(p.x, p.y, p.z);
    camera under;
    ASSERT_EQ(scheduleCameras(cams, 2.0, under), 2);
    EXPECT_EQ(under.eye, glm::vec3(1, 2, 3)); // the later camera films
    camera after = cams[0];                   // as the update at t = 2 left it
    camera taking;
    ASSERT_EQ(scheduleCameras(cams, 2.5, taking), 1);
    EXPECT_EQ(taking.viewMatrix(), after.viewMatrix());
    EXPECT_EQ(taking.eye, after.eye);
}

TEST(ScheduleCameras, GapsAndTheEndLeaveTheDefaultCamera) {
    std::vector<camera> cams{still(glm::vec3(1, 0, 0), 0, 2), still(glm::vec3(2, 0, 0), 3, 5)};
    camera frame;
    EXPECT_EQ(scheduleCameras(cams, 2.5, frame), 0);
    EXPECT_EQ(frame.eye, glm::vec3(30)); // drawn with the default camera, and the demo ends
    camera late;
    EXPECT_EQ(scheduleCameras(cams, 5.0, late), 1);
    EXPECT_EQ(scheduleCameras(cams, 5.5, late), 0);

    std::vector<camera> always{still(glm::vec3(1, 0, 0), 3, 3)};
    EXPECT_EQ(scheduleCameras(always, 1e9, frame), 1);
}

TEST(ChangeWindowSize, FollowsTheWindowAndIgnoresEmptySizes) {
    load_options options;
    options.load_assets = false;
    const char text[] = "<scene/>";
    options.text = text;
    options.text_size = sizeof text - 1;
    options.trace = nullptr;
    scene s("inline.xml", options);
    EXPECT_EQ(s.projection, glm::mat4(1.0f));

    s.changeWindowSize(1024, 768);
    EXPECT_EQ(s.projection, glm::perspective(glm::radians(45.0f), 1024.0f / 768.0f, 0.1f, 100.0f));
    s.changeWindowSize(1920, 1080);
    const glm::mat4 wide = s.projection;
    EXPECT_EQ(wide, glm::perspective(glm::radians(45.0f), 1920.0f / 1080.0f, 0.1f, 100.0f));
    // The x scale divided by the y scale is the inverse aspect.
    EXPECT_NEAR(wide[1][1] / wide[0][0], 1.7777778f, 1e-6f);

    for (glm::ivec2 size : {glm::ivec2(0, 0), glm::ivec2(800, 0), glm::ivec2(0, 600)}) {
        s.changeWindowSize(size.x, size.y);
        EXPECT_EQ(s.projection, wide);
    }
}

TEST(AdvanceTo, AJumpGivesTheSameFrameCameraAsPlaying) {
    const char text[] = R"(<scene>
        <camera start="0" end="4"><p X="0" Y="0" Z="9"/><p X="9" Y="0" Z="0"/><p X="0" Y="3" Z="-9"/></camera>
        <camera start="4" end="9" look_x="0" look_y="1" look_z="0"><p X="5" Y="5" Z="5"/><p X="-5" Y="2" Z="5"/></camera>
        <group><translate time="3"><p X="0" Y="0" Z="0"/><p X="4" Y="0" Z="0"/></translate></group>
    </scene>)";
    auto load = [&] {
        load_options options;
        options.load_assets = false;
        options.text = text;
        options.text_size = sizeof text - 1;
        options.trace = nullptr;
        return std::make_unique<scene>("inline.xml", options);
    };
    const double step = 1.0 / 60.0;
    // Played frame by frame from 0 to 8 s, against a jump to each frame from a fresh load and,
    // for the second half, backwards from a later time on the same scene.
    std::unique_ptr<scene> played = load();
    std::unique_ptr<scene> jumped = load();
    advanceTo(*jumped, 8.5);
    for (int k = 0; k <= 480; k += 1) {
        const double t = k * step;
        camera byPlaying;
        scheduleCameras(played->cameras, t, byPlaying);
        if (k % 37 != 0) continue;
        SCOPED_TRACE(k);
        std::unique_ptr<scene> fresh = load();
        scene& target = k < 240 ? *fresh : *jumped;
        if (k > 0) advanceTo(target, t - step);
        camera byJumping;
        scheduleCameras(target.cameras, t, byJumping);
        EXPECT_EQ(byJumping.viewMatrix(), byPlaying.viewMatrix());
        EXPECT_EQ(byJumping.GetPosition(), byPlaying.GetPosition());
    }
}
