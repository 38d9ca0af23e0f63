// The checker's findings on a scene file: see diagnostics.h.
#include "authoring/diagnostics.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <set>

#include <strings.h>

#include "authoring/problems.h"
#include "authoring/timeline.h"
#include "formats/dds.h"
#include "formats/driver_log.h"
#include "formats/dxt.h"
#include "formats/files.h"
#include "formats/glsl_es.h"
#include "formats/obj.h"
#include "gpu/program_check.h"
#include "platform/music.h"
#include "scene/xml_syntax.h"

namespace {

// The valid name closest to a misspelt one, or "" when none is close.
std::string closest(const std::string& name, const std::vector<std::string>& valid) {
    std::string best;
    std::size_t best_distance = std::max<std::size_t>(2, name.size() / 3) + 1;
    for (const std::string& v : valid) {
        // A difference of case alone is the closest there is.
        const std::size_t d = strcasecmp(v.c_str(), name.c_str()) == 0 ? 0 : editDistance(name, v);
        if (d < best_distance) {
            best = v;
            best_distance = d;
        }
    }
    return best;
}

std::string seconds(double t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g s", t);
    return buf;
}

// A named asset as declared in the scene file.
struct asset_decl {
    std::string label; // as messages name it: texture "x"
    int line = 0;
    bool used = false;
};

class checker {
public:
    checker(const char* path, const check_options& options) : path(path), options(options) {}

    // Loads the scene file quietly and checks it, its files included.
    check_result run();
    // Checks a scene loaded already from what its load recorded, reading no file.
    std::vector<diagnostic> review(const scene& loaded, double musicSeconds);

private:
    // What both run() and review() say, after the scene is loaded.
    void reviewScene();
    diagnostic& add(diagnostic::kind severity, int line, const std::string& element,
                    const std::string& what, const std::string& effect = "",
                    const std::string& hint = "");
    // Enters a declared name; a name already taken is reported.
    void declare(std::map<std::string, asset_decl>& table, const std::string& label,
                 const std::string& name, int line);
    void checkAsset(const asset_record& a);
    void checkDds(int line, const std::string& label, const std::string& file,
                  const dds_image& img);
    void checkProgram(const asset_record& a);
    void checkFaces(int line, const std::string& label, const std::string& file,
                    const obj_status& status);
    void checkPassedOver(const reading_note& p);
    void checkCameras(const timeline& tl);
    void walkGroup(const group& g);
    void checkModels(const timeline& tl);
    void use(std::map<std::string, asset_decl>& table, const char* kind, const std::string& name,
             int line);
    std::vector<std::string> summary(const timeline& tl) const;

    std::string path;
    check_options options;
    std::unique_ptr<scene> owned;
    const scene* s = nullptr;
    bool read_files = true; // the asset files, and the scene file for its syntax
    // What a browser refuses: errors for kestrine-check --web; in a review, warnings.
    diagnostic::kind browser_severity = diagnostic::error;
    check_result result;
    std::map<std::string, asset_decl> textures, shaders, meshes;
    int unnamed_shaders = 0;
    std::uint64_t decoded_bytes = 0;            // the textures as RGBA8, for browsers without S3TC
    std::vector<const modelo_descript*> models; // of the whole group tree
    std::size_t groups_walked = 0;
    std::set<int> dropped_lines; // models whose misspelt attribute said they are never drawn
};

// What a model the player never draws lacks: `lacks` is "name", "start" or "end".
std::string skippedModel(const std::string& lacks) {
    if (lacks == "name") return "the model has no \"name\"";
    const std::string other = lacks == "end" ? "start" : "end";
    return "the model has " + quoted(other) + " without " + quoted(lacks);
}
const char* const kNeverDrawn = "so the player never draws it";

diagnostic& checker::add(diagnostic::kind severity, int line, const std::string& element,
                         const std::string& what, const std::string& effect,
                         const std::string& hint) {
    return result.diagnostics.emplace_back(diagnostic{.severity = severity, .at = {path, line, 0},
                                                      .element = element, .what = what,
                                                      .effect = effect, .hint = hint});
}

check_result checker::run() {
    owned = std::make_unique<scene>(path.c_str(), load_options::silent());
    s = owned.get();
    result.diagnostics = s->diagnostics();
    // A file the player cannot read as XML: its message in words an author can act on, at a
    // line an editor can jump to. Otherwise a group's error, which the player's message tells
    // already.
    const bool syntax = s->loadResult != tinyxml2::XML_SUCCESS;
    if (!s->loaded() && (syntax || !s->sceneElement)) {
        // The load has put it in the author's words already; the checker adds what it means.
        const diagnostic said = s->diagnostics().back();
        result.diagnostics.clear();
        add(diagnostic::error, std::max(said.at.line, 1), "",
            syntax ? said.what : "the file has no <scene> element around the rest",
            "the player stops before the first frame");
    }
    if (musicLength(kMusicFile) < 0.0) result.diagnostics.push_back(musicUnreadable(path));
    reviewScene();
    for (const diagnostic& d : result.diagnostics)
        ++(d.severity == diagnostic::error ? result.errors : result.warnings);
    result.summary = summary(s->loaded() ? cameraTimeline(s->cameras) : timeline());
    return std::move(result);
}

std::vector<diagnostic> checker::review(const scene& loaded, double musicSeconds) {
    s = &loaded;
    read_files = false;
    browser_severity = diagnostic::warning;
    // An unknown length (NaN) is no finding.
    if (musicSeconds < 0.0) result.diagnostics.push_back(musicUnreadable(path));
    reviewScene();
    return std::move(result.diagnostics);
}

void checker::reviewScene() {
    // Assets are read before the group tree, so a group error still leaves them checkable.
    for (const asset_record& a : s->asset_records)
        checkAsset(a);
    for (const reading_note& p : s->reading_notes)
        checkPassedOver(p);
    if (s->loaded()) {
        const timeline tl = cameraTimeline(s->cameras);
        checkCameras(tl);
        for (const group& g : s->groups)
            walkGroup(g);
        checkModels(tl);
    }
    std::stable_sort(
        result.diagnostics.begin(), result.diagnostics.end(),
        [](const diagnostic& a, const diagnostic& b) { return a.at.line < b.at.line; });
}

void checker::declare(std::map<std::string, asset_decl>& table, const std::string& label,
                      const std::string& name, int line) {
    const auto [at, inserted] = table.emplace(name, asset_decl{label, line, false});
    if (!inserted)
        add(diagnostic::warning, line, label,
            "the name is taken at line " + std::to_string(at->second.line),
            "this one is loaded and never drawn");
}

void checker::checkAsset(const asset_record& a) {
    const char* kind = a.element();
    const std::string label = a.named ? std::string(kind) + " " + quoted(a.name) : kind;
    if (a.kind == asset_record::shader_kind) {
        if (!a.complete) {
            add(diagnostic::warning, a.line, label,
                std::string("no ") + (a.file.empty() ? "\"vertex\"" : "\"fragment\""), "skipped");
        } else if (a.named) {
            declare(shaders, label, a.name, a.line);
        } else {
            ++unnamed_shaders;
            add(diagnostic::warning, a.line, "shader",
                "a program without \"name\" is compiled but never drawn with");
        }
        if (a.complete) checkProgram(a);
        return;
    }
    if (!a.named || !a.complete) {
        add(diagnostic::warning, a.line, kind,
            std::string("no ") + (a.named ? "\"filename\"" : "\"name\""), "skipped");
        return;
    }
    const bool texture = a.kind == asset_record::texture_kind;
    declare(texture ? textures : meshes, label, a.name, a.line);
    // What the load read already is not read again; what it could not use, it has said.
    if (texture && a.texture_read && !a.failed)
        checkDds(a.line, label, a.file, a.texture_read->image);
    if (!texture && a.mesh_read && !a.failed) checkFaces(a.line, label, a.file, *a.mesh_read);
    if (!read_files) return;
    std::string text, why;
    std::FILE* in = texture ? openRegular(a.file, why) : nullptr;
    if (texture ? !in : !readWholeFile(a.file, text, why)) {
        add(diagnostic::error, a.line, label, "cannot read " + quoted(a.file) + " (" + why + ")");
        return;
    }
    if (texture) {
        const std::vector<unsigned char> bytes = readDdsFile(in);
        std::fclose(in);
        const dds_image img = parseDds(bytes.data(), bytes.size());
        if (!ddsUsable(img.status))
            add(diagnostic::error, a.line, label,
                quoted(a.file) + " cannot be read as a texture (" + ddsStatusText(img.status) + ")",
                "so its models are drawn without one");
        else
            checkDds(a.line, label, a.file, img);
        return;
    }
    std::vector<glm::vec3> positions, normals;
    std::vector<glm::vec2> uvs;
    obj_status status;
    if (parseOBJ(text.data(), text.size(), positions, uvs, normals, &status))
        checkFaces(a.line, label, a.file, status);
    else
        add(diagnostic::error, a.line, label,
            quoted(a.file) + " line " + std::to_string(status.line) + ": " +
                (status.failure == obj_failure::face_index
                     ? "a face index is 0, negative or past its list"
                     : "a face is not in the form v/vt/vn v/vt/vn v/vt/vn"),
            "the mesh is left empty")
            .origin = {a.file, int(status.line), 0};
}

void checker::checkProgram(const asset_record& a) {
    // A file the load could not read, it has said.
    if (a.program && a.failed) return;
    std::vector<diagnostic> found;
    if (a.program)
        found = programDiagnostics(path, a, *a.program, a.browser_program);
    else if (read_files)
        found = programDiagnostics(path, a, options.compile_shaders, options.web);
    for (diagnostic& d : found) {
        if (d.browser) d.severity = browser_severity;
        result.diagnostics.push_back(std::move(d));
    }
}

void checker::checkPassedOver(const reading_note& p) {
    if (p.kind == reading_note::skipped_model) {
        // A misspelt attribute on the same model has said it already.
        if (dropped_lines.count(p.line) == 0)
            add(diagnostic::warning, p.line, "model", skippedModel(p.name), kNeverDrawn,
                p.name == "name" ? "" : "give both, or neither to show it at every time");
        return;
    }
    if (p.kind == reading_note::number) {
        char used[64];
        std::snprintf(used, sizeof used, p.integer ? "%.0f" : "%.9g", p.used);
        const std::string what = "attribute " + quoted(p.name) + " is " + quoted(p.text);
        const char* reads =
            p.how == reading::wrapped      ? ": the player reads no negative number there and uses "
            : p.how == reading::not_finite ? ": not a finite number; the player uses "
            : p.how == reading::fraction_dropped
                ? ": the player reads a whole number there and uses "
                : ": the player reads only the number it starts with and uses ";
        add(diagnostic::warning, p.line, p.within, what + reads + used);
        return;
    }
    const std::string best = closest(p.name, p.valid);
    const std::string what = (p.kind == reading_note::element ? "element " : "attribute ") +
                             quoted(p.name) + " is not read here";
    std::string effect = "the player ignores it";
    if (p.model_dropped) {
        dropped_lines.insert(p.line);
        // What the model skipped at this line lacks: "name", "start" or "end".
        const auto& notes = s->reading_notes;
        const auto skip = std::find_if(notes.begin(), notes.end(), [&](const reading_note& q) {
            return q.kind == reading_note::skipped_model && q.line == p.line;
        });
        effect +=
            ", and " + skippedModel(skip == notes.end() ? "name" : skip->name) + ", " + kNeverDrawn;
    } else if (p.within == "model" && (best == "start" || best == "end"))
        effect += ", so the model is shown at every time";
    std::string hint = best.empty() ? "" : "did you mean " + quoted(best) + "?";
    if (p.kind == reading_note::element && (p.name == "terrain" || p.name == "procedural_m"))
        hint += (hint.empty() ? "" : ") (") +
                std::string("it reads terrain and procedural_m in nested groups only");
    add(diagnostic::warning, p.line, p.within.empty() ? "scene" : p.within, what, effect, hint);
}

void checker::checkDds(int line, const std::string& label, const std::string& file,
                       const dds_image& img) {
    unsigned chain = 1; // levels of a full chain, down to 1x1
    for (std::uint32_t w = img.width, h = img.height; w > 1 || h > 1; w /= 2, h /= 2)
        ++chain;
    const bool complete =
        !img.levels.empty() && img.levels.back().width == 1 && img.levels.back().height == 1;
    const std::string why =
        img.status == dds_status::ok ? "" : std::string(" (") + ddsStatusText(img.status) + ")";
    if (!complete) {
        std::string what = quoted(file) + " has " + std::to_string(img.levels.size()) + " of " +
                           std::to_string(chain) + " mip-map levels";
        if (!img.levels.empty())
            what += ", down to " + std::to_string(img.levels.back().width) + "x" +
                    std::to_string(img.levels.back().height);
        add(diagnostic::warning, line, label, what + why,
            "an incomplete chain samples black under default filtering");
    } else if (img.status != dds_status::ok) {
        add(diagnostic::warning, line, label, quoted(file) + why.substr(1));
    }
    // A review says what a browser refuses; the checker, when asked with --web.
    if (options.web) decoded_bytes += ddsDecodedBytes(img);
    if (options.web || !read_files) {
        std::string refused;
        for (const dds_level& l : ddsLevelsWebGLRefuses(img))
            refused += (refused.empty() ? "" : ", ") + std::to_string(l.level) + " (" +
                       std::to_string(l.width) + "x" + std::to_string(l.height) + ")";
        if (!refused.empty())
            add(browser_severity, line, label,
                quoted(file) + " has mip-map levels WebGL refuses for S3TC: " + refused,
                "a web browser takes a top level a multiple of 4 pixels wide and high, and lower "
                "ones 0, 1, 2 or a multiple of 4, and draws this one as texture 0")
                .browser = true;
    } else if (!ddsFitsWebGL(img)) {
        add(diagnostic::warning, line, label,
            quoted(file) + " is " + std::to_string(img.width) + "x" + std::to_string(img.height) +
                ", not a multiple of 4 pixels wide and high",
            "it will not show in a web browser")
            .browser = true;
    }
}

void checker::checkFaces(int line, const std::string& label, const std::string& file,
                         const obj_status& status) {
    if (status.faces_truncated > 0)
        add(diagnostic::warning, line, label,
            quoted(file) + " has " + std::to_string(status.faces_truncated) +
                " face(s) with more than three corners",
            "only their first triangle is drawn");
}

void checker::checkCameras(const timeline& tl) {
    for (std::size_t i = 0; i < s->cameras.size(); ++i) {
        const camera& c = s->cameras[i];
        const int line = s->camera_places[i].line;
        const bool moving = c.mode == moving_look_at || c.mode == moving_tangent;
        if (moving && c.path.pointCount() < 2)
            add(diagnostic::warning, line, "camera",
                "a moving camera with " + std::to_string(c.path.pointCount()) +
                    " path point(s) stands still; it needs at least two");
        if (moving && c.start == c.end)
            add(diagnostic::warning, line, "camera",
                "a moving camera whose \"start\" equals its \"end\" films at every time and "
                "stays at the first point of its path");
        if (c.start > c.end)
            add(diagnostic::warning, line, "camera", "\"end\" is before \"start\"",
                "the camera never films");
    }

    for (const camera_gap& g : tl.gaps) {
        const bool first = &g == &tl.gaps.front();
        int line = 0;
        for (std::size_t i = 0; i < s->cameras.size() && line == 0; ++i)
            if (s->cameras[i].start == g.to) line = s->camera_places[i].line;
        const std::string between =
            "no camera films between " + seconds(g.from) + " and " + seconds(g.to);
        if (!tl.filmed && first)
            add(diagnostic::warning, line, "camera", "no camera films from 0 s to " + seconds(g.to),
                "the demo ends at its first frame");
        else if (first)
            add(diagnostic::warning, line, "camera", between,
                "the demo ends there, just after " + seconds(g.from));
        else
            add(diagnostic::warning, line, "camera", between, "", "the demo has ended before");
    }
}

void checker::walkGroup(const group& g) {
    ++groups_walked;
    for (const transform& t : g.transforms) {
        const bool rotate = t.kind == rotation || t.kind == timed_rotation;
        const char* element = rotate ? "rotate" : "translate";
        // Read as the loader reads them: "2.9" is a 2 s period of a curve translation.
        if ((t.kind == timed_rotation || t.kind == curve_translation) && t.time_length == 0.0)
            add(diagnostic::warning, t.line, element, "a period (\"time\") of 0",
                rotate ? "the rotation never turns"
                       : "the translation never moves along its curve");
        if (rotate && t.operand == glm::vec3(0.0f))
            add(diagnostic::warning, t.line, "rotate", "the axis is (0, 0, 0)",
                "the rotation is left out");
    }
    for (const modelo_descript& d : g.descriptors)
        models.push_back(&d);
    for (const group& child : g.children)
        walkGroup(child);
}

void checker::use(std::map<std::string, asset_decl>& table, const char* kind,
                  const std::string& name, int line) {
    const auto found = table.find(name);
    if (found != table.end()) {
        found->second.used = true;
        return;
    }
    std::vector<std::string> names;
    for (const auto& [other, decl] : table)
        names.push_back(other);
    const std::string best = closest(name, names);
    std::string what = std::string("no ") + kind + " named " + quoted(name);
    if (!best.empty()) what += " (did you mean " + quoted(best) + "?)";
    add(diagnostic::warning, line, "model", what, "the model is not drawn");
}

void checker::checkModels(const timeline& tl) {
    for (const modelo_descript* d : models) {
        const modelo_descript& m = *d;
        use(meshes, "mesh", m.mesh_name, m.line);
        use(shaders, "shader", m.shader_name, m.line);
        if (!m.texture_name.empty()) use(textures, "texture", m.texture_name, m.line);

        if (m.start == m.end) continue; // visible at every time
        const std::string window = "visible from " + seconds(m.start) + " to " + seconds(m.end);
        if (m.start > m.end) {
            add(diagnostic::warning, m.line, "model", "\"start\" is after \"end\"",
                "the model is never visible");
        } else if (!tl.endless && (!tl.filmed || m.start > tl.end || m.end < 0.0)) {
            add(diagnostic::warning, m.line, "model", window + ", but no camera films then", "",
                "the demo ends " +
                    (tl.filmed ? "at " + seconds(tl.end) : std::string("at its first frame")));
        } else if (tl.endless && m.end < 0.0) {
            add(diagnostic::warning, m.line, "model", window + ", before the demo starts");
        }
    }
    for (const auto* table : {&textures, &shaders, &meshes})
        for (const auto& [name, decl] : *table)
            if (!decl.used)
                add(diagnostic::warning, decl.line, decl.label, "never used by a model");
}

std::vector<std::string> checker::summary(const timeline& tl) const {
    std::vector<std::string> lines;
    lines.push_back(path + ": " + std::to_string(result.errors) + " error(s), " +
                    std::to_string(result.warnings) + " warning(s)");
    if (!s->loaded()) {
        lines.push_back("the player would not play this scene");
        return lines;
    }
    const std::string when = tl.endless ? "endless (a camera films at every time)"
                             : !tl.filmed
                                 ? "ends at its first frame (no camera films second 0)"
                                 : seconds(tl.end) + " (from 0 s to " + seconds(tl.end) + ")";
    lines.push_back("timeline: " + when + ", " + std::to_string(s->cameras.size()) +
                    " camera(s), " + std::to_string(tl.cuts.size()) + " camera cut(s)");
    lines.push_back("assets: " + std::to_string(textures.size()) + " texture(s), " +
                    std::to_string(shaders.size() + std::size_t(unnamed_shaders)) + " shader(s), " +
                    std::to_string(meshes.size()) + " mesh(es); " + std::to_string(groups_walked) +
                    " group(s) (" + std::to_string(s->groups.size()) + " root), " +
                    std::to_string(models.size()) + " model(s)");
    if (options.web) {
        char mb[32];
        std::snprintf(mb, sizeof mb, "%.1f", double(decoded_bytes) / 1e6);
        lines.push_back("web: the textures take " + std::to_string(decoded_bytes) + " bytes (" +
                        mb +
                        " MB) decoded to RGBA8, as a browser without S3TC (most phones) "
                        "holds them");
    }
    if (!options.compile_shaders)
        lines.push_back("shaders: not compiled (no OpenGL context from an X display or "
                        "EGL)");
    return lines;
}

} // namespace

std::vector<driver_note> driverNotes(const std::string& log, const std::string& file) {
    std::vector<driver_note> notes;
    for (const driver_log_line& l : parseDriverLog(log)) {
        driver_note& n = notes.emplace_back();
        if (!file.empty() && l.line > 0) n.at = {file, l.line, l.column};
        n.text = l.text;
    }
    return notes;
}

namespace {

// What a program's build says, from the driver's results: a stage that does not compile, a
// program that does not link, and what the drawing cannot feed or never sets.
void addBuildFindings(const program_report& r, const asset_record& a, const diagnostic& base,
                      std::vector<diagnostic>& out) {
    const auto add = [&](diagnostic::kind severity, const std::string& what,
                         const std::string& effect) -> diagnostic& {
        diagnostic& d = out.emplace_back(base);
        d.severity = severity;
        d.what = what;
        d.effect = effect;
        return d;
    };
    const char* const notDrawn = "so its models are not drawn";
    if (!r.vertex_compiled)
        add(diagnostic::error, quoted(a.file) + " does not compile", notDrawn).log =
            driverNotes(r.vertex_log, a.file);
    if (!r.fragment_compiled)
        add(diagnostic::error, quoted(a.fragment) + " does not compile", notDrawn).log =
            driverNotes(r.fragment_log, a.fragment);
    if (r.vertex_compiled && r.fragment_compiled && !r.linked)
        add(diagnostic::error, "the program does not link", notDrawn).log =
            driverNotes(r.link_log, "");
    for (const std::string& u : r.missing_uniforms)
        add(diagnostic::warning, "the program has no active uniform " + quoted(u),
            "the drawing's matrix is lost");
    for (const std::string& input : r.misplaced_inputs)
        add(diagnostic::warning,
            "vertex input " + input + "; meshes feed only locations 0, 1 and 3", "");
    for (const std::string& u : r.unset_uniforms)
        add(diagnostic::warning, "uniform " + quoted(u) + " is never set by the player",
            "it keeps its initial value, 0");
}

// What a browser makes of the same sources as GLSL ES 3.00 (the web build's rewrite): each
// error at the file's line, which the rewrite keeps; what fails on the desktop already is not
// said twice.
void addBrowserFindings(const program_report& desktop, const program_report& r,
                        const asset_record& a, const diagnostic& base,
                        std::vector<diagnostic>& out) {
    const char* const web = " (as GLSL ES 3.00, in a web browser)";
    const auto add = [&](const std::string& what) -> diagnostic& {
        diagnostic& d = out.emplace_back(base);
        d.severity = diagnostic::error;
        d.what = what + web;
        d.browser = true;
        return d;
    };
    struct stage {
        bool fine; // compiled, or failed on the desktop already
        const std::string& file;
        const std::string& log;
    };
    for (const stage& st :
         {stage{r.vertex_compiled || !desktop.vertex_compiled, a.file, r.vertex_log},
          stage{r.fragment_compiled || !desktop.fragment_compiled, a.fragment, r.fragment_log}}) {
        if (st.fine) continue;
        bool said = false;
        for (const driver_log_line& l : parseDriverLog(st.log)) {
            if (!l.error) continue;
            if (l.line >= 0)
                add(quoted(st.file) + " line " + std::to_string(l.line) + ": " + l.words).origin = {
                    st.file, l.line, l.column};
            else
                add(quoted(st.file) + ": " + l.text);
            said = true;
        }
        if (!said) add(quoted(st.file) + " does not compile").log = driverNotes(st.log, st.file);
    }
    if (r.vertex_compiled && r.fragment_compiled && !r.linked && desktop.linked)
        add("the program does not link").log = driverNotes(r.link_log, "");
}

} // namespace

std::vector<diagnostic> programDiagnostics(const std::string& path, const asset_record& a,
                                           const program_build& built,
                                           const std::optional<program_report>& browser) {
    std::vector<diagnostic> out;
    diagnostic base;
    base.at = {path, a.line, 0};
    base.element = a.named ? "shader " + quoted(a.name) : "shader";
    if (!built.vertex_read || !built.fragment_read) {
        diagnostic& d = out.emplace_back(base);
        d.severity = diagnostic::error;
        d.what = "cannot read " +
                 (built.vertex_read ? "fragment file " + quoted(a.fragment)
                                    : "vertex file " + quoted(a.file)) +
                 " (" + built.why + ")";
        d.effect = built.vertex_read ? "so the program is built from an empty fragment source, "
                                       "does not link, and its models are not drawn"
                                     : "so its models are not drawn";
        return out;
    }
    addBuildFindings(built.report, a, base, out);
    if (browser) addBrowserFindings(built.report, *browser, a, base, out);
    return out;
}

std::vector<diagnostic> programDiagnostics(const std::string& path, const asset_record& a,
                                           bool compile, bool web) {
    program_build built;
    built.vertex_read = readWholeFile(a.file, built.vertex_source, built.why);
    built.fragment_read =
        built.vertex_read && readWholeFile(a.fragment, built.fragment_source, built.why);
    const bool read = built.vertex_read && built.fragment_read;
    if (read && !compile) return {};
    std::optional<program_report> browser;
    if (read) built.report = checkProgram(built.vertex_source, built.fragment_source);
    if (read && web)
        browser = checkProgram(toGlslEs(built.vertex_source), toGlslEs(built.fragment_source));
    return programDiagnostics(path, a, built, browser);
}

check_result checkScene(const char* path, const check_options& options) {
    return checker(path, options).run();
}

std::vector<diagnostic> recordedDiagnostics(const scene& s, const std::string& path,
                                            double musicSeconds) {
    return checker(path.c_str(), check_options()).review(s, musicSeconds);
}

std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}
