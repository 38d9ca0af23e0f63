// The drawing walk on a real context: scenes drawn into the framebuffer and read back.
#include "tests/gl/gl_context.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include "scene/scene.h"
#include "tests/test_data.h"

namespace {

double g_clock = 0.0;
double testClock() {
    return g_clock;
}

const int kSize = 64;

class Draw : public ::testing::Test {
protected:
    // Loads a scene of the quad mesh, a flat and a textured program, a green texture and the
    // given groups, seen by a camera on the z axis at distance 10.
    void load(const std::string& groups) {
        const std::string d = KESTRINE_TEST_DATA "/player";
        const std::string dir = ::testing::TempDir();
        std::ofstream(dir + "kestrine_green.dds", std::ios::binary) << testdata::solidDxt1(0x07E0);
        const std::string xml = "<scene>\n<texture name=\"green\" filename=\"" + dir +
                                "kestrine_green.dds\"/>\n" + "<shader name=\"flat\" vertex=\"" + d +
                                "/flat.vert\" fragment=\"" + d + "/flat.frag\"/>\n" +
                                "<shader name=\"tex\" vertex=\"" + d + "/flat.vert\" fragment=\"" +
                                d + "/textured.frag\"/>\n<mesh name=\"quad\" filename=\"" + d +
                                "/quad.obj\"/>\n" + groups + "\n</scene>\n";
        const std::string path = dir + "kestrine_draw.xml";
        std::ofstream(path, std::ios::binary) << xml;
        load_options options;
        options.trace = nullptr;
        ::testing::internal::CaptureStdout();
        s = std::make_unique<scene>(path.c_str(), options);
        std::fflush(stdout);
        ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(s->loaded());
        s->timer = testClock;
        ASSERT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
    }

    // Draws every root group at scene time t and reads the framebuffer back.
    void drawAt(double t) {
        g_clock = t;
        s->updateElapsedTime();
        glViewport(0, 0, kSize, kSize);
        glEnable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        const glm::mat4 projection = glm::perspective(glm::radians(45.0f), 1.0f, 0.1f, 100.0f);
        for (group& g : s->groups)
            s->drawGroup(&g, glm::mat4(1.0f), projection, &cam);
        glReadPixels(0, 0, kSize, kSize, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
        ASSERT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
    }

    // The pixel where the world point (x, y, 0) lands: the view is 2 x 10 tan(22.5 deg) wide.
    const unsigned char* at(float x, float y) const {
        const float half = 10.0f * std::tan(glm::radians(22.5f));
        const int px = static_cast<int>(kSize / 2 + x / half * kSize / 2);
        const int py = static_cast<int>(kSize / 2 + y / half * kSize / 2);
        return pixels[py][px];
    }

    static bool isRed(const unsigned char* p) { return p[0] > 200 && p[1] < 50 && p[2] < 50; }
    static bool isGreen(const unsigned char* p) { return p[0] < 50 && p[1] > 200 && p[2] < 50; }
    static bool isBlack(const unsigned char* p) { return p[0] < 20 && p[1] < 20 && p[2] < 20; }

    void TearDown() override { glDisable(GL_DEPTH_TEST); } // leave the shared context as found

    std::unique_ptr<scene> s;
    camera cam{glm::vec3(0, 0, 10), glm::vec3(0), glm::vec3(0, 1, 0), 0, 100};
    unsigned char pixels[kSize][kSize][4] = {};
};

const char* const kRedQuad =
    R"(<models><model name="quad" shader="flat" texture="" R="1" G="0" B="0"/></models>)";

} // namespace

TEST_F(Draw, ObjectsAppearWhereTheirTransformsPutThem) {
    const struct {
        const char* name;
        std::string transforms;
        float x, y; // a point covered only when the transform works
        bool moved; // the quad has left the centre
    } cases[] = {
        {"translation", R"(<translate X="2" Y="0" Z="0"/>)", 2, 0, true},
        {"rotation then translation",
         R"(<rotate angle="1.5707963" axisX="0" axisY="0" axisZ="1"/><translate X="2" Y="0" Z="0"/>)",
         0, 2, true},
        {"scale", R"(<scale X="3" Y="3" Z="1"/>)", 1.2f, 1.2f, false},
        {"curve translation", R"(<translate time="4"><p X="0" Y="0" Z="0"/><p X="2" Y="0" Z="0"/>
            <p X="2" Y="2" Z="0"/><p X="0" Y="2" Z="0"/></translate>)",
         2, 0, true}, // at t = 1 the curve is on its second point
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        load("<group>" + c.transforms + kRedQuad + "</group>");
        drawAt(1.0);
        EXPECT_TRUE(isRed(at(c.x, c.y)));
        if (c.moved) {
            EXPECT_TRUE(isBlack(at(0, 0)));
        }
    }
}

TEST_F(Draw, ChildrenInheritTheirParentsMatrix) {
    load(R"(<group><translate X="2" Y="0" Z="0"/>
        <group><translate X="0" Y="2" Z="0"/>)" +
         std::string(kRedQuad) + "</group></group>");
    drawAt(0.0);
    EXPECT_TRUE(isRed(at(2, 2)));
    EXPECT_TRUE(isBlack(at(2, 0)));
    EXPECT_TRUE(isBlack(at(0, 0)));
}

TEST_F(Draw, DescriptorsOutsideTheirWindowAreNotDrawn) {
    load(R"(<group><models>
        <model name="quad" shader="flat" texture="" start="5" end="6" R="1" G="0" B="0"/>
    </models></group>)");
    drawAt(4.999);
    EXPECT_TRUE(isBlack(at(0, 0)));
    drawAt(5.0);
    EXPECT_TRUE(isRed(at(0, 0)));
    drawAt(6.0);
    EXPECT_TRUE(isRed(at(0, 0)));
    drawAt(6.001);
    EXPECT_TRUE(isBlack(at(0, 0)));
}

TEST_F(Draw, TextureIsBoundAndSampled) {
    load(R"(<group><models><model name="quad" shader="tex" texture="green" R="1" G="1" B="1"/>
        </models></group>)");
    drawAt(0.0);
    EXPECT_TRUE(isGreen(at(0, 0)));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), s->resources.textures.at("green").texture_id);
    EXPECT_NE(bound, 0);

    // An empty texture name draws with texture 0 bound.
    load(std::string("<group>") + kRedQuad + "</group>");
    drawAt(0.0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
}

TEST_F(Draw, LightCirclesWithTheClockAndUniformsAreSet) {
    load(std::string("<group>") + kRedQuad + "</group>");
    const GLuint program = s->resources.shaders.at("flat").program_id;
    const double pi = 3.14159265358979323846;
    const struct {
        double tau;
        glm::vec3 light;
    } cases[] = {{0.0, {3, 3, 2}}, {pi / 2, {2, 3, 3}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tau);
        drawAt(c.tau);
        float v[3];
        glGetUniformfv(program, glGetUniformLocation(program, "lightPos"), v);
        EXPECT_NEAR(v[0], c.light.x, 1e-6f);
        EXPECT_NEAR(v[1], c.light.y, 1e-6f);
        EXPECT_NEAR(v[2], c.light.z, 1e-6f);
        glGetUniformfv(program, glGetUniformLocation(program, "lightColor"), v);
        EXPECT_EQ(glm::vec3(v[0], v[1], v[2]), glm::vec3(1));
        glGetUniformfv(program, glGetUniformLocation(program, "objectColor"), v);
        EXPECT_EQ(glm::vec3(v[0], v[1], v[2]), glm::vec3(1, 0, 0));
        // The viewer's position is the camera's look-at point.
        glGetUniformfv(program, glGetUniformLocation(program, "viewPos"), v);
        EXPECT_EQ(glm::vec3(v[0], v[1], v[2]), glm::vec3(0));
        float view[16];
        glGetUniformfv(program, glGetUniformLocation(program, "view"), view);
        EXPECT_EQ(view[14], cam.viewMatrix()[3][2]);
    }
}

TEST_F(Draw, MissingAssetsAreSkippedAndReportedOnce) {
    load(R"(<group><models>
        <model name="nomesh" shader="flat" texture=""/>
        <model name="quad" shader="noshader" texture="notexture"/>
        <model name="quad" shader="flat" texture="" R="1" G="0" B="0"/>
    </models></group>)");
    ::testing::internal::CaptureStdout();
    drawAt(0.0);
    drawAt(0.5);
    std::fflush(stdout);
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "modelo \"nomesh\" is not drawn: no mesh \"nomesh\";\n"
                   "modelo \"quad\" is not drawn: no shader \"noshader\"; no texture "
                   "\"notexture\";\n");
    EXPECT_TRUE(isRed(at(0, 0))); // the good one is still drawn
}

TEST_F(Draw, TransformsAreRefreshedEvenWhenNothingIsVisible) {
    load(R"(<group><translate time="4"><p X="0" Y="0" Z="0"/><p X="2" Y="0" Z="0"/></translate>
        <models><model name="quad" shader="flat" texture="" start="50" end="60"/></models>
        <group><rotate angle="0" axisX="0" axisY="1" axisZ="0" time="10"/></group></group>)");
    drawAt(1.0);
    const group& g = s->groups[0];
    EXPECT_EQ(g.transforms[0].operand, glm::vec3(1, 0, 0)); // halfway out on a two-point loop
    EXPECT_FLOAT_EQ(g.children[0].transforms[0].scalar, 36.0f);
}
