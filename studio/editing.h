#pragma once
#include <optional>
#include <string>
#include <vector>

#include "app/preview.h"
#include "authoring/scene_edit.h"
#include "scene/diagnostic.h"

class scene;
struct bar_drag;
struct scene_timeline;

// A value the studio sets: the element at place (an index into the playing scene's source),
// its attribute, the value's text as it is to be written and, for a number, its value.
struct field_value {
    int place = -1;
    std::string attribute;
    std::string text;
    std::optional<double> number;
};

// The studio's edits of the playing scene: live while a gesture lasts, written into the file
// when it ends, undone and redone by the keys; refusals and failed writes kept as a problem.
class studio_editing {
public:
    // After each load: the scene now playing, read from path.
    void loaded(const std::string& path, scene& playing);
    // Follows a drag of one of the timeline's bars (cameras first, then the model descriptors):
    // the window live while it moves, written on release, the bar's element selected.
    void followDrag(const bar_drag& d, const scene_timeline& model);
    // A value set while its gesture lasts (shown, not written).
    void live(const field_value& v);
    // A gesture ended: its values written as one step of the history. at: the time it edited.
    void finish(const std::vector<field_value>& values, double at = -1.0);
    // An element put in or taken out as one step of the history; the scene is read again.
    void structural(const value_change& change);
    // A gesture refused before it was made, said as the refusals are, at the element at place.
    void problem(int place, const std::string& why);
    // Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y; other keys are not the studio's.
    void key(int key, int mods);
    // What the preview is to do after this frame's edits, and whether the scene changed live.
    void take(preview_requests& asked, bool& changed);

    int selected = -1;              // the selected element's place, or -1
    std::optional<diagnostic> note; // the last edit refused or not written
private:
    // The changes written as one step; a refusal sets the values back live.
    void commit(const std::vector<value_change>& changes, const std::vector<field_value>& values,
                double at);
    void refuse(const std::vector<field_value>& values, const std::string& why);
    void step(bool back);

    // The dragged bar's element and window as the file said them at the press: a reload during
    // the drag (an editor's save) changes what the places name, not what is to be changed.
    int dragPlace = -1;
    bool dragStale = false;
    value_change dragStart, dragEnd;

    std::string file;
    scene* playing = nullptr;
    scene_edit history;
    std::optional<double> seek;
    bool reread = false, changed = false;
};
