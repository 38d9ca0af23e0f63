// The tools' GL parts on the real driver: program checks and the offscreen framebuffer.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "authoring/diagnostics.h"
#include "authoring/problems.h"
#include "gpu/offscreen.h"
#include "gpu/program_check.h"
#include "scene/scene.h"
#include "tests/gl/gl_context.h"

namespace {

const char* const kVertex = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 3) in vec2 uv;
uniform mat4 model;
uniform mat4 view;
uniform mat4 projection;
out vec3 n;
void main() {
    n = normal + vec3(uv, 0.0);
    gl_Position = projection * view * model * vec4(position, 1.0);
})";
const char* const kFragment = R"(#version 330 core
in vec3 n;
out vec4 color;
void main() { color = vec4(n, 1.0); })";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

} // namespace

TEST(ProgramCheck, TellsCompileLinkAndConventionProblemsApart) {
    program_report r = checkProgram(kVertex, kFragment);
    EXPECT_TRUE(r.vertex_compiled && r.fragment_compiled && r.linked) << r.link_log;
    EXPECT_TRUE(r.missing_uniforms.empty());
    EXPECT_TRUE(r.misplaced_inputs.empty());

    r = checkProgram(kVertex, replaced(kFragment, "vec4(n, 1.0);", "vec4(n, 1.0)"));
    EXPECT_TRUE(r.vertex_compiled);
    EXPECT_FALSE(r.fragment_compiled);
    EXPECT_FALSE(r.fragment_log.empty());
    EXPECT_FALSE(r.linked);

    // Both stages compile, but a stage without main() cannot link.
    r = checkProgram(kVertex, replaced(kFragment, "void main()", "void shade()"));
    EXPECT_TRUE(r.vertex_compiled && r.fragment_compiled);
    EXPECT_FALSE(r.linked);
    EXPECT_FALSE(r.link_log.empty());

    r = checkProgram(replaced(kVertex, "view * model", "model"), kFragment);
    EXPECT_EQ(r.missing_uniforms, std::vector<std::string>{"view"});

    r = checkProgram(replaced(kVertex, "location = 3", "location = 2"), kFragment);
    EXPECT_EQ(r.misplaced_inputs, std::vector<std::string>{"uv at location 2"});
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

TEST(Offscreen, ReadsRowsTopFirstAndRefusesImpossibleSizes) {
    for (int samples : {0, 4}) {
        SCOPED_TRACE(samples);
        const offscreen target(5, 4, samples);
        ASSERT_EQ(target.problem(), "");
        target.bind();
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        // The top row red: GL counts rows from the bottom.
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 3, 5, 1);
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        std::vector<unsigned char> rgb;
        std::string why;
        ASSERT_TRUE(target.readRgb(rgb, why)) << why;
        ASSERT_EQ(rgb.size(), 5u * 4u * 3u);
        EXPECT_EQ(rgb[0], 255);
        EXPECT_EQ(rgb[2], 0);
        EXPECT_EQ(rgb[rgb.size() - 3], 0);
        EXPECT_EQ(rgb[rgb.size() - 1], 255);
        EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_NE(offscreen(1 << 20, 16, 0).problem(), "");
    EXPECT_NE(offscreen(0, 16, 0).problem(), "");
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

// What a new author meets first, each as a message an editor can jump to (FILE:LINE:) that
// says what the player does.
TEST(CheckMessages, StartWithFileAndLineAndSayWhatThePlayerDoes) {
    const std::string data = KESTRINE_TEST_DATA;
    const struct {
        const char* name;
        std::string body; // from line 2
        int line;
        const char* says; // what the player does
    } cases[] = {
        {"start without end",
         "<group><models>\n<model name=\"m\" shader=\"s\" start=\"3\"/></models></group>", 3,
         "\"start\" without \"end\", so the player never draws it"},
        {"end without start",
         "<group><models>\n\n<model name=\"m\" shader=\"s\" end=\"3\"/></models></group>", 4,
         "\"end\" without \"start\", so the player never draws it"},
        {"camera missing one attribute",
         "<camera start=\"0\" end=\"5\" eye_x=\"0\" eye_y=\"0\" eye_z=\"3\" up_x=\"0\" "
         "up_z=\"0\" look_x=\"0\" look_y=\"0\" look_z=\"0\"/>",
         2, "which needs \"up_y\"; camera skipped"},
        {"broken XML", "<group>\n<scale X=\"1\" Y=\"1\" Z=\"1\">\n</group>", 4,
         "the element <scale> opened at line 3 is not closed before </group>; the player stops "
         "before the first frame"},
        {"shader syntax error",
         "<shader name=\"s\" vertex=\"" + data + "/shaders/basic.vert\" fragment=\"" + data +
             "/shaders/broken.frag\"/>",
         2, "does not compile, so its models are not drawn"},
    };
    check_options options;
    options.compile_shaders = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = ::testing::TempDir() + "kestrine_messages.xml";
        std::ofstream(path) << "<scene>\n" << c.body << "\n</scene>\n";
        const check_result r = checkScene(path.c_str(), options);
        const std::string where = path + ":" + std::to_string(c.line) + ": ";
        bool found = false;
        for (const diagnostic& d : r.diagnostics) {
            const std::string text = wordDiagnostic(d);
            // Every line, a driver's log included, starts with a place.
            std::istringstream lines(text);
            for (std::string line; std::getline(lines, line);)
                EXPECT_TRUE(std::regex_search(line, std::regex("^[^: ]+:[0-9]+:"))) << line;
            found = found || (text.rfind(where, 0) == 0 && text.find(c.says) != std::string::npos);
        }
        EXPECT_TRUE(found) << ::testing::PrintToString(r.diagnostics.size()) << " "
                           << (r.diagnostics.empty() ? "" : wordDiagnostic(r.diagnostics[0]));
    }
}

// What a new author meets, as the terminal, the checker and the studio's problems panel each
// show it: the same finding, with one severity, wherever it shows.
TEST(CheckMessages, NewFindingsShowAlikeInTheTerminalTheCheckerAndThePanel) {
    const std::string data = KESTRINE_TEST_DATA;
    const std::string dir = ::testing::TempDir(), notDds = dir + "kestrine_findings.dds",
                      quads = dir + "kestrine_findings.obj";
    std::ofstream(notDds) << "PNG?";
    std::ofstream(quads) << "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n"
                            "f 1/1/1 2/1/1 3/1/1 4/1/1\n";
    std::ifstream in(data + "/player/flat.frag");
    const std::string flat{std::istreambuf_iterator<char>(in), {}};
    const std::string before = flat.substr(0, flat.rfind('}'));
    const std::string kLine = std::to_string(std::count(before.begin(), before.end(), '\n') + 1);
    // A shader element whose fragment file is `fragment`, written as `name`.
    const auto shader = [&](const std::string& name, const std::string& fragment) {
        std::ofstream(dir + name) << fragment;
        return "<shader name=\"s\" vertex=\"" + data + "/player/flat.vert\" fragment=\"" + dir +
               name + "\"/>";
    };
    enum where { terminal, checker, panel };
    const struct {
        const char* name;
        std::string body; // from line 2
        std::vector<std::pair<where, std::string>> says;
        bool browser = false; // the panel marks it as a browser's
    } cases[] = {
        {"the music is missing",
         "",
         {{checker, ":1: warning: music: \"Music/evil-2005.ogg\" is missing or cannot be read"},
          {panel, ":1: warning: music: \"Music/evil-2005.ogg\" is missing or cannot be read"}}},
        {"a uniform the player never sets",
         shader("kestrine_time.frag",
                "#version 330 core\nuniform float time;\n" +
                    flat.substr(flat.find('\n') + 1, before.size() - flat.find('\n') - 1) +
                    "    color.r += time;\n}\n"),
         {{checker, ":2: warning: shader \"s\": uniform \"time\" is never set by the player"},
          {panel, ":2: warning: shader \"s\": uniform \"time\" is never set by the player"}}},
        {"an error only a browser sees",
         shader("kestrine_browser.frag", before + "    float k = 1;\n}\n"),
         {{panel,
           ":2: warning: shader \"s\": \"" + dir + "kestrine_browser.frag\" line " + kLine + ": "}},
         true},
        {"an unusable texture",
         "<texture name=\"t\" filename=\"" + notDds + "\"/>",
         {{terminal, ":2: error: texture \"t\": \"" + notDds + "\" cannot be read as a texture"},
          {checker, ":2: error: texture \"t\": \"" + notDds + "\" cannot be read as a texture"},
          {panel, ":2: error: texture \"t\": \"" + notDds + "\" cannot be read as a texture"}}},
        {"a face with four corners",
         "<mesh name=\"m\" filename=\"" + quads + "\"/>",
         {{checker,
           ":2: warning: mesh \"m\": \"" + quads + "\" has 1 face(s) with more than three"},
          {panel,
           ":2: warning: mesh \"m\": \"" + quads + "\" has 1 face(s) with more than three"}}},
        {"a broken tag",
         "<group>\n<scale X=\"1\" Y=\"1\" Z=\"1\">\n</group>",
         {{terminal, ":4: error: the element <scale> opened at line 3 is not closed before "
                     "</group>\n"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir + "kestrine_findings.xml";
        std::ofstream(path) << "<scene>\n" << c.body << "\n</scene>\n";
        // The terminal: the player's load. The panel: what that load and the checker found.
        load_options options;
        options.trace = nullptr;
        options.browser_programs = true;
        ::testing::internal::CaptureStderr();
        const scene s(path.c_str(), options);
        const std::string said = ::testing::internal::GetCapturedStderr();
        std::vector<diagnostic> found = s.diagnostics();
        if (s.loaded())
            for (diagnostic& d : recordedDiagnostics(s, path, -1.0))
                found.push_back(std::move(d));
        problem_list listed;
        listed.loaded({}, found);
        check_options checking;
        checking.compile_shaders = true;
        const check_result r = checkScene(path.c_str(), checking);
        for (const auto& [view, text] : c.says) {
            const std::string want = path + text;
            bool shown = false;
            if (view == terminal) shown = said.find(want) != std::string::npos;
            for (const diagnostic& d : view == checker ? r.diagnostics : listed.items())
                shown = shown || (view != terminal && wordDiagnostic(d).rfind(want, 0) == 0 &&
                                  d.browser == (view == panel && c.browser));
            EXPECT_TRUE(shown) << "view " << view << ": " << want << "\nterminal:\n" << said;
        }
        // A browser's finding is not the desktop checker's.
        if (c.browser)
            for (const diagnostic& d : r.diagnostics)
                EXPECT_FALSE(d.browser) << wordDiagnostic(d);
    }
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}

// A pixel buffer the driver will not map (here: none made yet) is said, not read, and
// not unmapped: the map's error is the only one.
TEST(Offscreen, SaysWhenAPixelBufferCannotBeMapped) {
    const offscreen target(8, 6, 0);
    ASSERT_EQ(target.problem(), "");
    std::vector<unsigned char> rgb;
    std::string why;
    EXPECT_FALSE(target.finishRead(1, rgb, why));
    EXPECT_EQ(why, "the driver cannot map the pixel buffer of a frame of 8x6 (GL error 0x0502)");
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
    target.startRead(0);
    EXPECT_TRUE(target.finishRead(0, rgb, why)) << why;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    EXPECT_EQ(gltest::drainErrors(), GLenum(GL_NO_ERROR));
}
