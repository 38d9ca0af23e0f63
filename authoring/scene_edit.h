#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "formats/xml_source.h"

// The studio's changes to a scene file: each gesture becomes exactly the bytes of the values it
// changed, written atomically, with a history to undo and redo it. No GL: the file and its text
// only. The file is the one source of truth, so each change is made to the file as it is on
// disk now, and an element is found again by what identifies it there.

// An element as found again in a text that may have changed: its name, and its number among
// the elements of that name in document order, from 0.
struct element_key {
    std::string name;
    int number = -1;
};

// The key of elements[index] of a scanned text.
element_key keyOf(const xml_source& source, int index);
// The index of key's element in source, or -1.
int findElement(const xml_source& source, const element_key& key);

// One attribute's change. Texts are as written between the quotes (entities not decoded).
struct value_change {
    element_key element;
    std::string attribute;
    bool existed = true; // the attribute was there before; else `before` is empty
    std::string before;
    std::string after;
};

// Makes a change whose new value is the plain text `value` (escaped as the element's quotes
// need): the old text is the attribute's in text, at element index of source.
value_change changeOf(std::string_view text, const xml_source& source, int index,
                      std::string_view attribute, std::string_view value);

// What applying, undoing or redoing did.
struct edit_result {
    bool ok = false;
    std::string message;               // why it was refused or not written, for the problems panel
    std::vector<value_change> changes; // as applied (reversed for an undo)
    double at = -1.0;                  // the time a timeline gesture edited, or -1
};

// The new text with every change made, or false with the reason when an element is gone or a
// value is no longer the one the change was made from.
bool applyChanges(std::string_view text, const std::vector<value_change>& changes, std::string& out,
                  std::string& why);

// Writes text over path atomically: a temporary file in the target's folder (through a
// symbolic link, to what it names; the link stays), given the file's mode, renamed over it.
// On failure (no write permission, a read-only file system, a full disk) the file is unchanged
// and why says so.
bool writeAtomically(const std::string& path, std::string_view text, std::string& why);

// The name a temporary file of writeAtomically starts with, in the folder of `target`.
std::string temporaryPrefix(const std::string& target);

class scene_edit {
public:
    explicit scene_edit(std::string path = "") : file(std::move(path)) {}
    const std::string& path() const { return file; }

    // One gesture: read the file as it is now, apply the changes, write it. Refused changes
    // write nothing. at: the time a timeline gesture edited, for an undo to show.
    edit_result apply(const std::vector<value_change>& changes, double at = -1.0);
    // The last gesture undone, or the last undone one made again; refused with a message when
    // nothing is left or the file no longer holds what the gesture left.
    edit_result undo();
    edit_result redo();
    bool canUndo() const { return done > 0; }
    bool canRedo() const { return done < history.size(); }

private:
    struct gesture {
        std::vector<value_change> changes;
        std::string before, after; // the whole file's bytes around it
        double at = -1.0;
    };
    edit_result step(bool back);

    std::string file;
    std::vector<gesture> history;
    std::size_t done = 0; // gestures applied, from the start of history
};
