// The kestrine-check program: see check.h.
#include "tools/check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/command_line.h"
#include "authoring/diagnostics.h"
#include "authoring/timeline.h"
#include "platform/context.h"
#include "platform/music.h"
#include "platform/window.h"
#include "tools/timeline_svg.h"

namespace {

// The usage lines and description of --help, laid out for help2man, which makes the manual page
// from it; the options follow.
const char* const kAbout =
    "Usage: kestrine-check SCENE.xml [--web] [--timeline FILE.svg] [--gl x11|egl]\n"
    "   or: kestrine-check --help | --version\n"
    "\n"
    "Reads the scene as the player would, without playing it, and prints each error and\n"
    "warning as FILE:LINE: with what the player does about it, then a summary. Run it\n"
    "from the scene's folder, as the player. Status 0 without errors, 1 with one, 2 for a\n"
    "wrong command line.\n";

} // namespace

int runCheck(int argc, char** argv) {
    std::string path, svg;
    gl_source source = gl_source::automatic;
    check_options options;
    command_line cli("kestrine-check", kAbout, 23);
    cli.add_option("SCENE.xml", path);
    cli.add_flag("--web", options.web,
                 "also as a web browser takes it: the programs compiled as GLSL\n"
                 "ES 3.00 and every DDS level against WebGL's S3TC sizes");
    const CLI::Option* timeline =
        cli.add_option("--timeline", svg,
                       "also draw the scene's time line: cameras, models, cuts, gaps\n"
                       "and the music's length")
            ->type_name("FILE.svg");
    addValue(cli, "--gl", "x11|egl",
             "where the context that compiles the programs comes from: the\n"
             "X display, or EGL without one (default: X when DISPLAY is set)",
             "--gl takes x11 or egl",
             [&source](const std::string& v) { return parseGlSource(v, source); });
    // Checked once every argument is read, so that an unknown one is named before.
    cli.callback([&path] {
        if (path.empty()) throw CLI::ValidationError("no scene file given");
    });
    if (const int status = cli.read(argc, argv); status >= 0) return status;
    std::string no_context;
    options.compile_shaders = openToolContext(source, "kestrine-check", no_context);
    const check_result r = checkScene(path.c_str(), options);
    if (*timeline) {
        const scene s(path.c_str(), load_options::silent());
        std::FILE* out = std::fopen(svg.c_str(), "wb");
        const std::string picture = timelineSvg(s, path, musicLength(kMusicFile));
        if (!out || std::fputs(picture.c_str(), out) < 0 || std::fclose(out) != 0) {
            std::fprintf(stderr, "kestrine-check: cannot write %s (%s)\n", svg.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    for (const diagnostic& d : r.diagnostics)
        std::printf("%s\n", wordDiagnostic(d).c_str());
    for (const std::string& line : r.summary)
        std::printf("%s\n", line.c_str());
    glfwTerminate(); // when the X display gave the context
    return r.errors > 0 ? 1 : 0;
}
