// One pixel's depth read back from an offscreen frame on the real driver.
#include "gpu/depth_probe.h"

#include <gtest/gtest.h>

#include "gpu/offscreen.h"
#include "tests/gl/gl_context.h"

// The left half cleared to one depth and the right to another; each read where it is, whether
// the frame is multisampled or not, with the frame left bound.
TEST(DepthProbe, ReadsThePixelAskedOfAFrameMultisampledOrNotAndWhileItsPictureIsDrawnOver) {
    for (int samples : {0, 4}) {
        SCOPED_TRACE(samples);
        offscreen frame(64, 32, samples);
        ASSERT_EQ(frame.problem(), "");
        frame.bind();
        glClearDepth(0.25);
        glClear(GL_DEPTH_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(32, 0, 32, 32);
        glClearDepth(0.75);
        glClear(GL_DEPTH_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        glClearDepth(1.0);
        depth_probe probe;
        EXPECT_NEAR(probe.at(3, 30).value_or(-1.0f), 0.25f, 1e-6f);
        EXPECT_NEAR(probe.at(40, 2).value_or(-1.0f), 0.75f, 1e-6f);
        GLint bound = 0;
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
        frame.bind();
        GLint again = 0;
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &again);
        EXPECT_EQ(bound, again);
        frame.bindPicture(); // drawing over the picture, whose framebuffer has no depth
        EXPECT_NEAR(probe.at(3, 30).value_or(-1.0f), 0.25f, 1e-6f);
        EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
    }
}
