// Scene loading: see scene.h.
#include "scene/scene.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>

#include "formats/convert.h"
#include "formats/files.h"
#include "formats/glsl_es.h"
#include "formats/trace.h"
#include "scene/xml_syntax.h"

using tinyxml2::XMLElement;
using tinyxml2::XMLNode;

namespace {

// Stops loading; caught only by the scene's own load. Not a std::exception, so that the
// guards around the shader and mesh steps never take it for an asset failure.
struct load_stop {};

bool has(const XMLElement* e, const char* name) {
    return e->Attribute(name) != nullptr;
}

// How many of the names e has as attributes.
int present(const XMLElement* e, const char* const* names, int count) {
    int n = 0;
    for (int i = 0; i < count; ++i)
        n += has(e, names[i]);
    return n;
}

const char* const kWobble[] = {"w_sinx", "w_siny", "w_sinz"};
const char* const kEyeUp[] = {"eye_x", "eye_y", "eye_z", "up_x", "up_y", "up_z"};
const char* const kLook[] = {"look_x", "look_y", "look_z"};

// The camera form that e comes closest to, with the attributes it lacks for it and those it
// has that the form does not take: "the closest is a static camera, which needs \"up_y\"".
std::string closestCameraForm(const XMLElement* e) {
    struct form {
        const char* name;
        bool eyeUp, look; // whether the form takes them (start and end it always needs)
    };
    const form forms[] = {
        {"a static camera (start, end, eye, look and up)", true, true},
        {"a moving camera looking at a point (start, end and look)", false, true},
        {"a moving camera looking along its path (start and end only)", false, false}};
    std::string best;
    std::size_t fewest = ~std::size_t(0);
    for (const form& f : forms) {
        std::vector<std::string> lacks, extra;
        for (const char* name : {"start", "end"})
            if (!has(e, name)) lacks.push_back(quoted(name));
        for (int i = 0; i < 6; ++i)
            if (has(e, kEyeUp[i]) != f.eyeUp)
                (f.eyeUp ? lacks : extra).push_back(quoted(kEyeUp[i]));
        for (int i = 0; i < 3; ++i)
            if (has(e, kLook[i]) != f.look) (f.look ? lacks : extra).push_back(quoted(kLook[i]));
        if (lacks.size() + extra.size() >= fewest) continue;
        fewest = lacks.size() + extra.size();
        const auto list = [](const std::vector<std::string>& names) {
            std::string text;
            for (std::size_t i = 0; i < names.size(); ++i)
                text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
            return text;
        };
        best = std::string("the closest is ") + f.name + ", which";
        if (!lacks.empty()) best += " needs " + list(lacks);
        if (!lacks.empty() && !extra.empty()) best += " and";
        if (!extra.empty()) best += " does not take " + list(extra);
    }
    return best;
}

// `attribute "X" is not a number: "abc"`
std::string attributeProblem(const char* name, conversion c, const char* text) {
    std::string s = "attribute " + quoted(name) + " " + describe(c);
    if (c != conversion::missing) s += ": " + quoted(text);
    return s;
}

} // namespace

scene::~scene() {
    pool.release();
}

scene::scene(const char* path, const load_options& options)
    : file(path), opened(options.opening), out(options.trace),
      print_diagnostics(options.print_diagnostics), browser_programs(options.browser_programs) {
    // The loaders print their part of the trace where this load's goes.
    std::FILE* const before = setAssetTrace(out);
    try {
        load(options);
    } catch (const load_stop&) {
        failed = true;
    }
    setAssetTrace(before);
    // Without any camera the scene plays until the user quits.
    if (!failed && cameras.empty()) {
        cameras.push_back(camera());
        camera_places.emplace_back();
    }
}

void scene::parse(const load_options& options) {
    std::string why;
    if (options.text) {
        source_text.assign(options.text, options.text_size);
    } else if (!readWholeFile(file, source_text, why)) {
        loadResult = tinyxml2::XML_ERROR_FILE_COULD_NOT_BE_OPENED;
        trace(file + " : Ficheiro nao Existe\na carregar :" + file + "\n ERROR\n nullptr\n");
        stop(finding(diagnostic::error, 0, "", "cannot read the scene file (" + why + ")"));
    }
    loadResult = doc.Parse(source_text.data(), source_text.size());
}

void scene::placeElements() {
    source = scanXml(source_text);
    std::vector<const XMLElement*> parsed;
    for (const XMLNode* n = doc.FirstChild(); n;) {
        if (const XMLElement* e = n->ToElement()) parsed.push_back(e);
        if (n->FirstChild()) {
            n = n->FirstChild();
            continue;
        }
        while (n && !n->NextSibling())
            n = n->Parent();
        if (n) n = n->NextSibling();
    }
    // The scan and the parser agree on every text the parser takes; where they do not, no
    // place is claimed.
    bool agree = !source.problem && parsed.size() == source.elements.size();
    for (std::size_t i = 0; agree && i < parsed.size(); ++i)
        agree = source.elements[i].name == parsed[i]->Value();
    if (!agree) return;
    for (std::size_t i = 0; i < parsed.size(); ++i)
        places.emplace(parsed[i], int(i));
}

int scene::placeOf(const XMLElement* e) const {
    const auto found = places.find(e);
    return found == places.end() ? -1 : found->second;
}

void scene::load(const load_options& options) {
    parse(options);

    if (loadResult != tinyxml2::XML_SUCCESS) trace(file + " : Ficheiro nao Existe\n");
    trace("a carregar :" + file + "\n");
    if (loadResult != tinyxml2::XML_SUCCESS) trace(" ERROR\n");

    sceneElement = doc.FirstChildElement("scene");
    if (!sceneElement) trace(" nullptr\n");

    if (loadResult != tinyxml2::XML_SUCCESS) {
        const xml_syntax_problem p = describeXmlSyntax(source_text, loadResult, doc.ErrorLineNum());
        stop(finding(diagnostic::error, std::max(p.line, 1), "", p.what));
    }
    if (!sceneElement) stop(finding(diagnostic::error, 0, "", "no top-level \"scene\" element"));
    placeElements();

    noteAttributes(sceneElement, {});
    for (const XMLElement* c = sceneElement->FirstChildElement(); c; c = c->NextSiblingElement())
        noteElement(c, {"window", "texture", "shader", "mesh", "camera", "group"});
    readWindow();
    readTextures(options.load_assets);
    readShaders(options.load_assets);
    readMeshes(options.load_assets);
    readCameras();

    for (XMLElement* e = sceneElement->FirstChildElement("group"); e;
         e = e->NextSiblingElement("group")) {
        trace("grupo : \n");
        group g;
        readGroup(e, g, true);
        groups.push_back(std::move(g));
    }
    cursor = nullptr;
}

void scene::readWindow() {
    XMLElement* w = sceneElement->FirstChildElement("window");
    if (!w) {
        trace("Nao existe configuração de Resolução no XML\n");
        windowName = "Kestrine 2.0";
        return;
    }
    cursor = w;
    window_place = placeOf(w);
    noteAttributes(w, {"x", "y", "title"});
    int* fields[] = {&res_x, &res_y};
    const char* names[] = {"x", "y"};
    for (int i = 0; i < 2; ++i) {
        // A number that does not convert leaves the field as it is.
        const char* text = w->Attribute(names[i]);
        const conversion c = toInt(text, *fields[i]);
        if (c == conversion::ok)
            noteNumber(w, names[i], true, *fields[i]);
        else
            report(finding(diagnostic::warning, w->GetLineNum(), "window",
                           attributeProblem(names[i], c, text),
                           "using " + std::to_string(*fields[i])));
    }
    const char* title = w->Attribute("title");
    windowName = title ? title : "Riruruvo RU";
}

asset_record& scene::declare(XMLElement* e, asset_record::kind_type kind) {
    cursor = e;
    asset_record r;
    r.kind = kind;
    locate(r, e);
    const char* name = e->Attribute("name");
    const char* first = e->Attribute(kind == asset_record::shader_kind ? "vertex" : "filename");
    const char* fragment = e->Attribute("fragment");
    r.named = name != nullptr;
    r.name = name ? name : "";
    r.file = first ? first : "";
    r.fragment = fragment ? fragment : "";
    r.complete = first && (kind != asset_record::shader_kind || fragment);
    if (kind == asset_record::shader_kind)
        noteAttributes(e, {"name", "vertex", "fragment"});
    else
        noteAttributes(e, {"name", "filename"});
    asset_records.push_back(std::move(r));
    return asset_records.back();
}

void scene::readTextures(bool build) {
    for (XMLElement* e = sceneElement->FirstChildElement("texture"); e;
         e = e->NextSiblingElement("texture")) {
        asset_record& r = declare(e, asset_record::texture_kind);
        if (!build || !r.complete || !r.named) continue;
        opening(r.file.c_str());
        texture t(r.file.c_str(), &r.texture_read.emplace());
        if (t.texture_id == 0)
            warnAsset(r, ::quoted(r.file) + " cannot be read as a texture",
                      "so its models are drawn without one");
        // A refused duplicate is kept in the pool too: it is deleted with the rest.
        pool.keep(gl_pool::textures, t.texture_id);
        resources.textures.try_emplace(r.name, std::move(t));
    }
}

void scene::readShaders(bool build) {
    try {
        for (XMLElement* e = sceneElement->FirstChildElement("shader"); e;
             e = e->NextSiblingElement("shader")) {
            asset_record& r = declare(e, asset_record::shader_kind);
            if (!build || !r.complete) continue;
            const char* vertex = r.file.c_str();
            const char* fragment = r.fragment.c_str();
            opening(vertex);
            opening(fragment);
            GLuint program = 0;
            program_build& built = r.program.emplace();
            if (r.named) {
                shader s(vertex, fragment, &built);
                program = s.program_id;
                resources.shaders.try_emplace(r.name, std::move(s));
                trace("shader carregado - new path \n");
            } else {
                unnamedShaders.emplace_back(vertex, fragment, &built);
                program = unnamedShaders.back().program_id;
                trace("shader carregado - old \n");
            }
            pool.keep(gl_pool::programs, program);
            // What the load itself shows; whether the sources compile, only the driver's log
            // (and kestrine-check) tells.
            if (program == 0)
                warnAsset(r, ::quoted(r.file) + " cannot be read", "so its models are not drawn");
            else if (!built.fragment_read)
                warnAsset(r, ::quoted(r.fragment) + " cannot be read",
                          "so the program is built from an empty fragment source, does not link, "
                          "and its models are not drawn");
            if (browser_programs && built.vertex_read)
                r.browser_program =
                    checkProgram(toGlslEs(built.vertex_source), toGlslEs(built.fragment_source));
        }
    } catch (const std::exception& ex) {
        traceStepFailure(ex);
    }
}

void scene::readMeshes(bool build) {
    try {
        for (XMLElement* e = sceneElement->FirstChildElement("mesh"); e;
             e = e->NextSiblingElement("mesh")) {
            asset_record& r = declare(e, asset_record::mesh_kind);
            if (!build || !r.complete || !r.named) continue;
            opening(r.file.c_str());
            modelo m(r.file.c_str(), "", glm::vec3(0.5f, 0.5f, 0.5f), &r.mesh_read.emplace());
            if (!m.loaded)
                warnAsset(r, ::quoted(r.file) + " could not be read", "the mesh is empty");
            pool.keep(gl_pool::vertex_arrays, m.vertex_array);
            for (GLuint b : {m.vertex_buffer, m.uv_buffer, m.normal_buffer})
                pool.keep(gl_pool::buffers, b);
            resources.modelos.try_emplace(r.name, std::move(m));
        }
    } catch (const std::exception& ex) {
        traceStepFailure(ex);
    }
}

void scene::readCameras() {
    for (XMLElement* e = sceneElement->FirstChildElement("camera"); e;
         e = e->NextSiblingElement("camera")) {
        cursor = e;
        trace("nova camara \n");
        camera cam;
        camera_place where;
        if (!readCamera(e, cam, where.points)) continue;
        locate(where, e);
        cameras.push_back(std::move(cam));
        camera_places.push_back(std::move(where));
    }
}

bool scene::readCamera(XMLElement* e, camera& out, std::vector<int>& points) {
    const int line = e->GetLineNum();
    auto skip = [&](const std::string& why) {
        report(finding(diagnostic::warning, line, "camera", why, "camera skipped"));
        return false;
    };

    // "label" names it for the tools; the player does not read it.
    noteAttributes(e, {"start", "end", "eye_x", "eye_y", "eye_z", "up_x", "up_y", "up_z", "look_x",
                       "look_y", "look_z", "label"});
    const bool timed = has(e, "start") && has(e, "end");
    const int eyeUp = present(e, kEyeUp, 6), look = present(e, kLook, 3);
    enum { none, tangent, fixed_point, still } form = none;
    if (timed && eyeUp == 0) form = look == 0 ? tangent : look == 3 ? fixed_point : none;
    if (timed && eyeUp == 6 && look == 3) form = still;
    if (form == none) return skip("fits none of the camera forms: " + closestCameraForm(e));

    unsigned times[2] = {0, 0};
    const char* timeNames[] = {"start", "end"};
    for (int i = 0; i < 2; ++i) {
        const char* text = e->Attribute(timeNames[i]);
        const conversion c = toUnsigned32(text, times[i]);
        if (c != conversion::ok) return skip(attributeProblem(timeNames[i], c, text));
        // "-1" is read as 4294967295: a window that never comes.
        noteNumber(e, timeNames[i], true, times[i],
                   times[i] != 0 && std::strtod(text, nullptr) < 0.0);
    }

    if (form == still) {
        trace("camara estatica");
        const char* names[] = {"eye_x",  "eye_y", "eye_z", "look_x", "look_y",
                               "look_z", "up_x",  "up_y",  "up_z"};
        float v[9];
        if (!readFloats(e, names, 9, v, skip)) return false;
        out = camera(glm::vec3(v[0], v[1], v[2]), glm::vec3(v[3], v[4], v[5]),
                     glm::vec3(v[6], v[7], v[8]), times[0], times[1]);
        return true;
    }

    out = camera(times[0], times[1]);
    if (form == fixed_point) {
        float v[3];
        if (!readFloats(e, kLook, 3, v, skip)) return false;
        out.mode = moving_look_at;
        out.look = glm::vec3(v[0], v[1], v[2]);
    }
    readPath(e, out, points);
    return true;
}

void scene::readPath(XMLElement* e, camera& cam, std::vector<int>& points) {
    for (XMLNode* n = e->FirstChild(); n; n = n->NextSibling()) {
        XMLElement* p = n->ToElement();
        const int line = n->GetLineNum();
        if (!p) {
            report(finding(diagnostic::warning, line, "camera",
                           "a path point that is not an element", "skipped"));
            continue;
        }
        float v[3];
        const char* names[] = {"X", "Y", "Z"};
        noteAttributes(p, {"X", "Y", "Z"});
        const auto skip = [&](const std::string& why) {
            report(finding(diagnostic::warning, line, p->Value(), why, "path point skipped"));
        };
        if (!readFloats(p, names, 3, v, skip)) continue;
        cam.path.addControlPoint(v[0], v[1], v[2]);
        points.push_back(placeOf(p));
    }
}

bool scene::readFloats(const XMLElement* e, const char* const* names, int count, float* v,
                       const std::function<void(const std::string&)>& refuse) {
    for (int i = 0; i < count; ++i) {
        const char* text = e->Attribute(names[i]);
        const conversion c = toFloat(text, v[i]);
        if (c != conversion::ok) {
            refuse(attributeProblem(names[i], c, text));
            return false;
        }
        noteNumber(e, names[i], false, v[i]);
    }
    return true;
}

void scene::groupProcessor(XMLNode* element, group* parent) {
    group g;
    if (XMLElement* e = element->ToElement()) readGroup(e, g, false);
    parent->addGroup(std::move(g));
}

void scene::readGroup(XMLElement* e, group& g, bool root) {
    g.place = placeOf(e);
    noteAttributes(e, {"label"}); // for the tools; the player reads no attribute of a group
    for (XMLElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
        cursor = c;
        const char* name = c->Value();
        if (std::strcmp(name, "translate") == 0) {
            readTranslate(c, g);
        } else if (std::strcmp(name, "rotate") == 0) {
            readRotate(c, g, root);
        } else if (std::strcmp(name, "scale") == 0) {
            if (!root) trace(" \t scale \n");
            readOffset(c, g, scaling);
        } else if (std::strcmp(name, "models") == 0) {
            readModels(c, g, root);
        } else if (std::strcmp(name, "group") == 0) {
            trace(root ? "subgrupo \n \t invocação recursiva"
                       : "subgrupo \n \t Chamada Recursiva\n");
            groupProcessor(c, &g);
        } else {
            noteElement(c, {"translate", "rotate", "scale", "models", "group"});
        }
    }
}

void scene::readTranslate(XMLElement* e, group& g) {
    noteAttributes(e, {"time", "X", "Y", "Z", "w_sinx", "w_siny", "w_sinz", "cl"});
    if (!has(e, "time")) {
        readOffset(e, g, translation);
        return;
    }
    const int seconds = need(e, "time", toInt);
    // A negative period has no meaning; as an unsigned count it would freeze the group.
    if (seconds < 0) fail(e, "attribute \"time\" is negative: " + quoted(e->Attribute("time")));
    g.addTransform(curve_translation, static_cast<unsigned>(seconds));
    locate(g.transforms.back(), e);
    trace("Com curva \n");
    for (XMLElement* p = e->FirstChildElement(); p; p = p->NextSiblingElement()) {
        cursor = p;
        trace(p->Value());
        noteAttributes(p, {"X", "Y", "Z"});
        const glm::vec3 point = needVec3(p, "X", "Y", "Z");
        g.transforms.back().path.addControlPoint(point.x, point.y, point.z);
        g.transforms.back().point_places.push_back(placeOf(p));
    }
}

void scene::readRotate(XMLElement* e, group& g, bool root) {
    noteAttributes(
        e, {"axisX", "axisY", "axisZ", "angle", "time", "w_sinx", "w_siny", "w_sinz", "cl"});
    const glm::vec3 v = needVec3(e, "axisX", "axisY", "axisZ");
    const float angle = need(e, "angle", toFloat);
    double a = 1.0;
    bool plain = false;
    if (has(e, "time")) {
        transform t(timed_rotation, angle, v);
        t.SetTimeLenght(static_cast<double>(need(e, "time", toFloat)));
        g.transforms.push_back(std::move(t));
    } else if (glm::vec3 f; readWobble(e, f, a)) {
        g.addTransform(rotation, angle, v, f, glm::vec3(0.0f), a);
    } else {
        g.addTransform(rotation, angle, v);
        plain = true;
    }
    locate(g.transforms.back(), e);
    if (!root && !plain) return;
    if (!root) trace("adicionado rotação \n");
    trace(" \t rotate \n");
    for (const char* name : {"angle", "axisX", "axisY", "axisZ"})
        trace("\t \t " + std::string(name) + " " + e->Attribute(name) + "\n");
}

void scene::readOffset(XMLElement* e, group& g, int kind) {
    if (kind == scaling) noteAttributes(e, {"X", "Y", "Z", "w_sinx", "w_siny", "w_sinz", "cl"});
    const glm::vec3 v = needVec3(e, "X", "Y", "Z");
    glm::vec3 f;
    double a = 1.0;
    if (readWobble(e, f, a))
        g.addTransform(kind, 0.0f, v, f, glm::vec3(0.0f), a);
    else
        g.addTransform(kind, 0.0f, v);
    locate(g.transforms.back(), e);
}

bool scene::readWobble(const XMLElement* e, glm::vec3& frequency, double& amplitude) {
    // All three frequencies or nothing: with one or two, none is read and "cl" is ignored.
    if (present(e, kWobble, 3) < 3) return false;
    frequency = needVec3(e, "w_sinx", "w_siny", "w_sinz");
    amplitude = has(e, "cl") ? need(e, "cl", toFloat) : 1.0;
    return true;
}

void scene::readModels(XMLElement* e, group& g, bool root) {
    for (XMLElement* m = e->FirstChildElement(); m; m = m->NextSiblingElement()) {
        cursor = m;
        const char* name = m->Value();
        if (!root) trace(std::string(name) + "<----\n");
        // Terrain and procedural models are read in nested groups only.
        if (root)
            noteElement(m, {"model"});
        else
            noteElement(m, {"model", "terrain", "procedural_m"});
        if (std::strcmp(name, "model") == 0) {
            readModel(m, g);
        } else if (root) {
            continue;
        } else if (std::strcmp(name, "terrain") == 0) {
            noteAttributes(m, {"file"});
            g.addTerrain(m->Attribute("file"));
        } else if (std::strcmp(name, "procedural_m") == 0) {
            noteAttributes(m, {"x", "y", "xseg", "yseg"});
            const int yseg = need(m, "yseg", toInt);
            const int xseg = need(m, "xseg", toInt);
            const int y = need(m, "y", toInt);
            const int x = need(m, "x", toInt);
            g.addProceduralModel(x, y, xseg, yseg);
        }
    }
}

void scene::readModel(XMLElement* m, group& g) {
    const bool start = has(m, "start"), end = has(m, "end");
    const std::size_t noted =
        noteAttributes(m, {"name", "start", "end", "shader", "texture", "R", "G", "B"});
    for (std::size_t i = reading_notes.size() - noted; i < reading_notes.size(); ++i)
        reading_notes[i].model_dropped = !has(m, "name") || start != end;
    glm::vec3 colour(0.5f, 0.5f, 0.5f);
    if (has(m, "R") && has(m, "G") && has(m, "B")) colour = needVec3(m, "R", "G", "B");
    if (!has(m, "name") || start != end) {
        const char* lacks = !has(m, "name") ? "name" : start ? "end" : "start";
        reading_notes.emplace_back(reading_note::skipped_model, m->GetLineNum(), "model", lacks);
        return;
    }
    trace("add model descriptor 2 \n\n");
    double from = -1.0, to = -1.0;
    if (start) {
        to = need(m, "end", toDouble);
        from = need(m, "start", toDouble);
    }
    const char* shaderName = needText(m, "shader");
    const char* textureName = needText(m, "texture");
    const char* meshName = needText(m, "name");
    g.addModelDescriptor(meshName, textureName, shaderName, colour, from, to);
    locate(g.descriptors.back(), m);
}

template <class T>
T scene::need(const XMLElement* e, const char* name, conversion (*to)(const char*, T&)) {
    T v = 0;
    check(e, name, to(e->Attribute(name), v));
    noteNumber(e, name, std::is_integral_v<T>, v);
    return v;
}

glm::vec3 scene::needVec3(const XMLElement* e, const char* x, const char* y, const char* z) {
    // One statement per attribute: the first missing one in reading order is the one reported.
    glm::vec3 v;
    v.x = need(e, x, toFloat);
    v.y = need(e, y, toFloat);
    v.z = need(e, z, toFloat);
    return v;
}

const char* scene::needText(const XMLElement* e, const char* name) {
    const char* text = e->Attribute(name);
    check(e, name, text ? conversion::ok : conversion::missing);
    return text;
}

void scene::check(const XMLElement* e, const char* name, conversion c) {
    if (c != conversion::ok) fail(e, attributeProblem(name, c, e->Attribute(name)));
}

void scene::traceStepFailure(const std::exception& ex) {
    trace(std::string("!? \n") + ex.what() + "\n");
}

std::size_t scene::noteAttributes(const XMLElement* e, std::initializer_list<const char*> valid) {
    std::size_t noted = 0;
    for (const tinyxml2::XMLAttribute* a = e->FirstAttribute(); a; a = a->Next()) {
        const std::string name = a->Name();
        // Editors put these on elements to find the schema.
        if (name == "xmlns:xsi" || name == "xsi:noNamespaceSchemaLocation") continue;
        if (std::find(valid.begin(), valid.end(), name) != valid.end()) continue;
        reading_notes.emplace_back(reading_note::attribute, e->GetLineNum(), e->Value(), name)
            .valid.assign(valid.begin(), valid.end());
        ++noted;
    }
    return noted;
}

void scene::noteElement(const XMLElement* e, std::initializer_list<const char*> valid) {
    if (std::find(valid.begin(), valid.end(), std::string_view(e->Value())) != valid.end()) return;
    const char* within = e->Parent() && e->Parent()->ToElement() ? e->Parent()->Value() : "";
    reading_notes.emplace_back(reading_note::element, e->GetLineNum(), within, e->Value())
        .valid.assign(valid.begin(), valid.end());
}

void scene::noteNumber(const XMLElement* e, const char* name, bool integer, double used,
                       bool wrapped) {
    const char* text = e->Attribute(name);
    const reading how = wrapped ? reading::wrapped : howRead(text, integer);
    if (how == reading::whole) return;
    reading_note& p =
        reading_notes.emplace_back(reading_note::number, e->GetLineNum(), e->Value(), name);
    p.text = text;
    p.how = how;
    p.integer = integer;
    p.used = used;
}

void scene::warnAsset(asset_record& r, const std::string& what, const std::string& effect) {
    r.failed = true;
    std::string element = r.element();
    if (r.named) element += " " + ::quoted(r.name);
    // An asset the player cannot use is an error, as the tools call it too.
    report(finding(diagnostic::error, r.line, element, what, effect));
}

void scene::trace(const std::string& text) {
    if (out) std::fputs(text.c_str(), out);
}

diagnostic scene::finding(diagnostic::kind severity, int line, std::string element,
                          std::string what, std::string effect) const {
    return {.severity = severity, .at = {file, line, 0}, .element = std::move(element),
            .what = std::move(what), .effect = std::move(effect)};
}

void scene::report(diagnostic d) {
    if (print_diagnostics) {
        if (out) std::fflush(out); // keep the trace and the message in reading order
        std::fprintf(stderr, "%s\n", wordDiagnostic(d).c_str());
    }
    messages.push_back(std::move(d));
}

void scene::fail(const XMLElement* e, const std::string& what) {
    stop(finding(diagnostic::error, e->GetLineNum(), e->Value(), what));
}

void scene::stop(diagnostic d) {
    report(std::move(d));
    throw load_stop{};
}
