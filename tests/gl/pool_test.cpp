// Every OpenGL object a scene makes is deleted with the scene: counted in its pool and checked
// against the driver, over many loads of the bundled demo and over good and broken reloads.
#include "tests/gl/gl_context.h"

#include <unistd.h>

#include <array>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "scene/scene.h"

namespace {

using counts = std::array<long, gl_pool::kind_count>;

// Live objects of each pool kind among the names up to a little past those in use now, as the
// driver tells them.
counts live(GLuint last) {
    counts n{};
    for (GLuint name = 1; name <= last; ++name) {
        n[gl_pool::textures] += glIsTexture(name) == GL_TRUE;
        n[gl_pool::programs] += glIsProgram(name) == GL_TRUE;
        n[gl_pool::buffers] += glIsBuffer(name) == GL_TRUE;
        n[gl_pool::vertex_arrays] += glIsVertexArray(name) == GL_TRUE;
    }
    return n;
}

// The highest name of any kind that the driver hands out next, plus room for one load.
GLuint scanLimit() {
    GLuint t = 0, b = 0, v = 0;
    glGenTextures(1, &t);
    glGenBuffers(1, &b);
    glGenVertexArrays(1, &v);
    const GLuint p = glCreateProgram();
    glDeleteTextures(1, &t);
    glDeleteBuffers(1, &b);
    glDeleteVertexArrays(1, &v);
    glDeleteProgram(p);
    return std::max({t, b, v, p}) + 2048;
}

// Loads and destroys a scene file. While the scene lives, the driver holds exactly the objects
// its pool counts on top of those that were there before; once the scene is destroyed, none of
// them, and the pools' count of live objects is back where it was.
void loadAndDestroy(const std::string& path, bool loads) {
    const GLuint last = scanLimit();
    const counts before = live(last);
    const long pooled = gl_pool::liveInAllPools();
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    auto s = std::make_unique<scene>(path.c_str());
    ::testing::internal::GetCapturedStderr();
    ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(s->loaded(), loads);
    const counts during = live(last);
    for (int k = 0; k < gl_pool::kind_count; ++k)
        EXPECT_EQ(during[k] - before[k], long(s->pool.names(gl_pool::kind(k)).size())) << k;
    EXPECT_EQ(gl_pool::liveInAllPools() - pooled, s->pool.created());
    s.reset();
    EXPECT_EQ(live(last), before);
    EXPECT_EQ(gl_pool::liveInAllPools(), pooled);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

} // namespace

TEST(GlPool, TheDemoLoadedFiftyTimesLeavesNoObjectBehind) {
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(KESTRINE_DEMO_DIR), 0);
    for (int i = 0; i < 50 && !::testing::Test::HasFailure(); ++i) {
        SCOPED_TRACE(i);
        loadAndDestroy("demo.xml", true);
    }
    ASSERT_EQ(chdir(previous), 0);
}

TEST(GlPool, GoodAndBrokenReloadsLeaveNoObjectBehind) {
    // Duplicates of every kind, and a broken version that fails after making its assets, as a
    // save in the preview can.
    const std::string data = KESTRINE_TEST_DATA "/player";
    const std::string assets =
        "<texture name=\"t\" filename=\"" KESTRINE_TEST_DATA "/dds/dxt1_64x64_full.dds\"/>\n"
        "<texture name=\"t\" filename=\"" KESTRINE_TEST_DATA "/dds/dxt5_32x8_full.dds\"/>\n"
        "<shader name=\"s\" vertex=\"" +
        data + "/flat.vert\" fragment=\"" + data +
        "/flat.frag\"/>\n"
        "<shader name=\"s\" vertex=\"" +
        data + "/flat.vert\" fragment=\"" + data +
        "/flat.frag\"/>\n"
        "<shader vertex=\"" +
        data + "/flat.vert\" fragment=\"" + data +
        "/flat.frag\"/>\n"
        "<mesh name=\"m\" filename=\"" +
        data +
        "/quad.obj\"/>\n"
        "<mesh name=\"m\" filename=\"" +
        data + "/quad.obj\"/>\n";
    const std::string good = ::testing::TempDir() + "kestrine_pool_good.xml";
    const std::string broken = ::testing::TempDir() + "kestrine_pool_broken.xml";
    std::ofstream(good) << "<scene>\n" + assets +
                               "<group><models><model name=\"m\" "
                               "shader=\"s\" texture=\"t\"/></models></group>\n</scene>\n";
    std::ofstream(broken) << "<scene>\n" + assets +
                                 "<group><translate X=\"1\"/></group>\n</scene>\n";
    for (int i = 0; i < 20 && !::testing::Test::HasFailure(); ++i) {
        SCOPED_TRACE(i);
        loadAndDestroy(i % 2 ? broken : good, i % 2 == 0);
    }
}
