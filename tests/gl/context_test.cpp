// The GL test context is a real core-profile driver with S3TC.
#include "tests/gl/gl_context.h"

#include <string>

#include <gtest/gtest.h>

TEST(GlContext, IsCoreProfileAtLeast33WithS3tc) {
    GLint major = 0, minor = 0, profile = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    EXPECT_GE(major * 10 + minor, 33);
    EXPECT_TRUE(profile & GL_CONTEXT_CORE_PROFILE_BIT);
    EXPECT_TRUE(GLEW_EXT_texture_compression_s3tc);
    EXPECT_NE(glCompressedTexImage2D, nullptr);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(GlContext, ClearsAndReadsBackPixels) {
    glViewport(0, 0, 64, 64);
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char px[4] = {};
    glReadPixels(32, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[1], 255);
    EXPECT_EQ(px[2], 0);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}
