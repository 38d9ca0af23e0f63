// OBJ reading: loadOBJ and parseOBJ against the fscanf reading, the listed corner cases, and
// hostile input.
#include "formats/obj.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <random>
#include <string>
#include <thread>

#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/obj_oracle.h"

namespace {

struct mesh {
    bool ok = false;
    std::vector<glm::vec3> positions, normals;
    std::vector<glm::vec2> uvs;
};

mesh parse(const std::string& text, obj_status* status = nullptr, obj_threads threads = {}) {
    mesh m;
    m.ok = parseOBJ(text.data(), text.size(), m.positions, m.uvs, m.normals, status, threads);
    return m;
}

mesh oracle(const std::string& text) {
    mesh m;
    m.ok = oracleParseOBJ(text.data(), text.size(), m.positions, m.uvs, m.normals);
    return m;
}

template <class T> bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

void expectSameLists(const mesh& got, const mesh& want) {
    EXPECT_EQ(got.ok, want.ok);
    EXPECT_EQ(got.positions.size(), want.positions.size());
    EXPECT_TRUE(sameBits(got.positions, want.positions));
    EXPECT_TRUE(sameBits(got.uvs, want.uvs));
    EXPECT_TRUE(sameBits(got.normals, want.normals));
}

void expectSameStatus(const obj_status& got, const obj_status& want) {
    EXPECT_EQ(got.failure, want.failure);
    EXPECT_EQ(got.line, want.line);
    EXPECT_EQ(got.faces, want.faces);
    EXPECT_EQ(got.faces_truncated, want.faces_truncated);
}

// Read in pieces of a few records or less on three threads, the text gives the lists and the
// status of the reading on one thread.
void expectPiecesReadAlike(const std::string& text,
                           std::initializer_list<std::size_t> sizes = {1, 2, 3, 7, 16, 61, 500}) {
    obj_status want_status;
    const mesh want = parse(text, &want_status, {1, 0});
    for (std::size_t size : sizes) {
        size = std::max(size, text.size() / 2000); // a bounded number of pieces
        SCOPED_TRACE("pieces of " + std::to_string(size));
        obj_status status;
        expectSameLists(parse(text, &status, {3, size}), want);
        expectSameStatus(status, want_status);
    }
}

// Bit-identical lists and the same result as the fscanf reading, on one thread and in pieces.
void expectSameAsOracle(const std::string& text) {
    expectSameLists(parse(text, nullptr, {1, 0}), oracle(text));
    expectPiecesReadAlike(text);
}

void expectVec(glm::vec3 v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

const std::string kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n"
                              "vt 0 0\nvt 1 0\nvt 0 1\n"
                              "vn 0 0 1\nvn 0 0 1\nvn 0 0 1\n";

std::string testData(const char* name) {
    return std::string(KESTRINE_TEST_DATA) + "/" + name;
}

// A grid mesh of 2 * n * n triangles with v/vt/vn lines and triangular faces, the faces after
// their vertices or before them.
std::string gridMesh(int n, const char* number_format, const char* line_end, unsigned seed,
                     bool faces_first = false) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> coord(-1000.0f, 1000.0f);
    std::string s = "# grid" + std::string(line_end) + "o grid" + line_end, faces;
    char buf[128];
    const int side = n + 1;
    for (int i = 0; i < side * side; ++i) {
        for (const char* kind : {"v", "vt", "vn"}) {
            s += kind;
            for (int k = 0; k < (kind[1] == 't' ? 2 : 3); ++k) {
                std::snprintf(buf, sizeof buf, number_format, static_cast<double>(coord(rng)));
                s += ' ';
                s += buf;
            }
            s += line_end;
        }
    }
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const int a = y * side + x + 1, b = a + 1, c = a + side, d = c + 1;
            const int triangles[2][3] = {{a, b, c}, {b, d, c}};
            for (const auto& t : triangles) {
                std::snprintf(buf, sizeof buf, "f %d/%d/%d %d/%d/%d %d/%d/%d", t[0], t[0], t[0],
                              t[1], t[1], t[1], t[2], t[2], t[2]);
                faces += buf;
                faces += line_end;
            }
        }
    return faces_first ? faces + s : s + faces;
}

} // namespace

TEST(LoadObj, MatchesFscanfReadingOnTrickyInputs) {
    const std::string big(300, '9'), zeros(400, '0');
    const std::string cases[] = {
        kTriangle + "f 1/1/1 2/2/2 3/3/3\n",
        kTriangle + "f 1/1/1 2/2/2 3/3/3 4/4/4\nv 1 1 1\n",
        kTriangle + "f 1//1 2//2 3//3\n",
        kTriangle + "f 1 2 3\n",
        "v 1 2 3 1\nv +4 +5.5 -6e2\n",
        "v 1e 2e+ 3E-\nv 1.5e3x 0x1.8p1 0X.8\nvt -0x 1\nv 0xp 1 2\n",
        "v inf -INF Infinity\nvn nan -NaN +nan\nv infin 1 2\nv nax 1 2\nv -n 1\nv infinitx 7\n",
        "v 1 2\n3\nv 4\n5 6\n", // numbers go on across line breaks
        "v\t1\t2\t3\r\nvt 0.25 0.75\r\nvn 0 0 1\r\nf 1/1/1\t1/1/1 1/1/1\r\n",
        "# comment\nv 1 2 3 # after data\no thing\ng group\ns off\nusemtl m\nmtllib m.mtl\n",
        "v 0.1 0.2 0.3\nvt 0.1 0.2\nvn 0.1 0.2 0.3", // last line without a line break
        "v 16777217 1.00000005960464477539 3.4028236e38\nv 1e-46 1e-45 7.0064923e-46\n",
        "v 0." + zeros + "1e401 1" + big + " -." + zeros + "5e-7\n",
        "v 0x1." + big + "p-150 0x" + zeros + "1p1 1e" + zeros + "1\n",
        "v 1.2.3 .5 5.\nv . - +\nv e5 1 2\n",
        std::string("v\0junk 1 2 3\nvt\0 4 5\n", 21) + "f\0 1/1/1 1/1/1 1/1/1\n",
        std::string(127, 'w') + " v 1 2 3\n" + std::string(128, 'v') + " v 4 5 6\nv 7 8 9\n",
        std::string("x") + std::string(1500, ' ') + "v 1 2 3\n" + "#" + std::string(998, '-') +
            "v 4 5 6\n",
        "f 1/1/1 2/2/2 3/3/3\n" + kTriangle, // faces before their vertices
        kTriangle + "f 1/1/1 2/2/2 3/3/\n",
        kTriangle + "f 1/1/1 2/ 2/2 3/3/3\nf 1 /1/1 2/2/2 3/3/3\n",
        kTriangle + "f 1/1/1\n2/2/2\n3/3/3\n",
        kTriangle + "f +1/-0/1 2/2/2 3/3/3\n",
        kTriangle + "f 0/1/1 2/2/2 3/3/3\n",
        kTriangle + "f -1/1/1 2/2/2 3/3/3\n",
        kTriangle + "f 4/1/1 2/2/2 3/3/3\n",
        kTriangle + "f 4294967297/1/1 2/18446744073709551618/2 3/3/99999999999999999999999\n",
        kTriangle + "f 1.0/1/1 2/2/2 3/3/3\n",
        kTriangle + "f 0x1/1/1 2/2/2 3/3/3\n",
        "",
        "   \n\n\t",
        "vt",
        "v 1 2 3\nf",
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        expectSameAsOracle(cases[i]);
    }
}

TEST(LoadObj, MatchesFscanfReadingOnGeneratedMeshes) {
    const char* formats[] = {"%.6f", "%.9g", "%.3e", "%+.8f", "%a"};
    const char* ends[] = {"\n", "\r\n"};
    unsigned seed = 1;
    for (const char* format : formats)
        for (const char* end : ends) {
            SCOPED_TRACE(std::string(format) + (end[1] ? " CRLF" : " LF"));
            const std::string text = gridMesh(12, format, end, seed++);
            expectSameLists(parse(text, nullptr, {1, 0}), oracle(text));
            expectPiecesReadAlike(text, {1, 7, 61});
            EXPECT_EQ(parse(text).positions.size(), 3u * 2 * 12 * 12);
        }
}

// Decimal texts of at most 15 digits at and around the points halfway between two floats, where
// a quick product with a power of ten could round the other way.
TEST(LoadObj, MatchesFscanfReadingNearFloatRoundingBoundaries) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> magnitude(-30.0f, 30.0f);
    // Halfway points that a product with 1e-5 rounds the wrong way.
    std::string text = "vt 0 0\nvn 0 0 1\nv 5859978.25000 5942128.25000 24753393.00000\n"
                       "v 1042776480.00000 407863696.00000 8388608.5\n";
    char buf[64];
    for (int i = 0; i < 3000; ++i) {
        const float f = std::exp2(magnitude(rng));
        const double half = (double(f) + double(std::nextafter(f, 1e30f))) / 2;
        std::snprintf(buf, sizeof buf, "v %.15g %.14g %.9f\n", half, half, half);
        text += buf;
    }
    for (int i = 1; i <= 3002; ++i)
        text += "f " + std::to_string(i) + "/1/1 1/1/1 1/1/1\n";
    expectSameLists(parse(text, nullptr, {1, 0}), oracle(text));
}

// Random text over the characters that matter; the fuzzer goes much further.
TEST(LoadObj, MatchesFscanfReadingOnRandomText) {
    const char* pieces[] = {
        "v ",        "vt ",      "vn ",        "f ",         " ",
        "\t",        "\n",       "\r\n",       "1",          "2",
        "3",         "/",        "-",          "+",          ".",
        "e",         "x",        "0x",         "inf",        "nan",
        "#",         "0",        "1.5",        "4294967297", " 1/1/1 2/2/2 3/3/3\n",
        "v 1 2 3\n", "vt 1 2\n", "vn 0 0 1\n", "1/1/1"};
    std::mt19937 rng(5);
    for (int run = 0; run < 3000; ++run) {
        std::string text;
        const int n = static_cast<int>(rng() % 24);
        for (int k = 0; k < n; ++k)
            text += pieces[rng() % std::size(pieces)];
        SCOPED_TRACE(text);
        expectSameLists(parse(text, nullptr, {1, 0}), oracle(text));
        expectPiecesReadAlike(text, {1, 4});
    }
}

TEST(LoadObj, ReadsOneTriangleWithNegatedTextureV) {
    const mesh m = parse("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0.25 0.75\nvt 1 0\nvt 0 1\n"
                         "vn 0 0 1\nvn 0 1 0\nvn 1 0 0\nf 1/1/1 2/2/2 3/3/3\n");
    ASSERT_TRUE(m.ok);
    ASSERT_EQ(m.positions.size(), 3u);
    ASSERT_EQ(m.uvs.size(), 3u);
    ASSERT_EQ(m.normals.size(), 3u);
    expectVec(m.positions[1], 1, 0, 0);
    EXPECT_EQ(m.uvs[0], glm::vec2(0.25f, -0.75f));
    EXPECT_TRUE(std::signbit(m.uvs[1].y)); // -0, not 1 - v
    expectVec(m.normals[2], 1, 0, 0);
}

TEST(LoadObj, KeepsFirstTriangleOfAQuadAndCountsIt) {
    obj_status st;
    const mesh m = parse(kTriangle + "v 1 1 0\nvt 1 1\nvn 0 0 1\nf 1/1/1 2/2/2 3/3/3 4/4/4\n"
                                     "f 1/1/1 2/2/2 3/3/3 # not a corner\n",
                         &st);
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(m.positions.size(), 6u);
    expectVec(m.positions[2], 0, 1, 0);
    EXPECT_EQ(st.faces, 2u);
    EXPECT_EQ(st.faces_truncated, 1u);
}

TEST(LoadObj, KeepsThreeNumbersOfAPositionWithFour) {
    const mesh m = parse("v 1 2 3 1\nv 4 5 6\nvt 0 0\nvn 0 0 1\nf 2/1/1 1/1/1 2/1/1\n");
    ASSERT_TRUE(m.ok);
    expectVec(m.positions[0], 4, 5, 6);
    expectVec(m.positions[1], 1, 2, 3);
}

TEST(LoadObj, EmptyOrCommentOnlyTextReadsAsNothing) {
    for (const std::string text : {"", "# only a comment\n", "# a\n#b\n\n   \n"}) {
        SCOPED_TRACE(text);
        const mesh m = parse(text);
        EXPECT_TRUE(m.ok);
        EXPECT_TRUE(m.positions.empty() && m.uvs.empty() && m.normals.empty());
    }
}

TEST(LoadObj, AppendsOnEveryCall) {
    const std::string text = kTriangle + "f 3/3/3 2/2/2 1/1/1\n";
    mesh m;
    ASSERT_TRUE(parseOBJ(text.data(), text.size(), m.positions, m.uvs, m.normals));
    ASSERT_TRUE(parseOBJ(text.data(), text.size(), m.positions, m.uvs, m.normals, nullptr, {2, 9}));
    ASSERT_EQ(m.positions.size(), 6u);
    expectVec(m.positions[0], 0, 1, 0);
    expectVec(m.positions[3], 0, 1, 0);
}

TEST(LoadObj, AcceptsFacesBeforeTheirVertices) {
    const mesh m = parse("f 1/1/1 2/2/2 3/3/3\n" + kTriangle);
    ASSERT_TRUE(m.ok);
    expectVec(m.positions[2], 0, 1, 0);
}

// Faces in the first pieces name vertices that only later pieces read.
TEST(LoadObj, PiecesResolveFacesAgainstVerticesOfLaterPieces) {
    const std::string text = gridMesh(6, "%.7g", "\n", 3, true);
    expectSameAsOracle(text);
    EXPECT_EQ(parse(text, nullptr, {2, 64}).positions.size(), 3u * 2 * 6 * 6);
}

// Records that run over line breaks, words and lines longer than a piece, faces spread over
// lines: a seam at every byte gives the reading on one thread.
TEST(LoadObj, PiecesJoinRecordsAcrossEverySeam) {
    const std::string text = kTriangle + "v 1\n2\n\n3 vt\n4 5\nvn 6 7\n 8\n" +
                             "f 1/1/1\n2/2/2\n3/3/3 4/4/4\n# " + std::string(40, '#') + "\n" +
                             std::string(130, 'w') + " v 9 9 9\nf 1/1/1 2/2/2 3/3/3" +
                             " \t\r\n  f 4/4/4 4/4/4 4/4/4\nv 1e\n5 0x1p-3\ninf\n";
    for (std::size_t piece = 1; piece <= text.size(); ++piece)
        expectPiecesReadAlike(text, {piece});
}

// Face failures keep the caller's lists as they were and point at the face's line.
TEST(LoadObj, RejectsBadFacesWithTheirLine) {
    struct bad {
        std::string face;
        obj_failure failure;
    };
    const bad cases[] = {
        {"f 1//1 2//2 3//3", obj_failure::face_form},
        {"f 1 2 3", obj_failure::face_form},
        {"f 1/1/1 2/2/2", obj_failure::face_form},
        {"f 0/1/1 2/2/2 3/3/3", obj_failure::face_index},
        {"f 1/1/1 -1/2/2 3/3/3", obj_failure::face_index},
        {"f 1/1/1 2/2/2 3/3/4", obj_failure::face_index},
        {"f 1/1/1 2/4294967295/2 3/3/3", obj_failure::face_index},
    };
    for (const bad& c : cases)
        for (const obj_threads threads :
             {obj_threads{1, 0}, obj_threads{2, 5}, obj_threads{2, 40}}) {
            SCOPED_TRACE(c.face + " in pieces of " + std::to_string(threads.piece));
            mesh m;
            m.positions.assign(2, glm::vec3(7.0f));
            const std::string text =
                kTriangle + "f 1/1/1 2/2/2 3/3/3\n" + c.face + "\nv 1 1 1\nf 1/1/1 2/2/2 3/3/3\n";
            obj_status st;
            EXPECT_FALSE(
                parseOBJ(text.data(), text.size(), m.positions, m.uvs, m.normals, &st, threads));
            EXPECT_EQ(st.failure, c.failure);
            EXPECT_EQ(st.line, 11u);
            EXPECT_EQ(m.positions.size(), 2u);
            EXPECT_TRUE(m.uvs.empty() && m.normals.empty());
        }
}

// A 64-bit index wraps to its low 32 bits, as the int store of %d does: 2^32 + 1 is 1.
TEST(LoadObj, WrapsIndicesBeyondThirtyTwoBits) {
    const mesh m = parse(kTriangle + "f 4294967299/1/1 2/2/2 1/1/1\n");
    ASSERT_TRUE(m.ok);
    expectVec(m.positions[0], 0, 1, 0);
}

// NUL bytes, binary noise, a line of a million characters and huge words: no crash, no read
// outside the text (ASan watches), and the same result as fscanf.
TEST(LoadObj, SurvivesHostileBytes) {
    std::mt19937 rng(9);
    std::string noise(1 << 16, '\0');
    for (char& c : noise)
        c = static_cast<char>(rng());
    const std::string cases[] = {
        std::string(4096, '\0'),
        noise,
        "v " + std::string(1000000, '1') + " 2 3\n" + kTriangle + "f 1/1/1 2/2/2 3/3/3\n",
        "# " + std::string(1000000, 'x') + "\nv 1 2 3\n",
        std::string(1000000, 'w') + "\nv 1 2 3\n",
        "f 1/1/1 2/2/2 3/3/" + std::string(100000, '7') + "\n" + kTriangle,
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        expectSameAsOracle(cases[i]);
    }
}

// A mesh that the assimp command-line tool exported (from a PLY sphere with normals and uvs).
TEST(LoadObj, ReadsAMeshWrittenByAnotherExporter) {
    const std::string path = testData("assimp_sphere.obj");
    mesh m;
    testing::internal::CaptureStdout();
    m.ok = loadOBJ(path.c_str(), m.positions, m.uvs, m.normals);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Loading OBJ file " + path + "...\n");
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(m.positions.size(), 3u * 80);
    mesh want;
    std::FILE* in = std::fopen(path.c_str(), "r");
    ASSERT_NE(in, nullptr);
    want.ok = oracleReadOBJ(in, want.positions, want.uvs, want.normals);
    std::fclose(in);
    EXPECT_TRUE(want.ok);
    EXPECT_TRUE(sameBits(m.positions, want.positions));
    EXPECT_TRUE(sameBits(m.uvs, want.uvs));
    EXPECT_TRUE(sameBits(m.normals, want.normals));
    for (const glm::vec3& n : m.normals)
        EXPECT_NEAR(glm::length(n), 1.0f, 1e-5f);
}

// A path that cannot be opened or read: the trace, the message, false, lists untouched.
TEST(LoadObj, ReportsFilesThatCannotBeRead) {
    const std::string missing = testData("no_such_mesh.obj"), directory = testData("");
    for (const std::string& path : {missing, directory}) {
        SCOPED_TRACE(path);
        mesh m;
        m.uvs.resize(1);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(loadOBJ(path.c_str(), m.positions, m.uvs, m.normals));
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Loading OBJ file " + path +
                      "...\nImpossible to open the file ! Are you in the right path ? See "
                      "Tutorial 1 for details\n");
        EXPECT_EQ(m.uvs.size(), 1u);
    }
}

// A file read piece by piece on several threads, as large files are.
TEST(LoadObj, ReadsAFileInPiecesOnSeveralThreads) {
    const std::string path = testing::TempDir() + "kestrine_pieces.obj";
    const std::string good = gridMesh(40, "%.6f", "\n", 11, true); // corners on three threads
    const std::string bad = good + "f 1/1/1 -2/2/2 3/3/3\n", worse = good + "f 1/1\n";
    for (const std::string* text : {&good, &bad, &worse}) {
        std::FILE* out = std::fopen(path.c_str(), "w");
        ASSERT_NE(out, nullptr);
        std::fwrite(text->data(), 1, text->size(), out);
        std::fclose(out);
        mesh m;
        m.uvs.resize(1);
        testing::internal::CaptureStdout();
        m.ok = loadOBJ(path.c_str(), m.positions, m.uvs, m.normals, {3, 4000});
        const std::string printed = testing::internal::GetCapturedStdout();
        mesh want = oracle(*text);
        want.uvs.insert(want.uvs.begin(), glm::vec2(0.0f));
        expectSameLists(m, want);
        EXPECT_EQ(printed, "Loading OBJ file " + path + "...\n" +
                               (m.ok ? ""
                                     : "File can't be read by our simple parser :-( Try "
                                       "exporting with other options\n"));
    }
    std::remove(path.c_str());
}

// A file's pieces are read into slots of their own with a little of the text before them:
// records that began far before a piece (a long number, comment or run of blanks) are read again
// from the file at the seam, and slots are reused while other threads read on.
TEST(LoadObj, ReadsRecordsLongerThanAFilesPieces) {
    const std::string path = testing::TempDir() + "kestrine_long_records.obj";
    std::mt19937 rng(3);
    const char* const tokens[] = {" ", "\n", "\t", "1",        "/",        "5",
                                  "-", ".",  "e",  "f 1/1/1 ", "v 1 2 3\n"};
    std::string noise = kTriangle;
    for (int k = 0; k < 4000; ++k)
        noise += tokens[rng() % std::size(tokens)];
    const std::string texts[] = {
        noise,
        "v 1." + std::string(20000, '5') + " 2 3\n" + kTriangle + "f 1/1/1 2/2/2 3/3/3\n",
        kTriangle + "# " + std::string(30000, 'x') + "\nf 1/1/1 2/2/2 3/3/3\n",
        kTriangle + "f 1/1/1" + std::string(9000, ' ') + "2/2/2\n\n" + std::string(9000, '\n') +
            "3/3/3\nf 1/1/1 2/2/2 3/3/3 4/4/4\n",
    };
    for (const std::string& text : texts)
        for (const obj_threads threads :
             {obj_threads{1, 1000}, obj_threads{3, 777}, obj_threads{8, 97}}) {
            SCOPED_TRACE(threads.piece);
            std::FILE* out = std::fopen(path.c_str(), "w");
            ASSERT_NE(out, nullptr);
            std::fwrite(text.data(), 1, text.size(), out);
            std::fclose(out);
            mesh m;
            testing::internal::CaptureStdout();
            m.ok = loadOBJ(path.c_str(), m.positions, m.uvs, m.normals, threads);
            testing::internal::GetCapturedStdout();
            expectSameLists(m, oracle(text));
        }
    std::remove(path.c_str());
}

// The line of a failing face far into a text read in many pieces, on one thread and on two.
TEST(LoadObj, FindsTheLineOfAFailingFaceInALaterPiece) {
    const std::string grid = gridMesh(60, "%.6f", "\n", 5);
    const std::size_t lines = std::size_t(std::count(grid.begin(), grid.end(), '\n'));
    const std::string cases[] = {"f 1/1/1 2/2/2\n", "f 1/1/1 2/2/2 3/3/99999\n"};
    for (const std::string& bad : cases)
        for (const obj_threads threads :
             {obj_threads{1, 0}, obj_threads{2, 0}, obj_threads{2, 5000}}) {
            SCOPED_TRACE(bad + " in pieces of " + std::to_string(threads.piece));
            obj_status st;
            EXPECT_FALSE(parse(grid + bad + grid, &st, threads).ok);
            EXPECT_EQ(st.line, lines + 1);
        }
}

TEST(LoadObj, PrintsFaceFailureAndKeepsLists) {
    const std::string path = testing::TempDir() + "kestrine_bad_face.obj";
    std::FILE* out = std::fopen(path.c_str(), "w");
    ASSERT_NE(out, nullptr);
    std::fputs((kTriangle + "f 1 2 3\n").c_str(), out);
    std::fclose(out);
    mesh m;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(loadOBJ(path.c_str(), m.positions, m.uvs, m.normals));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Loading OBJ file " + path +
                  "...\nFile can't be read by our simple parser :-( Try exporting with other "
                  "options\n");
    EXPECT_TRUE(m.positions.empty() && m.uvs.empty() && m.normals.empty());
    std::remove(path.c_str());
}

// An exporter saving over a mesh while the preview reloads it: the file shrinks under the
// reading, which must end with whatever it read, never with a fault.
TEST(LoadObj, SurvivesAFileCutShortWhileItIsRead) {
    const std::string path = testing::TempDir() + "kestrine_shrinking.obj";
    const std::string text = gridMesh(300, "%.6f", "\n", 7); // about 10 MB
    struct cut_run {
        int delayUs;
        obj_threads threads;
    };
    // Small pieces in the last runs, so that more of them see the file shrink.
    const cut_run runs[] = {
        {0, {}},     {200, {}},         {1000, {}},           {5000, {}},
        {20000, {}}, {0, {2, 1 << 14}}, {1000, {2, 1 << 14}}, {5000, {2, 1 << 14}}};
    for (const cut_run& run : runs) {
        const int delayUs = run.delayUs;
        SCOPED_TRACE(delayUs);
        std::FILE* out = std::fopen(path.c_str(), "w");
        ASSERT_NE(out, nullptr);
        std::fwrite(text.data(), 1, text.size(), out);
        std::fclose(out);
        std::thread cut([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
            ASSERT_EQ(truncate(path.c_str(), 100), 0);
        });
        mesh m;
        testing::internal::CaptureStdout();
        const bool ok = loadOBJ(path.c_str(), m.positions, m.uvs, m.normals, run.threads);
        testing::internal::GetCapturedStdout();
        cut.join();
        EXPECT_EQ(m.positions.size(), m.uvs.size());
        if (!ok) {
            EXPECT_TRUE(m.positions.empty());
        }
    }
    std::remove(path.c_str());
}
