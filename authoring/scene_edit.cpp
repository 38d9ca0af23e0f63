// The studio's changes to a scene file: see scene_edit.h.
#include "authoring/scene_edit.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/files.h"
#include "formats/xml_edit.h"

namespace {

std::string inQuotes(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

// "the 3rd <camera>" reads worse than "<camera> number 3".
std::string named(const element_key& key) {
    return "<" + key.name + "> number " + std::to_string(key.number + 1);
}

// Why a write failed, in words an author can act on.
std::string failure(int error) {
    if (error == EACCES || error == EPERM) return "no permission to write it";
    if (error == EROFS) return "it is on a read-only file system";
    if (error == ENOSPC || error == EDQUOT) return "the disk is full";
    return std::strerror(error);
}

bool writeAll(int fd, std::string_view text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

} // namespace

element_key keyOf(const xml_source& source, int index) {
    if (index < 0 || std::size_t(index) >= source.elements.size()) return {};
    const std::string& name = source.elements[std::size_t(index)].name;
    const auto first = source.elements.begin();
    const int number = int(std::count_if(first, first + index,
                                         [&](const element_place& e) { return e.name == name; }));
    return {name, number};
}

int findElement(const xml_source& source, const element_key& key) {
    int seen = 0;
    for (std::size_t i = 0; i < source.elements.size(); ++i)
        if (source.elements[i].name == key.name && seen++ == key.number) return int(i);
    return -1;
}

value_change changeOf(std::string_view text, const xml_source& source, int index,
                      std::string_view attribute, std::string_view value) {
    value_change c{
        value_change::set_value, keyOf(source, index), std::string(attribute), false, "", ""};
    char quote = '"';
    if (c.element.number >= 0) {
        const element_place& e = source.elements[std::size_t(index)];
        if (const attribute_place* a = e.attribute(attribute)) {
            c.existed = true;
            c.before = std::string(text.substr(a->value.begin, a->value.size()));
            quote = a->quote;
        } else if (!e.attributes.empty()) {
            quote = e.attributes.back().quote;
        }
    }
    c.after = escapeXml(value, quote);
    return c;
}

value_change insertionAfter(const xml_source& source, int index, std::string_view element) {
    value_change c{value_change::insert_element, keyOf(source, index), "", true, "", ""};
    c.after = std::string(element);
    return c;
}

value_change removalOf(std::string_view text, const xml_source& source, int index) {
    value_change c{value_change::remove_element, keyOf(source, index), "", true, "", ""};
    if (c.element.number >= 0) {
        const byte_range whole = source.elements[std::size_t(index)].whole;
        c.before = std::string(text.substr(whole.begin, whole.size()));
    }
    return c;
}

namespace {

bool setValue(std::string& out, const xml_source& source, int index, const value_change& c,
              std::string& why, value_change& inverse) {
    const element_place& e = source.elements[std::size_t(index)];
    const attribute_place* a = e.attribute(c.attribute);
    const std::string now = a ? std::string(out.substr(a->value.begin, a->value.size())) : "";
    if (bool(a) != c.existed || now != c.before) {
        why = "the " + c.attribute + " of the " + named(c.element) + " is " +
              (a ? inQuotes(now) : "missing") + " in the file, not " +
              (c.existed ? inQuotes(c.before) : "missing");
        return false;
    }
    inverse = c;
    std::swap(inverse.before, inverse.after);
    if (a) {
        out.replace(a->value.begin, a->value.size(), c.after);
    } else {
        // c.after is escaped already, in the quotes setAttribute would use.
        const char quote = e.attributes.empty() ? '"' : e.attributes.back().quote;
        out.insert(e.insertion(), " " + c.attribute + "=" + quote + c.after + quote);
    }
    return true;
}

// The new element takes the number after every element of its name that starts before it.
bool putIn(std::string& out, const xml_source& source, int index, const value_change& c,
           std::string& why, value_change& inverse) {
    const xml_source added = scanXml(c.after);
    if (added.problem || added.elements.empty() || added.elements[0].whole.begin != 0 ||
        added.elements[0].whole.end != c.after.size() || c.after.find('\n') != std::string::npos) {
        why = "the text to put in is not one element on one line";
        return false;
    }
    const element_place& e = source.elements[std::size_t(index)];
    const std::string& name = added.elements[0].name;
    const int number = int(
        std::count_if(source.elements.begin(), source.elements.end(), [&](const element_place& o) {
            return o.name == name && o.whole.begin < e.whole.end;
        }));
    out = insertElementAfter(out, e, c.after);
    inverse = {value_change::remove_element, {name, number}, "", true, c.after, ""};
    return true;
}

// Put back after the element before it with the same parent, where there is one.
bool takeOut(std::string& out, const xml_source& source, int index, const value_change& c,
             std::string& why, value_change& inverse, bool& undoable) {
    const element_place& e = source.elements[std::size_t(index)];
    if (out.compare(e.whole.begin, e.whole.size(), c.before) != 0) {
        why = "the " + named(c.element) + " is no longer as it was";
        return false;
    }
    int before = index - 1;
    while (before >= 0 && source.elements[std::size_t(before)].parent != e.parent)
        --before;
    if (before >= 0)
        inverse = {value_change::insert_element, keyOf(source, before), "", true, "", c.before};
    else
        undoable = false;
    out = removeElement(out, e);
    return true;
}

} // namespace

bool applyChanges(std::string_view text, const std::vector<value_change>& changes, std::string& out,
                  std::string& why, std::vector<value_change>* undo, bool* undoable) {
    out = std::string(text);
    std::vector<value_change> inverses;
    bool reversible = true;
    for (const value_change& c : changes) {
        const xml_source source = scanXml(out);
        const int index = findElement(source, c.element);
        if (index < 0) {
            why = "the file no longer has the " + named(c.element);
            return false;
        }
        value_change inverse;
        const bool done = c.kind == value_change::insert_element
                              ? putIn(out, source, index, c, why, inverse)
                          : c.kind == value_change::remove_element
                              ? takeOut(out, source, index, c, why, inverse, reversible)
                              : setValue(out, source, index, c, why, inverse);
        if (!done) return false;
        if (c.kind == value_change::set_value && !c.existed) reversible = false;
        inverses.insert(inverses.begin(), std::move(inverse));
    }
    if (undo) *undo = std::move(inverses);
    if (undoable) *undoable = reversible;
    return true;
}

std::string temporaryPrefix(const std::string& target) {
    const std::filesystem::path p(target);
    return (p.parent_path() / ("." + p.filename().string() + ".kestrine-")).string();
}

bool writeAtomically(const std::string& path, std::string_view text, std::string& why) {
    // Through a link to what it names, so that the link stays a link.
    std::error_code error;
    const std::string target = std::filesystem::weakly_canonical(path, error).string();
    struct stat st;
    if (error || stat(target.c_str(), &st) != 0) {
        why = "it cannot be found: " + std::string(std::strerror(errno));
        return false;
    }
    // A rename in a writable folder would replace a file its owner made read-only.
    if (access(target.c_str(), W_OK) != 0) {
        why = failure(errno);
        return false;
    }
    std::string temporary = temporaryPrefix(target) + "XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) {
        why = failure(errno);
        return false;
    }
    bool ok = writeAll(fd, text) && fchmod(fd, st.st_mode & 07777) == 0 && fsync(fd) == 0;
    int saved = errno;
    if (ok && geteuid() == 0) (void)!fchown(fd, st.st_uid, st.st_gid);
    if (close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        unlink(temporary.c_str());
        why = failure(saved);
    }
    return ok;
}

edit_result scene_edit::apply(const std::vector<value_change>& changes, double at) {
    edit_result r;
    r.at = at;
    std::string text, why, next;
    std::vector<value_change> undo;
    bool undoable = true;
    if (!readWholeFile(file, text, why)) {
        r.message = "not changed: it cannot be read: " + why;
    } else if (!applyChanges(text, changes, next, why, &undo, &undoable)) {
        r.message = "the edit is refused: " + why;
    } else if (next != text && !writeAtomically(file, next, why)) {
        r.message = "not written: " + why;
    } else {
        r.ok = true;
        r.changes = changes;
        history.resize(done);
        history.push_back(
            {changes, std::move(undo), undoable, std::move(text), std::move(next), at});
        ++done;
    }
    return r;
}

edit_result scene_edit::undo() {
    return step(true);
}

edit_result scene_edit::redo() {
    return step(false);
}

// Undoing or redoing a gesture. Where the file still holds what the gesture left, its bytes
// before it come back whole; after an edit elsewhere in the file, each change is made again,
// or undone, where it still finds what the gesture found or left.
edit_result scene_edit::step(bool back) {
    edit_result r;
    if (back ? done == 0 : done == history.size()) {
        r.message = back ? "nothing to undo" : "nothing to redo";
        return r;
    }
    gesture& g = history[back ? done - 1 : done];
    r.at = g.at;
    r.changes = back ? g.undo : g.changes;
    std::string text, why, next;
    const std::string verb = back ? "not undone: " : "not redone: ";
    if (!readWholeFile(file, text, why)) {
        r.message = verb + "it cannot be read: " + why;
        return r;
    }
    std::vector<value_change> undo = g.undo;
    bool undoable = g.undoable;
    if (text == (back ? g.after : g.before)) {
        next = back ? g.before : g.after;
    } else if (back && !g.undoable) {
        r.message = verb + "the file changed since, and the edit added an attribute or took "
                           "out an element";
        return r;
    } else if (!applyChanges(text, r.changes, next, why, back ? nullptr : &undo,
                             back ? nullptr : &undoable)) {
        r.message = verb + why;
        return r;
    }
    if (!writeAtomically(file, next, why)) {
        r.message = verb + why;
        return r;
    }
    g.before = back ? next : text;
    g.after = back ? text : next;
    g.undo = std::move(undo);
    g.undoable = undoable;
    done = back ? done - 1 : done + 1;
    r.ok = true;
    return r;
}
