// The frame at each cut into a moving camera of the bundled demo shows that camera's path, as
// the frames after it do, drawn the way the capture draws them.
#include "tests/gl/gl_context.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/offline.h"
#include "app/render.h"
#include "authoring/timeline.h"
#include "gpu/offscreen.h"
#include "scene/scene.h"

namespace {

constexpr int kFps = 60;

// Mean difference per channel of two frames, 0 to 1.
double difference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / (255.0 * double(a.size()));
}

} // namespace

TEST(DemoCuts, TheFrameAtACutIntoAMovingCameraIsAsCloseToTheNextAsNeighboursAre) {
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(KESTRINE_DEMO_DIR), 0);
    load_options options;
    options.trace = nullptr;
    scene s("demo.xml", options);
    ASSERT_EQ(chdir(previous), 0);
    ASSERT_TRUE(s.loaded());

    const offscreen target(160, 90, kFrameSamples);
    ASSERT_EQ(target.problem(), "");
    double at = 0.0;
    s.timer = [&at] { return at; };
    s.changeWindowSize(160, 90);
    target.bind();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);

    int cuts = 0;
    for (std::size_t i = 0; i < s.cameras.size(); ++i) {
        const camera& c = s.cameras[i];
        const long k = long(c.start) * kFps;
        if (!c.moving() || filmingCamera(s.cameras, frameTime(k, kFps)) != int(i)) continue;
        SCOPED_TRACE(c.start);
        ++cuts;
        // Frames k to k + 6, played on from where frame k - 1 leaves the scene.
        prepareFrame(s, k, kFps);
        std::vector<std::vector<unsigned char>> frames(7);
        for (long j = 0; j < long(frames.size()); ++j) {
            at = frameTime(k + j, kFps);
            ASSERT_TRUE(drawFrame(&s, glm::mat4(1.0f), s.projection));
            std::string why;
            ASSERT_TRUE(target.readRgb(frames[std::size_t(j)], why)) << why;
        }
        double neighbours = 0.0;
        for (std::size_t j = 1; j + 1 < frames.size(); ++j)
            neighbours = std::max(neighbours, difference(frames[j], frames[j + 1]));
        const double atCut = difference(frames[0], frames[1]);
        EXPECT_GT(neighbours, 0.0); // the camera moves
        EXPECT_LE(atCut, neighbours) << "neighbours differ by " << neighbours;
    }
    EXPECT_EQ(cuts, 4); // at 8, 20, 40 and 50 s
    s.timer = nullptr;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}
