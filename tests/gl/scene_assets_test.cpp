// Scene files with assets, loaded on the real context: the three tables, their order and
// their duplicates, and unnamed programs.
#include "tests/gl/gl_context.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scene/scene.h"
#include "tests/test_data.h"

namespace {

struct loaded {
    std::unique_ptr<scene> s;
    std::string trace;
};

loaded loadWithAssets(const std::string& body) {
    const std::string dir = ::testing::TempDir();
    std::ofstream(dir + "kestrine_t1.dds", std::ios::binary) << testdata::solidDxt1(0x07E0);
    std::ofstream(dir + "kestrine_t2.dds", std::ios::binary) << testdata::solidDxt1(0xF800);
    const std::string path = dir + "kestrine_assets.xml";
    std::ofstream(path, std::ios::binary) << "<scene>\n" + body + "\n</scene>\n";
    loaded r;
    ::testing::internal::CaptureStdout();
    r.s = std::make_unique<scene>(path.c_str());
    std::fflush(stdout);
    r.trace = ::testing::internal::GetCapturedStdout();
    return r;
}

const std::string kData = KESTRINE_TEST_DATA "/player";
const std::string kTmp = ::testing::TempDir();

} // namespace

TEST(SceneAssets, TablesAreFilledInAFixedOrderWhateverTheFileOrder) {
    const std::string vert = kData + "/flat.vert", frag = kData + "/flat.frag";
    loaded r = loadWithAssets("<group/>\n<camera start=\"0\" end=\"5\"/>\n"
                              "<mesh name=\"quad\" filename=\"" +
                              kData +
                              "/quad.obj\"/>\n"
                              "<shader name=\"flat\" vertex=\"" +
                              vert + "\" fragment=\"" + frag +
                              "\"/>\n"
                              "<shader vertex=\"" +
                              vert + "\" fragment=\"" + frag +
                              "\"/>\n"
                              "<shader name=\"incomplete\" vertex=\"" +
                              vert +
                              "\"/>\n"
                              "<texture name=\"green\" filename=\"" +
                              kTmp +
                              "kestrine_t1.dds\"/>\n"
                              "<texture name=\"nofile\"/>\n");
    ASSERT_TRUE(r.s->loaded());
    const std::string expected = "a carregar :" + kTmp +
                                 "kestrine_assets.xml\n"
                                 "Nao existe configuração de Resolução no XML\n"
                                 "Compiling shader : " +
                                 vert + "\nCompiling shader : " + frag +
                                 "\nLinking program\n"
                                 "shader carregado - new path \n"
                                 "Compiling shader : " +
                                 vert + "\nCompiling shader : " + frag +
                                 "\nLinking program\n"
                                 "shader carregado - old \n"
                                 "Loading OBJ file " +
                                 kData +
                                 "/quad.obj...\n"
                                 "nova camara \ngrupo : \n";
    EXPECT_EQ(r.trace, expected);
    EXPECT_EQ(r.s->resources.textures.size(), 1u);
    EXPECT_NE(r.s->resources.textures.at("green").texture_id, 0u);
    EXPECT_EQ(r.s->resources.shaders.size(), 1u);
    ASSERT_EQ(r.s->unnamedShaders.size(), 1u);
    GLint linked = 0;
    glGetProgramiv(r.s->unnamedShaders[0].program_id, GL_LINK_STATUS, &linked);
    EXPECT_TRUE(linked);
    EXPECT_TRUE(r.s->resources.modelos.at("quad").loaded);
    EXPECT_EQ(r.s->resources.modelos.at("quad").vertices.size(), 6u);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(SceneAssets, DuplicateNamesKeepTheFirstButLoadEveryFile) {
    loaded r = loadWithAssets("<texture name=\"t\" filename=\"" + kTmp +
                              "kestrine_t1.dds\"/>\n"
                              "<texture name=\"t\" filename=\"" +
                              kTmp +
                              "kestrine_t2.dds\"/>\n"
                              "<mesh name=\"m\" filename=\"" +
                              kData +
                              "/quad.obj\"/>\n"
                              "<mesh name=\"m\" filename=\"" +
                              kTmp +
                              "kestrine_missing.obj\"/>\n"
                              "<shader name=\"s\" vertex=\"" +
                              kData + "/flat.vert\" fragment=\"" + kData +
                              "/flat.frag\"/>\n"
                              "<shader name=\"s\" vertex=\"" +
                              kData + "/flat.vert\" fragment=\"" + kData + "/flat.frag\"/>\n");
    ASSERT_TRUE(r.s->loaded());
    ASSERT_EQ(r.s->resources.textures.size(), 1u);
    const texture& kept = r.s->resources.textures.at("t");
    EXPECT_EQ(kept.file_path, kTmp + "kestrine_t1.dds");
    // The second file was loaded too, as the name after the first one's, and its texture is
    // in the scene's pool, to be deleted with the rest.
    GLuint next = 0;
    glGenTextures(1, &next);
    EXPECT_GE(next, kept.texture_id + 2);
    glDeleteTextures(1, &next);
    EXPECT_EQ(r.s->pool.names(gl_pool::textures).size(), 2u);
    EXPECT_EQ(r.s->pool.names(gl_pool::programs).size(), 2u);
    EXPECT_EQ(r.s->pool.names(gl_pool::vertex_arrays).size(), 2u);
    // Both meshes were read (the second fails to open), the first is kept.
    EXPECT_NE(r.trace.find("Loading OBJ file " + kTmp +
                           "kestrine_missing.obj...\n"
                           "Impossible to open the file"),
              std::string::npos)
        << r.trace;
    EXPECT_TRUE(r.s->resources.modelos.at("m").loaded);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(SceneAssets, MissingAssetFilesAreReportedAndLoadingGoesOn) {
    loaded r = loadWithAssets(
        "<texture name=\"t\" filename=\"" + kTmp +
        "kestrine_none.dds\"/>\n"
        "<shader name=\"s\" vertex=\"" +
        kTmp +
        "kestrine_none.vert\" fragment=\"x\"/>\n"
        "<group><models><model name=\"m\" shader=\"s\" texture=\"t\"/></models></group>\n");
    ASSERT_TRUE(r.s->loaded());
    EXPECT_NE(r.trace.find(kTmp + "kestrine_none.dds could not be opened. Are you in the right "
                                  "directory ? Don't forget to read the FAQ !\n"),
              std::string::npos)
        << r.trace;
    EXPECT_NE(r.trace.find("Impossible to open " + kTmp +
                           "kestrine_none.vert. Are you in the "
                           "right directory ? Don't forget to "
                           "read the FAQ !\n"),
              std::string::npos)
        << r.trace;
    EXPECT_EQ(r.s->resources.textures.at("t").texture_id, 0u);
    EXPECT_EQ(r.s->resources.shaders.at("s").program_id, 0u);
    EXPECT_EQ(r.s->groups.size(), 1u);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(SceneAssets, EachAssetFileIsAnnouncedJustBeforeItIsOpened) {
    const std::string path = kTmp + "kestrine_opening.xml";
    std::ofstream(path, std::ios::binary)
        << "<scene>\n<mesh name=\"m\" filename=\"" + kData +
               "/quad.obj\"/>\n<texture "
               "name=\"t\" filename=\"" +
               kTmp +
               "kestrine_none.dds\"/>\n<shader name=\"s\" "
               "vertex=\"a.vert\" fragment=\"a.frag\"/>\n</scene>\n";
    std::vector<std::string> opened;
    std::string trace;
    load_options options;
    options.trace = nullptr;
    options.opening = [&](const char* file) {
        opened.push_back(file);
        std::fflush(stdout);
        trace = ::testing::internal::GetCapturedStdout(); // what came before this file
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(trace.find(file), std::string::npos) << file;
    };
    ::testing::internal::CaptureStdout();
    const scene s(path.c_str(), options);
    ::testing::internal::GetCapturedStdout();
    const std::vector<std::string> expected = {kTmp + "kestrine_none.dds", "a.vert", "a.frag",
                                               kData + "/quad.obj"};
    EXPECT_EQ(opened, expected);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}
