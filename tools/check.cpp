// The kestrine-check program: see check.h.
#include "tools/check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/args.h"
#include "authoring/diagnostics.h"
#include "authoring/timeline.h"
#include "platform/context.h"
#include "platform/music.h"
#include "platform/window.h"
#include "tools/timeline_svg.h"

int runCheck(int argc, char** argv) {
    // Laid out for help2man, which makes the manual page from it.
    const char* const usage =
        "Usage: kestrine-check SCENE.xml [--web] [--timeline FILE.svg] [--gl x11|egl]\n"
        "   or: kestrine-check --help | --version\n"
        "\n"
        "Reads the scene as the player would, without playing it, and prints each error and\n"
        "warning as FILE:LINE: with what the player does about it, then a summary. Run it\n"
        "from the scene's folder, as the player. Status 0 without errors, 1 with one, 2 for a\n"
        "wrong command line.\n"
        "\n"
        "Options:\n"
        "  --web                also as a web browser takes it: the programs compiled as GLSL\n"
        "                       ES 3.00 and every DDS level against WebGL's S3TC sizes\n"
        "  --timeline FILE.svg  also draw the scene's time line: cameras, models, cuts, gaps\n"
        "                       and the music's length\n"
        "  --gl x11|egl         where the context that compiles the programs comes from: the\n"
        "                       X display, or EGL without one (default: X when DISPLAY is set)\n"
        "  --help               print this text and exit\n"
        "  --version            print the version and exit\n";
    if (answersHelpOrVersion(argc, argv, "kestrine-check", usage)) return 0;
    const char* path = nullptr;
    const char* svg = nullptr;
    gl_source source = gl_source::automatic;
    check_options options;
    bool wrong = false;
    for (int i = 1; i < argc && !wrong; ++i) {
        const std::string arg = argv[i];
        const bool valued = arg == "--timeline" || arg == "--gl";
        if (arg == "--web")
            options.web = true;
        else if (valued && i + 1 < argc && arg == "--timeline")
            svg = argv[++i];
        else if (valued && i + 1 < argc && parseGlSource(argv[i + 1], source))
            ++i;
        else if (valued || arg.rfind("--", 0) == 0 || path)
            wrong = true;
        else
            path = argv[i];
    }
    if (wrong || !path) {
        std::fprintf(stderr, "%s", usage);
        return 2;
    }
    std::string no_context;
    options.compile_shaders = openToolContext(source, "kestrine-check", no_context);
    const check_result r = checkScene(path, options);
    if (svg) {
        const scene s(path, load_options::silent());
        std::FILE* out = std::fopen(svg, "wb");
        const std::string picture = timelineSvg(s, path, musicLength(kMusicFile));
        if (!out || std::fputs(picture.c_str(), out) < 0 || std::fclose(out) != 0) {
            std::fprintf(stderr, "kestrine-check: cannot write %s (%s)\n", svg,
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
