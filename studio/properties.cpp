// The properties panel: see properties.h.
#include "studio/properties.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <imgui.h>

#include "formats/xml_edit.h"
#include "scene/scene.h"
#include "studio/editing.h"

namespace {

struct field_context {
    const scene& sc;
    studio_editing& editing;
    properties_panel& panel;
};

// The attribute's text as the field shows it: the panel's while edited, else the file's.
std::string valueText(const field_context& c, int place, const std::string& attribute) {
    if (const auto it = c.panel.shown.find({place, attribute}); it != c.panel.shown.end())
        return it->second;
    const attribute_place* a = c.sc.source.elements[std::size_t(place)].attribute(attribute);
    return a ? decodeXml(std::string_view(c.sc.source_text).substr(a->value.begin, a->value.size()))
             : std::string();
}

void noteField(const field_context& c, int place, const std::string& attribute) {
    const element_place& e = c.sc.source.elements[std::size_t(place)];
    int number = 0;
    for (int i = 0; i < place; ++i)
        number += c.sc.source.elements[std::size_t(i)].name == e.name;
    const ImVec2 a = ImGui::GetItemRectMin(), b = ImGui::GetItemRectMax();
    c.panel.fields.push_back({e.name, number, attribute, a.x, a.y, b.x, b.y});
}

// The kind of asset an attribute names, or -1.
int assetKind(const std::string& element, const std::string& attribute) {
    if (element != "model") return -1;
    if (attribute == "name") return asset_record::mesh_kind;
    if (attribute == "shader") return asset_record::shader_kind;
    if (attribute == "texture") return asset_record::texture_kind;
    return -1;
}

void numberField(const field_context& c, int place, const std::string& attribute, double value,
                 float width) {
    const std::string& element = c.sc.source.elements[std::size_t(place)].name;
    // A camera's window is read as whole seconds.
    const bool whole = element == "camera" && (attribute == "start" || attribute == "end");
    ImGui::SetNextItemWidth(width);
    const bool edited =
        ImGui::DragScalar(("##" + attribute).c_str(), ImGuiDataType_Double, &value,
                          whole ? 0.2f : 0.02f, nullptr, nullptr, whole ? "%.0f" : "%g");
    noteField(c, place, attribute);
    if (whole) value = std::round(value);
    const std::string text = whole ? formatNumber((long long)value) : formatNumber(value);
    if (edited) {
        c.panel.shown[{place, attribute}] = text;
        c.editing.live({place, attribute, text, value});
    }
    if (ImGui::IsItemDeactivatedAfterEdit()) c.editing.finish({{place, attribute, text, value}});
}

void assetField(const field_context& c, int place, const std::string& attribute, int kind,
                const std::string& now) {
    ImGui::SetNextItemWidth(-1.0f);
    if (!ImGui::BeginCombo(("##" + attribute).c_str(), now.empty() ? "(none)" : now.c_str()))
        return noteField(c, place, attribute);
    noteField(c, place, attribute);
    std::vector<std::string> names;
    if (kind == asset_record::texture_kind) names.push_back("");
    for (const asset_record& r : c.sc.asset_records)
        if (r.kind == kind && r.named &&
            std::find(names.begin(), names.end(), r.name) == names.end())
            names.push_back(r.name);
    for (const std::string& name : names)
        if (ImGui::Selectable(name.empty() ? "(none)" : name.c_str(), name == now) && name != now) {
            c.panel.shown[{place, attribute}] = name;
            c.editing.finish({{place, attribute, name, std::nullopt}});
        }
    ImGui::EndCombo();
}

void textField(const field_context& c, int place, const std::string& attribute,
               const std::string& now) {
    char text[256];
    std::snprintf(text, sizeof text, "%s", now.c_str());
    ImGui::SetNextItemWidth(-1.0f);
    if (ImGui::InputText(("##" + attribute).c_str(), text, sizeof text))
        c.panel.shown[{place, attribute}] = text;
    noteField(c, place, attribute);
    if (ImGui::IsItemDeactivatedAfterEdit())
        c.editing.finish({{place, attribute, text, std::nullopt}});
}

void attributeRow(const field_context& c, int place, const std::string& attribute) {
    const std::string now = valueText(c, place, attribute);
    ImGui::TextUnformatted(attribute.c_str());
    ImGui::SameLine(90.0f);
    char* end = nullptr;
    const double number = std::strtod(now.c_str(), &end);
    const int kind = assetKind(c.sc.source.elements[std::size_t(place)].name, attribute);
    if (kind >= 0)
        assetField(c, place, attribute, kind, now);
    else if (!now.empty() && *end == '\0' && std::isfinite(number))
        numberField(c, place, attribute, number, -1.0f);
    else
        textField(c, place, attribute, now);
}

// A point of a path or curve on one line: its X, Y and Z.
void pointRow(const field_context& c, int place, int number) {
    ImGui::Text("point %d", number);
    for (const char* axis : {"X", "Y", "Z"}) {
        ImGui::SameLine(axis[0] == 'X' ? 70.0f : 0.0f);
        ImGui::PushID(axis);
        const std::string now = valueText(c, place, axis);
        numberField(c, place, axis, std::strtod(now.c_str(), nullptr), 62.0f);
        ImGui::PopID();
    }
}

} // namespace

void properties_panel::draw(const scene& sc, studio_editing& editing, float top) {
    fields.clear();
    const int place = editing.selected;
    open = place >= 0 && std::size_t(place) < sc.source.elements.size();
    if (!open) return;
    const element_place& e = sc.source.elements[std::size_t(place)];
    ImGui::SetNextWindowPos(ImVec2(10.0f, 10.0f), ImGuiCond_Always);
    ImGui::SetNextWindowSizeConstraints(ImVec2(300.0f, 0.0f),
                                        ImVec2(300.0f, std::max(60.0f, top - 20.0f)));
    ImGui::SetNextWindowBgAlpha(0.9f);
    char title[96];
    std::snprintf(title, sizeof title, "%s, line %d###properties", e.name.c_str(), e.line);
    bool keep = true;
    ImGui::Begin(title, &keep,
                 ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoFocusOnAppearing);
    const field_context c{sc, editing, *this};
    for (const attribute_place& a : e.attributes) {
        ImGui::PushID(&a);
        attributeRow(c, place, a.name);
        ImGui::PopID();
    }
    // The points under it: a camera's path, a curve translation's.
    int points = 0;
    for (std::size_t i = std::size_t(place) + 1; i < sc.source.elements.size(); ++i) {
        const element_place& p = sc.source.elements[i];
        if (p.parent != place || !p.attribute("X") || !p.attribute("Y") || !p.attribute("Z"))
            continue;
        ImGui::PushID(int(i));
        pointRow(c, int(i), ++points);
        ImGui::PopID();
    }
    ImGui::End();
    if (!keep) editing.selected = -1;
}
