// Guides over a picture on the real driver, read back.
#include "gpu/guides.h"

#include <cmath>
#include <string>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include "gpu/offscreen.h"
#include "tests/gl/gl_context.h"

namespace {

constexpr int kSize = 256;

struct picture {
    std::vector<unsigned char> rgb;
    // Red at the pixel under clip-space point c (top row first in rgb).
    bool redAt(glm::vec4 c) const {
        const int x = int((c.x / c.w + 1.0f) * 0.5f * kSize);
        const int y = int((1.0f - c.y / c.w) * 0.5f * kSize);
        if (x < 0 || y < 0 || x >= kSize || y >= kSize) return false;
        return rgb[(std::size_t(y) * kSize + std::size_t(x)) * 3] > 200;
    }
};

} // namespace

TEST(Guides, ThinnedCurvesStayOnTheirSamplesOverThePictureAndWhatIsBehindTheEyeIsLeftOut) {
    // Drawn over the picture of a multisampled frame, as the studio does: a read of the frame
    // must not resolve it again over them.
    offscreen target(kSize, kSize, kFrameSamples);
    ASSERT_TRUE(target.problem().empty()) << target.problem();
    target.bind();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    target.bindPicture();
    const glm::mat4 vp = glm::perspective(glm::radians(45.0f), 1.0f, 0.1f, 100.0f) *
                         glm::lookAt(glm::vec3(0, 0, 5), glm::vec3(0), glm::vec3(0, 1, 0));
    // A finely sampled closed curve with tight and wide bends, and a line from the scene's
    // middle to well behind the eye.
    std::vector<glm::vec3> curve, through;
    for (int i = 0; i < 4096; ++i) {
        const float a = 6.2831853f * float(i) / 4096.0f;
        curve.push_back({1.4f * std::cos(a), 0.6f * std::sin(a) + 0.25f * std::sin(5.0f * a), 0});
    }
    for (int i = 0; i <= 100; ++i)
        through.push_back({-0.5f, -0.8f, 0.1f * float(i)});
    glEnable(GL_DEPTH_TEST);
    guide_painter painter;
    ASSERT_TRUE(painter.usable());
    painter.begin(vp, kSize, kSize);
    painter.lines(curve, GL_LINE_LOOP, {1, 0, 0}, 3.0f);
    painter.lines(through, GL_LINE_STRIP, {1, 0, 0}, 3.0f);
    painter.points({glm::vec3(0.9f, 0, 0)}, {1, 0, 0}, 9.0f);
    painter.end();
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));

    picture seen;
    std::string why;
    ASSERT_TRUE(target.readRgb(seen.rgb, why)) << why;
    int missed = 0;
    for (const glm::vec3& p : curve)
        missed += !seen.redAt(vp * glm::vec4(p, 1.0f));
    EXPECT_EQ(missed, 0) << "of " << curve.size() << " samples";
    for (int i = 0; i <= 20; ++i) // the line's part in the picture
        EXPECT_TRUE(seen.redAt(vp * glm::vec4(through[std::size_t(i)], 1.0f))) << i;
    EXPECT_TRUE(seen.redAt(vp * glm::vec4(0.93f, 0.03f, 0, 1))); // the square point
    EXPECT_FALSE(seen.redAt(vp * glm::vec4(1.05f, 0.0f, 0, 1)));
    // The segment from just before the eye to just behind it, drawn, would cross the middle.
    EXPECT_FALSE(seen.redAt(vp * glm::vec4(0, 0, 0, 1)));

    // The same guides again over a new frame, as a still picture gives them: drawn the same.
    target.bind();
    glClear(GL_COLOR_BUFFER_BIT);
    target.bindPicture();
    painter.begin(vp, kSize, kSize);
    painter.lines(curve, GL_LINE_LOOP, {1, 0, 0}, 3.0f);
    painter.lines(through, GL_LINE_STRIP, {1, 0, 0}, 3.0f);
    painter.points({glm::vec3(0.9f, 0, 0)}, {1, 0, 0}, 9.0f);
    painter.end();
    picture again;
    ASSERT_TRUE(target.readRgb(again.rgb, why)) << why;
    EXPECT_EQ(again.rgb, seen.rgb);
}
