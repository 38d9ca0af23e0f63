// Values set in the loaded scene: see live_edit.h.
#include "studio/live_edit.h"

#include <cmath>
#include <cstdlib>

#include "formats/convert.h"
#include "scene/scene.h"

namespace {

// "X", "Y" or "Z" as a coordinate; -1 for anything else.
int coordinate(std::string_view attribute) {
    return attribute.size() == 1 && attribute[0] >= 'X' && attribute[0] <= 'Z' ? attribute[0] - 'X'
                                                                               : -1;
}

bool setWindow(double& start, double& end, std::string_view attribute, double value) {
    if (attribute == "start")
        start = value;
    else if (attribute == "end")
        end = value;
    else
        return false;
    return true;
}

bool setPoint(curve& path, const std::vector<int>& places, int place, std::string_view attribute,
              double value) {
    for (std::size_t k = 0; k < places.size(); ++k)
        if (places[k] == place && coordinate(attribute) >= 0) {
            path.setControlPoint(unsigned(k), coordinate(attribute), float(value));
            return true;
        }
    return false;
}

bool setDescriptor(modelo_descript& m, std::string_view attribute, double value) {
    const char* const colours = "RGB";
    if (attribute.size() == 1 &&
        std::string_view(colours).find(attribute[0]) != std::string::npos) {
        m.colour[int(std::string_view(colours).find(attribute[0]))] = float(value);
        return true;
    }
    return setWindow(m.start, m.end, attribute, value);
}

// The group tree searched for the descriptor or transform at place.
bool setInGroup(group& g, int place, std::string_view attribute, double value) {
    for (modelo_descript& m : g.descriptors)
        if (m.place == place) return setDescriptor(m, attribute, value);
    for (transform& t : g.transforms)
        if (setPoint(t.path, t.point_places, place, attribute, value)) return true;
    for (group& child : g.children)
        if (setInGroup(child, place, attribute, value)) return true;
    return false;
}

} // namespace

bool setLive(scene& sc, int place, std::string_view attribute, double value) {
    if (place < 0 || !std::isfinite(value)) return false;
    for (std::size_t i = 0; i < sc.camera_places.size() && i < sc.cameras.size(); ++i) {
        camera& c = sc.cameras[i];
        // Camera windows are whole seconds as the loader reads them.
        if (sc.camera_places[i].place == place)
            return setWindow(c.start, c.end, attribute, std::floor(value));
        if (setPoint(c.path, sc.camera_places[i].points, place, attribute, value)) return true;
    }
    for (group& g : sc.groups)
        if (setInGroup(g, place, attribute, value)) return true;
    return false;
}

bool fileValue(const scene& sc, int place, std::string_view attribute, double& out) {
    if (place < 0 || std::size_t(place) >= sc.source.elements.size()) return false;
    const attribute_place* a = sc.source.elements[std::size_t(place)].attribute(attribute);
    if (!a) return false;
    const std::string text =
        decodeXml(std::string_view(sc.source_text).substr(a->value.begin, a->value.size()));
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0';
}
