// DDS textures on a real context: every level read back and compared with the file's bytes.
#include "gpu/texture.h"

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "formats/dxt.h"
#include "gpu/shader.h"
#include "tests/gl/gl_context.h"
#include "tests/test_data.h"

namespace {

using testdata::Level;

std::string writeTemp(const std::string& name, const std::vector<unsigned char>& bytes) {
    const std::string path = testing::TempDir() + "kestrine_" + name;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    EXPECT_NE(out, nullptr);
    if (!out) return path;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    return path;
}

std::string stopCapture() {
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

GLint levelParameter(GLint level, GLenum what) {
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, what, &value);
    return value;
}

// The texture holds exactly `levels`, each with the file's bytes at its place in the chain.
void expectUploaded(GLuint name, GLenum format, const std::vector<unsigned char>& file,
                    const std::vector<Level>& levels) {
    glBindTexture(GL_TEXTURE_2D, name);
    std::size_t offset = 128;
    for (GLint k = 0; k < GLint(levels.size()); ++k) {
        SCOPED_TRACE("level " + std::to_string(k));
        const Level& want = levels[k];
        EXPECT_EQ(levelParameter(k, GL_TEXTURE_WIDTH), GLint(want.width));
        EXPECT_EQ(levelParameter(k, GL_TEXTURE_HEIGHT), GLint(want.height));
        EXPECT_EQ(levelParameter(k, GL_TEXTURE_INTERNAL_FORMAT), GLint(format));
        ASSERT_EQ(levelParameter(k, GL_TEXTURE_COMPRESSED_IMAGE_SIZE), GLint(want.size));
        ASSERT_LE(offset + want.size, file.size());
        std::vector<unsigned char> got(want.size);
        glGetCompressedTexImage(GL_TEXTURE_2D, k, got.data());
        EXPECT_TRUE(std::equal(got.begin(), got.end(), file.begin() + std::ptrdiff_t(offset)));
        offset += want.size;
    }
    EXPECT_EQ(levelParameter(GLint(levels.size()), GL_TEXTURE_WIDTH), 0) << "one level too many";
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

void checkUploads(const std::vector<testdata::DdsCase>& cases, bool in_memory) {
    for (const testdata::DdsCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> file;
        std::string path;
        if (in_memory) {
            file = testdata::chainFile(c);
            path = writeTemp("chain.dds", file);
        } else {
            path = testdata::path(c.name);
            file = testdata::bytes(path);
        }
        testing::internal::CaptureStdout();
        const GLuint name = loadDDS(path.c_str());
        EXPECT_EQ(stopCapture(), "");
        ASSERT_NE(name, 0u);
        expectUploaded(name, c.format, file, c.levels);
    }
}

// Mesa's decoding of each level the driver holds, against ours: colour within one level, alpha
// exact.
void compareDecoding(GLuint name, const std::vector<unsigned char>& file) {
    const dds_image img = parseDds(file.data(), file.size());
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (const dds_level& l : img.levels) {
        const std::vector<unsigned char> ours =
            decodeDxt(file.data() + l.offset, l.width, l.height, img.gl_format);
        std::vector<unsigned char> mesa(ours.size());
        glGetTexImage(GL_TEXTURE_2D, GLint(l.level), GL_RGBA, GL_UNSIGNED_BYTE, mesa.data());
        for (std::size_t i = 0; i < ours.size(); ++i)
            ASSERT_LE(std::abs(ours[i] - mesa[i]), i % 4 == 3 ? 0 : 1)
                << "level " << l.level << ", byte " << i;
    }
}

} // namespace

TEST(LoadDds, DecodingMatchesMesaOnEveryLevel) {
    std::vector<std::pair<std::string, std::vector<unsigned char>>> files;
    for (const testdata::DdsCase& c : testdata::imageMagickFiles())
        files.emplace_back(c.name, testdata::bytes(testdata::path(c.name)));
    // Patterned bytes: blocks of every mode, end points either way round.
    for (const testdata::DdsCase& c : testdata::handMadeChains())
        files.emplace_back(c.name, testdata::chainFile(c));
    for (const char* t : {"ground", "planet", "stone", "tiles"})
        files.emplace_back(
            t, testdata::bytes(std::string(KESTRINE_DEMO_DIR "/textures/") + t + ".dds"));
    for (const auto& [label, file] : files) {
        SCOPED_TRACE(label);
        const GLuint name = loadDDS(writeTemp("decode.dds", file).c_str());
        ASSERT_NE(name, 0u);
        compareDecoding(name, file);
        glDeleteTextures(1, &name);
    }
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(LoadDds, UploadsEveryLevelOfImageMagickFiles) {
    checkUploads(testdata::imageMagickFiles(), false);
}

TEST(LoadDds, UploadsEveryLevelOfChainsMadeInMemory) {
    checkUploads(testdata::handMadeChains(), true);
}

TEST(LoadDds, FullChainSamplesAndPartialChainIsIncomplete) {
    const std::string vert = testdata::path("shaders/basic.vert");
    const std::string frag = testdata::path("shaders/basic.frag");
    testing::internal::CaptureStdout();
    const shader program(vert, frag);
    stopCapture();
    ASSERT_NE(program.program_id, 0u);

    // One triangle covering the viewport, every corner sampling the texture's middle.
    const float vertices[] = {-1, -1, 0, 3, -1, 0, -1, 3, 0};
    const float uvs[] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    GLuint vao = 0, buffers[2] = {};
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, sizeof vertices, vertices, GL_STATIC_DRAW);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ARRAY_BUFFER, sizeof uvs, uvs, GL_STATIC_DRAW);
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(3);
    glUseProgram(program.program_id);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (GLint location :
         {program.model_location, program.view_location, program.projection_location})
        glUniformMatrix4fv(location, 1, GL_FALSE, identity);

    struct Case {
        const char* file;
        bool complete; // an incomplete texture samples as opaque black
    };
    // The 4x4 chain needs 24 bytes of data, more than twice its top level's 8.
    for (const Case& c :
         {Case{"dds/dxt1_4x4_full.dds", true}, Case{"dds/dxt1_64x64_partial.dds", false}}) {
        SCOPED_TRACE(c.file);
        const GLuint name = loadDDS(testdata::path(c.file).c_str());
        ASSERT_NE(name, 0u);
        glViewport(0, 0, 64, 64);
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glDrawArrays(GL_TRIANGLES, 0, 3);
        unsigned char px[4] = {};
        glReadPixels(32, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        EXPECT_LT(px[0], 20); // red would mean nothing was drawn
        EXPECT_LT(px[2], 20);
        if (c.complete)
            EXPECT_GT(px[1], 100); // ImageMagick's green, 0 128 0
        else
            EXPECT_EQ(px[1], 0);
    }
    glUseProgram(0);
    glBindVertexArray(0);
    glDeleteBuffers(2, buffers);
    glDeleteVertexArrays(1, &vao);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(LoadDds, CountZeroGivesABoundEmptyTextureWithAlignmentOne) {
    const std::string path =
        writeTemp("count0.dds", testdata::ddsFile(16, 16, 0, "DXT5", 256, 256));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    testing::internal::CaptureStdout();
    const GLuint name = loadDDS(path.c_str());
    EXPECT_EQ(stopCapture(), "");
    ASSERT_NE(name, 0u);
    GLint bound = 0, alignment = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(GLuint(bound), name);
    EXPECT_EQ(alignment, 1);
    EXPECT_EQ(levelParameter(0, GL_TEXTURE_WIDTH), 0);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(LoadDds, RejectedFilesGiveZeroAndNoTexture) {
    std::vector<unsigned char> wrong_magic = testdata::ddsFile(4, 4, 1, "DXT1", 8, 8);
    wrong_magic[0] = 'd';
    std::vector<unsigned char> header_cut = testdata::ddsFile(4, 4, 1, "DXT1", 0);
    header_cut.resize(100);
    struct Case {
        const char* name;
        std::vector<unsigned char> file;
        const char* message; // after the path
    };
    const Case cases[] = {
        {"wrong_magic.dds", wrong_magic, nullptr},
        {"dxt2.dds", testdata::ddsFile(4, 4, 1, "DXT2", 16, 16), nullptr},
        {"dxt4.dds", testdata::ddsFile(4, 4, 1, "DXT4", 16, 16), nullptr},
        {"header_cut.dds", header_cut, ": DDS header cut short\n"},
        {"empty.dds", {}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = writeTemp(c.name, c.file);
        // Texture names come in order: a texture made by the call would take the one after.
        GLuint before = 0, after = 0;
        glGenTextures(1, &before);
        testing::internal::CaptureStdout();
        EXPECT_EQ(loadDDS(path.c_str()), 0u);
        const std::string out = stopCapture();
        glGenTextures(1, &after);
        EXPECT_EQ(after, before + 1);
        EXPECT_EQ(out, c.message ? path + c.message : "");
        glDeleteTextures(1, &before);
        glDeleteTextures(1, &after);
    }
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(LoadDds, MissingFileIsReportedAndGivesZero) {
    testing::internal::CaptureStdout();
    const texture t("no/such/folder/missing.dds"); // stdin is empty: the wait ends at once
    EXPECT_EQ(stopCapture(), "no/such/folder/missing.dds could not be opened. Are you in the right "
                             "directory ? Don't forget to read the FAQ !\n");
    EXPECT_EQ(t.texture_id, 0u);
    EXPECT_EQ(t.file_path, "no/such/folder/missing.dds");
}

TEST(LoadDds, FileCutShortKeepsTheLevelsBeforeTheCut) {
    struct Case {
        const char* name;
        std::vector<unsigned char> file;
        std::vector<Level> kept;
        const char* message; // after the path
    };
    const Case cases[] = {
        {"cut_in_third_level.dds",
         testdata::ddsFile(256, 256, 9, "DXT1", 32768 + 8192 + 100, 32768),
         {{256, 256, 32768}, {128, 128, 8192}},
         ": image data ends inside a mip-map level; 2 of 9 mip-map levels uploaded\n"},
        // 4 GiB of linear size and a 512 MiB top level claimed by a 200-byte file.
        {"huge_claims.dds",
         testdata::ddsFile(32768, 32768, 2, "DXT1", 72, 0xFFFFFFFF),
         {},
         ": image data ends inside a mip-map level; 0 of 2 mip-map levels uploaded\n"},
        {"width_wraps.dds",
         testdata::ddsFile(0xFFFFFFFD, 4, 1, "DXT5", 64, 16),
         {},
         ": a mip-map level is too large for OpenGL; 0 of 1 mip-map levels uploaded\n"},
        {"count_past_1x1.dds",
         testdata::ddsFile(2, 2, 0xFFFFFFFF, "DXT1", 80, 8),
         {{2, 2, 8}, {1, 1, 8}},
         ": mip-map count goes past the 1x1 level; 2 of 4294967295 mip-map levels uploaded\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = writeTemp(c.name, c.file);
        testing::internal::CaptureStdout();
        const texture t(path.c_str());
        EXPECT_EQ(stopCapture(), path + c.message);
        ASSERT_NE(t.texture_id, 0u);
        EXPECT_EQ(t.file_path, path);
        expectUploaded(t.texture_id,
                       c.file[87] == '1' ? GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
                                         : GL_COMPRESSED_RGBA_S3TC_DXT5_EXT,
                       c.file, c.kept);
    }
}
