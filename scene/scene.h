#pragma once
#include <cstddef>
#include <cstdio>
#include <exception>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <GL/glew.h>
#include <glm/glm.hpp>
#include <tinyxml2.h>

#include "camera/camera.h"
#include "formats/convert.h"
#include "formats/xml_source.h"
#include "gpu/modelo.h"
#include "gpu/pool.h"
#include "gpu/shader.h"
#include "gpu/texture.h"
#include "graph/group.h"
#include "scene/diagnostic.h"

// The scene's name-keyed asset tables; a name already present keeps its first record.
class assets {
public:
    std::unordered_map<std::string, modelo> modelos;
    std::unordered_map<std::string, shader> shaders;
    std::unordered_map<std::string, texture> textures;
};

// An asset element ("texture", "shader" or "mesh") as the scene file declares it, whatever the
// player makes of it: the tools read these, not the XML.
struct asset_record {
    enum kind_type { texture_kind, shader_kind, mesh_kind };
    kind_type kind = texture_kind;
    int line = 0;
    int place = -1;     // its element in scene::source
    bool named = false; // has "name"
    std::string name;
    bool complete = false; // has its files: "filename", or "vertex" and "fragment"
    std::string file;      // "filename", or a shader's "vertex"
    std::string fragment;  // a shader's "fragment"
    bool failed = false;   // loaded, but unusable: no texture, no mesh, no program
    // What the load made of the files (with assets loaded), for the tools to read instead of
    // the files: a shader's build, and the same sources built as a web browser would (GLSL ES
    // 3.00) where asked for; a texture's DDS header and levels.
    std::optional<program_build> program;
    std::optional<program_report> browser_program;
    std::optional<dds_read> texture_read;
    std::optional<obj_status> mesh_read;

    // "texture", "shader" or "mesh".
    const char* element() const {
        const char* const names[] = {"texture", "shader", "mesh"};
        return names[kind];
    }
};

// Where a camera stands in the scene file: its element and the elements of the path points it
// took, as indices into scene::source's elements; -1 and none for the default camera.
struct camera_place {
    int line = 0;
    int place = -1;
    std::vector<int> points;
};

// Something of the scene file that the player passes over, or reads otherwise than written: an
// element or attribute it does not read at that position, a number it reads only in part or
// otherwise, or a model it skips for a missing attribute. Recorded for the tools, which warn
// about them.
struct reading_note {
    enum kind_type { element, attribute, number, skipped_model };
    reading_note(kind_type kind, int line, std::string within, std::string name)
        : kind(kind), line(line), within(std::move(within)), name(std::move(name)) {}

    kind_type kind = element;
    int line = 0;
    std::string within;             // the element it stands in (its own name for a number)
    std::string name;               // the element or attribute; what a skipped model lacks
    std::vector<std::string> valid; // names the player reads there (element, attribute)
    std::string text;               // the number as written (number)
    double used = 0.0;              // the value the player uses (number)
    reading how = reading::whole;   // (number)
    bool integer = false;           // (number)
    bool model_dropped = false;     // the model it stands on makes no descriptor (attribute)
};

// How a scene is read. The player uses the defaults; tools and tests change them.
struct load_options {
    bool load_assets = true;    // textures, programs and meshes; needs a current GL context
    const char* text = nullptr; // parse this text instead of the file (the path names it)
    std::size_t text_size = 0;
    std::FILE* trace = stdout;     // the loading trace, the asset loaders' lines included
    bool print_diagnostics = true; // warnings and the load error to standard error
    bool browser_programs = false; // also build each program as a web browser would
    // Called with each asset file's path just before the file is opened.
    std::function<void(const char* path)> opening;

    // What the tools read a scene with for what it says: no GL object made, nothing printed.
    static load_options silent() {
        return {.load_assets = false, .trace = nullptr, .print_diagnostics = false};
    }
};

// Everything the player shows: assets, cameras and the group tree, read from an XML scene file.
class scene {
public:
    explicit scene(const char* path, const load_options& options = {});
    // Deletes every OpenGL object the load made, so the context it was made in must be current.
    // The player never destroys its scene; the preview, the capture and the tests do.
    ~scene();
    scene(const scene&) = delete;
    scene& operator=(const scene&) = delete;

    // False when the file could not be read, has no "scene" element, or a group holds an
    // error; the scene must not be played then. The message is in diagnostics().
    bool loaded() const { return !failed; }
    const std::vector<diagnostic>& diagnostics() const { return messages; }

    int getRes_x() const { return res_x; }
    int getRes_y() const { return res_y; }
    const char* getWindowName() const { return windowName.c_str(); }

    // Reads a nested group element into a new group appended to parent's children.
    void groupProcessor(tinyxml2::XMLNode* element, group* parent);

    // Frame clock and projection.
    void updateElapsedTime();
    double getElapsedTime() const { return elapsedTime; }
    // Perspective for a window of this size; a zero width or height keeps the last one.
    void changeWindowSize(int width, int height);

    // Draws g and its subtree with the model matrix inherited from its parent.
    void drawGroup(group* g, glm::mat4 model, glm::mat4 projection, camera* c);

    assets resources;
    gl_pool pool; // every OpenGL object made while loading, refused duplicates included
    std::vector<group> groups;               // root groups, in document order
    std::vector<camera> cameras;             // in document order; never empty once built
    std::vector<camera_place> camera_places; // where each camera's element stands
    std::vector<asset_record> asset_records; // every asset element, in document order
    std::vector<reading_note> reading_notes; // what the player passes over, in reading order
    std::vector<shader> unnamedShaders;      // programs without a name; nothing draws with them
    glm::mat4 projection = glm::mat4(1.0f);
    // The file's bytes as read, and where each element and attribute stands in them; records
    // name their elements by index there (-1 where the text could not be placed).
    std::string source_text;
    xml_source source;
    int window_place = -1;
    tinyxml2::XMLDocument doc{true, tinyxml2::PRESERVE_WHITESPACE};
    tinyxml2::XMLElement* sceneElement = nullptr;
    tinyxml2::XMLElement* cursor = nullptr; // the element being read while loading
    int loadResult = 0;                     // tinyxml2's XMLError of the load
    int res_x = 800;
    int res_y = 800;
    std::string windowName;
    double elapsedTime = 0.0; // seconds of the window library's timer at this frame
    // The scene clock; the frame time and the light both read it. The player sets the window
    // library's timer; offline rendering, a clock that stands at each frame's exact time.
    // Without one the clock reads 0.
    std::function<double()> timer;
    double now() const { return timer ? timer() : 0.0; }
    // Descriptors whose missing asset the drawing walk has reported, so it says so once.
    std::unordered_set<const modelo_descript*> reported_missing;
    // Bound in place of a texture that could not be used; the player's 0 draws with none. The
    // scene does not own it.
    GLuint unusable_texture = 0;

private:
    void load(const load_options& options);
    void readWindow();
    // Each reads its kind of asset element into asset_records, and with `build` into the
    // tables.
    asset_record& declare(tinyxml2::XMLElement* e, asset_record::kind_type kind);
    void readTextures(bool build);
    void readShaders(bool build);
    void readMeshes(bool build);
    void readCameras();
    bool readCamera(tinyxml2::XMLElement* e, camera& out, std::vector<int>& points);
    void readPath(tinyxml2::XMLElement* e, camera& cam, std::vector<int>& points);
    // The named float attributes of e into v, each noted; false at the first that does not
    // read, after `refuse` is told what is wrong with it.
    bool readFloats(const tinyxml2::XMLElement* e, const char* const* names, int count, float* v,
                    const std::function<void(const std::string&)>& refuse);
    void readGroup(tinyxml2::XMLElement* e, group& g, bool root);
    void readTranslate(tinyxml2::XMLElement* e, group& g);
    void readRotate(tinyxml2::XMLElement* e, group& g, bool root);
    void readOffset(tinyxml2::XMLElement* e, group& g, int kind);
    bool readWobble(const tinyxml2::XMLElement* e, glm::vec3& frequency, double& amplitude);
    void readModels(tinyxml2::XMLElement* e, group& g, bool root);
    void readModel(tinyxml2::XMLElement* m, group& g);

    // Attribute readers that stop loading with a message naming file, line, element and
    // attribute.
    // `to` is one of the number conversions: toInt, toFloat, toDouble.
    template <class T>
    T need(const tinyxml2::XMLElement* e, const char* name, conversion (*to)(const char*, T&));
    glm::vec3 needVec3(const tinyxml2::XMLElement* e, const char* x, const char* y, const char* z);
    const char* needText(const tinyxml2::XMLElement* e, const char* name);
    void check(const tinyxml2::XMLElement* e, const char* name, conversion c);

    // Records the attributes of e that the player does not read there, and an element it
    // does not read at its position.
    std::size_t noteAttributes(const tinyxml2::XMLElement* e,
                               std::initializer_list<const char*> valid);
    void noteElement(const tinyxml2::XMLElement* e, std::initializer_list<const char*> valid);
    // Records a number that converted but is read otherwise than written; `wrapped`: a
    // negative number read as a large unsigned one.
    void noteNumber(const tinyxml2::XMLElement* e, const char* name, bool integer, double used,
                    bool wrapped = false);

    // One line on standard error for an asset the player plays on without.
    void warnAsset(asset_record& r, const std::string& what, const std::string& effect);
    void trace(const std::string& text);
    // What the guarded shader and mesh steps print when one of their builds throws.
    void traceStepFailure(const std::exception& ex);
    // A finding about this file at that line.
    diagnostic finding(diagnostic::kind severity, int line, std::string element, std::string what,
                       std::string effect = "") const;
    void report(diagnostic d);
    [[noreturn]] void fail(const tinyxml2::XMLElement* e, const std::string& what);
    // Reports the error and ends the load.
    [[noreturn]] void stop(diagnostic d);

    // Reads the file (or the text given) into source_text and parses it.
    void parse(const load_options& options);
    // Pairs the parsed elements with the scanned ones, in document order.
    void placeElements();
    int placeOf(const tinyxml2::XMLElement* e) const;
    template <class R> void locate(R& record, const tinyxml2::XMLElement* e) const {
        record.line = e->GetLineNum();
        record.place = placeOf(e);
    }

    void opening(const char* path) const {
        if (opened) opened(path);
    }

    std::string file; // the path, for messages
    std::function<void(const char*)> opened;
    std::FILE* out = stdout; // trace stream
    bool print_diagnostics = true;
    bool browser_programs = false;
    bool failed = false;
    std::vector<diagnostic> messages;
    std::unordered_map<const tinyxml2::XMLElement*, int> places; // while loading
};
