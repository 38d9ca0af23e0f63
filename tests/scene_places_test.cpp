// Where the reader's values stand in the scene file, and edits there that change one value and
// nothing else.
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "formats/xml_edit.h"
#include "scene/scene.h"

namespace {

std::unique_ptr<scene> read(const std::string& text) {
    load_options options = load_options::silent();
    options.text = text.data();
    options.text_size = text.size();
    return std::make_unique<scene>("edited.xml", options);
}

// The reader's records, keyed by "element index/attribute" for every value that comes from one
// attribute: what a change of that attribute must change, and nothing else.
class records {
public:
    explicit records(const scene& s) : s(s) {
        if (s.window_place >= 0) {
            take(s.window_place, "window");
            put(s.window_place, "x", s.res_x);
            put(s.window_place, "y", s.res_y);
            put(s.window_place, "title", s.windowName);
        }
        for (const asset_record& a : s.asset_records) {
            take(a.place, a.element());
            if (a.named) put(a.place, "name", a.name);
            put(a.place, a.kind == asset_record::shader_kind ? "vertex" : "filename", a.file);
            if (a.kind == asset_record::shader_kind) put(a.place, "fragment", a.fragment);
        }
        for (std::size_t i = 0; i < s.cameras.size(); ++i)
            addCamera(s.cameras[i], s.camera_places[i]);
        for (const group& g : s.groups)
            addGroup(g);
    }

    std::map<std::string, std::string> values;
    std::set<int> taken; // the elements the records come from

private:
    void take(int place, const std::string& name) {
        ASSERT_GE(place, 0) << name;
        ASSERT_EQ(s.source.elements[std::size_t(place)].name, name);
        taken.insert(place);
    }
    void put(int place, const char* attribute, const std::string& v) {
        values[std::to_string(place) + "/" + attribute] = v;
    }
    void put(int place, const char* attribute, double v) { put(place, attribute, formatNumber(v)); }
    void put(int place, const char* const* names, glm::vec3 v) {
        for (int i = 0; i < 3; ++i)
            put(place, names[i], formatNumber(v[i]));
    }
    bool has(int place, const char* attribute) const {
        return s.source.elements[std::size_t(place)].attribute(attribute) != nullptr;
    }
    void points(const curve& path, const std::vector<int>& places) {
        ASSERT_EQ(places.size(), path.pointCount());
        for (std::size_t j = 0; j < places.size(); ++j) {
            taken.insert(places[j]);
            put(places[j], kXYZ,
                glm::vec3(path.getMatrixVal(int(j), 0), path.getMatrixVal(int(j), 1),
                          path.getMatrixVal(int(j), 2)));
        }
    }
    void addCamera(const camera& c, const camera_place& at) {
        if (at.place < 0) return; // the default camera
        take(at.place, "camera");
        put(at.place, "start", c.start);
        put(at.place, "end", c.end);
        // The up vector is read but not kept: the camera's stays (0, 1, 0).
        if (c.mode == static_camera) put(at.place, kEye, c.eye);
        if (c.mode != moving_tangent) put(at.place, kLook, c.look);
        if (c.mode != static_camera) points(c.path, at.points);
    }
    void addGroup(const group& g) {
        take(g.place, "group");
        for (const transform& t : g.transforms)
            addTransform(t);
        for (const modelo_descript& d : g.descriptors) {
            take(d.place, "model");
            put(d.place, "name", d.mesh_name);
            put(d.place, "shader", d.shader_name);
            put(d.place, "texture", d.texture_name);
            if (has(d.place, "start")) put(d.place, "start", d.start);
            if (has(d.place, "end")) put(d.place, "end", d.end);
            if (has(d.place, "R") && has(d.place, "G") && has(d.place, "B"))
                put(d.place, kRGB, d.colour);
        }
        for (const group& child : g.children)
            addGroup(child);
    }
    void addTransform(const transform& t) {
        const int p = t.place;
        const char* names[] = {"", "translate", "rotate", "scale", "translate", "rotate"};
        take(p, names[t.kind]);
        if (t.kind == curve_translation) {
            put(p, "time", t.time_length);
            points(t.path, t.point_places);
            return;
        }
        const bool rotates = t.kind == rotation || t.kind == timed_rotation;
        put(p, rotates ? kAxis : kXYZ, t.operand);
        if (rotates) put(p, "angle", t.scalar);
        if (t.kind == timed_rotation) {
            put(p, "time", t.time_length);
        } else if (has(p, "w_sinx") && has(p, "w_siny") && has(p, "w_sinz")) {
            put(p, kWobble, t.wobble_frequency);
            if (has(p, "cl")) put(p, "cl", t.wobble_amplitude);
        }
    }

    static constexpr const char* kXYZ[] = {"X", "Y", "Z"};
    static constexpr const char* kRGB[] = {"R", "G", "B"};
    static constexpr const char* kAxis[] = {"axisX", "axisY", "axisZ"};
    static constexpr const char* kEye[] = {"eye_x", "eye_y", "eye_z"};
    static constexpr const char* kLook[] = {"look_x", "look_y", "look_z"};
    static constexpr const char* kWobble[] = {"w_sinx", "w_siny", "w_sinz"};
    const scene& s;
};

// Another value of the same kind: a number that reads differently, or a longer name.
std::string another(const std::string& value) {
    char* end = nullptr;
    const double v = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0') return value + "x";
    const double changed = std::fabs(v) < 1e6 ? v + 3.0 : v * 2.0;
    if (value.find_first_of(".eE") == std::string::npos)
        return formatNumber(static_cast<long long>(changed));
    return formatNumber(changed);
}

// Every element the parser made, in document order.
std::vector<const tinyxml2::XMLElement*> parsedElements(const tinyxml2::XMLNode* n) {
    std::vector<const tinyxml2::XMLElement*> all;
    for (const tinyxml2::XMLNode* c = n->FirstChild(); c; c = c->NextSibling()) {
        if (const tinyxml2::XMLElement* e = c->ToElement()) all.push_back(e);
        const std::vector<const tinyxml2::XMLElement*> below = parsedElements(c);
        all.insert(all.end(), below.begin(), below.end());
    }
    return all;
}

// A byte-order mark, "\r\n", comments, single quotes, entities, attributes on several lines,
// self-closing and empty elements, and every kind of element the reader takes.
const std::string kCrafted =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<!-- a <scene> of every kind -->\r\n"
    "<scene>\r\n"
    "  <window x=\"640\" y='480' title=\"A &amp; B &#65;&#x42; &lt;&quot;\"/>\r\n"
    "  <texture name=\"t&apos;1\" filename=\"no.dds\"></texture>\r\n"
    "  <shader name='s' vertex=\"v.vert\"\r\n"
    "          fragment='f.frag' />\r\n"
    "  <shader vertex=\"o.vert\" fragment=\"o.frag\"/>\r\n"
    "  <mesh name=\"m\" filename=\"m.obj\"/>\r\n"
    "  <camera start=\"0\" end=\"10\" eye_x=\"1\" eye_y=\"2\" eye_z=\"3\" look_x=\"0\"\r\n"
    "          look_y=\"0\" look_z=\"0\" up_x=\"0\" up_y=\"1\" up_z=\"0\"/>\r\n"
    "  <camera start=\"10\" end=\"20\">\r\n"
    "    <!-- a comment among the points -->\r\n"
    "    <point X=\"1\" Y=\"2\" Z=\"3\"/>\r\n"
    "    <point X='4.5' Y=\"-5\" Z=\"6e1\"></point>\r\n"
    "  </camera>\r\n"
    "  <camera start=\"20\" end=\"30\" look_x=\"1\" look_y=\"1\" look_z=\"1\"><p X=\"0\" Y=\"0\" "
    "Z=\"0\"/><p X=\"1\" Y=\"1\" Z=\"1\"/></camera>\r\n"
    "  <group>\r\n"
    "    <translate X=\"1.5\" Y=\"-2\" Z=\"0\"/>\r\n"
    "    <translate time=\"4\" X=\"9\"><p X=\"1\" Y=\"0\" Z=\"0\"/><p X=\"0\" Y=\"1\" Z=\"0\"/>"
    "</translate>\r\n"
    "    <rotate angle=\"0.5\" axisX=\"0\" axisY=\"1\" axisZ=\"0\"/>\r\n"
    "    <rotate angle=\"0\" axisX=\"1\" axisY=\"0\" axisZ=\"0\" time=\"2.5\" w_sinx=\"1\"/>\r\n"
    "    <scale X=\"2\" Y=\"2\" Z=\"2\" w_sinx=\"1\" w_siny=\"2\" w_sinz=\"3\" cl=\"0.25\"/>\r\n"
    "    <translate X=\"0\" Y=\"0\" Z=\"0\" w_sinx=\"1\" w_siny=\"2\" cl=\"7\"/>\r\n"
    "    <models>\r\n"
    "      <model name=\"m\" shader=\"s\" texture=\"t&apos;1\" R=\"1\" G=\"0\" B=\"0\"/>\r\n"
    "      <model name=\"m\" shader=\"s\" texture=\"\" start=\"1.5\" end=\"8\"></model>\r\n"
    "      <model name=\"m\" shader=\"s\" texture=\"\" R=\"1\" G=\"0\"/>\r\n"
    "    </models>\r\n"
    "    <group><rotate axisX=\"0\" axisY=\"0\" axisZ=\"1\" angle=\"1\" w_sinx=\"1\" w_siny=\"1\" "
    "w_sinz=\"1\"/><models><model name=\"m\" shader=\"s\" texture=\"\"/></models></group>\r\n"
    "    <group></group>\r\n"
    "  </group>\r\n"
    "</scene>\r\n";

std::string demoText() {
    std::ifstream in(std::string(KESTRINE_DEMO_DIR) + "/demo.xml", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ScenePlaces, EveryValueReadStandsWhereRecordedAndChangesAlone) {
    for (const std::string& text : {kCrafted, demoText()}) {
        const std::unique_ptr<scene> s = read(text);
        ASSERT_TRUE(s->loaded());
        const records before(*s);
        ASSERT_GT(before.taken.size(), 10u);
        const std::vector<const tinyxml2::XMLElement*> parsed = parsedElements(&s->doc);
        ASSERT_EQ(parsed.size(), s->source.elements.size());
        for (const int p : before.taken) {
            const element_place& e = s->source.elements[std::size_t(p)];
            ASSERT_EQ(e.name, parsed[std::size_t(p)]->Value());
            ASSERT_EQ(text.compare(e.tag.begin, e.name.size() + 1, "<" + e.name), 0);
            for (const attribute_place& a : e.attributes) {
                const std::string raw = text.substr(a.value.begin, a.value.size());
                const std::string value = decodeXml(raw);
                ASSERT_EQ(value, parsed[std::size_t(p)]->Attribute(a.name.c_str())) << raw;

                const std::string edited = setAttribute(text, e, a.name, another(value));
                const std::size_t tail = text.size() - a.value.end;
                ASSERT_EQ(edited.compare(0, a.value.begin, text, 0, a.value.begin), 0);
                ASSERT_EQ(edited.substr(edited.size() - tail), text.substr(a.value.end));
                const std::unique_ptr<scene> again = read(edited);
                ASSERT_TRUE(again->loaded()) << e.name << " " << a.name;
                const records after(*again);
                const std::string key = std::to_string(p) + "/" + a.name;
                for (const auto& [k, v] : before.values)
                    EXPECT_EQ(after.values.at(k) != v, k == key)
                        << e.name << " line " << e.line << ": " << a.name << "=" << raw;
            }
        }
    }
}

} // namespace
