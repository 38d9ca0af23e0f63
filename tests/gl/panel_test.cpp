// Tool panels' pictures and clears on the real driver, read back.
#include "gpu/panel.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "gpu/offscreen.h"
#include "tests/gl/gl_context.h"

namespace {

GLint boundTexture() {
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

std::vector<std::uint32_t> picture(GLuint name, int width, int height) {
    std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height), 0);
    const GLint before = boundTexture();
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(GL_TEXTURE_2D, GLuint(before));
    return pixels;
}

} // namespace

TEST(PanelPicture, HoldsItsPixelsWhenMadeAndReplacedAndLeavesTheBindingAlone) {
    GLuint other = 0;
    glGenTextures(1, &other);
    glBindTexture(GL_TEXTURE_2D, other);
    // Three columns: rows of 12 bytes, which no unpack padding may shift.
    const std::vector<std::uint32_t> first = {0xff0000ffu, 0xff00ff00u, 0xffff0000u,
                                              0x80102030u, 0x00000000u, 0xffffffffu};
    GLuint name = putPicture(0, 3, 2, first.data());
    ASSERT_NE(name, 0u);
    EXPECT_EQ(boundTexture(), GLint(other));
    EXPECT_EQ(picture(name, 3, 2), first);

    const std::vector<std::uint32_t> second(5 * 4, 0x11223344u);
    EXPECT_EQ(putPicture(name, 5, 4, second.data()), name);
    EXPECT_EQ(picture(name, 5, 4), second);
    EXPECT_EQ(boundTexture(), GLint(other));

    const GLuint made = name;
    deletePicture(name);
    EXPECT_EQ(name, 0u);
    EXPECT_FALSE(glIsTexture(made));
    deletePicture(name); // none: nothing to do
    glDeleteTextures(1, &other);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(PanelClear, ClearsOnlyTheBottomRowsAndRestoresClearColourAndScissor) {
    struct scissor_case {
        bool enabled;
        GLint box[4];
    };
    const scissor_case cases[] = {{false, {0, 0, 8, 8}}, {true, {1, 2, 3, 4}}};
    offscreen target(8, 8, 0);
    ASSERT_TRUE(target.problem().empty()) << target.problem();
    target.bind();
    const float green[4] = {0.0f, 1.0f, 0.0f, 1.0f};
    for (const scissor_case& c : cases) {
        SCOPED_TRACE(c.enabled ? "scissored before" : "not scissored before");
        glDisable(GL_SCISSOR_TEST);
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glScissor(c.box[0], c.box[1], c.box[2], c.box[3]);
        if (c.enabled) glEnable(GL_SCISSOR_TEST);

        clearBottomRows(5, 3, green);

        GLfloat colour[4];
        GLint box[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, colour);
        glGetIntegerv(GL_SCISSOR_BOX, box);
        EXPECT_EQ(bool(glIsEnabled(GL_SCISSOR_TEST)), c.enabled);
        EXPECT_EQ(std::vector<GLfloat>(colour, colour + 4), std::vector<GLfloat>({1, 0, 0, 1}));
        EXPECT_EQ(std::vector<GLint>(box, box + 4), std::vector<GLint>(c.box, c.box + 4));
        // Bottom row first: green in the 5 x 3 corner only.
        std::vector<unsigned char> rgba(8 * 8 * 4);
        glReadPixels(0, 0, 8, 8, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        int wrong = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const unsigned char* p = &rgba[std::size_t(y * 8 + x) * 4];
                const bool cleared = x < 5 && y < 3;
                wrong += p[0] != (cleared ? 0 : 255) || p[1] != (cleared ? 255 : 0);
            }
        EXPECT_EQ(wrong, 0);
    }
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}
