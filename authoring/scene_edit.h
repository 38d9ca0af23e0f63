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

// One change: an attribute's value (texts as written between the quotes, entities not
// decoded), or a whole element put in or taken out.
struct value_change {
    enum kind_type {
        set_value,      // element's attribute from `before` to `after`
        insert_element, // `after`, one element's text, on a line of its own after element
        remove_element, // element, whose whole text must read `before`, with its line
    };
    kind_type kind = set_value;
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

// Puts element (its text, one line) after the element at index of source, in that line's
// indentation.
value_change insertionAfter(const xml_source& source, int index, std::string_view element);
// Takes out the element at index of source, with everything inside it.
value_change removalOf(std::string_view text, const xml_source& source, int index);

// What applying, undoing or redoing did.
struct edit_result {
    bool ok = false;
    std::string message;               // why it was refused or not written, for the problems panel
    std::vector<value_change> changes; // as applied (reversed for an undo)
    double at = -1.0;                  // the time a timeline gesture edited, or -1
};

// The new text with every change made in turn, or false with the reason when an element is
// gone or a value or an element to take out is no longer the one the change was made from.
// undo, when given, gets the changes that take the new text back, to be made in their order;
// false there (the edit is still made) when one has no inverse that holds after other edits
// of the file: an attribute added, or an element taken out that has no element before it
// beside it.
bool applyChanges(std::string_view text, const std::vector<value_change>& changes, std::string& out,
                  std::string& why, std::vector<value_change>* undo = nullptr,
                  bool* undoable = nullptr);

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
        std::vector<value_change> changes, undo; // undo: its inverse on the text it left
        bool undoable = true;                    // undo holds where the file changed since
        std::string before, after;               // the whole file's bytes around it
        double at = -1.0;
    };
    edit_result step(bool back);

    std::string file;
    std::vector<gesture> history;
    std::size_t done = 0; // gestures applied, from the start of history
};
