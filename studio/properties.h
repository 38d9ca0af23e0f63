#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

class scene;
class studio_editing;

// A field as drawn, for the layout file: its element (name and number among its kind), its
// attribute, and its box in window pixels.
struct property_field {
    std::string element;
    int number = 0;
    std::string attribute;
    float x0, y0, x1, y1;
};

// The properties panel: the selected element's attributes, numbers as drag fields (a Ctrl+click
// types one), asset names as a list of the names the scene declares, and under a camera or a
// curve translation its points' X, Y and Z. A change is shown at once; on release the value is
// written. Needs a Dear ImGui frame.
struct properties_panel {
    // Values shown instead of the file's: while a field is edited, and once written until the
    // scene is read again. Keyed by place and attribute.
    std::map<std::pair<int, std::string>, std::string> shown;
    std::vector<property_field> fields; // as last drawn
    bool open = false;                   // drawn this frame

    // After each load: the file says what is shown again.
    void loaded() { shown.clear(); }
    // Over the picture, at its top left, down to no lower than top.
    void draw(const scene& sc, studio_editing& editing, float top);
};
