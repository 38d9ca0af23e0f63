// Scene files read from disk without assets: the group tree, cameras, the loading trace,
// and what happens to broken files.
#include "scene/scene.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "formats/convert.h"

namespace {

struct loaded_scene {
    std::unique_ptr<scene> s;
    std::string trace;  // standard output while loading
    std::string errors; // standard error while loading
};

// Named after the running test too: ctest runs the tests of this file in parallel.
std::string tempPath(const std::string& name) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + "kestrine_" + info->test_suite_name() + "_" + info->name() + "_" +
           name;
}

// Loads a file as the player would, but without textures, programs and meshes (they need a
// GL context and are tested elsewhere).
loaded_scene loadPath(const std::string& path) {
    loaded_scene r;
    load_options options;
    options.load_assets = false;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    r.s = std::make_unique<scene>(path.c_str(), options);
    std::fflush(stdout);
    r.trace = ::testing::internal::GetCapturedStdout();
    r.errors = ::testing::internal::GetCapturedStderr();
    return r;
}

loaded_scene loadText(const std::string& xml, const std::string& name = "test.xml") {
    const std::string path = tempPath(name);
    std::ofstream(path, std::ios::binary) << xml;
    return loadPath(path);
}

std::string inScene(const std::string& body) {
    return "<scene>\n" + body + "\n</scene>\n";
}

} // namespace

TEST(Convert, BehavesAsTheStandardConversions) {
    int i = 0;
    float f = 0;
    double d = 0;
    unsigned u = 0;
    EXPECT_EQ(toInt("2.9", i), conversion::ok);
    EXPECT_EQ(i, 2);
    EXPECT_EQ(toInt("  -7xyz", i), conversion::ok);
    EXPECT_EQ(i, -7);
    EXPECT_EQ(toFloat("1.5m", f), conversion::ok);
    EXPECT_EQ(f, 1.5f);
    EXPECT_EQ(toDouble("\t2.25", d), conversion::ok);
    EXPECT_EQ(d, 2.25);
    EXPECT_EQ(toUnsigned32("1.9", u), conversion::ok);
    EXPECT_EQ(u, 1u);
    EXPECT_EQ(toUnsigned32("-1", u), conversion::ok);
    EXPECT_EQ(u, 4294967295u);

    EXPECT_EQ(toInt(nullptr, i), conversion::missing);
    EXPECT_EQ(toInt("abc", i), conversion::not_a_number);
    EXPECT_EQ(toInt("", i), conversion::not_a_number);
    EXPECT_EQ(toInt("99999999999", i), conversion::out_of_range);
    EXPECT_EQ(toFloat("1e99", f), conversion::out_of_range);
    EXPECT_EQ(toFloat(".", f), conversion::not_a_number);
    EXPECT_EQ(toDouble("1e999", d), conversion::out_of_range);
    EXPECT_EQ(toUnsigned32("x1", u), conversion::not_a_number);
}

TEST(SceneLoad, RootAndNestedGroupsTraceDifferently) {
    // Every child kind once at the root and once nested, then nested again one level down.
    const std::string kinds = R"(
    <translate X="1" Y="2" Z="3"/>
    <rotate angle="0.5" axisX="0" axisY="1" axisZ="0"/>
    <rotate angle="0.5" axisX="0" axisY="1" axisZ="0" time="4"/>
    <rotate angle="1" axisX="1" axisY="0" axisZ="0" w_sinx="1" w_siny="1" w_sinz="1"/>
    <scale X="2" Y="2" Z="2"/>
    <models>
      <model name="m" shader="s" texture="t"/>
      <terrain file="hm.png"/>
      <procedural_m x="1" y="2" xseg="3" yseg="4"/>
    </models>)";
    const std::string xml =
        inScene("<group>" + kinds + "<group>" + kinds + "<group/></group></group>");
    loaded_scene r = loadText(xml);
    ASSERT_TRUE(r.s->loaded()) << r.errors;

    const std::string rootRotate = " \t rotate \n\t \t angle 0.5\n\t \t axisX 0\n\t \t axisY 1\n"
                                   "\t \t axisZ 0\n";
    const std::string rootWobbleRotate = " \t rotate \n\t \t angle 1\n\t \t axisX 1\n"
                                         "\t \t axisY 0\n\t \t axisZ 0\n";
    const std::string expected =
        "a carregar :" + tempPath("test.xml") + "\n" +
        "Nao existe configuração de Resolução no XML\n"
        "grupo : \n" +
        rootRotate + rootRotate + rootWobbleRotate +
        "add model descriptor 2 \n\n"
        "subgrupo \n \t invocação recursiva" +
        "adicionado rotação \n" + rootRotate + " \t scale \n" +
        "model<----\nadd model descriptor 2 \n\nterrain<----\nprocedural_m<----\n" +
        "subgrupo \n \t Chamada Recursiva\n";
    EXPECT_EQ(r.trace, expected);

    ASSERT_EQ(r.s->groups.size(), 1u);
    const group& root = r.s->groups[0];
    ASSERT_EQ(root.transforms.size(), 5u);
    const int kindsExpected[] = {translation, rotation, timed_rotation, rotation, scaling};
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(root.transforms[k].kind, kindsExpected[k]);
    EXPECT_EQ(root.transforms[2].time_length, 4.0);
    EXPECT_EQ(root.transforms[3].wobble_frequency, glm::vec3(1));
    EXPECT_EQ(root.descriptors.size(), 1u);
    ASSERT_EQ(root.children.size(), 1u);
    ASSERT_EQ(root.children[0].children.size(), 1u);
    EXPECT_EQ(root.children[0].transforms.size(), 5u);
    EXPECT_TRUE(root.children[0].children[0].transforms.empty());
}

TEST(SceneLoad, CurveTranslationTakesEveryElementChildAsAPoint) {
    loaded_scene r = loadText(inScene(R"(<group><translate time="4" X="not read">
        <p X="0" Y="0" Z="0"/><!-- a comment --><p X="1" Y="0" Z="0"/><q X="1" Y="1" Z="0"/>
    </translate><translate time="2.9"/></group>)"));
    ASSERT_TRUE(r.s->loaded()) << r.errors;
    EXPECT_NE(r.trace.find("grupo : \nCom curva \nppqCom curva \n"), std::string::npos) << r.trace;
    const group& g = r.s->groups.at(0);
    ASSERT_EQ(g.transforms.size(), 2u);
    EXPECT_EQ(g.transforms[0].kind, curve_translation);
    EXPECT_EQ(g.transforms[0].time_length, 4.0);
    EXPECT_EQ(g.transforms[0].path.pointCount(), 3u);
    EXPECT_EQ(g.transforms[0].path.getMatrixVal(2, 1), 1.0f);
    EXPECT_EQ(g.transforms[1].time_length, 2.0); // an integer on "translate"
    EXPECT_EQ(g.transforms[1].path.pointCount(), 0u);
}

TEST(SceneLoad, WobbleIsAllOrNothing) {
    loaded_scene r = loadText(inScene(R"(<group>
        <translate X="1" Y="1" Z="1" w_sinx="2" w_siny="3" cl="oops"/>
        <translate X="1" Y="1" Z="1" w_sinx="2" w_siny="3" w_sinz="4"/>
        <scale X="1" Y="1" Z="1" w_sinx="0" w_siny="5" w_sinz="0" cl="0.25"/>
        <rotate angle="1" axisX="0" axisY="0" axisZ="1" time="2.5" w_sinx="x" w_siny="y" w_sinz="z"/>
    </group>)"));
    ASSERT_TRUE(r.s->loaded()) << r.errors;
    const group& g = r.s->groups.at(0);
    ASSERT_EQ(g.transforms.size(), 4u);
    EXPECT_EQ(g.transforms[0].wobble_frequency, glm::vec3(0));
    EXPECT_EQ(g.transforms[1].wobble_frequency, glm::vec3(2, 3, 4));
    EXPECT_EQ(g.transforms[1].wobble_amplitude, 1.0);
    EXPECT_EQ(g.transforms[2].wobble_frequency, glm::vec3(0, 5, 0));
    EXPECT_EQ(g.transforms[2].wobble_amplitude, 0.25);
    // A timed rotation reads no wobble at all, and its period is a float.
    EXPECT_EQ(g.transforms[3].kind, timed_rotation);
    EXPECT_EQ(g.transforms[3].time_length, 2.5);
    EXPECT_EQ(g.transforms[3].wobble_frequency, glm::vec3(0));
}

TEST(SceneLoad, ModelsWithAndWithoutWindowsAndColours) {
    loaded_scene r = loadText(inScene(R"(<group><models>
        <model name="a" shader="s" texture="t"/>
        <model name="b" shader="s" texture="" start="2" end="4.5" R="1" G="0" B="0.25"/>
        <model name="c" shader="s" texture="t" R="1" G="0"/>
        <model name="d" shader="s" texture="t" start="1"/>
        <model shader="s" texture="t"/>
        <other name="e"/>
    </models><translate X="0" Y="0" Z="1"/></group>)"));
    ASSERT_TRUE(r.s->loaded()) << r.errors;
    const group& g = r.s->groups.at(0);
    ASSERT_EQ(g.descriptors.size(), 3u);
    EXPECT_EQ(g.descriptors[0].mesh_name, "a");
    EXPECT_EQ(g.descriptors[0].shader_name, "s");
    EXPECT_EQ(g.descriptors[0].texture_name, "t");
    EXPECT_EQ(g.descriptors[0].start, -1.0);
    EXPECT_EQ(g.descriptors[0].end, -1.0);
    EXPECT_EQ(g.descriptors[0].colour, glm::vec3(0.5f));
    EXPECT_EQ(g.descriptors[1].texture_name, "");
    EXPECT_EQ(g.descriptors[1].start, 2.0);
    EXPECT_EQ(g.descriptors[1].end, 4.5);
    EXPECT_EQ(g.descriptors[1].colour, glm::vec3(1, 0, 0.25f));
    EXPECT_EQ(g.descriptors[2].colour, glm::vec3(0.5f)); // R and G without B
    // A transform after the models still applies to the group.
    EXPECT_EQ(g.transforms.size(), 1u);
}

TEST(SceneLoad, ProceduralModelsAreReadOnlyInNestedGroups) {
    loaded_scene root =
        loadText(inScene(R"(<group><models><procedural_m x="1"/></models></group>)"));
    EXPECT_TRUE(root.s->loaded()) << root.errors;

    loaded_scene nested = loadText(inScene(R"(<group><group><models>
        <procedural_m x="1" y="2" yseg="4"/>
    </models></group></group>)"),
                                   "nested.xml");
    EXPECT_FALSE(nested.s->loaded());
    EXPECT_EQ(nested.errors,
              tempPath("nested.xml") + ":3: error: procedural_m: attribute \"xseg\" is missing\n");
}

TEST(SceneLoad, GroupsKeepDocumentOrder) {
    loaded_scene r = loadText(inScene(R"(
        <group><group><translate X="1" Y="0" Z="0"/></group><group/><group><scale X="3" Y="3" Z="3"/></group></group>
        <group/>)"));
    ASSERT_TRUE(r.s->loaded()) << r.errors;
    ASSERT_EQ(r.s->groups.size(), 2u);
    const group& g = r.s->groups[0];
    ASSERT_EQ(g.children.size(), 3u);
    EXPECT_EQ(g.children[0].transforms.at(0).kind, translation);
    EXPECT_TRUE(g.children[1].transforms.empty());
    EXPECT_EQ(g.children[2].transforms.at(0).kind, scaling);
    EXPECT_TRUE(r.s->groups[1].children.empty());
}

TEST(SceneLoad, CamerasInTheirThreeFormsAndTheDefault) {
    loaded_scene r = loadText(inScene(R"(
        <group/>
        <camera start="0" end="8"><p X="0" Y="0" Z="0"/><p X="1" Y="0" Z="0"/><p X="1" Y="1" Z="0"/></camera>
        <camera start="1.9" end="9" eye_x="1" eye_y="2" eye_z="3" up_x="1" up_y="0" up_z="0"
                look_x="0" look_y="0" look_z="0"/>
        <camera start="3" end="3" look_x="4" look_y="5" look_z="6"><a X="1" Y="2" Z="3"/></camera>
    )"));
    ASSERT_TRUE(r.s->loaded()) << r.errors;
    // Cameras are read before groups wherever they stand in the file.
    EXPECT_NE(r.trace.find("nova camara \nnova camara \ncamara estaticanova camara \ngrupo : \n"),
              std::string::npos)
        << r.trace;
    ASSERT_EQ(r.s->cameras.size(), 3u);
    const camera& tangent = r.s->cameras[0];
    EXPECT_EQ(tangent.mode, 3);
    EXPECT_EQ(tangent.path.pointCount(), 3u);
    EXPECT_EQ(tangent.viewMatrix(), glm::mat4(1.0f));
    const camera& still = r.s->cameras[1];
    EXPECT_EQ(still.mode, 0);
    EXPECT_EQ(still.start, 1.0);
    EXPECT_EQ(still.eye, glm::vec3(1, 2, 3));
    EXPECT_EQ(still.up, glm::vec3(0, 1, 0));
    const camera& fixed = r.s->cameras[2];
    EXPECT_EQ(fixed.mode, 1);
    EXPECT_EQ(fixed.look, glm::vec3(4, 5, 6));
    EXPECT_TRUE(fixed.is_on_time(100.0));

    loaded_scene none = loadText(inScene("<group/>"), "nocamera.xml");
    ASSERT_EQ(none.s->cameras.size(), 1u);
    EXPECT_EQ(none.s->cameras[0].eye, glm::vec3(30));
    EXPECT_TRUE(none.s->cameras[0].is_on_time(1e6));
}

TEST(SceneLoad, BadCamerasAreSkippedWithAWarning) {
    loaded_scene r = loadText(inScene(R"(<camera start="0" end="5" eye_x="1"/>
<camera start="soon" end="5"/>
<camera start="0" end="5">
  <!-- a comment -->
  <p X="1" Y="oops" Z="0"/>
  <p X="1" Y="2" Z="3"/>
</camera>)"),
                              "cams.xml");
    ASSERT_TRUE(r.s->loaded());
    ASSERT_EQ(r.s->cameras.size(), 1u);
    EXPECT_EQ(r.s->cameras[0].path.pointCount(), 1u);
    const std::string f = tempPath("cams.xml");
    EXPECT_NE(r.errors.find(f + ":2: warning: camera: fits none of the camera forms: the "
                                "closest is a moving camera looking along its path (start and "
                                "end only), which does not take \"eye_x\"; camera skipped\n"),
              std::string::npos)
        << r.errors;
    EXPECT_NE(r.errors.find(f +
                            ":3: warning: camera: attribute \"start\" is not a number: \"soon\"; "
                            "camera skipped\n"),
              std::string::npos)
        << r.errors;
    EXPECT_NE(
        r.errors.find(f + ":5: warning: camera: a path point that is not an element; skipped\n"),
        std::string::npos)
        << r.errors;
    EXPECT_NE(r.errors.find(f + ":6: warning: p: attribute \"Y\" is not a number: \"oops\"; path "
                                "point skipped\n"),
              std::string::npos)
        << r.errors;
    EXPECT_EQ(r.s->diagnostics().size(), 4u);
}

TEST(SceneLoad, WindowSettings) {
    loaded_scene none = loadText(inScene("<group/>"));
    EXPECT_EQ(none.s->getRes_x(), 800);
    EXPECT_EQ(none.s->getRes_y(), 800);
    EXPECT_STREQ(none.s->getWindowName(), "Kestrine 2.0");

    loaded_scene plain = loadText(inScene(R"(<window x="1920" y="1080"/>)"));
    EXPECT_EQ(plain.s->getRes_x(), 1920);
    EXPECT_EQ(plain.s->getRes_y(), 1080);
    EXPECT_STREQ(plain.s->getWindowName(), "Riruruvo RU");
    EXPECT_EQ(plain.trace.find("Nao existe"), std::string::npos);

    loaded_scene bad = loadText(inScene(R"(<window y="wide" title="T"/>)"), "window.xml");
    EXPECT_TRUE(bad.s->loaded());
    EXPECT_EQ(bad.s->getRes_x(), 800);
    EXPECT_EQ(bad.s->getRes_y(), 800);
    EXPECT_STREQ(bad.s->getWindowName(), "T");
    EXPECT_EQ(bad.errors, tempPath("window.xml") +
                              ":2: warning: window: attribute \"x\" is missing; using 800\n" +
                              tempPath("window.xml") +
                              ":2: warning: window: attribute \"y\" is not a number: \"wide\"; "
                              "using 800\n");
}

TEST(SceneLoad, LoadErrorsNameFileLineElementAndAttribute) {
    const struct {
        const char* body;
        const char* message; // after "file:"
    } cases[] = {
        {"<group>\n<translate X=\"1\" Z=\"3\"/></group>",
         "3: error: translate: attribute \"Y\" is missing"},
        {"<group>\n<group>\n<scale X=\"1\" Y=\"x\" Z=\"3\"/></group></group>",
         "4: error: scale: attribute \"Y\" is not a number: \"x\""},
        {"<group>\n<rotate angle=\"1e99\" axisX=\"0\" axisY=\"1\" axisZ=\"0\"/></group>",
         "3: error: rotate: attribute \"angle\" is out of range: \"1e99\""},
        {"<group>\n<translate time=\"-3\"/></group>",
         "3: error: translate: attribute \"time\" is negative: \"-3\""},
        {"<group>\n<translate time=\"2\"><p X=\"0\" Y=\"0\"/></translate></group>",
         "3: error: p: attribute \"Z\" is missing"},
        {"<group>\n<models><model name=\"m\" texture=\"t\"/></models></group>",
         "3: error: model: attribute \"shader\" is missing"},
        {"<group>\n<models><model name=\"m\" shader=\"s\" texture=\"t\" start=\"a\" end=\"1\"/>"
         "</models></group>",
         "3: error: model: attribute \"start\" is not a number: \"a\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        loaded_scene r = loadText(inScene(c.body), "bad.xml");
        EXPECT_FALSE(r.s->loaded());
        EXPECT_EQ(r.errors, tempPath("bad.xml") + ":" + c.message + "\n");
        ASSERT_EQ(r.s->diagnostics().size(), 1u);
        EXPECT_EQ(r.s->diagnostics()[0].severity, diagnostic::error);
    }
}

TEST(SceneLoad, UnreadableFilesStopWithAClearError) {
    const std::string missing = tempPath("does-not-exist.xml");
    const loaded_scene r = loadPath(missing);
    EXPECT_FALSE(r.s->loaded());
    EXPECT_EQ(r.trace,
              missing + " : Ficheiro nao Existe\na carregar :" + missing + "\n ERROR\n nullptr\n");
    EXPECT_EQ(r.errors,
              missing + ": error: cannot read the scene file (No such file or directory)\n");

    loaded_scene broken = loadText("<scene>\n<group>\n</scene>\n", "broken.xml");
    EXPECT_FALSE(broken.s->loaded());
    const std::string b = tempPath("broken.xml");
    EXPECT_EQ(broken.trace,
              b + " : Ficheiro nao Existe\na carregar :" + b + "\n ERROR\n nullptr\n");
    // The author's words for it, not the parser's.
    EXPECT_EQ(broken.errors,
              b + ":3: error: the element <group> opened at line 2 is not closed before "
                  "</scene>\n");

    loaded_scene noScene = loadText("<stage><group/></stage>", "noscene.xml");
    EXPECT_FALSE(noScene.s->loaded());
    EXPECT_EQ(noScene.trace, "a carregar :" + tempPath("noscene.xml") + "\n nullptr\n");
    EXPECT_EQ(noScene.errors,
              tempPath("noscene.xml") + ": error: no top-level \"scene\" element\n");
}

TEST(SceneLoad, NestingDepthIsBoundedByTheParser) {
    auto nested = [](int depth) {
        std::string s = "<scene>";
        for (int i = 0; i < depth; ++i)
            s += "<group>";
        for (int i = 0; i < depth; ++i)
            s += "</group>";
        return s + "</scene>";
    };
    loaded_scene ok = loadText(nested(97), "deep97.xml");
    ASSERT_TRUE(ok.s->loaded()) << ok.errors;
    int depth = 0;
    for (const group* g = &ok.s->groups.at(0); !g->children.empty(); g = &g->children[0])
        ++depth;
    EXPECT_EQ(depth, 96);

    loaded_scene tooDeep = loadText(nested(98), "deep98.xml");
    EXPECT_FALSE(tooDeep.s->loaded());
    EXPECT_NE(tooDeep.errors.find(":1: error: elements are nested too deep to read"),
              std::string::npos)
        << tooDeep.errors;
}
